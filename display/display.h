// Display: draws into a device context from plain inputs. The graph area with its scale line,
// the level bars, the peak panel, the grey display palette, and the five
// renderers that draw a block's display bytes; DrawBlockResult draws one analysed block.
// Positions come from the Layout; nothing here reads any other state.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

#include "analysis/analysis.h"
#include "core/types.h"
#include "display/layout.h"

HPALETTE CreateDisplayPalette();

// The scale line with the labels of the current view (for the clamped FFT length the analysis
// uses and the source's rate) and the cleared graph area.
void DrawDisplayFrame(HDC dc, const Layout& layout, const Settings& settings, const SourceFormat& format);

// One analysed block: its level bars, then the peak panel of a spectrum view and the view.
// The peak panel's texts use the DC's current font.
void DrawBlockResult(HDC dc, const Layout& layout, const Settings& settings, const SourceFormat& format,
                     const BlockResult& result);

// One level bar of 17 segments, lit where the level passes their thresholds.
void DrawLevelBar(HDC dc, const Layout& layout, uint32_t level, int top, int height, uint32_t segmentUnit);
// The peak panel (white box, "Peak Lv", frequency and power) in the DC's current font.
void DrawPeakPanel(HDC dc, const Layout& layout, double hz, double power);

// The renderers: each clears (or, for the chart, scrolls) the graph area and draws `count`
// display bytes. The level meter needs the FFT size exponent, the spectra's grids the rate in Hz
// (0, no source yet: the axes of 11025 Hz).
void DrawWaveform(HDC dc, const Layout& layout, const uint8_t* bytes, int32_t count);
void DrawBandLevels(HDC dc, const Layout& layout, int fftExponent, const uint8_t* bytes, int32_t count);
void DrawLinearSpectrum(HDC dc, const Layout& layout, uint32_t samplesPerSec, const uint8_t* bytes, int32_t count);
void DrawLogSpectrum(HDC dc, const Layout& layout, uint32_t samplesPerSec, const uint8_t* bytes, int32_t count);
void DrawChartRow(HDC dc, const Layout& layout, const uint8_t* bytes, int32_t count);

// ---- Geometry and arithmetic shared by the frame and the renderers (pure, tests call them) ----

constexpr int kGraphLeftCol = 1;           // the graph area's top left corner, in columns and rows
constexpr int kGraphTopRow = 13;
constexpr int kScaleLineOffset = 260;      // top of the scale line below the top of the graph area
constexpr int kLevelBarSegments = 17;
constexpr int kBandCount = 10;             // octave bands of the level meter
constexpr int kChartMaxBins = 512;         // the chart shows at most this many bins

// The peak panel's frequency and power texts; false if they do not fit into `size`.
bool FormatPeakFrequency(double hz, char* text, size_t size);
bool FormatPeakPower(double power, char* text, size_t size);
// Top left corner of the peak panel for the given column width and line height.
POINT PeakPanelOrigin(int charWidth, int lineHeight);

// The frequency axes of a rate follow one step s = 5000 Hz x 2^k, the largest with 4s at most
// half the rate (44100 Hz: 5000, 22050 Hz: 2500, 11025 Hz: 1250, 48000 Hz: 5000, 8000 Hz: 625).
constexpr int kLinearLabelCount = 4;
struct LinearAxis {
    double step;
    int positions[kLinearLabelCount];   // graph positions of s, 2s, 3s, 4s: trunc(f x 512 / (rate / 2))
};
LinearAxis LinearAxisFor(uint32_t samplesPerSec);

// Top frequency (4s) and Nyquist frequency (half the rate) of the logarithmic axis.
struct LogAxisFrequencies {
    double top;
    double nyquist;
};
LogAxisFrequencies LogAxisFor(uint32_t samplesPerSec);

// Graph position (0 at the left edge, 512 at the right) of bin position `bin` among m bins.
double LogAxisPosition(double bin, int m);

// One octave of the logarithmic axis: its frequency and graph position.
struct LogOctave {
    double frequency;
    double position;
};
constexpr int kMaxLogOctaves = 24;
// The octaves from the top frequency down, ending with the first whose bin position is at most
// 2. Returns how many were stored (0 when m < 2, which has no logarithmic axis).
int LogAxisOctaves(int m, uint32_t samplesPerSec, LogOctave* octaves, int capacity);

// Highest frequency the chart shows, as its scale label gives it.
long ChartTopFrequency(int m, int rateCode, uint32_t samplesPerSec);

// One label of the scale line: its text and the client x of its left edge.
struct ScaleLabel {
    char text[16];
    int x;
};
constexpr int kMaxScaleLabels = kMaxLogOctaves + 2;
struct ScaleSettings {
    ViewMode view;
    int fftExponent;
    int m;                         // number of bins, PowerOfTwo(fftExponent) / 2
    int rateCode;                  // the chart's label keeps the tabled rates of codes 44, 22, 11
    uint32_t samplesPerSec;        // every other axis follows the rate (0: 11025 Hz)
    int charWidth;
};
// The labels of the scale line for the given settings, in drawing order; returns the count.
int ComputeScaleLabels(const ScaleSettings& settings, ScaleLabel* labels, int capacity);

// Level bar segment s (0 to 16): its threshold for segment unit u (unsigned arithmetic), the
// client x of its left edge, and its colour.
uint32_t LevelSegmentThreshold(int segment, uint32_t unit);
int LevelSegmentLeft(int segment, int charWidth);
COLORREF LevelSegmentColour(int segment, bool lit);

// Bins [first, end) of level meter band k (1 to 10) among m bins; false when the band is not
// drawn at this FFT size exponent.
bool BandBounds(int band, int m, int fftExponent, int* first, int* end);

// Colour of display byte v in the chart row: the eight-colour ramp at colour depth 4, a
// palette-relative grey otherwise.
COLORREF ChartColour(uint8_t v, int colourDepth);
