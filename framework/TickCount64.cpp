// The C++ runtime's thread library (winpthreads, linked in statically) times its waits with
// GetTickCount64, which the kernel32 of Windows XP lacks: an exe importing it does not load
// there. This file fills that import's slot itself, so the linker takes nothing from kernel32
// for it, and the runtime calls a 64-bit tick count built on GetTickCount instead.
//
// It must be one of the exe's own objects: in a library it would not be pulled in, because
// the runtime's reference comes only after our libraries have been searched.
#include "framework/core/Ticks.h"

#include <windows.h>

namespace {
DWORD lastTick;
ULONGLONG ticks;

// Adds up the 32-bit count's steps, so that a wrap between two readings does not turn into a
// jump back. The runtime only compares readings taken within one wait of its own.
ULONGLONG WINAPI TickCount64() {
    const DWORD now = ::GetTickCount();
    ticks += TicksSince(lastTick, now);
    lastTick = now;
    return ticks;
}
} // namespace

// The slot's name as the import library spells it for the runtime's calls.
#ifdef _WIN64
#define GET_TICK_COUNT_64_SLOT "__imp_GetTickCount64"
#else
#define GET_TICK_COUNT_64_SLOT "__imp__GetTickCount64@0"
#endif
extern ULONGLONG(WINAPI* getTickCount64Slot)() __asm__(GET_TICK_COUNT_64_SLOT);
ULONGLONG(WINAPI* getTickCount64Slot)() = TickCount64;
