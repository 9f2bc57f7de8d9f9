// The running encoder's health, read from its status file: whether it publishes (its first
// progress line), whether it still works (the file grows), what it measures of its audio, and,
// once it has ended, its last line. Also what it is asked for: the AAC encoder its build has,
// and the measuring filters unless it refused them.
#pragma once
#include "live/StatusFile.h"
#include "live/core/AudioLevels.h"
#include "live/core/EncoderStatus.h"
#include "live/core/Silence.h"
#include "live/core/Watchdog.h"

#include <deque>
#include <string>
#include <vector>

class CEncoderHealth {
  public:
    // The status file, opened for each new encoder.
    CStatusFile& File() { return m_file; }
    // The encoder has been started (or could not be): watching begins.
    void Watch(bool running);

    // The AAC encoder to ask for: libfdk_aac until a build said it lacks it.
    const char* AacEncoder() const;
    // True when this switches to the built-in aac (once: the caller says so).
    bool UseBuiltInAac();
    // The banner of the device listing, which names a build's libfdk_aac.
    bool ReadBanner(const std::string& listing);
    // The measuring filters for the next start; null when measuring is off, or refused.
    const char* LevelFilters() const;
    void SetMeasuring(bool on) { m_bMeasure = on; }
    // False once a build has refused the recording's tee output.
    bool Records() const { return !m_bRecordingRefused; }

    // Reads what the running encoder wrote since the last call. Cheap: made ten times a second.
    void Poll();
    // What a watchdog tick makes of the running encoder.
    enum class Verdict { kWorking, kStalled, kStallWatchPaused, kNeverPublished };
    Verdict Check();
    // It has written a progress line; also while the file is not watched, which tells nothing.
    bool Published() const { return !m_file.Watched() || m_progress.Seen(); }
    // It has published for at least `ms` since its first progress line (without a watched
    // file: since its start).
    bool PublishedFor(DWORD ms) const;
    // A silence so far is forgiven: the stall watch starts afresh.
    void RestartStallWatch() { m_stall.Reset(); }

    // The measurements that came with the last Poll, for the silence watch.
    const std::vector<Levels>& NewLevels() const { return m_new; }
    // The next measurement to show, one each call while there are any, so that a meter moves
    // evenly even where a capture device delivers its audio in bursts; never more than a few
    // behind the newest.
    bool TakeLevelsToShow(Levels& levels);
    SilenceWatch& Silence() { return m_silence; }

    // What the exited encoder left, once: its last line (empty for none) and what it refused.
    struct Exit {
        std::string lastLine;
        bool refusedLibfdkAac = false;
        bool refusedLevels = false;
        bool refusedRecording = false;
        // It wrote a progress line: it was on air.
        bool wasOnAir = false;
    };
    bool TakeExit(Exit& exit);

  private:
    CStatusFile m_file;
    ProgressScan m_progress;
    LevelScan m_levels;
    std::vector<Levels> m_new;
    std::deque<Levels> m_queued;
    StallWatch m_stall;
    SilenceWatch m_silence;
    bool m_bBuiltInAac = false;
    bool m_bMeasure = true;
    bool m_bLevelsRefused = false;
    bool m_bRecordingRefused = false;
    DWORD m_nStartTick = 0;
    // When the first progress line was seen.
    DWORD m_nPublishedTick = 0;
    bool m_bGaveUp = false;
};
