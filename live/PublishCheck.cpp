// Checks of the publish address and the device before a broadcast or a relay request.
#include "live/PublishUrl.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

bool CSonafeedDlg::CheckPublishUrl() {
    RemoveBlanks(m_strPublishUrl.Text());
    bool accepted = false;
    if (const char* complaint = CheckPublishUrlText(m_strPublishUrl.Text(), accepted))
        AddLog(complaint);
    return accepted;
}

bool CSonafeedDlg::CheckBeforeLive() {
    if (!CheckPublishUrl()) return false;
    if (m_strDevice.IsEmpty()) {
        AddLog(texts::kNoDevice);
        return false;
    }
    return true;
}
