// The levels that the encoder measures of the audio it sends, with its own filters: each ~100 ms
// the peak of every channel in dBFS, printed into its status output beside its other lines.
#pragma once

#include <string>
#include <vector>

// The encoder's filters for that: a copy of the audio is cut into frames of 4410 samples (100 ms
// at 44.1 kHz), the peak of channels 1 and 2 printed for each, and dropped. The audio sent keeps
// its own frames, and cutting only the copy costs a fraction of cutting what is encoded.
inline constexpr char kLevelFilters[] = "asplit=2[out][m];[m]asetnsamples=n=4410:p=0,"
                                        "astats=metadata=1:reset=1,"
                                        "ametadata=mode=print:key=lavfi.astats.1.Peak_level,"
                                        "ametadata=mode=print:key=lavfi.astats.2.Peak_level,"
                                        "anullsink";

// One measurement: the peak of each channel (one or two), in dBFS; -inf for digital silence.
struct Levels {
    double seconds = 0; // the encoder's own time of the audio measured
    std::vector<double> peaksDb;
    // The loudest channel's peak.
    double Loudest() const;
};

// True for the lines the measuring filters print, which say nothing of why the encoder ended.
bool IsLevelLine(const std::string& line);

// True when the encoder refused the measuring filters, as a build without them does.
bool RejectsLevelFilters(const std::string& tail);

// Reads the levels out of the encoder's output as it grows, fed piece by piece.
class LevelScan {
  public:
    void Reset() { *this = LevelScan(); }
    // Takes the next bytes of the output; those before were fed already, or were skipped.
    void Feed(const std::string& bytes, bool skipped);
    // The measurements completed since the last call, oldest first.
    std::vector<Levels> Take();

  private:
    void TakeLine(const std::string& line);
    void Complete();

    std::string m_strLine;
    Levels m_pending;
    std::vector<Levels> m_complete;
};

// The text a level meter shows, and reads back: "-12.0 -11.5" (one figure a channel, dBFS, at
// least -99.9), empty for no measurement.
std::string LevelsText(const Levels& levels);
// The peaks in a meter's text; empty when it holds none.
std::vector<double> PeaksOfText(const std::string& text);
