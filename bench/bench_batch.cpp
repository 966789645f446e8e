// Batch analyser benchmark: a 10-minute 44.1 kHz 16-bit file (stereo, and mono for comparison)
// analysed whole by the blocks and spectrogram commands at FFT length 4096 and blocks of 2048
// (1/11025 s units, 8192 frames). Prints seconds of audio per second of analysis for each run.
#include <windows.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "bench/benchfile.h"

namespace {

constexpr uint32_t kSeconds = kBenchSeconds;
constexpr int kRepeats = 3;

void Time(const char* label, const std::string& in, const char* command, const std::string& out)
{
    const char* argv[] = {"TRILVOC.EXE", command, in.c_str(), out.c_str(), "--fft", "12", "--deltatime", "2048"};
    double best = 1e30;
    for (int r = 0; r < kRepeats; ++r) {
        const double start = NowSeconds();
        const BatchOutcome outcome = RunBatch(int(sizeof argv / sizeof argv[0]), argv);
        const double elapsed = NowSeconds() - start;
        if (outcome.status != kBatchDone) {
            std::printf("%-34s failed: %s\n", label, outcome.message);
            return;
        }
        if (elapsed < best) best = elapsed;
    }
    std::printf("%-34s %7.3f s for %u s of audio: %6.0fx real time\n", label, best, kSeconds, kSeconds / best);
}
}  // namespace

int main()
{
    const std::string stereo = MakeBenchFile("bench-batch-stereo.wav", 2), mono = MakeBenchFile("bench-batch-mono.wav", 1);
    if (stereo.empty() || mono.empty()) {
        std::printf("cannot write the test files\n");
        return 1;
    }
    Time("stereo, blocks (CSV)", stereo, "blocks", stereo + ".csv");
    Time("stereo, spectrogram (PNG)", stereo, "spectrogram", stereo + ".png");
    Time("mono, blocks (CSV)", mono, "blocks", mono + ".csv");
    Time("mono, spectrogram (PNG)", mono, "spectrogram", mono + ".png");
    for (const std::string& path : {stereo, mono}) {
        for (const char* suffix : {"", ".csv", ".png"}) DeleteFileA((path + suffix).c_str());
    }
    return 0;
}
