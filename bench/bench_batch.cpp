// Batch analyser benchmark: a 10-minute 44.1 kHz 16-bit file (stereo, and mono for comparison)
// analysed whole by the blocks and spectrogram commands at FFT length 4096 and blocks of 2048
// (1/11025 s units, 8192 frames), and a 30-minute mono file drawn as the plain and the labelled
// spectrogram at FFT length 2048. Prints seconds of audio per second of analysis for each run.
// Given files (each 10 minutes long, in any format the program reads; scripts/bench-decoders makes
// them), it times only the blocks command on each.
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
constexpr uint32_t kLongSeconds = 1800;
constexpr int kRepeats = 3;

void Time(const char* label, const std::string& in, const char* command, const std::string& out,
          std::vector<const char*> options = {"--fft", "12"}, uint32_t seconds = kSeconds)
{
    std::vector<const char*> argv = {"TRILVOC.EXE", command, in.c_str(), out.c_str(), "--deltatime", "2048"};
    argv.insert(argv.end(), options.begin(), options.end());
    double best = 1e30;
    for (int r = 0; r < kRepeats; ++r) {
        const double start = NowSeconds();
        const BatchOutcome outcome = RunBatch(int(argv.size()), argv.data());
        const double elapsed = NowSeconds() - start;
        if (outcome.status != kBatchDone) {
            std::printf("%-34s failed: %s\n", label, outcome.message);
            return;
        }
        if (elapsed < best) best = elapsed;
    }
    std::printf("%-34s %7.3f s for %u s of audio: %6.0fx real time\n", label, best, seconds, seconds / best);
}
}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string in = argv[i];
        Time(in.substr(in.find_last_of('\\') + 1).c_str(), in, "blocks", in + ".csv");
        DeleteFileA((in + ".csv").c_str());
    }
    if (argc > 1) return 0;
    const std::string stereo = MakeBenchFile("bench-batch-stereo.wav", 2), mono = MakeBenchFile("bench-batch-mono.wav", 1);
    if (stereo.empty() || mono.empty()) {
        std::printf("cannot write the test files\n");
        return 1;
    }
    Time("stereo, blocks (CSV)", stereo, "blocks", stereo + ".csv");
    Time("stereo, spectrogram (PNG)", stereo, "spectrogram", stereo + ".png");
    Time("mono, blocks (CSV)", mono, "blocks", mono + ".csv");
    Time("mono, spectrogram (PNG)", mono, "spectrogram", mono + ".png");
    const std::string longMono = MakeBenchFile("bench-batch-long.wav", 1, kLongSeconds);
    if (!longMono.empty()) {
        // Alternated, so a load that comes and goes weighs on both alike; the best of each.
        for (int round = 0; round < kRepeats; ++round) {
            Time("30 min mono, FFT 2048, bare", longMono, "spectrogram", longMono + ".png", {"--fft", "11", "--bare"}, kLongSeconds);
            Time("30 min mono, FFT 2048, labelled", longMono, "spectrogram", longMono + ".png", {"--fft", "11"}, kLongSeconds);
        }
        Time("30 min mono, FFT 2048, bands", longMono, "bands", longMono + ".csv", {"--fft", "11"}, kLongSeconds);
    }
    for (const std::string& path : {stereo, mono, longMono}) {
        for (const char* suffix : {"", ".csv", ".png"}) DeleteFileA((path + suffix).c_str());
    }
    return 0;
}
