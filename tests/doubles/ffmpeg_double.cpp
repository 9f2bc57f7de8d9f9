// Stands in for ffmpeg.exe in end-to-end tests. Behaviour comes from ffmpeg-double.txt beside
// the exe, re-read at every start so a test can change it while Sonafeed runs:
//   listing=<file>        listing mode writes that file's bytes to stdout unchanged
//   listing_delay_ms=N    listing mode waits N ms before writing
//   listing_hang=1        listing mode never exits after writing
//   exit_after_ms=N       publishing mode exits with code 1 after N ms (default: never),
//                         printing its exit line last
//   exit_line=TEXT        that exit line, bytes as given (default "ffmpeg double: exiting")
//   no_libfdk_aac=1       a publishing run asked for libfdk_aac says it knows no such encoder
//                         and exits at once, as an encoder built without it does
//   silent=1              publishing mode prints no progress lines; read again before each
//                         line, so a test can silence a running double
//   banner=<file>         publishing mode first writes that file's bytes to stderr, as the
//                         real tool prints its banner
//   progress_lines=N      N progress lines at a time instead of one, for a fast-growing output
//   level=DB|silent       with the measuring filters on its command line, the peak it prints
//                         for both channels every 100 ms (default -12); read again each time
//   no_level_filters=1    a run given the measuring filters says it knows no such filter and
//                         exits at once, as a build without them does
//   no_tee=1              a run given the tee output says it knows no such format and exits
//                         at once, as a build without it does
// Publishing mode prints a progress line ending in CR every 500 ms, as the real tool does. With a
// recording output (udp://127.0.0.1:<port>) on its command line it sends an ADTS frame there
// every 100 ms while it prints, whose payload reads "run <n> frame <m>".
// Every run records its exact command line and module path as runs\<n>.cmdline and .module
// (listing runs as runs\list-<n>.*), so a test can check what it was given, and publishing runs
// the number of handles they inherited beyond their standard ones as runs\<n>.inherited.
// Built without -fexec-charset: the built-in listing must stay UTF-8, as the real tool prints.
#include <winsock2.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

std::string ReadWholeFile(const std::string& path, bool* ok) {
    std::string data;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    *ok = file != INVALID_HANDLE_VALUE;
    if (!*ok) return data;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got > 0)
        data.append(buf, got);
    CloseHandle(file);
    return data;
}

// Loops because a pipe may take fewer bytes than offered; stops when the reader has gone.
void WriteAll(HANDLE handle, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 4096));
        if (!WriteFile(handle, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) return;
        done += wrote;
    }
}

std::map<std::string, std::string> ReadControl(const std::string& dir) {
    std::map<std::string, std::string> keys;
    bool ok = false;
    std::string text = ReadWholeFile(dir + "\\ffmpeg-double.txt", &ok);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        size_t eq = line.find('=');
        if (eq != std::string::npos) keys[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return keys;
}

// Returns `fallback` when the key is absent or not a number.
DWORD Number(const std::map<std::string, std::string>& keys, const char* key, DWORD fallback) {
    auto it = keys.find(key);
    if (it == keys.end() || it->second.empty()) return fallback;
    char* end = nullptr;
    unsigned long value = std::strtoul(it->second.c_str(), &end, 10);
    return *end == '\0' ? static_cast<DWORD>(value) : fallback;
}

// Claims the first free number with CREATE_NEW, so concurrent runs never share one. The
// .cmdline file stays open unshared until both files are written: a test that can open it
// finds the run's record complete.
unsigned Record(const std::string& dir, const std::string& prefix, const std::string& module,
                const std::string& inherited) {
    std::string runs = dir + "\\runs";
    CreateDirectoryA(runs.c_str(), nullptr);
    for (unsigned n = 1; n < 100000; ++n) {
        std::string base = runs + "\\" + prefix + std::to_string(n);
        HANDLE cmdline = CreateFileA((base + ".cmdline").c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, 0, nullptr);
        if (cmdline == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                error == ERROR_SHARING_VIOLATION)
                continue;
            return 0;
        }
        HANDLE modfile = CreateFileA((base + ".module").c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_ALWAYS, 0, nullptr);
        if (modfile != INVALID_HANDLE_VALUE) {
            WriteAll(modfile, module);
            CloseHandle(modfile);
        }
        if (!inherited.empty()) {
            HANDLE file = CreateFileA((base + ".inherited").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr);
            WriteAll(file, inherited);
            CloseHandle(file);
        }
        WriteAll(cmdline, GetCommandLineA());
        CloseHandle(cmdline);
        return n;
    }
    return 0;
}

