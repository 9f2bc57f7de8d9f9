// Where the program runs from, read in one place for the message boxes' caption, the
// installation's identity and the folder that holds the encoder and the log files.
#pragma once
#include <windows.h>

#include <string>

// `wide` in the ANSI code page; false when the code page lacks one of its characters.
inline bool AnsiSpelling(const std::wstring& wide, std::string& ansi) {
    BOOL lossy = FALSE;
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(length > 0 ? length : 1, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], length, nullptr, &lossy);
    ansi = text.c_str();
    return length > 0 && !lossy;
}

// The program file's full path as the system started it, e.g. "C:\Sonafeed\Sonafeed.exe". A
// folder that the ANSI code page cannot spell (a Korean name on a Chinese Windows) comes by its
// short name (8.3), where the volume keeps one, which every ANSI call can open. False when even
// that cannot be spelled; `path` then has "?" for what is missing.
inline bool ProgramPathInAnsi(std::string& path) {
    // One more zero: a path cut to the buffer's size has no terminating zero on Windows XP.
    wchar_t wide[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, wide, MAX_PATH);
    if (AnsiSpelling(wide, path)) return true;
    std::wstring folder = wide;
    const size_t backslash = folder.rfind(L'\\');
    if (backslash == std::wstring::npos) return false;
    const std::wstring file = folder.substr(backslash);
    folder.erase(backslash);
    wchar_t shortFolder[MAX_PATH + 1] = {};
    std::string spelled;
    if (!::GetShortPathNameW(folder.c_str(), shortFolder, MAX_PATH) ||
        !AnsiSpelling(shortFolder + file, spelled))
        return false;
    path = spelled;
    return true;
}

inline std::string ProgramPath() {
    std::string path;
    ProgramPathInAnsi(path);
    return path;
}

// The path up to its last backslash, which is left out; a path without one stays whole.
inline std::string FolderOf(std::string path) {
    const size_t backslash = path.rfind('\\');
    if (backslash != std::string::npos) path.erase(backslash);
    return path;
}
