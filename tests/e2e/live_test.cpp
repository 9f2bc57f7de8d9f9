// The live broadcast as the operator runs it: the address check, the encoder child it starts
// and stops, and the watchdog that restarts a dead encoder.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/support/ConfigDb.h"
#include "tests/e2e/support/Cp936.h"
#include "tests/e2e/support/Expected.h"
#include "tests/e2e/support/Listings.h"
#include "tests/e2e/support/OpenApiStandIn.h"
#include "tests/e2e/support/OperatorSteps.h"
#include "tests/e2e/support/RtmpStandIn.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/UiDriver.h"

namespace {

using namespace e2e;
using namespace e2e::expected;

// The watchdog's period is 5 s: this outlasts one tick with room to spare.
constexpr DWORD kBeyondOneTickMs = 6500;

// A listing in the tool's classic format naming these audio devices, given as the box shows
// them.
::testing::AssertionResult UseDevices(const SonafeedRun& run,
                                      const std::vector<std::string>& devices,
                                      const std::string& more_control = "") {
    std::vector<std::string> utf8;
    for (const std::string& device : devices)
        utf8.push_back(Utf8FromCp936(device));
    return UseListing(run, ClassicListing(utf8), more_control);
}

// The command line for publishing, with the measuring filters unless `measuring` is false:
// then it is byte for byte the encoder's original one.
std::string ExpectedCommandLine(const std::string& device, const std::string& bitrate,
                                const std::string& address, const std::string& codec = "libfdk_aac",
                                bool measuring = true) {
    return " -f dshow -i audio=\"" + device + "\" -y" +
           (measuring ? std::string(" -af ") + kLevelFilters : "") + " -c:a " + codec + " -b:a " +
           bitrate + "k -f flv " + address + " ";
}

// The arguments the encoder's runtime sees, by the system's own command-line rules.
std::vector<std::string> Arguments(const std::string& command_line) {
    // A program name first, so that the recorded line is parsed as arguments only.
    std::wstring wide = L"ffmpeg.exe" + WideFromCp936(command_line);
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(wide.c_str(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; argv && i < count; ++i)
        arguments.push_back(Cp936FromWide(argv[i]));
    LocalFree(argv);
    return arguments;
}

std::vector<std::string> ExpectedArguments(const std::string& device, const std::string& bitrate,
                                           const std::string& address) {
    return {"-f",   "dshow",      "-i",   "audio=" + device, "-y", "-af", kLevelFilters,
            "-c:a", "libfdk_aac", "-b:a", bitrate + "k",     "-f", "flv", address};
}

// The settings file's lines, whatever their line ends (the program writes CR CR LF).
std::vector<std::string> ConfigLines(const SonafeedRun& run) {
    std::vector<std::string> lines;
    std::optional<std::string> text = run.ReadFileBytes("config.db");
    if (!text) return lines;
    for (size_t start = 0, end; (end = text->find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string line = text->substr(start, end - start);
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string ConfigFile(const std::string& address, int bitrate_index) {
    ConfigDb config;
    config.publish = address;
    config.bitrate = std::to_string(bitrate_index);
    config.pull = config.key = config.id = "";
    return config.Bytes("\r\n");
}

// True when the log keeps `count` lines for the whole time.
bool LogStaysAt(const SonafeedRun& run, size_t count, DWORD ms) {
    return !WaitUntil([&] { return run.Log().size() != count; }, ms);
}

TEST(Live, EachRejectionLogsOnlyItsMessageAndStartsNothing) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    // No capture device at all: a bad address must still be reported as such.
    ASSERT_TRUE(UseDevices(run, {}));
    const std::string config = ConfigFile("rtmp://x", 3);
    ASSERT_TRUE(run.WriteFileBytes("config.db", config));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    ASSERT_EQ(ui::ComboItems(dialog, ids::kDevice), std::vector<std::string>{});

    const struct {
        std::string address;
        std::vector<std::string> log;
    } cases[] = {
        // Length before prefix; blanks are gone before the length is counted (13 typed).
        {"RTMP://a/b", {kNoAddress}},
        {"rtmp://a /b  ", {kNoAddress}},
        {"RTMP://1.push.kelvo.net/live/s", {kBadPrefix}},
        {"rtmp://1.push.kelvo.net/s", {kEmptyApp}},
        {"rtmp://1.push.kelvo.net//s", {kEmptyApp}},
        {"rtmp://1.push.kelvo.net/live/", {kEmptyStream}},
        // Past the address check only the device is missing.
        {"rtmp://1.push.kelvo.net/live/s", {kNoDevice}},
        {"rtmp://media.example/live/s", {kNotPublishDomain, kNoDevice}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        ASSERT_TRUE(ClearLog(run));
        ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, c.address));
        ASSERT_TRUE(ui::Click(dialog, ids::kStartLive));
        // The handler writes all its lines at once: once any shows, it has finished.
        EXPECT_TRUE(WaitForMessages(run, 1));
        // A click that had been taken for a stop would log "关闭直播。。。" instead.
        EXPECT_EQ(run.Messages(), c.log);
        EXPECT_EQ(ButtonText(run, ids::kStartLive), kStartLive);
    }
    EXPECT_EQ(run.PublishRuns().size(), 0u);
    EXPECT_EQ(run.CountRunning("ffmpeg.exe"), 0);
    EXPECT_EQ(run.ReadFileBytes("config.db"), config);
    EXPECT_FALSE(run.ReadFileBytes("config.db.tmp"));
}

TEST(Live, StartRunsTheEncoderForEachBitrateAndStopEndsIt) {
    // Blanks, Chinese, and last a character whose second byte is 0x5C, a backslash on its own.
    const std::string device = "线路输入 (Orvane USB 声卡) 誠";
    const std::string typed = " rtmp://media.example/live/ studio 1 ";
    const std::string address = "rtmp://media.example/live/studio1";
    const std::vector<std::string> bitrates = {"32", "48", "64", "96", "128", "192"};

    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(UseDevices(run, {device}));
    // Longer than anything an encoder run writes there during the test.
    const std::string earlier_status(65536, 'Z');
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    ASSERT_EQ(ui::ComboItems(dialog, ids::kDevice), std::vector<std::string>{device});

    for (int position = 0; position < 6; ++position) {
        SCOPED_TRACE("bitrate " + bitrates[position]);
        ASSERT_TRUE(ui::SelectComboItem(dialog, ids::kBitrate, position));
        ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, typed));
        ASSERT_TRUE(ClearLog(run));
        // The stopped encoder may still be letting go of the file.
        ASSERT_TRUE(WaitUntil([&] { return WriteWholeFile(kStatusFile, earlier_status); }));
        ASSERT_TRUE(GoLive(run));

        const size_t number = static_cast<size_t>(position) + 1;
        EXPECT_EQ(run.PublishRuns().back(),
                  ExpectedCommandLine(device, bitrates[position], address));
        EXPECT_EQ(run.CountRunning("ffmpeg.exe"), 1);
        EXPECT_EQ(run.Messages(), (std::vector<std::string>{kNotPublishDomain, kLive}));
        std::vector<std::string> config = ConfigLines(run);
        ASSERT_EQ(config.size(), 8u);
        EXPECT_EQ(config[1], address);
        EXPECT_EQ(config[3], std::to_string(position));
        // The field keeps the text as typed; only the member was cleaned.
        EXPECT_EQ(ui::ControlText(dialog, ids::kPublishUrl), typed);

        // Each run empties the status file before it writes there.
        const std::string output =
            "ffmpeg double: publishing run " + std::to_string(number) + "\r\n";
        EXPECT_TRUE(WaitUntil([&] {
            std::string status = ReadWholeFile(kStatusFile).value_or("");
            return status.compare(0, output.size(), output) == 0 &&
                   status.find('Z') == std::string::npos;
        })) << ReadWholeFile(kStatusFile).value_or("<missing>").substr(0, 200);

        // A choice made during the broadcast is not saved by the stop.
        ASSERT_TRUE(ui::SelectComboItem(dialog, ids::kBitrate, (position + 1) % 6));
        std::optional<std::string> saved = run.ReadFileBytes("config.db");
        ASSERT_TRUE(EndLive(run));
        EXPECT_EQ(run.Messages(),
                  (std::vector<std::string>{kNotPublishDomain, kLive, kLiveClosed}));
        EXPECT_EQ(run.ReadFileBytes("config.db"), saved);
    }
    std::optional<std::string> module = run.ReadFileBytes("runs\\1.module");
    ASSERT_TRUE(module);
    EXPECT_EQ(lstrcmpiA(module->c_str(), run.PathOf("ffmpeg.exe").c_str()), 0) << *module;
    EXPECT_EQ(run.PublishRuns().size(), 6u);
}

TEST(Live, QuotesTabsAndKilobytesStayWholeArguments) {
    // Quotes inside, a backslash before a quote, a backslash at the end.
    const std::string quoted_device = "Mixer \"Pro\" \\\"2\\\" end\\";
    const std::string long_device = [] {
        std::string name;
        while (name.size() < 4000)
            name += "Line In 声卡 ";
        return name + "end";
    }();
    // From an edited settings file: blanks are removed on reading, tabs and quotes are not.
    const std::string tab_address = "rtmp://1.push.kelvo.net/live/s1\t-y\tc:\\x\"q\\\"y\\";

    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(UseDevices(run, {quoted_device, long_device}));
    // Position 9 names no entry of the bitrate box.
    ASSERT_TRUE(run.WriteFileBytes("config.db", ConfigFile(tab_address, 9)));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kBitrate), CB_ERR);
    std::vector<std::string> devices = ui::ComboItems(dialog, ids::kDevice);
    ASSERT_EQ(devices.size(), 2u);
    const int quoted_position = devices[0] == quoted_device ? 0 : 1;
    ASSERT_EQ(devices[quoted_position], quoted_device);
    ASSERT_EQ(devices[1 - quoted_position], long_device);

    ASSERT_TRUE(ui::SelectComboItem(dialog, ids::kDevice, quoted_position));
    ASSERT_TRUE(GoLive(run));
    EXPECT_EQ(Arguments(run.PublishRuns().back()),
              ExpectedArguments(quoted_device, "48", tab_address))
        << run.PublishRuns().back();
    // The stored position survives the start's save.
    std::vector<std::string> config = ConfigLines(run);
    ASSERT_EQ(config.size(), 8u);
    EXPECT_EQ(config[1], tab_address);
    EXPECT_EQ(config[3], "9");
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kBitrate), CB_ERR);
    ASSERT_TRUE(EndLive(run));

    // Without tabs or quotes the text goes out exactly as the template gives it, however long.
    const std::string long_address = "rtmp://1.push.kelvo.net/live/" + std::string(4000, 'k');
    ASSERT_TRUE(ui::SelectComboItem(dialog, ids::kDevice, 1 - quoted_position));
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, long_address));
    ASSERT_TRUE(GoLive(run));
    EXPECT_EQ(run.PublishRuns().back(), ExpectedCommandLine(long_device, "48", long_address));
    EXPECT_EQ(ConfigLines(run).at(1), long_address);
    ASSERT_TRUE(EndLive(run));
}

