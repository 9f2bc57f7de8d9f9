// Minimising to the notification area and coming back from it.
#include "framework/WinApp.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

#include <cstring>

void CSonafeedDlg::MinimizeToTray() {
    ShowWindow(SW_HIDE);
    AddTrayIcon();
}

void CSonafeedDlg::AddTrayIcon() {
    m_nid.cbSize = sizeof m_nid;
    m_nid.hIcon = m_hSmallIcon;
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

// A silence is told in the icon's tip, and in a balloon while the window is out of sight
// (minimised, or in the tray); an icon that is not there yet is added for it.
void CSonafeedDlg::ShowSilenceInTray(bool silent) {
    NOTIFYICONDATAA balloon{};
    balloon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    balloon.hWnd = m_hWnd;
    balloon.uFlags = NIF_TIP;
    std::strcpy(balloon.szTip, silent ? texts::kTrayTipSilent : texts::kTrayTip);
    const bool away = !::IsWindowVisible(m_hWnd) || IsIconic();
    if (silent && away) {
        balloon.uFlags |= NIF_INFO;
        balloon.dwInfoFlags = NIIF_WARNING;
        std::strcpy(balloon.szInfoTitle, texts::kTrayTip);
        CString text;
        text.Format(texts::kSilenceBalloonFormat, m_audioSettings.silenceSeconds);
        std::strncpy(balloon.szInfo, text, sizeof balloon.szInfo - 1);
        if (!::Shell_NotifyIconA(NIM_MODIFY, &balloon)) AddTrayIcon();
    }
    ::Shell_NotifyIconA(NIM_MODIFY, &balloon);
}
