// The last analysed block, kept as far as its spectrum needs it.
#include "export/keptblock.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "analysis/fft.h"
#include "export/csv.h"

void KeptBlock::FreeDeleter::operator()(void* p) const
{
    std::free(p);
}

bool KeptBlock::Prepare(int fftExponent, const SourceFormat& format)
{
    const uint64_t needed = uint64_t(PowerOfTwo(ClampFftExponent(fftExponent))) * std::max(format.FrameBytes(), 1u);
    if (needed > UINT32_MAX) return false;
    if (needed <= capacity_) return true;
    kept_ = false;
    capacity_ = 0;
    bytes_.reset(static_cast<uint8_t*>(std::malloc(size_t(needed))));
    if (!bytes_) return false;
    capacity_ = uint32_t(needed);
    return true;
}

void KeptBlock::Keep(const uint8_t* block, int32_t byteCount, uint64_t startByte, const SourceFormat& format,
                     const Settings& settings)
{
    if (!block || byteCount <= 0 || !bytes_) return;
    // The transform reads at most N frames, and a block of at least N frames windows N of them
    // whatever its length: the first `capacity_` bytes give the same spectrum as the block.
    count_ = int32_t(std::min(uint32_t(byteCount), capacity_));
    std::memcpy(bytes_.get(), block, size_t(count_));
    startByte_ = startByte;
    format_ = format;
    settings_ = settings;
    kept_ = true;
}

double KeptBlock::StartSeconds() const
{
    const uint32_t frameBytes = format_.FrameBytes();
    if (frameBytes == 0 || format_.samplesPerSec == 0) return 0.0;
    return double(startByte_ / frameBytes) / format_.samplesPerSec;
}
