// Code page 936 byte classification, so that text scanners never split a double-byte character.
#pragma once

#include <cstddef>
#include <string>

// True when a valid double-byte character starts at s[i]: a lead byte 0x81..0xFE followed by a
// trail byte 0x40..0xFE other than 0x7F. A trail byte may be 0x5C, which is not a backslash.
bool IsCp936DoubleByte(const std::string& s, size_t i);
