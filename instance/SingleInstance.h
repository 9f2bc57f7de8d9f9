// One instance per user and installation: a later start of the program hands its command to the
// instance that runs and ends. Both find each other by a name made from the user's name and the
// installation folder's identity on its volume, so that every spelling of the folder (another
// drive letter, a short name, a network path) finds the same instance, while an instance of
// another user or another installation is never disturbed; nothing listens on the network.
#pragma once
#include "framework/Handle.h"
#include "instance/core/CommandLine.h"

#include <windows.h>

// Carries a handed-over command, an AppCommand in WPARAM, to the running instance's window; the
// later start's process id in LPARAM, 0 for the instance's own queued commands. The instance
// takes the command (TakeCommand) only when it carries it out, and the later start withdraws it
// when it gives up waiting: whichever comes first wins, so that a command is either carried out
// once or reported as not carried out, never both.
constexpr UINT WM_INSTANCE_COMMAND = WM_APP + 1;

enum class InstanceClaim {
    // This process is the user's one instance from now on, until it ends.
    kFirst,
    // The running instance has taken the command.
    kHandedOver,
    // An instance runs that neither took the command nor ended within the bound.
    kNoAnswer,
};

class CSingleInstance {
  public:
    CSingleInstance();

    // Hands `command` to the running instance, or waits for it to end while it is closing or
    // busy and then claims its place.
    InstanceClaim Claim(AppCommand command);

  private:
    CHandle m_mutex;
};

// Marks `window` as the running instance's window, which later starts look for. Unmarked
// when it is closing: a start from then on waits and becomes the next instance.
void MarkInstanceWindow(HWND window);
void UnmarkInstanceWindow(HWND window);
// Takes the command of the later start `sender` (WM_INSTANCE_COMMAND's LPARAM), which then ends;
// false when that start has withdrawn it (it gave up waiting) or is gone. A command left untaken
// is carried out by that start itself once this instance has ended. True for the instance's own
// commands (sender 0).
bool TakeCommand(LPARAM sender);
