#include "framework/CodePage.h"

#include <windows.h>

#include <vector>

void Utf8ToAnsi(CString* text) {
    const int wideLength = ::MultiByteToWideChar(CP_UTF8, 0, *text, -1, nullptr, 0);
    std::vector<wchar_t> wide(wideLength + 1);
    ::MultiByteToWideChar(CP_UTF8, 0, *text, -1, wide.data(), wideLength);
    const int ansiLength =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> ansi(ansiLength + 1);
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, ansi.data(), ansiLength, nullptr, nullptr);
    *text = ansi.data();
}
