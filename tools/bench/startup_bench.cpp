// Measures what starting Sonafeed costs against a bare dialog built the same way, the listing
// tool's own run, and one open API request against a local stand-in:
//   sonafeed_bench [--runs=N] [--requests=N]     (defaults 20, 20)
// The start-up variants and the listing run take turns, so that a load on the machine falls on
// all of them alike. Prints medians and ratios. Also times log lines added to an empty and a full
// log list, and with --restart-minutes=N counts the restarts of encoders that the service does
// not keep, of this build or of the one --exe=PATH names.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/core/DeviceListParser.h"
#include "relay/core/PullRequest.h"
#include "settings/core/ConfigLines.h"
#include "tests/e2e/support/HostPath.h"
#include "tests/e2e/support/OpenApiStandIn.h"
#include "tests/e2e/support/OperatorSteps.h"
#include "tests/e2e/support/RtmpStandIn.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/UiDriver.h"
#include "tests/e2e/support/WaitUntil.h"
#include "tools/CountOption.h"

namespace {

using namespace e2e;

int runs = 20;
int requests = 20;
// Restarts per minute are measured only when asked for, since that takes minutes.
int restart_minutes = 0;
std::string restart_exe;

constexpr char kBareCaption[] = "Bare dialog";
constexpr char kPublishUrl[] = "rtmp://1000.push.kelvo.net/live/bench";
constexpr char kPullUrl[] = "rtmp://source.example.net/live/in";
// What start-up loads: the address above and auto-pull on, so that closing sends nothing.
const ConfigValues kConfig{0, kPublishUrl, 0, 1, kPullUrl, "key", "id", 1};

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

double MsSince(LARGE_INTEGER start) {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return 1000.0 * double(Now().QuadPart - start.QuadPart) / double(frequency);
}

struct Series {
    std::vector<double> ms;
    double Median() const {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n == 0 ? 0 : n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    double Min() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
    double Max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

// Starts the program copied into `run`'s directory (as Sonafeed.exe) and times it from just
// before CreateProcess until its dialog captioned `caption` is shown; then closes it.
std::optional<double> TimeToWindow(const SonafeedRun& run, const std::string& caption) {
    const std::string exe = run.PathOf("Sonafeed.exe");
    std::string command_line = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const LARGE_INTEGER start = Now();
    if (!CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        run.Dir().c_str(), &startup, &info))
        return std::nullopt;
    std::optional<double> shown;
    HWND dialog = nullptr;
    // The 1 ms wait on the process is the polling interval.
    while (WaitForSingleObject(info.hProcess, 1) == WAIT_TIMEOUT && MsSince(start) < 60000) {
        dialog = ui::FindDialog(info.dwProcessId, caption);
        if (dialog && IsWindowVisible(dialog)) {
            shown = MsSince(start);
            break;
        }
    }
    if (shown) ui::PostClose(dialog);
    if (WaitForSingleObject(info.hProcess, kPatience) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, kPatience);
        shown.reset();
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return shown;
}

// Runs the encoder double in listing mode as Sonafeed does (same arguments, output into a
// pipe) and times it until it has exited and its output is read.
std::optional<double> TimeListing(const SonafeedRun& run) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    if (!CreatePipe(&reader, &writer, &security, 0)) return std::nullopt;
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writer;
    startup.hStdError = writer;
    const std::string exe = run.PathOf("ffmpeg.exe");
    std::string command_line = kListDevicesArgs;
    PROCESS_INFORMATION info = {};
    const LARGE_INTEGER start = Now();
    const bool started = CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, run.Dir().c_str(), &startup, &info);
    CloseHandle(writer);
    std::optional<double> elapsed;
    if (started) {
        char chunk[4096];
        DWORD read = 0;
        size_t total = 0;
        while (ReadFile(reader, chunk, sizeof chunk, &read, nullptr) && read > 0)
            total += read;
        WaitForSingleObject(info.hProcess, INFINITE);
        if (total > 0) elapsed = MsSince(start);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    CloseHandle(reader);
    return elapsed;
}

// One POST made the way Sonafeed makes it: its own session, connection and request.
std::optional<double> TimeRequest(const OpenApiStandIn& service) {
    const LARGE_INTEGER start = Now();
    HINTERNET session = InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) return std::nullopt;
    DWORD timeout = 20000;
    InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    HINTERNET connection = InternetConnectA(session, "127.0.0.1", service.Port(), nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 1);
    HINTERNET request = connection
                            ? HttpOpenRequestA(connection, "POST", kOpenApiTarget, "HTTP/1.1",
                                               nullptr, nullptr, INTERNET_FLAG_RELOAD, 1)
                            : nullptr;
    // The relay start that kPublishUrl's app and stream ask for.
    std::string body = BuildPullRequestBody(kConfig.accessId, kConfig.accessKey, "live", "bench",
                                            kPullAdd, kConfig.pullUrl);
    DWORD status = 0;
    DWORD size = sizeof status;
    bool accepted = false;
    if (request &&
        HttpSendRequestA(request, kOpenApiHeader, sizeof kOpenApiHeader - 1, body.data(),
                         static_cast<DWORD>(body.size())) &&
        HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                       nullptr) &&
        status == 200) {
        std::string answer;
        char chunk[8192];
        DWORD read = 0;
        while (InternetReadFile(request, chunk, sizeof chunk, &read) && read > 0)
            answer.append(chunk, read);
        accepted = answer.find(R"("Flag":100,)") != std::string::npos;
    }
    // Closed in Sonafeed's order: the session first.
    InternetCloseHandle(session);
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    return accepted ? std::optional<double>(MsSince(start)) : std::nullopt;
}

