#include "settings/core/ConfigLines.h"

#include <algorithm>
#include <climits>

namespace {
std::string FirstLineOf(const std::string& text) {
    return text.substr(0, text.find_first_of("\r\n"));
}
} // namespace

void SkipByteOrderMark(std::string& firstLine) {
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    if (firstLine.compare(0, sizeof kByteOrderMark - 1, kByteOrderMark) == 0)
        firstLine.erase(0, sizeof kByteOrderMark - 1);
}

void CleanConfigLine(std::string& line) {
    line.erase(std::remove_if(line.begin(), line.end(),
                              [](char c) { return c == ' ' || c == '\r' || c == '\n'; }),
               line.end());
}

int ConfigLineToInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate towards the signed limit so INT_MIN is reachable without overflow.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value >= limit) {
            value = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

void ApplyConfigLine(int lineNumber, const std::string& cleanedLine, ConfigValues& values) {
    switch (lineNumber) {
    case 1:
        values.deviceIndex = ConfigLineToInt(cleanedLine);
        break;
    case 2:
        values.publishUrl = cleanedLine;
        break;
    case 3:
        // An empty line keeps the default: older files left it blank.
        if (!cleanedLine.empty()) values.minToTray = ConfigLineToInt(cleanedLine);
        break;
    case 4:
        if (!cleanedLine.empty()) values.bitrateIndex = ConfigLineToInt(cleanedLine);
        break;
    case 5:
        values.pullUrl = cleanedLine;
        break;
    case 6:
        values.accessKey = cleanedLine;
        break;
    case 7:
        values.accessId = cleanedLine;
        break;
    case 8:
        values.autoPull = ConfigLineToInt(cleanedLine);
        break;
    default:
        break;
    }
}

std::string FormatConfig(const ConfigValues& values) {
    std::string out;
    for (const std::string& line :
         {std::to_string(values.deviceIndex), FirstLineOf(values.publishUrl),
          std::to_string(values.minToTray), std::to_string(values.bitrateIndex),
          FirstLineOf(values.pullUrl), FirstLineOf(values.accessKey), FirstLineOf(values.accessId),
          std::to_string(values.autoPull)}) {
        out += line;
        out += "\r\n";
    }
    return out;
}
