// Numerical core: radix-2 complex FFT, the real-input FFT built on it, and the table of window
// coefficients (rising half of the current window) with the key saying what it holds.
#pragma once

#include <cstddef>

constexpr int kMinFftExponent = 8;
constexpr int kMaxFftExponent = 16;
constexpr int kWindowTableSize = 32768;   // half of the largest FFT length

// What the window table holds: half length m and window type of the last build.
struct WindowKey {
    int halfLength;
    int type;
};

extern double windowTable[kWindowTableSize];
extern WindowKey windowKey;               // starts as {0, rectangle}

// Working storage of the analysis: an allocation failure ends the program at once with exit
// status 1 and no message, as nothing can be analysed without it.
void* AllocateOrExit(size_t bytes);

// 2^n for n >= 1, 1 for every n <= 0.
int PowerOfTwo(int n);

// Brings an FFT size exponent into kMinFftExponent .. kMaxFftExponent. The settings loader
// already falls back to the default for values outside; the analysis clamps again so that the
// window table (half of 2^16 entries) can never be overrun.
int ClampFftExponent(int exponent);

// In-place complex transform of length 2^exponent; a negative direction is the forward
// transform scaled by 1/n.
void ComplexFft(double* re, double* im, int exponent, int direction);

// Transform of 2^exponent real samples in re; on return re[k], im[k] (k < N/2) hold X[k]/N.
// Both arrays need at least N/2 + 1 entries.
void RealFft(double* re, double* im, int exponent);

// Fills entries 0 .. m-1 of the window table for the window type in the state record.
void BuildWindowTable(int m);
