// The batch analyser: a whole WAV file read block by block (no sound device: every format the
// reader accepts is read) and analysed by the window's own analysis into the blocks CSV, the
// spectrum CSV of one block or the spectrogram picture; or measured whole for its loudness. Outputs are written under a temporary
// name and renamed at the end; nothing here prints or shows anything.
#pragma once

#include <cstddef>

#include "batch/options.h"

enum BatchStatus : int {
    kBatchDone = 0,
    kBatchBadArgument = 1,     // the command line (or --at past the end of the file)
    kBatchFileRefused = 2,     // the input the reader refuses, or the output that cannot be written
};

constexpr size_t kBatchMessageBytes = 1024;
constexpr size_t kBatchReportBytes = 2048;

struct BatchOutcome {
    BatchStatus status = kBatchDone;
    bool usage = false;                        // --help: the caller prints kBatchUsage
    char message[kBatchMessageBytes] = {};     // one line for the error stream (empty when done)
    char report[kBatchReportBytes] = {};       // lines for the output stream (loudness figures)
};

// Runs one command line (argv[0] is the program).
BatchOutcome RunBatch(int argc, const char* const* argv);
// Runs a parsed request.
BatchOutcome RunBatchRequest(const BatchRequest& request);
