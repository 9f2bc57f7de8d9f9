// Drives Sonafeed's main dialog from the command line, for scripts running on the Linux side:
//   uidrive wait-window [ms]       waits until the dialog shows; prints its process id
//   uidrive popup                  prints the caption and text of a message box shown over it
//   uidrive click <id>             presses a button or check box (fails when disabled or hidden)
//   uidrive text <id>              prints a control's text
//   uidrive check <id>             prints a check box's state: 0, 1 or 2
//   uidrive changes <id> <ms>      watches a control's text for <ms>; prints how often it
//                                  changed, then its last text
//   uidrive log                    prints the log, newest line first
//   uidrive close [ms]             closes the dialog and waits until the program has ended
//   uidrive kill <dir> <exe name>  terminates the processes running <dir>\<exe name>; prints
//                                  how many
//   uidrive end <dir>              terminates every process running a file in <dir>, until
//                                  none is left
// Texts are printed as UTF-8, one per line. Exit code 0 on success, 1 when the dialog or the
// control is missing or the action failed, 2 on a usage error.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "framework/Handle.h"
#include "tests/e2e/support/Cp936.h"
#include "tests/e2e/support/UiDriver.h"
#include "tests/e2e/support/WaitUntil.h"
#include "tests/e2e/support/WriteUtf8.h"

namespace {

constexpr wchar_t kCaption[] = L"Kelvo电台推流客户端";
constexpr DWORD kStartPatience = 60000;

void Print(const std::wstring& text) {
    e2e::WriteUtf8(GetStdHandle(STD_OUTPUT_HANDLE), text + L"\n");
}

void PrintCp936(const std::string& text) {
    Print(e2e::WideFromCp936(text));
}

HWND MainDialog() {
    return FindWindowW(L"#32770", kCaption);
}

DWORD Number(const std::wstring& text, DWORD fallback) {
    if (text.empty()) return fallback;
    wchar_t* end = nullptr;
    unsigned long value = std::wcstoul(text.c_str(), &end, 10);
    return *end == L'\0' ? static_cast<DWORD>(value) : fallback;
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH * 2] = {};
    DWORD length = GetFullPathNameW(path.c_str(), ARRAYSIZE(full), full, nullptr);
    std::wstring result = length > 0 && length < ARRAYSIZE(full) ? full : path;
    while (!result.empty() && result.back() == L'\\')
        result.pop_back();
    return result;
}

// Running processes whose image lies directly in `dir`, optionally only those named `name`.
std::vector<DWORD> ProcessesIn(const std::wstring& dir, const std::wstring& name) {
    std::vector<DWORD> found;
    CHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        CHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        wchar_t image[MAX_PATH * 2] = {};
        DWORD size = ARRAYSIZE(image);
        DWORD code = 0;
        if (QueryFullProcessImageNameW(process.Get(), 0, image, &size) &&
            GetExitCodeProcess(process.Get(), &code) && code == STILL_ACTIVE) {
            std::wstring path = image;
            size_t slash = path.find_last_of(L'\\');
            if (slash != std::wstring::npos &&
                lstrcmpiW(path.substr(0, slash).c_str(), dir.c_str()) == 0 &&
                (name.empty() || lstrcmpiW(path.substr(slash + 1).c_str(), name.c_str()) == 0))
                found.push_back(entry.th32ProcessID);
        }
    }
    return found;
}

bool EndProcess(DWORD pid) {
    CHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    return process.IsValid() && TerminateProcess(process.Get(), 1) &&
           WaitForSingleObject(process.Get(), e2e::kPatience) == WAIT_OBJECT_0;
}

// Once: a watchdog restarting what was killed is what a caller may want to watch.
int KillNamed(const std::wstring& dir, const std::wstring& name) {
    int ended = 0;
    for (DWORD pid : ProcessesIn(FullPath(dir), name))
        ended += EndProcess(pid) ? 1 : 0;
    Print(std::to_wstring(ended));
    return 0;
}

