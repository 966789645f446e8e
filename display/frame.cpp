// PLACEHOLDER (display frame, palette and level bars): empty bodies so the tree links while the real code is written.
// The owner replaces this whole file.
#include "display/display.h"

HPALETTE CreateDisplayPalette() { return nullptr; }
void DrawDisplayFrame(HDC) {}
void DrawLevelBar(HDC, uint32_t, int, int, uint32_t) {}
