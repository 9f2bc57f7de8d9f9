#include "live/core/AudioLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr char kPeakKey[] = "lavfi.astats.";
constexpr char kPeakSuffix[] = ".Peak_level=";
constexpr char kFrameMark[] = "] frame:";
constexpr char kTimeMark[] = "pts_time:";
// What a build without the filters says, and what any build says of a filter graph it cannot
// make.
constexpr const char* kRefusals[] = {
    "No such filter: 'asplit'",    "No such filter: 'asetnsamples'", "No such filter: 'astats'",
    "No such filter: 'ametadata'", "No such filter: 'anullsink'",    "Error parsing filterchain"};
// The quietest figure a meter's text shows.
constexpr double kTextFloorDb = -99.9;
constexpr size_t kMaxLineBytes = 512;
} // namespace

double Levels::Loudest() const {
    return peaksDb.empty() ? -INFINITY : *std::max_element(peaksDb.begin(), peaksDb.end());
}

bool IsLevelLine(const std::string& line) {
    return line.find(kPeakKey) != std::string::npos ||
           (line.find(kFrameMark) != std::string::npos &&
            line.find(kTimeMark) != std::string::npos);
}

bool RejectsLevelFilters(const std::string& tail) {
    return std::any_of(std::begin(kRefusals), std::end(kRefusals), [&](const char* refusal) {
        return tail.find(refusal) != std::string::npos;
    });
}

void LevelScan::Feed(const std::string& bytes, bool skipped) {
    if (skipped) m_strLine.clear();
    for (char c : bytes) {
        if (c != '\r' && c != '\n') {
            if (m_strLine.size() < kMaxLineBytes) m_strLine += c;
            continue;
        }
        TakeLine(m_strLine);
        m_strLine.clear();
    }
}

// A frame line names the frame measured; channel 1's peak comes first of a frame's and channel
// 2's last, and a mono device's frame is complete when the next one begins.
void LevelScan::TakeLine(const std::string& line) {
    const size_t time = line.find(kTimeMark);
    if (line.find(kFrameMark) != std::string::npos && time != std::string::npos) {
        const double seconds = std::strtod(line.c_str() + time + sizeof kTimeMark - 1, nullptr);
        // Each channel's filter prints the frame line again; another frame completes the last.
        if (!m_pending.peaksDb.empty() && seconds != m_pending.seconds) Complete();
        m_pending.seconds = seconds;
        return;
    }
    const size_t key = line.find(kPeakKey);
    const size_t suffix = line.find(kPeakSuffix);
    if (key == std::string::npos || suffix == std::string::npos) return;
    const int channel = std::atoi(line.c_str() + key + sizeof kPeakKey - 1);
    const double peak = std::strtod(line.c_str() + suffix + sizeof kPeakSuffix - 1, nullptr);
    if (channel == 1 && !m_pending.peaksDb.empty()) Complete();
    if (channel != static_cast<int>(m_pending.peaksDb.size()) + 1) return;
    m_pending.peaksDb.push_back(peak);
    if (channel == 2) Complete();
}

void LevelScan::Complete() {
    m_complete.push_back(m_pending);
    m_pending.peaksDb.clear();
}

std::vector<Levels> LevelScan::Take() {
    std::vector<Levels> taken;
    taken.swap(m_complete);
    return taken;
}

std::string LevelsText(const Levels& levels) {
    std::string text;
    for (double peak : levels.peaksDb) {
        char figure[16];
        std::snprintf(figure, sizeof figure, "%.1f", std::max(peak, kTextFloorDb));
        text += (text.empty() ? "" : " ") + std::string(figure);
    }
    return text;
}

std::vector<double> PeaksOfText(const std::string& text) {
    std::vector<double> peaks;
    const char* at = text.c_str();
    for (char* end = nullptr;; at = end) {
        const double peak = std::strtod(at, &end);
        if (end == at) break;
        peaks.push_back(peak);
    }
    return peaks;
}
