// One stream of the platform's Audio Compression Manager from a compressed format to 16-bit PCM.
// The decoder owns the stream, its prepared conversion header and both of the header's buffers;
// compressed bytes are copied into the header's source buffer and whatever PCM each conversion
// gives is appended to the caller's queue. The drivers' habits are handled here: input in whole
// blocks (a partial last block padded with zeros, since the drivers drop it), buffers of at least
// one block (smaller sizes are refused), output the MPEG decoder holds back fetched with further
// conversions, and the prepared source length put back before the header is unprepared.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>
#include <cstdint>
#include <vector>

#include "audio/wavreader.h"

constexpr uint16_t kDecodedBits = 16;

class AcmDecoder {
public:
    AcmDecoder() = default;
    ~AcmDecoder() { Close(); }
    AcmDecoder(const AcmDecoder&) = delete;
    AcmDecoder& operator=(const AcmDecoder&) = delete;

    // Opens a stream from `input` to the 16-bit PCM its driver suggests, taking up to
    // `chunkBytes` per conversion (rounded to whole blocks, at least one). kNoCodec when no driver
    // takes the format or it cannot decode to 16-bit PCM of the same channels.
    [[nodiscard]] ReaderResult Open(const WAVEFORMATEX* input, uint32_t chunkBytes);
    // The most compressed bytes one conversion takes: a whole number of blocks.
    uint32_t ChunkBytes() const { return chunkBytes_; }
    const WAVEFORMATEX& Output() const { return output_; }
    // Converts `length` bytes (at most ChunkBytes(), whole blocks unless `last`) and appends the
    // PCM to `pcm`. `last`: the data ends with these bytes (a trailing partial block is padded to
    // a whole one where a block holds more than one frame, else dropped). False when the driver
    // refused them: nothing was appended for them.
    [[nodiscard]] bool Convert(const uint8_t* data, uint32_t length, bool last, std::vector<uint8_t>* pcm);

private:
    void Close();
    [[nodiscard]] bool Run(uint32_t length, DWORD flags, std::vector<uint8_t>* pcm);

    HACMSTREAM stream_ = nullptr;
    ACMSTREAMHEADER header_ = {};
    bool prepared_ = false;
    bool started_ = false;
    bool padsPartialBlock_ = false;
    uint32_t blockBytes_ = 1;
    uint32_t chunkBytes_ = 0;
    WAVEFORMATEX output_ = {};
    std::vector<uint8_t> source_, decoded_;
};
