// Stands in for the capture encoder that Sonafeed starts as ffmpeg.exe, for broadcasts on a
// machine without capture devices or libfdk_aac: lists test tones as capture devices and
// publishes through a real ffmpeg.exe, named by the first line of bridge.txt beside the
// bridge, with the capture input replaced by the tone. Its listing starts with that
// ffmpeg.exe's banner, unless bridge.txt says hide_banner. For tests and demonstrations only.
#include <windows.h>

#include <string>

#include "framework/Handle.h"
#include "tests/e2e/support/WriteUtf8.h"
#include "tools/bridge/bridge_args.h"

namespace {

constexpr wchar_t kConfigName[] = L"bridge.txt";

// To stderr, as the encoder prints.
void Print(const std::wstring& text) {
    e2e::WriteUtf8(GetStdHandle(STD_ERROR_HANDLE), text);
}

std::wstring OwnDirectory() {
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L"\\/"));
}

std::wstring FromCodePage(UINT code_page, const std::string& bytes) {
    int size =
        MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        size);
    return text;
}

// Everything that can be read from `handle` until its writers have all gone.
std::string ReadToEnd(HANDLE handle) {
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

// bridge.txt, in the ANSI code page; no encoder when there is none.
bridge::Config ReadConfig() {
    CHandle file(CreateFileW((OwnDirectory() + L"\\" + kConfigName).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr));
    if (!file.IsValid()) return {};
    return bridge::ParseConfig(FromCodePage(CP_ACP, ReadToEnd(file.Get())));
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

// The real encoder, run in a job that ends it with us: Sonafeed stops a broadcast, and gives up
// on a listing, with TerminateProcess on us.
class RealEncoder {
  public:
    // False, with the reason printed, when it could not be started.
    bool Start(const std::wstring& encoder, const std::wstring& command_line,
               STARTUPINFOW& startup) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!job_.IsValid() ||
            !SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits,
                                     sizeof limits)) {
            Print(L"encoder bridge: cannot set up a job object\r\n");
            return false;
        }
        std::wstring writable = command_line; // CreateProcessW may write into it
        PROCESS_INFORMATION info = {};
        // Suspended until it is in the job, so that no moment exists in which it could
        // outlive us.
        if (!CreateProcessW(encoder.c_str(), writable.data(), nullptr, nullptr, TRUE,
                            CREATE_SUSPENDED, nullptr, nullptr, &startup, &info)) {
            Print(L"encoder bridge: cannot start " + encoder + L": error " +
                  std::to_wstring(GetLastError()) + L"\r\n");
            return false;
        }
        process_.Attach(info.hProcess);
        CHandle thread(info.hThread);
        if (!AssignProcessToJobObject(job_.Get(), process_.Get())) {
            TerminateProcess(process_.Get(), 1);
            Print(L"encoder bridge: cannot put the encoder into the job\r\n");
            return false;
        }
        ResumeThread(thread.Get());
        return true;
    }

    int Wait() {
        WaitForSingleObject(process_.Get(), INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(process_.Get(), &code);
        return static_cast<int>(code);
    }

  private:
    CHandle job_{CreateJobObjectW(nullptr, nullptr)};
    CHandle process_;
};

// The real encoder's banner, from a run without arguments, which prints it and its usage and
// ends at once; empty when it cannot be run.
std::wstring RealBanner(const std::wstring& encoder) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) return L"";
    CHandle reader(read_end);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write_end;
    RealEncoder real;
    bool started = real.Start(encoder, bridge::QuoteArgument(encoder), startup);
    CloseHandle(write_end); // the pipe ends when the encoder's copy closes
    if (!started) return L"";
    std::wstring banner = bridge::Banner(FromCodePage(CP_UTF8, ReadToEnd(reader.Get())));
    real.Wait();
    return banner;
}

int Publish(const std::wstring& encoder, const std::wstring& command_line) {
    if (encoder.empty()) {
        Print(L"encoder bridge: no path to the real ffmpeg.exe in " + OwnDirectory() + L"\\" +
              kConfigName + L"\r\n");
        return 1;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    InheritStandardHandles(startup);
    RealEncoder real;
    return real.Start(encoder, command_line, startup) ? real.Wait() : 1;
}

} // namespace

int main() {
    const std::wstring line = GetCommandLineW();
    const bridge::Config config = ReadConfig();
    if (bridge::IsListingRun(bridge::ParseCommandLine(line))) {
        const bool banner = !config.hide_banner && !config.encoder.empty();
        Print((banner ? RealBanner(config.encoder) : L"") + bridge::DeviceListing());
        return 1; // as the encoder's listing mode does
    }
    bridge::Rewrite rewrite = bridge::RewriteForRealEncoder(line);
    if (rewrite.command_line.empty()) {
        Print(rewrite.error);
        return 1;
    }
    return Publish(config.encoder, (config.debug_ts ? L" -debug_ts" : L"") + rewrite.command_line);
}
