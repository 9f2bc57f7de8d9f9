// Conversions between the program's code page 936 texts and the UTF-16 that the W messages
// carry (across processes under Wine only the W forms of some messages work), and the UTF-8
// that the encoder prints.
#pragma once

#include <string>

namespace e2e {

std::wstring WideFromCp936(const std::string& text);
// Characters without a code page 936 form become '?'.
std::string Cp936FromWide(const std::wstring& text);
std::string Utf8FromCp936(const std::string& text);
std::string Cp936FromUtf8(const std::string& utf8);

} // namespace e2e
