// Minimising to the notification area and coming back through the icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/UiDriver.h"

namespace {

using namespace e2e;

constexpr UINT kTrayNotify = WM_USER + 1;

BOOL CALLBACK CollectIcon(HWND window, LPARAM icons) {
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpA(name, "__winex11_tray_icon") == 0)
        reinterpret_cast<std::vector<HWND>*>(icons)->push_back(window);
    return TRUE;
}

// The icons in the notification area. Without a desktop's tray to dock into, Wine shows them
// in a tray window of its own, one child window per icon, which passes mouse input on to the
// icon's owner as the shell would.
std::vector<HWND> TrayIcons() {
    std::vector<HWND> icons;
    if (HWND tray = FindWindowA("__winex11_standalone_tray", nullptr))
        EnumChildWindows(tray, CollectIcon, reinterpret_cast<LPARAM>(&icons));
    std::sort(icons.begin(), icons.end());
    return icons;
}

std::vector<HWND> Added(const std::vector<HWND>& before) {
    std::vector<HWND> added;
    for (HWND icon : TrayIcons())
        if (std::find(before.begin(), before.end(), icon) == before.end()) added.push_back(icon);
    return added;
}

void PressOnIcon(HWND icon, UINT down, UINT up) {
    PostMessageW(icon, down, 0, MAKELPARAM(4, 4));
    PostMessageW(icon, up, 0, MAKELPARAM(4, 4));
}

// What the shell sends for `mouse_message` over the icon; returns once the dialog handled it.
bool NotifyFromIcon(HWND dialog, UINT mouse_message) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(dialog, kTrayNotify, 0, mouse_message, SMTO_NORMAL, kPatience,
                               &ignored) != 0;
}

// Minimises through the system command until `done` holds. Under Wine without a window manager,
// X events of the window's previous change that the program reads only after the minimise make
// Wine restore or show the window again: the command is repeated until `done` still holds after
// the program has waited for messages (and so read those events).
template <class Done> bool MinimiseUntil(HWND dialog, Done done) {
    return WaitUntil([&] {
        if (!done()) {
            ui::PostSysCommand(dialog, SC_MINIMIZE);
            return false;
        }
        return ui::Settled(dialog) && ui::Settled(dialog) && done();
    });
}

// With the tray box clear: an ordinary minimised window.
bool MinimiseAsUsual(HWND dialog) {
    return MinimiseUntil(dialog, [&] { return IsIconic(dialog) != FALSE; });
}

// Hidden to the tray: not shown, and not minimised either.
bool MinimiseToTray(HWND dialog) {
    return MinimiseUntil(dialog, [&] { return !IsWindowVisible(dialog); }) && !IsIconic(dialog);
}

TEST(Tray, TheTickedBoxHidesTheWindowAndAButtonOnTheIconShowsItAgain) {
    SonafeedRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    const std::vector<HWND> icons_before = TrayIcons();

    // Box clear: an ordinary minimised window, no icon.
    ASSERT_TRUE(MinimiseAsUsual(dialog));
    EXPECT_TRUE(ui::IsVisible(dialog));
    EXPECT_EQ(Added(icons_before).size(), 0u);
    ui::PostSysCommand(dialog, SC_RESTORE);
    ASSERT_TRUE(WaitUntil([&] { return !IsIconic(dialog); }));

    ASSERT_TRUE(ui::Click(dialog, ids::kMinimizeToTray));
    ASSERT_TRUE(WaitUntil([&] { return ui::CheckState(dialog, ids::kMinimizeToTray); }));
    ASSERT_TRUE(MinimiseToTray(dialog));
    // The shell takes the icon while the program's handler waits for it.
    ASSERT_TRUE(WaitUntil([&] { return !Added(icons_before).empty(); }));
    const std::vector<HWND> added = Added(icons_before);
    ASSERT_EQ(added.size(), 1u);
    const HWND icon = added[0];

    // Moves, releases and the middle button leave the window in the tray.
    for (UINT ignored : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONDOWN})
        ASSERT_TRUE(NotifyFromIcon(dialog, ignored));
    EXPECT_FALSE(ui::IsVisible(dialog));

    // The topmost flag that the program then adds as a plain style change is not checked: the
    // system keeps WS_EX_TOPMOST out of such a change, so no one can see it.
    PressOnIcon(icon, WM_LBUTTONDOWN, WM_LBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return ui::IsVisible(dialog); }));
    EXPECT_FALSE(IsIconic(dialog));

    ASSERT_TRUE(MinimiseToTray(dialog));
    PressOnIcon(icon, WM_RBUTTONDOWN, WM_RBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return ui::IsVisible(dialog); }));
    // Shown through a posted message, so after the minimise's handler had returned: showing the
    // window left the icon, and minimising again added no second one.
    EXPECT_EQ(Added(icons_before), added);

    // Box cleared while the icon is shown: minimised as usual, the icon stays.
    ASSERT_TRUE(ui::Click(dialog, ids::kMinimizeToTray));
    ASSERT_TRUE(WaitUntil([&] { return !ui::CheckState(dialog, ids::kMinimizeToTray); }));
    ASSERT_TRUE(MinimiseAsUsual(dialog));
    EXPECT_TRUE(ui::IsVisible(dialog));
    EXPECT_EQ(Added(icons_before), added);
    EXPECT_TRUE(run.Close());
}

} // namespace
