// Output of the Windows tools that scripts on the Linux side read: UTF-8, as the encoder prints.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// Loops because a pipe may take less at once.
inline void WriteUtf8(HANDLE out, const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    for (size_t done = 0; done < bytes.size();) {
        DWORD wrote = 0;
        if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote,
                       nullptr) ||
            wrote == 0)
            return;
        done += wrote;
    }
}

} // namespace e2e
