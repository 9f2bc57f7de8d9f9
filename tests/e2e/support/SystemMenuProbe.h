// Reading another process's system menu. Under Wine 8 GetSystemMenu returns nothing for a
// window of another process, so a hook DLL reads the menu inside that process and sends the
// item texts back with WM_COPYDATA.
#pragma once

namespace e2e::system_menu_probe {

// Sent to the window, with the reply window as WPARAM; the hook answers before the window
// procedure sees it.
inline constexpr char kRequestMessage[] = "e2e.SystemMenuItems";
// COPYDATASTRUCT::dwData of the reply: UTF-16 item texts, each ended by L'\n', separators empty.
inline constexpr unsigned long kReplyTag = 0x554E454D;
// The DLL's WH_CALLWNDPROC hook procedure, exported undecorated.
inline constexpr char kHookProcName[] = "SystemMenuHook";

} // namespace e2e::system_menu_probe
