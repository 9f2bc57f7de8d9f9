#include "framework/Dialog.h"

#include "framework/Exception.h"
#include "framework/WinApp.h"

#include <exception>

INT_PTR CDialog::DoModal() {
    // A secondary dialog is owned by the main window; the main dialog has no owner.
    CWnd* mainWindow = AfxGetApp()->m_pMainWnd;
    HWND owner = mainWindow && mainWindow != this ? mainWindow->m_hWnd : nullptr;
    return ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner,
                             DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange{this, saveAndValidate != FALSE};
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    ::EndDialog(m_hWnd, IDOK);
}

bool CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&) {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
    if (LOWORD(wParam) == IDOK)
        OnOK();
    else if (LOWORD(wParam) == IDCANCEL)
        OnCancel();
    else
        return false;
    return true;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        reinterpret_cast<CDialog*>(lParam)->m_hWnd = window;
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
    }
    // Messages that come before WM_INITDIALOG (WM_SETFONT) find no object and are left alone.
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    return dialog ? dialog->Dispatch(message, wParam, lParam) : FALSE;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    // A handler may run a modal loop that dispatches other messages to this dialog.
    const bool outerDefault = m_bDefault;
    m_bDefault = false;
    LRESULT result = 0;
    bool handled = true;
    try {
        if (message == WM_INITDIALOG)
            result = OnInitDialog();
        else
            handled = OnMessage(message, wParam, lParam, result);
    } catch (const CException& error) {
        // The handler ends here; what it did so far stands.
        error.ReportError();
        result = TRUE;
    } catch (const std::exception& error) {
        AfxMessageBox(error.what(), MB_OK | MB_ICONEXCLAMATION);
        result = TRUE;
    }
    const bool passOn = !handled || m_bDefault;
    m_bDefault = outerDefault;
    if (passOn) return FALSE;
    // These two answer through the return value; all others through DWLP_MSGRESULT.
    if (message == WM_INITDIALOG || message == WM_QUERYDRAGICON) return result;
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (!control.m_hWnd) control.m_hWnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
    HWND control = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
    if (pDX->m_bSaveAndValidate)
        value = WindowText(control);
    else
        ::SetWindowTextA(control, value);
}