TEST(Live, EnterAndEscapeKeepTheBroadcastAndClosingEndsTheEncoder) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, "rtmp://1.push.kelvo.net/live/s"));
    ASSERT_TRUE(GoLive(run));

    // The keys as typed in the address field: on a focused push button, such as the one just
    // clicked, Enter presses that button, as in any dialog.
    HWND edit = GetDlgItem(dialog, ids::kPublishUrl);
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    ASSERT_TRUE(WaitUntil([&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) &&
               info.hwndFocus == edit;
    }));
    ui::PressKey(dialog, VK_ESCAPE);
    ui::PressKey(dialog, VK_RETURN);
    // What the hidden OK and Cancel buttons would send.
    ui::PostCommand(dialog, IDOK);
    ui::PostCommand(dialog, IDCANCEL);
    // Handled after all of the above, which therefore neither ended nor stopped anything.
    ASSERT_TRUE(ClearLog(run));
    EXPECT_TRUE(ui::IsVisible(dialog));
    EXPECT_EQ(ButtonText(run, ids::kStartLive), kStopLive);
    EXPECT_EQ(run.CountRunning("ffmpeg.exe"), 1);
    EXPECT_EQ(run.PublishRuns().size(), 1u);

    ASSERT_TRUE(run.Close());
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning("ffmpeg.exe") == 0; }));
}

