// Stands in for the capture encoder that Sonafeed starts as ffmpeg.exe, for broadcasts on a
// machine without capture devices or libfdk_aac: lists test tones as capture devices and
// publishes through a real ffmpeg.exe, named by the first line of bridge.txt beside the
// bridge, with the capture input replaced by the tone, which the bridge makes itself at the level
// that bridge-audio.txt beside it names. Its listing starts with that
// ffmpeg.exe's banner, unless bridge.txt says hide_banner. For tests and demonstrations only.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "framework/Handle.h"
#include "tests/e2e/support/WriteUtf8.h"
#include "tools/bridge/bridge_args.h"

namespace {

constexpr wchar_t kConfigName[] = L"bridge.txt";
constexpr wchar_t kAudioControlName[] = L"bridge-audio.txt";

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

// bridge-audio.txt beside the bridge, read again every 100 ms: the tone's level.
bridge::ToneLevel ReadToneLevel() {
    CHandle file(CreateFileW((OwnDirectory() + L"\\" + kAudioControlName).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) return {};
    return bridge::ParseToneLevel(FromCodePage(CP_ACP, ReadToEnd(file.Get())));
}

// Feeds the device's tone to the real encoder's input in real time, as a capture device
// delivers its audio, until the encoder lets go of the pipe. Audio the encoder does not take
// in time (it waits for a stalled network) is lost, as a device's buffer overflows.
struct ToneFeed {
    HANDLE pipe;
    int frequency_hz;
};

DWORD WINAPI Feed(void* parameter) {
    const ToneFeed feed = *static_cast<ToneFeed*>(parameter);
    constexpr int kRate = 44100;
    constexpr int kChunkFrames = kRate / 50; // 20 ms
    constexpr double kHiss = 0.005;
    std::vector<short> pcm(2 * kChunkFrames);
    unsigned noise = 12345;
    unsigned long long frames = 0;
    LARGE_INTEGER frequency, now, start;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    bridge::ToneLevel level;
    for (unsigned chunk = 0;; ++chunk) {
        if (chunk % 5 == 0) level = ReadToneLevel();
        const double amplitude = std::pow(10.0, level.peak_db / 20);
        for (int i = 0; i < kChunkFrames; ++i) {
            const double t = static_cast<double>(frames + i) / kRate;
            // A slow tremolo of half a dB, so that each level measured differs from the last.
            const double tremolo = 1 + 0.06 * std::sin(6.283185307179586 * 3.7 * t);
            noise = noise * 1664525u + 1013904223u;
            const double hiss = kHiss * (static_cast<double>(noise >> 8) / (1u << 23) - 1);
            const double sample =
                level.silent
                    ? 0
                    : amplitude * tremolo * std::sin(6.283185307179586 * feed.frequency_hz * t) +
                          hiss;
            const short value = static_cast<short>(std::clamp(sample, -1.0, 1.0) * 32767);
            pcm[2 * i] = pcm[2 * i + 1] = value;
        }
        DWORD written = 0;
        if (!WriteFile(feed.pipe, pcm.data(), static_cast<DWORD>(pcm.size() * sizeof(short)),
                       &written, nullptr))
            return 0;
        frames += kChunkFrames;
        QueryPerformanceCounter(&now);
        const double ahead =
            static_cast<double>(frames) / kRate -
            static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
        if (ahead > 0) {
            Sleep(static_cast<DWORD>(ahead * 1000));
        } else if (ahead < -0.2) {
            // Far behind: start the clock again from now.
            start = now;
            frames = 0;
        }
    }
}

int Publish(const std::wstring& encoder, const std::wstring& command_line, int frequency_hz) {
    if (encoder.empty()) {
        Print(L"encoder bridge: no path to the real ffmpeg.exe in " + OwnDirectory() + L"\\" +
              kConfigName + L"\r\n");
        return 1;
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) return 1;
    CHandle input(read_end);
    CHandle writer(write_end);
    SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    InheritStandardHandles(startup);
    startup.hStdInput = read_end;
    RealEncoder real;
    if (!real.Start(encoder, command_line, startup)) return 1;
    input.Close(); // the encoder's copy keeps the pipe open
    ToneFeed feed{write_end, frequency_hz};
    CHandle feeder(CreateThread(nullptr, 0, Feed, &feed, 0, nullptr));
    const int code = real.Wait();
    // The feed ends once the pipe breaks with the encoder gone.
    WaitForSingleObject(feeder.Get(), 2000);
    return code;
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
    return Publish(config.encoder, (config.debug_ts ? L" -debug_ts" : L"") + rewrite.command_line,
                   rewrite.frequency_hz);
}
