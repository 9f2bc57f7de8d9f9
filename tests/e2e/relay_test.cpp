// The relay pull through the service's open API, seen from outside: what goes over the wire,
// how the answers show in the window, how relay and live broadcast take turns, and what an
// unreachable service does to the program.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/support/ConfigDb.h"
#include "tests/e2e/support/Expected.h"
#include "tests/e2e/support/OpenApiStandIn.h"
#include "tests/e2e/support/OperatorSteps.h"
#include "tests/e2e/support/ProcessProbe.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/UiDriver.h"

namespace {

using namespace e2e;
using namespace e2e::expected;

std::vector<std::string> TypesOf(const std::vector<HttpRequest>& requests) {
    std::vector<std::string> types;
    for (const HttpRequest& request : requests)
        types.push_back(TypeOf(request.body));
    return types;
}

// The request line and every header line, byte for byte; header order is the HTTP layer's.
void ExpectWireFormat(const HttpRequest& request, const std::string& host) {
    const std::string& head = request.head;
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "POST /v2/VXR.PullStreamOp HTTP/1.1");
    std::vector<std::string> lines;
    for (size_t pos = head.find("\r\n") + 2, end;
         (end = head.find("\r\n", pos)) != std::string::npos && end != pos; pos = end + 2)
        lines.push_back(head.substr(pos, end - pos));
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> expected = {"Content-Length: " + std::to_string(request.body.size()),
                                         "Content-Type: application/x-www-form-urlencoded;",
                                         "Host: " + host, "User-Agent: Sonafeed"};
    EXPECT_EQ(lines, expected) << head;
}

// Writes the settings with plain CR LF line ends, which the program reads as well.
::testing::AssertionResult StartShown(SonafeedRun& run, const ConfigDb& settings) {
    if (!run.WriteFileBytes(kConfig, settings.Bytes("\r\n")))
        return ::testing::AssertionFailure() << "cannot write config.db";
    return e2e::StartShown(run);
}

// The standard error box for a WinINet error, a refused connection by default: checked, then
// closed by its OK button.
void ConfirmErrorBox(const SonafeedRun& run, DWORD error = ERROR_INTERNET_CANNOT_CONNECT) {
    HWND box = run.WaitForPopup();
    ASSERT_TRUE(box) << "no error box";
    EXPECT_EQ(ui::Caption(box), kBoxCaption);
    // The main window's, also while it is hidden or inactive: it waits disabled behind the box.
    EXPECT_EQ(GetWindow(box, GW_OWNER), run.Dialog());
    EXPECT_FALSE(IsWindowEnabled(run.Dialog()));
    const std::string description = WinInetDescription(error);
    EXPECT_NE(description, "");
    EXPECT_EQ(ui::MessageBoxText(box), description);
    ui::PressOk(box);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
}

// An answer of 300 KB whose only marker stands at its very end.
std::string LongAnswer(const std::string& ending) {
    return "{\"Data\":\"" + std::string(300 * 1024, 'x') + "\"," + ending;
}

