#include "live/core/Silence.h"

SilenceWatch::Event SilenceWatch::Measure(double loudestDb, unsigned long ms) {
    const bool quiet = loudestDb < m_rules.thresholdDb;
    // Only a level on the side that would change the alarm counts, and only without a break.
    if (quiet != !m_bAlarmed) {
        m_bTiming = false;
        return Event::kNone;
    }
    if (!m_bTiming) {
        m_bTiming = true;
        m_nSinceMs = ms;
    }
    const unsigned long lasted = ms - m_nSinceMs;
    if (!m_bAlarmed) {
        if (lasted < m_rules.silenceMs) return Event::kNone;
        m_bAlarmed = true;
        m_bTiming = false;
        m_nSilentSinceMs = m_nSinceMs;
        return Event::kSilent;
    }
    if (lasted < m_rules.returnMs) return Event::kNone;
    m_bAlarmed = false;
    m_bTiming = false;
    m_nLastedMs = m_nSinceMs - m_nSilentSinceMs;
    return Event::kSoundBack;
}
