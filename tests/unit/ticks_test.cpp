#include "framework/core/Ticks.h"

#include <gtest/gtest.h>

TEST(Ticks, SpanHoldsAcrossTheWrap) {
    const struct {
        std::uint32_t start, now, expected;
    } cases[] = {
        {1000, 1000, 0},
        {1000, 31000, 30000},
        {0xFFFFFFFFu - 99, 0xFFFFFFFFu, 99},
        {0xFFFFFFFFu - 99, 0, 100},         // wrapped on the next tick
        {0xFFFFFFFFu - 9999, 20000, 30000}, // 10 s before the wrap, 20 s after it
        {0, 0xFFFFFFFFu, 0xFFFFFFFFu},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TicksSince(c.start, c.now), c.expected) << c.start << " to " << c.now;
}
