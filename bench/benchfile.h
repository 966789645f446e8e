// The benchmarks' test file: a 10-minute 44.1 kHz 16-bit WAV (a sweep over a steady tone) written
// to the temporary folder, and a clock.
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t kBenchRate = 44100;
constexpr uint32_t kBenchSeconds = 600;

// Seconds on the performance counter.
double NowSeconds();
// Writes the file named `name` into the temporary folder; its path, or empty when it cannot be written.
std::string MakeBenchFile(const char* name, uint16_t channels);
