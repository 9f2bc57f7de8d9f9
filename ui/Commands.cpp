// Commands that later starts of the program hand over (see instance/SingleInstance.h), and the
// first start's own /live. Each does what the operator's click would.
#include "instance/SingleInstance.h"
#include "ui/SonafeedDlg.h"

void CSonafeedDlg::QueueCommand(AppCommand command) {
    m_arrQueuedCommands.push_back({command, 0});
}

void CSonafeedDlg::EndStartUp() {
    m_bStartedUp = true;
    // Posted, so that they run in the dialog's own loop once the window shows, in order; a
    // later start's is taken only then.
    for (const QueuedCommand& queued : m_arrQueuedCommands)
        ::PostMessageA(m_hWnd, WM_INSTANCE_COMMAND, static_cast<WPARAM>(queued.command),
                       queued.sender);
    m_arrQueuedCommands.clear();
}

LRESULT CSonafeedDlg::OnInstanceCommand(WPARAM wParam, LPARAM sender) {
    // Left untaken while closing: the later start carries it out itself once this process has
    // ended.
    if (m_bClosing || wParam > static_cast<WPARAM>(AppCommand::kQuit)) return 0;
    const auto command = static_cast<AppCommand>(wParam);
    // Before start-up is done only a message box's loop can bring a command here. It waits,
    // untaken, unless it ends the program: closing is final and takes effect at once.
    if (!m_bStartedUp && command != AppCommand::kQuit) {
        m_arrQueuedCommands.push_back({command, sender});
        return 0;
    }
    if (TakeCommand(sender)) RunCommand(command);
    return 0;
}

void CSonafeedDlg::RunCommand(AppCommand command) {
    switch (command) {
    case AppCommand::kShow:
        // Back from the tray, or from the taskbar.
        ShowWindow(IsIconic() ? SW_RESTORE : SW_SHOW);
        ::SetForegroundWindow(m_hWnd);
        break;
    case AppCommand::kLive:
        if (!m_bLive) OnStartLive();
        break;
    case AppCommand::kStop:
        if (m_bLive) OnStartLive();
        break;
    case AppCommand::kQuit:
        OnClose();
        break;
    case AppCommand::kUnknown:
        break;
    }
}
