// Block analysis driver: peak levels and level bars of every block, display bytes of the current
// view, the peak search and the peak panel.
#pragma once

#include <windows.h>
#include <cstdint>

extern double peakFrequency;              // Hz; kept from block to block

// Measures and draws one block of block buffer `slot` holding `byteCount` valid bytes.
void AnalyseBlock(HDC dc, int slot, int32_t byteCount);

// The view part of AnalyseBlock, for mono data only.
void AnalyseView(HDC dc, int slot, int32_t byteCount);
