// Faults of the program's outside parts in one place: an open API that answers badly, an
// encoder that dies or cannot be started, working files that are damaged or cannot be written.
// In every case the program keeps running and answering, logs and keeps the state it must, and
// never loses or truncates config.db. (A refused connection, 404, 500 and an empty answer are
// covered with the relay; an encoder that dies at once with the live broadcast.)
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/support/ConfigDb.h"
#include "tests/e2e/support/Cp936.h"
#include "tests/e2e/support/Expected.h"
#include "tests/e2e/support/OpenApiStandIn.h"
#include "tests/e2e/support/OperatorSteps.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/UiDriver.h"

namespace {

using namespace e2e;
using namespace e2e::expected;

constexpr char kMarker[] = "\"Flag\":100,";
constexpr size_t kMiB = size_t(1) << 20;

using Lines = std::vector<std::string>;

// A refusal's log line shows at most the answer's first 512 bytes (ASCII here), then "...".
std::string Logged(const std::string& answer) {
    return answer.size() <= 512 ? answer : answer.substr(0, 512) + "...";
}

// Compares texts that may be a megabyte long without printing them whole.
::testing::AssertionResult SameText(const std::optional<std::string>& actual,
                                    const std::string& expected) {
    if (!actual) return ::testing::AssertionFailure() << "no text";
    if (*actual == expected) return ::testing::AssertionSuccess();
    const std::string& a = *actual;
    size_t at = 0;
    while (at < a.size() && at < expected.size() && a[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure()
           << a.size() << " bytes, expected " << expected.size() << ", first difference at " << at
           << ": \"" << a.substr(at, 40) << "\" vs \"" << expected.substr(at, 40) << "\"";
}

// The log's only message, however long it is.
std::optional<std::string> OnlyMessage(const SonafeedRun& run) {
    std::vector<std::string> messages = run.Messages();
    if (messages.size() != 1) return std::nullopt;
    return messages[0];
}

bool IsDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// `size` bytes of ASCII in which every 16-byte record names its own offset, so a chunk read
// twice, dropped or out of order shows. Letters only: Wine's edit control takes minutes to show
// a megabyte with long runs of digits.
std::string Numbered(size_t size) {
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        std::string record(16, 'Z');
        for (size_t i = 15, offset = text.size(); i-- > 0; offset /= 26)
            record[i] = static_cast<char>('a' + offset % 26);
        text += record;
    }
    text.resize(size);
    return text;
}

TEST(Faults, OpenApiAnswersThatGoWrongAreJudgedOnWhatArrivedAndKeepTheSettings) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    const std::string config = ConfigDb().Bytes();
    ASSERT_TRUE(run.WriteFileBytes(kConfig, config));
    ASSERT_TRUE(StartShown(run));
    // The start-up "play" got the default empty answer: a silent refusal.
    ASSERT_EQ(service.Requests().size(), 1u);
    ASSERT_EQ(run.Messages(), Lines{});
    HWND dialog = run.Dialog();

    const std::string invalid_utf8 = std::string(u8"{\"Flag\":101,\"Msg\":\"签名") +
                                     "\xff\xfe|\xc3(|\xe4\xb8|\xc0\xaf|\xed\xa0\x80|\x80" +
                                     u8"错误\"}";
    const std::string invalid_logged = Cp936FromUtf8(invalid_utf8);
    // The conversion keeps the valid characters around the bad bytes and lets none through.
    ASSERT_EQ(invalid_logged.find("{\"Flag\":101,\"Msg\":\"签名"), 0u) << invalid_logged;
    ASSERT_NE(invalid_logged.find("错误\"}"), std::string::npos) << invalid_logged;
    ASSERT_EQ(invalid_logged.find('\xff'), std::string::npos);

    // The marker starts one byte past the first MiB, which is all that is read.
    const std::string beyond = Numbered(kMiB + 1) + kMarker + Numbered(64 * 1024);
    // The marker ends exactly at the first MiB.
    const std::string within = Numbered(kMiB - (sizeof kMarker - 1)) + kMarker;
    // Half of the body arrives, then the connection closes.
    const std::string cut_refused = Numbered(3000) + kMarker + "}";
    const std::string cut_accepted = kMarker + Numbered(3000);
    auto cut = [](const std::string& body) {
        HttpAnswer answer{200, body};
        answer.kind = HttpAnswer::Kind::kCloseMidBody;
        return answer;
    };
    HttpAnswer late{200, kAccepted};
    late.delay_ms = 3000;

    const struct {
        const char* name;
        HttpAnswer answer;
        const char* type;
        std::string logged;
        bool pulling;
    } rows[] = {
        {"invalid UTF-8", {200, invalid_utf8}, "add", kPullFailed + invalid_logged, false},
        {"marker beyond 1 MiB", {200, beyond}, "add", kPullFailed + Logged(beyond), false},
        {"cut before the marker", cut(cut_refused), "add",
         kPullFailed + Logged(cut_refused.substr(0, cut_refused.size() / 2)), false},
        {"after 3 s", late, "add", kPulling, true},
        {"cut after the marker", cut(cut_accepted), "del", kPullStopped, false},
        {"marker ending at 1 MiB", {200, within}, "add", kPulling, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(ClearLog(run));
        const size_t requests = service.Requests().size();
        service.QueueAnswer(row.answer);
        const DWORD start = GetTickCount();
        ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
        ASSERT_TRUE(WaitForMessages(run, 1, 2 * kPatience));
        const DWORD elapsed = GetTickCount() - start;

        EXPECT_TRUE(SameText(OnlyMessage(run), row.logged));
        EXPECT_EQ(ButtonText(run, ids::kStartPull), row.pulling ? kStopPull : kStartPull);
        std::vector<HttpRequest> sent = service.Requests();
        ASSERT_EQ(sent.size(), requests + 1);
        EXPECT_EQ(TypeOf(sent.back().body), row.type);
        EXPECT_GE(elapsed + 50, row.answer.delay_ms) << "judged before the answer came";
        // Saved before each request with the same values: byte for byte what it was.
        EXPECT_EQ(run.ReadFileBytes(kConfig), config);
        EXPECT_FALSE(Exists(run.PathOf(kConfigTemp)));
        EXPECT_FALSE(run.Popup());
        EXPECT_TRUE(run.IsRunning());
    }
    ASSERT_TRUE(ClearLog(run));

    // Closing while pulling sends "del"; the default answer refuses it and closing goes on.
    ASSERT_TRUE(run.Close());
    EXPECT_EQ(TypeOf(service.Requests().back().body), "del");
    EXPECT_EQ(run.ReadFileBytes(kConfig), config);
}

// Watchdog ticks are 5 s apart: three ticks in all.
TEST(Faults, EncoderThatKeepsDyingOrCannotStartIsNeverRunTwiceAndEndsWithTheBroadcast) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    // Every encoder start captures for one second and dies.
    ASSERT_TRUE(run.WriteFileBytes("ffmpeg-double.txt", "exit_after_ms=1000\r\n"));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ClearLog(run));

