// Measures another process from outside, for leak checks.
#pragma once

#include <windows.h>

#include <cstddef>

namespace e2e::probe {

// The process's entries in the system handle table; -1 when the table cannot be read.
// GetProcessHandleCount always answers 0 under Wine.
int HandleCount(DWORD pid);
// The process's threads; -1 when they cannot be listed.
int ThreadCount(DWORD pid);
// Committed private bytes (PagefileUsage; Wine never fills PrivateUsage); 0 on failure.
size_t PagefileUsage(HANDLE process);

} // namespace e2e::probe
