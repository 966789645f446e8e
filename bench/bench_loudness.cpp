// Loudness benchmark: the 10-minute 44.1 kHz 16-bit stereo file measured whole by TRILVOC's
// loudness command (K-weighting, gating, range and 4x true peak), best of three runs. With
// --keep the file stays and its path is printed last, so scripts/bench-loudness can time
// another meter on the same file.
#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "batch/batch.h"
#include "bench/benchfile.h"

namespace {

constexpr int kRepeats = 3;
constexpr double kFileTimeSeconds = 1e-7;

double Seconds(const FILETIME& time)
{
    return double((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) * kFileTimeSeconds;
}

// Seconds this process has run on a processor (user and system time), which the machine's other
// load does not inflate as it does the elapsed time.
double ProcessSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}
}  // namespace

int main(int argc, char** argv)
{
    const bool keep = argc > 1 && std::strcmp(argv[1], "--keep") == 0;
    const std::string path = MakeBenchFile("bench-loudness-stereo.wav", 2);
    if (path.empty()) {
        std::printf("cannot write the test file\n");
        return 1;
    }
    const char* arguments[] = {"TRILVOC.EXE", "loudness", path.c_str()};
    double best = 1e30, bestCpu = 1e30;
    BatchOutcome outcome;
    for (int r = 0; r < kRepeats; ++r) {
        const double start = NowSeconds(), startCpu = ProcessSeconds();
        outcome = RunBatch(3, arguments);
        const double elapsed = NowSeconds() - start;
        bestCpu = std::min(bestCpu, ProcessSeconds() - startCpu);
        if (outcome.status != kBatchDone) {
            std::printf("loudness failed: %s\n", outcome.message);
            return 1;
        }
        if (elapsed < best) best = elapsed;
    }
    std::printf("%s", outcome.report);
    std::printf("loudness, stereo 16-bit 44.1 kHz: %.3f s (%.3f s on a processor) for %u s of audio: %.0fx real time\n",
                best, bestCpu, kBenchSeconds, kBenchSeconds / best);
    if (keep) std::printf("file=%s\n", path.c_str());
    else DeleteFileA(path.c_str());
    return 0;
}
