#include <winsock2.h>

#include "live/Recorder.h"

#include "framework/core/Ticks.h"
#include "live/core/Recording.h"

#include <shlobj.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

// A file that gets nothing for this long is closed: its encoder has ended or stalled.
constexpr DWORD kIdleCloseMs = 2000;
// How often the free space is read while recording or paused for the lack of it.
constexpr DWORD kSpaceCheckMs = 5000;
// After a file could not be made or written, the next try waits this long.
constexpr DWORD kRetryMs = 10000;
// The helper looks at its stop flag and the clock at least this often.
constexpr long kWaitUs = 250000;
// Stop waits this long for the helper; one stuck in a dead drive is left to end by itself.
constexpr DWORD kStopWaitMs = 5000;
// Room for a few seconds of datagrams while the helper waits for the disk.
constexpr int kReceiveBuffer = 1 << 20;
constexpr int kMaxCopies = 1000;

LocalTime Now() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

} // namespace

struct CRecorder::Shared {
    RecordingOptions options;
    HWND window;
    UINT message;
    SOCKET socket;
    std::atomic<bool> stop{false};
};

namespace {

// The helper's own state: the file being written and what it knows of the folder's drive.
class Recording {
  public:
    explicit Recording(const CRecorder::Shared& shared)
        : m_shared(shared), m_options(shared.options), m_gate(shared.options.floorBytes) {}
    ~Recording() { Close(); }

    void Take(const char* data, int size, unsigned short sender);
    void Tick();
    void ApplyRetention();

  private:
    void Write(const std::string& frame);
    bool Open();
    void Close() { m_file.Close(); }
    void Abandon();
    bool RoomLeft();
    void Failed();
    void Report(RecordingEvent event, LPARAM detail = 0) const {
        ::PostMessageA(m_shared.window, m_shared.message, event, detail);
    }

