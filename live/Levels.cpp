// The levels the encoder measures: shown in the meter, and watched for silence.
#include "live/core/AudioLevels.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

// Each measurement as it comes goes to the silence watch; the meter shows one each tick.
void CSonafeedDlg::ShowLevels() {
    // A copy: a switch starts another encoder, which clears what the last one measured.
    const std::vector<Levels> arrived = m_health.NewLevels();
    for (const Levels& levels : arrived) {
        switch (m_health.Silence().Measure(levels.Loudest(), ::GetTickCount())) {
        case SilenceWatch::Event::kSilent:
            OnSilence();
            break;
        case SilenceWatch::Event::kSoundBack:
            OnSoundBack();
            break;
        case SilenceWatch::Event::kNone:
            continue;
        }
        // The rest was the last encoder's.
        break;
    }
    Levels levels;
    if (m_health.TakeLevelsToShow(levels))
        SetDlgItemText(IDC_LEVEL_METER, LevelsText(levels).c_str());
}

// No encoder measures: the meter is empty.
void CSonafeedDlg::ClearLevels() {
    if (::GetWindowTextLengthA(::GetDlgItem(m_hWnd, IDC_LEVEL_METER)) > 0)
        SetDlgItemText(IDC_LEVEL_METER, "");
}

void CSonafeedDlg::OnSilence() {
    CString line;
    line.Format(texts::kSilenceAlarmFormat, m_audioSettings.thresholdDb,
                m_audioSettings.silenceSeconds);
    AddLog(line);
    ShowSilenceInTray(true);
    if (BackupWanted()) StartBackup();
}

void CSonafeedDlg::OnSoundBack() {
    CString line;
    line.Format(texts::kSoundBackFormat,
                static_cast<unsigned>((m_health.Silence().SilenceLastedMs() + 500) / 1000));
    AddLog(line);
    ShowSilenceInTray(false);
    if (m_bBackupOnAir) EndBackup();
}

// The broadcast has ended: a silence it had is forgotten, and so is a relay standing in for it.
void CSonafeedDlg::EndSilenceWatch() {
    if (m_health.Silence().Alarmed()) ShowSilenceInTray(false);
    m_health.Silence().Reset();
    m_bBackupOnAir = false;
}
