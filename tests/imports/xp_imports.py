#!/usr/bin/env python3
"""Checks that a Windows exe can load on Windows XP SP3, from its PE headers alone.

Usage: xp_imports.py OBJDUMP EXE

- Its subsystem version is one XP's loader accepts: at most 5.1 for a 32-bit exe (XP), 5.2 for
  a 64-bit one (XP x64 Edition). A higher one is refused as "not a valid Win32 application".
- It imports only from DLLs that XP SP3 ships.
- It imports none of the functions below, which arrived after XP SP3. A complete list of what
  XP SP3 exports would be the stricter check, but XP's DLLs are not at hand to build it from. So
  this is a list of what Windows Vista and later added that the mingw-w64 runtime (threads,
  once-initialisation, time-outs, locales) or a program of our kind (processes, files, windows,
  the tray, the registry) reaches for. GetTickCount64 was a real case: the thread library of the
  C++ runtime imports it, and so did our device listing.
"""
import re
import subprocess
import sys

MAX_SUBSYSTEM = {"PE32": (5, 1), "PE32+": (5, 2)}

XP_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "psapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "version.dll", "winmm.dll", "wininet.dll", "ws2_32.dll",
}

AFTER_XP = {
    # kernel32: tick count, slim locks, condition variables, one-time initialisation
    "GetTickCount64", "GetSystemTimePreciseAsFileTime",
    "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared",
    "ReleaseSRWLockExclusive", "ReleaseSRWLockShared", "TryAcquireSRWLockExclusive",
    "TryAcquireSRWLockShared", "InitializeConditionVariable", "SleepConditionVariableCS",
    "SleepConditionVariableSRW", "WakeConditionVariable", "WakeAllConditionVariable",
    "InitOnceInitialize", "InitOnceExecuteOnce", "InitOnceBeginInitialize", "InitOnceComplete",
    "InitializeCriticalSectionEx", "FlsAlloc", "FlsFree", "FlsGetValue", "FlsSetValue",
    "CreateEventExA", "CreateEventExW", "CreateMutexExA", "CreateMutexExW",
    "CreateSemaphoreExA", "CreateSemaphoreExW", "SetThreadStackGuarantee",
    "GetCurrentProcessorNumber", "GetThreadId", "GetProcessIdOfThread", "RaiseFailFastException",
    # kernel32: processes, files, errors, locales
    "QueryFullProcessImageNameA", "QueryFullProcessImageNameW", "CancelIoEx",
    "GetFileInformationByHandleEx", "SetFileInformationByHandle", "GetFinalPathNameByHandleA",
    "GetFinalPathNameByHandleW", "CreateSymbolicLinkA", "CreateSymbolicLinkW", "GetErrorMode",
    "GetLocaleInfoEx", "LCIDToLocaleName", "LocaleNameToLCID", "CompareStringEx",
    "GetUserDefaultLocaleName", "LCMapStringEx",
    # user32: messages across integrity levels, DPI, shutdown
    "ChangeWindowMessageFilter", "ChangeWindowMessageFilterEx", "SetProcessDPIAware",
    "IsProcessDPIAware", "SetProcessDpiAwarenessContext", "GetDpiForWindow",
    "ShutdownBlockReasonCreate", "ShutdownBlockReasonDestroy", "AddClipboardFormatListener",
    "RegisterPowerSettingNotification",
    # shell32, advapi32
    "SHGetKnownFolderPath", "SHCreateItemFromParsingName", "Shell_NotifyIconGetRect",
    "RegGetValueA", "RegGetValueW", "RegDeleteTreeA", "RegDeleteTreeW", "RegSetKeyValueA",
    "RegSetKeyValueW", "RegDeleteKeyExA", "RegDeleteKeyExW",
}


def after_xp(dll, function):
    # Windows 7 moved the process-status functions into kernel32 as K32...; XP has them in
    # psapi.dll only. XP's msvcrt.dll has none of the "secure" ..._s functions.
    return (function in AFTER_XP or (dll == "kernel32.dll" and function.startswith("K32"))
            or (dll == "msvcrt.dll" and function.endswith("_s")))


def main(objdump, exe):
    headers = subprocess.run([objdump, "-p", exe], check=True, capture_output=True,
                             text=True).stdout
    faults = []
    kind = re.search(r"^Magic\s+\w+\s+\((PE32\+?)\)", headers, re.M).group(1)
    version = tuple(int(re.search(rf"^{part}SubsystemVersion\s+(\d+)", headers, re.M).group(1))
                    for part in ("Major", "Minor"))
    if version > MAX_SUBSYSTEM[kind]:
        faults.append(f"subsystem version {version[0]}.{version[1]} > "
                      f"{'.'.join(map(str, MAX_SUBSYSTEM[kind]))}")
    dll = None
    imports = 0
    for line in headers.splitlines():
        named = re.match(r"\s+DLL Name: (\S+)", line)
        if named:
            dll = named.group(1).lower()
            if dll not in XP_DLLS:
                faults.append(f"imports from {named.group(1)}, which XP does not ship")
            continue
        function = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\S+)$", line)
        if dll and function:
            imports += 1
            if after_xp(dll, function.group(1)):
                faults.append(f"imports {function.group(1)} from {dll}, which XP SP3 lacks")
    if imports < 10:
        faults.append(f"found only {imports} imported functions: objdump's output was not read")
    for fault in faults:
        print(f"{exe}: {fault}")
    if not faults:
        print(f"{exe}: PE {kind}, subsystem {version[0]}.{version[1]}, {imports} imports, all on XP SP3")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
