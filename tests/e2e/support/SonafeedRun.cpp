#include "tests/e2e/support/SonafeedRun.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>

#include "tests/e2e/support/Cp936.h"
#include "tests/e2e/support/UiDriver.h"

namespace e2e {

namespace {

constexpr char kExeName[] = "Sonafeed.exe";
constexpr char kEncoderName[] = "ffmpeg.exe";

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.data(),
                          static_cast<int>(prefix.size()), prefix.data(),
                          static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<PROCESSENTRY32> Processes() {
    std::vector<PROCESSENTRY32> processes;
    CHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more;
         more = Process32Next(snapshot.Get(), &entry))
        processes.push_back(entry);
    return processes;
}

// Running processes whose image lies in `dir`, as (pid, image path).
std::vector<std::pair<DWORD, std::string>> ProcessesIn(const std::string& dir) {
    std::vector<std::pair<DWORD, std::string>> found;
    for (const PROCESSENTRY32& entry : Processes()) {
        CHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        char image[MAX_PATH * 2] = {};
        DWORD size = sizeof image;
        DWORD code = 0;
        if (QueryFullProcessImageNameA(process.Get(), 0, image, &size) &&
            GetExitCodeProcess(process.Get(), &code) && code == STILL_ACTIVE &&
            StartsWithNoCase(image, dir + "\\"))
            found.emplace_back(entry.th32ProcessID, image);
    }
    return found;
}

void EndProcess(DWORD pid) {
    CHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process.IsValid()) return;
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), kPatience);
}

bool RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = dir + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(dir.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// The test's environment with `extra` added or replacing variables of the same name.
std::string EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& extra) {
    std::string block;
    LPCH strings = GetEnvironmentStringsA();
    for (const char* entry = strings; *entry; entry += std::strlen(entry) + 1) {
        // Entries such as "=C:=C:\dir" begin with '='.
        std::string text = entry;
        std::string name = text.substr(0, text.find('=', 1));
        bool replaced = std::any_of(extra.begin(), extra.end(), [&](const auto& variable) {
            return lstrcmpiA(variable.first.c_str(), name.c_str()) == 0;
        });
        if (!replaced) block += text + '\0';
    }
    FreeEnvironmentStringsA(strings);
    for (const auto& [name, value] : extra)
        block += name + "=" + value + '\0';
    block += '\0';
    return block;
}

// Every program a test starts runs in this job, which ends them all when the test program
// ends, even by a crash: an orphan would keep the test's output pipe open and stall CTest.
HANDLE TestJob() {
    static HANDLE job = [] {
        HANDLE created = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return created;
    }();
    return job;
}

} // namespace

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    CHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.IsValid() &&
           ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    CHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return bytes;
}

SonafeedRun::SonafeedRun(Options options) : options_(std::move(options)) {
    if (options_.exe.empty()) options_.exe = WindowsPathOf(SONAFEED_EXE);
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    if (!options_.parent.empty()) lstrcpynA(temp, options_.parent.c_str(), sizeof temp);
    static unsigned sequence = 0;
    for (;;) {
        std::string dir = std::string(temp) + "sonafeed-e2e-" +
                          std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++sequence);
        if (CreateDirectoryA(dir.c_str(), nullptr)) {
            char full[MAX_PATH * 2] = {};
            DWORD length = GetLongPathNameA(dir.c_str(), full, sizeof full);
            dir_ = length > 0 && length < sizeof full ? full : dir;
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create " << dir << ": error " << GetLastError();
            return;
        }
    }
    if (!CopyFileA(options_.exe.c_str(), PathOf(kExeName).c_str(), FALSE))
        ADD_FAILURE() << "cannot copy " << options_.exe << ": error " << GetLastError();
    std::string encoder = WindowsPathOf(FFMPEG_DOUBLE_EXE);
    if (options_.with_encoder && !CopyFileA(encoder.c_str(), PathOf(kEncoderName).c_str(), FALSE))
        ADD_FAILURE() << "cannot copy " << encoder << ": error " << GetLastError();
}