// The double numbers its records by probing from 1: without this, later runs would pay for
// more probes than earlier ones.
void RemoveRunRecords(const SonafeedRun& run) {
    const std::string dir = run.PathOf("runs");
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA((dir + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void Print(const char* label, const Series& series, const Series* floor = nullptr) {
    std::printf("| %-48s | %8.1f | %8.1f | %8.1f |", label, series.Median(), series.Min(),
                series.Max());
    if (floor)
        std::printf(" %6.2f |\n", series.Median() / floor->Median());
    else
        std::printf("        |\n");
}

TEST(Bench, StartupAndRequest) {
    OpenApiStandIn service;
    ASSERT_NE(service.Port(), 0);
    service.SetDefaultAnswer({200, kAccepted});
    // Inherited by every Sonafeed started here; without config.db it sends nothing.
    SetEnvironmentVariableA("SONAFEED_OPENAPI", service.Address().c_str());

    SonafeedRun::Options bare_options;
    bare_options.exe = WindowsPathOf(BENCH_BARE_DIALOG_EXE);
    bare_options.with_encoder = false;
    bare_options.caption = kBareCaption;
    SonafeedRun bare(bare_options);
    SonafeedRun plain;
    SonafeedRun configured;
    ASSERT_TRUE(configured.WriteFileBytes("config.db", FormatConfig(kConfig)));
    SonafeedRun listing;

    Series bare_ms, plain_ms, configured_ms, listing_ms, request_ms, click_ms, refresh_ms;
    // Round 0 warms the file cache and Wine's server and is not counted.
    for (int round = 0; round <= runs; ++round) {
        auto b = TimeToWindow(bare, kBareCaption);
        auto p = TimeToWindow(plain, kMainCaption);
        const size_t served = service.Requests().size();
        auto c = TimeToWindow(configured, kMainCaption);
        auto l = TimeListing(listing);
        ASSERT_TRUE(b && p && c && l) << "round " << round;
        ASSERT_GT(service.Requests().size(), served) << "no play request at start-up";
        for (const SonafeedRun* used : {&plain, &configured, &listing})
            RemoveRunRecords(*used);
        if (round == 0) continue;
        bare_ms.ms.push_back(*b);
        plain_ms.ms.push_back(*p);
        configured_ms.ms.push_back(*c);
        listing_ms.ms.push_back(*l);
    }

    for (int i = 0; i <= requests; ++i) {
        auto r = TimeRequest(service);
        ASSERT_TRUE(r) << "request " << i;
        if (i > 0) request_ms.ms.push_back(*r);
    }

    // The same request made by Sonafeed itself: a click on the pull button until its log line.
    SonafeedRun::Options driven_options;
    driven_options.environment = {{"SONAFEED_OPENAPI", service.Address()}};
    SonafeedRun driven(driven_options);
    ASSERT_TRUE(driven.Start());
    ASSERT_TRUE(driven.WaitForDialog());
    HWND dialog = driven.Dialog();
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, kPublishUrl));
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPullUrl, kPullUrl));
    // A device refresh made by Sonafeed: a click on the refresh button until the listing has
    // run and the handler has returned (the box answers only then).
    for (int i = 0; i <= requests; ++i) {
        // Listing run 1 was the start-up's.
        const std::string record = "runs\\list-" + std::to_string(i + 2) + ".cmdline";
        const LARGE_INTEGER start = Now();
        ASSERT_TRUE(ui::Click(dialog, ids::kRefreshDevices));
        while (!driven.ReadFileBytes(record) && MsSince(start) < kPatience)
            Sleep(1);
        ASSERT_EQ(ui::ComboSelection(dialog, ids::kDevice), 0) << "refresh " << i;
        const double elapsed = MsSince(start);
        ASSERT_TRUE(driven.ReadFileBytes(record)) << "refresh " << i;
        if (i > 0) refresh_ms.ms.push_back(elapsed);
    }
    for (int i = 0; i <= requests; ++i) {
        ASSERT_TRUE(ui::Click(dialog, ids::kClearLog));
        ASSERT_TRUE(WaitUntil([&] { return driven.Log().empty(); }));
        const LARGE_INTEGER start = Now();
        ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
        // The list answers only once the click's handler has returned.
        while (driven.Log().empty() && MsSince(start) < kPatience)
            Sleep(1);
        const double elapsed = MsSince(start);
        ASSERT_EQ(driven.Log().size(), 1u) << "request " << i;
        if (i > 0) click_ms.ms.push_back(elapsed);
    }

    std::printf("\n%d start-ups of each kind, %d refreshes and requests of each kind; times in ms;"
                " ratio to the bare dialog\n\n",
                runs, requests);
    std::printf("| %-48s | %8s | %8s | %8s | %6s |\n", "measured", "median", "min", "max", "ratio");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(50, '-').c_str(), std::string(10, '-').c_str(),
                std::string(10, '-').c_str(), std::string(10, '-').c_str(),
                std::string(8, '-').c_str());
    Print("bare dialog: start to visible window", bare_ms, &bare_ms);
    Print("Sonafeed, no config.db (no HTTP request)", plain_ms, &bare_ms);
    Print("Sonafeed, config.db + start-up request", configured_ms, &bare_ms);
    Print("listing tool alone (pipe, until exit)", listing_ms, &bare_ms);
    Print("device refresh via Sonafeed (click to refilled)", refresh_ms);
    Print("open API request, WinINet, local stand-in", request_ms);
    Print("open API request via Sonafeed (click to log)", click_ms);
    const double own = plain_ms.Median() - bare_ms.Median() - listing_ms.Median();
    std::printf("\nSonafeed's own start-up work (Sonafeed - bare dialog - listing tool): %.1f ms\n",
                own);
    std::printf("device refresh - listing tool: %.1f ms\n",
                refresh_ms.Median() - listing_ms.Median());
    std::printf("start-up request (config.db - no config.db): %.1f ms\n",
                configured_ms.Median() - plain_ms.Median());
    std::fflush(stdout);
}

