#include "live/core/EncoderCommand.h"

#include "framework/core/Cp936.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Splits a command line the way the Windows C runtime does, a code page 936 double-byte
// character taken whole.
std::vector<std::string> ParseArgs(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i == line.size()) return args;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (IsCp936DoubleByte(line, i)) {
                arg.append(line, i, 2);
                i += 2;
            } else if (line[i] == '\\') {
                size_t count = 0;
                while (i < line.size() && line[i] == '\\')
                    ++count, ++i;
                if (i < line.size() && line[i] == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(count, '\\');
                }
            } else if (line[i] == '"') {
                quoted = !quoted;
                ++i;
            } else {
                arg += line[i++];
            }
        }
        args.push_back(arg);
    }
}

std::vector<std::string> ExpectedArgs(const std::string& device, const std::string& bitrate,
                                      const std::string& url) {
    return {"-f",          "dshow", "-i",         "audio=" + device,
            "-y",          "-c:a",  "libfdk_aac", "-b:a",
            bitrate + "k", "-f",    "flv",        url};
}

// A long text mixing everything the escaping has to care about.
std::string Tricky(size_t length) {
    const std::string pieces[] = {"a", "\\", "\"", " ", "\t", "誠", "\\\\\"", "直"};
    std::string text;
    for (size_t i = 0; text.size() < length; ++i)
        text += pieces[(i * 7 + i / 3) % 8];
    return text;
}

} // namespace

TEST(EncoderCommand, BuildsExactBytes) {
    const std::string head = " -f dshow -i audio=\"";
    const struct {
        std::string device, bitrate, url, expected;
    } cases[] = {
        {"Line In", "96", "rtmp://h/live/s",
         " -f dshow -i audio=\"Line In\" -y -c:a libfdk_aac -b:a 96k -f flv rtmp://h/live/s "},
        {"Line In", "192", "rtmp://h/live/s",
         " -f dshow -i audio=\"Line In\" -y -c:a libfdk_aac -b:a 192k -f flv rtmp://h/live/s "},
        {"麦克风 (誠)", "96", "rtmp://h/直播/誠",
         head + "麦克风 (誠)\" -y -c:a libfdk_aac -b:a 96k -f flv rtmp://h/直播/誠 "},
        {"誠\"", "96", "u", head + "誠\\\"\" -y -c:a libfdk_aac -b:a 96k -f flv u "},
        {"誠", "96", "u", head + "\xD5\x5C\" -y -c:a libfdk_aac -b:a 96k -f flv u "},
        {"Mic \"Pro\"", "96", "u",
         head + "Mic \\\"Pro\\\"\" -y -c:a libfdk_aac -b:a 96k -f flv u "},
        {"Mic\\", "96", "u", head + "Mic\\\\\" -y -c:a libfdk_aac -b:a 96k -f flv u "},
        {"a\\b\\\"c", "96", "u", head + "a\\b\\\\\\\"c\" -y -c:a libfdk_aac -b:a 96k -f flv u "},
        {"M", "96", "rtmp://h/a/s\\",
         head + "M\" -y -c:a libfdk_aac -b:a 96k -f flv rtmp://h/a/s\\ "},
        {"M", "96", "rtmp://h/a/s\tx\\",
         head + "M\" -y -c:a libfdk_aac -b:a 96k -f flv \"rtmp://h/a/s\tx\\\\\" "},
        {"M", "96", "rtmp://h/a/\"s\"",
         head + "M\" -y -c:a libfdk_aac -b:a 96k -f flv \"rtmp://h/a/\\\"s\\\"\" "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device + " / " + c.url);
        EXPECT_EQ(BuildEncoderArgs(c.device, c.bitrate, c.url, kLibfdkAac), c.expected);
    }
}

TEST(EncoderCommand, TheBuiltInAacEncoderChangesOnlyTheCodec) {
    EXPECT_EQ(BuildEncoderArgs("Line In", "96", "rtmp://h/live/s", kBuiltInAac),
              " -f dshow -i audio=\"Line In\" -y -c:a aac -b:a 96k -f flv rtmp://h/live/s ");
}

TEST(EncoderCommand, LongPlainTextsGoOutWhole) {
    const std::string device(5000, 'd');
    const std::string url = "rtmp://h/a/" + std::string(5000, 's');
    EXPECT_EQ(BuildEncoderArgs(device, "96", url, kLibfdkAac),
              " -f dshow -i audio=\"" + device + "\" -y -c:a libfdk_aac -b:a 96k -f flv " + url +
                  " ");
}