    const CRecorder::Shared& m_shared;
    const RecordingOptions& m_options;
    FreeSpaceGate m_gate;
    AdtsFrames m_frames;
    CHandle m_file;
    CString m_strPath;
    unsigned long long m_nFileBytes = 0;
    unsigned short m_nSender = 0;
    // The period of the open file, and of the last retention.
    int64_t m_nFilePeriod = 0;
    int64_t m_nRetainedPeriod = 0;
    // The next file carries on a run across a period's change: it is named by the period's start.
    bool m_bCarriesOn = false;
    DWORD m_nLastDataTick = 0;
    DWORD m_nSpaceTick = 0;
    bool m_bSpaceRead = false;
    bool m_bFailing = false;
    DWORD m_nFailedTick = 0;
};

// Each encoder sends from a port of its own: another sender is a new run and a new file.
void Recording::Take(const char* data, int size, unsigned short sender) {
    if (sender != m_nSender) {
        Close();
        m_frames = AdtsFrames();
        m_nSender = sender;
        m_bCarriesOn = false;
    }
    m_nLastDataTick = ::GetTickCount();
    m_frames.Feed(data, static_cast<size_t>(size));
    std::string frame;
    while (m_frames.Next(frame))
        Write(frame);
}

void Recording::Tick() {
    const int64_t period = RecordingPeriod(Now(), m_options.periodSeconds);
    if (period != m_nRetainedPeriod) ApplyRetention();
    if (!m_file.IsValid()) return;
    const DWORD now = ::GetTickCount();
    if (TicksSince(m_nLastDataTick, now) >= kIdleCloseMs) {
        Close();
        m_bCarriesOn = false;
    } else if (!RoomLeft()) {
        Close();
    }
}

void Recording::Write(const std::string& frame) {
    if (m_file.IsValid() && RecordingPeriod(Now(), m_options.periodSeconds) != m_nFilePeriod) {
        Close();
        m_bCarriesOn = true;
    }
    if (!m_file.IsValid() && !Open()) return;
    DWORD written = 0;
    if (!::WriteFile(m_file.Get(), frame.data(), static_cast<DWORD>(frame.size()), &written,
                     nullptr) ||
        written != frame.size()) {
        Abandon();
        return;
    }
    m_nFileBytes += written;
    // Said once the folder takes audio again, not when a file can merely be made there.
    if (m_bFailing) Report(kRecordingWritingAgain);
    m_bFailing = false;
}

// A write failed (a full drive, a drive gone): the file ends there, and one that got nothing
// goes, so that the tries at a full drive leave no empty files behind.
void Recording::Abandon() {
    Close();
    if (m_nFileBytes == 0) ::DeleteFileA(m_strPath);
    Failed();
}

bool Recording::Open() {
    const DWORD now = ::GetTickCount();
    if (m_bFailing && TicksSince(m_nFailedTick, now) < kRetryMs) return false;
    const int made = ::SHCreateDirectoryExA(nullptr, m_options.folder, nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
        Failed();
        return false;
    }
    if (!RoomLeft()) return false;
    const LocalTime time = Now();
    m_nFilePeriod = RecordingPeriod(time, m_options.periodSeconds);
    const LocalTime start =
        m_bCarriesOn ? RecordingPeriodStart(time, m_options.periodSeconds) : time;
    const CString day = m_options.folder + "\\" + RecordingDayFolder(start).c_str();
    ::CreateDirectoryA(day, nullptr);
    for (int copy = 1; copy <= kMaxCopies && !m_file.IsValid(); ++copy) {
        m_strPath = day + "\\" + RecordingFileName(start, copy).c_str();
        // Never over an earlier file; readable while it is written, by a player for one.
        m_file.Attach(::CreateFileA(m_strPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!m_file.IsValid() && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (!m_file.IsValid()) {
        Failed();
        return false;
    }
    m_nFileBytes = 0;
    return true;
}

// Reads the drive's free space now and then; a drive whose space cannot be read is left to the
// file's own writes to judge.
bool Recording::RoomLeft() {
    const DWORD now = ::GetTickCount();
    if (m_bSpaceRead && TicksSince(m_nSpaceTick, now) < kSpaceCheckMs) return !m_gate.Paused();
    m_bSpaceRead = true;
    m_nSpaceTick = now;
    ULARGE_INTEGER available{};
    if (::GetDiskFreeSpaceExA(m_options.folder, &available, nullptr, nullptr) &&
        m_gate.Update(available.QuadPart))
        Report(m_gate.Paused() ? kRecordingNoRoom : kRecordingRoomAgain);
    return !m_gate.Paused();
}

void Recording::Failed() {
    if (!m_bFailing) Report(kRecordingCannotWrite);
    m_bFailing = true;
    m_nFailedTick = ::GetTickCount();
}

// Deletes the recordings past their time: only files named as this program names them, in
// folders named as it names a day's; anything else in the folder is someone else's.
void Recording::ApplyRetention() {
    const LocalTime now = Now();
    m_nRetainedPeriod = RecordingPeriod(now, m_options.periodSeconds);
    LPARAM deleted = 0;
    WIN32_FIND_DATAA days;
    const HANDLE dayFind = ::FindFirstFileA(m_options.folder + "\\*", &days);
    if (dayFind == INVALID_HANDLE_VALUE) return;
    do {
        LocalTime day;
        if (!(days.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !ParseRecordingDayFolder(days.cFileName, day))
            continue;
        const CString folder = m_options.folder + "\\" + days.cFileName;
        WIN32_FIND_DATAA files;
        const HANDLE fileFind = ::FindFirstFileA(folder + "\\*", &files);
        if (fileFind == INVALID_HANDLE_VALUE) continue;
        bool emptied = false;
        do {
            LocalTime start;
            if (!(files.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                ParseRecordingFileName(files.cFileName, day, start) &&
                RecordingExpired(start, now, m_options.keepDays) &&
                ::DeleteFileA(folder + "\\" + files.cFileName)) {
                ++deleted;
                emptied = true;
            }
        } while (::FindNextFileA(fileFind, &files));
        ::FindClose(fileFind);
        // Only a folder left empty goes.
        if (emptied) ::RemoveDirectoryA(folder);
    } while (::FindNextFileA(dayFind, &days));
    ::FindClose(dayFind);
    if (deleted) Report(kRecordingExpired, deleted);
}

DWORD WINAPI RunRecorder(void* parameter) {
    const std::unique_ptr<std::shared_ptr<CRecorder::Shared>> owner(
        static_cast<std::shared_ptr<CRecorder::Shared>*>(parameter));
    const CRecorder::Shared& shared = **owner;
    {
        Recording recording(shared);
        recording.ApplyRetention();
        // The largest datagram there is: one is never cut short.
        std::vector<char> buffer(65536);
        while (!shared.stop) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(shared.socket, &readable);
            timeval wait{0, kWaitUs};
            if (::select(0, &readable, nullptr, nullptr, &wait) > 0) {
                sockaddr_in from{};
                int fromSize = sizeof from;
                const int got =
                    ::recvfrom(shared.socket, buffer.data(), static_cast<int>(buffer.size()), 0,
                               reinterpret_cast<sockaddr*>(&from), &fromSize);
                if (got > 0) recording.Take(buffer.data(), got, from.sin_port);
            }
            recording.Tick();
        }
    }
    ::closesocket(shared.socket);
    ::WSACleanup();
    return 0;
}

// A UDP socket on the loopback, at `port` when it is free, else at any; INVALID_SOCKET if none.
SOCKET OpenPort(unsigned short& port) {
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return s;
    // Not for an encoder started on Windows XP, which cannot be given only the handles it needs.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kReceiveBuffer),
                 sizeof kReceiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int size = sizeof address;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        address.sin_port = 0;
        if (::bind(s, reinterpret_cast<sockaddr*>(&address), size) != 0) {
            ::closesocket(s);
            return INVALID_SOCKET;
        }
    }
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return s;
}

} // namespace

bool CRecorder::Start(const RecordingOptions& options, HWND window, UINT message) {
    Stop();
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    const SOCKET s = OpenPort(m_nPort);
    if (s == INVALID_SOCKET) {
        ::WSACleanup();
        return false;
    }
    m_shared = std::make_shared<Shared>();
    m_shared->options = options;
    m_shared->window = window;
    m_shared->message = message;
    m_shared->socket = s;
    m_strFolder = options.folder;
    // The helper holds the shared state too: one left behind by Stop finds it still there.
    auto owner = std::make_unique<std::shared_ptr<Shared>>(m_shared);
    m_thread.Attach(::CreateThread(nullptr, 0, RunRecorder, owner.get(), 0, nullptr));
    if (!m_thread.IsValid()) {
        ::closesocket(s);
        ::WSACleanup();
        m_shared.reset();
        return false;
    }
    owner.release();
    return true;
}

void CRecorder::Stop() {
    if (!m_thread.IsValid()) return;
    m_shared->stop = true;
    ::WaitForSingleObject(m_thread.Get(), kStopWaitMs);
    m_thread.Close();
    m_shared.reset();
}

bool CRecorder::PauseForRelay() {
    if (!Running() || m_bPausedForRelay) return false;
    m_bPausedForRelay = true;
    return true;
}

bool CRecorder::ResumeAfterRelay() {
    const bool paused = m_bPausedForRelay;
    m_bPausedForRelay = false;
    return paused;
}
