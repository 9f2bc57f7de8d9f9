// When to restart an encoder that keeps dying, and when a running one has stalled.
#pragma once

// True for 1, 2, 4, 8, 16 and every positive multiple of 32 ticks since the encoder died.
bool IsRestartTick(int deadTicks);

// The restart attempts for an encoder that keeps dying: on the dead ticks that IsRestartTick
// names, counted since the encoder was last well. The next attempt may be brought forward to a
// moment between two ticks, but it is taken once only: the tick it was due on then passes
// without one, so that nothing restarts the encoder more often than the schedule does.
class RestartSchedule {
  public:
    // A new encoder has started: its first tick found running may report the recovery.
    void EncoderStarted() { m_bFirstRunningTick = true; }
    // A tick found the encoder running; `well`: it has been at work long enough to count as
    // well again, and the count starts over. True when the recovery is to be reported: at the
    // first running tick of an encoder that an attempt (or a start while counting) brought.
    bool RunningTick(bool well);
    // A tick found the encoder down. True when an attempt falls due now.
    bool DeadTick();
    // The encoder was seen gone between ticks after it was well: true when the first attempt
    // is taken now.
    bool TakeFirstAttemptNow();

  private:
    int m_nDeadTicks = 0;
    // The next attempt on the schedule has been brought forward already.
    bool m_bNextTaken = false;
    bool m_bFirstRunningTick = false;
};

// A healthy encoder adds a progress line to its status file twice a second, so a file that
// keeps its size for this many ticks (30 s) means the encoder is stuck, for instance in a write
// to a dead connection, and never that it is slow to start.
inline constexpr int kStallTicks = 6;

// Watches a running encoder's status file, one reading of its size per tick.
class StallWatch {
  public:
    // For a new encoder, or after a tick without a reading: the next reading starts afresh.
    void Reset() { m_bHasSize = false; }
    // Takes this tick's size. True once, at the kStallTicks-th tick in a row that found the
    // size unchanged.
    bool Stalled(unsigned long long size);

  private:
    bool m_bHasSize = false;
    unsigned long long m_nSize = 0;
    int m_nQuietTicks = 0;
};

// While the encoder is down, the publish address's server is checked about once a second. A
// server that was seen absent and answers again gets the encoder back at once instead of at the
// next attempt on the schedule; one that answers all along leaves the schedule alone, since
// the encoder died for another reason (a refused stream key, a busy device).
class ServerWatch {
  public:
    // For each new encoder: what earlier checks saw no longer counts.
    void Reset() { m_bSeenAbsent = false; }
    // Takes one check's outcome. True when the encoder is to be restarted now.
    bool RestartNow(bool answers);

  private:
    bool m_bSeenAbsent = false;
};
