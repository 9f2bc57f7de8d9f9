// The encoder child: started hidden with its console output in the status file, which the
// watchdog reads back for the encoder's last words and to see that it still makes progress.
#include "framework/CodePage.h"
#include "framework/Handle.h"
#include "framework/core/Utf8.h"
#include "live/core/EncoderCommand.h"
#include "live/core/EncoderStatus.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"
#include "ui/core/LogLine.h"

#include <psapi.h>
#include <tlhelp32.h>

namespace {

// Below this much free space the status file's drive cannot take the encoder's next lines.
constexpr ULONGLONG kRoomToGrowBytes = 4096;

// Shared in every way, so that the encoder's own handle never keeps it from opening. Only used
// on the NT family, where an encoder writes into the file.
HANDLE OpenStatusForReading(const CString& path) {
    return ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// At most the last kStatusTailBytes of the status file; false when it cannot be read. `cut`
// tells whether it starts inside the file.
bool ReadStatusTail(const CString& path, std::string& tail, bool& cut) {
    CHandle file(OpenStatusForReading(path));
    LARGE_INTEGER size{};
    if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size)) return false;
    LARGE_INTEGER start{};
    start.QuadPart =
        size.QuadPart > LONGLONG{kStatusTailBytes} ? size.QuadPart - kStatusTailBytes : 0;
    if (!::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN)) return false;
    cut = start.QuadPart > 0;
    char buffer[kStatusTailBytes];
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) return false;
    tail.assign(buffer, read);
    return true;
}

bool ReadStatusSize(const CString& path, unsigned long long& size) {
    CHandle file(OpenStatusForReading(path));
    LARGE_INTEGER value{};
    if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &value)) return false;
    size = static_cast<unsigned long long>(value.QuadPart);
    return true;
}

// True when the drive that holds `path` has no room left for the encoder's next lines.
bool DriveFullFor(const CString& path) {
    const std::string& text = path.Text();
    const std::string folder = text.substr(0, text.find_last_of("\\/") + 1);
    ULARGE_INTEGER available{};
    return ::GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr) &&
           available.QuadPart < kRoomToGrowBytes;
}

// The image path of a running process, empty when it cannot be read.
std::string ImagePath(HANDLE process) {
    char path[MAX_PATH * 2] = {};
    return ::GetModuleFileNameExA(process, nullptr, path, sizeof path) ? path : "";
}

} // namespace

