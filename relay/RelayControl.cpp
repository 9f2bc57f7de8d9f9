// The relay pull: the service relays the pull address into the publish stream, taking turns
// with the live broadcast.
#include "live/core/PublishUrl.h"
#include "relay/OpenApiClient.h"
#include "relay/core/PullRequest.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

bool CSonafeedDlg::SplitPublishUrl(CString& appId, CString& stream) {
    if (!CheckPublishUrl()) return false;
    switch (SplitPublishUrlText(m_strPublishUrl.Text(), appId.Text(), stream.Text())) {
    case PublishUrlSplit::kSplit:
        return true;
    case PublishUrlSplit::kNoSlash:
        AddLog(texts::kUrlNoSlash);
        break;
    case PublishUrlSplit::kNoSecondSlash:
        AddLog(texts::kUrlNoSecondSlash);
        break;
    }
    return false;
}

void CSonafeedDlg::OnStartPull() {
    UpdateData(TRUE);
    CString appId;
    CString stream;
    if (!SplitPublishUrl(appId, stream)) return;
    SaveConfig();
    CString error;
    if (m_bPulling) {
        AdoptPullAnswer(kPullDel, SendPullRequest(appId, stream, kPullDel, error), error);
        // The relay stood in for a silent studio: the studio is back on air.
        if (!m_bPulling && m_bBackupOnAir) LeaveBackup();
        return;
    }
    // The relay takes over the stream: a running broadcast ends first, whatever the answer.
    const bool wasLive = m_bLive;
    if (m_bLive) {
        EndLive();
        m_bLive = false;
    }
    AdoptPullAnswer(kPullAdd, SendPullRequest(appId, stream, kPullAdd, error), error);
    if (wasLive && m_bPulling) PauseRecordingForRelay();
}

void CSonafeedDlg::RequestPullStateAtStartup() {
    CString appId;
    CString stream;
    if (!SplitPublishUrl(appId, stream)) return;
    CString error;
    AdoptPullAnswer(kPullPlay, SendPullRequest(appId, stream, kPullPlay, error), error);
}

bool CSonafeedDlg::SendPullRequest(const CString& appId, const CString& stream, const char* type,
                                   CString& error) {
    return m_openApi.CallPullStreamOp(m_strAccessId, m_strAccessKey, appId, stream, type,
                                      m_strPullUrl, error, {m_hWnd, WM_PULL_ANSWERED_LATE});
}

bool CSonafeedDlg::AdoptPullAnswer(const CString& type, bool accepted, const CString& error) {
    const bool add = type.Text() == kPullAdd;
    if (add || type.Text() == kPullDel) {
        if (accepted)
            ShowPulling(add);
        else
            AddLog((add ? texts::kPullFailed : texts::kPullStopFailed) +
                   AnswerForLog(error.Text()));
        return true;
    }
    // The start-up query: a refusal that says the relay is active counts as pulling too, any
    // other is silent.
    if (!accepted && !HoldsRelayActiveFlag(error.Text())) return false;
    ShowPulling(true);
    return true;
}

void CSonafeedDlg::ShowPulling(bool pulling) {
    SetDlgItemText(IDC_START_PULL, pulling ? texts::kStopPull : texts::kStartPull);
    AddLog(pulling ? texts::kPulling : texts::kPullStopped);
    m_bPulling = pulling;
}

LRESULT CSonafeedDlg::OnPullAnsweredLate(WPARAM, LPARAM) {
    LatePullAnswer late;
    // A late transport failure tells nothing about the service that the time-out box did not.
    if (!m_openApi.TakeLateAnswer(late) || !late.answered) return 0;
    if (!AdoptPullAnswer(late.type, late.accepted, late.error)) return 0;
    AddLog(texts::kAnsweredLate);
    // The operator went live after this relay request timed out; that start would have stopped
    // a held relay first, so the later command wins.
    if (m_bPulling && m_bLive) OnStartPull();
    return 0;
}
