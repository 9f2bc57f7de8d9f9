#include "ui/LabelFit.h"

#include <cstdlib>

namespace {

// Where the text of a label or check box begins inside it; -1 for other controls. A check box
// draws its box 12 pixels wide at 100 %, then half a digit's width of space.
int TextIndent(HWND control, HDC dc) {
    char className[16] = {};
    ::GetClassNameA(control, className, sizeof className);
    const LONG style = ::GetWindowLongA(control, GWL_STYLE);
    if (::lstrcmpiA(className, "Static") == 0) return (style & SS_TYPEMASK) == SS_LEFT ? 0 : -1;
    const LONG type = style & BS_TYPEMASK;
    if (::lstrcmpiA(className, "Button") != 0 || (type != BS_CHECKBOX && type != BS_AUTOCHECKBOX))
        return -1;
    int digitWidth = 0;
    ::GetCharWidth32A(dc, '0', '0', &digitWidth);
    return 12 * ::GetDeviceCaps(dc, LOGPIXELSX) / 96 + 1 + digitWidth / 2;
}

// Whether the control's text fits on one line in `font`; true for a control that shows none.
bool Fits(HWND control, HFONT font) {
    char text[256] = {};
    const int length = ::GetWindowTextA(control, text, sizeof text);
    HDC dc = ::GetDC(control);
    HGDIOBJ previous = ::SelectObject(dc, font);
    const int indent = TextIndent(control, dc);
    SIZE extent{};
    ::GetTextExtentPoint32A(dc, text, length, &extent);
    ::SelectObject(dc, previous);
    ::ReleaseDC(control, dc);
    RECT client;
    ::GetClientRect(control, &client);
    return indent < 0 || indent + extent.cx <= client.right;
}

} // namespace

CLabelFit::~CLabelFit() {
    for (const auto& [height, font] : m_fonts)
        ::DeleteObject(font);
}

void CLabelFit::Fit(HWND dialog) {
    HFONT font = reinterpret_cast<HFONT>(::SendMessageA(dialog, WM_GETFONT, 0, 0));
    LOGFONTA shape;
    if (!font || !::GetObjectA(font, sizeof shape, &shape)) return;
    const LONG height = std::labs(shape.lfHeight);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        // A pixel smaller at a time, but never below three quarters of the dialog's font.
        HFONT fitting = font;
        for (LONG smaller = height - 1; !Fits(child, fitting) && smaller >= height * 3 / 4;
             --smaller)
            if (HFONT candidate = FontOfHeight(shape, smaller)) fitting = candidate;
        if (fitting != font)
            ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(fitting), FALSE);
    }
}

HFONT CLabelFit::FontOfHeight(LOGFONTA shape, LONG height) {
    HFONT& font = m_fonts[height];
    if (!font) {
        shape.lfHeight = shape.lfHeight < 0 ? -height : height;
        font = ::CreateFontIndirectA(&shape);
    }
    return font;
}