void CSonafeedDlg::OpenStatusFile(bool nt, CHandle& status) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    const DWORD share = nt ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                           : FILE_SHARE_READ | FILE_SHARE_WRITE;
    auto open = [&](const CString& path) {
        status.Attach(::CreateFileA(path, GENERIC_WRITE, share, nt ? &security : nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        return status.IsValid();
    };
    m_strStatusFile = kStatusFile;
    if (ClaimSharedStatusFile() && open(m_strStatusFile)) return;
    // Not ours, not creatable, or held without sharing: the installation's own file.
    const CString folder = m_strAppDir + "\\" + kLogFolder;
    m_strStatusFile = folder + "\\" + kOwnStatusFileName;
    ::CreateDirectoryA(folder, nullptr);
    if (open(m_strStatusFile) && !m_bOwnStatusFileLogged) {
        m_bOwnStatusFileLogged = true;
        AddLog(CString(texts::kOwnStatusFile) + m_strStatusFile);
    }
}

// The machine has one shared status file: the first installation to start an encoder while no
// other holds it keeps it until it ends, so that no two encoders write or judge the same file.
bool CSonafeedDlg::ClaimSharedStatusFile() {
    // Without the claim there is no telling: the shared file, as ever.
    if (m_bStatusFileClaimed || !m_statusFileClaim.IsValid()) return true;
    // Abandoned: an installation that held it has ended.
    const DWORD claim = ::WaitForSingleObject(m_statusFileClaim.Get(), 0);
    m_bStatusFileClaimed = claim == WAIT_OBJECT_0 || claim == WAIT_ABANDONED;
    return m_bStatusFileClaimed;
}

void CSonafeedDlg::StartEncoder() {
    CString bitrate;
    m_comboBitrate.GetLBText(m_nBitrateIndex, bitrate);
    // A stored position that names no entry publishes at the default bitrate.
    if (bitrate.IsEmpty()) bitrate = kBitrates[kDefaultBitrateIndex];
    std::string arguments =
        BuildEncoderArgs(m_strDevice.Text(), bitrate.Text(), m_strPublishUrl.Text(),
                         m_bBuiltInAac ? kBuiltInAac : kLibfdkAac);

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool nt = ::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    CHandle status;
    OpenStatusFile(nt, status);
    // Emptied, so that the file holds this encoder's output only.
    if (status.IsValid()) ::SetEndOfFile(status.Get());

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = status.Get();
    startup.hStdError = status.Get();
    // A failed start leaves no child; the watchdog reports it at its next tick.
    if (m_pi.CreateSuspended(m_strFfmpegPath, arguments, startup)) m_job.Adopt(m_pi);
    // Outside the NT family the handle cannot be inherited: the child writes nowhere.
    m_bStatusWatched = m_pi.IsValid() && status.IsValid() && nt;
    m_stallWatch.Reset();
    ++m_nEncoderRun;
    m_serverWatch.Reset();
}

void CSonafeedDlg::StopEncoder() {
    // Does not wait for the child to end; safe without a child.
    if (m_pi.IsValid()) ::TerminateProcess(m_pi.Process(), 0);
    m_pi.Close();
}

// An encoder of this installation that runs before this program has started one was left by an
// earlier run that ended without ending it: it would publish beside ours.
void CSonafeedDlg::EndLeftoverEncoders() {
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool ended = false;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more;
         more = ::Process32Next(snapshot.Get(), &entry)) {
        CHandle process(
            ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE, FALSE,
                          entry.th32ProcessID));
        if (process.IsValid() &&
            ::lstrcmpiA(ImagePath(process.Get()).c_str(), m_strFfmpegPath) == 0)
            ended |= ::TerminateProcess(process.Get(), 1) != FALSE;
    }
    if (ended) AddLog(texts::kLeftoverEncoderEnded);
}

// Logs an exited encoder's last line, once. True when that encoder refused libfdk_aac, so that
// the next start, with the built-in aac, can follow at once.
bool CSonafeedDlg::ReportEncoderExit() {
    if (!m_bStatusWatched) return false;
    m_bStatusWatched = false;
    std::string tail;
    bool cut = false;
    if (!ReadStatusTail(m_strStatusFile, tail, cut)) return false;
    CString line(LastStatusLine(tail, cut));
    if (line.IsEmpty()) return false;
    // An encoder build that prints in the ANSI code page already gives text that is not UTF-8.
    if (IsValidUtf8(line.Text())) Utf8ToAnsi(&line);
    AddLog(CString(texts::kEncoderSays) + line);
    const bool refused = !m_bBuiltInAac && LacksLibfdkAac(tail);
    if (refused) UseBuiltInAac();
    return refused;
}

// A build whose banner says it lacks libfdk_aac starts with the built-in aac from the first
// start on, instead of being refused first.
void CSonafeedDlg::ReadEncoderBanner(const std::string& output) {
    if (LibfdkAacInBanner(output) == LibfdkAac::kAbsent) UseBuiltInAac();
}

void CSonafeedDlg::UseBuiltInAac() {
    if (m_bBuiltInAac) return;
    m_bBuiltInAac = true;
    AddLog(texts::kBuiltInAacFallback);
}

// False while the encoder has written no progress line: it has not yet got through to its server.
bool CSonafeedDlg::EncoderMadeProgress() {
    std::string tail;
    bool cut = false;
    return !ReadStatusTail(m_strStatusFile, tail, cut) || cut || HasProgressLine(tail);
}

// A file that stopped growing because its drive is full says nothing of the encoder: the watch
// pauses (said once) until the file grows again.
bool CSonafeedDlg::EncoderStalled() {
    if (!m_bStatusWatched) return false;
    unsigned long long size = 0;
    if (!ReadStatusSize(m_strStatusFile, size)) {
        m_stallWatch.Reset();
        return false;
    }
    if (!m_stallWatch.Stalled(size)) return false;
    if (!DriveFullFor(m_strStatusFile)) return true;
    AddLog(texts::kStallWatchPaused);
    return false;
}
