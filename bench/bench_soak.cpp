// The soak benchmark:  bench_soak [CYCLES]   (default 200)
// Runs every kind of run CYCLES times through the real main window and prints the process
// counters after the first cycle and after the last, and whatever did not go as it should.
// Exit status 0 when every run ended cleanly and everything was given back.
#include "bench/soak.h"

#include <cstdio>
#include <cstdlib>

namespace {
constexpr uint32_t kDefaultCycles = 200;
constexpr double kKilobyte = 1024.0;

void PrintCounters(const char* when, const ProcessCounters& c)
{
    std::printf("%-22s threads %u  handles %3u (files %u)  GDI %u  USER %u  committed %8.0f KB  heap %u blocks"
                " %.0f KB  global blocks %d\n", when, c.threads, c.handles, c.fileHandles, c.gdiObjects, c.userObjects,
                double(c.committedBytes) / kKilobyte, c.heapBlocks, double(c.heapBytes) / kKilobyte, c.globalBlocks);
}
}  // namespace

int main(int argc, char** argv)
{
    const uint32_t cycles = argc > 1 ? uint32_t(std::strtoul(argv[1], nullptr, 0)) : kDefaultCycles;
    const SoakResult result = RunSoak(cycles);
    std::printf("%u cycles, %u runs in %.1f s; GDI and USER objects %s\n", result.cycles, result.runs, result.seconds,
                result.afterFirst.guiCountsReported ? "as the platform reports them"
                                                    : "counted in Wine's GDI handle table and as windows");
    PrintCounters("after the first cycle:", result.afterFirst);
    for (size_t i = 0; i < result.everyTwenty.size(); ++i) {
        char when[32];
        std::snprintf(when, sizeof when, "after cycle %u:", unsigned(20 * (i + 1)));
        PrintCounters(when, result.everyTwenty[i]);
    }
    PrintCounters("after the last cycle:", result.afterLast);
    for (const std::string& problem : result.problems) std::printf("PROBLEM: %s\n", problem.c_str());
    const std::vector<std::string> notBack = SoakCountersNotBack(result.afterFirst, result.afterLast);
    for (const std::string& line : notBack) std::printf("NOT BACK: %s\n", line.c_str());
    return result.problems.empty() && notBack.empty() ? 0 : 1;
}