TEST(Relay, RequestsCarryTheSettingsEscapedAndInCodePage936) {
    OpenApiStandIn service;
    service.SetDefaultAnswer({200, kAccepted});
    SonafeedRun run(WithOpenApi(service.Address()));
    ConfigDb settings;
    // The stream name ends in a character whose second byte is a backslash (0x5C).
    settings.publish = "rtmp://1000.push.kelvo.net/live/频道衆?a=1";
    settings.key = "a+b&c%d\"e\\f\tg";
    settings.id = "AKID01";
    settings.pull = "rtmp://src.example.com/live/feed?token=x&y=1";
    ASSERT_TRUE(StartShown(run, settings));

    // Sent at start-up although auto-pull is off; accepted, so the relay counts as held.
    ASSERT_EQ(service.Requests().size(), 1u);
    EXPECT_EQ(
        service.Requests()[0].body,
        "parameter={\"access_id\":\"AKID01\",\"access_key\":\"a%2Bb%26c%25d\\\"e\\\\f\\u0009g\","
        "\"appid\":\"live\",\"type\":\"play\",\"autoPlay\":1,"
        "\"from\":\"rtmp://src.example.com/live/feed?token=x%26y=1\",\"stream\":\"频道衆\"}");
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);

    // Empty credentials go out as empty strings, for "del" and "add" alike.
    HWND dialog = run.Dialog();
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kAccessId, ""));
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kAccessKey, ""));
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, ConfigDb().publish));
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPullUrl, "rtmp://src.example.com/live/feed"));
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ASSERT_TRUE(WaitUntil([&] { return ButtonText(run, ids::kStartPull) == kStartPull; }));
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ASSERT_TRUE(WaitUntil([&] { return ButtonText(run, ids::kStartPull) == kStopPull; }));

    std::vector<HttpRequest> requests = service.Requests();
    ASSERT_EQ(requests.size(), 3u);
    ConfigDb blank;
    blank.id = blank.key = "";
    EXPECT_EQ(requests[1].body, PullBody(blank, "del"));
    EXPECT_EQ(requests[2].body, PullBody(blank, "add"));
    for (const HttpRequest& request : requests)
        ExpectWireFormat(request, service.Address());
    EXPECT_EQ(run.Messages(), (std::vector<std::string>{kPulling, kPullStopped, kPulling}));
}

TEST(Relay, OnlyTheExactSuccessMarkerInAWholeAnswerStartsTheRelay) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(StartShown(run, ConfigDb()));
    // The empty answer to the start-up request is a refusal, which is not logged.
    ASSERT_EQ(TypesOf(service.Requests()), std::vector<std::string>{"play"});
    EXPECT_EQ(run.Messages(), std::vector<std::string>{});
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);

    std::string utf8_answer = u8"{\"Flag\":101,\"Msg\":\"签名错误\"}";
    // 600 KB of two-byte characters after an odd number of bytes: the log shows 511 bytes.
    std::string long_utf8 = "{\"Flag\":101,\"Msg\":\"";
    std::string long_cp936 = long_utf8;
    while (long_utf8.size() < 600 * 1024) {
        long_utf8 += u8"签";
        long_cp936 += "签";
    }
    struct Case {
        HttpAnswer answer;
        std::string logged;
    };
    const std::vector<Case> refusals = {
        {{200, "{\"Msg\":\"x\",\"Flag\":100}"}, "{\"Msg\":\"x\",\"Flag\":100}"},
        {{200, "{\"Flag\": 100,\"Msg\":\"x\"}"}, "{\"Flag\": 100,\"Msg\":\"x\"}"},
        // Only the start-up request takes "Flag":105 as a held relay.
        {{200, "{\"Flag\":105,\"Msg\":\"x\"}"}, "{\"Flag\":105,\"Msg\":\"x\"}"},
        {{200, ""}, ""},
        // The status alone counts: a marker in an error page is not looked at.
        {{404, kAccepted}, kHttpError + std::string("404")},
        {{500, "oops"}, kHttpError + std::string("500")},
        {{200, utf8_answer}, "{\"Flag\":101,\"Msg\":\"签名错误\"}"},
        {{200, long_utf8 + "\"}"}, long_cp936.substr(0, 511) + "..."},
    };
    HWND dialog = run.Dialog();
    std::vector<std::string> expected;
    std::vector<double> request_ms;
    // Times one click until its log line, polling finely.
    auto click_and_time = [&](size_t lines) {
        LARGE_INTEGER frequency, start, now;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        if (!ui::Click(dialog, ids::kStartPull)) return false;
        do {
            // Reading the log waits while the handler runs, so the clock is read after it.
            bool logged = run.Messages().size() >= lines;
            QueryPerformanceCounter(&now);
            if (logged) {
                request_ms.push_back(1000.0 * double(now.QuadPart - start.QuadPart) /
                                     double(frequency.QuadPart));
                return true;
            }
            Sleep(1);
        } while (now.QuadPart - start.QuadPart < frequency.QuadPart * kPatience / 1000);
        return false;
    };
    for (const Case& refusal : refusals) {
        service.QueueAnswer(refusal.answer);
        expected.push_back(kPullFailed + refusal.logged);
        ASSERT_TRUE(click_and_time(expected.size())) << refusal.logged;
        EXPECT_EQ(run.Messages(), expected);
        EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);
    }

    // The marker is found at the end of a long answer, and anywhere in a short one.
    service.QueueAnswer({200, LongAnswer("\"Flag\":100,\"Msg\":\"ok\"}")});
    expected.push_back(kPulling);
    ASSERT_TRUE(click_and_time(expected.size()));
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);
    service.QueueAnswer({200, "text \"Flag\":100, text"});
    expected.push_back(kPullStopped);
    ASSERT_TRUE(click_and_time(expected.size()));
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);
    EXPECT_EQ(run.Messages(), expected);
    std::vector<std::string> types(refusals.size() + 1, "add");
    types.insert(types.begin(), "play");
    types.push_back("del");
    EXPECT_EQ(TypesOf(service.Requests()), types);

    std::sort(request_ms.begin(), request_ms.end());
    std::printf("[ timing ] click to log line, one request to the local stand-in: min %.1f ms, "
                "median %.1f ms, max %.1f ms over %u requests\n",
                request_ms.front(), request_ms[request_ms.size() / 2], request_ms.back(),
                static_cast<unsigned>(request_ms.size()));
    RecordProperty("request_ms_median", std::to_string(request_ms[request_ms.size() / 2]));
    // Far below the connect time-out: nothing waits for a time-out on the way.
    EXPECT_LT(request_ms.back(), 10000.0);
}

