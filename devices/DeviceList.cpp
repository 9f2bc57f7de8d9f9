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
        m_arrDeviceAlternatives.RemoveAll();
        for (size_t index = 0; index < parse.names.size(); ++index) {
            m_arrDevices.Add(CString(parse.names[index]));
            m_arrDeviceAlternatives.Add(CString(parse.alternatives[index]));
        }
    }
    if (parse.fillBox) FillDeviceCombo();
}

void CSonafeedDlg::FillDeviceCombo() {
    m_comboDevice.Clear();
    m_comboDevice.ResetContent();
    // Each entry knows its place in the list, which the sorted box does not keep.
    for (int index = 0; index < m_arrDevices.GetSize(); ++index)
        m_comboDevice.SetItemData(m_comboDevice.AddString(m_arrDevices.GetAt(index)), index);
    // Only a position at or past the end is corrected; a negative one leaves no selection.
    if (m_nDeviceIndex >= m_arrDevices.GetSize()) m_nDeviceIndex = 0;
    m_comboDevice.SetCurSel(m_nDeviceIndex);
}

// The chosen device as the encoder opens it.
CString CSonafeedDlg::EncoderDevice() const {
    const int position = m_comboDevice.GetCurSel();
    const DWORD_PTR index =
        position == CB_ERR ? ~DWORD_PTR{0} : m_comboDevice.GetItemData(position);
    if (index >= static_cast<DWORD_PTR>(m_arrDeviceAlternatives.GetSize()) ||
        m_arrDevices.GetAt(static_cast<int>(index)).Text() != m_strDevice.Text())
        return m_strDevice;
    return CString(EncoderDeviceName(
        m_strDevice.Text(), m_arrDeviceAlternatives.GetAt(static_cast<int>(index)).Text()));
}
