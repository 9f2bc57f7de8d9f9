#include "devices/core/DeviceListParser.h"

#include <gtest/gtest.h>

namespace {

std::string Describe(const DeviceListParse& p) {
    std::string text = "reset=" + std::to_string(p.listReset) +
                       " fill=" + std::to_string(p.fillBox) +
                       " restarts=" + std::to_string(p.searchRestarts) + " names=[";
    for (size_t i = 0; i < p.names.size(); ++i) {
        text += (i ? "|" : "") + p.names[i];
        // The alternative name, where there is one.
        if (i < p.alternatives.size() && !p.alternatives[i].empty())
            text += "=" + p.alternatives[i];
    }
    if (p.alternatives.size() != p.names.size()) text += " (alternatives out of step)";
    return text + "]";
}

struct Case {
    const char* what;
    std::vector<std::string> lines;
    bool listingComplete;
    std::string expected;
};

const char kUnchanged[] = "reset=0 fill=0 restarts=0 names=[]";

const std::string kStart = "[dshow @ 02c8e1a0] DirectShow audio devices";
const std::string kEnd = "dummy: Immediate exit requested";
const std::string kAlt =
    "[dshow @ 02c8e1a0]  Alternative name \"@device_cm_{33D9A762}\\wave_{9A}\"";

// Listing from newer builds: prefixed device lines with their types, no section headers.
const std::string kNewMic = "[dshow @ 0000020290e46d00] \"Mic Array (Tessaly HD Audio)\" (audio)";
const std::string kNewCam = "[dshow @ 0000020290e46d00] \"Cam Vexo 2\" (video)";
const std::string kNewBoth = "[dshow @ 0000020290e46d00] \"Capture \"X\" (2)\" (audio, video)";
const std::string kNewNone = "[dshow @ 0000020290e46d00] \"Virtual\" (none)";
const std::string kNewAlt =
    "[dshow @ 0000020290e46d00]   Alternative name \"@device_cm_{33D9A762}\\wave_{9A}\"";
const std::string kNewEnd =
    "[in#0 @ 000001d8a1c2e3f0] Error opening input: Immediate exit requested";

const Case kCases[] = {
    {"worked example",
     {"ffmpeg version N-1 Copyright (c) 2000-2024", "[dshow @ 02c8e1a0] DirectShow video devices",
      "[dshow @ 02c8e1a0]  \"Cam Vexo 2\"", kStart,
      "[dshow @ 02c8e1a0]  \"Mic Array (Tessaly HD Audio)\"", kAlt,
      "[dshow @ 02c8e1a0]  \"Line In (Orvane USB)\"", kAlt, kEnd, "  \"After End\""},
     true,
     "reset=1 fill=1 restarts=0 names=[Mic Array (Tessaly HD "
     "Audio)=@device_cm_{33D9A762}\\wave_{9A}|Line In (Orvane "
     "USB)=@device_cm_{33D9A762}\\wave_{9A}]"},
    {"quotes inside names, trimmed of nothing",
     {kStart, "  \"Mic \"Pro\" X \"", "\"\"A\"\"", kEnd},
     true,
     "reset=1 fill=1 restarts=0 names=[Mic \"Pro\" X |\"A\"]"},
    {"a single quote after a name is ignored",
     {kStart, "  \"Mic\"", "  \"broken", kEnd},
     true,
     "reset=1 fill=1 restarts=0 names=[Mic]"},
    {"adjacent quotes give an empty name",
     {kStart, "\"\"", "\"B\"", kEnd},
     true,
     "reset=1 fill=1 restarts=0 names=[|B]"},
    {"second start mark after a name is an ordinary line",
     {kStart, "\"A\"", kStart, "\"B\"", kEnd},
     true,
     "reset=1 fill=1 restarts=0 names=[A|B]"},
    {"second start mark directly after the first restarts the search",
     {kStart, kStart, "\"A\"", kStart, "\"B\"", kEnd},
     true,
     "reset=1 fill=1 restarts=1 names=[B]"},
    {"no end mark", {kStart, "\"A\"", "\"B\""}, true, "reset=1 fill=0 restarts=0 names=[A|B]"},
    {"duplicate names are kept",
     {kStart, "\"A\"", "\"A\"", kEnd},
     true,
     "reset=1 fill=1 restarts=0 names=[A|A]"},
    {"Chinese names, one with a 0x5C trail byte",
     {kStart, "  \"麦克风 (誠音频)\"", "  \"線路輸入\\\"", kEnd},
     true,
     "reset=1 fill=1 restarts=0 names=[麦克风 (誠音频)|線路輸入\\]"},
    {"quote-less line after the start mark, no further mark",
     {kStart, "[dshow @ 02c8e1a0] Could not enumerate audio only devices (or none found).", "\"A\"",
      kEnd},
     true,
     "reset=1 fill=0 restarts=1 names=[]"},
    {"quote-less line after the start mark, then another mark",
     {kStart, "nothing here", "\"Ignored\"", kStart, "\"A\"", kEnd},
     true,
     "reset=1 fill=1 restarts=1 names=[A]"},
    {"start mark directly followed by end mark",
     {kStart, kEnd, "\"A\""},
     true,
     "reset=1 fill=1 restarts=0 names=[]"},
    {"alternative names are skipped, even as the first line",
     {kStart, kAlt, "\"A\"", kEnd},
     true,
     "reset=1 fill=1 restarts=0 names=[A]"},
    {"empty listing", {}, true, kUnchanged},
    {"garbage", {"", "\"", "random \"quoted\" text", kEnd}, true, kUnchanged},
    {"start mark wins over new-format lines",
     {kNewMic, kStart, "\"A\"", kNewEnd},
     false,
     "reset=1 fill=0 restarts=0 names=[A]"},
    {"newer format ending in an error line",
     {"ffmpeg version 7.1", kNewCam, kNewAlt, kNewMic, kNewAlt, kNewBoth, kNewAlt, kNewNone,
      kNewAlt, kNewEnd, "[dshow @ 01] \"After\" (audio)"},
     false,
     "reset=1 fill=1 restarts=0 names=[Mic Array (Tessaly HD "
     "Audio)=@device_cm_{33D9A762}\\wave_{9A}|Capture \"X\" "
     "(2)=@device_cm_{33D9A762}\\wave_{9A}]"},
    {"newer format ending in the dummy line",
     {kNewMic, kNewAlt, kEnd},
     false,
     "reset=1 fill=1 restarts=0 names=[Mic Array (Tessaly HD "
     "Audio)=@device_cm_{33D9A762}\\wave_{9A}]"},
    {"newer format without end line, tool exited",
     {kNewCam, kNewMic, kNewAlt},
     true,
     "reset=1 fill=1 restarts=0 names=[Mic Array (Tessaly HD "
     "Audio)=@device_cm_{33D9A762}\\wave_{9A}]"},
    {"newer format without end line, cut short", {kNewCam, kNewMic, kNewAlt}, false, kUnchanged},
    {"newer format with video devices only",
     {kNewCam, kNewAlt, kNewNone, kNewEnd},
     true,
     kUnchanged},
    {"newer format audio device only after the end line",
     {kNewCam, kNewEnd, kNewMic},
     true,
     kUnchanged},
    {"newer format needs the type list right after the name",
     {"[dshow @ 01] \"A\"  (audio)", "[dshow @ 01] \"B\" x (audio)", "[dshow @ 01] \"C\" (audio",
      "[dshow @ 01] \"D\" (video) (audio)", "[dshow @ 01] \"E\" (Audio)", kNewEnd},
     true,
     kUnchanged},
    {"newer format Chinese name with a 0x5C trail byte",
     {"[dshow @ 01] \"麦克风 (誠)\" (audio)", kNewAlt, kNewEnd},
     true,
     "reset=1 fill=1 restarts=0 names=[麦克风 (誠)=@device_cm_{33D9A762}\\wave_{9A}]"},
};

} // namespace

TEST(DeviceListParser, ParsesListings) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Describe(ParseDeviceLines(c.lines, c.listingComplete)), c.expected);
    }
}

TEST(DeviceListParser, CarriageReturnsAtLineEndsChangeNothing) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> lines = c.lines;
        for (std::string& line : lines)
            line += '\r';
        EXPECT_EQ(Describe(ParseDeviceLines(lines, c.listingComplete)), c.expected);
    }
}

TEST(DeviceListParser, ANameCodePage936CannotSpellGoesToTheEncoderByItsAlternative) {
    const std::string alternative = "@device_cm_{33D9A762}\\wave_{9A}";
    const struct {
        std::string shown, alternative, opened;
    } cases[] = {
        {"Microphone Array (Intel? Smart Sound)", alternative, alternative},
        {"??? ???", alternative, alternative},
        {"麦克风 (Tessaly HD Audio)", alternative, "麦克风 (Tessaly HD Audio)"},
        {"Line In?", "", "Line In?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(EncoderDeviceName(c.shown, c.alternative), c.opened);
    }
}