    int most_running = 0;
    // Up to two ticks away on a loaded machine; counts the encoders all the while.
    auto until = [&](auto holds) {
        return WaitUntil(
            [&] {
                most_running = std::max(most_running, run.CountRunning(kEncoder));
                return holds();
            },
            2 * kPatience);
    };
    ASSERT_TRUE(GoLive(run, 1u));
    // Ticks 1 and 2 each find the encoder dead (it never lives until a tick), log its last line
    // and restart it.
    ASSERT_TRUE(until(
        [&] { return static_cast<int>(run.Log().size()) >= 3 && run.PublishRuns().size() >= 2; }));
    ASSERT_TRUE(until(
        [&] { return static_cast<int>(run.Log().size()) >= 5 && run.PublishRuns().size() >= 3; }));
    const std::string exited = std::string(kEncoderSays) + "ffmpeg double: exiting";
    EXPECT_EQ(run.Messages(), (Lines{kLive, exited, kRestart, exited, kRestart}));
    EXPECT_EQ(run.PublishRuns().size(), 3u);
    // Stopped at once, while the third encoder may still be capturing.
    ASSERT_TRUE(EndLive(run));
    EXPECT_EQ(most_running, 1);

    // The program is gone before the next start: the start itself fails, and the next tick
    // finds no child. The dead-tick count goes on from 2, so tick 3 is no restart tick.
    const std::string encoder = run.PathOf(kEncoder);
    ASSERT_TRUE(WaitUntil(
        [&] { return MoveFileA(encoder.c_str(), run.PathOf("ffmpeg-away.exe").c_str()); }));
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(GoLive(run, 3u));
    ASSERT_TRUE(until([&] { return static_cast<int>(run.Log().size()) >= 2; }));
    EXPECT_EQ(run.Messages(), (Lines{kLive, kCallFailed}));
    ASSERT_TRUE(EndLive(run));
    EXPECT_EQ(run.Messages(), (Lines{kLive, kCallFailed, kLiveClosed}));
    EXPECT_EQ(run.PublishRuns().size(), 3u);
    EXPECT_EQ(most_running, 1);
    EXPECT_FALSE(run.Popup());
    ASSERT_TRUE(ClearLog(run));
}

