// The spectrogram of a whole file as the batch analyser draws it: one column per block, one row
// per bin with the highest frequency at the top, at most 1024 rows (neighbouring bins averaged in
// power beyond that), each pixel the display byte the chart view computes for it, coloured by the
// chart view's ramp through the picture's palette.
#pragma once

#include <cstdint>

constexpr int kSpectrogramMaxRows = 1024;

// Rows of the spectrogram of an n-point FFT's n/2 bins.
int SpectrogramRows(int n);

// Fills one column of an 8-bit picture, top row at `top` and `stride` bytes between rows, from
// bins 0 .. n/2-1 of the spectrum in re/im.
void SpectrogramColumn(const double* re, const double* im, int n, bool sixteenBitScale, int slopeReference,
                       int amplitudeScale, uint8_t* top, int stride);

// The chart view's colours of the 256 display bytes, as 0x00RRGGBB palette entries.
void SpectrogramPalette(uint32_t* palette);
