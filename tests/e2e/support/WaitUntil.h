// Polling for conditions another process brings about: tests never sleep a fixed time.
#pragma once

#include <windows.h>

namespace e2e {

// Long enough for a loaded machine under Wine; a condition that holds returns at once.
inline constexpr DWORD kPatience = 15000;

// Polls `holds` every 25 ms until it returns true (true) or `timeout_ms` has passed (false).
template <class Predicate> bool WaitUntil(Predicate holds, DWORD timeout_ms = kPatience) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (holds()) return true;
        if (GetTickCount() - start >= timeout_ms) return holds();
        Sleep(25);
    }
}

} // namespace e2e
