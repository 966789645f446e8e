// Reading what the main window shows: its client area copied into a memory canvas, and texts
// compared pixel for pixel with a reference rendering in a given font and colours.
#pragma once

#include <windows.h>
#include "tests/support/support.h"

// Copies the main window's client area (after pending paints) into a new canvas.
bool CaptureMainWindow(MemoryCanvas& canvas);
// Number of pixels that differ between `shot` at (x, y) and `text` drawn opaque in `font` with
// the given colours; -1 when the reference cannot be drawn or falls outside the shot.
int TextMismatch(const MemoryCanvas& shot, int x, int y, const char* text, HGDIOBJ font,
                 COLORREF textColour = RGB(0, 0, 0), COLORREF background = RGB(255, 255, 255));
// Pixels of exactly this colour inside a rectangle of the canvas.
int CountColour(const MemoryCanvas& canvas, const RECT& area, uint32_t rgb);
