#include "live/core/AudioLevels.h"
#include "live/core/Silence.h"
#include "settings/core/AudioSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// What the measuring filters print for one frame of a stereo device, as the encoder logs it.
std::string Frame(int number, const std::string& left, const std::string& right = "") {
    const std::string time = std::to_string(number / 10) + "." + std::to_string(number % 10);
    std::string text = "[Parsed_ametadata_2 @ 05dc1240] frame:" + std::to_string(number) +
                       "    pts:" + std::to_string(number * 4410) + "   pts_time:" + time +
                       "\n[Parsed_ametadata_2 @ 05dc1240] lavfi.astats.1.Peak_level=" + left + "\n";
    if (!right.empty())
        text += "[Parsed_ametadata_3 @ 05dc1380] frame:" + std::to_string(number) +
                "    pts:" + std::to_string(number * 4410) + "   pts_time:" + time +
                "\n[Parsed_ametadata_3 @ 05dc1380] lavfi.astats.2.Peak_level=" + right + "\n";
    return text;
}

} // namespace

TEST(AudioLevels, ReadsThePeaksOfEachFrameAsTheOutputGrows) {
    const std::string progress = "size=      12kB time=00:00:02.00 bitrate=  48.0kbits/s\r";
    const struct {
        const char* name;
        std::vector<std::string> pieces;
        std::string levels; // each measurement's peaks as a meter shows them, "|" between
    } cases[] = {
        {"stereo",
         {Frame(1, "-12.041200", "-11.500000") + Frame(2, "-6.0", "-7.0")},
         "-12.0 -11.5|-6.0 -7.0"},
        // A mono device's frame is complete once the next one begins.
        {"mono", {Frame(1, "-20.0") + Frame(2, "-21.0") + Frame(3, "-22.0")}, "-20.0|-21.0"},
        {"digital silence", {Frame(1, "-inf", "-inf")}, "-99.9 -99.9"},
        {"among progress lines", {progress + Frame(1, "-3.0", "-4.0") + progress}, "-3.0 -4.0"},
        {"split anywhere",
         {Frame(1, "-12.5", "-9.25").substr(0, 70), Frame(1, "-12.5", "-9.25").substr(70)},
         "-12.5 -9.2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LevelScan scan;
        std::string levels;
        for (const std::string& piece : c.pieces) {
            scan.Feed(piece, false);
            for (const Levels& measured : scan.Take())
                levels += (levels.empty() ? "" : "|") + LevelsText(measured);
        }
        EXPECT_EQ(levels, c.levels);
    }
}

TEST(AudioLevels, LevelLinesAreNoLastWordsAndARefusalIsKnown) {
    EXPECT_TRUE(IsLevelLine("[Parsed_ametadata_2 @ 05dc1240] lavfi.astats.1.Peak_level=-12.0"));
    EXPECT_TRUE(IsLevelLine("[Parsed_ametadata_2 @ 05dc1240] frame:12   pts:52920   pts_time:1.2"));
    EXPECT_FALSE(IsLevelLine("rtmp://h/l/s: Broken pipe"));
    EXPECT_TRUE(RejectsLevelFilters("[AVFilterGraph @ 0] No such filter: 'astats'\r\nError "
                                    "initializing complex filters.\r\n"));
    EXPECT_TRUE(RejectsLevelFilters("[AVFilterGraph @ 0] Error parsing filterchain 'x'"));
    EXPECT_FALSE(RejectsLevelFilters("Unknown encoder 'libfdk_aac'"));
    EXPECT_EQ(PeaksOfText("-12.0 -11.5"), (std::vector<double>{-12.0, -11.5}));
    EXPECT_EQ(PeaksOfText(""), std::vector<double>{});
}

TEST(Silence, AnAlarmNeedsTheSilenceTimeAndItsEndTheReturnTime) {
    // One letter per 100 ms measurement: quiet (q, below -50 dBFS), sound (s), a measurement
    // exactly at the threshold (t, sound), a new encoder (n); the outcome marks the alarm (A)
    // and its end (E). Silence time 1 s, return time 0.3 s.
    const struct {
        const char* name;
        std::string measurements, events;
    } cases[] = {
        {"silence long enough", "sqqqqqqqqqqqs", "...........A."},
        {"too short", "qqqqqqqqqss", "..........."},
        {"at the threshold is sound", "qqqqqtqqqqqq", "............"},
        {"sound back for the return time", "qqqqqqqqqqqsssss", "..........A...E."},
        {"sound back too briefly", "qqqqqqqqqqqssqsss", "..........A......"},
        {"hovering around the threshold", "qsqsqsqsqsqsqsqsqsqsqsqs", "........................"},
        // A new encoder starts the count again, but an alarm stays until sound returns.
        {"a new encoder before the alarm", "qqqqqnqqqqqqqqqqq", "................A"},
        {"a new encoder during the alarm", "qqqqqqqqqqqnssss", "..........A....E"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SilenceWatch watch(SilenceRules{-50, 1000, 300});
        std::string events;
        unsigned long ms = 0;
        for (char m : c.measurements) {
            ms += 100;
            if (m == 'n') {
                watch.Restart();
                events += '.';
                continue;
            }
            const double level = m == 'q' ? -60 : m == 't' ? -50 : -12;
            const SilenceWatch::Event event = watch.Measure(level, ms);
            events += event == SilenceWatch::Event::kSilent      ? 'A'
                      : event == SilenceWatch::Event::kSoundBack ? 'E'
                                                                 : '.';
        }
        EXPECT_EQ(events, c.events);
    }
    // How long it lasted: from the first quiet measurement to the first of the sound.
    SilenceWatch watch(SilenceRules{-50, 1000, 300});
    for (unsigned long ms = 100; ms <= 2000; ms += 100)
        watch.Measure(-INFINITY, ms);
    for (unsigned long ms = 2100; ms <= 2400; ms += 100)
        watch.Measure(-12, ms);
    EXPECT_EQ(watch.SilenceLastedMs(), 2000u);
}

TEST(AudioSettings, ValuesAreBroughtIntoRangeAndBadOnesTakeTheirDefaults) {
    const struct {
        const char* name;
        std::string text;
        std::string values; // as the file writes them, "," between
        std::string bad;
    } cases[] = {
        {"as written", FormatAudioSettings(AudioSettings()), "-50,30,3,0,1,0,,42,1024,3600", ""},
        {"every value, CR LF, blanks",
         "silence_threshold_db = -40\r\nsilence_seconds=20\r\nreturn_seconds= 5\r\n"
         "backup_relay=1\r\nmeasure_levels=0\r\nrecord=1\r\nrecord_folder= D:\\录音 1 \r\n"
         "record_days=7\r\nrecord_min_free_mb=2048\r\nrecord_period_seconds=60\r\n",
         "-40,20,5,1,0,1,D:\\录音 1,7,2048,60", ""},
        {"out of range",
         "silence_threshold_db=0\nsilence_seconds=1\nreturn_seconds=100000\n"
         "backup_relay=7\nmeasure_levels=-3\nrecord=2\nrecord_folder=\nrecord_days=0\n"
         "record_min_free_mb=-1\nrecord_period_seconds=99999\n",
         "-20,5,600,1,0,1,,1,0,3600", ""},
        {"missing file or keys", "", "-50,30,3,0,1,0,,42,1024,3600",
         "silence_threshold_db,silence_seconds,return_seconds,backup_relay,measure_levels"},
        {"no numbers",
         "silence_threshold_db=loud\nsilence_seconds=30s\nreturn_seconds=3\n"
         "backup_relay=\nmeasure_levels=1\nunknown=5\nrecord=\nrecord_folder=x\n"
         "record_days=7d\nrecord_min_free_mb=1024\nrecord_period_seconds=3600\n",
         "-50,30,3,0,1,0,x,42,1024,3600",
         "silence_threshold_db,silence_seconds,backup_relay,record,record_days"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> bad;
        const AudioSettings settings = ParseAudioSettings(c.text, bad);
        std::string values = FormatAudioSettings(settings);
        std::string joined;
        for (size_t at = 0; at < values.size();) {
            const size_t end = values.find('\n', at);
            joined += (joined.empty() ? "" : ",") +
                      values.substr(values.find('=', at) + 1, end - values.find('=', at) - 1);
            at = end + 1;
        }
        EXPECT_EQ(joined, c.values);
        std::string bad_keys;
        for (const std::string& key : bad)
            bad_keys += (bad_keys.empty() ? "" : ",") + key;
        EXPECT_EQ(bad_keys, c.bad);
    }
}