TEST(Relay, SlowChunkedAnswerIsJudgedWhole) {
    OpenApiStandIn service;
    HttpAnswer chunked{200, LongAnswer("\"Flag\":100,\"Msg\":\"ok\"}")};
    chunked.chunks = 12;
    chunked.part_bytes = chunked.body.size() / 12;
    chunked.gap_ms = 40;
    service.SetDefaultAnswer(chunked);
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(StartShown(run, ConfigDb()));

    ASSERT_EQ(service.Requests().size(), 1u);
    EXPECT_EQ(service.Requests()[0].body, PullBody(ConfigDb(), "play"));
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);
    EXPECT_EQ(run.Messages(), std::vector<std::string>{kPulling});
}

TEST(Relay, StartupAnswerWithFlag105HoldsTheRelayAndClosingStopsIt) {
    OpenApiStandIn service;
    service.QueueAnswer({200, "{\"Flag\":105,\"Msg\":\"already pulling\"}"});
    service.SetDefaultAnswer({200, kAccepted});
    // The Host header follows the host name given.
    const std::string host = "localhost:" + std::to_string(service.Port());
    SonafeedRun run(WithOpenApi(host));
    ConfigDb settings;
    ASSERT_TRUE(StartShown(run, settings));

    ASSERT_EQ(service.Requests().size(), 1u);
    EXPECT_EQ(service.Requests()[0].body, PullBody(settings, "play"));
    ExpectWireFormat(service.Requests()[0], host);
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);
    EXPECT_EQ(run.Messages(), std::vector<std::string>{kPulling});

    // With auto-pull off, closing reads the edits, saves them and stops the relay.
    settings.pull = "rtmp://src.example.com/live/other";
    ASSERT_TRUE(ui::SetControlText(run.Dialog(), ids::kPullUrl, settings.pull));
    ASSERT_TRUE(run.Close());
    ASSERT_EQ(service.Requests().size(), 2u);
    EXPECT_EQ(service.Requests()[1].body, PullBody(settings, "del"));
    EXPECT_EQ(run.ReadFileBytes(kConfig), settings.Bytes());
}

