// One instance per user and installation: a later start of the program hands its command to the
// instance that runs and ends. Both find each other by a name made from the user's name and the
// program's path, so an instance of another user or another installation is never disturbed;
// nothing listens on the network.
#pragma once
#include "app/CommandLine.h"
#include "framework/Handle.h"

#include <windows.h>

// Carries a handed-over command, an AppCommand in WPARAM, to the running instance's window.
constexpr UINT WM_INSTANCE_COMMAND = WM_APP + 1;

class CSingleInstance {
  public:
    CSingleInstance();

    // True when this process is the user's one instance from now on, until it ends. Otherwise
    // `command` has gone to the running instance (or nowhere, if its window never showed up).
    bool Claim(AppCommand command);

  private:
    CHandle m_mutex;
};

// Marks `window` as the running instance's window, which later starts look for. Unmarked
// when it is closing: a start from then on waits and becomes the next instance.
void MarkInstanceWindow(HWND window);
void UnmarkInstanceWindow(HWND window);
