// Display: the graph area with its scale line and stereo notice, the level bars, the grey display
// palette, and the five renderers that draw display bytes into the graph area.
#pragma once

#include <windows.h>
#include <cstdint>

HPALETTE CreateDisplayPalette();
void DrawDisplayFrame(HDC dc);
void DrawLevelBar(HDC dc, uint32_t level, int top, int height, uint32_t segmentUnit);

void DrawWaveform(HDC dc, const uint8_t* bytes, int32_t count);
void DrawBandLevels(HDC dc, const uint8_t* bytes, int32_t count);
void DrawLinearSpectrum(HDC dc, const uint8_t* bytes, int32_t count);
void DrawLogSpectrum(HDC dc, const uint8_t* bytes, int32_t count);
void DrawChartRow(HDC dc, const uint8_t* bytes, int32_t count);
