#include "live/core/Watchdog.h"

bool IsRestartTick(int deadTicks) {
    if (deadTicks <= 0) return false;
    if (deadTicks % 32 == 0) return true;
    return deadTicks <= 16 && (deadTicks & (deadTicks - 1)) == 0;
}

bool RestartSchedule::RunningTick(bool well) {
    const bool report = m_bFirstRunningTick && (m_nDeadTicks != 0 || m_nTakenEarly != 0);
    m_bFirstRunningTick = false;
    if (well) {
        m_nDeadTicks = 0;
        m_nTakenEarly = 0;
    }
    return report;
}

bool RestartSchedule::DeadTick() {
    ++m_nDeadTicks;
    if (!IsRestartTick(m_nDeadTicks)) return false;
    // Its attempt came early: this tick has none.
    if (m_nTakenEarly == 0) return true;
    --m_nTakenEarly;
    return false;
}

bool RestartSchedule::TakeFirstAttemptNow() {
    return m_nDeadTicks == 0 && m_nTakenEarly == 0 && TakeNextAttemptNow();
}

bool RestartSchedule::ServerBack() {
    // Not counted ahead: the ticks keep their own attempts.
    if (m_bOnAirSinceServerBack) {
        m_bOnAirSinceServerBack = false;
        return true;
    }
    return TakeNextAttemptNow();
}

bool RestartSchedule::TakeNextAttemptNow() {
    if (m_nTakenEarly == kAttemptsAhead) return false;
    ++m_nTakenEarly;
    return true;
}

bool StallWatch::Stalled(unsigned long long size) {
    if (!m_bHasSize || size != m_nSize) {
        m_bHasSize = true;
        m_nSize = size;
        m_nQuietTicks = 0;
        return false;
    }
    return ++m_nQuietTicks == kStallTicks;
}

bool ServerWatch::RestartNow(bool answers) {
    if (!answers) {
        m_bSeenAbsent = true;
        return false;
    }
    const bool cameBack = m_bSeenAbsent;
    m_bSeenAbsent = false;
    return cameBack;
}
