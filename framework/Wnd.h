// CWnd: holds a window handle and forwards to the Win32 calls the program uses. Owns nothing.
#pragma once
#include "framework/String.h"

#include <windows.h>

// The whole text of any window or control.
CString WindowText(HWND window);

class CWnd {
  public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetWindowText(CString& text) const { text = WindowText(m_hWnd); }
    void SetDlgItemText(int id, const char* text) { ::SetDlgItemTextA(m_hWnd, id, text); }
    // BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE.
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckDlgButton(int id, UINT state) { ::CheckDlgButton(m_hWnd, id, state); }
    UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds) {
        return ::SetTimer(m_hWnd, id, milliseconds, nullptr);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    // WM_SETREDRAW: while off, changes are not drawn; Invalidate() draws them all at once.
    void SetRedraw(BOOL redraw) { ::SendMessageA(m_hWnd, WM_SETREDRAW, redraw, 0); }
    void Invalidate() { ::InvalidateRect(m_hWnd, nullptr, TRUE); }
    // A message box owned by this window, captioned with the application name.
    int MessageBox(const char* text, UINT type = MB_OK);

    HWND m_hWnd = nullptr;
};

// The standard message box of the application: captioned with its name, owned by the main
// window (before there is one, by the active window).
int AfxMessageBox(const char* text, UINT type = MB_OK);
