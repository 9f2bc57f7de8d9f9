// The settings file "config.db": eight positional lines, read once at start-up and written
// whole at fixed triggers. Failures are silent. Beside it settings.ini, with what config.db has no
// room for.
#include "settings/core/AudioSettings.h"
#include "settings/core/ConfigLines.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

namespace {
constexpr int kConfigLines = 8;
}

ConfigValues CSonafeedDlg::ConfigFromMembers() const {
    return ConfigValues{
        m_nDeviceIndex,      m_strPublishUrl.Text(), m_nMinToTray,         m_nBitrateIndex,
        m_strPullUrl.Text(), m_strAccessKey.Text(),  m_strAccessId.Text(), m_nAutoPull};
}

void CSonafeedDlg::ApplyConfig(const ConfigValues& values) {
    m_nDeviceIndex = values.deviceIndex;
    m_strPublishUrl = values.publishUrl;
    m_nMinToTray = values.minToTray;
    m_nBitrateIndex = values.bitrateIndex;
    m_strPullUrl = values.pullUrl;
    m_strAccessKey = values.accessKey;
    m_strAccessId = values.accessId;
    m_nAutoPull = values.autoPull;
}

bool CSonafeedDlg::LoadConfig() {
    CStdioFile file;
    if (file.Open(kConfigFile, CStdioFile::modeRead | CStdioFile::typeText)) {
        ConfigValues values = ConfigFromMembers();
        CString line;
        // Lines that are missing keep their members' values; lines after the eighth are ignored.
        for (int number = 1; number <= kConfigLines && ReadConfigLine(file, line); ++number) {
            if (number == 1) SkipByteOrderMark(line.Text());
            ApplyConfigLine(number, line.Text(), values);
        }
        ApplyConfig(values);
    }
    // Always false: start-up then lists the capture devices every time.
    return false;
}

bool CSonafeedDlg::ReadConfigLine(CStdioFile& file, CString& line) {
    if (!file.ReadString(line)) return false;
    CleanConfigLine(line.Text());
    return true;
}

// The new content goes to a temporary file that replaces the file only once it is complete, so
// a failed or interrupted write never destroys the operator's settings.
static void ReplaceFile(const char* path, const char* temporary, const std::string& text) {
    CStdioFile file;
    bool written = file.Open(temporary, CStdioFile::modeCreate | CStdioFile::modeWrite |
                                            CStdioFile::typeText) &&
                   file.WriteString(CString(text)) && file.Flush();
    written = file.Close() && written;
    if (!written ||
        !::MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ::DeleteFileA(temporary);
}

void CSonafeedDlg::SaveConfig() {
    ReplaceFile(kConfigFile, kConfigTempFile, FormatConfig(ConfigFromMembers()));
}

// settings.ini, read once at start-up. A file that has a value wrong or lacks one says so once;
// a missing file is the defaults.
void CSonafeedDlg::LoadAudioSettings() {
    CStdioFile file;
    if (file.Open(kAudioSettingsFile, CStdioFile::modeRead | CStdioFile::typeText)) {
        std::string text;
        CString line;
        while (file.ReadString(line))
            text += line.Text() + "\n";
        file.Close();
        std::vector<std::string> bad;
        m_audioSettings = ParseAudioSettings(text, bad);
        if (!bad.empty()) {
            std::string keys;
            for (const std::string& key : bad)
                keys += (keys.empty() ? "" : "、") + key;
            AddLog(CString(texts::kAudioSettingsBad) + keys);
        }
    }
    ApplyAudioSettings();
}

void CSonafeedDlg::SaveAudioSettings() {
    ReplaceFile(kAudioSettingsFile, kAudioSettingsTempFile, FormatAudioSettings(m_audioSettings));
}

void CSonafeedDlg::ApplyAudioSettings() {
    m_health.SetMeasuring(m_audioSettings.measureLevels);
    ApplyRecording();
    m_health.Silence().SetRules(
        SilenceRules{static_cast<double>(m_audioSettings.thresholdDb),
                     static_cast<unsigned long>(m_audioSettings.silenceSeconds) * 1000,
                     static_cast<unsigned long>(m_audioSettings.returnSeconds) * 1000});
}

void CSonafeedDlg::OnDeviceSel() {
    m_nDeviceIndex = m_comboDevice.GetCurSel();
    m_comboDevice.GetWindowText(m_strDevice);
}

void CSonafeedDlg::OnBitrateSel() {
    m_nBitrateIndex = m_comboBitrate.GetCurSel();
}

void CSonafeedDlg::OnMinToTray() {
    m_nMinToTray = IsDlgButtonChecked(IDC_MIN_TO_TRAY);
    SaveConfig();
}

void CSonafeedDlg::OnAutoPull() {
    m_nAutoPull = IsDlgButtonChecked(IDC_AUTO_PULL);
    SaveConfig();
}