TEST(EncoderCommand, EveryValueStaysOneArgument) {
    const struct {
        std::string device, url;
    } cases[] = {
        {"Line In", "rtmp://h/a/s"},
        {"", "rtmp://h/a/s"},
        {"\"", "rtmp://h/a/\""},
        {"\\", "rtmp://h/a/s\\"},
        {"\\\\", "rtmp://h/a/s\t\\"},
        {"a\\\"b", "rtmp://h/a\\\"/s"},
        {"\\\\\"", "\t"},
        {"a\tb  c", "rtmp://h/a/s\\\\"},
        {"誠\"", "rtmp://h/誠\t誠\""},
        {"誠\\", "rtmp://h/a/誠\\"},
        {"麦克风 \"誠\" \\", "rtmp://h/a/\"\\"},
        {Tricky(5000), "rtmp://h/a/" + Tricky(5000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device.substr(0, 40) + " / " + c.url.substr(0, 40));
        EXPECT_EQ(ParseArgs(BuildEncoderArgs(c.device, "96", c.url, kLibfdkAac)),
                  ExpectedArgs(c.device, "96", c.url));
    }
}

TEST(EncoderCommand, KnowsItsOwnEncoderAmongRunningProcesses) {
    const std::string encoder = "C:\\电台\\Sonafeed\\ffmpeg.exe";
    const struct {
        std::string image, encoder;
        bool ours;
    } cases[] = {
        {encoder, encoder, true},
        {"c:\\电台\\SONAFEED\\FFMPEG.EXE", encoder, true},
        {"\\\\?\\C:\\电台\\Sonafeed\\ffmpeg.exe", encoder, true},
        {"C:\\电台\\Other\\ffmpeg.exe", encoder, false},
        {"C:\\电台\\Sonafeed\\ffmpeg.exe.old", encoder, false},
        // The image path could not be read.
        {"", encoder, false},
        // 0x81 0x41 and 0x81 0x61 are two characters, not one in two cases.
        {"C:\\\x81\x41\\ffmpeg.exe", "C:\\\x81\x61\\ffmpeg.exe", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image);
        EXPECT_EQ(IsEncoderImage(c.image, c.encoder), c.ours);
    }
}

TEST(EncoderCommand, MeasuringAddsOnlyItsFiltersAndTheMonitorPublishesNothing) {
    EXPECT_EQ(
        BuildEncoderArgs("Line In", "48", "rtmp://h/a/s", kBuiltInAac, "astats"),
        " -f dshow -i audio=\"Line In\" -y -af astats -c:a aac -b:a 48k -f flv rtmp://h/a/s ");
    EXPECT_EQ(BuildMonitorArgs("麦克风 \"1\"", "astats"),
              " -f dshow -i audio=\"麦克风 \\\"1\\\"\" -af astats -f null - ");
}

// The tee muxer's reading of its outputs: split at bars, a backslash taking the next character
// as it is, quotes left out; code page 936 characters whole, as the encoder gets them as Unicode.
std::vector<std::string> TeeOutputs(const std::string& list) {
    std::vector<std::string> outputs(1);
    bool quoted = false;
    for (size_t i = 0; i < list.size(); ++i) {
        if (IsCp936DoubleByte(list, i)) {
            outputs.back().append(list, i++, 2);
        } else if (list[i] == '\\' && !quoted && i + 1 < list.size()) {
            outputs.back() += list[++i];
        } else if (list[i] == '\'') {
            quoted = !quoted;
        } else if (list[i] == '|' && !quoted) {
            outputs.emplace_back();
        } else {
            outputs.back() += list[i];
        }
    }
    return outputs;
}

TEST(EncoderCommand, RecordingTeesTheOneEncodingToTheAddressAndTheLoopback) {
    EXPECT_EQ(BuildEncoderArgs("Line In", "48", "rtmp://h/a/s", kBuiltInAac, "astats", 50123),
              " -f dshow -i audio=\"Line In\" -y -af astats -map 0:a -flags +global_header -c:a "
              "aac -b:a 48k -f tee \"[f=flv]rtmp://h/a/s|[f=adts:onfail=ignore]"
              "udp://127.0.0.1:50123\" ");
    for (const char* url : {"rtmp://h/a/s?k=a|b'c\\d", "rtmp://h/誠\\\"'|直"}) {
        const auto args = ParseArgs(BuildEncoderArgs("Line In", "96", url, kLibfdkAac, nullptr, 7));
        ASSERT_EQ(args.size(), 16u);
        EXPECT_EQ(TeeOutputs(args.back()),
                  (std::vector<std::string>{"[f=flv]" + std::string(url),
                                            "[f=adts:onfail=ignore]udp://127.0.0.1:7"}));
    }
}
