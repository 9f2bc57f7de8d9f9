#pragma once
#include "framework/String.h"

// Converts a text that holds UTF-8 bytes into the ANSI code page, in place.
void Utf8ToAnsi(CString* text);
