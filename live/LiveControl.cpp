// Start and stop of the live broadcast, and the watchdog that restarts a dead encoder.
#include "framework/Exception.h"
#include "live/Watchdog.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

namespace {
constexpr UINT kWatchdogPeriodMs = 5000;
constexpr DWORD kWatchdogWaitMs = 100;
} // namespace

void CSonafeedDlg::OnStartLive() {
    m_bLive = !m_bLive;
    if (!m_bLive) {
        EndLive();
        if (!m_bPulling && m_nAutoPull != 0) OnStartPull();
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
    SetTimer(IDT_WATCHDOG, kWatchdogPeriodMs);
    StartEncoder();
}

void CSonafeedDlg::EndLive() {
    StopEncoder();
    KillTimer(IDT_WATCHDOG);
    SetDlgItemText(IDC_START_LIVE, texts::kStartLive);
    AddLog(texts::kLiveClosed);
}

void CSonafeedDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == IDT_WATCHDOG && m_bLive) {
        const DWORD result = ::WaitForSingleObject(m_pi.hProcess, kWatchdogWaitMs);
        if (result == WAIT_TIMEOUT) {
            if (m_nRestartCount != 0) AddLog(texts::kLive);
            m_nRestartCount = 0;
            if (EncoderStalled()) {
                AddLog(texts::kEncoderStalled);
                // The next tick finds it exited and restarts it on the usual schedule.
                ::TerminateProcess(m_pi.hProcess, 0);
            }
        } else if (result == WAIT_OBJECT_0) {
            ReportEncoderExit();
            RestartEncoderOnSchedule();
        } else if (result == WAIT_FAILED) {
            AddLog(texts::kCallProcessFailed);
            // No child at all (a start failed): count it as dead, so the broadcast recovers by
            // itself once the encoder can be started again.
            if (!m_pi.hProcess) RestartEncoderOnSchedule();
        } else {
            CString text;
            text.Format(texts::kTimerErrorFormat, result);
            AddLog(text);
        }
    }
    Default();
}

void CSonafeedDlg::RestartEncoderOnSchedule() {
    ++m_nRestartCount;
    if (!IsRestartTick(m_nRestartCount)) return;
    AddLog(texts::kEncoderRestart);
    CloseEncoderHandles();
    StartEncoder();
}
