#include "app/SonafeedApp.h"

#include "ui/SonafeedDlg.h"

#include <commctrl.h>

CSonafeedApp theApp;

BOOL CSonafeedApp::InitInstance() {
    InitCommonControls();
    CWinApp::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey("应用程序向导生成的本地应用程序");

    CSonafeedDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // FALSE: the process ends here, without a message loop of its own.
    return FALSE;
}
