// UTF-8 byte checks, so that text in another encoding is recognised before any conversion.
#pragma once

#include <string>

// True when every byte sequence in `text` is well-formed UTF-8: no stray continuation bytes,
// no truncated, overlong or surrogate sequences, nothing above U+10FFFF. An empty text is valid.
bool IsValidUtf8(const std::string& text);
