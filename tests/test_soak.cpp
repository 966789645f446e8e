// A slice of the soak (bench/soak.cpp; bench_soak runs 200 cycles): twenty cycles of every kind
// of run end cleanly, and what they took is given back.
#include <gtest/gtest.h>

#include "bench/soak.h"

namespace {

constexpr uint32_t kSliceCycles = 20;

TEST(Soak, TwentyCyclesOfEveryRunEndCleanlyAndGiveBackWhatTheyTook)
{
    const SoakResult result = RunSoak(kSliceCycles);
    for (const std::string& problem : result.problems) ADD_FAILURE() << problem;
    for (const std::string& line : SoakCountersNotBack(result.afterFirst, result.afterLast)) ADD_FAILURE() << line;
}

}  // namespace
