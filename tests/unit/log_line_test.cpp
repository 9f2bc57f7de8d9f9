#include "ui/core/LogLine.h"

#include <gtest/gtest.h>

namespace {

std::tm Time(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

} // namespace

TEST(LogLine, FormatsStampAndMessage) {
    const std::tm early = Time(2024, 1, 2, 3, 4, 5);
    const std::tm late = Time(1999, 12, 31, 23, 59, 59);
    const std::string longMessage(5000, 'x');
    const struct {
        const std::tm* local;
        std::string message;
        std::string expected;
    } cases[] = {
        {&early, "直播中", "2024-01-02 03:04:05 直播中"},
        {&late, "a", "1999-12-31 23:59:59 a"},
        {&early, "", "2024-01-02 03:04:05 "},
        {nullptr, "msg", "0-00-00 -1:-1:-1 msg"},
        {&early, "100% %s %d", "2024-01-02 03:04:05 100% %s %d"},
        {&early, longMessage, "2024-01-02 03:04:05 " + longMessage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.substr(0, 40));
        EXPECT_EQ(FormatLogLine(c.local, c.message), c.expected);
    }
}

TEST(LogLine, DailyFileIsNamedByTheLinesOwnDate) {
    const std::tm newYear = Time(2025, 1, 1, 0, 0, 0);
    const std::tm lastSecond = Time(2024, 12, 31, 23, 59, 59);
    const std::tm leapDay = Time(2024, 2, 29, 12, 0, 0);
    const struct {
        const std::tm* local;
        std::string expected;
    } cases[] = {
        {&newYear, "log\\2025-01-01.txt"},
        {&lastSecond, "log\\2024-12-31.txt"},
        {&leapDay, "log\\2024-02-29.txt"},
        {nullptr, "log\\0-00-00.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LogFileName(c.local), c.expected);
        // The file's date is the line's date.
        const std::string date = c.expected.substr(4, c.expected.size() - 8);
        EXPECT_EQ(FormatLogLine(c.local, "").substr(0, date.size() + 1), date + " ");
    }
}