// The old section-header format, one write per line as the real tool prints it.
const char* const kBuiltInListing[] = {
    "[dshow @ 02d3e720] DirectShow video devices (some may be both video and audio devices)",
    "[dshow @ 02d3e720]  \"Cam Vexo 2\"",
    "[dshow @ 02d3e720]     Alternative name "
    "\"@device_pnp_\\\\?\\usb#vid_2f1a&pid_0b12&mi_00#7&1c3e9a0&0&0000"
    "#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global\"",
    "[dshow @ 02d3e720] DirectShow audio devices",
    "[dshow @ 02d3e720]  \"Line In (Orvane USB)\"",
    "[dshow @ 02d3e720]     Alternative name "
    "\"@device_cm_{33D9A762-90C8-11D0-BD43-00A0C911CE86}\\wave_{1}\"",
    "[dshow @ 02d3e720]  \"麦克风 (Tessaly HD Audio)\"",
    "[dshow @ 02d3e720]     Alternative name "
    "\"@device_cm_{33D9A762-90C8-11D0-BD43-00A0C911CE86}\\wave_{2}\"",
    "dummy: Immediate exit requested",
};

int RunListing(const std::string& dir, const std::map<std::string, std::string>& keys) {
    Sleep(Number(keys, "listing_delay_ms", 0));
    auto file = keys.find("listing");
    if (file == keys.end()) {
        HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        for (const char* line : kBuiltInListing)
            WriteAll(err, std::string(line) + "\r\n");
    } else {
        bool ok = false;
        std::string bytes = ReadWholeFile(dir + "\\" + file->second, &ok);
        if (!ok) {
            WriteAll(GetStdHandle(STD_ERROR_HANDLE), "ffmpeg double: cannot read listing file\r\n");
            return 2;
        }
        WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), bytes);
    }
    if (Number(keys, "listing_hang", 0) != 0) Sleep(INFINITE);
    return 1;
}

constexpr unsigned kProgressPeriodMs = 500;
// With the measuring filters, a level for each channel this often.
constexpr unsigned kLevelPeriodMs = 100;

// A progress line as the real tool prints it, over and over on one console line.
std::string ProgressLine(unsigned count) {
    const unsigned seconds = count * kProgressPeriodMs / 1000;
    char line[128];
    std::snprintf(line, sizeof line,
                  "size=%8ukB time=00:%02u:%02u.%02u bitrate=  48.0kbits/s speed=   1x    \r",
                  count * 3, seconds / 60 % 60, seconds % 60, count * kProgressPeriodMs / 10 % 100);
    return line;
}

// Handles this process got from its parent, other than its standard ones: an inherited handle
// keeps its inherit flag, and the double makes none that has one.
std::string InheritedHandles() {
    const HANDLE standard[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                               GetStdHandle(STD_ERROR_HANDLE)};
    unsigned count = 0;
    for (UINT_PTR value = 4; value < 0x1000; value += 4) {
        const HANDLE handle = reinterpret_cast<HANDLE>(value);
        DWORD flags = 0;
        if (std::find(std::begin(standard), std::end(standard), handle) == std::end(standard) &&
            GetHandleInformation(handle, &flags) && (flags & HANDLE_FLAG_INHERIT))
            ++count;
    }
    return std::to_string(count);
}

// The measuring filters' lines for 100 ms of both channels at the level the control file gives
// ("level=-12" in dBFS, the default, or "level=silent"), as the real tool prints them. A level
// steps down by 0.1 dB a time over five steps, so that each measurement differs from the last.
std::string LevelLines(unsigned tick, const std::map<std::string, std::string>& keys) {
    auto level = keys.find("level");
    std::string peak = "-inf";
    if (level == keys.end() || level->second != "silent") {
        const double db = level == keys.end() ? -12 : std::atof(level->second.c_str());
        char figure[32];
        std::snprintf(figure, sizeof figure, "%.6f", db - 0.1 * (tick % 5));
        peak = figure;
    }
    std::string lines;
    for (int channel = 1; channel <= 2; ++channel) {
        char frame[160];
        std::snprintf(frame, sizeof frame,
                      "[Parsed_ametadata_%d @ 05dc1240] frame:%-4u pts:%-7u pts_time:%u.%u\r\n"
                      "[Parsed_ametadata_%d @ 05dc1240] lavfi.astats.%d.Peak_level=",
                      channel + 1, tick, tick * 4410, tick / 10, tick % 10, channel + 1, channel);
        lines += frame + peak + "\r\n";
    }
    return lines;
}

