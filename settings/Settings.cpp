// The settings file "config.db": eight positional lines, read once at start-up and written
// whole at fixed triggers. Failures are silent.
#include "settings/core/ConfigLines.h"
#include "ui/SonafeedDlg.h"

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

void CSonafeedDlg::SaveConfig() {
    // The new content goes to a temporary file that replaces config.db only once it is
    // complete, so a failed or interrupted write never destroys the operator's settings.
    CStdioFile file;
    bool written = file.Open(kConfigTempFile, CStdioFile::modeCreate | CStdioFile::modeWrite |
                                                  CStdioFile::typeText) &&
                   file.WriteString(CString(FormatConfig(ConfigFromMembers()))) && file.Flush();
    written = file.Close() && written;
    if (!written || !::MoveFileExA(kConfigTempFile, kConfigFile,
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ::DeleteFileA(kConfigTempFile);
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
