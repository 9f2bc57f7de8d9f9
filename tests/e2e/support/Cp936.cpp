#include "tests/e2e/support/Cp936.h"

#include <windows.h>

namespace e2e {

namespace {
constexpr UINT kCodePage = 936;
}

std::wstring WideFromCp936(const std::string& text) {
    if (text.empty()) return {};
    int size = static_cast<int>(text.size());
    int length = MultiByteToWideChar(kCodePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(kCodePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string Cp936FromWide(const std::wstring& text) {
    if (text.empty()) return {};
    int size = static_cast<int>(text.size());
    int length = WideCharToMultiByte(kCodePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(length, '\0');
    WideCharToMultiByte(kCodePage, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

} // namespace e2e
