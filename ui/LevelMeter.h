// The level meter: a control of its own class, one bar per channel on a -60 to 0 dBFS scale with
// a mark at -1 dBFS where clipping begins. Its window text holds the figures it shows (see
// LevelsText), so that what it shows can be read from outside too; an empty text, an empty
// meter. Drawn whole into a bitmap first, so that it never flickers.
#pragma once
#include <windows.h>

// Registers the control's class, before a dialog that holds one is created.
void RegisterLevelMeter(HINSTANCE instance);
