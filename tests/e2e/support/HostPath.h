// Build-tree paths come from CMake as Linux paths; the programs under test see Windows ones.
#pragma once

#include <algorithm>
#include <string>

namespace e2e {

// Wine maps the Linux root to drive Z:.
inline std::string WindowsPathOf(const std::string& host_path) {
    if (host_path.empty() || host_path[0] != '/') return host_path;
    std::string path = "Z:" + host_path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

} // namespace e2e