TEST(Relay, PullButtonSavesTheSettingsBeforeEachRequestAndKeepsStateOnRefusal) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ConfigDb settings;
    ASSERT_TRUE(StartShown(run, settings));
    HWND dialog = run.Dialog();
    ASSERT_TRUE(service.WaitForRequests(1));

    // Held back a while, so the file can be read while the request is still open.
    settings.pull = "rtmp://src.example.com/live/new";
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPullUrl, settings.pull));
    HttpAnswer slow{200, "{\"Flag\":102,\"Msg\":\"no\"}"};
    slow.delay_ms = 1000;
    service.QueueAnswer(slow);
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ASSERT_TRUE(service.WaitForRequests(2));
    EXPECT_EQ(run.ReadFileBytes(kConfig), settings.Bytes()) << "not saved before the request";
    EXPECT_EQ(service.Requests()[1].body, PullBody(settings, "add"));
    ASSERT_TRUE(WaitForMessages(run, 1));
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);

    settings.id = "i2";
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kAccessId, settings.id));
    service.QueueAnswer({200, kAccepted});
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ASSERT_TRUE(WaitForMessages(run, 2));
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);
    EXPECT_EQ(run.ReadFileBytes(kConfig), settings.Bytes());

    // A refused stop keeps the relay held, so the next click asks again.
    settings.key = "k3";
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kAccessKey, settings.key));
    service.QueueAnswer({200, "{\"Flag\":103}"});
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ASSERT_TRUE(WaitForMessages(run, 3));
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);
    EXPECT_EQ(run.ReadFileBytes(kConfig), settings.Bytes());
    service.QueueAnswer({200, kAccepted});
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ASSERT_TRUE(WaitForMessages(run, 4));
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);

    EXPECT_EQ(run.Messages(),
              (std::vector<std::string>{std::string(kPullFailed) + "{\"Flag\":102,\"Msg\":\"no\"}",
                                        kPulling, std::string(kPullStopFailed) + "{\"Flag\":103}",
                                        kPullStopped}));
    std::vector<HttpRequest> requests = service.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[4].body, PullBody(settings, "del"));
    EXPECT_EQ(TypesOf(requests), (std::vector<std::string>{"play", "add", "add", "del", "del"}));
}