TEST(Faults, ConfigDbThatIsADirectoryIsNeitherReadNorReplacedAndNothingComplains) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    const std::string config = run.PathOf(kConfig);
    ASSERT_TRUE(CreateDirectoryA(config.c_str(), nullptr));
    ASSERT_TRUE(StartShown(run));
    HWND dialog = run.Dialog();
    EXPECT_FALSE(run.Popup());
    // Nothing loaded: the values at start.
    EXPECT_EQ(run.Messages(), Lines{kNoAddress});
    EXPECT_EQ(ui::ControlText(dialog, ids::kPublishUrl), "");
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kBitrate), 1);
    EXPECT_EQ(ui::CheckState(dialog, ids::kMinimizeToTray), BST_UNCHECKED);

    // Every kind of save trigger, each failing silently.
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, ConfigDb().publish));
    ASSERT_TRUE(Toggle(dialog, ids::kMinimizeToTray));
    ASSERT_TRUE(Toggle(dialog, ids::kAutoPull));
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ASSERT_TRUE(WaitUntil([&] { return static_cast<int>(run.Log().size()) == 1; }));
    ASSERT_TRUE(GoLive(run, 1u));
    // Auto-pull is on: the stop hands over to the relay, which is refused again.
    ASSERT_TRUE(EndLive(run));
    ASSERT_TRUE(WaitUntil([&] { return static_cast<int>(run.Log().size()) == 4; }));
    EXPECT_EQ(run.Messages(), (Lines{kPullFailed, kLive, kLiveClosed, kPullFailed}));
    EXPECT_EQ(service.Requests().size(), 2u);
    EXPECT_TRUE(IsDirectory(config));
    EXPECT_FALSE(Exists(run.PathOf(kConfigTemp)));
    EXPECT_FALSE(run.Popup());
    ASSERT_TRUE(ClearLog(run));
}

