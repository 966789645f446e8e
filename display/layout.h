// Layout units of the main window, measured once from the OEM fixed font, and the screen's
// colour depth with the grey palette the chart selects on 256-colour screens (owned by the main
// window; borrowed here).
#pragma once

#include <windows.h>

struct Layout {
    int charWidth = 0;                 // one column: the font's average width
    int lineHeight = 0;                // one row: half the font's ascent
    int colourDepth = 0;               // planes * bits per pixel
    HPALETTE palette = nullptr;

    int Col(int n) const { return n * charWidth; }
    int Row(int n) const { return n * lineHeight; }
};
