// Where the program runs from, read in one place for the message boxes' caption, the
// installation's identity and the folder that holds the encoder and the log files.
#pragma once
#include <windows.h>

#include <cstring>
#include <string>

// The program file's full path as the system started it, e.g. "C:\Sonafeed\Sonafeed.exe".
inline std::string ProgramPath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    // A path cut to the buffer's size has no terminating zero on Windows XP.
    return std::string(path, strnlen(path, sizeof path));
}

// The path up to its last backslash, which is left out; a path without one stays whole.
inline std::string FolderOf(std::string path) {
    const size_t backslash = path.rfind('\\');
    if (backslash != std::string::npos) path.erase(backslash);
    return path;
}
