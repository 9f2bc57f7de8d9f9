#include "ui/SettingsDlg.h"

#include <cstdlib>
#include <string>

namespace {

void SetNumber(HWND dialog, int id, int value) {
    ::SetDlgItemTextA(dialog, id, std::to_string(value).c_str());
}

// The field's number, or `value` when it holds none.
int Number(HWND dialog, int id, int value) {
    const CString text = WindowText(::GetDlgItem(dialog, id));
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    return end != static_cast<const char*>(text) && *end == '\0' ? static_cast<int>(number) : value;
}

} // namespace

BOOL CSettingsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetNumber(m_hWnd, IDC_SILENCE_THRESHOLD, m_settings.thresholdDb);
    SetNumber(m_hWnd, IDC_SILENCE_SECONDS, m_settings.silenceSeconds);
    SetNumber(m_hWnd, IDC_RETURN_SECONDS, m_settings.returnSeconds);
    CheckDlgButton(IDC_BACKUP_RELAY, m_settings.backupRelay ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_MEASURE_LEVELS, m_settings.measureLevels ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_RECORD, m_settings.record ? BST_CHECKED : BST_UNCHECKED);
    ::SetDlgItemTextA(m_hWnd, IDC_RECORD_FOLDER, m_settings.recordFolder.c_str());
    SetNumber(m_hWnd, IDC_RECORD_DAYS, m_settings.recordDays);
    SetNumber(m_hWnd, IDC_RECORD_FREE_MB, m_settings.recordFloorMb);
    return TRUE;
}

void CSettingsDlg::OnOK() {
    AudioSettings settings = m_settings;
    settings.thresholdDb = Number(m_hWnd, IDC_SILENCE_THRESHOLD, m_settings.thresholdDb);
    settings.silenceSeconds = Number(m_hWnd, IDC_SILENCE_SECONDS, m_settings.silenceSeconds);
    settings.returnSeconds = Number(m_hWnd, IDC_RETURN_SECONDS, m_settings.returnSeconds);
    settings.backupRelay = IsDlgButtonChecked(IDC_BACKUP_RELAY) == BST_CHECKED;
    settings.measureLevels = IsDlgButtonChecked(IDC_MEASURE_LEVELS) == BST_CHECKED;
    settings.record = IsDlgButtonChecked(IDC_RECORD) == BST_CHECKED;
    settings.recordFolder = WindowText(::GetDlgItem(m_hWnd, IDC_RECORD_FOLDER)).Text();
    settings.recordDays = Number(m_hWnd, IDC_RECORD_DAYS, m_settings.recordDays);
    settings.recordFloorMb = Number(m_hWnd, IDC_RECORD_FREE_MB, m_settings.recordFloorMb);
    // Through the file's own rules, so that the dialog and the file accept the same values.
    std::vector<std::string> bad;
    m_settings = ParseAudioSettings(FormatAudioSettings(settings), bad);
    CDialog::OnOK();
}