int EndAll(const std::wstring& dir) {
    const std::wstring full = FullPath(dir);
    // A program ended here may have started another meanwhile (a watchdog): repeat until none.
    bool none_left = e2e::WaitUntil([&] {
        std::vector<DWORD> left = ProcessesIn(full, L"");
        for (DWORD pid : left)
            EndProcess(pid);
        return left.empty();
    });
    return none_left ? 0 : 1;
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// A message box or other dialog of the program shown over the main one; nullptr if none.
HWND Popup(HWND dialog) {
    return e2e::ui::FindPopup(ProcessOf(dialog), e2e::Cp936FromWide(kCaption));
}

int PrintPopup(HWND dialog) {
    HWND popup = Popup(dialog);
    if (!popup) return 1;
    PrintCp936(e2e::ui::Text(popup) + ": " + e2e::ui::MessageBoxText(popup));
    return 0;
}

// Fails as soon as a message box shows instead, printing it.
int WaitWindow(DWORD timeout_ms) {
    HWND dialog = nullptr;
    e2e::WaitUntil(
        [&] {
            dialog = MainDialog();
            return dialog && (IsWindowVisible(dialog) || Popup(dialog));
        },
        timeout_ms);
    if (!dialog) return 1;
    if (Popup(dialog)) {
        PrintPopup(dialog);
        return 1;
    }
    if (!IsWindowVisible(dialog)) return 1;
    Print(std::to_wstring(ProcessOf(dialog)));
    return 0;
}

int Close(DWORD timeout_ms) {
    HWND dialog = MainDialog();
    if (!dialog) return 1;
    CHandle process(OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(dialog)));
    if (!process.IsValid()) return 1;
    e2e::ui::PostClose(dialog);
    return WaitForSingleObject(process.Get(), timeout_ms) == WAIT_OBJECT_0 ? 0 : 1;
}

int Usage() {
    Print(L"usage: uidrive wait-window [ms] | popup | click <id> | text <id> | check <id> | "
          L"changes <id> <ms> | log | close [ms] | kill <dir> <exe name> | end <dir>");
    return 2;
}

int Run(const std::vector<std::wstring>& args) {
    if (args.empty()) return Usage();
    const std::wstring& command = args[0];
    const std::wstring first = args.size() > 1 ? args[1] : L"";
    if (command == L"wait-window") return WaitWindow(Number(first, kStartPatience));
    if (command == L"end") return args.size() == 2 ? EndAll(first) : Usage();
    if (command == L"kill") return args.size() == 3 ? KillNamed(first, args[2]) : Usage();
    if (command == L"close") return Close(Number(first, e2e::kPatience));

    HWND dialog = MainDialog();
    if (!dialog) return 1;
    if (command == L"popup") return PrintPopup(dialog);
    if (command == L"log") {
        for (const std::string& line : e2e::ui::ListLines(dialog))
            PrintCp936(line);
        return 0;
    }
    const int id = static_cast<int>(Number(first, 0));
    if (id == 0) return Usage();
    if (!GetDlgItem(dialog, id)) return 1;
    if (command == L"click") return e2e::ui::Click(dialog, id) ? 0 : 1;
    if (command == L"text") {
        PrintCp936(e2e::ui::ControlText(dialog, id));
        return 0;
    }
    if (command == L"check") {
        Print(std::to_wstring(e2e::ui::CheckState(dialog, id)));
        return 0;
    }
    if (command == L"changes" && args.size() == 3) {
        const DWORD start = GetTickCount();
        std::string last = e2e::ui::ControlText(dialog, id);
        int changes = 0;
        while (GetTickCount() - start < Number(args[2], 0)) {
            const std::string now = e2e::ui::ControlText(dialog, id);
            if (now != last) ++changes, last = now;
            Sleep(5);
        }
        Print(std::to_wstring(changes));
        PrintCp936(last);
        return 0;
    }
    return Usage();
}

} // namespace

int main() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; argv && i < count; ++i)
        args.emplace_back(argv[i]);
    LocalFree(argv);
    return Run(args);
}
