// The WAV fuzzer (scripts/fuzz):  fuzz_wav [COUNT] [SEED] [FIRST]
// Makes COUNT files (default 3000) of the sequence of SEED (default 1) from index FIRST (default
// 0), runs each through the harness, prints every failure with how to make the file again, then
// the files per second and how many files ended with each message. Exit status 0 when none failed.
#include "tools/fuzz/fuzz_harness.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {
constexpr uint32_t kDefaultCount = 3000, kDefaultSeed = 1;
constexpr uint32_t kProgressEvery = 250;
constexpr double kKilobyte = 1024.0;

uint32_t Argument(int argc, char** argv, int i, uint32_t otherwise)
{
    return argc > i ? uint32_t(std::strtoul(argv[i], nullptr, 0)) : otherwise;
}

void PrintCounters(const char* when, const ProcessCounters& c)
{
    std::printf("%-26s handles %u (files %u), GDI objects %u, USER objects %u, committed %.0f KB, heap %u blocks"
                " %.0f KB, global blocks %d\n", when, c.handles, c.fileHandles, c.gdiObjects, c.userObjects,
                double(c.committedBytes) / kKilobyte, c.heapBlocks, double(c.heapBytes) / kKilobyte, c.globalBlocks);
}
}  // namespace

int main(int argc, char** argv)
{
    const uint32_t count = Argument(argc, argv, 1, kDefaultCount), seed = Argument(argc, argv, 2, kDefaultSeed);
    const uint32_t first = Argument(argc, argv, 3, 0);
    FuzzHarness harness;
    if (!harness.Open()) {
        std::printf("the main window could not be opened\n");
        return 2;
    }
    std::map<std::string, uint32_t> endings;
    uint32_t failed = 0, played = 0, stopped = 0;
    const DWORD start = GetTickCount();
    for (uint32_t index = first; index < first + count; ++index) {
        const FuzzFile file = MakeFuzzFile(seed, index);
        const FuzzReport report = harness.Run(file);
        for (const std::string& text : report.messages) ++endings[text];
        if (report.messages.empty()) ++endings[report.played ? "(played, no message)" : "(no message)"];
        played += report.played;
        stopped += report.stopped;
        if (!report.failures.empty()) {
            ++failed;
            std::printf("FAILED: file %u of seed %u (scripts/fuzz 1 %u %u): %s\n", index, seed, seed, index,
                        file.description.c_str());
            for (const std::string& failure : report.failures) std::printf("    %s\n", failure.c_str());
        }
        if ((index - first + 1) % kProgressEvery == 0) {
            char when[32];
            std::snprintf(when, sizeof when, "after %u files:", index - first + 1);
            PrintCounters(when, MeasureProcess());
            std::fflush(stdout);
        }
    }
    const double seconds = (GetTickCount() - start) / 1000.0;
    std::printf("\n%u files (seed %u, from %u) in %.1f s: %.1f files per second; %u played (%u stopped part way); "
                "%u failed\n", count, seed, first, seconds, seconds > 0 ? count / seconds : 0.0, played, stopped, failed);
    std::printf("how the files ended:\n");
    for (const auto& [text, n] : endings) std::printf("%7u  %s\n", n, text.c_str());
    char when[32];
    std::snprintf(when, sizeof when, "after file %u:", kFuzzWarmUpFiles);
    PrintCounters(when, harness.Baseline());
    PrintCounters("after the last file:", MeasureProcess());
    const std::vector<std::string> notBack = harness.CountersNotBack();
    for (const std::string& line : notBack) std::printf("FAILED: not back after the last file: %s\n", line.c_str());
    return failed || !notBack.empty() ? 1 : 0;
}
