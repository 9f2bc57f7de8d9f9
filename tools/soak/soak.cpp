// Drives the real Sonafeed.exe through many live start/stop cycles, device refreshes and relay
// requests, and checks from outside that its handle count and memory stay flat:
//   sonafeed_soak [--live=N] [--refreshes=N] [--relays=N] [--exe=PATH]
// Defaults: 300, 100, 300 and the Sonafeed.exe of this build; --exe soaks another build.
// Prints the readings before, after each phase and at the end; exits non-zero on a failure.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/support/Expected.h"
#include "tests/e2e/support/HostPath.h"
#include "tests/e2e/support/OpenApiStandIn.h"
#include "tests/e2e/support/OperatorSteps.h"
#include "tests/e2e/support/ProcessProbe.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/UiDriver.h"
#include "tests/e2e/support/WaitUntil.h"
#include "tools/CountOption.h"

namespace {

using namespace e2e;
using namespace e2e::expected;
using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

struct Counts {
    int live = 300;
    int refreshes = 100;
    int relays = 300;
};
Counts counts;
std::string exe_path;

constexpr char kPublishUrl[] = "rtmp://1000.push.kelvo.net/live/soak";
constexpr char kPullUrl[] = "rtmp://source.example.net/live/in";
// A log line is "YYYY-MM-DD HH:MM:SS " and the text.
constexpr size_t kStampLength = 20;

struct Reading {
    int handles = -1;
    size_t memory = 0;
};

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : " | ") + line;
    return "[" + text + "]";
}

class Soak {
  public:
    Soak(SonafeedRun& run, OpenApiStandIn& service) : run_(run), service_(service) {}

    AssertionResult Prepare() {
        dialog_ = run_.Dialog();
        if (!dialog_) return AssertionFailure() << "no main dialog";
        devices_ = ui::ComboItems(dialog_, ids::kDevice);
        if (devices_.empty()) return AssertionFailure() << "no devices listed at start-up";
        if (!ui::SetControlText(dialog_, ids::kPublishUrl, kPublishUrl) ||
            !ui::SetControlText(dialog_, ids::kPullUrl, kPullUrl))
            return AssertionFailure() << "cannot fill the address edits";
        return AssertionSuccess();
    }

    // Start, wait for the encoder and the log line; stop, wait until the encoder has gone.
    AssertionResult LiveCycle() {
        if (auto cleared = ClearLog(); !cleared) return cleared;
        const std::string record = "runs\\" + std::to_string(publish_runs_ + 1) + ".cmdline";
        if (auto clicked = ClickAndWait(
                ids::kStartLive,
                [&] {
                    return Texts() == std::vector<std::string>{kLive} &&
                           ButtonText(run_, ids::kStartLive) == kStopLive &&
                           run_.ReadFileBytes(record) && run_.CountRunning(kEncoder) == 1;
                },
                "live start");
            !clicked)
            return clicked;
        ++publish_runs_;
        return ClickAndWait(
            ids::kStartLive,
            [&] {
                return Texts() == std::vector<std::string>{kLiveClosed, kLive} &&
                       ButtonText(run_, ids::kStartLive) == kStartLive &&
                       run_.CountRunning(kEncoder) == 0;
            },
            "live stop");
    }

    AssertionResult Refresh() {
        if (auto cleared = ClearLog(); !cleared) return cleared;
        const std::string record = "runs\\list-" + std::to_string(listing_runs_ + 1) + ".cmdline";
        if (auto clicked = ClickAndWait(
                ids::kRefreshDevices, [&] { return !!run_.ReadFileBytes(record); }, "listing run");
            !clicked)
            return clicked;
        ++listing_runs_;
        // The handler blocks the dialog's thread, so the box answers only once it has been
        // refilled.
        return WaitFor(
            [&] {
                return ui::ComboItems(dialog_, ids::kDevice) == devices_ &&
                       ui::ComboSelection(dialog_, ids::kDevice) == 0 && Texts().empty() &&
                       run_.CountRunning(kEncoder) == 0;
            },
            "device box refilled");
    }

    // One request: "add" while not pulling, "del" while pulling.
    AssertionResult RelayRequest() {
        if (auto cleared = ClearLog(); !cleared) return cleared;
        const bool add = !pulling_;
        const size_t sent = service_.Requests().size();
        if (auto clicked = ClickAndWait(
                ids::kStartPull,
                [&] {
                    return service_.Requests().size() == sent + 1 &&
                           Texts() == std::vector<std::string>{add ? kPulling : kPullStopped} &&
                           ButtonText(run_, ids::kStartPull) == (add ? kStopPull : kStartPull);
                },
                add ? "relay add" : "relay del");
            !clicked)
            return clicked;
        pulling_ = add;
        const std::string type = add ? R"("type":"add")" : R"("type":"del")";
        if (service_.Requests().back().body.find(type) == std::string::npos)
            return AssertionFailure()
                   << "request without " << type << ": " << service_.Requests().back().body;
        return AssertionSuccess();
    }

    AssertionResult ClearLog() { return e2e::ClearLog(run_); }

    // Handle counts move while Wine's own threads come and go: a reading is taken once the
    // count has held for half a second.
    Reading Steady() const {
        Reading reading;
        int same = 0;
        WaitUntil([&] {
            const int handles = probe::HandleCount(run_.Pid());
            same = handles == reading.handles ? same + 1 : 0;
            reading.handles = handles;
            return same >= 20;
        });
        reading.memory = probe::PagefileUsage(run_.Process());
        return reading;
    }

