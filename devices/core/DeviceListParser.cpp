#include "devices/core/DeviceListParser.h"

#include <utility>

namespace {

constexpr char kStartMark[] = "DirectShow audio devices";
constexpr char kEndMark[] = "dummy: Immediate exit requested";
constexpr char kNewEndMark[] = "Immediate exit requested";
constexpr char kAltNameMark[] = "@device_";

bool Contains(const std::string& line, const char* mark) {
    return line.find(mark) != std::string::npos;
}

// Sets `name` to the text strictly between the first and the last double quote and returns the
// last one's position, npos when there is no such pair. A quote byte is never a code page 936
// trail byte, so a byte search is safe.
size_t QuotedName(const std::string& line, std::string& name) {
    const size_t first = line.find('"');
    const size_t last = line.rfind('"');
    if (first == std::string::npos || first >= last) return std::string::npos;
    name = line.substr(first + 1, last - first - 1);
    return last;
}

DeviceListParse ParseSections(const std::vector<std::string>& lines) {
    DeviceListParse result;
    bool inSection = false;
    for (const std::string& line : lines) {
        if (!inSection) {
            if (Contains(line, kStartMark)) {
                result.listReset = true;
                result.names.clear();
                inSection = true;
            }
            continue;
        }
        if (Contains(line, kEndMark)) {
            result.fillBox = true;
            return result;
        }
        if (Contains(line, kAltNameMark)) continue;
        std::string name;
        if (QuotedName(line, name) != std::string::npos) {
            result.names.push_back(name);
        } else if (result.names.empty()) {
            // Something else follows the start mark: look for the next one.
            ++result.searchRestarts;
            inSection = false;
        }
    }
    return result;
}

// Newer builds print `"name" (audio)`, `"name" (audio, video)`, `"name" (video)` or
// `"name" (none)` with no section headers.
bool AudioDeviceLine(const std::string& line, std::string& name) {
    const size_t closing = QuotedName(line, name);
    if (closing == std::string::npos) return false;
    if (line.compare(closing + 1, 2, " (") != 0) return false;
    const size_t typesBegin = closing + 3;
    const size_t typesEnd = line.find(')', typesBegin);
    if (typesEnd == std::string::npos) return false;
    return line.substr(typesBegin, typesEnd - typesBegin).find("audio") != std::string::npos;
}

} // namespace

DeviceListParse ParseDeviceLines(const std::vector<std::string>& lines, bool listingComplete) {
    DeviceListParse classic = ParseSections(lines);
    for (const std::string& line : lines) {
        if (Contains(line, kStartMark)) return classic;
    }

    std::vector<std::string> names;
    bool ended = listingComplete;
    for (const std::string& line : lines) {
        if (Contains(line, kNewEndMark)) {
            ended = true;
            break;
        }
        if (Contains(line, kAltNameMark)) continue;
        std::string name;
        if (AudioDeviceLine(line, name)) names.push_back(name);
    }
    // Cut short by a time-out, or nothing recognisable: leave the list as it is.
    if (!ended || names.empty()) return classic;

    DeviceListParse result;
    result.listReset = true;
    result.names = std::move(names);
    result.fillBox = true;
    return result;
}
