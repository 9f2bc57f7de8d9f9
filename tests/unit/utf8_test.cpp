#include "framework/core/Utf8.h"

#include <gtest/gtest.h>

TEST(Utf8, AcceptsOnlyWellFormedSequences) {
    const struct {
        std::string text;
        bool valid;
    } cases[] = {
        {"", true},
        {"Mic (USB)\r\n", true},
        {"\xE9\xBA\xA6\xE5\x85\x8B", true}, // 麦克 in UTF-8
        {"\xC2\x80", true},
        {"\xDF\xBF", true},
        {"\xE0\xA0\x80", true},
        {"\xED\x9F\xBF", true},
        {"\xEE\x80\x80", true},
        {"\xF0\x90\x80\x80", true},
        {"\xF4\x8F\xBF\xBF", true},
        {"\xC2\xF3\xBF\xCB", false}, // 麦克 in code page 936
        {"\xD6\xD0", false},         // 中 in code page 936
        {"\x80", false},
        {"\xBF", false},
        {"\xC0\x80", false}, // overlong
        {"\xC1\xBF", false},
        {"\xE0\x9F\xBF", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xED\xA0\x80", false}, // surrogate
        {"\xF4\x90\x80\x80", false},
        {"\xF5\x80\x80\x80", false},
        {"\xFF", false},
        {"a\xE9\xBA", false}, // cut short
        {"\xE9\xBA"
         "a",
         false},
        {"\xC2", false},
        {"\xF0\x90\x80", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.text), c.valid) << testing::PrintToString(c.text);
    }
}
