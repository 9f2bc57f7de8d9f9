#include "devices/core/DeviceListParser.h"

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

// An "Alternative name" line gives the name before it its alternative, once.
bool TakeAlternative(const std::string& line, DeviceListParse& result) {
    if (!Contains(line, kAltNameMark)) return false;
    std::string alternative;
    if (!result.alternatives.empty() && result.alternatives.back().empty() &&
        QuotedName(line, alternative) != std::string::npos)
        result.alternatives.back() = alternative;
    return true;
}

void AddName(DeviceListParse& result, const std::string& name) {
    result.names.push_back(name);
    result.alternatives.emplace_back();
}

DeviceListParse ParseSections(const std::vector<std::string>& lines) {
    DeviceListParse result;
    bool inSection = false;
    for (const std::string& line : lines) {
        if (!inSection) {
            if (Contains(line, kStartMark)) {
                result.listReset = true;
                result.names.clear();
                result.alternatives.clear();
                inSection = true;
            }
            continue;
        }
        if (Contains(line, kEndMark)) {
            result.fillBox = true;
            return result;
        }
        if (TakeAlternative(line, result)) continue;
        std::string name;
        if (QuotedName(line, name) != std::string::npos) {
            AddName(result, name);
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

    DeviceListParse result;
    bool ended = listingComplete;
    // Only an audio device's alternative name is taken: another's would follow a name not kept.
    bool lastWasAudio = false;
    for (const std::string& line : lines) {
        if (Contains(line, kNewEndMark)) {
            ended = true;
            break;
        }
        if (Contains(line, kAltNameMark)) {
            if (lastWasAudio) TakeAlternative(line, result);
            continue;
        }
        std::string name;
        lastWasAudio = AudioDeviceLine(line, name);
        if (lastWasAudio) AddName(result, name);
    }
    // Cut short by a time-out, or nothing recognisable: leave the list as it is.
    if (!ended || result.names.empty()) return classic;
    result.listReset = true;
    result.fillBox = true;
    return result;
}

std::string EncoderDeviceName(const std::string& shown, const std::string& alternative) {
    return shown.find('?') != std::string::npos && !alternative.empty() ? alternative : shown;
}
