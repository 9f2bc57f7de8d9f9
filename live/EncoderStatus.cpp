#include "live/EncoderStatus.h"

#include "live/EncoderCommand.h"

namespace {
constexpr char kBlanksAndLineEnds[] = " \t\r\n";
constexpr char kLineEnds[] = "\r\n";

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
