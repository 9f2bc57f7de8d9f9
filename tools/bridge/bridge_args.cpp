#include "tools/bridge/bridge_args.h"

#include <algorithm>
#include <cwchar>

namespace bridge {

namespace {

constexpr wchar_t kAudioPrefix[] = L"audio=";
constexpr size_t kAudioPrefixLength = sizeof kAudioPrefix / sizeof kAudioPrefix[0] - 1;

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

const TestTone* FindTone(const std::wstring& name) {
    for (const TestTone& tone : TestTones())
        if (name == tone.name) return &tone;
    return nullptr;
}

// The text's lines without their ends, CR LF or LF.
std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::wstring Join(const std::vector<std::wstring>& arguments) {
    std::wstring text;
    for (const std::wstring& argument : arguments) {
        if (!text.empty()) text += L' ';
        text += QuoteArgument(argument);
    }
    return text;
}

} // namespace

const std::vector<TestTone>& TestTones() {
    // A Chinese name among them: its code page 936 bytes must survive the way through.
    static const std::vector<TestTone> tones = {
        {L"Test Tone 440 Hz", 440},
        {L"测试音 880Hz", 880},
    };
    return tones;
}

std::wstring DeviceListing() {
    const std::wstring tag = L"[dshow @ 0bd1c0de] ";
    std::wstring text = tag +
                        L"DirectShow video devices (some may be both video and audio devices)\r\n" +
                        tag + L"Could not enumerate video devices (or none found).\r\n" + tag +
                        L"DirectShow audio devices\r\n";
    int index = 0;
    for (const TestTone& tone : TestTones()) {
        text += tag + L" \"" + tone.name + L"\"\r\n";
        text += tag +
                L"    Alternative name \"@device_cm_{33D9A762-90C8-11D0-BD43-00A0C911CE86}"
                L"\\tone_" +
                std::to_wstring(++index) + L"\"\r\n";
    }
    return text + L"dummy: Immediate exit requested\r\n";
}

std::wstring Banner(const std::wstring& output) {
    std::vector<std::wstring> lines = Lines(output);
    // Whatever comes before it, a loader's message say, is not the encoder's.
    auto line = std::find_if(lines.begin(), lines.end(), [](const std::wstring& text) {
        return text.rfind(L"ffmpeg version ", 0) == 0;
    });
    std::wstring banner;
    for (; line != lines.end() && (banner.empty() || line->rfind(L"  ", 0) == 0); ++line)
        banner += *line + L"\r\n";
    return banner;
}

Config ParseConfig(const std::wstring& text) {
    Config config;
    std::vector<std::wstring> lines = Lines(text);
    if (!lines.empty()) config.encoder = lines[0];
    for (size_t i = 1; i < lines.size(); ++i)
        if (lines[i] == L"hide_banner")
            config.hide_banner = true;
        else if (lines[i] == L"debug_ts")
            config.debug_ts = true;
    return config;
}

ToneLevel ParseToneLevel(const std::wstring& text) {
    ToneLevel level;
    for (const std::wstring& line : Lines(text)) {
        if (line.rfind(L"level=", 0) != 0) continue;
        const std::wstring value = line.substr(6);
        if (value == L"silent") {
            level.silent = true;
        } else {
            wchar_t* end = nullptr;
            const double db = std::wcstod(value.c_str(), &end);
            if (end != value.c_str()) level.peak_db = db;
        }
    }
    return level;
}

CommandLine ParseCommandLine(const std::wstring& line) {
    CommandLine command;
    size_t end = 0;
    // The program name follows its own rule: no escapes, a quote runs to the next quote.
    if (!line.empty() && line[0] == L'"') {
        end = line.find(L'"', 1);
        end = end == std::wstring::npos ? line.size() : end + 1;
    }
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    command.program = line.substr(0, end);
    command.arguments = SplitArguments(line.substr(end));
    return command;
}

std::vector<std::wstring> SplitArguments(const std::wstring& text) {
    std::vector<std::wstring> arguments;
    size_t i = 0;
    for (;;) {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        if (i == text.size()) return arguments;
        std::wstring argument;
        bool quoted = false;
        while (i < text.size() && (quoted || !IsBlank(text[i]))) {
            if (text[i] == L'\\') {
                size_t backslashes = 0;
                while (i < text.size() && text[i] == L'\\')
                    ++backslashes, ++i;
                if (i < text.size() && text[i] == L'"') {
                    argument.append(backslashes / 2, L'\\');
                    if (backslashes % 2 == 1) argument += text[i++];
                } else {
                    argument.append(backslashes, L'\\');
                }
            } else if (text[i] == L'"') {
                quoted = !quoted;
                ++i;
            } else {
                argument += text[i++];
            }
        }
        arguments.push_back(argument);
    }
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes only need doubling where a quote follows them.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L'"';
}

bool IsListingRun(const CommandLine& command) {
    for (const std::wstring& argument : command.arguments)
        if (argument == L"-list_devices") return true;
    return false;
}

Rewrite RewriteForRealEncoder(const std::wstring& line) {
    CommandLine command = ParseCommandLine(line);
    std::vector<std::wstring>& in = command.arguments;
    std::vector<std::wstring> out;
    bool has_input = false;
    int frequency_hz = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        if (i + 3 < in.size() && in[i] == L"-f" && in[i + 1] == L"dshow" && in[i + 2] == L"-i" &&
            in[i + 3].compare(0, kAudioPrefixLength, kAudioPrefix) == 0) {
            std::wstring device = in[i + 3].substr(kAudioPrefixLength);
            const TestTone* tone = FindTone(device);
            if (tone) frequency_hz = tone->frequency_hz;
            if (!tone)
                return {L"", L"Could not find audio only device with name [" + device +
                                 L"] among source devices of type audio.\r\naudio=" + device +
                                 L": I/O error\r\n"};
            for (const std::wstring& argument : SplitArguments(kPcmInput))
                out.push_back(argument);
            // A small send buffer, so that a stalled network blocks the encoder's writes within
            // a second, as on a studio PC, and not after the 4 MB that a loopback socket under
            // Wine takes (over four minutes at 128 kbit/s).
            out.insert(out.end(), {L"-send_buffer_size", L"16384"});
            has_input = true;
            i += 3;
        } else {
            out.push_back(in[i]);
        }
    }
    if (!has_input) return {L"", L"encoder bridge: no DirectShow audio input to replace\r\n"};
    std::wstring rebuilt = command.program + L' ' + Join(out);
    if (!line.empty() && IsBlank(line.back())) rebuilt += L' ';
    return {rebuilt, L"", frequency_hz};
}

} // namespace bridge