// Random bytes with NUL, Ctrl-Z, blanks and CR among them. Text-mode reading ends at the
// Ctrl-Z; each line loses its blanks and CRs; a NUL stays in the value, and the edits show it
// up to there.
TEST(Faults, ConfigDbOfRandomBytesLoadsWhatItCanAndIsRewrittenWhole) {
    std::mt19937 random(20240607);
    auto junk = [&](size_t length) {
        std::string bytes;
        while (bytes.size() < length) {
            char c = static_cast<char>(random() & 0xFF);
            if (c != '\n' && c != '\x1a') bytes += c;
        }
        return bytes;
    };
    // The numeric lines begin with a number that a byte of junk ends.
    const Lines lines = {
        std::string("1") + '\0' + junk(20), junk(40), "-3x" + junk(10), "4\x01" + junk(10),
        junk(30) + '\0' + junk(30),         junk(30), junk(15)};
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\n";
    bytes.pop_back();
    // Line 7 ends at the Ctrl-Z; whatever follows, line ends included, is never read.
    bytes += '\x1a' + junk(200) + "\n9\n9\n9\n";
    auto clean = [](std::string line) {
        line.erase(
            std::remove_if(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\r'; }),
            line.end());
        return line;
    };
    ASSERT_NE(clean(lines[4]).find('\0'), std::string::npos);
    ASSERT_GE(std::count(bytes.begin(), bytes.end(), '\0'), 2);
    ASSERT_GE(std::count(bytes.begin(), bytes.end(), '\x1a'), 1);

    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, bytes));
    ASSERT_TRUE(StartShown(run));
    HWND dialog = run.Dialog();
    EXPECT_FALSE(run.Popup());
    // The built-in listing has two devices.
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kDevice), 1);
    EXPECT_EQ(ui::CheckState(dialog, ids::kMinimizeToTray), BST_UNCHECKED);
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kBitrate), 4);
    EXPECT_EQ(ui::CheckState(dialog, ids::kAutoPull), BST_UNCHECKED);
    auto shown = [](const std::string& value) {
        return Cp936FromWide(WideFromCp936(value.c_str()));
    };
    EXPECT_EQ(ui::ControlText(dialog, ids::kPublishUrl), shown(clean(lines[1])));
    EXPECT_EQ(ui::ControlText(dialog, ids::kPullUrl), shown(clean(lines[4])));
    EXPECT_EQ(ui::ControlText(dialog, ids::kAccessKey), shown(clean(lines[5])));
    EXPECT_EQ(ui::ControlText(dialog, ids::kAccessId), shown(clean(lines[6])));

    // The tray box saves the members as loaded, NULs and all; line 8 was never read.
    ASSERT_TRUE(Toggle(dialog, ids::kMinimizeToTray));
    EXPECT_EQ(run.ReadFileBytes(kConfig),
              ConfigBytes({"1", clean(lines[1]), "1", "4", clean(lines[4]), clean(lines[5]),
                           clean(lines[6]), "0"}));
    EXPECT_FALSE(Exists(run.PathOf(kConfigTemp)));
    EXPECT_FALSE(run.Popup());
    ASSERT_TRUE(ClearLog(run));
}

TEST(Faults, ConfigDbWithAMegabyteLineLoadsItAndRewritesItWhole) {
    ConfigDb settings;
    const std::string pull = settings.pull + "?k=" + Numbered(kMiB);
    settings.pull = pull;

    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, settings.Bytes()));
    ASSERT_TRUE(StartShown(run));
    HWND dialog = run.Dialog();
    EXPECT_FALSE(run.Popup());
    EXPECT_EQ(ui::ControlText(dialog, ids::kPublishUrl), settings.publish);
    EXPECT_TRUE(ui::ControlText(dialog, ids::kPullUrl) == pull);
    EXPECT_EQ(ui::ControlText(dialog, ids::kAccessKey), "k1");
    EXPECT_EQ(ui::ControlText(dialog, ids::kAccessId), "i1");
    ASSERT_EQ(service.Requests().size(), 1u);
    EXPECT_TRUE(service.Requests()[0].body == PullBody(settings, "play"));

    settings.tray = "1";
    ASSERT_TRUE(Toggle(dialog, ids::kMinimizeToTray));
    EXPECT_TRUE(run.ReadFileBytes(kConfig) == settings.Bytes());

    // The pull button takes the megabyte back from the edit, saves it and sends it.
    ASSERT_TRUE(ui::Click(dialog, ids::kStartPull));
    ASSERT_TRUE(service.WaitForRequests(2));
    ASSERT_TRUE(WaitUntil([&] { return run.Messages() == Lines{kPullFailed}; }));
    EXPECT_TRUE(service.Requests()[1].body == PullBody(settings, "add"));
    EXPECT_TRUE(run.ReadFileBytes(kConfig) == settings.Bytes());
    EXPECT_FALSE(Exists(run.PathOf(kConfigTemp)));
    EXPECT_FALSE(run.Popup());
    ASSERT_TRUE(ClearLog(run));
}

