#include "live/core/Watchdog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Watchdog, RestartsAtPowersOfTwoThenEveryThirtyTwoTicks) {
    std::vector<int> expected = {1, 2, 4, 8, 16};
    for (int tick = 32; tick <= 1000; tick += 32)
        expected.push_back(tick);

    std::vector<int> restarts;
    for (int tick = -100; tick <= 1000; ++tick) {
        if (IsRestartTick(tick)) restarts.push_back(tick);
    }
    EXPECT_EQ(restarts, expected);
}

TEST(Watchdog, AttemptsComeOnScheduleAndNeverMoreOften) {
    // One letter per event: a tick that found the encoder dead (d) or running (r; w: running and
    // well again), the encoder seen gone between ticks (g), its server back (b), a start by the
    // operator (s), an encoder ended that was on air (o). The outcome marks the restarts (R) and
    // the recoveries reported (L).
    const struct {
        const char* name;
        std::string events, outcome;
    } cases[] = {
        {"stays dead", "dddddddddddddddd", "RR.R...R.......R"},
        {"a start that runs says nothing", "sw", ".."},
        {"gone after it was well: at once, then as before", "wgdddddddd", ".R.R.R...R"},
        {"gone again before it was well: not at once", "wgdgd", ".R..R"},
        {"back at once, then reported", "wgw", ".RL"},
        {"reported at its first running tick only", "dww", "RL."},
        {"well again: the count starts over", "dwdd", "RLRR"},
        // The count is the operator's too: the next start carries it on.
        {"a start while counting is reported", "ddddsw", "RR.R.L"},
        {"a server back after an outage: at once", "ddddbdddd", "RR.RR...."},
        {"a server that flaps: two attempts ahead, no more", "gbbdddd", "RR....R"},
        {"on air between outages: each return at once, once", "gbbobbobdd", "RR..R..R.."},
        {"dropped a few seconds after each start: the back-off holds", "grddrddrdddd",
         "RL.RL.RL...R"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RestartSchedule schedule;
        std::string outcome;
        for (char event : c.events) {
            bool restart = false;
            bool reported = false;
            if (event == 'd') restart = schedule.DeadTick();
            if (event == 'g') restart = schedule.TakeFirstAttemptNow();
            if (event == 'b') restart = schedule.ServerBack();
            if (event == 'o') schedule.EncoderWasOnAir();
            if (event == 'r' || event == 'w') reported = schedule.RunningTick(event == 'w');
            if (event == 's' || restart) schedule.EncoderStarted();
            outcome += restart ? 'R' : reported ? 'L' : '.';
        }
        EXPECT_EQ(outcome, c.outcome);
    }
}

TEST(Watchdog, StallsAfterSixTicksWithoutGrowth) {
    // One reading of the file's size per tick, -1 for a tick that could not read it; the
    // outcome marks with S the ticks at which the encoder counts as stalled.
    constexpr long long kUnread = -1;
    const long long k4GiB = 1ll << 32;
    const struct {
        const char* name;
        std::vector<long long> sizes;
        std::string stalled;
    } cases[] = {
        {"silent from the first reading", {0, 0, 0, 0, 0, 0, 0, 0}, "......S."},
        {"growing", {1, 2, 3, 4, 5, 6, 7}, "......."},
        {"growth starts the count again", {5, 5, 5, 5, 5, 9, 9, 9, 9, 9, 9, 9}, "...........S"},
        {"a shorter file counts as a change", {9, 9, 9, 9, 9, 0, 0}, "......."},
        {"a tick without a reading starts afresh",
         {5, 5, 5, kUnread, 5, 5, 5, 5, 5, 5, 5},
         "..........S"},
        {"sizes beyond 4 GiB", {k4GiB, 0, 0, 0, 0, 0, 0}, "......."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StallWatch watch;
        std::string stalled;
        for (long long size : c.sizes) {
            if (size == kUnread) {
                watch.Reset();
                stalled += '.';
            } else {
                stalled += watch.Stalled(static_cast<unsigned long long>(size)) ? 'S' : '.';
            }
        }
        EXPECT_EQ(stalled, c.stalled);
    }
}

TEST(Watchdog, RestartsAtOnceOnlyWhenTheServerComesBack) {
    // One letter per event: a check that found the server absent (a) or answering (A), a new
    // encoder (n). The outcome marks with R the checks after which the encoder restarts at once.
    const struct {
        const char* name;
        std::string events, restarts;
    } cases[] = {
        {"answers all along", "AAAA", "...."},
        {"absent all along", "aaaa", "...."},
        {"absent, then back", "aaA", "..R"},
        {"back once only", "aAAA", ".R.."},
        {"absent again, back again", "aAaA", ".R.R"},
        {"a new encoder forgets the absence", "anA", "..."},
        {"a new encoder, then absent and back", "aAnaA", ".R..R"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerWatch watch;
        std::string restarts;
        for (char event : c.events) {
            if (event == 'n') {
                watch.Reset();
                restarts += '.';
            } else {
                restarts += watch.RestartNow(event == 'A') ? 'R' : '.';
            }
        }
        EXPECT_EQ(restarts, c.restarts);
    }
}
