// Steps an operator takes in the main dialog, each waited for until its effect shows, and the
// readings the scenarios share.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/WaitUntil.h"

namespace e2e {

// A run that sends its open API requests to `address` ("host:port").
SonafeedRun::Options WithOpenApi(const std::string& address);
// Starts the program and waits until its main dialog shows.
::testing::AssertionResult StartShown(SonafeedRun& run);

// A button's caption in the main dialog.
std::string ButtonText(const SonafeedRun& run, int id);
// Waits until the log holds at least `count` messages.
bool WaitForMessages(const SonafeedRun& run, size_t count, DWORD timeout_ms = kPatience);
// Presses 清理日志 and waits for the empty log. The click is handled after everything sent
// before it: a cleared log shows that the dialog still answers its controls.
::testing::AssertionResult ClearLog(const SonafeedRun& run);
// Clicks a check box and waits until its handler has run: the box answers BM_GETCHECK only
// after the click, which ticks it and then calls the dialog's handler, has been handled whole.
::testing::AssertionResult Toggle(HWND dialog, int id);

// Minimises with the tray box ticked and waits until the window is hidden for good. Under Wine
// without a window manager, X events of the window's showing that the program reads only after
// the hide can show it again: the command is repeated until it stays hidden.
::testing::AssertionResult HideToTray(HWND dialog);

// Clicks 开始直播 and waits until the caption says live and `runs` encoder runs are recorded
// (by default one more than before the click).
::testing::AssertionResult GoLive(const SonafeedRun& run,
                                  std::optional<size_t> runs = std::nullopt);
// Clicks 停止直播 and waits until the caption is back and no encoder runs.
::testing::AssertionResult EndLive(const SonafeedRun& run);

bool Exists(const std::string& path);

// A window of the test's own in front of all others for the object's lifetime, so that the
// program is not the active one, as when the operator works in another program.
class OtherWindowInFront {
  public:
    OtherWindowInFront();
    ~OtherWindowInFront() { DestroyWindow(window_); }
    OtherWindowInFront(const OtherWindowInFront&) = delete;
    OtherWindowInFront& operator=(const OtherWindowInFront&) = delete;

  private:
    HWND window_;
};

// What the system says about a WinINet error, as one line: the standard error box shows it, and
// the log line of a relay stop that failed at a close.
std::string WinInetDescription(DWORD error);

// The line that says the run's encoder writes its own status file, in its log folder, since the
// shared one is not to be had.
std::string OwnStatusFileLine(const SonafeedRun& run);

} // namespace e2e
