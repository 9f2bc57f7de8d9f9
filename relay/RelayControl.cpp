// The relay pull: the service relays the pull address into the publish stream, taking turns
// with the live broadcast.
#include "live/PublishUrl.h"
#include "relay/OpenApiClient.h"
#include "relay/PullRequest.h"
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
        if (CallPullStreamOp(m_strAccessId, m_strAccessKey, appId, stream, texts::kPullDel,
                             m_strPullUrl, error)) {
            SetDlgItemText(IDC_START_PULL, texts::kStartPull);
            AddLog(texts::kPullStopped);
            m_bPulling = false;
        } else {
            AddLog(texts::kPullStopFailed + AnswerForLog(error.Text()));
        }
        return;
    }
    // The relay takes over the stream: a running broadcast ends first, whatever the answer.
    if (m_bLive) {
        EndLive();
        m_bLive = false;
    }
    if (CallPullStreamOp(m_strAccessId, m_strAccessKey, appId, stream, texts::kPullAdd,
                         m_strPullUrl, error)) {
        SetDlgItemText(IDC_START_PULL, texts::kStopPull);
        AddLog(texts::kPulling);
        m_bPulling = true;
    } else {
        AddLog(texts::kPullFailed + AnswerForLog(error.Text()));
    }
}

void CSonafeedDlg::RequestPullStateAtStartup() {
    CString appId;
    CString stream;
    if (!SplitPublishUrl(appId, stream)) return;
    CString error;
    // A refusal that says the relay is active counts as pulling too.
    if (CallPullStreamOp(m_strAccessId, m_strAccessKey, appId, stream, texts::kPullPlay,
                         m_strPullUrl, error) ||
        HoldsRelayActiveFlag(error.Text())) {
        m_bPulling = true;
        SetDlgItemText(IDC_START_PULL, texts::kStopPull);
        AddLog(texts::kPulling);
    }
}
