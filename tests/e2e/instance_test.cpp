// One instance per user and installation: later starts of the program hand their switch to the
// running instance and end; the first start's own /live waits for its start-up.
#include <windows.h>

#include <wininet.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/support/ConfigDb.h"
#include "tests/e2e/support/Expected.h"
#include "tests/e2e/support/OpenApiStandIn.h"
#include "tests/e2e/support/OperatorSteps.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/UiDriver.h"

namespace {

using namespace e2e;
using namespace e2e::expected;

// Everything posted to the dialog before has been handled once a click on the tray box has
// been: posted messages are handled in order. Two clicks leave the box as it was.
::testing::AssertionResult HandledSoFar(HWND dialog) {
    ::testing::AssertionResult first = Toggle(dialog, ids::kMinimizeToTray);
    return first ? Toggle(dialog, ids::kMinimizeToTray) : first;
}

TEST(OneInstance, LaterStartsHandTheirSwitchToTheRunningInstanceAndEnd) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ConfigDb config;
    config.tray = "1";
    ASSERT_TRUE(run.WriteFileBytes(kConfig, config.Bytes()));
    ASSERT_TRUE(StartShown(run));
    HWND dialog = run.Dialog();
    const size_t requests = service.Requests().size();
    ASSERT_EQ(requests, 1u); // the start-up query
    ASSERT_EQ(run.ListingRuns().size(), 1u);
    ASSERT_TRUE(HideToTray(dialog));
    const std::string on_drive_z = run.DirOnDriveZ();
    ASSERT_NE(on_drive_z, "");

    const struct {
        std::string arguments;
        std::string caption;
        std::vector<std::string> messages; // the whole log so far
        size_t encoder_runs;
        // The installation folder as the later start spells it; "": as the first start did.
        std::string from;
    } steps[] = {
        // Without a switch the window comes back from the tray.
        {"", kStartLive, {}, 0, ""},
        {"/live", kStopLive, {kLive}, 1, ""},
        {"/LIVE", kStopLive, {kLive}, 1, ""},
        {"/stop", kStartLive, {kLive, kLiveClosed}, 1, ""},
        {"/stop", kStartLive, {kLive, kLiveClosed}, 1, ""},
        // The same installation through another drive letter is the same instance.
        {"/live", kStopLive, {kLive, kLiveClosed, kLive}, 2, on_drive_z},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE("\"" + step.arguments + "\" from \"" + step.from + "\"");
        SonafeedRun::LaterStart later = run.StartAgain(step.arguments, step.from);
        ASSERT_TRUE(later);
        EXPECT_TRUE(later.WaitForExit());
        EXPECT_EQ(later.ExitCode(), 0u);
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(dialog); }));
        EXPECT_FALSE(IsIconic(dialog));
        ASSERT_TRUE(HandledSoFar(dialog));
        EXPECT_EQ(ButtonText(run, ids::kStartLive), step.caption);
        EXPECT_EQ(run.Messages(), step.messages);
        // An encoder records its run just after it has started.
        EXPECT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == step.encoder_runs; }));
    }

    // An unknown switch: one box that lists the switches, and nothing handed over.
    SonafeedRun::LaterStart unknown = run.StartAgain("/live /now");
    ASSERT_TRUE(unknown);
    HWND box = ui::WaitForPopup(unknown.Pid(), kMainCaption);
    ASSERT_TRUE(box);
    EXPECT_EQ(ui::Caption(box), kBoxCaption);
    EXPECT_EQ(ui::MessageBoxText(box), std::string(kUnknownSwitch) + "/live /now" + kSwitchList);
    EXPECT_EQ(ui::FindDialog(unknown.Pid(), kMainCaption), nullptr);
    ui::PressOk(box);
    EXPECT_TRUE(unknown.WaitForExit());
    ASSERT_TRUE(HandledSoFar(dialog));
    EXPECT_EQ(run.Messages(), (std::vector<std::string>{kLive, kLiveClosed, kLive}));

    // No later start listed devices or asked the service anything.
    EXPECT_EQ(run.ListingRuns().size(), 1u);
    EXPECT_EQ(service.Requests().size(), requests);

    // /quit closes the running instance as its window's close button does: the encoder ends.
    EXPECT_EQ(run.CountRunning(kEncoder), 1);
    SonafeedRun::LaterStart quit = run.StartAgain("/quit");
    ASSERT_TRUE(quit);
    EXPECT_TRUE(quit.WaitForExit());
    EXPECT_TRUE(run.WaitForExit());
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning(kEncoder) == 0; }));

    // With no instance running, /stop and /quit have nothing to act on and end at once.
    for (const char* arguments : {"/stop", "/quit"}) {
        SonafeedRun::LaterStart alone = run.StartAgain(arguments);
        ASSERT_TRUE(alone);
        EXPECT_TRUE(alone.WaitForExit()) << arguments;
    }
    EXPECT_EQ(run.ListingRuns().size(), 1u);
}

