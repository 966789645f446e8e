// Malformed WAV files made from a seed, for the fuzzer: a plausible file of one of several formats
// (PCM of several widths and channel counts, float, extensible, with LIST, fact and junk chunks)
// changed by a few mutations: bit flips, cuts at chunk boundaries, chunk sizes of 0, odd, huge or
// wrapping past 4 GB, format chunk sizes around every limit, random format fields, duplicated,
// nested, missing and swapped chunks, extensible headers with bad cbSize or sub-format. Each
// file also carries how the fuzzer runs it (buffering mode, time resolution, FFT length, view,
// window, and whether the run is paused or stopped part way).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FuzzRun {
    bool onMemory = false;
    int32_t timeResolution = 2048;
    int32_t fftExponent = 12;
    int view = 0;                 // ViewMode
    int windowType = 0;           // WindowType
    int stopAfterDone = -1;       // Stop after this many done messages (-1: play to the end)
    bool pauseOnce = false;       // pause after the first done message, then continue
};

struct FuzzFile {
    std::string description;      // how it was made: base format, then each mutation
    std::vector<uint8_t> bytes;
    FuzzRun run;
};

// File `index` of the sequence of `seed`. Each file depends on the two numbers only, so a
// failing one can be made again on its own.
FuzzFile MakeFuzzFile(uint32_t seed, uint32_t index);
