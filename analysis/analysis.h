// Block analysis driver: peak levels and level bars of every block, display bytes of the current
// view, the peak search and the peak panel.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

extern double peakFrequency;              // Hz; kept from block to block

// Measures and draws one block of block buffer `slot` holding `byteCount` valid bytes.
void AnalyseBlock(HDC dc, int slot, int32_t byteCount);

// The view part of AnalyseBlock, for mono data only.
void AnalyseView(HDC dc, int slot, int32_t byteCount);

// ---- Pure steps of the analysis (no window, no drawing) -------------------------------------

constexpr int kWaveformMaxBytes = 512;           // display bytes of the waveform view
constexpr double kReferencePower16 = 70000000.0; // bin power shown at the top, 16-bit data
constexpr double kReferencePower8 = 1000.0;      // the same for 8-bit data

// Peak magnitude of each channel over the whole frames of a block (peaks[1] is 0 for mono).
// Returns false for a format code that is not one of the four sample formats.
bool ScanBlockPeaks(const uint8_t* block, int32_t byteCount, int sampleFormat, uint32_t peaks[2]);

// One waveform display byte of an 8-bit sample byte / a 16-bit sample value.
uint8_t WaveformByte8(uint8_t b, int amplitudeScale);
uint8_t WaveformByte16(int v, int amplitudeScale);

// Waveform display bytes of a mono block (at most `capacity`, at most 512); returns the count.
int32_t WaveformBytes(const uint8_t* block, int32_t byteCount, bool sixteenBit, int amplitudeScale,
                      uint8_t* bytes, int32_t capacity);

// Half-window length m for a block of `samples` samples and an FFT of n points.
int HalfWindowLength(int32_t samples, int n);

struct SpectrumPeak {
    int bin;          // lowest bin of the greatest power; 0 when no bin has positive power
    double power;     // re^2 + im^2 of that bin
};

// Bin of the greatest power re^2 + im^2 among bins 0 .. bins-1 (the lowest one on a tie).
SpectrumPeak FindPeak(const double* re, const double* im, int bins);

// Loads the first n samples of a mono block into re (zero padded, im zeroed), windows them
// over 2m samples (rebuilding the window table only when its key changes), transforms them
// and finds the peak bin. re and im hold n doubles each; on return bins 0 .. n/2-1 are valid.
SpectrumPeak ComputeSpectrum(const uint8_t* block, int32_t byteCount, bool sixteenBit, int exponent,
                             double* re, double* im);

// Display byte of one bin of power `power` (bin k of an n-point FFT).
uint8_t SpectrumByte(double power, int k, int n, bool sixteenBit, int slopeReference,
                     int amplitudeScale);

// Display bytes of bins 0 .. n/2-1 into `bytes` (room for n/2).
void SpectrumBytes(const double* re, const double* im, int n, bool sixteenBit, int slopeReference,
                   int amplitudeScale, uint8_t* bytes);

// Peak frequency of bin p of an n-point FFT for rate codes 44, 22 and 11; false (and *hz
// untouched) for any other rate code.
bool PeakFrequencyFor(int p, int n, int rateCode, double* hz);

// The peak panel's frequency and power texts; false if they do not fit into `size`.
bool FormatPeakFrequency(double hz, char* text, size_t size);
bool FormatPeakPower(double power, char* text, size_t size);

// Top left corner of the peak panel for the given column width and line height.
POINT PeakPanelOrigin(int charWidth, int lineHeight);

// Draws the peak panel (white box, "Peak Lv", frequency and power) with the current layout units.
void DrawPeakPanel(HDC dc, double hz, double power);
