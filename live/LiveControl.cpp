// Start and stop of the live broadcast, and the watchdog that restarts a dead encoder.
#include "framework/Exception.h"
#include "framework/core/Ticks.h"
#include "live/RtmpProbe.h"
#include "live/core/Watchdog.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

namespace {
constexpr UINT kWatchdogPeriodMs = 5000;
constexpr DWORD kWatchdogWaitMs = 100;
// Between the watchdog's ticks the encoder is looked after this often: a refusal of libfdk_aac
// is answered well within a second, and the level meter moves ten times a second.
constexpr UINT kEncoderWatchPeriodMs = 100;
// At most one connection to the server in this time.
constexpr DWORD kServerCheckSpacingMs = 1000;
} // namespace

void CSonafeedDlg::OnStartLive() {
    m_bLive = !m_bLive;
    if (!m_bLive) {
        // A relay that stands in for a silent studio goes with the broadcast, unless auto-pull
        // asks for the relay once the broadcast ends.
        const bool backup = m_bBackupOnAir;
        EndLive();
        if (backup ? m_nAutoPull == 0 : !m_bPulling && m_nAutoPull != 0) OnStartPull();
        return;
    }
    UpdateData(TRUE);
    m_comboDevice.GetWindowText(m_strDevice);
    if (!CheckBeforeLive()) {
        m_bLive = false;
        return;
    }
    if (m_bPulling) {
        try {
            OnStartPull();
        } catch (const CException&) {
            // Left by a transport failure: keep the state in line with the caption.
            m_bLive = false;
            throw;
        }
    }
    SaveConfig();
    SetDlgItemText(IDC_START_LIVE, texts::kStopLive);
    AddLog(texts::kLive);
    m_bServerKnown = RtmpServerOf(m_strPublishUrl.Text(), m_server);
    SetTimer(IDT_WATCHDOG, kWatchdogPeriodMs);
    SetTimer(IDT_ENCODER_WATCH, kEncoderWatchPeriodMs);
    StartEncoder();
}

void CSonafeedDlg::EndLive() {
    StopEncoder();
    KillTimer(IDT_WATCHDOG);
    KillTimer(IDT_ENCODER_WATCH);
    SetDlgItemText(IDC_START_LIVE, texts::kStartLive);
    AddLog(texts::kLiveClosed);
    EndSilenceWatch();
}

void CSonafeedDlg::OnTimer(UINT_PTR nIDEvent) {
    // A tick already queued when a close killed the timers finds the broadcast ended.
    if (nIDEvent == IDT_WATCHDOG && m_bLive) {
        const DWORD result = ::WaitForSingleObject(m_pi.Process(), kWatchdogWaitMs);
        if (result == WAIT_TIMEOUT) {
            if (m_restartSchedule.RunningTick(m_health.PublishedFor(kWellAfterMs)))
                AddLog(texts::kLive);
            WatchRunningEncoder();
        } else if (result == WAIT_OBJECT_0) {
            // A refusal of libfdk_aac is no dead tick: the start with aac follows at once.
            if (ReportEncoderExit())
                RestartEncoder();
            else
                RestartEncoderOnSchedule();
        } else if (result == WAIT_FAILED) {
            AddLog(texts::kCallProcessFailed);
            // No child at all (a start failed): count it as dead, so the broadcast recovers by
            // itself once the encoder can be started again.
            if (!m_pi.IsValid()) RestartEncoderOnSchedule();
        } else {
            CString text;
            text.Format(texts::kTimerErrorFormat, result);
            AddLog(text);
        }
    } else if (nIDEvent == IDT_ENCODER_WATCH && m_bLive) {
        WatchEncoderBetweenTicks();
    }
    Default();
}

void CSonafeedDlg::RestartEncoderOnSchedule() {
    if (!m_restartSchedule.DeadTick()) return;
    AddLog(texts::kEncoderRestart);
    RestartEncoder();
}

// An encoder that made progress and then stopped writing is stuck, for instance in a write to a
// dead connection. One that has made none yet may be waiting for a slow server: its server
// decides, where it can be checked, until the status file's limit for a first progress line.
void CSonafeedDlg::OnEncoderStalled() {
    if (m_bServerKnown && !m_health.Published() && CheckServer()) return;
    EndStalledEncoder();
}

void CSonafeedDlg::EndStalledEncoder() {
    AddLog(texts::kEncoderStalled);
    // Seen exited at once, and restarted on the usual schedule.
    ::TerminateProcess(m_pi.Process(), 0);
}

void CSonafeedDlg::RestartEncoder() {
    m_pi.Close();
    StartEncoder();
}

// Between the watchdog's ticks: the running encoder's output is read, an encoder that refused
// libfdk_aac is followed by one with aac at once, one that ends after it went well gets the
// schedule's first attempt at once, and while the encoder is down its server is checked. The
// schedule's later attempts stay with the ticks.
void CSonafeedDlg::WatchEncoderBetweenTicks() {
    const DWORD state = m_pi.IsValid() ? ::WaitForSingleObject(m_pi.Process(), 0) : WAIT_FAILED;
    if (state == WAIT_TIMEOUT) {
        m_health.Poll();
        ShowLevels();
        return;
    }
    ClearLevels();
    if (ReportEncoderExit()) {
        RestartEncoder();
        return;
    }
    if (state == WAIT_OBJECT_0 && m_restartSchedule.TakeFirstAttemptNow()) {
        AddLog(texts::kEncoderRestart);
        RestartEncoder();
        return;
    }
    CheckServer();
}

// One check at a time, on a helper thread, so that the dialog never waits for the network or
// the name resolver. False when none could be started now.
bool CSonafeedDlg::CheckServer() {
    const DWORD now = ::GetTickCount();
    if (!m_bServerKnown || m_bServerCheckPending ||
        TicksSince(m_nServerCheckTick, now) < kServerCheckSpacingMs)
        return false;
    m_nServerCheckTick = now;
    m_bServerCheckPending = StartRtmpProbe(m_hWnd, WM_SERVER_CHECKED, m_nEncoderRun, m_server);
    return m_bServerCheckPending;
}

LRESULT CSonafeedDlg::OnServerChecked(WPARAM encoderRun, LPARAM answers) {
    m_bServerCheckPending = false;
    // Made for an encoder that has been replaced (or a broadcast that ended): no longer news.
    if (!m_bLive || encoderRun != m_nEncoderRun) return 0;
    // The encoder runs: it was checked for a stall before its first progress. A server that
    // answers gives it another while, up to the limit for a first progress line.
    if (::WaitForSingleObject(m_pi.Process(), 0) == WAIT_TIMEOUT) {
        if (answers || m_health.Published())
            m_health.RestartStallWatch();
        else
            EndStalledEncoder();
        return 0;
    }
    // Back at once, as the schedule allows: a server that flaps gets no more.
    if (m_serverWatch.RestartNow(answers != 0) && m_restartSchedule.ServerBack()) {
        AddLog(texts::kServerBack);
        RestartEncoder();
    }
    return 0;
}