TEST(OneInstance, LiveGivenToTheFirstStartPressesStartOnceTheStartUpQueryIsAnswered) {
    OpenApiStandIn service;
    // The relay is on at the service, and the answer is slow: start-up is still going on when
    // a second start comes.
    constexpr DWORD kAnswerDelayMs = 5000;
    HttpAnswer play;
    play.body = kAccepted;
    play.delay_ms = kAnswerDelayMs;
    service.QueueAnswer(play);
    service.SetDefaultAnswer(HttpAnswer{200, kAccepted});
    SonafeedRun::Options options = WithOpenApi(service.Address());
    options.arguments = "/live";
    SonafeedRun run(options);
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));

    ::testing::AssertionResult started = ::testing::AssertionFailure();
    std::thread starter([&] { started = run.Start(); });
    EXPECT_TRUE(service.WaitForRequests(1));
    // Handed over while the first start waits for its answer, its window unseen; taken, and
    // so ended, once that answer is in.
    SonafeedRun::LaterStart later = run.StartAgain("");
    EXPECT_TRUE(later && later.WaitForExit());
    starter.join();
    ASSERT_TRUE(started);

    // The answer set the relay state; then the press stopped the relay and went live.
    ASSERT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return ButtonText(run, ids::kStartLive) == kStopLive; }));
    EXPECT_EQ(run.Messages(), (std::vector<std::string>{kPulling, kPullStopped, kLive}));
    std::vector<std::string> types;
    for (const HttpRequest& request : service.Requests())
        types.push_back(TypeOf(request.body));
    EXPECT_EQ(types, (std::vector<std::string>{"play", "del"}));
    EXPECT_TRUE(IsWindowVisible(run.Dialog()));
    EXPECT_TRUE(run.Close());
}

// A running instance is busy for at most one open API request (30 s) before it takes a command
// or ends; the rest is room for a loaded machine.
constexpr DWORD kBusyBoundMs = 60000;

// Ends the instance with a later /quit, taken at once, and waits until it has ended. Then no
// encoder may be left: nothing of the program is there to start another.
void QuitLeavesNoEncoder(SonafeedRun& run) {
    SonafeedRun::LaterStart quit = run.StartAgain("/quit");
    EXPECT_TRUE(quit && quit.WaitForExit());
    ASSERT_TRUE(run.WaitForExit()) << "a box stays open: " << (run.Popup() != nullptr);
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning(kEncoder) == 0; }));
}

// The About box is open over a live broadcast when /quit comes.
void QuitWithTheAboutBoxOpen() {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(GoLive(run));
    ui::PostSysCommand(run.Dialog(), ids::kAboutCommand);
    ASSERT_TRUE(run.WaitForPopup());
    QuitLeavesNoEncoder(run);
}

// The service is unreachable: start-up ends in an error box, and the first start's /live runs
// underneath it.
void QuitBehindTheStartUpErrorBoxWhileLive() {
    SonafeedRun::Options options =
        WithOpenApi("127.0.0.1:" + std::to_string(OpenApiStandIn::ClosedPort()));
    options.arguments = "/live";
    SonafeedRun run(options);
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForPopup());
    ASSERT_TRUE(WaitUntil([&] { return run.CountRunning(kEncoder) == 1; }));
    QuitLeavesNoEncoder(run);
}

