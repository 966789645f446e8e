// Slices of the two long runs through the real main window, each checked with the process
// counters. The WAV fuzzer (tools/fuzz; scripts/fuzz runs it at length) at a fixed seed: each
// file through the Wave Information dialog, open, Start, the run, Stop and Close, without a
// crash, a hang, a message that is not the program's own, a file handle or a global memory block
// left behind, or a read past its block. The files of the two faults earlier fuzzing found (chunk
// sizes that wrap past 4 GB, a frame too large for the block align) are rows of
// test_wavreader.cpp. The soak (bench/soak.cpp; bench_soak runs 200 cycles): twenty cycles of
// every kind of run end cleanly, and what they took is given back.
#include <gtest/gtest.h>

#include "bench/soak.h"
#include "tools/fuzz/fuzz_harness.h"

namespace {

constexpr uint32_t kSeed = 1, kSliceFiles = 150, kSliceCycles = 20;

TEST(WavFuzz, AFixedSeedSliceEndsEveryFileCleanlyAndLeavesNothingBehind)
{
    FuzzHarness harness;
    ASSERT_TRUE(harness.Open());
    uint32_t played = 0;
    for (uint32_t index = 0; index < kSliceFiles; ++index) {
        const FuzzFile file = MakeFuzzFile(kSeed, index);
        const FuzzReport report = harness.Run(file);
        for (const std::string& failure : report.failures) ADD_FAILURE() << "file " << index << " (" << file.description << "): " << failure;
        played += report.played;
    }
    EXPECT_GT(played, 0u) << "the slice should reach runs, not only refusals";
    for (const std::string& line : harness.CountersNotBack()) ADD_FAILURE() << "not back after the slice: " << line;
}

TEST(Soak, TwentyCyclesOfEveryRunEndCleanlyAndGiveBackWhatTheyTook)
{
    const SoakResult result = RunSoak(kSliceCycles);
    for (const std::string& problem : result.problems) ADD_FAILURE() << problem;
    for (const std::string& line : SoakCountersNotBack(result.afterFirst, result.afterLast)) ADD_FAILURE() << line;
}

}  // namespace
