// What the encoder measures of the audio it sends: the level meter, the silence alarm, and the
// relay that stands in while the studio is silent. The encoder double prints levels as the real
// encoder's filters do, at the level its control file names.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
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
using Lines = std::vector<std::string>;

// The shortest times the settings allow, so that a silence and its end take seconds.
constexpr char kQuickSilence[] = "silence_threshold_db=-50\r\nsilence_seconds=5\r\n"
                                 "return_seconds=1\r\nbackup_relay=%d\r\nmeasure_levels=1\r\n";

std::string QuickSilence(bool backup) {
    char text[200];
    wsprintfA(text, kQuickSilence, backup ? 1 : 0);
    return text;
}

std::string Alarm(int threshold_db, int seconds) {
    char text[200];
    wsprintfA(text, kSilenceAlarmFormat, threshold_db, seconds);
    return text;
}

// The double's next levels: a figure in dBFS, or "silent".
::testing::AssertionResult Sound(const SonafeedRun& run, const std::string& level) {
    // The double reads its control file again before each line it prints.
    if (WaitUntil(
            [&] { return run.WriteFileBytes("ffmpeg-double.txt", "level=" + level + "\r\n"); }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cannot write the double's control file";
}

bool Logged(const SonafeedRun& run, const std::string& start) {
    const Lines messages = run.Messages();
    return std::any_of(messages.begin(), messages.end(), [&](const std::string& message) {
        return message.compare(0, start.size(), start) == 0;
    });
}

std::string Meter(const SonafeedRun& run) {
    return ui::ControlText(run.Dialog(), ids::kLevelMeter);
}

bool IsMonitor(const std::string& command_line) {
    return command_line.find(" -f null - ") != std::string::npos;
}

TEST(Levels, TheMeterShowsEachChannelTenTimesASecondAndEmptiesWithTheEncoder) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(StartShown(run));
    EXPECT_EQ(Meter(run), "");
    ASSERT_TRUE(GoLive(run));
    // The double's peaks step by 0.1 dB from -12 down: every update changes the figures.
    std::vector<std::string> shown;
    const DWORD start = GetTickCount();
    WaitUntil(
        [&] {
            const std::string text = Meter(run);
            if (!text.empty() && (shown.empty() || shown.back() != text)) shown.push_back(text);
            return GetTickCount() - start >= 3000;
        },
        5000);
    EXPECT_GE(shown.size(), 15u) << "updates in 3 s";
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().substr(0, 4), "-12.") << shown.back();
    EXPECT_NE(shown.back().find(' '), std::string::npos) << "two channels: " << shown.back();
    ASSERT_TRUE(EndLive(run));
    EXPECT_TRUE(WaitUntil([&] { return Meter(run).empty(); }));
}

TEST(Levels, ASilenceWhileTheEncoderPublishesRaisesTheAlarmAndItsEndIsReported) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(run.WriteFileBytes(kAudioSettings, QuickSilence(false)));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(GoLive(run));
    // An encoder that prints nothing says nothing of the studio: no alarm.
    ASSERT_TRUE(run.WriteFileBytes("ffmpeg-double.txt", "silent=1\r\n"));
    EXPECT_FALSE(WaitUntil([&] { return Logged(run, Alarm(-50, 5)); }, 7000));
    ASSERT_TRUE(Sound(run, "silent"));
    const DWORD silent = GetTickCount();
    ASSERT_TRUE(WaitUntil([&] { return Logged(run, Alarm(-50, 5)); }));
    EXPECT_GE(GetTickCount() - silent, 4500u);
    EXPECT_EQ(Meter(run), "-99.9 -99.9");
    ASSERT_TRUE(Sound(run, "-12"));
    ASSERT_TRUE(WaitForMessages(run, 3));
    const Lines messages = run.Messages();
    EXPECT_EQ(messages[1], Alarm(-50, 5));
    EXPECT_EQ(messages[2].substr(0, sizeof kSoundBackPrefix - 1), kSoundBackPrefix) << messages[2];
    EXPECT_EQ(run.PublishRuns().size(), 1u);
    ASSERT_TRUE(EndLive(run));
}

