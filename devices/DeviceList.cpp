// Picks the audio capture devices out of "device.txt" and fills the device box.
#include "devices/core/DeviceListParser.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

void CSonafeedDlg::ParseDeviceList(bool listingComplete) {
    CStdioFile file;
    if (!file.Open(kDeviceFile, CStdioFile::modeRead | CStdioFile::typeText)) {
        AddLog(texts::kDeviceFileOpenFailed);
        return;
    }
    std::vector<std::string> lines;
    CString line;
    while (file.ReadString(line))
        lines.push_back(line.Text());
    file.Close();

    const DeviceListParse parse = ParseDeviceLines(lines, listingComplete);
    for (int restart = 0; restart < parse.searchRestarts; ++restart)
        AddLog(texts::kDeviceSearchRestart);
    if (parse.listReset) {
        m_arrDevices.RemoveAll();
        for (const std::string& name : parse.names)
            m_arrDevices.Add(CString(name));
    }
    if (parse.fillBox) FillDeviceCombo();
}

void CSonafeedDlg::FillDeviceCombo() {
    m_comboDevice.Clear();
    m_comboDevice.ResetContent();
    for (int index = 0; index < m_arrDevices.GetSize(); ++index)
        m_comboDevice.AddString(m_arrDevices.GetAt(index));
    // Only a position at or past the end is corrected; a negative one leaves no selection.
    if (m_nDeviceIndex >= m_arrDevices.GetSize()) m_nDeviceIndex = 0;
    m_comboDevice.SetCurSel(m_nDeviceIndex);
}