// Sonafeed ended from outside while live (a crash, End task) takes its encoder with it; an
// encoder that an earlier run nevertheless left behind is ended at the next start-up, before it
// could publish beside a new one.
TEST(Live, NoEncoderOutlivesSonafeed) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(UseDevices(run, {"Line In (Orvane USB)"}));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ui::SetControlText(run.Dialog(), ids::kPublishUrl, "rtmp://1.push.kelvo.net/l/s"));
    ASSERT_TRUE(GoLive(run));
    ASSERT_TRUE(TerminateProcess(run.Process(), 1));
    const DWORD killed = GetTickCount();
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning("ffmpeg.exe") == 0; }));
    EXPECT_LT(GetTickCount() - killed, 1000u);

    // As an earlier Sonafeed without this care would have left it.
    std::string command_line = "\"" + run.PathOf("ffmpeg.exe") + "\"" +
                               ExpectedCommandLine("Line In (Orvane USB)", "48", "rtmp://h/l/s");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION leftover = {};
    ASSERT_TRUE(CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               run.Dir().c_str(), &startup, &leftover));
    CloseHandle(leftover.hThread);
    CloseHandle(leftover.hProcess);
    ASSERT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 2; }));
    ASSERT_TRUE(StartShown(run));
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning("ffmpeg.exe") == 0; }));
    EXPECT_EQ(run.Messages().at(0), kLeftoverEncoderEnded);
}

