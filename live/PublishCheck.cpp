// Checks of the publish address and the device before a broadcast or a relay request.
#include "live/core/PublishUrl.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

namespace {
// The operator's text for what the check found; nullptr when there is nothing to say.
const char* Remark(PublishUrlCheck check) {
    switch (check) {
    case PublishUrlCheck::kAccepted:
        break;
    case PublishUrlCheck::kNotPublishDomain:
        return texts::kUrlNotPublishDomain;
    case PublishUrlCheck::kTooShort:
        return texts::kUrlTooShort;
    case PublishUrlCheck::kBadScheme:
        return texts::kUrlBadPrefix;
    case PublishUrlCheck::kEmptyApp:
        return texts::kUrlEmptyApp;
    case PublishUrlCheck::kEmptyStream:
        return texts::kUrlEmptyStream;
    }
    return nullptr;
}
} // namespace

bool CSonafeedDlg::CheckPublishUrl() {
    RemoveBlanks(m_strPublishUrl.Text());
    const PublishUrlCheck check = CheckPublishUrlText(m_strPublishUrl.Text());
    if (const char* remark = Remark(check)) AddLog(remark);
    return IsUsable(check);
}

bool CSonafeedDlg::CheckBeforeLive() {
    if (!CheckPublishUrl()) return false;
    if (m_strDevice.IsEmpty()) {
        AddLog(texts::kNoDevice);
        return false;
    }
    return true;
}
