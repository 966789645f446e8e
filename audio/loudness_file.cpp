// Reads a whole file into a loudness meter, read by read, through the WAV reader.
#include "audio/loudness_file.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// No sound device is asked: every format the reader can read is measured.
MMRESULT AcceptAnyFormat(const WAVEFORMATEX*)
{
    return MMSYSERR_NOERROR;
}

// The speakers of an extensible record (0 for any other: the usual layout of its channels).
uint32_t ChannelMaskOf(const WAVEFORMATEX* record)
{
    if (!record || record->wFormatTag != WAVE_FORMAT_EXTENSIBLE || record->cbSize < kMinExtensibleSize) return 0;
    return reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(record)->dwChannelMask;
}

struct FreeDeleter { void operator()(void* p) const { std::free(p); } };
}  // namespace

LoudnessRun MeasureFileLoudness(const char* path, LoudnessMeter* meter, LoudnessWatch* watch)
{
    LoudnessRun run;
    WaveReader reader;
    run.opened = reader.Open(path, AcceptAnyFormat);
    if (run.opened != ReaderResult::kOk) return run;
    const SourceFormat format = reader.Format();
    const LoudnessSetup setup = meter->Prepare(format, ChannelMaskOf(reader.Record()));
    if (setup != LoudnessSetup::kOk) {
        run.failure = setup == LoudnessSetup::kNoMemory ? LoudnessFailure::kNoMemory : LoudnessFailure::kUnsupportedFormat;
        return run;
    }
    const uint32_t frameBytes = uint32_t(format.SampleBytes()) * format.channels;
    const uint32_t readBytes = std::max(kLoudnessReadBytes / frameBytes, 1u) * frameBytes;
    std::unique_ptr<uint8_t, FreeDeleter> buffer(static_cast<uint8_t*>(std::malloc(readBytes)));
    if (!buffer) {
        run.failure = LoudnessFailure::kNoMemory;
        return run;
    }
    const uint64_t total = std::max(reader.TotalBytes(), 1u);
    for (;;) {
        if (watch->stop.load()) {
            run.failure = LoudnessFailure::kStopped;
            return run;
        }
        const uint32_t length = reader.TakeNextBlockLength(readBytes);
        const uint32_t got = length ? reader.Read(buffer.get(), length) : 0;
        meter->AddBytes(buffer.get(), got);
        watch->permilleRead.store(uint32_t((total - reader.RemainingBytes()) * kPermille / total));
        if (got < length || length == 0) break;   // a short read: the file holds no more
    }
    if (!meter->Complete()) run.failure = LoudnessFailure::kNoMemory;
    return run;
}