// Two installations live on one machine: the first to start an encoder writes the shared status
// file, the other its own; each judges only its own encoder's output.
TEST(Live, TwoInstallationsWatchOnlyTheirOwnEncoder) {
    const std::string device = "Line In (Orvane USB)";
    const std::string address = "rtmp://1.push.kelvo.net/live/s";
    OpenApiStandIn service;
    SonafeedRun first(WithOpenApi(service.Address()));
    SonafeedRun second(WithOpenApi(service.Address()));
    ASSERT_TRUE(UseDevices(first, {device}));
    // The second's encoder lacks libfdk_aac; the first's has it.
    ASSERT_TRUE(UseDevices(second, {device}, "no_libfdk_aac=1\r\n"));
    for (SonafeedRun* run : {&first, &second}) {
        ASSERT_TRUE(StartShown(*run));
        ASSERT_TRUE(ui::SetControlText(run->Dialog(), ids::kPublishUrl, address));
        ASSERT_TRUE(ClearLog(*run));
        ASSERT_TRUE(GoLive(*run));
    }
    // The second falls back on its own; the first goes on as it was.
    ASSERT_TRUE(WaitUntil([&] { return second.PublishRuns().size() == 2; }));
    EXPECT_EQ(second.PublishRuns().back(), ExpectedCommandLine(device, "48", address, "aac"));
    const std::vector<std::string> second_log = {
        kLive, OwnStatusFileLine(second),
        std::string(kEncoderSays) + "Unknown encoder 'libfdk_aac'", kBuiltInAac};
    ASSERT_TRUE(WaitForMessages(second, second_log.size()));

    // The first's encoder goes silent: only the first's watch ends it, with its own last line,
    // and starts it again at once.
    ASSERT_TRUE(first.WriteFileBytes("ffmpeg-double.txt", "listing=listing.txt\r\nsilent=1\r\n"));
    ASSERT_TRUE(WaitForMessages(first, 5, 60000)) << testing::PrintToString(first.Messages());
    ASSERT_TRUE(WaitUntil([&] { return first.PublishRuns().size() == 2; }));
    EXPECT_EQ(first.Messages(),
              (std::vector<std::string>{
                  kLive, kStalled, std::string(kEncoderSays) + "ffmpeg double: publishing run 1",
                  kRestart, kLive}));
    EXPECT_EQ(first.PublishRuns(),
              std::vector<std::string>(2, ExpectedCommandLine(device, "48", address)));
    EXPECT_EQ(second.Messages(), second_log);
    EXPECT_EQ(second.CountRunning("ffmpeg.exe"), 1);
    EXPECT_EQ(second.PublishRuns().size(), 2u);
    for (SonafeedRun* run : {&first, &second})
        ASSERT_TRUE(EndLive(*run));
}

// One broadcast through every kind of tick, in as few 5 s ticks as it takes: an encoder that
// dies at once (restarted at once, then by tick 2, tick 1 having given its attempt to the first
// restart), a program that is gone (ticks 3 and 4 find no child, tick 4 retries), the program
// back (tick 4's retry runs, tick 5 reports the recovery once).
TEST(Watchdog, RestartsADeadEncoderOnScheduleAndRecoversWhenTheProgramReturns) {
    const std::string device = "Line In (Orvane USB)";
    const std::string address = "rtmp://1.push.kelvo.net/live/s";
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(UseDevices(run, {device}, "exit_after_ms=0\r\n"));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, address));
    ASSERT_TRUE(ClearLog(run));
    const DWORD clicked = GetTickCount();
    ASSERT_TRUE(GoLive(run));

    // Up to two ticks away, on a loaded machine.
    auto lines_reach = [&](size_t count) { return WaitForMessages(run, count, 2 * kPatience); };
    // The dead encoder's last line and its restart come at once, not at the first tick; the
    // restarted one dies too, and its last line is logged as soon.
    ASSERT_TRUE(lines_reach(4));
    ASSERT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 2; }));
    EXPECT_LT(GetTickCount() - clicked, 3000u);
    // Now the program goes, and the next start takes the bitrate chosen meanwhile.
    ASSERT_TRUE(ui::SelectComboItem(dialog, ids::kBitrate, 5));
    const std::string encoder = run.PathOf("ffmpeg.exe");
    const std::string away = run.PathOf("ffmpeg-away.exe");
    ASSERT_TRUE(WaitUntil([&] { return MoveFileA(encoder.c_str(), away.c_str()) != FALSE; }));
    // Tick 1 has nothing to do; tick 2 tries and fails; tick 3 finds no child and does not try.
    ASSERT_TRUE(lines_reach(6));
    EXPECT_EQ(run.PublishRuns().size(), 2u);
    // Back, and running this time.
    ASSERT_TRUE(run.WriteFileBytes("ffmpeg-double.txt", "listing=listing.txt\r\n"));
    ASSERT_TRUE(MoveFileA(away.c_str(), encoder.c_str()));
    // Tick 4 finds no child, tries, and succeeds.
    ASSERT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 3; }));
    EXPECT_EQ(run.PublishRuns().back(), ExpectedCommandLine(device, "192", address));
    // Tick 5 finds it running; tick 6 has nothing to say.
    ASSERT_TRUE(lines_reach(9));
    EXPECT_TRUE(LogStaysAt(run, 9, kBeyondOneTickMs));
    const std::string exited = std::string(kEncoderSays) + "ffmpeg double: exiting";
    EXPECT_EQ(run.Messages(),
              (std::vector<std::string>{kLive, exited, kRestart, exited, kRestart, kCallFailed,
                                        kCallFailed, kRestart, kLive}));
    EXPECT_EQ(run.CountRunning("ffmpeg.exe"), 1);

    // After the stop no tick restarts anything, although no encoder runs.
    ASSERT_TRUE(EndLive(run));
    EXPECT_TRUE(LogStaysAt(run, 10, kBeyondOneTickMs));
    EXPECT_EQ(run.Messages().back(), kLiveClosed);
    EXPECT_EQ(run.PublishRuns().size(), 3u);
}

