#include "live/EncoderHealth.h"

#include "live/core/Recording.h"

#include "framework/core/Ticks.h"
#include "live/core/EncoderCommand.h"

namespace {
// An encoder that has written no progress line this long after its start will not: a capture
// device that blocks when opened, a server that takes the publish request and never answers.
// Twice the stall watch's silence, and far beyond the seconds a connection and its publish
// request take.
constexpr DWORD kFirstProgressLimitMs = 60000;
// Measurements waiting to be shown beyond this many (300 ms) are too late to show: the oldest go.
constexpr size_t kMostQueued = 3;
} // namespace

void CEncoderHealth::Watch(bool running) {
    m_file.Watch(running);
    m_nStartTick = ::GetTickCount();
    m_progress.Reset();
    m_levels.Reset();
    m_new.clear();
    m_queued.clear();
    m_stall.Reset();
    m_silence.Restart();
    m_bGaveUp = false;
}

const char* CEncoderHealth::AacEncoder() const {
    return m_bBuiltInAac ? kBuiltInAac : kLibfdkAac;
}

bool CEncoderHealth::UseBuiltInAac() {
    if (m_bBuiltInAac) return false;
    m_bBuiltInAac = true;
    return true;
}

bool CEncoderHealth::ReadBanner(const std::string& listing) {
    return LibfdkAacInBanner(listing) == LibfdkAac::kAbsent && UseBuiltInAac();
}

const char* CEncoderHealth::LevelFilters() const {
    return m_bMeasure && !m_bLevelsRefused ? kLevelFilters : nullptr;
}

void CEncoderHealth::Poll() {
    std::string bytes;
    unsigned long long offset = 0;
    bool skipped = false;
    m_new.clear();
    if (!m_file.ReadNew(bytes, offset, skipped)) return;
    const bool published = m_progress.Seen();
    m_progress.Feed(bytes, offset);
    if (!published && m_progress.Seen()) m_nPublishedTick = ::GetTickCount();
    m_levels.Feed(bytes, skipped);
    m_new = m_levels.Take();
    m_queued.insert(m_queued.end(), m_new.begin(), m_new.end());
    while (m_queued.size() > kMostQueued)
        m_queued.pop_front();
    // The first lines, up to the first progress line, stay when the file is shortened.
    m_file.Bound(m_progress.Seen() ? m_progress.FirstAt() : offset + bytes.size());
}

CEncoderHealth::Verdict CEncoderHealth::Check() {
    if (!m_file.Watched()) return Verdict::kWorking;
    Poll();
    unsigned long long size = 0;
    if (!m_file.Size(size)) {
        m_stall.Reset();
        return Verdict::kWorking;
    }
    // A file that cannot grow because its drive is full says nothing of the encoder.
    if (!m_progress.Seen() && !m_bGaveUp &&
        TicksSince(m_nStartTick, ::GetTickCount()) >= kFirstProgressLimitMs &&
        !m_file.DriveFull()) {
        m_bGaveUp = true;
        return Verdict::kNeverPublished;
    }
    if (!m_stall.Stalled(size)) return Verdict::kWorking;
    return m_file.DriveFull() ? Verdict::kStallWatchPaused : Verdict::kStalled;
}

bool CEncoderHealth::PublishedFor(DWORD ms) const {
    const DWORD now = ::GetTickCount();
    if (!m_file.Watched()) return TicksSince(m_nStartTick, now) >= ms;
    return m_progress.Seen() && TicksSince(m_nPublishedTick, now) >= ms;
}

bool CEncoderHealth::TakeLevelsToShow(Levels& levels) {
    if (m_queued.empty()) return false;
    levels = std::move(m_queued.front());
    m_queued.pop_front();
    return true;
}

bool CEncoderHealth::TakeExit(Exit& exit) {
    std::string tail;
    bool cut = false;
    const size_t tailBytes = LevelFilters() ? kMeasuredStatusTailBytes : kStatusTailBytes;
    if (!m_file.Watched() || !m_file.ReadTail(tailBytes, tail, cut)) return false;
    // Once per encoder.
    m_file.Watch(false);
    exit.lastLine = LastStatusLine(tail, cut);
    exit.wasOnAir = m_progress.Seen();
    exit.refusedLibfdkAac = !m_bBuiltInAac && LacksLibfdkAac(tail);
    exit.refusedLevels = LevelFilters() && RejectsLevelFilters(tail);
    if (exit.refusedLevels) m_bLevelsRefused = true;
    exit.refusedRecording = Records() && RejectsRecordingOutput(tail);
    if (exit.refusedRecording) m_bRecordingRefused = true;
    return true;
}
