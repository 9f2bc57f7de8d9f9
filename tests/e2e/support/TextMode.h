// What a text-mode stream of the C runtime puts on disk, as the program writes its files.
#pragma once

#include <string>

namespace e2e {

// Every LF becomes CR LF.
inline std::string TextModeWrite(const std::string& text) {
    std::string written;
    for (char c : text) {
        if (c == '\n') written += '\r';
        written += c;
    }
    return written;
}

} // namespace e2e
