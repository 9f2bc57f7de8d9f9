// The encoder bridge's command-line work, free of Win32 calls so that it can be tested on its
// own. Wide strings throughout, as GetCommandLineW delivers them. Arguments are split and
// rebuilt with the C runtime's rules: blanks separate outside double quotes; 2n backslashes
// before a quote stand for n and the quote opens or closes quoting, 2n+1 stand for n and a
// literal quote; other backslashes are literal.
#pragma once

#include <string>
#include <vector>

namespace bridge {

struct TestTone {
    const wchar_t* name; // as listed, and as the capture input names it
    int frequency_hz;
};

// The capture devices the bridge offers, in listing order.
const std::vector<TestTone>& TestTones();

// The device listing in the encoder's classic format (section headers, one quoted name per
// line, each followed by its alternative name), lines ending in CR LF.
std::wstring DeviceListing();

// The banner that the encoder prints first in every run ("ffmpeg version ..." and the indented
// lines after it: "  built with", "  configuration:", "  libavutil ..."), cut out of a run's
// output, lines ending in CR LF; empty when the output holds none. The listing starts with the
// real encoder's banner, from which Sonafeed learns how that encoder was built.
std::wstring Banner(const std::wstring& output);

// bridge.txt beside the bridge: the real encoder's path on the first line; a later line
// "hide_banner" leaves the banner out of the listing, as the encoder's -hide_banner does, so
// that Sonafeed learns nothing about the encoder before it first starts it; a line "debug_ts"
// makes the real encoder print a line for every packet (its -debug_ts), for a fast-growing
// status file.
struct Config {
    std::wstring encoder; // empty when there is none
    bool hide_banner = false;
    bool debug_ts = false;
};

Config ParseConfig(const std::wstring& text);

struct CommandLine {
    // The program name as written, quotes included; empty when the line starts with a blank.
    std::wstring program;
    std::vector<std::wstring> arguments;
};

CommandLine ParseCommandLine(const std::wstring& line);
std::vector<std::wstring> SplitArguments(const std::wstring& text);
std::wstring QuoteArgument(const std::wstring& argument);

bool IsListingRun(const CommandLine& command);

// What replaces a capture device for the real encoder: raw 16-bit stereo at 44.1 kHz on its
// standard input, which the bridge feeds in real time with the device's tone.
// The stream's parameters are given, so nothing is probed: probing would wait for seconds of
// audio that comes in real time.
inline constexpr wchar_t kPcmInput[] =
    L"-probesize 32 -analyzeduration 0 -f s16le -ar 44100 -ac 2 -i pipe:0";

struct Rewrite {
    std::wstring command_line; // empty on failure
    std::wstring error;        // what the encoder would print in that case
    int frequency_hz = 0;      // the tone of the device asked for
};

// The real encoder's command line: `-f dshow -i audio=<device>` becomes kPcmInput with a small
// send buffer; everything else, the codec and any filters included, keeps its order and value,
// and the leading and trailing blanks of `line` are kept. An encoder without libfdk_aac refuses
// it as it would refuse Sonafeed's own command line.
Rewrite RewriteForRealEncoder(const std::wstring& line);

// The level of the tone that bridge-audio.txt names ("level=-12", the tone's peak in dBFS over a
// faint hiss, or "level=silent", nothing at all); the default -12 for anything else.
struct ToneLevel {
    bool silent = false;
    double peak_db = -12;
};
ToneLevel ParseToneLevel(const std::wstring& text);

} // namespace bridge
