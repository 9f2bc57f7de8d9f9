// The encoder's output as the level meter reads it, fed in two pieces split anywhere, and the
// same bytes as the settings file's text.
#include "FuzzText.h"

#include "live/core/AudioLevels.h"
#include "settings/core/AudioSettings.h"

namespace {

std::vector<std::string> Measured(const std::vector<std::string>& pieces) {
    LevelScan scan;
    std::vector<std::string> texts;
    for (const std::string& piece : pieces) {
        scan.Feed(piece, false);
        for (const Levels& levels : scan.Take())
            texts.push_back(LevelsText(levels));
    }
    return texts;
}

bool Same(const AudioSettings& a, const AudioSettings& b) {
    return FormatAudioSettings(a) == FormatAudioSettings(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text = Bytes(data + 1, size - 1);
    const size_t split = data[0] % (text.size() + 1);

    const std::vector<std::string> whole = Measured({text});
    Require(Measured({text.substr(0, split), text.substr(split)}) == whole,
            "where the output is split changes nothing");
    for (const std::string& levels : whole) {
        const size_t channels = PeaksOfText(levels).size();
        Require(channels == 1 || channels == 2, "one or two channels a measurement");
    }

    std::vector<std::string> bad;
    const AudioSettings settings = ParseAudioSettings(text, bad);
    Require(settings.thresholdDb >= -90 && settings.thresholdDb <= -20 &&
                settings.silenceSeconds >= 5 && settings.silenceSeconds <= 3600 &&
                settings.returnSeconds >= 1 && settings.returnSeconds <= 600,
            "every value within its range");
    std::vector<std::string> none;
    Require(Same(ParseAudioSettings(FormatAudioSettings(settings), none), settings) && none.empty(),
            "what is written reads back the same");
    return 0;
}