// Sends the recording output's frames, when the command line has one.
class Recording {
  public:
    explicit Recording(unsigned run) : m_run(run) {
        const std::string line = GetCommandLineA();
        const char kOutput[] = "udp://127.0.0.1:";
        const size_t at = line.find(kOutput);
        if (at == std::string::npos) return;
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        m_socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        m_to.sin_family = AF_INET;
        m_to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_to.sin_port =
            htons(static_cast<u_short>(std::atoi(line.c_str() + at + sizeof kOutput - 1)));
    }
    void Send(unsigned frame) {
        if (m_socket == INVALID_SOCKET) return;
        char payload[48];
        const int size = std::snprintf(payload, sizeof payload, "run %u frame %u\n", m_run, frame);
        const unsigned length = 7 + static_cast<unsigned>(size);
        // MPEG-4 AAC LC, 44.1 kHz, two channels.
        std::string bytes = {'\xFF',
                             '\xF1',
                             '\x50',
                             static_cast<char>(0x80 | length >> 11),
                             static_cast<char>(length >> 3 & 0xFF),
                             static_cast<char>((length & 7) << 5 | 0x1F),
                             '\xFC'};
        bytes.append(payload, size);
        sendto(m_socket, bytes.data(), static_cast<int>(bytes.size()), 0,
               reinterpret_cast<const sockaddr*>(&m_to), sizeof m_to);
    }

  private:
    unsigned m_run;
    SOCKET m_socket = INVALID_SOCKET;
    sockaddr_in m_to{};
};

int Publish(const std::string& dir, std::map<std::string, std::string> keys, unsigned run) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    auto banner = keys.find("banner");
    if (banner != keys.end()) {
        bool ok = false;
        WriteAll(err, ReadWholeFile(dir + "\\" + banner->second, &ok));
    }
    if (Number(keys, "no_libfdk_aac", 0) != 0 &&
        std::string(GetCommandLineA()).find("-c:a libfdk_aac") != std::string::npos) {
        WriteAll(err, "Unknown encoder 'libfdk_aac'\r\n");
        return 1;
    }
    const bool measuring = std::string(GetCommandLineA()).find("astats") != std::string::npos;
    if (measuring && Number(keys, "no_level_filters", 0) != 0) {
        WriteAll(err, "[AVFilterGraph @ 05a2b1c0] No such filter: 'astats'\r\n"
                      "Error initializing complex filters.\r\n");
        return 1;
    }
    if (Number(keys, "no_tee", 0) != 0 &&
        std::string(GetCommandLineA()).find("-f tee") != std::string::npos) {
        WriteAll(err, "Requested output format 'tee' is not a suitable output format\r\n");
        return 1;
    }
    const DWORD exit_after = Number(keys, "exit_after_ms", INFINITE);
    Recording recording(run);
    const DWORD start = GetTickCount();
    for (unsigned tick = 1;; ++tick) {
        const DWORD elapsed = GetTickCount() - start;
        const DWORD next = tick * kLevelPeriodMs;
        if (exit_after != INFINITE && exit_after <= next) {
            if (exit_after > elapsed) Sleep(exit_after - elapsed);
            break;
        }
        if (next > elapsed) Sleep(next - elapsed);
        keys = ReadControl(dir);
        if (Number(keys, "silent", 0) != 0) continue;
        recording.Send(tick);
        std::string lines;
        if (measuring) lines += LevelLines(tick, keys);
        const unsigned count = tick * kLevelPeriodMs / kProgressPeriodMs;
        if (tick * kLevelPeriodMs % kProgressPeriodMs == 0)
            for (DWORD line = Number(keys, "progress_lines", 1); line > 0; --line)
                lines += ProgressLine(count);
        WriteAll(err, lines);
    }
    auto line = keys.find("exit_line");
    WriteAll(err,
             (line == keys.end() ? std::string("ffmpeg double: exiting") : line->second) + "\r\n");
    return 1;
}

} // namespace

// The double's own path; by its short name where code page 936 cannot spell the long one.
std::string ModulePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    char module[MAX_PATH * 2] = {};
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, path, -1, module, sizeof module, nullptr, &lossy);
    wchar_t short_path[MAX_PATH] = {};
    if (lossy && GetShortPathNameW(path, short_path, MAX_PATH))
        WideCharToMultiByte(CP_ACP, 0, short_path, -1, module, sizeof module, nullptr, nullptr);
    return module;
}

int main() {
    const std::string module = ModulePath();
    std::string dir = module;
    size_t slash = dir.find_last_of("\\/");
    dir.erase(slash == std::string::npos ? 0 : slash);
    auto keys = ReadControl(dir);

    // Listing is told apart loosely so that a wrong listing command line is still recorded
    // as one, for the test to compare byte for byte.
    if (std::string(GetCommandLineA()).find("-list_devices") != std::string::npos) {
        Record(dir, "list-", module, "");
        return RunListing(dir, keys);
    }

    unsigned run = Record(dir, "", module, InheritedHandles());
    WriteAll(GetStdHandle(STD_OUTPUT_HANDLE),
             "ffmpeg double: publishing run " + std::to_string(run) + "\r\n");
    return Publish(dir, keys, run);
}