// An encoder that dies at once while its server is gone (a proxy in front of it accepts and
// drops connections): restarted on the schedule until the server answers again, then at once.
// While the server answers, the schedule alone restarts it.
TEST(Watchdog, AServerThatAnswersAgainGetsTheEncoderBackAtOnce) {
    RtmpStandIn server(RtmpStandIn::Mode::kDrop);
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(UseDevices(run, {"Line In (Orvane USB)"}, "exit_after_ms=0\r\n"));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ui::SetControlText(run.Dialog(), ids::kPublishUrl, server.PublishAddress()));
    ASSERT_TRUE(ClearLog(run));
    const DWORD clicked = GetTickCount();
    ASSERT_TRUE(GoLive(run));

    // Restarted at once, then by tick 2. The check after the second connection that follows
    // tick 2's start was made for the encoder it started (at most one check runs at a time).
    ASSERT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 3; }, 3 * kPatience));
    const int before = server.Connections();
    ASSERT_TRUE(WaitUntil([&] { return server.Connections() >= before + 2; }));
    server.SetMode(RtmpStandIn::Mode::kAnswer);
    const DWORD back = GetTickCount();
    // The schedule's next attempt is tick 4, 10 s after tick 2; it comes now.
    ASSERT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 4; }));
    EXPECT_LT(GetTickCount() - back, 3000u);
    // So tick 4 brings none: the next is tick 8, 40 s after the click.
    const DWORD tick8 = 8 * 5000;
    const DWORD spent = GetTickCount() - clicked;
    ASSERT_LT(spent, tick8 - 5000);
    EXPECT_FALSE(WaitUntil([&] { return run.PublishRuns().size() > 4; }, tick8 - 3000 - spent));
    ASSERT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 5; }, 3 * kPatience));
    const std::string exited = std::string(kEncoderSays) + "ffmpeg double: exiting";
    const std::vector<std::string> messages = {
        kNotPublishDomain, kLive,  exited,   kRestart, exited, kRestart, exited,
        kServerBack,       exited, kRestart, exited};
    ASSERT_TRUE(WaitForMessages(run, messages.size()));
    EXPECT_EQ(run.Messages(), messages);
    ASSERT_TRUE(EndLive(run));
}

// A server that answers every other check (it drops half of the connections, and would refuse
// each publish) gets no more restarts than the schedule gives: its next two attempts brought
// forward, then the ticks' own.
TEST(Watchdog, AFlappingServerGetsNoMoreRestartsThanTheSchedule) {
    RtmpStandIn server(RtmpStandIn::Mode::kFlap);
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(UseDevices(run, {"Line In (Orvane USB)"}, "exit_after_ms=0\r\n"));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ui::SetControlText(run.Dialog(), ids::kPublishUrl, server.PublishAddress()));
    ASSERT_TRUE(GoLive(run));
    // In 30 s the schedule's attempts are at dead ticks 1, 2 and 4; two more may come early.
    constexpr size_t kMostRuns = 1 + 3 + 2;
    EXPECT_FALSE(WaitUntil([&] { return run.PublishRuns().size() > kMostRuns; }, 30000))
        << run.PublishRuns().size() << " starts";
    EXPECT_GE(server.Connections(), 10);
    ASSERT_TRUE(EndLive(run));
}

