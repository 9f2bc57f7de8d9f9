#include "instance/SingleInstance.h"

#include "framework/ProgramPath.h"
#include "framework/core/Ticks.h"

#include <lmcons.h>

#include <string>

namespace {
// How often a later start looks again while the running instance is starting, busy or ending.
constexpr DWORD kPollMs = 50;
// The running instance is busy for at most one open API request (30 s, a close's relay stop
// among them) before it takes a command or ends; beyond that and a margin it is hung.
constexpr DWORD kAnswerMs = 40000;

// The installation folder's volume serial number and file index: the same whatever the
// spelling of the folder. Empty when the folder cannot be opened or asked.
std::string FolderIdentity(const std::string& folder) {
    CHandle handle(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle.IsValid() || !::GetFileInformationByHandle(handle.Get(), &info))
        return std::string();
    char identity[32];
    wsprintfA(identity, "-%08lx-%08lx%08lx", info.dwVolumeSerialNumber, info.nFileIndexHigh,
              info.nFileIndexLow);
    return identity;
}

// Without the folder's identity: a hash of the program's path, which its other spellings miss.
std::string PathHash(std::string path) {
    ::CharLowerA(&path[0]);
    unsigned long long hash = 14695981039346656037ull; // 64-bit FNV-1a
    for (char c : path)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char hex[20];
    wsprintfA(hex, "-%08lx%08lx", static_cast<unsigned long>(hash >> 32),
              static_cast<unsigned long>(hash));
    return hex;
}

// The mutex's name without its session prefix, and the window property's name: the user's name
// and the installation's identity (short enough for a window property, whatever the path).
const std::string& InstanceName() {
    static const std::string name = [] {
        char user[UNLEN + 1] = {};
        DWORD size = sizeof user;
        std::string text = "Sonafeed-";
        if (::GetUserNameA(user, &size)) text += user;
        const std::string path = ProgramPath();
        const std::string identity = FolderIdentity(FolderOf(path));
        return text + (identity.empty() ? PathHash(path) : identity);
    }();
    return name;
}

// The event by which the running instance tells the later start `sender` that it has taken
// its command.
std::string TakenEventName(DWORD sender) {
    char id[16];
    wsprintfA(id, "-%lu", static_cast<unsigned long>(sender));
    return "Local\\" + InstanceName() + id;
}

bool IsSignalled(const CHandle& event) {
    return event.IsValid() && ::WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

struct WindowSearch {
    const std::string& property;
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
    // Posted: a busy instance takes it once it can, and confirms through the taken event.
    ::PostMessageA(window, WM_INSTANCE_COMMAND, static_cast<WPARAM>(command),
                   static_cast<LPARAM>(::GetCurrentProcessId()));
}
} // namespace

CSingleInstance::CSingleInstance()
    : m_mutex(::CreateMutexA(nullptr, FALSE, ("Local\\" + InstanceName()).c_str())) {}

InstanceClaim CSingleInstance::Claim(AppCommand command) {
    if (!m_mutex.IsValid()) return InstanceClaim::kFirst; // no way to tell: run as usual
    const CHandle taken(
        ::CreateEventA(nullptr, TRUE, FALSE, TakenEventName(::GetCurrentProcessId()).c_str()));
    const DWORD start = ::GetTickCount();
    bool handedOver = false;
    for (;;) {
        // Held until the instance's process ends; abandoned when it has ended.
        const DWORD owned = ::WaitForSingleObject(m_mutex.Get(), kPollMs);
        // Also when the instance took the command just before it ended: it must not run twice.
        if (IsSignalled(taken)) return InstanceClaim::kHandedOver;
        if (owned == WAIT_OBJECT_0 || owned == WAIT_ABANDONED) return InstanceClaim::kFirst;
        // Once only: an instance that is closing refuses it and this start waits for its end.
        if (!handedOver) {
            if (HWND window = FindInstanceWindow()) {
                HandOver(window, command);
                handedOver = true;
            }
        }
        if (TicksSince(start, ::GetTickCount()) >= kAnswerMs) return InstanceClaim::kNoAnswer;
    }
}

void MarkInstanceWindow(HWND window) {
    ::SetPropA(window, InstanceName().c_str(), reinterpret_cast<HANDLE>(1));
}

void UnmarkInstanceWindow(HWND window) {
    ::RemovePropA(window, InstanceName().c_str());
}

void ConfirmCommandTaken(LPARAM sender) {
    if (!sender) return;
    const CHandle taken(::OpenEventA(EVENT_MODIFY_STATE, FALSE,
                                     TakenEventName(static_cast<DWORD>(sender)).c_str()));
    if (taken.IsValid()) ::SetEvent(taken.Get());
}
