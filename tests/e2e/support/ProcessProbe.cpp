#include "tests/e2e/support/ProcessProbe.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

namespace e2e::probe {

namespace {

// The layouts of the system handle table (information class 16), which winternl.h omits.
struct HandleEntry {
    USHORT process_id;
    USHORT creator_back_trace_index;
    UCHAR object_type_index;
    UCHAR handle_attributes;
    USHORT handle_value;
    PVOID object;
    ULONG granted_access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};

constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

} // namespace

int HandleCount(DWORD pid) {
    auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    std::vector<unsigned char> buffer(1 << 16);
    LONG status = kInfoLengthMismatch;
    // The table grows while we look: retry with room to spare.
    for (int attempt = 0; attempt < 10 && status == kInfoLengthMismatch; ++attempt) {
        ULONG needed = 0;
        status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                       &needed);
        if (status == kInfoLengthMismatch)
            buffer.resize(std::max<size_t>(needed, buffer.size()) * 2);
    }
    if (status < 0) return -1;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    int count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].process_id == static_cast<USHORT>(pid)) ++count;
    return count;
}

int ThreadCount(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == pid) ++count;
    CloseHandle(snapshot);
    return count;
}

size_t PagefileUsage(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PagefileUsage : 0;
}

} // namespace e2e::probe
