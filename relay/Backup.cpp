// The relay as the backup of a silent studio: while the device is silent the service relays the
// pull address into the stream, and an encoder that publishes nothing listens for the device's
// sound to return.
#include "framework/Exception.h"
#include "live/core/PublishUrl.h"
#include "relay/core/PullRequest.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

// Asked for in the settings, with what the relay needs, and no relay held already.
bool CSonafeedDlg::BackupWanted() const {
    return m_audioSettings.backupRelay && !m_bPulling && !m_strPullUrl.IsEmpty() &&
           !m_strAccessId.IsEmpty() && !m_strAccessKey.IsEmpty();
}

// The relay request that a switch sends, for the broadcast's own address; false with the reason
// in `error` when it was refused or could not be sent.
bool CSonafeedDlg::SendBackupRequest(const char* type, CString& error) {
    CString appId;
    CString stream;
    if (SplitPublishUrlText(m_strPublishUrl.Text(), appId.Text(), stream.Text()) !=
        PublishUrlSplit::kSplit)
        return false;
    try {
        return SendPullRequest(appId, stream, type, error);
    } catch (const CException& failure) {
        error = failure.Description();
        return false;
    }
}

void CSonafeedDlg::StartBackup() {
    AddLog(texts::kBackupStarts);
    StopEncoder();
    CString error;
    if (SendBackupRequest(kPullAdd, error)) {
        ShowPulling(true);
        m_bBackupOnAir = true;
        PauseRecordingForRelay();
    } else {
        // Silence from the studio is better than nothing on air.
        AddLog(texts::kPullFailed + AnswerForLog(error.Text()));
        AddLog(texts::kBackupFailed);
    }
    StartEncoder();
}

void CSonafeedDlg::EndBackup() {
    AddLog(texts::kBackupEnds);
    CString error;
    if (!SendBackupRequest(kPullDel, error)) {
        // The relay still has the stream: the next return of sound tries again.
        AddLog(texts::kPullStopFailed + AnswerForLog(error.Text()));
        m_health.Silence().Rearm();
        return;
    }
    ShowPulling(false);
    LeaveBackup();
}

// The relay has let go of the stream: live again, with a fresh encoder.
void CSonafeedDlg::LeaveBackup() {
    m_bBackupOnAir = false;
    StopEncoder();
    StartEncoder();
}
