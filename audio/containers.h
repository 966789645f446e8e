// The containers read by the project's own code: WAV (RIFF, through the WAV reader), RF64/BW64
// (64-bit sizes) and AIFF/AIFF-C. Each opener reads its header and gives a source that hands out
// the samples (converted to a little-endian format the analysis and the device take), or hands a
// compressed WAV's data to the compression-manager decoder.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/binaryfile.h"
#include "audio/source.h"

// A RIFF WAV file. `seenFormat` (may be null) receives the format figures once the format chunk
// has been accepted, also when the file is refused later (its data chunk missing or empty).
[[nodiscard]] ReaderResult OpenWaveSource(const char* path, OutputFormatQuery query, void* queryContext,
                                          std::unique_ptr<AudioSource>* source, SourceFormat* seenFormat);
// An RF64 or BW64 file: a WAV whose sizes stand in its "ds64" chunk.
[[nodiscard]] ReaderResult OpenRf64Source(const char* path, OutputFormatQuery query, void* queryContext,
                                          std::unique_ptr<AudioSource>* source, SourceFormat* seenFormat);
// An AIFF or AIFF-C file (uncompressed, byte-swapped, float, mu-law or A-law samples).
[[nodiscard]] ReaderResult OpenAiffSource(const char* path, std::unique_ptr<AudioSource>* source);

// The sample rate of an 80-bit extended float (sign, 15-bit exponent, 64-bit mantissa with its
// integer bit), rounded to whole hertz; 0 for anything not a positive rate below 2^32.
uint32_t ExtendedToRate(const uint8_t* bytes);

// The 16-bit value of a G.711 mu-law or A-law byte.
int16_t MuLawSample(uint8_t code);
int16_t ALawSample(uint8_t code);

// A stretch of a file read front to back (the data of a container), at 64-bit offsets.
class FileRegion {
public:
    // The region of `bytes` bytes from `offset` of `file`, which it takes over.
    void Take(std::unique_ptr<BinaryFile> file, uint64_t offset, uint64_t bytes);
    // Reads up to `length` bytes of what is left; fewer than asked (before the region's end)
    // means the file holds less than its header claims: ReadFailed then says so.
    uint32_t Read(uint8_t* buffer, uint32_t length);
    bool ReadFailed() const { return failed_; }

private:
    std::unique_ptr<BinaryFile> file_;
    uint64_t next_ = 0, end_ = 0;
    bool failed_ = false;
};

// The record the output device gets for a delivered format: PCM or float as the plain record
// where every device takes it, else its extensible equivalent (more than 16 bits or two channels).
WAVEFORMATEXTENSIBLE DeviceRecordFor(const SourceFormat& format);