// The relay is held, so the close asks the service to stop it and waits for the slow answer;
// a /live start comes meanwhile and becomes the next instance.
void LiveWhileTheCloseWaitsForTheRelayStop() {
    OpenApiStandIn service;
    service.QueueAnswer({200, kAccepted}); // start-up: the relay is on
    HttpAnswer slow_stop{200, kAccepted};
    slow_stop.delay_ms = 5000;
    service.QueueAnswer(slow_stop);
    service.SetDefaultAnswer({200, kAccepted});
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(StartShown(run));
    SonafeedRun::LaterStart quit = run.StartAgain("/quit");
    EXPECT_TRUE(quit && quit.WaitForExit());
    ASSERT_TRUE(service.WaitForRequests(2));

    SonafeedRun::LaterStart live = run.StartAgain("/live");
    ASSERT_TRUE(run.WaitForExit(kBusyBoundMs));
    HWND next = ui::WaitForDialog(live.Pid(), kMainCaption);
    ASSERT_TRUE(next) << "the /live start ended with " << live.ExitCode();
    EXPECT_TRUE(WaitUntil([&] {
        return ui::ControlText(next, ids::kStartLive) == kStopLive &&
               run.CountRunning(kEncoder) == 1;
    }));
    std::vector<std::string> types;
    for (const HttpRequest& request : service.Requests())
        types.push_back(TypeOf(request.body));
    EXPECT_EQ(types, (std::vector<std::string>{"play", "del", "play", "del"}));
    ui::PostClose(next);
    EXPECT_TRUE(live.WaitForExit());
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning(kEncoder) == 0; }));
}

// The later /live start has become the next instance and carried the command out; closed, it
// leaves no encoder.
void ExpectTheNextInstanceLive(const SonafeedRun& run, const SonafeedRun::LaterStart& live) {
    HWND next = ui::WaitForDialog(live.Pid(), kMainCaption);
    ASSERT_TRUE(next) << "the /live start ended with " << live.ExitCode();
    EXPECT_TRUE(WaitUntil([&] {
        return ui::ControlText(next, ids::kStartLive) == kStopLive &&
               run.CountRunning(kEncoder) == 1;
    }));
    ui::PostClose(next);
    EXPECT_TRUE(live.WaitForExit());
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning(kEncoder) == 0; }));
}

// The relay stop that the close sends is never answered: after its time-out the close logs the
// failure and ends, attended or not, and a /live start that came meanwhile becomes the next
// instance.
void LiveWhileTheCloseWaitsForAStopThatNeverComes() {
    OpenApiStandIn service;
    service.QueueAnswer({200, kAccepted}); // start-up: the relay is on
    HttpAnswer silent;
    silent.delay_ms = INFINITE;
    service.QueueAnswer(silent);
    service.SetDefaultAnswer({200, kAccepted});
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(StartShown(run));
    ui::PostClose(run.Dialog());
    ASSERT_TRUE(service.WaitForRequests(2));

    SonafeedRun::LaterStart live = run.StartAgain("/live");
    ASSERT_TRUE(run.WaitForExit(kBusyBoundMs));
    EXPECT_NE(run.DailyLog().find(kPullStopFailed + WinInetDescription(ERROR_INTERNET_TIMEOUT)),
              std::string::npos)
        << run.DailyLog();
    ExpectTheNextInstanceLive(run, live);
}

// Start-up takes longer than a later start used to wait (a slow listing, then a slow start-up
// request): a /live handed over meanwhile is carried out once start-up is done, and never also
// reported as not carried out.
void LiveWhileTheStartUpTakesLong() {
    OpenApiStandIn service;
    HttpAnswer slow{200, ""};
    slow.delay_ms = 15000;
    service.QueueAnswer(slow);
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(run.WriteFileBytes("ffmpeg-double.txt", "listing_delay_ms=28000\r\n"));
    ASSERT_TRUE(run.StartNoWait());
    ASSERT_TRUE(WaitUntil([&] { return run.Dialog() != nullptr; }));

    SonafeedRun::LaterStart live = run.StartAgain("/live");
    ASSERT_TRUE(WaitUntil(
        [&] { return !ui::Dialogs(live.Pid()).empty() || live.ExitCode() != STILL_ACTIVE; },
        2 * kBusyBoundMs));
    EXPECT_EQ(live.ExitCode(), 0u) << "the /live start said it was not carried out";
    EXPECT_TRUE(WaitUntil([&] {
        return ButtonText(run, ids::kStartLive) == kStopLive && run.CountRunning(kEncoder) == 1;
    }));
    EXPECT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 1; }));
    EXPECT_EQ(run.PublishRuns().size(), 1u);
    QuitLeavesNoEncoder(run);
}

