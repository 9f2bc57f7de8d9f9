// CWinApp: the application object. The program defines one global instance; WinMain runs its
// InitInstance and ends the process when it returns.
#pragma once
#include <windows.h>

class CWnd;

class CWinApp {
  public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp() = default;

    virtual BOOL InitInstance() { return TRUE; }

    // Settings live in files, never in the registry: the key is accepted and not used.
    void SetRegistryKey(const char*) {}

    CWnd* m_pMainWnd = nullptr;
    // The command line after the program's name, as WinMain received it.
    const char* m_lpCmdLine = "";
};

CWinApp* AfxGetApp();
// The program file's name without its extension: the caption of every message box.
const char* AfxGetAppName();
HINSTANCE AfxGetInstanceHandle();
// No ActiveX control is hosted: accepted for the start-up sequence, nothing to enable.
inline void AfxEnableControlContainer() {}
