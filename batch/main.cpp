// TRILVOC.EXE: the batch analyser's entry. The usage goes to the output stream, a refusal or a
// bad argument to the error stream as one line; the exit status says which (0, 1 or 2).
#include <cstdio>

#include "batch/batch.h"

int main(int argc, char** argv)
{
    const BatchOutcome outcome = RunBatch(argc, argv);
    if (outcome.usage) std::fputs(kBatchUsage, stdout);
    std::fputs(outcome.report, stdout);
    if (outcome.message[0]) std::fprintf(stderr, "TRILVOC: %s\n", outcome.message);
    return outcome.status;
}
