// When to restart an encoder that keeps dying, and when a running one has stalled.
#pragma once

// True for 1, 2, 4, 8, 16 and every positive multiple of 32 ticks since the encoder died.
bool IsRestartTick(int deadTicks);

// The restart attempts for an encoder that keeps dying: on the dead ticks that IsRestartTick
// names, counted since the encoder was last well. An attempt may be brought forward to a moment
// between two ticks (the encoder seen gone after it was well, its server back), at most
// kAttemptsAhead of them ahead of their ticks, and the ticks they were due on then pass without
// one: however its server flaps, an encoder that never gets on air restarts no more often than
// the schedule says. A server that comes back after an outage gets the encoder back at once,
// and always when an encoder was on air since its last return: outages that follow each other
// closely leave no dead air after each clears.
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
    // An encoder has ended that was on air (it wrote a progress line).
    void EncoderWasOnAir() { m_bOnAirSinceServerBack = true; }
    // Its server answers again after it was seen absent: true when the encoder restarts now.
    bool ServerBack();

  private:
    static constexpr int kAttemptsAhead = 2;
    bool TakeNextAttemptNow();
    int m_nDeadTicks = 0;
    // Attempts taken ahead of their ticks.
    int m_nTakenEarly = 0;
    bool m_bFirstRunningTick = false;
    bool m_bOnAirSinceServerBack = false;
};

// An encoder counts as well again once it has published this long (since its first progress
// line): one that its service drops a few seconds after each start keeps to the back-off.
inline constexpr unsigned long kWellAfterMs = 30000;

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
