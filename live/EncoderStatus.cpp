#include "live/EncoderStatus.h"

#include "live/EncoderCommand.h"

namespace {
constexpr char kBlanksAndLineEnds[] = " \t\r\n";
constexpr char kLineEnds[] = "\r\n";
constexpr char kConfigurationMark[] = "configuration:";
constexpr char kLibfdkAacOption[] = "--enable-libfdk-aac";

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
} // namespace

std::string LastStatusLine(const std::string& tail) {
    const size_t last = tail.find_last_not_of(kBlanksAndLineEnds);
    if (last == std::string::npos) return "";
    size_t first = tail.find_last_of(kLineEnds, last);
    first = first == std::string::npos ? 0 : first + 1;
    // Only a character cut by the start of the tail leaves a line beginning with one of these.
    while (first <= last && IsUtf8Continuation(tail[first]))
        ++first;
    first = tail.find_first_not_of(kBlanksAndLineEnds, first);
    if (first == std::string::npos || first > last) return "";
    return tail.substr(first, last + 1 - first);
}

bool LacksLibfdkAac(const std::string& tail) {
    return tail.find(std::string("Unknown encoder '") + kLibfdkAac + "'") != std::string::npos;
}

LibfdkAac LibfdkAacInBanner(const std::string& output) {
    const size_t mark = output.find(kConfigurationMark);
    if (mark == std::string::npos) return LibfdkAac::kUnknown;
    const size_t end = output.find_first_of(kLineEnds, mark);
    const std::string line = output.substr(mark, end - mark);
    // Whole options only: --enable-libfdk-aac-something would be another one.
    for (size_t at = line.find(kLibfdkAacOption); at != std::string::npos;
         at = line.find(kLibfdkAacOption, at + 1)) {
        const size_t after = at + sizeof kLibfdkAacOption - 1;
        if (line[at - 1] == ' ' && (after == line.size() || line[after] == ' '))
            return LibfdkAac::kPresent;
    }
    return LibfdkAac::kAbsent;
}