// The status file held open by another program that lets nobody write to it, as a file the
// program has no right to write would be, for the object's lifetime.
class StatusFileHeld {
  public:
    explicit StatusFileHeld(const std::string& content) {
        WriteWholeFile(kStatusFile, content);
        file_ = CreateFileA(kStatusFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~StatusFileHeld() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    StatusFileHeld(const StatusFileHeld&) = delete;
    StatusFileHeld& operator=(const StatusFileHeld&) = delete;
    bool Held() const { return file_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE file_;
};

// An encoder without libfdk_aac, then encoders that fail with a message of their own, first
// with the status file held by someone else, then with the file theirs: a tick at a time.
TEST(EncoderOutput, TheLastLineIsLoggedOnceAndAnEncoderWithoutLibfdkAacGetsTheBuiltInAac) {
    const std::string device = "麦克风 (Tessaly HD Audio)";
    const std::string address = "rtmp://1.push.kelvo.net/live/s";
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(UseDevices(run, {device}, "no_libfdk_aac=1\r\n"));
    ASSERT_TRUE(StartShown(run));
    HWND dialog = run.Dialog();
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, address));
    ASSERT_TRUE(ClearLog(run));
    auto lines_reach = [&](size_t count) { return WaitForMessages(run, count, 2 * kPatience); };

    // Nobody lets the program write the shared status file, so the encoder writes into the
    // installation's own. The refusal, the switch, and the start with aac at once: long before
    // the watchdog's first tick, 5 s after the click, and not counted as a dead tick, so that
    // tick has nothing to say.
    {
        StatusFileHeld held("earlier words\r\n");
        ASSERT_TRUE(held.Held());
        const DWORD clicked = GetTickCount();
        ASSERT_TRUE(GoLive(run, 2));
        EXPECT_LT(GetTickCount() - clicked, 2500u);
        ASSERT_TRUE(lines_reach(4));
        EXPECT_TRUE(LogStaysAt(run, 4, kBeyondOneTickMs));
        EXPECT_EQ(run.Messages(),
                  (std::vector<std::string>{
                      kLive, OwnStatusFileLine(run),
                      std::string(kEncoderSays) + "Unknown encoder 'libfdk_aac'", kBuiltInAac}));
        EXPECT_EQ(run.PublishRuns(),
                  (std::vector<std::string>{ExpectedCommandLine(device, "48", address),
                                            ExpectedCommandLine(device, "48", address, "aac")}));
        ASSERT_TRUE(EndLive(run));
    }

    // From now on each encoder prints a progress line and then its message: first in the ANSI
    // code page, as some builds print, then in UTF-8, as most do. It is logged in the program's
    // code page either way, once per encoder.
    const std::string message = "audio=" + device + ": I/O error";
    const std::string said = kEncoderSays + message;
    auto exit_line = [&](const std::string& bytes) {
        return run.WriteFileBytes("ffmpeg-double.txt",
                                  "listing=listing.txt\r\nexit_after_ms=600\r\nexit_line=" + bytes +
                                      "\r\n");
    };
    // The first encoder to end after it ran well is started again at once; the next one is
    // left to the ticks, the first of which comes 5 s after the click.
    ASSERT_TRUE(exit_line(message));
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(GoLive(run));
    ASSERT_TRUE(lines_reach(4));
    EXPECT_EQ(run.Messages(), (std::vector<std::string>{kLive, said, kRestart, said}));
    ASSERT_TRUE(EndLive(run));

    // The schedule goes on: its first attempt has been taken, so tick 1 has none, tick 2
    // (count 2) restarts the encoder, tick 3 does not, tick 4 does.
    ASSERT_TRUE(exit_line(Utf8FromCp936(message)));
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(GoLive(run));
    ASSERT_TRUE(lines_reach(5));
    EXPECT_EQ(run.Messages(), (std::vector<std::string>{kLive, said, kRestart, said, kRestart}));
    // The switch holds for every later start of this run of the program.
    EXPECT_EQ(run.PublishRuns().back(), ExpectedCommandLine(device, "48", address, "aac"));
    ASSERT_TRUE(EndLive(run));
}

// A build whose banner says that it lacks libfdk_aac is asked for aac from its first start.
TEST(EncoderOutput, ABannerWithoutLibfdkAacMeansTheBuiltInAacFromTheFirstStart) {
    const std::string device = "Line In (Orvane USB)";
    const std::string address = "rtmp://1.push.kelvo.net/live/s";
    const std::string banner =
        "ffmpeg version 4.1 Copyright (c) 2000-2018 the FFmpeg developers\r\n"
        "  built with gcc 8.2.1 (GCC) 20181201\r\n"
        "  configuration: --enable-gpl --enable-version3 --enable-libmp3lame\r\n"
        "  libavutil      56. 22.100 / 56. 22.100\r\n";
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(UseListing(run, banner + ClassicListing({device}), "no_libfdk_aac=1\r\n"));
    ASSERT_TRUE(StartShown(run));
    // Said at the listing, before the start-up relay query finds no address.
    const std::vector<std::string> startup = {kBuiltInAac, kNoAddress};
    EXPECT_EQ(run.Messages(), startup);
    ASSERT_TRUE(ui::SetControlText(run.Dialog(), ids::kPublishUrl, address));
    ASSERT_TRUE(GoLive(run));
    EXPECT_EQ(run.PublishRuns(),
              std::vector<std::string>{ExpectedCommandLine(device, "48", address, "aac")});
    EXPECT_EQ(run.Messages(), (std::vector<std::string>{kBuiltInAac, kNoAddress, kLive}));
    ASSERT_TRUE(EndLive(run));
}

// An encoder that has made no progress yet (connecting, or waiting for a slow authorisation) is
// ended after 30 s of silence only when its server does not answer either, and one minute after
// its start in any case: a capture device that blocks, or a server that takes the publish request
// and never answers, must not keep the station silent. A banner longer than what is read back of
// the file's end is no progress.
TEST(EncoderOutput, AnEncoderThatNeverPublishesIsEndedWithinAMinute) {
    OpenApiStandIn service;
    RtmpStandIn server(RtmpStandIn::Mode::kAnswer);
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes("banner.txt", "ffmpeg version 4.1\r\n" + std::string(6000, 'b') +
                                                     "\r\nbanner end\r\n"));
    // It writes its banner and then never a progress line.
    ASSERT_TRUE(UseDevices(run, {"Line In (Orvane USB)"}, "silent=1\r\nbanner=banner.txt\r\n"));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ui::SetControlText(run.Dialog(), ids::kPublishUrl, server.PublishAddress()));
    ASSERT_TRUE(ClearLog(run));
    const DWORD clicked = GetTickCount();
    ASSERT_TRUE(GoLive(run));

    // Beyond the longest silence the stall watch allows: its server answered the check.
    constexpr DWORD kLongerThanAStallMs = 40000;
    EXPECT_TRUE(LogStaysAt(run, 2, kLongerThanAStallMs));
    EXPECT_EQ(server.Connections(), 1);
    // A minute after its start it is ended all the same, and started again at once.
    const std::string says = kEncoderSays;
    const std::vector<std::string> ended = {kNotPublishDomain,   kLive,    kStalled,
                                            says + "banner end", kRestart, kLive};
    ASSERT_TRUE(WaitForMessages(run, ended.size() - 1, 60000));
    const DWORD after = GetTickCount() - clicked;
    EXPECT_GE(after, 59000u);
    EXPECT_LE(after, 70000u);
    ASSERT_TRUE(WaitForMessages(run, ended.size()));
    EXPECT_EQ(run.Messages(), ended);
    EXPECT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 2; }));

    // Once nothing answers there, the next 30 s of silence end it, without waiting for that
    // minute.
    server.SetMode(RtmpStandIn::Mode::kDrop);
    ASSERT_TRUE(WaitForMessages(run, ended.size() + 4, kLongerThanAStallMs + kPatience));
    const std::vector<std::string> messages = run.Messages();
    EXPECT_EQ(std::vector<std::string>(messages.begin() + ended.size(), messages.end()),
              (std::vector<std::string>{kStalled, says + "banner end", kRestart, kLive}));
    ASSERT_TRUE(EndLive(run));
}

