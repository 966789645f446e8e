// TRILVOC.EXE: the batch analyser's entry. The usage goes to the output stream, a refusal or a
// bad argument to the error stream as one line; the exit status says which (0, 1 or 2).
#include <cstdio>

#include "batch/batch.h"
#include "batch/console.h"
#include "resources/resource.h"
#include "texts/texts.h"

namespace {
constexpr int kUsageBytes = 4096;
constexpr int kLineBytes = kBatchMessageBytes + 16;   // the message with the prefix and line end
const char kProgramPrefix[] = "TRILVOC: ";
}  // namespace

int main(int argc, char** argv)
{
    const BatchOutcome outcome = RunBatch(argc, argv);
    if (outcome.usage) {
        char usage[kUsageBytes];
        LoadText(IDS_BATCH_USAGE, usage, sizeof usage);
        WriteText(stdout, usage);
        LoadText(IDS_BATCH_USAGE_PICTURES, usage, sizeof usage);
        WriteText(stdout, usage);
    }
    WriteText(stdout, outcome.report);
    if (outcome.message[0]) {
        char line[kLineBytes];
        std::snprintf(line, sizeof line, "%s%s\n", kProgramPrefix, outcome.message);
        WriteText(stderr, line);
    }
    return outcome.status;
}