TEST(Relay, RelayAndLiveBroadcastTakeTurns) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ConfigDb settings;
    ASSERT_TRUE(StartShown(run, settings));
    HWND dialog = run.Dialog();
    std::vector<std::string> expected;
    auto events_are = [&](std::vector<std::string> more) {
        expected.insert(expected.end(), more.begin(), more.end());
        return WaitForMessages(run, expected.size()) && run.Messages() == expected;
    };
    auto encoders_running = [&](int count) {
        return WaitUntil([&] { return run.CountRunning(kEncoder) == count; });
    };

    ASSERT_TRUE(ui::Click(dialog, ids::kStartLive));
    ASSERT_TRUE(events_are({kLive}));
    ASSERT_TRUE(encoders_running(1));

    // Starting the relay ends the broadcast first, even when the service then refuses.
    service.QueueAnswer({200, "{\"Flag\":102}"});
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    EXPECT_TRUE(events_are({kLiveClosed, std::string(kPullFailed) + "{\"Flag\":102}"}))
        << testing::PrintToString(run.Messages());
    EXPECT_TRUE(encoders_running(0));
    EXPECT_EQ(ButtonText(run, ids::kStartLive), kStartLive);

    // Live is off indeed: the next click starts it.
    ASSERT_TRUE(ui::Click(dialog, ids::kStartLive));
    ASSERT_TRUE(events_are({kLive}));
    ASSERT_TRUE(encoders_running(1));
    service.QueueAnswer({200, kAccepted});
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    EXPECT_TRUE(events_are({kLiveClosed, kPulling})) << testing::PrintToString(run.Messages());
    EXPECT_TRUE(encoders_running(0));
    EXPECT_EQ(ButtonText(run, ids::kStartLive), kStartLive);
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);

    // Going live while the relay is held stops the relay first.
    service.QueueAnswer({200, kAccepted});
    ASSERT_TRUE(ui::Click(dialog, ids::kStartLive));
    EXPECT_TRUE(events_are({kPullStopped, kLive})) << testing::PrintToString(run.Messages());
    EXPECT_TRUE(encoders_running(1));
    EXPECT_EQ(ButtonText(run, ids::kStartLive), kStopLive);
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);

    // With auto-pull ticked, ending the broadcast hands the stream to the relay.
    settings.auto_pull = "1";
    ASSERT_TRUE(ui::Click(dialog, ids::kAutoPull));
    ASSERT_TRUE(WaitUntil([&] { return run.ReadFileBytes(kConfig) == settings.Bytes(); }));
    service.QueueAnswer({200, kAccepted});
    ASSERT_TRUE(ui::Click(dialog, ids::kStartLive));
    EXPECT_TRUE(events_are({kLiveClosed, kPulling})) << testing::PrintToString(run.Messages());
    EXPECT_TRUE(encoders_running(0));
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);
    std::vector<HttpRequest> requests = service.Requests();
    ASSERT_EQ(TypesOf(requests), (std::vector<std::string>{"play", "add", "add", "del", "add"}));
    EXPECT_EQ(requests[4].body, PullBody(settings, "add"));

    // With auto-pull on, closing leaves the relay running: no request, nothing saved.
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPullUrl, "rtmp://src.example.com/live/other"));
    ASSERT_TRUE(run.Close());
    EXPECT_EQ(service.Requests().size(), 5u);
    EXPECT_EQ(run.ReadFileBytes(kConfig), settings.Bytes());
}

TEST(Relay, UnreachableServiceShowsTheErrorBoxAndChangesNothing) {
    SonafeedRun run(WithOpenApi("127.0.0.1:" + std::to_string(OpenApiStandIn::ClosedPort())));
    ConfigDb settings;
    ASSERT_TRUE(run.WriteFileBytes(kConfig, settings.Bytes("\r\n")));
    ASSERT_TRUE(run.Start());

    // The box comes while the window is still hidden, with every earlier step done.
    ASSERT_TRUE(run.WaitForPopup());
    HWND dialog = run.Dialog();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(ui::IsVisible(dialog));
    EXPECT_FALSE(ui::ComboItems(dialog, ids::kDevice).empty());
    EXPECT_EQ(ui::ControlText(dialog, ids::kPublishUrl), settings.publish);
    EXPECT_EQ(ui::ControlText(dialog, ids::kPullUrl), settings.pull);
    ConfirmErrorBox(run);
    ASSERT_TRUE(run.WaitForDialog());
    EXPECT_EQ(run.Messages(), std::vector<std::string>{});
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);

    // The pull button: the settings are saved before the request that fails.
    settings.pull = "rtmp://src.example.com/live/new";
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPullUrl, settings.pull));
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ConfirmErrorBox(run);
    EXPECT_EQ(run.ReadFileBytes(kConfig), settings.Bytes());
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);
    EXPECT_EQ(run.Messages(), std::vector<std::string>{});

    // Ending a broadcast with auto-pull on: the broadcast ends, the relay request fails.
    ASSERT_TRUE(ui::Click(dialog, ids::kAutoPull));
    ASSERT_TRUE(WaitUntil([&] { return ui::CheckState(dialog, ids::kAutoPull) == BST_CHECKED; }));
    ASSERT_TRUE(ui::Click(dialog, ids::kStartLive));
    ASSERT_TRUE(WaitUntil([&] { return run.CountRunning(kEncoder) == 1; }));
    ASSERT_TRUE(ui::Click(dialog, ids::kStartLive));
    ConfirmErrorBox(run);
    EXPECT_EQ(run.Messages(), (std::vector<std::string>{kLive, kLiveClosed}));
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning(kEncoder) == 0; }));
    EXPECT_EQ(ButtonText(run, ids::kStartLive), kStartLive);
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);

    // Nothing held: closing asks nothing and shows no box.
    ASSERT_TRUE(run.Close());
}