  private:
    // The log texts without their time stamps, newest first.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const std::string& line : ui::ListLines(dialog_))
            texts.push_back(line.size() >= kStampLength ? line.substr(kStampLength) : line);
        return texts;
    }

    AssertionResult WaitFor(const std::function<bool()>& holds, const char* what) const {
        if (WaitUntil(holds)) return AssertionSuccess();
        return AssertionFailure() << what << " not seen within " << kPatience
                                  << " ms; log: " << Join(Texts())
                                  << "; running: " << (run_.IsRunning() ? "yes" : "no");
    }

    AssertionResult ClickAndWait(int id, const std::function<bool()>& holds, const char* what) {
        if (!ui::Click(dialog_, id)) return AssertionFailure() << "cannot click " << id;
        return WaitFor(holds, what);
    }

    SonafeedRun& run_;
    OpenApiStandIn& service_;
    HWND dialog_ = nullptr;
    std::vector<std::string> devices_;
    int publish_runs_ = 0;
    int listing_runs_ = 0;
    bool pulling_ = false;
};

void Print(const char* label, const Reading& reading, DWORD elapsed_ms = 0) {
    std::printf("%-22s handles %4d   PagefileUsage %10zu bytes (%7.1f KiB)", label, reading.handles,
                reading.memory, reading.memory / 1024.0);
    if (elapsed_ms) std::printf("   %6.1f s", elapsed_ms / 1000.0);
    std::printf("\n");
    std::fflush(stdout);
}

TEST(Soak, HandlesAndMemoryStayFlat) {
    OpenApiStandIn service;
    ASSERT_NE(service.Port(), 0);
    service.SetDefaultAnswer({200, kAccepted});

    SonafeedRun::Options options = WithOpenApi(service.Address());
    options.exe = WindowsPathOf(exe_path);
    SonafeedRun run(options);
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    Soak soak(run, service);
    ASSERT_TRUE(soak.Prepare());

    // Warm-up: whatever is allocated once (the first child, the first Internet session) is
    // allocated before the first reading. A relay round is an add and a del, as a live round
    // is a start and a stop, so that the program is in the same state at both readings.
    ASSERT_TRUE(soak.LiveCycle()) << "warm-up";
    ASSERT_TRUE(soak.Refresh()) << "warm-up";
    ASSERT_TRUE(soak.RelayRequest()) << "warm-up";
    ASSERT_TRUE(soak.RelayRequest()) << "warm-up";
    ASSERT_TRUE(soak.ClearLog());
    const Reading before = soak.Steady();
    ASSERT_GE(before.handles, 0) << "cannot read the system handle table";
    ASSERT_GT(before.memory, 0u) << "cannot read the memory counters";
    Print("before", before);

    struct Phase {
        const char* label;
        int rounds;
        std::function<AssertionResult()> round;
    };
    const Phase phases[] = {
        {"after live cycles", counts.live, [&] { return soak.LiveCycle(); }},
        {"after refreshes", counts.refreshes, [&] { return soak.Refresh(); }},
        {"after relay requests", counts.relays, [&] { return soak.RelayRequest(); }},
    };
    for (const Phase& phase : phases) {
        const DWORD start = GetTickCount();
        for (int round = 1; round <= phase.rounds; ++round)
            ASSERT_TRUE(phase.round()) << phase.label << ", round " << round;
        Print(phase.label, soak.Steady(), GetTickCount() - start);
    }

    // The log grows by design; both readings are taken with it empty.
    ASSERT_TRUE(soak.ClearLog());
    Reading after = soak.Steady();
    // A handle still being closed by the last operation is no leak: give it time to go.
    if (after.handles > before.handles) {
        WaitUntil([&] { return probe::HandleCount(run.Pid()) <= before.handles; });
        after = soak.Steady();
    }
    Print("after (log cleared)", after);
    const double growth = 100.0 * (double(after.memory) - double(before.memory)) / before.memory;
    std::printf("handles %+d, memory %+.2f %% (%+lld bytes)\n", after.handles - before.handles,
                growth,
                static_cast<long long>(after.memory) - static_cast<long long>(before.memory));
    std::fflush(stdout);

    EXPECT_LE(after.handles, before.handles) << "handle count grew";
    EXPECT_LE(growth, 1.0) << "memory grew by more than 1 %";
    EXPECT_TRUE(run.IsRunning());
    EXPECT_FALSE(run.Popup());
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (!ParseCount(argv[i], "--live=", 0, &counts.live) &&
            !ParseCount(argv[i], "--refreshes=", 0, &counts.refreshes) &&
            !ParseCount(argv[i], "--relays=", 0, &counts.relays)) {
            if (std::strncmp(argv[i], "--exe=", 6) == 0 && argv[i][6]) {
                exe_path = argv[i] + 6;
                continue;
            }
            std::fprintf(stderr, "usage: %s [--live=N] [--refreshes=N] [--relays=N] [--exe=PATH]\n",
                         argv[0]);
            return 2;
        }
    }
    std::printf("soak: %d live cycles, %d device refreshes, %d relay requests\n", counts.live,
                counts.refreshes, counts.relays);
    std::fflush(stdout);
    return RUN_ALL_TESTS();
}
