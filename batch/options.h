// The batch analyser's command line: the command, the input and output files and the options of
// the analysis, checked before any file is touched. A bad argument gives a one-line reason.
#pragma once

#include <cstddef>

#include "core/types.h"
#include "export/bands.h"
#include "export/spectrogram.h"

enum class BatchCommand : int { kHelp = 0, kBlocks, kSpectrum, kSpectrogram, kLoudness, kBands };

// How the spectrogram is drawn; zero width or height: the default.
struct SpectrogramRequest {
    SpectrogramPaletteKind palette = SpectrogramPaletteKind::kGrey;
    bool bare = false;             // the plot alone, without frame, axes, colour bar and title
    bool log = false;
    bool rangeGiven = false;
    double low = 0.0, high = 0.0;  // --range, Hz
    int width = 0, height = 0;
};

struct BatchRequest {
    BatchCommand command = BatchCommand::kHelp;
    const char* input = nullptr;
    const char* output = nullptr;
    const char* csv = nullptr;   // loudness: the momentary and short-term series
    double atSeconds = 0.0;      // spectrum: where its block starts
    Settings settings;           // FFT length, window, slope, scale and block length (deltatime)
    SpectrogramRequest spectrogram;
    BandKind bands = BandKind::kOctave;
};

// Reads argv[1 .. argc-1]. --help anywhere asks for the usage. False, with the reason in
// `message`, for an unknown command or option, a missing or bad value, missing or extra files.
bool ParseBatchArguments(int argc, const char* const* argv, BatchRequest* request, char* message, size_t size);