TEST(Relay, UnreachableServiceWithAHeldRelay) {
    OpenApiStandIn service;
    service.SetDefaultAnswer({200, kAccepted});
    SonafeedRun run(WithOpenApi(service.Address()));
    ConfigDb settings;
    settings.tray = "1";
    ASSERT_TRUE(StartShown(run, settings));
    HWND dialog = run.Dialog();
    ASSERT_EQ(ButtonText(run, ids::kStartPull), kStopPull);

    // Going live from the tray while the operator works in another program, as an unattended
    // /live does: the "del" cannot be sent, the broadcast does not start.
    ASSERT_TRUE(HideToTray(dialog));
    service.StopListening();
    {
        OtherWindowInFront other;
        SonafeedRun::LaterStart live = run.StartAgain("/live");
        ConfirmErrorBox(run);
        EXPECT_TRUE(live.WaitForExit());
    }
    SonafeedRun::LaterStart show = run.StartAgain("");
    EXPECT_TRUE(show.WaitForExit());
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(dialog); }));
    EXPECT_EQ(ButtonText(run, ids::kStartLive), kStartLive);
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);
    EXPECT_EQ(run.CountRunning(kEncoder), 0);
    EXPECT_EQ(run.PublishRuns(), std::vector<std::string>{});
    EXPECT_EQ(run.Messages(), std::vector<std::string>{kPulling});

    // Once the service is back, the next click starts the broadcast (it does not stop one).
    ASSERT_TRUE(service.ListenAgain()) << "port " << service.Port() << " taken";
    ASSERT_TRUE(ui::Click(dialog, ids::kStartLive));
    ASSERT_TRUE(WaitForMessages(run, 3));
    EXPECT_EQ(run.Messages(), (std::vector<std::string>{kPulling, kPullStopped, kLive}));
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning(kEncoder) == 1; }));
    EXPECT_EQ(ButtonText(run, ids::kStartLive), kStopLive);
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ASSERT_TRUE(WaitForMessages(run, 5));
    ASSERT_EQ(ButtonText(run, ids::kStartPull), kStopPull);

    // Stopping the relay fails: still held, nothing logged.
    service.StopListening();
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ConfirmErrorBox(run);
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);
    EXPECT_EQ(run.Messages().size(), 5u);

    // Closing still ends the program, without waiting for a click: the failure is logged. The
    // edits were saved on the way.
    const ConfigDb sent = settings;
    settings.id = "i2";
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kAccessId, settings.id));
    ui::PostClose(dialog);
    EXPECT_TRUE(run.WaitForExit());
    const std::string logged = run.DailyLog();
    EXPECT_NE(
        logged.find(kPullStopFailed + WinInetDescription(ERROR_INTERNET_CANNOT_CONNECT) + "\r\n"),
        std::string::npos)
        << logged;
    EXPECT_EQ(run.ReadFileBytes(kConfig), settings.Bytes());
    std::vector<std::string> bodies;
    for (const HttpRequest& request : service.Requests())
        bodies.push_back(request.body);
    EXPECT_EQ(bodies, (std::vector<std::string>{PullBody(sent, "play"), PullBody(sent, "del"),
                                                PullBody(sent, "add")}));
}

// The dialog answers again within this time of a click whose request a server holds (at
// start-up: of the request's arrival): the request's deadline of 30 s and room for the box.
constexpr DWORD kAnswersAgainMs = 35000;

