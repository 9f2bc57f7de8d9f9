// Drives another process's dialogs through window messages, as an operator would. Texts are
// code page 936 both ways. Reads use SendMessageTimeout, so a hung program fails a test instead
// of hanging it; every action that may open a modal box or run long is posted, so the caller
// waits on its visible effect with WaitUntil.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/support/WaitUntil.h"

namespace e2e::ui {

inline constexpr int kLogList = 1000;
// The id a message box gives its text.
inline constexpr int kMessageBoxText = 0xFFFF;

// Top-level "#32770" windows of the process, shown or not.
std::vector<HWND> Dialogs(DWORD pid);
// The process's dialog with exactly this caption, or nullptr. Finding windows sends them
// nothing, so it works while the program is busy.
HWND FindDialog(DWORD pid, const std::string& caption);
// Waits until that dialog exists and is shown; nullptr on time-out.
HWND WaitForDialog(DWORD pid, const std::string& caption, DWORD timeout_ms = kPatience);
// A shown dialog of the process captioned otherwise than `main_caption`: a message box, the
// About box. nullptr if none.
HWND FindPopup(DWORD pid, const std::string& main_caption);
HWND WaitForPopup(DWORD pid, const std::string& main_caption, DWORD timeout_ms = kPatience);

// A window's caption as the system keeps it: answers even while the program is busy.
std::string Caption(HWND window);
// WM_GETTEXT: a button's or an edit's text, which only the control itself knows.
std::string Text(HWND window);
std::string ControlText(HWND dialog, int id);
// The message box's text (its static control 0xFFFF).
std::string MessageBoxText(HWND box);
// List box items in order; the log by default.
std::vector<std::string> ListLines(HWND dialog, int id = kLogList);
std::vector<std::string> ComboItems(HWND dialog, int id);
// CB_GETCURSEL: CB_ERR (-1) when nothing is selected.
int ComboSelection(HWND dialog, int id);
// BM_GETCHECK: BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
int CheckState(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
bool IsVisible(HWND window);
// True once the dialog has answered a message sent to it, which it does only between two
// handlers or while a handler waits for another program: everything posted before is handled.
bool Settled(HWND dialog, DWORD timeout_ms = kPatience);
// Item texts of the window's system menu, read inside its process by a hook DLL (Wine gives no
// other process the menu); a separator reads as "". nullopt when the hook cannot be set.
std::optional<std::vector<std::string>> SystemMenuItems(HWND window);

// WM_SETTEXT, waited for: setting an edit's text runs no long handler.
bool SetControlText(HWND dialog, int id, const std::string& text);
// Posts BM_CLICK. False, and nothing posted, when the control is missing, hidden or disabled,
// since an operator could not click it either.
bool Click(HWND dialog, int id);
// Selects by position and notifies the dialog with CBN_SELCHANGE, as a choice in the list does.
// Waits for the handler (up to a time-out); false when the position does not exist.
bool SelectComboItem(HWND dialog, int id, int index);
// Posts WM_COMMAND for a control or menu id.
void PostCommand(HWND dialog, int id);
// Posts WM_SYSCOMMAND, e.g. SC_MINIMIZE or an item added to the system menu.
void PostSysCommand(HWND window, WPARAM command);
// Posts a key press to the dialog's focused control (to the dialog when the focus is
// elsewhere): the dialog manager in the target's message loop turns Escape into IDCANCEL and
// Enter into the default button, exactly as for a real key.
void PressKey(HWND dialog, UINT virtual_key);
// Presses a message box's OK button (IDOK, else the box's command IDOK).
void PressOk(HWND box);
void PostClose(HWND window);

} // namespace e2e::ui
