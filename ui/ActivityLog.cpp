// The activity log: timestamped lines, newest at the top of the log list box, each also kept
// in a daily file beside the program.
#include "framework/Handle.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"
#include "ui/core/LogLine.h"

#include <ctime>

namespace {

// The window keeps the newest lines only; the daily file keeps them all. A day of an encoder
// that fails at every attempt writes about a thousand lines an hour: this is some hours of that,
// more than an operator scrolls through, and weeks of a healthy station's lines.
constexpr int kLogLinesShown = 5000;

// Appends the line and CR LF; false when the file cannot be opened or written.
bool AppendLine(const char* path, const CString& line) {
    CHandle file(::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    const std::string bytes = line.Text() + "\r\n";
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}

} // namespace

void CSonafeedDlg::AddLog(CString message) {
    const __time64_t now = _time64(nullptr);
    const std::tm* local = _localtime64(&now);
    const CString line(FormatLogLine(local, message.Text()));
    const CString path = m_strAppDir + "\\" + LogFileName(local);
    // An explicit position is kept by the sorted list box, so the newest line stays on top. Past
    // the cap the oldest line goes from the bottom (a shorter list has no such position); both
    // are drawn at once, since the box draws itself after each change otherwise.
    m_listLog.SetRedraw(FALSE);
    m_listLog.InsertString(0, line);
    m_listLog.DeleteString(kLogLinesShown);
    m_listLog.SetRedraw(TRUE);
    m_listLog.Invalidate();
    AppendToLogFile(path, line);
}

void CSonafeedDlg::AppendToLogFile(const CString& path, const CString& line) {
    if (AppendLine(path, line)) return;
    // The first line of a run, or of a day, may find the folder missing.
    const std::string& text = path.Text();
    ::CreateDirectoryA(text.substr(0, text.rfind('\\')).c_str(), nullptr);
    if (AppendLine(path, line) || m_bLogFileReported) return;
    m_bLogFileReported = true;
    // This line tries the file again, and fails quietly now.
    AddLog(CString(texts::kLogFileFailed) + path);
}

void CSonafeedDlg::OnClearLog() {
    // The screen only: the daily file keeps every line.
    m_listLog.ResetContent();
}
