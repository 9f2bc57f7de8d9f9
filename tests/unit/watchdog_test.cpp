#include "live/Watchdog.h"

#include <gtest/gtest.h>

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
