// The silence alarm: the encoder publishes, and its loudest channel stays below a threshold for
// a while. Times are milliseconds of one clock that goes on across encoders.
#pragma once

struct SilenceRules {
    double thresholdDb = -50;
    unsigned long silenceMs = 30000;
    // How long sound must last before the alarm ends.
    unsigned long returnMs = 3000;
};

class SilenceWatch {
  public:
    enum class Event { kNone, kSilent, kSoundBack };

    explicit SilenceWatch(const SilenceRules& rules = SilenceRules()) : m_rules(rules) {}
    void SetRules(const SilenceRules& rules) { m_rules = rules; }
    // No measurement for a while: the encoder is down or was replaced. What was heard so far
    // no longer counts; an alarm raised stays raised until sound returns.
    void Restart() { m_bTiming = false; }
    // Everything forgotten, the alarm too: the broadcast ended.
    void Reset() { *this = SilenceWatch(m_rules); }
    // The alarm raised again after it ended, for the next return of sound to end it anew.
    void Rearm() {
        m_bAlarmed = true;
        m_bTiming = false;
    }
    // Takes one measurement: the loudest channel's peak at time `ms`. kSilent once the level has
    // stayed below the threshold for the silence time; then kSoundBack once it has stayed at or
    // above it for the return time. So switches are always at least the silence time plus the
    // return time apart, however the level hovers around the threshold.
    Event Measure(double loudestDb, unsigned long ms);
    bool Alarmed() const { return m_bAlarmed; }
    // How long the silence lasted, when kSoundBack came: from its first quiet measurement to the
    // first of the sound that ended it.
    unsigned long SilenceLastedMs() const { return m_nLastedMs; }

  private:
    SilenceRules m_rules;
    bool m_bAlarmed = false;
    bool m_bTiming = false;
    // Since when the level has been on the side that would change the alarm.
    unsigned long m_nSinceMs = 0;
    // The silence's first quiet measurement, as the encoders' clocks go.
    unsigned long m_nSilentSinceMs = 0;
    unsigned long m_nLastedMs = 0;
};
