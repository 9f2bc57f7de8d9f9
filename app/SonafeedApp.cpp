#include "app/SonafeedApp.h"

#include "framework/Wnd.h"
#include "instance/SingleInstance.h"
#include "instance/core/CommandLine.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

#include <commctrl.h>

CSonafeedApp theApp;

BOOL CSonafeedApp::InitInstance() {
    InitCommonControls();
    CWinApp::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey("应用程序向导生成的本地应用程序");

    const AppCommand command = ParseCommandLine(m_lpCmdLine);
    if (command == AppCommand::kUnknown) {
        CString usage;
        usage.Format(texts::kUnknownSwitchFormat, m_lpCmdLine);
        AfxMessageBox(usage);
        return FALSE;
    }
    // Lives until the process ends, and with it this process's claim to be the one instance.
    CSingleInstance instance;
    switch (instance.Claim(command)) {
    case InstanceClaim::kFirst:
        break;
    case InstanceClaim::kHandedOver:
        return FALSE;
    case InstanceClaim::kNoAnswer:
        AfxMessageBox(texts::kInstanceNoAnswer);
        return FALSE;
    }
    // These act on a running instance; without one there is nothing to stop or close.
    if (command == AppCommand::kStop || command == AppCommand::kQuit) return FALSE;

    CSonafeedDlg dialog;
    if (command == AppCommand::kLive) dialog.QueueCommand(command);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // FALSE: the process ends here, without a message loop of its own.
    return FALSE;
}
