#include "tools/bridge/bridge_args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using bridge::QuoteArgument;
using bridge::RewriteForRealEncoder;
using bridge::SplitArguments;

struct RewriteCase {
    const wchar_t* in;
    const wchar_t* out;
    int frequency_hz;
};

TEST(BridgeRewrite, SwapsTheCaptureInputKeepingEverythingElse) {
    const RewriteCase cases[] = {
        // Exactly as Sonafeed writes it: leading and trailing blank, no program name.
        {L" -f dshow -i audio=\"Test Tone 440 Hz\" -y -c:a libfdk_aac -b:a 48k -f flv "
         L"rtmp://127.0.0.1/live/radio ",
         L" -probesize 32 -analyzeduration 0 -f s16le -ar 44100 -ac 2 -i pipe:0 -send_buffer_size "
         L"16384 -y -c:a libfdk_aac -b:a 48k "
         L"-f flv "
         L"rtmp://127.0.0.1/live/radio ",
         440},
        {L" -f dshow -i audio=\"测试音 880Hz\" -y -c:a libfdk_aac -b:a 128k -f flv rtmp://h/a/s ",
         L" -probesize 32 -analyzeduration 0 -f s16le -ar 44100 -ac 2 -i pipe:0 -send_buffer_size "
         L"16384 -y -c:a libfdk_aac -b:a "
         L"128k -f flv "
         L"rtmp://h/a/s ",
         880},
        // An address with a tab comes quoted and must stay one argument.
        {L" -f dshow -i audio=\"Test Tone 440 Hz\" -c:a aac -f flv \"rtmp://h/a/s\tx\" ",
         L" -probesize 32 -analyzeduration 0 -f s16le -ar 44100 -ac 2 -i pipe:0 -send_buffer_size "
         L"16384 -c:a aac -f flv "
         L"\"rtmp://h/a/s\tx\" ",
         440},
        // Started by hand: the program name is kept as written, quotes and all.
        {L"\"C:\\Program Files\\ffmpeg.exe\" -f dshow -i \"audio=Test Tone 440 Hz\" -f flv o",
         L"\"C:\\Program Files\\ffmpeg.exe\" -probesize 32 -analyzeduration 0 -f s16le -ar 44100 "
         L"-ac 2 -i pipe:0 -send_buffer_size "
         L"16384 -f flv "
         L"o",
         440},
        // Filters stay where they are.
        {L" -f dshow -i audio=\"Test Tone 440 Hz\" -y -af astats -c:a aac -f flv o ",
         L" -probesize 32 -analyzeduration 0 -f s16le -ar 44100 -ac 2 -i pipe:0 -send_buffer_size "
         L"16384 -y -af astats -c:a aac -f "
         L"flv o ",
         440},
    };
    for (const RewriteCase& c : cases) {
        bridge::Rewrite rewrite = RewriteForRealEncoder(c.in);
        EXPECT_EQ(rewrite.command_line, c.out) << "from " << testing::PrintToString(c.in);
        EXPECT_EQ(rewrite.frequency_hz, c.frequency_hz);
        EXPECT_EQ(rewrite.error, L"");
    }
}

TEST(BridgeRewrite, TheToneLevelComesFromTheControlFile) {
    const struct {
        const wchar_t* text;
        bool silent;
        double peak_db;
    } cases[] = {
        {L"", false, -12},
        {L"level=-45\r\n", false, -45},
        {L"level=silent\n", true, -12},
        {L"level=loud\n", false, -12},
        {L"x\nlevel=-6.5", false, -6.5},
    };
    for (const auto& c : cases) {
        const bridge::ToneLevel level = bridge::ParseToneLevel(c.text);
        EXPECT_EQ(level.silent, c.silent) << testing::PrintToString(c.text);
        EXPECT_EQ(level.peak_db, c.peak_db) << testing::PrintToString(c.text);
    }
}

TEST(BridgeRewrite, RefusesWhatItCannotPublish) {
    const wchar_t* const cases[] = {
        L" -f dshow -i audio=\"No Such Card\" -c:a libfdk_aac -f flv rtmp://h/a/s ",
        L" -f dshow -i video=\"Test Tone 440 Hz\" -f flv rtmp://h/a/s ",
        L" -i in.wav -c:a libfdk_aac -f flv rtmp://h/a/s ",
        L"",
    };
    for (const wchar_t* line : cases) {
        bridge::Rewrite rewrite = RewriteForRealEncoder(line);
        EXPECT_EQ(rewrite.command_line, L"") << testing::PrintToString(line);
        EXPECT_NE(rewrite.error, L"");
    }
    EXPECT_NE(RewriteForRealEncoder(L" -f dshow -i audio=\"No Such Card\" -f flv x")
                  .error.find(L"No Such Card"),
              std::wstring::npos);
}

