// The logger recording as the settings ask for it, and what its helper reports.
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

namespace {
// In the installation's folder, unless the settings name another.
constexpr char kRecordingFolder[] = "录音";
constexpr unsigned long long kMiB = 1ull << 20;

bool IsFullPath(const std::string& path) {
    return path.size() >= 2 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\'));
}
} // namespace

// Started at start-up and anew for changed settings, on the port it had, so that a running
// encoder is recorded on; its other settings count from then on.
void CSonafeedDlg::ApplyRecording() {
    if (!m_audioSettings.record) {
        m_recorder.Stop();
        return;
    }
    const std::string& folder = m_audioSettings.recordFolder;
    RecordingOptions options;
    options.folder = folder.empty()       ? m_strAppDir + "\\" + kRecordingFolder
                     : IsFullPath(folder) ? CString(folder.c_str())
                                          : m_strAppDir + "\\" + folder.c_str();
    options.keepDays = m_audioSettings.recordDays;
    options.floorBytes = static_cast<unsigned long long>(m_audioSettings.recordFloorMb) * kMiB;
    options.periodSeconds = m_audioSettings.recordPeriodSeconds;
    if (!m_recorder.Start(options, m_hWnd, WM_RECORDING_EVENT))
        AddLog(texts::kRecordingCannotStart);
}

LRESULT CSonafeedDlg::OnRecordingEvent(WPARAM event, LPARAM files) {
    CString line;
    switch (event) {
    case kRecordingNoRoom:
        line.Format(texts::kRecordingNoRoomFormat, m_audioSettings.recordFloorMb);
        break;
    case kRecordingRoomAgain:
        line = texts::kRecordingRoomAgain;
        break;
    case kRecordingCannotWrite:
        line = CString(texts::kRecordingCannotWrite) + m_recorder.Folder();
        break;
    case kRecordingWritingAgain:
        line = texts::kRecordingWritingAgain;
        break;
    case kRecordingExpired:
        line.Format(texts::kRecordingExpiredFormat, m_audioSettings.recordDays,
                    static_cast<int>(files));
        break;
    default:
        return 0;
    }
    AddLog(line);
    return 0;
}

// The relay's audio is recorded at the service, not here.
void CSonafeedDlg::PauseRecordingForRelay() {
    if (m_recorder.PauseForRelay()) AddLog(texts::kRecordingPausedForRelay);
}
