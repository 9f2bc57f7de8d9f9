#include "settings/core/ConfigLines.h"
#include "tests/e2e/support/TextMode.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

std::string Describe(const ConfigValues& v) {
    return std::to_string(v.deviceIndex) + "|" + v.publishUrl + "|" + std::to_string(v.minToTray) +
           "|" + std::to_string(v.bitrateIndex) + "|" + v.pullUrl + "|" + v.accessKey + "|" +
           v.accessId + "|" + std::to_string(v.autoPull);
}

// Reads like the program does: line by line up to each LF, stopping at end of file.
ConfigValues Load(const std::string& file) {
    ConfigValues values;
    int lineNumber = 0;
    size_t begin = 0;
    while (begin < file.size()) {
        size_t end = file.find('\n', begin);
        end = end == std::string::npos ? file.size() : end + 1;
        std::string line = file.substr(begin, end - begin);
        if (begin == 0) SkipByteOrderMark(line);
        begin = end;
        CleanConfigLine(line);
        ApplyConfigLine(++lineNumber, line, values);
    }
    return values;
}

} // namespace

TEST(ConfigLines, ConvertsLikeAtoiAndSaturates) {
    const struct {
        std::string text;
        int expected;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"42", 42},
        {"-1", -1},
        {"+7", 7},
        {" \t\n\v\f\r9", 9},
        {"12x3", 12},
        {"- 5", 0},
        {"--5", 0},
        {"0009", 9},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(ConfigLineToInt(c.text), c.expected);
    }
}

TEST(ConfigLines, CleaningRemovesBlanksAndLineEndsOnly) {
    const struct {
        std::string line;
        std::string expected;
    } cases[] = {
        {" rtmp:// h /a/ s ", "rtmp://h/a/s"},
        {"3\r\r\n", "3"},
        {"a\rb\nc", "abc"},
        {"\tx\t", "\tx\t"},
        {"直 播", "直播"},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string line = c.line;
        CleanConfigLine(line);
        EXPECT_EQ(line, c.expected) << testing::PrintToString(c.line);
    }
}

TEST(ConfigLines, AppliesEachLineToItsMember) {
    const ConfigValues preset{5, "u", 1, 3, "p", "k", "i", 1};
    const std::string unchanged = "5|u|1|3|p|k|i|1";
    ASSERT_EQ(Describe(preset), unchanged);

    const struct {
        int lineNumber;
        std::string line;
        std::string expected;
    } cases[] = {
        {1, "", "0|u|1|3|p|k|i|1"},
        {1, "7", "7|u|1|3|p|k|i|1"},
        {2, "", "5||1|3|p|k|i|1"},
        {2, "rtmp://h/a/s", "5|rtmp://h/a/s|1|3|p|k|i|1"},
        {3, "", unchanged},
        {3, "0", "5|u|0|3|p|k|i|1"},
        {4, "", unchanged},
        {4, "9", "5|u|1|9|p|k|i|1"},
        {4, "-1", "5|u|1|-1|p|k|i|1"},
        {5, "", "5|u|1|3||k|i|1"},
        {5, "rtmp://s", "5|u|1|3|rtmp://s|k|i|1"},
        {6, "", "5|u|1|3|p||i|1"},
        {7, "", "5|u|1|3|p|k||1"},
        {8, "", "5|u|1|3|p|k|i|0"},
        {8, "x", "5|u|1|3|p|k|i|0"},
        {0, "9", unchanged},
        {9, "9", unchanged},
        {-1, "9", unchanged},
    };
    for (const auto& c : cases) {
        ConfigValues values = preset;
        ApplyConfigLine(c.lineNumber, c.line, values);
        EXPECT_EQ(Describe(values), c.expected) << c.lineNumber << ": " << c.line;
    }
}

TEST(ConfigLines, LoadsFiles) {
    const std::string twoLines = "2|rtmp://h/a/s|0|1||||0";
    const struct {
        std::string file;
        std::string expected;
    } cases[] = {
        {"", "0||0|1||||0"},
        {"2\nrtmp://h/a/s\n", twoLines},
        {"2\r\nrtmp://h/a/s\r\n", twoLines},
        {"2\r\r\nrtmp://h/a/s\r\r\n", twoLines},
        {"2\nrtmp://h/a/s", twoLines},
        {"1 2\r\nrtmp:// h/a /s\r\n", "12|rtmp://h/a/s|0|1||||0"},
        {"\n\n\n\n", "0||0|1||||0"},
        {"1\nU\n1\n2\nP\nK\nI\n1\n77\nx\n", "1|U|1|2|P|K|I|1"},
        {"0\nU\n\n\nP\nK\nI\n\n", "0|U|0|1|P|K|I|0"},
        {"99999999999\nU\n-99999999999\n", "2147483647|U|-2147483648|1||||0"},
        {"\t3\na\tb\n", "3|a\tb|0|1||||0"},
        // A byte order mark only counts at the very start.
        {"\xEF\xBB\xBF"
         "2\r\nrtmp://h/a/s\r\n",
         twoLines},
        {"\xEF\xBB\xBF", "0||0|1||||0"},
        {"\xEF\xBB"
         "2\n",
         "0||0|1||||0"},
        {"2\n\xEF\xBB\xBF"
         "rtmp://h/a/s\n",
         "2|\xEF\xBB\xBF"
         "rtmp://h/a/s|0|1||||0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Describe(Load(c.file)), c.expected) << testing::PrintToString(c.file);
    }
}

TEST(ConfigLines, WrittenValuesLoadBack) {
    const ConfigValues typical{
        2, "rtmp://1000.push.kelvo.net/live/room1?a=1", 1, 0, "rtmp://src/直播/誠", "k\tey", "id",
        1};
    const ConfigValues extremes{INT_MIN, "", -1, INT_MAX, "", "", "", -7};

    EXPECT_EQ(FormatConfig(typical), "2\r\nrtmp://1000.push.kelvo.net/live/room1?a=1\r\n1\r\n0\r\n"
                                     "rtmp://src/直播/誠\r\nk\tey\r\nid\r\n1\r\n");
    for (const ConfigValues& values : {typical, extremes, ConfigValues{}}) {
        EXPECT_EQ(Describe(Load(e2e::TextModeWrite(FormatConfig(values)))), Describe(values));
    }

    // A text value keeps only what stands before its first line break.
    const ConfigValues broken{0, "rtmp://h/a/s\r\nx", 0, 1, "\nP", "K\rK", "I\n\r", 0};
    EXPECT_EQ(FormatConfig(broken), "0\r\nrtmp://h/a/s\r\n0\r\n1\r\n\r\nK\r\nI\r\n0\r\n");
}
