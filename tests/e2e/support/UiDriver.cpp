#include "tests/e2e/support/UiDriver.h"

#include <memory>
#include <type_traits>

#include "tests/e2e/support/Cp936.h"
#include "tests/e2e/support/HostPath.h"
#include "tests/e2e/support/SystemMenuProbe.h"

namespace e2e::ui {

namespace {

// A reply may wait for the target to finish a message it is already handling.
constexpr UINT kReplyTimeoutMs = 30000;

// SendMessageTimeoutW: `failed` when the target did not answer in time or has gone.
LRESULT Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT failed = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, kReplyTimeoutMs,
                             &result))
        return failed;
    return static_cast<LRESULT>(result);
}

bool IsDialogClass(HWND window) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpA(name, "#32770") == 0;
}

// Reads item `index` with the W messages (the A forms return unconverted UTF-16 across
// processes under Wine) and converts. The text message takes no buffer size and the program
// may insert a longer line between two messages, so the buffer holds the longest line the
// program can log (a 1 MiB answer behind its prefix).
std::optional<std::string> ItemText(HWND control, UINT length_message, UINT text_message,
                                    int index) {
    static std::wstring buffer(size_t{2} << 20, L'\0');
    LRESULT length = Send(control, length_message, index, 0, -1);
    if (length < 0 || static_cast<size_t>(length) >= buffer.size()) return std::nullopt;
    LRESULT copied =
        Send(control, text_message, index, reinterpret_cast<LPARAM>(buffer.data()), -1);
    if (copied < 0) return std::nullopt;
    return Cp936FromWide(buffer.substr(0, static_cast<size_t>(copied)));
}

// All items of a list or combo box (LB_ERR and CB_ERR are both -1).
std::vector<std::string> Items(HWND dialog, int id, UINT count_message, UINT length_message,
                               UINT text_message) {
    std::vector<std::string> items;
    HWND control = GetDlgItem(dialog, id);
    LRESULT count = control ? Send(control, count_message, 0, 0, -1) : -1;
    for (LRESULT i = 0; i < count; ++i) {
        // An item removed meanwhile (the log trimmed) ends the reading.
        auto item = ItemText(control, length_message, text_message, static_cast<int>(i));
        if (!item) break;
        items.push_back(*item);
    }
    return items;
}

struct DialogSearch {
    DWORD pid;
    std::vector<HWND> found;
};

// An EnumWindows callback must be stdcall, which no lambda converts to on i686.
BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid && IsDialogClass(window)) search->found.push_back(window);
    return TRUE;
}

template <class Handle, auto Release> struct HandleDeleter {
    void operator()(Handle handle) const { Release(handle); }
};
using Library =
    std::unique_ptr<std::remove_pointer_t<HMODULE>, HandleDeleter<HMODULE, FreeLibrary>>;
using Hook =
    std::unique_ptr<std::remove_pointer_t<HHOOK>, HandleDeleter<HHOOK, UnhookWindowsHookEx>>;
using Window = std::unique_ptr<std::remove_pointer_t<HWND>, HandleDeleter<HWND, DestroyWindow>>;

struct MenuReply {
    bool received = false;
    std::wstring items;
};

LRESULT CALLBACK ReplyWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_COPYDATA) return DefWindowProcW(window, message, wparam, lparam);
    auto* reply = reinterpret_cast<MenuReply*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    if (!reply || data->dwData != system_menu_probe::kReplyTag) return FALSE;
    reply->received = true;
    reply->items.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
    return TRUE;
}

// A message-only window of this thread to receive the probe's WM_COPYDATA.
HWND CreateReplyWindow() {
    static const ATOM window_class = [] {
        WNDCLASSW info = {};
        info.lpfnWndProc = ReplyWindowProc;
        info.hInstance = GetModuleHandleW(nullptr);
        info.lpszClassName = L"e2e.SystemMenuReply";
        return RegisterClassW(&info);
    }();
    return CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(window_class)), L"",
                           0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

} // namespace

std::vector<HWND> Dialogs(DWORD pid) {
    DialogSearch search{pid, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDialog(DWORD pid, const std::string& caption) {
    for (HWND dialog : Dialogs(pid))
        if (Caption(dialog) == caption) return dialog;
    return nullptr;
}

HWND WaitForDialog(DWORD pid, const std::string& caption, DWORD timeout_ms) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindDialog(pid, caption);
            return found && IsWindowVisible(found);
        },
        timeout_ms);
    return found && IsWindowVisible(found) ? found : nullptr;
}

