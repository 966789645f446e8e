// Measuring the loudness of a whole file: the one loop that reads a file's frames into a
// LoudnessMeter, with the fraction read and a stop request shared with a watching thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "analysis/loudness.h"
#include "audio/wavreader.h"

// Shared between the thread that measures and the one that watches it.
struct LoudnessWatch {
    std::atomic<uint32_t> permilleRead{0};   // the fraction of the data read, in thousandths
    std::atomic<bool> stop{false};           // set by the watcher: the measurement ends early
};

enum class LoudnessFailure : int { kNone = 0, kUnsupportedFormat, kNoMemory, kStopped };

struct LoudnessRun {
    ReaderResult opened = ReaderResult::kOk;   // a refusal of the file
    LoudnessFailure failure = LoudnessFailure::kNone;
    bool Ok() const { return opened == ReaderResult::kOk && failure == LoudnessFailure::kNone; }
};

constexpr uint32_t kLoudnessReadBytes = 65536;   // one read, rounded down to whole frames
constexpr uint32_t kPermille = 1000;

// Opens `path` (every format the reader reads, no device asked), prepares `meter` for it and
// feeds it every frame; checks `watch->stop` between reads. The file is closed on return.
LoudnessRun MeasureFileLoudness(const char* path, LoudnessMeter* meter, LoudnessWatch* watch);
