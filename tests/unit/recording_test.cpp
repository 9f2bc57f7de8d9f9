#include "live/core/Recording.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

LocalTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return LocalTime{year, month, day, hour, minute, second};
}

std::string Text(const LocalTime& t) {
    return RecordingDayFolder(t) + RecordingFileName(t, 1).substr(10, 9);
}

// An ADTS frame of `size` bytes, header included.
std::string Frame(size_t size, char fill) {
    std::string frame(size, fill);
    frame[0] = '\xFF';
    frame[1] = '\xF1';
    frame[3] = static_cast<char>((size >> 11) & 0x03);
    frame[4] = static_cast<char>((size >> 3) & 0xFF);
    frame[5] = static_cast<char>((size & 0x07) << 5);
    return frame;
}

} // namespace

TEST(Recording, NamesItsFilesByLocalDateAndTimeAndKnowsOnlyThose) {
    const LocalTime start = At(2026, 12, 9, 7, 5, 3);
    EXPECT_EQ(RecordingDayFolder(start), "2026-12-09");
    EXPECT_EQ(RecordingFileName(start, 1), "2026-12-09_07-05-03.aac");
    EXPECT_EQ(RecordingFileName(start, 12), "2026-12-09_07-05-03_12.aac");

    const LocalTime day = At(2026, 12, 9);
    const struct {
        const char* name;
        bool ours;
    } cases[] = {
        {"2026-12-09_07-05-03.aac", true},
        {"2026-12-09_23-59-59_2.aac", true},
        {"2026-12-09_00-00-00_105.aac", true},
        {"2026-12-08_07-05-03.aac", false}, // another day's, in this day's folder
        {"2026-12-09_07-05-03_1.aac", false},
        {"2026-12-09_07-05-03_02.aac", false},
        {"2026-12-09_07-05-03_.aac", false},
        {"2026-12-09_07-05-03_x.aac", false},
        {"2026-12-09_24-00-00.aac", false},
        {"2026-12-09_07-60-00.aac", false},
        {"2026-12-09_07-05.aac", false},
        {"2026-12-09_07-05-03.AAC", false},
        {"2026-12-09_07-05-03.aac.txt", false},
        {"2026-12-09_07-05-03.mp3", false},
        {"2026-12-09 07-05-03.aac", false},
        {"节目.aac", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocalTime parsed;
        EXPECT_EQ(ParseRecordingFileName(c.name, day, parsed), c.ours);
        if (c.ours) {
            EXPECT_EQ(RecordingDayFolder(parsed), "2026-12-09");
        }
    }
    const struct {
        const char* name;
        bool ours;
    } folders[] = {{"2026-12-09", true},  {"2024-02-29", true},  {"2026-02-29", false},
                   {"2026-13-01", false}, {"2026-12-9", false},  {"2026-12-09x", false},
                   {"备份", false},       {"2026_12_09", false}, {"", false}};
    for (const auto& c : folders) {
        SCOPED_TRACE(c.name);
        LocalTime parsed;
        EXPECT_EQ(ParseRecordingDayFolder(c.name, parsed), c.ours);
    }
}

TEST(Recording, RetentionDeletesWhatIsOlderThanItsDays) {
    const struct {
        const char* what;
        LocalTime start;
        LocalTime now;
        int days;
        bool expired;
    } cases[] = {
        {"exactly the days", At(2026, 10, 28, 10), At(2026, 12, 9, 10), 42, false},
        {"a second more", At(2026, 10, 28, 9, 59, 59), At(2026, 12, 9, 10), 42, true},
        {"over a leap day", At(2024, 2, 28, 12), At(2024, 3, 1, 12), 1, true},
        {"over a year's end", At(2026, 12, 31, 23), At(2027, 1, 1, 22), 1, false},
        {"from the future (the clock went back)", At(2027, 1, 1), At(2026, 12, 9), 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RecordingExpired(c.start, c.now, c.days), c.expired);
    }
}

TEST(Recording, AFileStartsWithEachClockPeriod) {
    const struct {
        LocalTime time;
        int period;
        const char* start;
    } cases[] = {
        {At(2026, 12, 9, 10, 59, 59), 3600, "2026-12-09_10-00-00"},
        {At(2026, 12, 9, 11, 0, 0), 3600, "2026-12-09_11-00-00"},
        {At(2026, 12, 31, 23, 30), 3600, "2026-12-31_23-00-00"},
        {At(2026, 12, 9, 10, 7, 59), 60, "2026-12-09_10-07-00"},
        {At(2026, 12, 9, 10, 7, 29), 10, "2026-12-09_10-07-20"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        EXPECT_EQ(Text(RecordingPeriodStart(c.time, c.period)), c.start);
    }
    EXPECT_NE(RecordingPeriod(At(2026, 12, 9, 10, 59, 59), 3600),
              RecordingPeriod(At(2026, 12, 9, 11), 3600));
    EXPECT_EQ(RecordingPeriod(At(2026, 12, 9, 11, 59, 59), 3600),
              RecordingPeriod(At(2026, 12, 9, 11), 3600));
}

TEST(Recording, AFullDrivePausesOnceAndResumesWithAMargin) {
    constexpr uint64_t kFloor = 1024;
    const struct {
        uint64_t free;
        bool changes;
        bool paused;
    } steps[] = {{5000, false, false}, {1024, false, false}, {1023, true, true},
                 {1000, false, true},  {1024, false, true},  {1087, false, true},
                 {1088, true, false},  {1100, false, false}, {0, true, true}};
    FreeSpaceGate gate(kFloor);
    for (const auto& step : steps) {
        SCOPED_TRACE(step.free);
        EXPECT_EQ(gate.Update(step.free), step.changes);
        EXPECT_EQ(gate.Paused(), step.paused);
    }
}

TEST(Recording, ABuildWithoutTheTeeOutputIsKnown) {
    EXPECT_TRUE(RejectsRecordingOutput(
        "x\r\nRequested output format 'tee' is not a suitable output format\r\n"));
    EXPECT_FALSE(RejectsRecordingOutput("Requested output format 'flv' is not a suitable"));
    EXPECT_FALSE(RejectsRecordingOutput("[tee @ 0] Slave '[f=flv]rtmp://h/a/s': error"));
}

TEST(Recording, TheStreamIsCutIntoWholeFramesHoweverItArrives) {
    const std::string a = Frame(300, 'a'), b = Frame(7, 'b'), c = Frame(1600, 'c');
    const std::string stream = "xy" + a + b + "\xFF\xF1z" + c;
    for (size_t piece : {stream.size(), size_t{1}, size_t{5}, size_t{299}}) {
        SCOPED_TRACE(piece);
        AdtsFrames frames;
        std::vector<std::string> taken;
        for (size_t at = 0; at < stream.size(); at += piece) {
            frames.Feed(stream.data() + at, std::min(piece, stream.size() - at));
            std::string frame;
            while (frames.Next(frame))
                taken.push_back(frame);
        }
        EXPECT_EQ(taken, (std::vector<std::string>{a, b, c}));
    }
}
