// Shell test support: what the main window shows (its client area copied into a canvas, texts
// compared pixel for pixel with a reference rendering) and a stand-in help viewer that records
// what the platform's help call asks for.
#pragma once

#include <windows.h>
#include <string>
#include "tests/support/support.h"

// Copies the main window's client area (after pending paints) into a new canvas.
bool CaptureMainWindow(MemoryCanvas& canvas);
// Number of pixels that differ between `shot` at (x, y) and `text` drawn opaque in `font` with
// the given colours; -1 when the reference cannot be drawn or falls outside the shot.
int TextMismatch(const MemoryCanvas& shot, int x, int y, const char* text, HGDIOBJ font,
                 COLORREF textColour = RGB(0, 0, 0), COLORREF background = RGB(255, 255, 255));
// Pixels of exactly this colour inside a rectangle of the canvas.
int CountColour(const MemoryCanvas& canvas, const RECT& area, uint32_t rgb);
bool SameCanvas(const MemoryCanvas& a, const MemoryCanvas& b);

// While open, a window of class "MS_WINHELP" receives the help requests of this process.
struct HelpRequests {
    int count = 0;
    WORD command = 0;
    std::string file;                 // of the last request
};
bool OpenFakeHelpViewer();
HelpRequests CloseFakeHelpViewer();