// The encoder is missing, so start-up waits in its box, when a /live and then a /quit come. The
// /quit ends the box and the program at once; the /live, not carried out yet, is carried out by
// its own start once the instance has ended.
void QuitWhileTheStartUpBoxWaitsHandsBackALive() {
    OpenApiStandIn service;
    SonafeedRun::Options options = WithOpenApi(service.Address());
    options.with_encoder = false;
    SonafeedRun run(options);
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForPopup());
    SonafeedRun::LaterStart live = run.StartAgain("/live");
    ASSERT_TRUE(CopyFileA(FFMPEG_DOUBLE_EXE, run.PathOf(kEncoder).c_str(), FALSE));
    SonafeedRun::LaterStart quit = run.StartAgain("/quit");
    EXPECT_TRUE(quit && quit.WaitForExit());
    ASSERT_TRUE(run.WaitForExit()) << "the start-up box stays open";
    ExpectTheNextInstanceLive(run, live);
}

// The service never answers the start-up query: the instance is hung until that request times
// out, and a /live start comes meanwhile.
void LiveWhileTheStartUpHangs() {
    OpenApiStandIn service;
    HttpAnswer silent;
    silent.delay_ms = INFINITE;
    service.QueueAnswer(silent);
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(run.StartNoWait());
    ASSERT_TRUE(service.WaitForRequests(1));

    SonafeedRun::LaterStart live = run.StartAgain("/live");
    ASSERT_TRUE(live.WaitForExit(kBusyBoundMs));
    // It ended once its command was taken, which only the instance's time-out lets happen:
    // from then on the instance answers messages again.
    EXPECT_TRUE(ui::Settled(run.Dialog(), 3000));
    ASSERT_TRUE(run.WaitForPopup());
    EXPECT_TRUE(WaitUntil([&] {
        return ButtonText(run, ids::kStartLive) == kStopLive && run.CountRunning(kEncoder) == 1;
    }));
    QuitLeavesNoEncoder(run);
}

// Closes that race with a box, a pending request or a later start. In each the program ends
// with no encoder left, and a later start's command is carried out or reported.
struct CloseRace {
    const char* name;
    void (*scenario)();
};

void PrintTo(const CloseRace& race, std::ostream* out) {
    *out << race.name;
}

class CloseRaces : public ::testing::TestWithParam<CloseRace> {};

TEST_P(CloseRaces, EndWithNoEncoderLeftAndNoCommandLost) {
    GetParam().scenario();
}

INSTANTIATE_TEST_SUITE_P(
    OneInstance, CloseRaces,
    ::testing::Values(
        CloseRace{"QuitWithTheAboutBoxOpen", QuitWithTheAboutBoxOpen},
        CloseRace{"QuitBehindTheStartUpErrorBoxWhileLive", QuitBehindTheStartUpErrorBoxWhileLive},
        CloseRace{"LiveWhileTheCloseWaitsForTheRelayStop", LiveWhileTheCloseWaitsForTheRelayStop},
        CloseRace{"LiveWhileTheCloseWaitsForAStopThatNeverComes",
                  LiveWhileTheCloseWaitsForAStopThatNeverComes},
        CloseRace{"LiveWhileTheStartUpHangs", LiveWhileTheStartUpHangs},
        CloseRace{"LiveWhileTheStartUpTakesLong", LiveWhileTheStartUpTakesLong},
        CloseRace{"QuitWhileTheStartUpBoxWaitsHandsBackALive",
                  QuitWhileTheStartUpBoxWaitsHandsBackALive}),
    [](const ::testing::TestParamInfo<CloseRace>& info) { return std::string(info.param.name); });

} // namespace
