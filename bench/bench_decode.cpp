// Decode speed of the compression manager's decoders:  bench_decode FILE.mp3|FILE.wav ...
// Opens each file (an MP3 through its opener; a WAV's format, fact and data chunks handed to the
// compressed-WAV opener), reads every frame in blocks of 4096 and prints the decoded length, the
// time taken and the factor over real time.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "audio/decoders.h"
#include "tests/support/compressed_wave.h"
#include "tests/support/support.h"

namespace {

constexpr uint32_t kBlockFrames = 4096;

}  // namespace

int main(int argc, char** argv)
{
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        std::unique_ptr<AudioSource> source;
        const bool wave = path.size() > 4 && path.compare(path.size() - 4, 4, ".wav") == 0;
        const ReaderResult opened = wave ? OpenCompressedWave(RiffChunks(ReadFileBytes(argv[i])), &source) : OpenMp3Source(argv[i], &source);
        if (opened != ReaderResult::kOk) {
            std::printf("%s: refused (%d)\n", argv[i], int(opened));
            status = 1;
            continue;
        }
        const SourceDescription& d = source->Description();
        std::vector<uint8_t> block(size_t(kBlockFrames) * d.delivered.blockAlign);
        uint64_t frames = 0;
        for (uint32_t n; (n = source->ReadFrames(block.data(), kBlockFrames)) > 0;) frames += n;
        QueryPerformanceCounter(&end);
        const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        const double playing = double(frames) / d.delivered.samplesPerSec;
        std::printf("%s: %s, %u Hz, %u ch, %llu frames (%.1f s) decoded in %.3f s: %.0fx real time\n", argv[i],
                    d.codecName, d.delivered.samplesPerSec, d.delivered.channels, (unsigned long long)frames, playing,
                    seconds, seconds > 0 ? playing / seconds : 0.0);
    }
    return status;
}