SonafeedRun::~SonafeedRun() {
    if (process_.IsValid()) {
        TerminateProcess(process_.Get(), 1);
        WaitForSingleObject(process_.Get(), kPatience);
    }
    if (dir_.empty()) return;
    // Sonafeed.exe has ended, so nothing starts another encoder now.
    bool ended = WaitUntil([&] {
        auto left = ProcessesIn(dir_);
        for (const auto& process : left)
            EndProcess(process.first);
        return left.empty();
    });
    if (!ended) ADD_FAILURE() << "processes from " << dir_ << " would not end";
    // A process just ended may hold its files open a little longer.
    if (!WaitUntil([&] { return RemoveTree(dir_); }))
        ADD_FAILURE() << "cannot remove " << dir_ << ": error " << GetLastError();
}

bool SonafeedRun::WriteFileBytes(const std::string& name, const std::string& bytes) const {
    return WriteWholeFile(PathOf(name), bytes);
}

std::optional<std::string> SonafeedRun::ReadFileBytes(const std::string& name) const {
    return ReadWholeFile(PathOf(name));
}

::testing::AssertionResult SonafeedRun::Launch(const std::string& arguments,
                                               PROCESS_INFORMATION& info,
                                               const std::string& dir) const {
    // By the folder's long name, as Explorer or a task starts it, also where the test reaches
    // the folder by its short name (one that code page 936 cannot spell).
    const std::wstring given = WideFromCp936(dir.empty() ? dir_ : dir);
    std::wstring from(MAX_PATH, L'\0');
    from.resize(GetLongPathNameW(given.c_str(), &from[0], MAX_PATH));
    if (from.empty()) from = given;
    const std::wstring exe = from + L"\\" + WideFromCp936(kExeName);
    std::wstring command_line = L"\"" + exe + L"\"";
    if (!arguments.empty()) command_line += L" " + WideFromCp936(arguments);
    std::string environment = EnvironmentBlock(options_.environment);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    // Suspended until it is in the job, so that its encoder children are in it too.
    if (!CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        environment.data(), from.c_str(), &startup, &info))
        return ::testing::AssertionFailure()
               << "cannot start " << Cp936FromWide(exe) << ": error " << GetLastError();
    AssignProcessToJobObject(TestJob(), info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SonafeedRun::StartNoWait() {
    if (IsRunning()) return ::testing::AssertionFailure() << "already running";
    process_.Close();
    PROCESS_INFORMATION info = {};
    ::testing::AssertionResult launched = Launch(options_.arguments, info);
    if (!launched) return launched;
    process_.Attach(info.hProcess);
    pid_ = info.dwProcessId;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SonafeedRun::Start() {
    ::testing::AssertionResult launched = StartNoWait();
    if (!launched) return launched;
    auto shown = [&] {
        HWND dialog = Dialog();
        return (dialog && IsWindowVisible(dialog)) || Popup() || !IsRunning();
    };
    if (!WaitUntil(shown, options_.start_timeout_ms))
        return ::testing::AssertionFailure()
               << "no window within " << options_.start_timeout_ms << " ms";
    if (!IsRunning() && !Popup())
        return ::testing::AssertionFailure()
               << "ended with exit code " << ExitCode() << " before showing a window";
    return ::testing::AssertionSuccess();
}

SonafeedRun::LaterStart SonafeedRun::StartAgain(const std::string& arguments,
                                                const std::string& dir) const {
    PROCESS_INFORMATION info = {};
    ::testing::AssertionResult launched = Launch(arguments, info, dir);
    if (!launched) ADD_FAILURE() << launched.message();
    return LaterStart(launched ? info.hProcess : nullptr, info.dwProcessId);
}

std::string SonafeedRun::DirOnDriveZ() const {
    // Drive C: is the prefix's drive_c folder.
    char prefix[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    if (length == 0 || length >= sizeof prefix || !StartsWithNoCase(dir_, "C:\\")) return {};
    return WindowsPathOf(std::string(prefix) + "/drive_c") + dir_.substr(2);
}

SonafeedRun::LaterStart::~LaterStart() {
    if (ExitCode() != STILL_ACTIVE) return;
    TerminateProcess(process_.Get(), 1);
    WaitForSingleObject(process_.Get(), kPatience);
}

bool SonafeedRun::LaterStart::WaitForExit(DWORD timeout_ms) const {
    return process_.IsValid() && WaitForSingleObject(process_.Get(), timeout_ms) == WAIT_OBJECT_0;
}

DWORD SonafeedRun::LaterStart::ExitCode() const {
    DWORD code = 0;
    return process_.IsValid() && GetExitCodeProcess(process_.Get(), &code) ? code : 0;
}

HWND SonafeedRun::Dialog() const {
    return ui::FindDialog(pid_, options_.caption);
}

::testing::AssertionResult SonafeedRun::WaitForDialog(DWORD timeout_ms) const {
    if (ui::WaitForDialog(pid_, options_.caption, timeout_ms)) return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "main dialog not shown within " << timeout_ms << " ms";
    if (HWND popup = Popup())
        failure << "; showing \"" << ui::Caption(popup) << "\": \"" << ui::MessageBoxText(popup)
                << "\"";
    if (!IsRunning()) failure << "; ended with exit code " << ExitCode();
    return failure;
}

HWND SonafeedRun::Popup() const {
    return ui::FindPopup(pid_, options_.caption);
}

HWND SonafeedRun::WaitForPopup(DWORD timeout_ms) const {
    return ui::WaitForPopup(pid_, options_.caption, timeout_ms);
}

std::vector<std::string> SonafeedRun::Log() const {
    HWND dialog = Dialog();
    return dialog ? ui::ListLines(dialog) : std::vector<std::string>();
}

std::vector<std::string> SonafeedRun::Messages() const {
    constexpr size_t kStampLength = 20;
    std::vector<std::string> lines = Log();
    std::vector<std::string> messages;
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        messages.push_back(line->size() >= kStampLength ? line->substr(kStampLength) : *line);
    return messages;
}

::testing::AssertionResult SonafeedRun::Close(DWORD timeout_ms) {
    HWND dialog = Dialog();
    if (!dialog) return ::testing::AssertionFailure() << "no main dialog to close";
    ui::PostClose(dialog);
    if (WaitForExit(timeout_ms)) return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "still running " << timeout_ms << " ms after WM_CLOSE";
    if (HWND popup = Popup()) failure << "; showing \"" << ui::Caption(popup) << "\"";
    return failure;
}

bool SonafeedRun::WaitForExit(DWORD timeout_ms) const {
    return process_.IsValid() && WaitForSingleObject(process_.Get(), timeout_ms) == WAIT_OBJECT_0;
}

bool SonafeedRun::IsRunning() const {
    return ExitCode() == STILL_ACTIVE;
}

DWORD SonafeedRun::ExitCode() const {
    DWORD code = 0;
    return process_.IsValid() && GetExitCodeProcess(process_.Get(), &code) ? code : 0;
}

std::vector<std::string> SonafeedRun::PublishRuns() const {
    return Runs("");
}

std::vector<std::string> SonafeedRun::ListingRuns() const {
    return Runs("list-");
}

std::vector<std::string> SonafeedRun::Runs(const std::string& prefix) const {
    std::vector<std::string> runs;
    // The double keeps a record open unshared until it is complete.
    while (auto cmdline =
               ReadFileBytes("runs\\" + prefix + std::to_string(runs.size() + 1) + ".cmdline"))
        runs.push_back(*cmdline);
    return runs;
}

std::string SonafeedRun::DailyLog() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(PathOf("log\\*.txt").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            // YYYY-MM-DD.txt; the folder may hold the encoder's own status file too.
            const std::string name = found.cFileName;
            if (name.size() == 14 && name[4] == '-') names.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    // Named by date: in name order, the oldest first.
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names)
        text += ReadFileBytes("log\\" + name).value_or("");
    return text;
}

int SonafeedRun::CountRunning(const std::string& exe_name) const {
    auto processes = ProcessesIn(dir_);
    return static_cast<int>(std::count_if(processes.begin(), processes.end(), [&](const auto& p) {
        return lstrcmpiA(FileNameOf(p.second).c_str(), exe_name.c_str()) == 0;
    }));
}

} // namespace e2e