TEST(Faults, DeviceTxtThatCannotBeCreatedLeavesTheDeviceBoxEmpty) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    const std::string config = ConfigDb().Bytes();
    ASSERT_TRUE(run.WriteFileBytes(kConfig, config));
    ASSERT_TRUE(CreateDirectoryA(run.PathOf(kDeviceFile).c_str(), nullptr));
    ASSERT_TRUE(StartShown(run));
    HWND dialog = run.Dialog();
    EXPECT_FALSE(run.Popup());
    EXPECT_EQ(run.Messages(), Lines{kDeviceFileFailed});
    EXPECT_EQ(ui::ComboItems(dialog, ids::kDevice), Lines{});
    // The listing ran and the rest of start-up went on.
    EXPECT_EQ(run.ListingRuns().size(), 1u);
    EXPECT_EQ(service.Requests().size(), 1u);

    // Without a device there is no broadcast, and nothing is saved.
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(ui::Click(dialog, ids::kStartLive));
    ASSERT_TRUE(WaitUntil([&] { return static_cast<int>(run.Log().size()) == 1; }));
    EXPECT_EQ(run.Messages(), Lines{kNoDevice});
    EXPECT_EQ(ButtonText(run, ids::kStartLive), kStartLive);
    EXPECT_EQ(run.PublishRuns().size(), 0u);
    EXPECT_EQ(run.ReadFileBytes(kConfig), config);
    EXPECT_TRUE(IsDirectory(run.PathOf(kDeviceFile)));
    ASSERT_TRUE(ClearLog(run));
}

// A directory in the status file's place for the test's duration; other tests write the file.
class StatusFileBlocked {
  public:
    StatusFileBlocked() {
        DeleteFileA(kStatusFile);
        CreateDirectoryA(kStatusFile, nullptr);
    }
    ~StatusFileBlocked() {
        if (!RemoveDirectoryA(kStatusFile))
            ADD_FAILURE() << "cannot remove " << kStatusFile << ": error " << GetLastError();
    }
    StatusFileBlocked(const StatusFileBlocked&) = delete;
    StatusFileBlocked& operator=(const StatusFileBlocked&) = delete;
};

TEST(Faults, StatusFileThatCannotBeOpenedDoesNotKeepTheBroadcastFromStarting) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ClearLog(run));
    {
        StatusFileBlocked blocked;
        ASSERT_TRUE(IsDirectory(kStatusFile));
        // The encoder writes the installation's own status file instead.
        ASSERT_TRUE(GoLive(run, 1u));
        EXPECT_EQ(run.Messages(), (Lines{kLive, OwnStatusFileLine(run)}));
        EXPECT_TRUE(WaitUntil([&] { return run.CountRunning(kEncoder) == 1; }));
        EXPECT_TRUE(IsDirectory(kStatusFile));
    }
    // The shared file is back, and the installation that could not open it has let go of it:
    // another one, live meanwhile, writes it.
    SonafeedRun other(WithOpenApi(service.Address()));
    ASSERT_TRUE(other.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(StartShown(other));
    ASSERT_TRUE(ClearLog(other));
    ASSERT_TRUE(GoLive(other, 1u));
    EXPECT_EQ(other.Messages(), Lines{kLive});
    EXPECT_TRUE(WaitUntil([&] {
        return ReadWholeFile(kStatusFile).value_or("").find("publishing run 1") !=
               std::string::npos;
    }));
    for (SonafeedRun* each : {&run, &other})
        ASSERT_TRUE(EndLive(*each));
    EXPECT_EQ(run.Messages(), (Lines{kLive, OwnStatusFileLine(run), kLiveClosed}));
    EXPECT_FALSE(run.Popup());
}

// A claim on the shared status file that this account may not open (one made by a task that runs
// as another user) is someone else's: the installation writes its own file.
TEST(Faults, ASharedStatusFileClaimedByAnotherAccountIsLeftToIt) {
    SECURITY_DESCRIPTOR nobody;
    InitializeSecurityDescriptor(&nobody, SECURITY_DESCRIPTOR_REVISION);
    ACL empty;
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    SetSecurityDescriptorDacl(&nobody, TRUE, &empty, FALSE);
    SECURITY_ATTRIBUTES security{sizeof security, &nobody, FALSE};
    const CHandle claim(CreateMutexA(&security, FALSE, "Global\\Sonafeed-NetStatus"));
    ASSERT_TRUE(claim.IsValid());
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "a Sonafeed runs";

    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(GoLive(run, 1u));
    EXPECT_EQ(run.Messages(), (Lines{kLive, OwnStatusFileLine(run)}));
    ASSERT_TRUE(EndLive(run));
}

} // namespace