// A server that takes the request and then holds it, against a click on 开始拉流 or the
// start-up request; what the operator sees once the program gives up.
// Runs each case's Run with a program and a stand-in of its own, all at the same time, since
// each mostly waits for the 30 s deadline; the harness objects are made and ended on this thread.
template <class Case> void RunAtOnce(std::vector<Case>& cases) {
    std::vector<std::unique_ptr<OpenApiStandIn>> services;
    std::vector<std::unique_ptr<SonafeedRun>> runs;
    for (size_t i = 0; i < cases.size(); ++i) {
        services.push_back(std::make_unique<OpenApiStandIn>());
        runs.push_back(std::make_unique<SonafeedRun>(WithOpenApi(services[i]->Address())));
    }
    std::vector<std::thread> threads;
    for (size_t i = 0; i < cases.size(); ++i)
        threads.emplace_back(&Case::Run, &cases[i], std::ref(*services[i]), std::ref(*runs[i]));
    for (std::thread& thread : threads)
        thread.join();
}

struct SlowCase {
    const char* server;
    HttpAnswer answer;
    bool at_startup;
    DWORD answered_ms = 0;

    void Run(OpenApiStandIn& service, SonafeedRun& run) {
        SCOPED_TRACE(std::string(server) + (at_startup ? ", start-up request" : ", click"));
        ConfigDb settings;
        DWORD start = 0;
        if (at_startup) {
            service.SetDefaultAnswer(answer);
            ASSERT_TRUE(run.WriteFileBytes(kConfig, settings.Bytes("\r\n")));
            ASSERT_TRUE(run.Start());
            ASSERT_EQ(service.Requests().size(), 1u);
            start = service.Requests()[0].received_at;
        } else {
            service.QueueAnswer({200, ""});
            service.SetDefaultAnswer(answer);
            ASSERT_TRUE(StartShown(run, settings));
            start = GetTickCount();
            ASSERT_TRUE(ui::Click(run.Dialog(), ids::kStartPull));
        }
        ASSERT_TRUE(run.WaitForPopup(2 * kAnswersAgainMs)) << "no error box";
        answered_ms = GetTickCount() - start;
        EXPECT_LT(answered_ms, kAnswersAgainMs);
        ConfirmErrorBox(run, ERROR_INTERNET_TIMEOUT);
        ASSERT_TRUE(run.WaitForDialog());
        EXPECT_EQ(service.Requests().size(), at_startup ? 1u : 2u);
        EXPECT_EQ(run.Messages(), std::vector<std::string>{});
        EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);
        EXPECT_TRUE(run.Close());
    }
};

TEST(Relay, ASlowServiceEndsInATimeOutErrorAndTheWindowCanBeClosed) {
    HttpAnswer silent;
    silent.delay_ms = INFINITE;
    HttpAnswer head_only{200, kAccepted};
    head_only.kind = HttpAnswer::Kind::kHeadThenSilence;
    // The whole answer would take hours.
    HttpAnswer trickle{200, std::string(4096, ' ') + kAccepted};
    trickle.part_bytes = 1;
    trickle.gap_ms = 3000;
    std::vector<SlowCase> cases;
    for (bool at_startup : {false, true}) {
        cases.push_back({"never answers", silent, at_startup});
        cases.push_back({"answers the head, then nothing", head_only, at_startup});
        cases.push_back({"trickles a byte every 3 s", trickle, at_startup});
    }

    RunAtOnce(cases);
    for (const SlowCase& c : cases)
        std::printf("[ timing ] %s, %s: the dialog answered again after %lu ms\n", c.server,
                    c.at_startup ? "start-up request" : "click", c.answered_ms);
}

