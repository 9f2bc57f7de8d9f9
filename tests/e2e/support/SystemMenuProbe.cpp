// The hook DLL that answers system menu requests inside the hooked process.
#include <windows.h>

#include <string>

#include "tests/e2e/support/SystemMenuProbe.h"

namespace {

std::wstring MenuItems(HWND window) {
    std::wstring items;
    HMENU menu = GetSystemMenu(window, FALSE);
    int count = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = ARRAYSIZE(text);
        GetMenuItemInfoW(menu, i, TRUE, &info);
        if (!(info.fType & MFT_SEPARATOR)) items += text;
        items += L'\n';
    }
    return items;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    SystemMenuHook(int code, WPARAM wparam, LPARAM lparam) {
    static const UINT request = RegisterWindowMessageA(e2e::system_menu_probe::kRequestMessage);
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && message->message == request) {
        std::wstring items = MenuItems(message->hwnd);
        COPYDATASTRUCT data = {};
        data.dwData = e2e::system_menu_probe::kReplyTag;
        data.cbData = static_cast<DWORD>(items.size() * sizeof(wchar_t));
        data.lpData = items.data();
        SendMessageW(reinterpret_cast<HWND>(message->wParam), WM_COPYDATA,
                     reinterpret_cast<WPARAM>(message->hwnd), reinterpret_cast<LPARAM>(&data));
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
