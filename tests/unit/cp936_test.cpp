#include "framework/core/Cp936.h"

#include <gtest/gtest.h>

TEST(Cp936, RecognisesDoubleByteStartsAtTheByteRangeEdges) {
    const struct {
        std::string text;
        size_t index;
        bool expected;
    } cases[] = {
        {"\x81\x40", 0, true},  {"\xFE\xFE", 0, true},
        {"\xD5\x5C", 0, true}, // trail byte that looks like a backslash
        {"\x80\x40", 0, false}, {"\xFF\x40", 0, false},
        {"\x81\x3F", 0, false}, {"\x81\x7F", 0, false},
        {"\x81\xFF", 0, false}, {"\x81\x22", 0, false},
        {"\x81", 0, false}, // lead byte without trail
        {"a\x81", 1, false},    {"a\x81\x40", 1, true},
        {"\x81\x40", 2, false}, {"\x81\x40", std::string::npos, false},
        {"", 0, false},         {"ab", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text) + " @" + std::to_string(c.index));
        EXPECT_EQ(IsCp936DoubleByte(c.text, c.index), c.expected);
    }
}
