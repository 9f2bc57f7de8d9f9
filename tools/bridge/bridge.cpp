// Stands in for the capture encoder that Sonafeed starts as ffmpeg.exe, for broadcasts on a
// machine without capture devices or libfdk_aac: lists test tones as capture devices and
// publishes through a real ffmpeg.exe, named by the first line of bridge.txt beside the
// bridge, with the capture input replaced by the tone. For tests and demonstrations only.
#include <windows.h>

#include <string>

#include "tools/bridge/bridge_args.h"

namespace {

constexpr wchar_t kConfigName[] = L"bridge.txt";

class Handle {
  public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() {
        if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

// To stderr as UTF-8, as the encoder prints; loops because a pipe may take less at once.
void Print(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    for (size_t done = 0; done < bytes.size();) {
        DWORD wrote = 0;
        if (!WriteFile(err, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote,
                       nullptr) ||
            wrote == 0)
            return;
        done += wrote;
    }
}

std::wstring OwnDirectory() {
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L"\\/"));
}

// The first line of bridge.txt, in the ANSI code page; empty when there is none.
std::wstring RealEncoderPath() {
    Handle file(CreateFileW((OwnDirectory() + L"\\" + kConfigName).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr));
    if (!file) return L"";
    char buffer[2048] = {};
    DWORD got = 0;
    ReadFile(file.get(), buffer, sizeof buffer - 1, &got, nullptr);
    std::string line(buffer, got);
    line = line.substr(0, line.find_first_of("\r\n"));
    int size =
        MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    std::wstring path(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), path.data(), size);
    return path;
}

// Our standard handles for the real encoder, which writes where we were told to write.
void InheritStandardHandles(STARTUPINFOW& startup) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (handle && handle != INVALID_HANDLE_VALUE)
            SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

int Publish(const std::wstring& command_line) {
    const std::wstring encoder = RealEncoderPath();
    if (encoder.empty()) {
        Print(L"encoder bridge: no path to the real ffmpeg.exe in " + OwnDirectory() + L"\\" +
              kConfigName + L"\r\n");
        return 1;
    }
    // Sonafeed stops a broadcast with TerminateProcess on us: the job, closed with our last
    // handle, takes the real encoder down too.
    Handle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job || !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                         sizeof limits)) {
        Print(L"encoder bridge: cannot set up a job object\r\n");
        return 1;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    InheritStandardHandles(startup);
    std::wstring writable = command_line; // CreateProcessW may write into it
    PROCESS_INFORMATION info = {};
    // Suspended until it is in the job, so that no moment exists in which it could outlive us.
    if (!CreateProcessW(encoder.c_str(), writable.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &info)) {
        Print(L"encoder bridge: cannot start " + encoder + L": error " +
              std::to_wstring(GetLastError()) + L"\r\n");
        return 1;
    }
    Handle process(info.hProcess);
    Handle thread(info.hThread);
    if (!AssignProcessToJobObject(job.get(), process.get())) {
        TerminateProcess(process.get(), 1);
        Print(L"encoder bridge: cannot put the encoder into the job\r\n");
        return 1;
    }
    ResumeThread(thread.get());
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

} // namespace

int main() {
    const std::wstring line = GetCommandLineW();
    if (bridge::IsListingRun(bridge::ParseCommandLine(line))) {
        Print(bridge::DeviceListing());
        return 1; // as the encoder's listing mode does
    }
    bridge::Rewrite rewrite = bridge::RewriteForRealEncoder(line);
    if (rewrite.command_line.empty()) {
        Print(rewrite.error);
        return 1;
    }
    return Publish(rewrite.command_line);
}
