// Decoder benchmark: each file named on the command line (FLAC, Ogg Vorbis or Opus; made by
// scripts/bench-decoders) read whole through its source in blocks of 8192 frames, as the batch
// analyser reads it. Prints seconds of audio per second of decoding (the real-time factor).
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/decoders.h"

namespace {

constexpr uint32_t kBlockFrames = 8192;
constexpr int kRepeats = 3;

double NowSeconds()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

bool EndsWith(const char* text, const char* end)
{
    const size_t n = std::strlen(text), m = std::strlen(end);
    return n >= m && std::strcmp(text + n - m, end) == 0;
}

// Decodes the file once; returns the seconds it took (negative when it cannot be opened).
double DecodeOnce(const char* path, double* audioSeconds, const char** codec)
{
    std::unique_ptr<AudioSource> source;
    const double start = NowSeconds();
    const ReaderResult opened = EndsWith(path, ".flac") ? OpenFlacSource(path, &source) : OpenOggSource(path, &source);
    if (opened != ReaderResult::kOk) return -1;
    const SourceDescription& description = source->Description();
    std::vector<uint8_t> block(size_t(kBlockFrames) * description.delivered.blockAlign);
    uint64_t frames = 0;
    for (uint32_t got; (got = source->ReadFrames(block.data(), kBlockFrames)) != 0;) frames += got;
    const double elapsed = NowSeconds() - start;
    *audioSeconds = double(frames) / description.delivered.samplesPerSec;
    *codec = description.codecName;
    return elapsed;
}

}  // namespace

int main(int argc, char** argv)
{
    std::printf("codec,file,audio_s,best_decode_s,realtime_factor\n");
    for (int i = 1; i < argc; ++i) {
        double best = 1e30, audio = 0;
        const char* codec = "";
        for (int r = 0; r < kRepeats; ++r) {
            const double elapsed = DecodeOnce(argv[i], &audio, &codec);
            if (elapsed < 0) {
                std::fprintf(stderr, "cannot open %s\n", argv[i]);
                return 2;
            }
            if (elapsed < best) best = elapsed;
        }
        std::printf("%s,%s,%.1f,%.3f,%.0f\n", codec, argv[i], audio, best, audio / best);
    }
    return 0;
}