// While the studio is silent the service relays the pull address; an encoder that publishes
// nothing listens for the studio, and the broadcast resumes once it is heard again. Ending the
// broadcast, the program or a refusal of the service leave nothing behind.
TEST(Levels, TheRelayStandsInForASilentStudio) {
    OpenApiStandIn service;
    service.SetDefaultAnswer({200, kAccepted});
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(run.WriteFileBytes(kAudioSettings, QuickSilence(true)));
    service.QueueAnswer({200, ""}); // start-up: no relay
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(GoLive(run));
    auto types = [&] {
        std::vector<std::string> sent;
        for (const HttpRequest& request : service.Requests())
            sent.push_back(TypeOf(request.body));
        return sent;
    };

    // Silent: the relay takes the stream, the encoder only listens.
    ASSERT_TRUE(Sound(run, "silent"));
    const Lines switched = {kLive, Alarm(-50, 5), kBackupStarts, kPulling};
    ASSERT_TRUE(WaitForMessages(run, switched.size(), 2 * kPatience));
    EXPECT_EQ(run.Messages(), switched);
    EXPECT_EQ(types(), (std::vector<std::string>{"play", "add"}));
    ASSERT_TRUE(WaitUntil([&] { return IsMonitor(run.PublishRuns().back()); }));
    EXPECT_EQ(run.CountRunning(kEncoder), 1);
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStopPull);
    EXPECT_EQ(ButtonText(run, ids::kStartLive), kStopLive);

    // Heard again: the relay lets go and a new encoder publishes.
    ASSERT_TRUE(Sound(run, "-12"));
    ASSERT_TRUE(WaitUntil([&] { return types().size() == 3; }));
    EXPECT_EQ(types().back(), "del");
    ASSERT_TRUE(WaitUntil([&] { return !IsMonitor(run.PublishRuns().back()); }));
    ASSERT_TRUE(WaitForMessages(run, switched.size() + 3));
    const Lines resumed = run.Messages();
    EXPECT_EQ(resumed[4].substr(0, sizeof kSoundBackPrefix - 1), kSoundBackPrefix);
    EXPECT_EQ(Lines(resumed.begin() + 5, resumed.begin() + 7), (Lines{kBackupEnds, kPullStopped}));
    EXPECT_EQ(run.CountRunning(kEncoder), 1);

    // A refused relay: the broadcast goes on from the studio at once.
    ASSERT_TRUE(ClearLog(run));
    service.QueueAnswer({200, "{\"Flag\":102}"});
    ASSERT_TRUE(Sound(run, "silent"));
    const Lines refused = {Alarm(-50, 5), kBackupStarts,
                           std::string(kPullFailed) + "{\"Flag\":102}", kBackupFailed};
    ASSERT_TRUE(WaitForMessages(run, refused.size(), 2 * kPatience));
    EXPECT_EQ(run.Messages(), refused);
    ASSERT_TRUE(WaitUntil([&] { return run.CountRunning(kEncoder) == 1; }));
    EXPECT_FALSE(IsMonitor(run.PublishRuns().back()));

    // Stopping the broadcast during the relay's turn ends the listening encoder and the relay.
    ASSERT_TRUE(Sound(run, "-12"));
    ASSERT_TRUE(WaitUntil([&] { return Logged(run, kSoundBackPrefix); }));
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(Sound(run, "silent"));
    ASSERT_TRUE(WaitUntil([&] { return Logged(run, kPulling); }, 2 * kPatience));
    ASSERT_TRUE(WaitUntil([&] { return IsMonitor(run.PublishRuns().back()); }));
    const size_t sent = service.Requests().size();
    ASSERT_TRUE(EndLive(run));
    ASSERT_TRUE(service.WaitForRequests(sent + 1));
    EXPECT_EQ(types().back(), "del");
    EXPECT_EQ(ButtonText(run, ids::kStartPull), kStartPull);
    EXPECT_EQ(run.CountRunning(kEncoder), 0);
    EXPECT_TRUE(run.Close());
}

// A build without the measuring filters, or without the recording's tee output, is started again
// at once without them, and the program says so once; with measuring off, the command line is the
// original one, byte for byte.
TEST(Levels, AnEncoderWithoutTheFiltersGetsTheOriginalCommandLine) {
    const struct {
        const char* name;
        std::string control, settings;
        size_t runs;
        Lines messages;
    } cases[] = {
        {"refused",
         "no_level_filters=1\r\n",
         "",
         2,
         {kLive, std::string(kEncoderSays) + "Error initializing complex filters.",
          kLevelsRefused}},
        {"measuring off",
         "",
         "measure_levels=0\r\n",
         1,
         {kAudioSettingsBad +
              std::string("silence_threshold_db、silence_seconds、return_seconds、backup_relay"),
          kLive}},
        {"recording refused, measuring off",
         "no_tee=1\r\n",
         "measure_levels=0\r\nrecord=1\r\n",
         2,
         {kLive,
          std::string(kEncoderSays) +
              "Requested output format 'tee' is not a suitable output format",
          kRecordingRefused}},
    };
    const std::string spec_line = " -f dshow -i audio=\"Line In (Orvane USB)\" -y -c:a libfdk_aac "
                                  "-b:a 48k -f flv rtmp://1000.push.kelvo.net/live/room1 ";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenApiStandIn service;
        SonafeedRun run(WithOpenApi(service.Address()));
        ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
        if (!c.settings.empty()) {
            ASSERT_TRUE(run.WriteFileBytes(kAudioSettings, c.settings));
        }
        ASSERT_TRUE(run.WriteFileBytes("ffmpeg-double.txt", c.control));
        // The double's built-in listing: "Line In (Orvane USB)" is first in the sorted box.
        ASSERT_TRUE(StartShown(run));
        ASSERT_TRUE(GoLive(run, c.runs));
        ASSERT_TRUE(WaitForMessages(run, c.messages.size()));
        Lines messages = run.Messages();
        // The start-up's own lines before these.
        messages.erase(messages.begin(), messages.end() - c.messages.size());
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(run.PublishRuns().back(), spec_line);
        ASSERT_TRUE(EndLive(run));
    }
}

} // namespace
