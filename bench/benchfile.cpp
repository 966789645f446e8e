// The benchmarks' test file and clock.
#include "bench/benchfile.h"

#include <windows.h>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t kRate = kBenchRate;
constexpr uint32_t kSeconds = kBenchSeconds;
constexpr uint32_t kChunkFrames = 44100;
constexpr double kTwoPi = 6.283185307179586;

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
}  // namespace

double NowSeconds()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

// A sweep from 50 Hz to 15 kHz over a steady 1 kHz tone, written a second at a time.
std::string MakeBenchFile(const char* name, uint16_t channels)
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return std::string();
    const uint32_t frameBytes = 2u * channels, dataBytes = kSeconds * kRate * frameBytes;
    std::vector<uint8_t> header = {'R', 'I', 'F', 'F'};
    Put32(header, 36 + dataBytes);
    for (char c : std::string("WAVEfmt ")) header.push_back(uint8_t(c));
    Put32(header, 16);
    Put32(header, 1u | (uint32_t(channels) << 16));
    Put32(header, kRate);
    Put32(header, kRate * frameBytes);
    Put32(header, frameBytes | (16u << 16));
    for (char c : std::string("data")) header.push_back(uint8_t(c));
    Put32(header, dataBytes);
    std::fwrite(header.data(), 1, header.size(), file);
    std::vector<int16_t> chunk(size_t(kChunkFrames) * channels);
    double phase = 0.0;
    for (uint32_t second = 0; second < kSeconds; ++second) {
        for (uint32_t i = 0; i < kChunkFrames; ++i) {
            const double t = (double(second) * kRate + i) / kRate;
            phase += kTwoPi * (50.0 + 14950.0 * t / kSeconds) / kRate;
            const double v = 12000.0 * std::sin(phase) + 6000.0 * std::sin(kTwoPi * 1000.0 * t);
            for (uint16_t c = 0; c < channels; ++c) chunk[size_t(i) * channels + c] = int16_t(std::lround(v));
        }
        std::fwrite(chunk.data(), sizeof chunk[0], chunk.size(), file);
    }
    std::fclose(file);
    return path;
}