// An encoder that made progress and then writes nothing for 30 s is stuck, for instance in a
// write to a dead connection: it is ended whatever its server says, and started again.
TEST(EncoderOutput, AnEncoderThatStopsWritingIsRestarted) {
    OpenApiStandIn service;
    RtmpStandIn server(RtmpStandIn::Mode::kAnswer);
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(UseDevices(run, {"Line In (Orvane USB)"}));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ui::SetControlText(run.Dialog(), ids::kPublishUrl, server.PublishAddress()));
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(GoLive(run));
    ASSERT_TRUE(WaitUntil([&] {
        return ReadWholeFile(kStatusFile).value_or("").find("size=") != std::string::npos;
    }));
    // The double reads its control file again before each progress line.
    ASSERT_TRUE(WaitUntil([&] {
        return run.WriteFileBytes("ffmpeg-double.txt", "listing=listing.txt\r\nsilent=1\r\n");
    }));
    // The moment the file last grew, as seen from here.
    size_t size = 0;
    DWORD grew = GetTickCount();
    constexpr DWORD kLongerThanAStallMs = 40000;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const size_t now = ReadWholeFile(kStatusFile).value_or("").size();
            if (now != size) size = now, grew = GetTickCount();
            const std::vector<std::string> messages = run.Messages();
            return std::find(messages.begin(), messages.end(), kStalled) != messages.end();
        },
        kLongerThanAStallMs + kPatience));
    const DWORD silence = GetTickCount() - grew;
    // Polling here lags the file by a moment.
    EXPECT_GE(silence, 29500u);
    EXPECT_LE(silence, kLongerThanAStallMs);
    // Its last progress lines are no last words.
    const std::string says = kEncoderSays;
    ASSERT_TRUE(WaitForMessages(run, 6));
    EXPECT_EQ(run.Messages(), (std::vector<std::string>{kNotPublishDomain, kLive, kStalled,
                                                        says + "ffmpeg double: publishing run 1",
                                                        kRestart, kLive}));
    EXPECT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 2; }));
    ASSERT_TRUE(EndLive(run));
}

