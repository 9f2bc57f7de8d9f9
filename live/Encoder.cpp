// The encoder child: started hidden with its console output in the status file, which the
// watchdog reads back for the encoder's last words and to see that it still makes progress.
#include "framework/CodePage.h"
#include "framework/Handle.h"
#include "live/EncoderCommand.h"
#include "live/EncoderStatus.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

namespace {

// Shared in every way, so that the encoder's own handle never keeps it from opening. Only used
// on the NT family, where an encoder writes into the file.
HANDLE OpenStatusForReading() {
    return ::CreateFileA(texts::kStatusFile, GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// At most the last kStatusTailBytes of the status file; false when it cannot be read.
bool ReadStatusTail(std::string& tail) {
    CHandle file(OpenStatusForReading());
    LARGE_INTEGER size{};
    if (file.Get() == INVALID_HANDLE_VALUE || !::GetFileSizeEx(file.Get(), &size)) return false;
    LARGE_INTEGER start{};
    start.QuadPart =
        size.QuadPart > LONGLONG{kStatusTailBytes} ? size.QuadPart - kStatusTailBytes : 0;
    if (!::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN)) return false;
    char buffer[kStatusTailBytes];
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) return false;
    tail.assign(buffer, read);
    return true;
}

bool ReadStatusSize(unsigned long long& size) {
    CHandle file(OpenStatusForReading());
    LARGE_INTEGER value{};
    if (file.Get() == INVALID_HANDLE_VALUE || !::GetFileSizeEx(file.Get(), &value)) return false;
    size = static_cast<unsigned long long>(value.QuadPart);
    return true;
}

} // namespace

void CSonafeedDlg::StartEncoder() {
    CString bitrate;
    m_comboBitrate.GetLBText(m_nBitrateIndex, bitrate);
    // A stored position that names no entry publishes at the default bitrate.
    if (bitrate.IsEmpty()) bitrate = texts::kBitrates[texts::kDefaultBitrateIndex];
    std::string arguments =
        BuildEncoderArgs(m_strDevice.Text(), bitrate.Text(), m_strPublishUrl.Text(),
                         m_bBuiltInAac ? kBuiltInAac : kLibfdkAac);

    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool nt = ::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    HANDLE status =
        ::CreateFileA(texts::kStatusFile, GENERIC_WRITE,
                      nt ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                         : FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nt ? &security : nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Emptied, so that the file holds this encoder's output only.
    if (status != INVALID_HANDLE_VALUE) ::SetEndOfFile(status);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = status;
    startup.hStdError = status;
    // A failed start leaves no child; the watchdog reports it at its next tick.
    if (!::CreateProcessA(m_strFfmpegPath, &arguments[0], nullptr, nullptr, TRUE, 0, nullptr,
                          nullptr, &startup, &m_pi))
        m_pi = PROCESS_INFORMATION{};
    // Outside the NT family the handle cannot be inherited: the child writes nowhere.
    m_bStatusWatched = m_pi.hProcess && status != INVALID_HANDLE_VALUE && nt;
    m_stallWatch.Reset();
    ++m_nEncoderRun;
    m_serverWatch.Reset();
    if (status != INVALID_HANDLE_VALUE) ::CloseHandle(status);
}

void CSonafeedDlg::CloseEncoderHandles() {
    if (m_pi.hProcess) ::CloseHandle(m_pi.hProcess);
    if (m_pi.hThread) ::CloseHandle(m_pi.hThread);
    m_pi.hProcess = nullptr;
    m_pi.hThread = nullptr;
}

void CSonafeedDlg::StopEncoder() {
    // Does not wait for the child to end; safe without a child.
    if (m_pi.hProcess) ::TerminateProcess(m_pi.hProcess, 0);
    CloseEncoderHandles();
}

// Logs an exited encoder's last line, once. True when that encoder refused libfdk_aac, so that
// the next start, with the built-in aac, can follow at once.
bool CSonafeedDlg::ReportEncoderExit() {
    if (!m_bStatusWatched) return false;
    m_bStatusWatched = false;
    std::string tail;
    if (!ReadStatusTail(tail)) return false;
    CString line(LastStatusLine(tail));
    if (line.IsEmpty()) return false;
    Utf8ToAnsi(&line);
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

bool CSonafeedDlg::EncoderStalled() {
    if (!m_bStatusWatched) return false;
    unsigned long long size = 0;
    if (!ReadStatusSize(size)) {
        m_stallWatch.Reset();
        return false;
    }
    return m_stallWatch.Stalled(size);
}
