// Labels and check boxes that keep their whole text on one line at every display scaling. A
// dialog's font grows with the scaling in whole pixels, and the controls with the font's average
// character, which rounds differently: at 125 to 200 % a control sized to its Chinese text at
// 100 % can come out a few pixels short and lose its last characters. Such a control gets the
// largest smaller font that its text fits in.
#pragma once
#include <windows.h>

#include <map>

class CLabelFit {
  public:
    CLabelFit() = default;
    CLabelFit(const CLabelFit&) = delete;
    CLabelFit& operator=(const CLabelFit&) = delete;
    ~CLabelFit();

    // Once, while the dialog's controls are created and not yet shown.
    void Fit(HWND dialog);

  private:
    HFONT FontOfHeight(LOGFONTA shape, LONG height);

    std::map<LONG, HFONT> m_fonts; // by height in pixels
};
