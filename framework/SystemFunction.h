// Functions that later Windows versions added to kernel32, looked up at run time: importing one
// would keep Windows XP from loading the program.
#pragma once
#include <windows.h>

// Null where the system lacks the function.
template <class Function> Function Kernel32Function(const char* name) {
    // Through the generic function pointer type, which converts to any other without a warning.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), name)));
}
