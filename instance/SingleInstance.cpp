#include "instance/SingleInstance.h"

#include "framework/ProgramPath.h"
#include "framework/core/Ticks.h"

#include <lmcons.h>

#include <string>

namespace {
// How often a later start looks again while the running instance is starting, busy or ending.
constexpr DWORD kPollMs = 50;
// The running instance takes a command at the latest once its start-up is done (a device
// listing of up to 30 s and the start-up request of up to 30 s) or once the open API request it
// is busy with has ended (30 s, a close's relay stop among them); beyond that and a margin it
// is hung.
constexpr DWORD kAnswerMs = 75000;

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

// The objects of one later start `sender`'s command: the offer, a semaphore of one that the
// instance takes or the later start withdraws, and the event by which the instance says it took it.
std::string CommandObjectName(const char* kind, DWORD sender) {
    char id[16];
    wsprintfA(id, "-%lu", static_cast<unsigned long>(sender));
    return "Local\\" + InstanceName() + kind + id;
}
constexpr char kOffer[] = "-offer";
constexpr char kTaken[] = "-taken";

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
    const DWORD self = ::GetCurrentProcessId();
    const CHandle offer(::CreateSemaphoreA(nullptr, 1, 1, CommandObjectName(kOffer, self).c_str()));
    const CHandle taken(
        ::CreateEventA(nullptr, TRUE, FALSE, CommandObjectName(kTaken, self).c_str()));
    // The offer back: false when the instance has taken the command in the meantime.
    auto withdrawn = [&] {
        return !offer.IsValid() || ::WaitForSingleObject(offer.Get(), 0) == WAIT_OBJECT_0;
    };
    const DWORD start = ::GetTickCount();
    bool handedOver = false;
    for (;;) {
        // Held until the instance's process ends; abandoned when it has ended.
        const DWORD owned = ::WaitForSingleObject(m_mutex.Get(), kPollMs);
        if (IsSignalled(taken)) return InstanceClaim::kHandedOver;
        // Also when the instance took the command just before it ended: it must not run twice.
        if (owned == WAIT_OBJECT_0 || owned == WAIT_ABANDONED)
            return withdrawn() ? InstanceClaim::kFirst : InstanceClaim::kHandedOver;
        // Once only: an instance that is closing ignores it and this start waits for its end.
        if (!handedOver) {
            if (HWND window = FindInstanceWindow()) {
                HandOver(window, command);
                handedOver = true;
            }
        }
        if (TicksSince(start, ::GetTickCount()) >= kAnswerMs)
            return withdrawn() ? InstanceClaim::kNoAnswer : InstanceClaim::kHandedOver;
    }
}

void MarkInstanceWindow(HWND window) {
    ::SetPropA(window, InstanceName().c_str(), reinterpret_cast<HANDLE>(1));
}

void UnmarkInstanceWindow(HWND window) {
    ::RemovePropA(window, InstanceName().c_str());
}

bool TakeCommand(LPARAM sender) {
    if (!sender) return true;
    const DWORD start = static_cast<DWORD>(sender);
    const CHandle offer(
        ::OpenSemaphoreA(SYNCHRONIZE, FALSE, CommandObjectName(kOffer, start).c_str()));
    if (!offer.IsValid() || ::WaitForSingleObject(offer.Get(), 0) != WAIT_OBJECT_0) return false;
    const CHandle taken(
        ::OpenEventA(EVENT_MODIFY_STATE, FALSE, CommandObjectName(kTaken, start).c_str()));
    if (taken.IsValid()) ::SetEvent(taken.Get());
    return true;
}
