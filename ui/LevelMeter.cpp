#include "ui/LevelMeter.h"

#include "framework/Wnd.h"
#include "live/core/AudioLevels.h"
#include "res/resource.h"

#include <algorithm>

namespace {

constexpr double kFloorDb = -60;
constexpr double kClipDb = -1;
// Above these the bar turns yellow, then red.
constexpr double kLoudDb = -20;
constexpr double kHotDb = -9;

int XOf(double db, const RECT& track) {
    const double share = (std::clamp(db, kFloorDb, 0.0) - kFloorDb) / -kFloorDb;
    return track.left + static_cast<int>(share * (track.right - track.left) + 0.5);
}

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
    const RECT area{left, top, right, bottom};
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(dc, &area, brush);
    ::DeleteObject(brush);
}

// One channel's bar in `track`: green, then yellow above -20 dBFS and red above -9.
void DrawBar(HDC dc, const RECT& track, double db) {
    Fill(dc, track.left, track.top, track.right, track.bottom, ::GetSysColor(COLOR_WINDOW));
    const int end = XOf(db, track);
    const struct {
        double from;
        COLORREF color;
    } zones[] = {{kFloorDb, RGB(0, 170, 0)}, {kLoudDb, RGB(230, 200, 0)}, {kHotDb, RGB(220, 0, 0)}};
    for (size_t i = 0; i < std::size(zones); ++i) {
        const int from = XOf(zones[i].from, track);
        const int to = i + 1 < std::size(zones) ? XOf(zones[i + 1].from, track) : track.right;
        if (end > from) Fill(dc, from, track.top, std::min(end, to), track.bottom, zones[i].color);
    }
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC screen = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ previous = ::SelectObject(dc, bitmap);
    Fill(dc, 0, 0, client.right, client.bottom, ::GetSysColor(COLOR_3DFACE));

    const std::vector<double> peaks = PeaksOfText(WindowText(window).Text());
    // Two bars' room, also for one channel, with a gap between them that scales with the font.
    const int gap = std::max(1, static_cast<int>(client.bottom) / 8);
    const int height = (static_cast<int>(client.bottom) - gap) / 2;
    RECT frame{0, 0, client.right, client.bottom};
    ::DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
    for (size_t channel = 0; channel < 2; ++channel) {
        const int top = 1 + static_cast<int>(channel) * (height + gap);
        const RECT track{1, top, client.right - 1,
                         std::min<LONG>(top + height - 1, client.bottom - 1)};
        DrawBar(dc, track, channel < peaks.size() ? peaks[channel] : kFloorDb);
    }
    const RECT inside{1, 1, client.right - 1, client.bottom - 1};
    const int clip = XOf(kClipDb, inside);
    Fill(dc, clip, 1, clip + std::max(1, gap / 2), client.bottom - 1, RGB(128, 0, 0));

    ::BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    ::SelectObject(dc, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::EndPaint(window, &paint);
}

LRESULT CALLBACK MeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_ERASEBKGND:
        // Painted whole in WM_PAINT: erasing first is what would flicker.
        return 1;
    case WM_SETTEXT: {
        const LRESULT result = ::DefWindowProcA(window, message, wParam, lParam);
        ::InvalidateRect(window, nullptr, FALSE);
        return result;
    }
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

void RegisterLevelMeter(HINSTANCE instance) {
    WNDCLASSA meter{};
    meter.style = CS_HREDRAW | CS_VREDRAW;
    meter.lpfnWndProc = MeterProc;
    meter.hInstance = instance;
    meter.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    meter.lpszClassName = LEVEL_METER_CLASS;
    ::RegisterClassA(&meter);
}
