// The soak: cycles of every kind of run through the real main window (playback streaming and on
// memory, each ending by itself and stopped part way; paused and continued; live and on-memory
// monitoring), with a view change before each run and an Options change through its dialog once
// a cycle. After a warm-up cycle, the process counters are taken after the first counted cycle
// and after the last: what the runs take, they must give back. bench_soak runs 200 cycles; the
// tests run a slice.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/fuzz/process_counters.h"

struct SoakResult {
    uint32_t cycles = 0;
    uint32_t runs = 0;
    double seconds = 0.0;
    ProcessCounters afterFirst, afterLast;
    std::vector<ProcessCounters> everyTwenty;   // after cycles 20, 40, ...
    std::vector<std::string> problems;   // runs that showed a message or did not end as they should
};

SoakResult RunSoak(uint32_t cycles);

// What is not back after the last cycle to where it was after the first: CountersNotBack's
// counts, and committed memory within a heap growth step (the sound driver keeps a few bytes per
// format query). The first and last cycles use the same options. Empty when everything is back.
std::vector<std::string> SoakCountersNotBack(const ProcessCounters& first, const ProcessCounters& last);
