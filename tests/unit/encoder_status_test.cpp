#include "live/core/EncoderStatus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(EncoderStatus, LastLineOfTheTail) {
    // u8: the bytes stay UTF-8, as the encoder writes them.
    const std::string device = u8"麦克风";
    const std::string progress = "size=2kB time=00:00:02.00 bitrate=  8.0kbits/s speed=   1x    \r";
    const struct {
        std::string tail, line;
        bool cut = false; // the tail starts inside the file
    } cases[] = {
        {"", ""},
        {"\r\n\r\n  \r", ""},
        {"one line", "one line"},
        {"first\nlast\n", "last"},
        {"first\r\nlast\r\n", "last"},
        // Progress lines end in CR, padded with blanks, and say nothing of why the encoder ended.
        {"size=1kB time=00:00:01.00 \r" + progress, ""},
        {"Stream mapping:\r\n" + progress + "frame=9 fps=25 time=00:00:02.00 \r",
         "Stream mapping:"},
        {"size=1kB \rUnknown encoder 'libfdk_aac'\r\n", "Unknown encoder 'libfdk_aac'"},
        {"error\r\n\r\n\n  \t\r", "error"},
        {"a\rb\nc", "c"},
        {"  indented\t", "indented"},
        {"audio=" + device + ": I/O error", "audio=" + device + ": I/O error"},
        // A tail that starts inside the file: its first line is a fragment, even of a progress
        // line, or of a character.
        {"0:11.50 bitrate=  48.0kbits/s speed=   1x    \r" + progress, "", true},
        {device.substr(1) + ": I/O error\r\n", "", true},
        {"ing run 1\r\n" + progress, "", true},
        {"ing run 1\r\nUnknown encoder 'libfdk_aac'\r\n" + progress, "Unknown encoder 'libfdk_aac'",
         true},
        {"publishing run 1\r\n" + progress, "publishing run 1"},
        // The measuring filters' lines say nothing of why it ended either.
        {"Broken pipe\r\n[Parsed_ametadata_2 @ 0] frame:9   pts:39690   pts_time:0.9\r\n"
         "[Parsed_ametadata_2 @ 0] lavfi.astats.1.Peak_level=-12.0\r\n" +
             progress,
         "Broken pipe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        EXPECT_EQ(LastStatusLine(c.tail, c.cut), c.line);
    }
}

TEST(EncoderStatus, FindsTheFirstProgressLineAsTheOutputGrows) {
    const std::string banner = "ffmpeg version 4.1\r\n" + std::string(6000, 'b') + "\r\n";
    const std::string progress = "size=1kB time=00:00:01.00 bitrate=8k\r";
    constexpr long long kNone = -1;
    // Pieces fed in turn, each at the end of the ones before, or at `skip_to` when it is set.
    struct Piece {
        std::string bytes;
        unsigned long long skip_to = ~0ull;
    };
    const struct {
        const char* name;
        std::vector<Piece> pieces;
        long long first_at;
    } cases[] = {
        {"after a line", {{"Output #0, flv\r\n" + progress}}, 16},
        {"indented video progress", {{"  frame=9 fps=25 time=00:00:02.00 \r"}}, 2},
        {"connecting: none yet", {{"Output #0, flv, to 'rtmp://h/l/s':\r\n"}}, kNone},
        {"time= on another line", {{"size=1kB\r\nthe time=now\r\n"}}, kNone},
        // A banner larger than any tail that is read back is no progress.
        {"a long banner", {{banner}}, kNone},
        {"a long banner, then progress", {{banner}, {progress}}, 6022},
        {"split inside the line", {{"x\nsize=1kB ti"}, {"me=00:00:01.00\r"}}, 2},
        {"split before its line end", {{"x\r"}, {"\n"}, {progress}}, 3},
        {"not yet ended", {{"x\n" + progress.substr(0, 30)}}, 2},
        // Bytes skipped: the line they end in is a fragment, the next one counts.
        {"fragment after a skip",
         {{"x\n"}, {progress, 50}, {progress}},
         50 + static_cast<long long>(progress.size())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgressScan scan;
        unsigned long long offset = 0;
        for (const Piece& piece : c.pieces) {
            if (piece.skip_to != ~0ull) offset = piece.skip_to;
            scan.Feed(piece.bytes, offset);
            offset += piece.bytes.size();
        }
        EXPECT_EQ(scan.Seen() ? static_cast<long long>(scan.FirstAt()) : kNone, c.first_at);
    }
}

TEST(EncoderStatus, KnowsWhenTheEncoderLacksLibfdkAac) {
    const struct {
        std::string tail;
        bool lacks;
    } cases[] = {
        {"Unknown encoder 'libfdk_aac'\r\n", true},
        // A newer build goes on after saying so.
        {"[aost#0:0 @ 0] Unknown encoder 'libfdk_aac'\n[aost#0:0 @ 0] Error selecting an "
         "encoder\nError opening output files: Encoder not found\n",
         true},
        {"Unknown encoder 'aac'\r\n", false},
        {"Unknown encoder 'libfdk_aacx'\r\n", false},
        {"libfdk_aac\r\n", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        EXPECT_EQ(LacksLibfdkAac(c.tail), c.lacks);
    }
}

TEST(EncoderStatus, ReadsLibfdkAacFromTheBanner) {
    const std::string head = "ffmpeg version 4.1 Copyright (c) 2000-2018 the FFmpeg developers\r\n"
                             "  built with gcc 8.2.1 (GCC) 20181201\r\n";
    const std::string tail = "  libavutil      56. 22.100 / 56. 22.100\r\n"
                             "[dshow @ 02d3e720] DirectShow audio devices\r\n";
    const struct {
        std::string output;
        LibfdkAac found;
    } cases[] = {
        {head + "  configuration: --enable-gpl --enable-libfdk-aac --enable-nonfree\r\n" + tail,
         LibfdkAac::kPresent},
        {head + "  configuration: --enable-gpl --enable-libfdk-aac\r\n" + tail,
         LibfdkAac::kPresent},
        {head + "  configuration: --enable-libfdk-aac\n", LibfdkAac::kPresent},
        {head + "  configuration: --enable-gpl --enable-libmp3lame\r\n" + tail, LibfdkAac::kAbsent},
        {head + "  configuration: --disable-libfdk-aac --enable-libfdk-aacx\r\n" + tail,
         LibfdkAac::kAbsent},
        {head + "  configuration:\r\n" + tail, LibfdkAac::kAbsent},
        // The option named on a later line is not the configuration's.
        {head + "  configuration: --enable-gpl\r\n--enable-libfdk-aac\r\n" + tail,
         LibfdkAac::kAbsent},
        {head + tail, LibfdkAac::kUnknown},
        {tail, LibfdkAac::kUnknown},
        {"", LibfdkAac::kUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        EXPECT_EQ(LibfdkAacInBanner(c.output), c.found);
    }
}
