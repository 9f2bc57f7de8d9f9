// Minimising to the notification area and coming back from it.
#include "framework/WinApp.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

#include <cstring>

void CSonafeedDlg::MinimizeToTray() {
    ShowWindow(SW_HIDE);
    m_nid.cbSize = sizeof m_nid;
    m_nid.hIcon =
        static_cast<HICON>(::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                        IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    m_nid.hWnd = m_hWnd;
    std::strcpy(m_nid.szTip, texts::kTrayTip);
    m_nid.uCallbackMessage = WM_TRAYNOTIFY;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    // The window is hidden whether or not the shell takes the icon.
    ::Shell_NotifyIconA(NIM_ADD, reinterpret_cast<PNOTIFYICONDATAA>(&m_nid));
}

LRESULT CSonafeedDlg::OnTrayNotify(WPARAM, LPARAM lParam) {
    if (lParam == WM_LBUTTONDOWN || lParam == WM_RBUTTONDOWN) {
        // A plain style change: nothing moves in the z-order until the window is shown.
        const LONG exStyle = ::GetWindowLongA(m_hWnd, GWL_EXSTYLE);
        ::SetWindowLongA(m_hWnd, GWL_EXSTYLE, exStyle | WS_EX_TOPMOST);
        ShowWindow(SW_SHOW);
    }
    return 0;
}
