// A whole config.db as bytes: loading, saving and loading again must give the same settings.
#include "FuzzText.h"

#include "settings/core/ConfigLines.h"
#include "tests/e2e/support/TextMode.h"

#include <climits>
#include <cstdlib>

namespace {

constexpr int kConfigLines = 8;

// Like the program's start-up: up to eight lines, missing ones keep the defaults.
ConfigValues Load(const std::string& file) {
    ConfigValues values;
    const std::vector<std::string> lines = ReadTextModeLines(file);
    for (int number = 1; number <= kConfigLines && number <= static_cast<int>(lines.size());
         ++number) {
        std::string line = lines[number - 1];
        if (number == 1) SkipByteOrderMark(line);
        CleanConfigLine(line);
        ApplyConfigLine(number, line, values);
    }
    return values;
}

bool Same(const ConfigValues& a, const ConfigValues& b) {
    return a.deviceIndex == b.deviceIndex && a.publishUrl == b.publishUrl &&
           a.minToTray == b.minToTray && a.bitrateIndex == b.bitrateIndex &&
           a.pullUrl == b.pullUrl && a.accessKey == b.accessKey && a.accessId == b.accessId &&
           a.autoPull == b.autoPull;
}

bool CleanText(const std::string& text) {
    return text.find_first_of(std::string(" \r\n\x1A", 4)) == std::string::npos;
}

// Saturating atoi through the C library, which stops at the first NUL as atoi does.
int ReferenceToInt(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = Bytes(data, size);

    const std::vector<std::string> lines = ReadTextModeLines(file);
    if (!lines.empty()) {
        Require(ConfigLineToInt(lines[0]) == ReferenceToInt(lines[0]),
                "ConfigLineToInt agrees with a saturating atoi");
    }

    const ConfigValues loaded = Load(file);
    for (const std::string* text :
         {&loaded.publishUrl, &loaded.pullUrl, &loaded.accessKey, &loaded.accessId}) {
        Require(CleanText(*text), "loaded texts hold no blank, CR, LF or Ctrl-Z");
    }

    const std::string saved = FormatConfig(loaded);
    Require(ReadTextModeLines(saved).size() == kConfigLines, "the saved file has eight lines");
    Require(saved.size() >= 2 && saved.compare(saved.size() - 2, 2, "\r\n") == 0,
            "the saved file ends with CR LF");

    // What the text-mode stream writes (CR CR LF), and the bytes as formatted.
    Require(Same(Load(e2e::TextModeWrite(saved)), loaded), "a saved file loads the same settings");
    Require(Same(Load(saved), loaded), "the formatted text loads the same settings");
    Require(FormatConfig(Load(e2e::TextModeWrite(saved))) == saved, "saving again changes nothing");
    return 0;
}
