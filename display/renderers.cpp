// PLACEHOLDER (the five renderers): empty bodies so the tree links while the real code is written.
// The owner replaces this whole file.
#include "display/display.h"

void DrawWaveform(HDC, const uint8_t*, int32_t) {}
void DrawBandLevels(HDC, const uint8_t*, int32_t) {}
void DrawLinearSpectrum(HDC, const uint8_t*, int32_t) {}
void DrawLogSpectrum(HDC, const uint8_t*, int32_t) {}
void DrawChartRow(HDC, const uint8_t*, int32_t) {}
