// Conversion into the ANSI code page (code page 936 on the target systems), through Windows.
#pragma once
#include "framework/String.h"

// Converts a text that holds UTF-8 bytes into the ANSI code page, in place.
void Utf8ToAnsi(CString* text);
