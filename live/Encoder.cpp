// The encoder child: started hidden with its console output in the status file, which the
// watchdog reads back for the encoder's last words and to see that it still makes progress.
#include "framework/CodePage.h"
#include "framework/Handle.h"
#include "framework/SystemFunction.h"
#include "framework/core/Utf8.h"
#include "live/core/EncoderCommand.h"
#include "live/core/AudioLevels.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"
#include "ui/core/LogLine.h"

#include <psapi.h>
#include <tlhelp32.h>

namespace {

// Reading a 64-bit process's image path from a 32-bit one takes QueryFullProcessImageNameA
// (Vista on) and this right; Windows XP has neither, nor 64-bit encoders to find.
constexpr DWORD kQueryLimitedInformation = 0x1000;
using QueryImageName = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);

// The image path of a running process, empty when it cannot be read.
std::string ImagePath(HANDLE process, QueryImageName query) {
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof path;
    if (query) return query(process, 0, path, &size) ? std::string(path, size) : std::string();
    return ::GetModuleFileNameExA(process, nullptr, path, sizeof path) ? path : "";
}

DWORD SessionOf(DWORD processId) {
    DWORD session = 0;
    return ::ProcessIdToSessionId(processId, &session) ? session : ~DWORD{0};
}

} // namespace

void CSonafeedDlg::StartEncoder() {
    CString bitrate;
    m_comboBitrate.GetLBText(m_nBitrateIndex, bitrate);
    // A stored position that names no entry publishes at the default bitrate.
    if (bitrate.IsEmpty()) bitrate = kBitrates[kDefaultBitrateIndex];
    // While the relay has the stream the encoder only measures the device, for its sound to
    // return.
    const std::string device = EncoderDevice().Text();
    std::string arguments = m_bBackupOnAir
                                ? BuildMonitorArgs(device, kLevelFilters)
                                : BuildEncoderArgs(device, bitrate.Text(), m_strPublishUrl.Text(),
                                                   m_health.AacEncoder(), m_health.LevelFilters(),
                                                   m_health.Records() ? m_recorder.Port() : 0);
    if (!m_bBackupOnAir && m_recorder.ResumeAfterRelay()) AddLog(texts::kRecordingResumed);

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool nt = ::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    bool ownFirstUsed = false;
    const HANDLE status =
        m_health.File().OpenForEncoder(m_strAppDir + "\\" + kLogFolder, nt, ownFirstUsed);
    if (ownFirstUsed) AddLog(CString(texts::kOwnStatusFile) + m_health.File().Path());

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = status;
    startup.hStdError = status;
    // A failed start leaves no child; the watchdog reports it at its next tick.
    if (m_pi.CreateSuspended(m_strFfmpegPath, arguments, startup, {status})) m_job.Adopt(m_pi);
    m_health.Watch(m_pi.IsValid());
    m_restartSchedule.EncoderStarted();
    ++m_nEncoderRun;
    m_serverWatch.Reset();
}

void CSonafeedDlg::StopEncoder() {
    // Does not wait for the child to end; safe without a child.
    if (m_pi.IsValid()) ::TerminateProcess(m_pi.Process(), 0);
    m_pi.Close();
    m_health.File().Close();
    ClearLevels();
}

// An encoder of this installation that runs in this Windows session before this program has
// started one was left by an earlier run that ended without ending it: it would publish beside
// ours. Another user's, in another session, is that user's business.
void CSonafeedDlg::EndLeftoverEncoders() {
    static const auto query = Kernel32Function<QueryImageName>("QueryFullProcessImageNameA");
    const DWORD access = PROCESS_TERMINATE | (query ? kQueryLimitedInformation
                                                    : PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
    const DWORD session = SessionOf(::GetCurrentProcessId());
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool ended = false;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more;
         more = ::Process32Next(snapshot.Get(), &entry)) {
        if (SessionOf(entry.th32ProcessID) != session) continue;
        CHandle process(::OpenProcess(access, FALSE, entry.th32ProcessID));
        if (process.IsValid() &&
            IsEncoderImage(ImagePath(process.Get(), query), m_strFfmpegPath.Text()))
            ended |= ::TerminateProcess(process.Get(), 1) != FALSE;
    }
    if (ended) AddLog(texts::kLeftoverEncoderEnded);
}

// Logs an exited encoder's last line, once, and tells the schedule whether it was on air. True
// when that encoder refused libfdk_aac, the measuring filters or the recording's output, so
// that the next start, without them, can follow at once.
bool CSonafeedDlg::ReportEncoderExit() {
    CEncoderHealth::Exit exit;
    if (!m_health.TakeExit(exit)) return false;
    if (exit.wasOnAir) m_restartSchedule.EncoderWasOnAir();
    if (!exit.lastLine.empty()) {
        CString line(exit.lastLine);
        // An encoder build that prints in the ANSI code page already gives text that is not
        // UTF-8.
        if (IsValidUtf8(line.Text())) Utf8ToAnsi(&line);
        AddLog(CString(texts::kEncoderSays) + line);
    }
    if (exit.refusedLibfdkAac && m_health.UseBuiltInAac()) AddLog(texts::kBuiltInAacFallback);
    if (exit.refusedLevels) AddLog(texts::kLevelsRefused);
    if (exit.refusedRecording) AddLog(texts::kRecordingRefused);
    return exit.refusedLibfdkAac || exit.refusedLevels || exit.refusedRecording;
}

// A build whose banner says it lacks libfdk_aac starts with the built-in aac from the first
// start on, instead of being refused first.
void CSonafeedDlg::ReadEncoderBanner(const std::string& output) {
    if (m_health.ReadBanner(output)) AddLog(texts::kBuiltInAacFallback);
}

// At each watchdog tick while the encoder runs. A file that stopped growing because its drive
// is full says nothing of the encoder: the watch pauses (said once) until the file grows again.
void CSonafeedDlg::WatchRunningEncoder() {
    switch (m_health.Check()) {
    case CEncoderHealth::Verdict::kWorking:
        break;
    case CEncoderHealth::Verdict::kStalled:
        OnEncoderStalled();
        break;
    case CEncoderHealth::Verdict::kStallWatchPaused:
        AddLog(texts::kStallWatchPaused);
        break;
    case CEncoderHealth::Verdict::kNeverPublished:
        EndStalledEncoder();
        break;
    }
}
