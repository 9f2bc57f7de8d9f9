// When to restart an encoder that keeps dying, and when a running one has stalled.
#pragma once

// True for 1, 2, 4, 8, 16 and every positive multiple of 32 ticks since the encoder died.
bool IsRestartTick(int deadTicks);

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
