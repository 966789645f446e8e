// Batch analyser benchmark: a 10-minute 44.1 kHz 16-bit file (stereo, and mono for comparison)
// analysed whole by the blocks and spectrogram commands at FFT length 4096 and blocks of 2048
// (1/11025 s units, 8192 frames), and a 30-minute mono file drawn as the plain and the labelled
// spectrogram at FFT length 2048. Prints seconds of audio per second of analysis for each run.
#include <windows.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "batch/batch.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kSeconds = 600;
constexpr uint32_t kLongSeconds = 1800;
constexpr uint32_t kChunkFrames = 44100;
constexpr int kRepeats = 3;
constexpr double kTwoPi = 6.283185307179586;

double NowSeconds()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A sweep from 50 Hz to 15 kHz over a steady 1 kHz tone, written a second at a time.
std::string MakeFile(const char* name, uint16_t channels, uint32_t seconds = kSeconds)
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return std::string();
    const uint32_t frameBytes = 2u * channels, dataBytes = seconds * kRate * frameBytes;
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
    for (uint32_t second = 0; second < seconds; ++second) {
        for (uint32_t i = 0; i < kChunkFrames; ++i) {
            const double t = (double(second) * kRate + i) / kRate;
            phase += kTwoPi * (50.0 + 14950.0 * t / seconds) / kRate;
            const double v = 12000.0 * std::sin(phase) + 6000.0 * std::sin(kTwoPi * 1000.0 * t);
            for (uint16_t c = 0; c < channels; ++c) chunk[size_t(i) * channels + c] = int16_t(std::lround(v));
        }
        std::fwrite(chunk.data(), sizeof chunk[0], chunk.size(), file);
    }
    std::fclose(file);
    return path;
}

void Time(const char* label, const std::string& in, const char* command, const std::string& out,
          std::vector<const char*> options = {"--fft", "12"}, uint32_t seconds = kSeconds)
{
    std::vector<const char*> argv = {"TRILVOC.EXE", command, in.c_str(), out.c_str(), "--deltatime", "2048"};
    argv.insert(argv.end(), options.begin(), options.end());
    double best = 1e30;
    for (int r = 0; r < kRepeats; ++r) {
        const double start = NowSeconds();
        const BatchOutcome outcome = RunBatch(int(argv.size()), argv.data());
        const double elapsed = NowSeconds() - start;
        if (outcome.status != kBatchDone) {
            std::printf("%-34s failed: %s\n", label, outcome.message);
            return;
        }
        if (elapsed < best) best = elapsed;
    }
    std::printf("%-34s %7.3f s for %u s of audio: %6.0fx real time\n", label, best, seconds, seconds / best);
}
}  // namespace

int main()
{
    const std::string stereo = MakeFile("bench-batch-stereo.wav", 2), mono = MakeFile("bench-batch-mono.wav", 1);
    if (stereo.empty() || mono.empty()) {
        std::printf("cannot write the test files\n");
        return 1;
    }
    Time("stereo, blocks (CSV)", stereo, "blocks", stereo + ".csv");
    Time("stereo, spectrogram (PNG)", stereo, "spectrogram", stereo + ".png");
    Time("mono, blocks (CSV)", mono, "blocks", mono + ".csv");
    Time("mono, spectrogram (PNG)", mono, "spectrogram", mono + ".png");
    const std::string longMono = MakeFile("bench-batch-long.wav", 1, kLongSeconds);
    if (!longMono.empty()) {
        // Alternated, so a load that comes and goes weighs on both alike; the best of each.
        for (int round = 0; round < kRepeats; ++round) {
            Time("30 min mono, FFT 2048, bare", longMono, "spectrogram", longMono + ".png", {"--fft", "11", "--bare"}, kLongSeconds);
            Time("30 min mono, FFT 2048, labelled", longMono, "spectrogram", longMono + ".png", {"--fft", "11"}, kLongSeconds);
        }
        Time("30 min mono, FFT 2048, bands", longMono, "bands", longMono + ".csv", {"--fft", "11"}, kLongSeconds);
    }
    for (const std::string& path : {stereo, mono, longMono}) {
        for (const char* suffix : {"", ".csv", ".png"}) DeleteFileA((path + suffix).c_str());
    }
    return 0;
}