TEST(BridgeArguments, SplitFollowsTheRuntimeRules) {
    struct Case {
        const wchar_t* text;
        std::vector<std::wstring> arguments;
    };
    const Case cases[] = {
        {L"\"abc\" d e", {L"abc", L"d", L"e"}},
        {L"a\\\\\\b d\"e f\"g h", {L"a\\\\\\b", L"de fg", L"h"}},
        {L"a\\\\\\\"b c d", {L"a\\\"b", L"c", L"d"}},
        {L"a\\\\\\\\\"b c\" d e", {L"a\\\\b c", L"d", L"e"}},
        {L" \t x\t\"\" ", {L"x", L""}},
        {L"audio=\"测试 音\"", {L"audio=测试 音"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitArguments(c.text), c.arguments) << testing::PrintToString(c.text);
}

TEST(BridgeArguments, QuotingRoundTrips) {
    const std::vector<std::wstring> arguments = {
        L"plain", L"", L"a b", L"a\"b", L"a\\\\b", L"trail\\", L"\\\"", L"t\tab", L"测试 \\\" 音\\",
    };
    std::wstring line;
    for (const std::wstring& argument : arguments) {
        EXPECT_EQ(SplitArguments(QuoteArgument(argument)), std::vector<std::wstring>{argument})
            << testing::PrintToString(argument);
        line += QuoteArgument(argument) + L" ";
    }
    EXPECT_EQ(SplitArguments(line), arguments);
    EXPECT_EQ(QuoteArgument(L"rtmp://h/a/s"), L"rtmp://h/a/s");
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L"\r\n", start);
        EXPECT_NE(end, std::wstring::npos) << "every line ends in CR LF";
        if (end == std::wstring::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(BridgeListing, ClassicFormatWithEveryTone) {
    EXPECT_TRUE(
        bridge::IsListingRun(bridge::ParseCommandLine(L" -list_devices true -f dshow -i dummy ")));
    EXPECT_FALSE(bridge::IsListingRun(
        bridge::ParseCommandLine(L" -f dshow -i audio=\"-list_devices\" -f flv x ")));

    std::vector<std::wstring> lines = Lines(bridge::DeviceListing());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), L"dummy: Immediate exit requested");
    size_t at = 0;
    while (at < lines.size() && lines[at].find(L"DirectShow audio devices") == std::wstring::npos)
        ++at;
    ASSERT_LT(at, lines.size());
    for (const bridge::TestTone& tone : bridge::TestTones()) {
        ASSERT_LT(at + 2, lines.size());
        const std::wstring& name = lines[++at];
        EXPECT_EQ(name.substr(name.find(L'"')), L"\"" + std::wstring(tone.name) + L"\"");
        EXPECT_NE(lines[++at].find(L"@device_"), std::wstring::npos);
    }
    EXPECT_EQ(at + 2, lines.size());
    EXPECT_GE(bridge::TestTones().size(), 2u);
}

TEST(BridgeListing, TakesOnlyTheBannerFromTheRealEncodersOutput) {
    const std::wstring banner = L"ffmpeg version N-1 Copyright (c) 2000-2018\r\n"
                                L"  built with gcc 8.2.1\r\n"
                                L"  configuration: --enable-gpl --enable-libmp3lame\r\n"
                                L"  libavutil      56. 24.101 / 56. 24.101\r\n";
    const std::wstring usage = L"Hyper fast Audio and Video encoder\r\n"
                               L"usage: ffmpeg [options] [[infile options] -i infile]...\r\n\r\n"
                               L"  -h  help\r\n";
    struct Case {
        std::wstring output;
        std::wstring banner;
    };
    std::wstring lf_only = banner + usage;
    for (size_t at; (at = lf_only.find(L"\r\n")) != std::wstring::npos;)
        lf_only.erase(at, 1);
    const Case cases[] = {
        {banner + usage, banner},
        {lf_only, banner},
        {L"err:module:import_dll Library x.dll not found\r\n" + banner + usage, banner},
        {banner.substr(0, banner.size() - 2), banner},
        {usage, L""},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(bridge::Banner(c.output), c.banner) << testing::PrintToString(c.output);
}

} // namespace
