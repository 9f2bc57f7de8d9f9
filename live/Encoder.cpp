// The encoder child: started hidden with its console output in the status file.
#include "live/EncoderCommand.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

void CSonafeedDlg::StartEncoder() {
    CString bitrate;
    m_comboBitrate.GetLBText(m_nBitrateIndex, bitrate);
    // A stored position that names no entry publishes at the default bitrate.
    if (bitrate.IsEmpty()) bitrate = texts::kBitrates[texts::kDefaultBitrateIndex];
    std::string arguments =
        BuildEncoderArgs(m_strDevice.Text(), bitrate.Text(), m_strPublishUrl.Text());

    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool nt = ::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    // Opened without truncation: each child writes from the start over what an earlier left.
    HANDLE status =
        ::CreateFileA(texts::kStatusFile, GENERIC_WRITE,
                      nt ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                         : FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nt ? &security : nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);

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
