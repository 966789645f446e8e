// The window's memory of its last analysed block, for the export of its spectrum: the block's
// first frames (as many as the transform reads, so the spectrum comes out the same as from the
// whole block), where it starts in the source, and the format and settings it was analysed with.
// Room is made when a run starts; keeping a block only copies.
#pragma once

#include <cstdint>
#include <memory>

#include "core/types.h"

class KeptBlock {
public:
    KeptBlock() = default;
    KeptBlock(const KeptBlock&) = delete;
    KeptBlock& operator=(const KeptBlock&) = delete;

    // Room for the frames an FFT of 2^fftExponent points reads from blocks of `format`; what
    // was kept is forgotten when the room has to grow. False when memory runs out.
    [[nodiscard]] bool Prepare(int fftExponent, const SourceFormat& format);
    // Keeps the analysed block that starts `startByte` bytes into the source's data.
    void Keep(const uint8_t* block, int32_t byteCount, uint64_t startByte, const SourceFormat& format,
              const Settings& settings);
    // Forgets the kept block (a new source has been opened).
    void Clear() { kept_ = false; }

    bool Kept() const { return kept_; }
    const uint8_t* Bytes() const { return bytes_.get(); }
    int32_t ByteCount() const { return count_; }
    const SourceFormat& Format() const { return format_; }
    const Settings& AnalysedWith() const { return settings_; }
    // Seconds from the start of the source to the block, at the source's rate.
    double StartSeconds() const;

private:
    struct FreeDeleter { void operator()(void* p) const; };
    std::unique_ptr<uint8_t, FreeDeleter> bytes_;
    uint32_t capacity_ = 0;
    int32_t count_ = 0;
    uint64_t startByte_ = 0;
    SourceFormat format_;
    Settings settings_;
    bool kept_ = false;
};
