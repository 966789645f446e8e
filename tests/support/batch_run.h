// The batch analyser's entry run in this process as TRILVOC.EXE would run it, and the text files
// it writes read back whole.
#pragma once

#include <string>
#include <vector>

#include "batch/batch.h"
#include "tests/support/support.h"

// TRILVOC.EXE run with `arguments`, then `options`.
inline BatchOutcome Batch(const std::vector<std::string>& arguments, const std::vector<std::string>& options = {})
{
    std::vector<const char*> argv = {"TRILVOC.EXE"};
    for (const auto* list : {&arguments, &options})
        for (const std::string& argument : *list) argv.push_back(argument.c_str());
    return RunBatch(int(argv.size()), argv.data());
}

// A whole file as text (empty when it cannot be read).
inline std::string ReadText(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}
