#include "framework/Controls.h"
#include "framework/WinApp.h"

#include <string>

CString WindowText(HWND window) {
    std::string buffer(::GetWindowTextLengthA(window) + 1, '\0');
    buffer.resize(::GetWindowTextA(window, &buffer[0], static_cast<int>(buffer.size())));
    return CString(std::move(buffer));
}

int CWnd::MessageBox(const char* text, UINT type) {
    return ::MessageBoxA(m_hWnd, text, AfxGetAppName(), type);
}

int AfxMessageBox(const char* text, UINT type) {
    // Owned by the main window also while it is hidden or inactive, so that it is disabled
    // while the box waits: the active window is none then.
    const CWnd* main = AfxGetApp() ? AfxGetApp()->m_pMainWnd : nullptr;
    HWND owner = main && ::IsWindow(main->m_hWnd) ? main->m_hWnd : ::GetActiveWindow();
    return ::MessageBoxA(owner, text, AfxGetAppName(), type);
}

void CComboBox::GetLBText(int index, CString& text) const {
    const int length = Send(CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) {
        text = CString();
        return;
    }
    std::string buffer(length + 1, '\0');
    const int copied = Send(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&buffer[0]));
    buffer.resize(copied == CB_ERR ? 0 : copied);
    text = CString(std::move(buffer));
}