// However long the encoder runs and however fast it writes, its status file stays bounded: it
// keeps the encoder's first lines and about a megabyte of what followed, and what is read back
// of its end works as before.
TEST(EncoderOutput, TheStatusFileStaysBoundedAndKeepsTheEncodersFirstLines) {
    const std::string banner = "ffmpeg version 4.1\r\n  configuration: --enable-gpl\r\n";
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes("banner.txt", banner));
    // About 170 KB a second, 4 MB in all.
    ASSERT_TRUE(UseDevices(run, {"Line In (Orvane USB)"},
                           "banner=banner.txt\r\nprogress_lines=1000\r\nexit_after_ms=25000\r\n"));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ui::SetControlText(run.Dialog(), ids::kPublishUrl, "rtmp://1.push.kelvo.net/l/s"));
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(GoLive(run));
    const std::string head = "ffmpeg double: publishing run 1\r\n" + banner;
    const std::string exited = std::string(kEncoderSays) + "ffmpeg double: exiting";
    size_t largest = 0;
    bool head_kept = true;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::string status = ReadWholeFile(kStatusFile).value_or("");
            if (run.PublishRuns().size() == 1 && status.size() > head.size()) {
                largest = std::max(largest, status.size());
                head_kept &= status.compare(0, head.size(), head) == 0;
            }
            const std::vector<std::string> messages = run.Messages();
            return std::find(messages.begin(), messages.end(), exited) != messages.end();
        },
        60000));
    EXPECT_GT(largest, size_t{1} << 20);
    EXPECT_LE(largest, (size_t{1} << 20) + (256 << 10));
    EXPECT_TRUE(head_kept);
    ASSERT_TRUE(WaitForMessages(run, 4));
    EXPECT_EQ(run.Messages(), (std::vector<std::string>{kLive, exited, kRestart, kLive}));
    ASSERT_TRUE(EndLive(run));
}

// A status file that cannot grow because its drive is full says nothing of the encoder: the stall
// watch pauses, said once, and watches again once the file grows.
TEST(EncoderOutput, AFullDrivePausesTheStallWatch) {
    // A 4 MiB drive that the test session mounts where it may (tests/wine/session.sh).
    const std::string drive = "S:\\";
    if (GetFileAttributesA(drive.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no small drive S: (mounting it needs root)";
    OpenApiStandIn service;
    SonafeedRun::Options options = WithOpenApi(service.Address());
    options.parent = drive;
    SonafeedRun run(options);
    ASSERT_TRUE(UseDevices(run, {"Line In (Orvane USB)"}));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ui::SetControlText(run.Dialog(), ids::kPublishUrl, "rtmp://1.push.kelvo.net/l/s"));
    // The shared status file is not to be had: the encoder writes beside the program, on S:.
    StatusFileHeld held("");
    ASSERT_TRUE(held.Held());
    // Filled before the encoder starts, so that not one of its lines fits.
    const std::string filler = drive + "filler";
    {
        HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const std::string chunk(4096, 'f');
        DWORD written = 0;
        while (WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) &&
               written > 0) {
        }
        CloseHandle(file);
    }
    ASSERT_TRUE(GoLive(run));
    auto logged = [&](const std::string& message) {
        const std::vector<std::string> messages = run.Messages();
        return std::count(messages.begin(), messages.end(), message);
    };
    constexpr DWORD kBeyondAStallMs = 45000;
    EXPECT_TRUE(WaitUntil([&] { return logged(kStallWatchPaused) == 1; }, kBeyondAStallMs));

    EXPECT_EQ(logged(kStalled), 0);
    EXPECT_EQ(run.CountRunning("ffmpeg.exe"), 1);

    // Room again: the file grows, and a silence from now on is a stall.
    ASSERT_TRUE(DeleteFileA(filler.c_str()));
    ASSERT_TRUE(
        WaitUntil([&] { return !run.ReadFileBytes("log\\NetStatus.txt").value_or("").empty(); }));
    ASSERT_TRUE(WaitUntil([&] {
        return run.WriteFileBytes("ffmpeg-double.txt", "listing=listing.txt\r\nsilent=1\r\n");
    }));
    EXPECT_TRUE(WaitUntil([&] { return logged(kStalled) == 1; }, kBeyondAStallMs));
    EXPECT_EQ(logged(kStallWatchPaused), 1);
    ASSERT_TRUE(EndLive(run));
}

} // namespace