HWND FindPopup(DWORD pid, const std::string& main_caption) {
    for (HWND dialog : Dialogs(pid))
        if (IsWindowVisible(dialog) && Caption(dialog) != main_caption) return dialog;
    return nullptr;
}

HWND WaitForPopup(DWORD pid, const std::string& main_caption, DWORD timeout_ms) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindPopup(pid, main_caption)) != nullptr; }, timeout_ms);
    return found;
}

std::string Caption(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Cp936FromWide(text);
}

std::string Text(HWND window) {
    LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return Cp936FromWide(text);
}

std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? Text(control) : std::string();
}

std::string MessageBoxText(HWND box) {
    return ControlText(box, kMessageBoxText);
}

std::vector<std::string> ListLines(HWND dialog, int id) {
    return Items(dialog, id, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::vector<std::string> ComboItems(HWND dialog, int id) {
    return Items(dialog, id, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

int ComboSelection(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    return combo ? static_cast<int>(Send(combo, CB_GETCURSEL, 0, 0, CB_ERR)) : CB_ERR;
}

int CheckState(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return button ? static_cast<int>(Send(button, BM_GETCHECK, 0, 0)) : BST_UNCHECKED;
}

bool IsEnabled(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control && IsWindowEnabled(control);
}

bool IsVisible(HWND window) {
    return IsWindowVisible(window) != FALSE;
}

std::optional<std::vector<std::string>> SystemMenuItems(HWND window) {
    namespace probe = system_menu_probe;
    Library dll(LoadLibraryA(WindowsPathOf(E2E_SYSMENU_PROBE_DLL).c_str()));
    auto hook_proc = dll.get() ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                     GetProcAddress(dll.get(), probe::kHookProcName)))
                               : nullptr;
    if (!hook_proc) return std::nullopt;
    Hook hook(SetWindowsHookExA(WH_CALLWNDPROC, hook_proc, dll.get(),
                                GetWindowThreadProcessId(window, nullptr)));
    Window reply_window(CreateReplyWindow());
    if (!hook.get() || !reply_window.get()) return std::nullopt;
    MenuReply reply;
    SetWindowLongPtrW(reply_window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&reply));
    // The hook replies while this call waits, which lets sent messages through.
    Send(window, RegisterWindowMessageA(probe::kRequestMessage),
         reinterpret_cast<WPARAM>(reply_window.get()), 0);
    if (!reply.received) return std::nullopt;
    std::vector<std::string> items;
    for (size_t start = 0, end; (end = reply.items.find(L'\n', start)) != std::wstring::npos;
         start = end + 1)
        items.push_back(Cp936FromWide(reply.items.substr(start, end - start)));
    return items;
}

bool SetControlText(HWND dialog, int id, const std::string& text) {
    HWND control = GetDlgItem(dialog, id);
    std::wstring wide = WideFromCp936(text);
    return control && Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

bool Click(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control || !IsWindowVisible(control) || !IsWindowEnabled(control)) return false;
    return PostMessageW(control, BM_CLICK, 0, 0) != FALSE;
}

bool SelectComboItem(HWND dialog, int id, int index) {
    HWND combo = GetDlgItem(dialog, id);
    if (!combo || Send(combo, CB_SETCURSEL, index, 0, CB_ERR) != index) return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                               reinterpret_cast<LPARAM>(combo), SMTO_NORMAL, kReplyTimeoutMs,
                               &ignored) != 0;
}

void PostCommand(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PostSysCommand(HWND window, WPARAM command) {
    PostMessageW(window, WM_SYSCOMMAND, command, 0);
}

void PressKey(HWND dialog, UINT virtual_key) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus &&
        (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus)))
        target = info.hwndFocus;
    LPARAM down = 1 | static_cast<LPARAM>(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC) << 16);
    LPARAM up = down | static_cast<LPARAM>(3u << 30); // previous state down, transition up
    PostMessageW(target, WM_KEYDOWN, virtual_key, down);
    PostMessageW(target, WM_KEYUP, virtual_key, up);
}

void PressOk(HWND box) {
    if (HWND ok = GetDlgItem(box, IDOK))
        PostMessageW(ok, BM_CLICK, 0, 0);
    else
        PostMessageW(box, WM_COMMAND, IDOK, 0);
}

bool Settled(HWND dialog, DWORD timeout_ms) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, timeout_ms, &ignored) != 0;
}

void PostClose(HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
}

} // namespace e2e::ui
