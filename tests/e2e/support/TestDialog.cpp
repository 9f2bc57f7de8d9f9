// A small dialog for the harness's own tests: the controls, boxes and keys the harness drives
// in Sonafeed, in a known state. ANSI throughout, like the product. It logs what reaches it.
//   E2E_STARTUP_BOX=1   a message box before the dialog
//   E2E_ECHO=<text>     logs "E2E_ECHO=<text>" at start
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/support/TestDialogIds.h"

namespace {

// Builds an in-memory dialog template: a resource script would need windres for one test tool.
class DialogTemplate {
  public:
    DialogTemplate(const wchar_t* caption, short cx, short cy, int items) {
        Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT |
              DS_CENTER);
        Dword(0);
        words_.push_back(static_cast<WORD>(items));
        for (short value : {short(0), short(0), cx, cy})
            words_.push_back(static_cast<WORD>(value));
        words_.push_back(0); // no menu
        words_.push_back(0); // the dialog class
        Text(caption);
        words_.push_back(9);
        Text(L"MS Shell Dlg");
    }

    // `control_class` is a predefined class atom: 0x80 button, 0x81 edit, 0x83 list box,
    // 0x85 combo box.
    void Item(WORD control_class, int id, DWORD style, const wchar_t* text, short x, short y,
              short cx, short cy) {
        if (words_.size() % 2) words_.push_back(0); // items start on a DWORD
        Dword(WS_CHILD | style);
        Dword(0);
        for (short value : {x, y, cx, cy})
            words_.push_back(static_cast<WORD>(value));
        words_.push_back(static_cast<WORD>(id));
        words_.push_back(0xFFFF);
        words_.push_back(control_class);
        Text(text);
        words_.push_back(0); // no creation data
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    void Dword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void Text(const wchar_t* text) {
        for (; *text; ++text)
            words_.push_back(*text);
        words_.push_back(0);
    }

    std::vector<WORD> words_;
};

std::string ProgramName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name = path;
    name.erase(0, name.find_last_of('\\') + 1);
    return name.substr(0, name.rfind('.'));
}

void Log(HWND dialog, const std::string& line) {
    SendDlgItemMessageA(dialog, test_dialog::kLog, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(line.c_str()));
}

void OnInit(HWND dialog) {
    Log(dialog, test_dialog::kChineseLine);
    // The W form: Wine 8's GetEnvironmentVariableA cuts non-ASCII values short.
    wchar_t echo[256] = {};
    char narrow[512] = {};
    if (GetEnvironmentVariableW(L"E2E_ECHO", echo, ARRAYSIZE(echo))) {
        WideCharToMultiByte(CP_ACP, 0, echo, -1, narrow, sizeof narrow, nullptr, nullptr);
        Log(dialog, std::string("E2E_ECHO=") + narrow);
    }
    for (const char* item : test_dialog::kComboItems)
        SendDlgItemMessageA(dialog, test_dialog::kCombo, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(item));
    SendDlgItemMessageA(dialog, test_dialog::kCombo, CB_SETCURSEL, 1, 0);
    HMENU menu = GetSystemMenu(dialog, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, test_dialog::kAboutCommand, test_dialog::kAboutItem);
}

void OnCommand(HWND dialog, int id, int code) {
    switch (id) {
    case IDOK:
        Log(dialog, "IDOK");
        break;
    case IDCANCEL:
        Log(dialog, "IDCANCEL");
        break;
    case test_dialog::kCombo:
        if (code == CBN_SELCHANGE) {
            char text[64] = {};
            GetDlgItemTextA(dialog, test_dialog::kCombo, text, sizeof text);
            Log(dialog, std::string(test_dialog::kSelectedPrefix) + text);
        }
        break;
    case test_dialog::kBoxButton:
        MessageBoxA(dialog, test_dialog::kBoxText, ProgramName().c_str(), MB_OK);
        Log(dialog, test_dialog::kBoxClosedLine);
        break;
    case test_dialog::kDisabledButton:
        Log(dialog, "disabled button clicked");
        break;
    case test_dialog::kBusyButton: {
        // Holds the UI thread as a request awaiting its answer does.
        std::string pid = std::to_string(GetCurrentProcessId());
        HANDLE busy = CreateEventA(nullptr, TRUE, TRUE, (test_dialog::kBusyEvent + pid).c_str());
        HANDLE release =
            CreateEventA(nullptr, TRUE, FALSE, (test_dialog::kReleaseEvent + pid).c_str());
        WaitForSingleObject(release, 60000);
        CloseHandle(release);
        CloseHandle(busy);
        Log(dialog, test_dialog::kNotBusyLine);
        break;
    }
    case test_dialog::kLeakButton:
        for (int i = 0; i < test_dialog::kLeakCount; ++i)
            CreateEventA(nullptr, TRUE, FALSE, nullptr);
        Log(dialog, "leaked");
        break;
    }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wparam), HIWORD(wparam));
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) != test_dialog::kAboutCommand) return FALSE;
        MessageBoxA(dialog, test_dialog::kAboutText, test_dialog::kAboutCaption, MB_OK);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (GetEnvironmentVariableA("E2E_STARTUP_BOX", nullptr, 0))
        MessageBoxA(nullptr, test_dialog::kStartupBoxText, ProgramName().c_str(), MB_OK);
    using namespace test_dialog;
    DialogTemplate dialog(L"e2e 测试对话框", 240, 180, 10);
    dialog.Item(0x83, kLog, WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, L"", 5, 5,
                230, 80);
    dialog.Item(0x85, kCombo, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, L"", 5, 90,
                100, 80);
    dialog.Item(0x81, kEdit, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, L"", 110, 90,
                125, 14);
    dialog.Item(0x80, kCheck, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, L"选项", 5, 110, 60, 12);
    dialog.Item(0x80, kBoxButton, WS_VISIBLE | WS_TABSTOP, L"提示", 70, 110, 50, 14);
    dialog.Item(0x80, kDisabledButton, WS_VISIBLE | WS_DISABLED, L"禁用", 125, 110, 50, 14);
    dialog.Item(0x80, kLeakButton, WS_VISIBLE | WS_TABSTOP, L"泄漏", 180, 110, 50, 14);
    dialog.Item(0x80, kBusyButton, WS_VISIBLE | WS_TABSTOP, L"忙碌", 5, 130, 50, 14);
    // Hidden: Enter still presses the default button. Cancel also disabled: Escape still
    // reaches the dialog.
    dialog.Item(0x80, IDOK, BS_DEFPUSHBUTTON, L"OK", 5, 160, 50, 14);
    dialog.Item(0x80, IDCANCEL, WS_DISABLED, L"Cancel", 60, 160, 50, 14);
    return static_cast<int>(
        DialogBoxIndirectParamA(instance, dialog.Get(), nullptr, DialogProc, 0));
}
