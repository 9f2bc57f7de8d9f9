// The encoder's output as the level meter reads it, and its recorded stream as it is cut into
// frames, each fed in two pieces split anywhere; the same bytes as the settings file's text, and
// as a recording's file name.
#include "FuzzText.h"

#include "live/core/AudioLevels.h"
#include "live/core/Recording.h"
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

std::vector<std::string> Frames(const std::vector<std::string>& pieces) {
    AdtsFrames frames;
    std::vector<std::string> taken;
    std::string frame;
    for (const std::string& piece : pieces) {
        frames.Feed(piece.data(), piece.size());
        while (frames.Next(frame))
            taken.push_back(frame);
    }
    return taken;
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

    Require(Frames({text.substr(0, split), text.substr(split)}) == Frames({text}),
            "where the recorded stream is split changes nothing");
    LocalTime day;
    LocalTime start;
    if (ParseRecordingDayFolder(text.substr(0, 10), day) &&
        ParseRecordingFileName(text, day, start))
        Require(RecordingFileName(start, 1).substr(0, 19) == text.substr(0, 19),
                "a recording's name is the time it is read as");

    std::vector<std::string> bad;
    const AudioSettings settings = ParseAudioSettings(text, bad);
    Require(settings.thresholdDb >= -90 && settings.thresholdDb <= -20 &&
                settings.silenceSeconds >= 5 && settings.silenceSeconds <= 3600 &&
                settings.returnSeconds >= 1 && settings.returnSeconds <= 600 &&
                settings.recordDays >= 1 && settings.recordPeriodSeconds >= 10,
            "every value within its range");
    std::vector<std::string> none;
    Require(Same(ParseAudioSettings(FormatAudioSettings(settings), none), settings) && none.empty(),
            "what is written reads back the same");
    return 0;
}