// The size of today's daily log file beside the program; 0 when there is none yet.
ULONGLONG DailyLogSize(const SonafeedRun& run) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[32];
    wsprintfA(name, "log\\%04u-%02u-%02u.txt", now.wYear, now.wMonth, now.wDay);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(run.PathOf(name).c_str(), GetFileExInfoStandard, &data)) return 0;
    return (ULONGLONG{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// Clicks 开始直播 `count` times in a dialog without an address, each click one log line of
// `line_bytes` in the daily file, and times them until the file holds the last one.
std::optional<double> TimeLogLines(const SonafeedRun& run, int count, ULONGLONG line_bytes) {
    const ULONGLONG until = DailyLogSize(run) + count * line_bytes;
    const LARGE_INTEGER start = Now();
    for (int clicked = 0; clicked < count; ++clicked)
        if (!ui::Click(run.Dialog(), ids::kStartLive)) return std::nullopt;
    while (DailyLogSize(run) < until)
        if (MsSince(start) > 120000) return std::nullopt;
    return MsSince(start);
}

// The log list keeps its newest lines only: a line added to the full list costs what one added to
// an empty list does.
TEST(Bench, LogLines) {
    constexpr int kLines = 2000;
    constexpr int kShown = 5000;
    SonafeedRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    // Start-up's one line: every line of the same message has its length.
    ASSERT_TRUE(WaitUntil([&] { return DailyLogSize(run) > 0; }));
    const ULONGLONG line_bytes = DailyLogSize(run);
    Series empty_ms, full_ms;
    // Round 0 is not counted.
    for (int round = 0; round <= 3; ++round) {
        ASSERT_TRUE(ui::Click(dialog, ids::kClearLog));
        ASSERT_TRUE(WaitUntil([&] { return run.Log().empty(); }));
        auto empty = TimeLogLines(run, kLines, line_bytes);
        ASSERT_TRUE(empty && TimeLogLines(run, kShown - kLines, line_bytes));
        auto full = TimeLogLines(run, kLines, line_bytes);
        ASSERT_TRUE(full);
        ASSERT_EQ(run.Log().size(), static_cast<size_t>(kShown));
        if (round == 0) continue;
        empty_ms.ms.push_back(*empty);
        full_ms.ms.push_back(*full);
    }
    std::printf("\n%d log lines added, 3 rounds; times in ms\n\n", kLines);
    std::printf("| %-48s | %8s | %8s | %8s | %6s |\n", "measured", "median", "min", "max", "ratio");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(50, '-').c_str(), std::string(10, '-').c_str(),
                std::string(10, '-').c_str(), std::string(10, '-').c_str(),
                std::string(8, '-').c_str());
    Print("into an empty log list", empty_ms, &empty_ms);
    Print("into a full log list (5000 lines)", full_ms, &empty_ms);
    std::fflush(stdout);
}

// How often an encoder that its service does not keep is started, counted over minutes: behind a
// server that answers every other check (it drops half of the connections and every publish),
// and behind one that takes each publish and drops it after 7 s. Both run at once.
TEST(Bench, RestartsPerMinute) {
    if (restart_minutes == 0) GTEST_SKIP() << "--restart-minutes=N measures restarts";
    const struct {
        const char* name;
        RtmpStandIn::Mode server;
        const char* control;
    } cases[] = {
        {"server that flaps", RtmpStandIn::Mode::kFlap, "exit_after_ms=0\r\n"},
        {"publish dropped after 7 s", RtmpStandIn::Mode::kAnswer, "exit_after_ms=7000\r\n"},
    };
    std::vector<std::unique_ptr<RtmpStandIn>> servers;
    std::vector<std::unique_ptr<SonafeedRun>> started;
    for (const auto& c : cases) {
        servers.push_back(std::make_unique<RtmpStandIn>(c.server));
        SonafeedRun::Options options;
        if (!restart_exe.empty()) options.exe = WindowsPathOf(restart_exe);
        started.push_back(std::make_unique<SonafeedRun>(options));
        SonafeedRun& run = *started.back();
        ASSERT_TRUE(run.WriteFileBytes("ffmpeg-double.txt", c.control));
        ASSERT_TRUE(StartShown(run));
        ASSERT_TRUE(
            ui::SetControlText(run.Dialog(), ids::kPublishUrl, servers.back()->PublishAddress()));
        ASSERT_TRUE(ui::Click(run.Dialog(), ids::kStartLive));
    }
    // A bench, not a test: the count over a fixed time is the figure.
    Sleep(static_cast<DWORD>(restart_minutes) * 60000);
    std::printf("\nencoder starts per minute over %d minutes\n\n", restart_minutes);
    for (size_t i = 0; i < started.size(); ++i) {
        const size_t starts = started[i]->PublishRuns().size();
        std::printf("| %-28s | %5zu starts | %6.1f a minute |\n", cases[i].name, starts,
                    double(starts) / restart_minutes);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--exe=", 6) == 0 && argv[i][6]) {
            restart_exe = argv[i] + 6;
        } else if (!ParseCount(argv[i], "--runs=", 1, &runs) &&
                   !ParseCount(argv[i], "--requests=", 1, &requests) &&
                   !ParseCount(argv[i], "--restart-minutes=", 1, &restart_minutes)) {
            std::fprintf(stderr,
                         "usage: %s [--runs=N] [--requests=N] [--restart-minutes=N [--exe=PATH]]\n",
                         argv[0]);
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
