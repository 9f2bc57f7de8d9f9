#include "tests/e2e/support/Cp936.h"

#include <windows.h>

namespace e2e {

namespace {

constexpr UINT kCodePage = 936;

std::wstring WideFrom(UINT code_page, const std::string& text) {
    if (text.empty()) return {};
    int size = static_cast<int>(text.size());
    int length = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string NarrowFrom(UINT code_page, const std::wstring& text) {
    if (text.empty()) return {};
    int size = static_cast<int>(text.size());
    int length = WideCharToMultiByte(code_page, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(length, '\0');
    WideCharToMultiByte(code_page, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

} // namespace

std::wstring WideFromCp936(const std::string& text) {
    return WideFrom(kCodePage, text);
}

std::string Cp936FromWide(const std::wstring& text) {
    return NarrowFrom(kCodePage, text);
}

std::string Utf8FromCp936(const std::string& text) {
    return NarrowFrom(CP_UTF8, WideFrom(kCodePage, text));
}

std::string Cp936FromUtf8(const std::string& utf8) {
    return NarrowFrom(kCodePage, WideFrom(CP_UTF8, utf8));
}

} // namespace e2e
