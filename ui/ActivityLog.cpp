// The activity log: timestamped lines, newest at the top of the log list box.
#include "ui/LogLine.h"
#include "ui/SonafeedDlg.h"

#include <ctime>

void CSonafeedDlg::AddLog(CString message) {
    const __time64_t now = _time64(nullptr);
    const std::tm* local = _localtime64(&now);
    // An explicit position is kept by the sorted list box, so the newest line stays on top.
    m_listLog.InsertString(0, CString(FormatLogLine(local, message.Text())));
}

void CSonafeedDlg::OnClearLog() {
    m_listLog.ResetContent();
}