// A request that the service holds past the time-out, clicks while it still runs, and its answer
// let go afterwards: what the program makes of the late answer.
struct LateCase {
    const char* what;
    // The relay is held from start-up; the click then stops it.
    bool held_at_startup;
    int clicks;
    bool go_live_meanwhile;
    std::string late_answer;
    std::vector<std::string> messages;
    const char* pull_caption;
    std::vector<std::string> types;

    void Run(OpenApiStandIn& service, SonafeedRun& run) {
        SCOPED_TRACE(what);
        service.QueueAnswer({200, held_at_startup ? kAccepted : ""});
        // A byte every 2 s: no receive of the helper times out, the request never ends alone.
        HttpAnswer held{200, late_answer};
        held.part_bytes = 1;
        held.gap_ms = 2000;
        held.held = true;
        service.QueueAnswer(held);
        service.SetDefaultAnswer({200, kAccepted});
        ASSERT_TRUE(StartShown(run, ConfigDb()));
        HWND dialog = run.Dialog();
        const std::vector<std::string> before = run.Messages();
        const int threads = probe::ThreadCount(run.Pid());
        ASSERT_GT(threads, 0);

        for (int click = 1; click <= clicks; ++click) {
            SCOPED_TRACE("click " + std::to_string(click));
            ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
            ASSERT_TRUE(run.WaitForPopup(2 * kAnswersAgainMs)) << "no error box";
            ConfirmErrorBox(run, ERROR_INTERNET_TIMEOUT);
            // Each request has its own connection: one request, one connection.
            EXPECT_EQ(service.Requests().size(), 2u);
            EXPECT_LE(probe::ThreadCount(run.Pid()), threads + 1);
        }
        EXPECT_EQ(run.Messages(), before);
        if (go_live_meanwhile) {
            ASSERT_TRUE(ui::Click(dialog, ids::kStartLive));
            ASSERT_TRUE(WaitForMessages(run, before.size() + 1));
            // The request's connection is open: the encoder gets its status file and nothing else.
            ASSERT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 1; }));
            EXPECT_EQ(run.ReadFileBytes("runs\\1.inherited"), "0");
        }

        service.ReleaseHeldAnswers();
        ASSERT_TRUE(WaitForMessages(run, messages.size()))
            << testing::PrintToString(run.Messages());
        EXPECT_TRUE(WaitUntil([&] { return TypesOf(service.Requests()) == types; }));
        EXPECT_EQ(run.Messages(), messages);
        EXPECT_EQ(ButtonText(run, ids::kStartPull), pull_caption);
        EXPECT_EQ(ButtonText(run, ids::kStartLive), go_live_meanwhile ? kStopLive : kStartLive);
        EXPECT_EQ(run.CountRunning(kEncoder), go_live_meanwhile ? 1 : 0);
        EXPECT_EQ(run.Popup(), nullptr);
        EXPECT_TRUE(run.Close());
    }
};

TEST(Relay, ARequestPastItsTimeOutIsTheOnlyOneAndItsLateAnswerIsTaken) {
    const std::string refusal = "{\"Flag\":102}";
    std::vector<LateCase> cases = {
        {"late acceptance after ten clicks",
         false,
         10,
         false,
         kAccepted,
         {kPulling, kAnsweredLate},
         kStopPull,
         {"play", "add"}},
        // The live start came after the relay start: it would have stopped a held relay first.
        {"late acceptance after going live",
         false,
         1,
         true,
         kAccepted,
         {kLive, kPulling, kAnsweredLate, kPullStopped},
         kStartPull,
         {"play", "add", "del"}},
        {"late acceptance of a stop",
         true,
         1,
         false,
         kAccepted,
         {kPulling, kPullStopped, kAnsweredLate},
         kStartPull,
         {"play", "del"}},
        // The service's reason is worth seeing, late or not; the state stays.
        {"late refusal",
         false,
         1,
         false,
         refusal,
         {kPullFailed + refusal, kAnsweredLate},
         kStartPull,
         {"play", "add"}},
    };
    RunAtOnce(cases);
}

} // namespace
