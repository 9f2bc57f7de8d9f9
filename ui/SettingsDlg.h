// CSettingsDlg: the level meter's, the silence alarm's and the recording's settings, opened from
// the system menu.
// OK takes the values, each brought into its range; a field that holds no number keeps its
// value.
#pragma once
#include "framework/Dialog.h"
#include "res/resource.h"
#include "settings/core/AudioSettings.h"

class CSettingsDlg : public CDialog {
  public:
    explicit CSettingsDlg(const AudioSettings& settings)
        : CDialog(IDD_SETTINGS), m_settings(settings) {}
    const AudioSettings& Settings() const { return m_settings; }

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

  private:
    AudioSettings m_settings;
};
