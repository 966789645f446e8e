// The batch analyser's command line: the command, the input and output files and the options of
// the analysis, checked before any file is touched. A bad argument gives a one-line reason.
#pragma once

#include <cstddef>

#include "core/types.h"

enum class BatchCommand : int { kHelp = 0, kBlocks, kSpectrum, kSpectrogram, kLoudness };

struct BatchRequest {
    BatchCommand command = BatchCommand::kHelp;
    const char* input = nullptr;
    const char* output = nullptr;
    const char* csv = nullptr;   // loudness: the momentary and short-term series
    double atSeconds = 0.0;      // spectrum: where its block starts
    Settings settings;           // FFT length, window, slope, scale and block length (deltatime)
};

// The text of --help.
extern const char kBatchUsage[];

// Reads argv[1 .. argc-1]. --help anywhere asks for the usage. False, with the reason in
// `message`, for an unknown command or option, a missing or bad value, missing or extra files.
bool ParseBatchArguments(int argc, const char* const* argv, BatchRequest* request, char* message, size_t size);
