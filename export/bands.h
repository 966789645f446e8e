// Band levels over time: the octave and third-octave bands of the base-10 series (centres
// 1000 x 10^(3x/10) Hz, edges a half band away on either side, so 10^(+-3/20) for octaves and
// 10^(+-1/20) for thirds), named by their nominal centres (31.5, 63, ... 16k), and a block's level
// in each: the summed power of the bins whose centre lies within the edges, on the spectrum CSV's
// dB scale.
#pragma once

#include <cstddef>

#include "export/exportfile.h"

enum class BandKind : int { kOctave = 0, kThird };

constexpr int kMaxBands = 30;

struct Band {
    const char* name;    // nominal centre
    double lower, upper; // exact edges, Hz
    int first, end;      // the bins first .. end-1 whose centre lies within the edges (none: first == end)
};

struct BandSet {
    Band bands[kMaxBands];
    int count = 0;
};

// The bands of `kind` whose upper edge lies below rate/2, with their bins for an n-point FFT.
BandSet BandsBelowNyquist(BandKind kind, int n, double rate);

// What a band's level needs of the analysis besides the spectrum.
struct BandScale {
    int n = 0;
    bool sixteenBitScale = true;
    int slopeReference = 0;
};

// The header row `time_s,<name>,...` with CRLF.
void FormatBandHeader(const BandSet& set, char* text, size_t size);
// The row of one block starting at `seconds`: its time and each band's level in dB (empty for a
// band without bins), with CRLF.
void FormatBandRow(const BandSet& set, const BandScale& scale, double seconds, const double* re, const double* im,
                   char* text, size_t size);
