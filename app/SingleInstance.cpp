#include "app/SingleInstance.h"

#include "framework/Ticks.h"

#include <lmcons.h>

#include <string>

namespace {
// How often a later start looks again while the running instance is starting or ending.
constexpr DWORD kPollMs = 50;
// A running instance whose window does not show up within this time gets no command.
constexpr DWORD kFindWindowMs = 10000;

// The mutex's name without its session prefix, and the window property's name: the user's
// name and a hash of the program's path, so that each installation has its own instance (and
// a name short enough for a window property, whatever the path).
std::string InstanceName() {
    char user[UNLEN + 1] = {};
    DWORD size = sizeof user;
    std::string name = "Sonafeed-";
    if (::GetUserNameA(user, &size)) name += user;
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    ::CharLowerA(path);
    unsigned long long hash = 14695981039346656037ull; // 64-bit FNV-1a
    for (const char* c = path; *c; ++c)
        hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
    char hex[20];
    wsprintfA(hex, "-%08lx%08lx", static_cast<unsigned long>(hash >> 32),
              static_cast<unsigned long>(hash));
    return name + hex;
}

struct WindowSearch {
    std::string property;
    HWND found = nullptr;
};

BOOL CALLBACK MatchMarkedWindow(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<WindowSearch*>(search);
    if (!::GetPropA(window, wanted->property.c_str())) return TRUE;
    wanted->found = window;
    return FALSE;
}

HWND FindInstanceWindow() {
    WindowSearch search{InstanceName()};
    ::EnumWindows(MatchMarkedWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void HandOver(HWND window, AppCommand command) {
    if (command == AppCommand::kShow) {
        // Only the process the operator just started may pass the foreground on.
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        ::AllowSetForegroundWindow(pid);
    }
    // Posted: the running instance may be busy starting up, and this start must end at once.
    ::PostMessageA(window, WM_INSTANCE_COMMAND, static_cast<WPARAM>(command), 0);
}
} // namespace

CSingleInstance::CSingleInstance()
    : m_mutex(::CreateMutexA(nullptr, FALSE, ("Local\\" + InstanceName()).c_str())) {}

bool CSingleInstance::Claim(AppCommand command) {
    if (!m_mutex.Get()) return true; // no way to tell: run as usual
    const DWORD start = ::GetTickCount();
    for (;;) {
        // Held until this process ends; abandoned when the previous instance ended.
        const DWORD owned = ::WaitForSingleObject(m_mutex.Get(), kPollMs);
        if (owned == WAIT_OBJECT_0 || owned == WAIT_ABANDONED) return true;
        if (HWND window = FindInstanceWindow()) {
            HandOver(window, command);
            return false;
        }
        if (TicksSince(start, ::GetTickCount()) >= kFindWindowMs) return false;
    }
}

void MarkInstanceWindow(HWND window) {
    ::SetPropA(window, InstanceName().c_str(), reinterpret_cast<HANDLE>(1));
}

void UnmarkInstanceWindow(HWND window) {
    ::RemovePropA(window, InstanceName().c_str());
}
