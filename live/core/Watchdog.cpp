#include "live/core/Watchdog.h"

bool IsRestartTick(int deadTicks) {
    if (deadTicks <= 0) return false;
    if (deadTicks % 32 == 0) return true;
    return deadTicks <= 16 && (deadTicks & (deadTicks - 1)) == 0;
}

bool RestartSchedule::RunningTick(bool well) {
    const bool report = m_bFirstRunningTick && (m_nDeadTicks != 0 || m_bNextTaken);
    m_bFirstRunningTick = false;
    if (well) {
        m_nDeadTicks = 0;
        m_bNextTaken = false;
    }
    return report;
}

bool RestartSchedule::DeadTick() {
    ++m_nDeadTicks;
    if (!IsRestartTick(m_nDeadTicks)) return false;
    // Its attempt came early: this tick has none.
    const bool due = !m_bNextTaken;
    m_bNextTaken = false;
    return due;
}

bool RestartSchedule::TakeFirstAttemptNow() {
    if (m_nDeadTicks != 0 || m_bNextTaken) return false;
    m_bNextTaken = true;
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
