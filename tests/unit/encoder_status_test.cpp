#include "live/EncoderStatus.h"

#include <gtest/gtest.h>

#include <string>

TEST(EncoderStatus, LastLineOfTheTail) {
    // u8: the bytes stay UTF-8, as the encoder writes them.
    const std::string device = u8"麦克风";
    // A window that starts inside the device name: its first character lost one, then two bytes.
    const std::string cut_once = device.substr(1);
    const std::string cut_twice = device.substr(2);
    const struct {
        std::string tail, line;
    } cases[] = {
        {"", ""},
        {"\r\n\r\n  \r", ""},
        {"one line", "one line"},
        {"first\nlast\n", "last"},
        {"first\r\nlast\r\n", "last"},
        // Progress lines end in CR, padded with blanks.
        {"size=1kB time=00:00:01.00 \rsize=2kB time=00:00:02.00    \r",
         "size=2kB time=00:00:02.00"},
        {"size=1kB \rUnknown encoder 'libfdk_aac'\r\n", "Unknown encoder 'libfdk_aac'"},
        {"error\r\n\r\n\n  \t\r", "error"},
        {"a\rb\nc", "c"},
        {"  indented\t", "indented"},
        {cut_once + ": I/O error\r\n", u8"克风: I/O error"},
        {cut_twice + ": I/O error\r\n", u8"克风: I/O error"},
        {"earlier\n" + cut_once + " end", u8"克风 end"},
        // Only continuation bytes: nothing is left to log.
        {cut_once.substr(0, 2) + "\r\n", ""},
        {"audio=" + device + ": I/O error", "audio=" + device + ": I/O error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        EXPECT_EQ(LastStatusLine(c.tail), c.line);
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
