// The open file of the window or the batch analyser: its type judged by content, the source that
// reads it, the record the device gets, and its delivered bytes counted as the engines read them
// (whole frames from the source, handed out as a stream of bytes in whatever pieces are asked).
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>
#include <memory>

#include "audio/source.h"

// Opens any supported file as a source: judged by its first bytes, then read by its opener. A
// decoded source's delivered format is offered to `query` (a WAV asks at its own step).
// `seenFormat` (may be null) receives a WAV's format figures once its format chunk is accepted.
[[nodiscard]] ReaderResult OpenAudioSource(const char* path, std::unique_ptr<AudioSource>* source,
                                           OutputFormatQuery query = QueryOutputFormat,
                                           void* queryContext = nullptr, SourceFormat* seenFormat = nullptr);

class FileSource {
public:
    FileSource() = default;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Opens `path`; on a refusal nothing stays open, and a format accepted before the refusal
    // stays readable through HasFormat()/Format().
    [[nodiscard]] ReaderResult Open(const char* path, OutputFormatQuery query = QueryOutputFormat,
                                    void* queryContext = nullptr);
    void Close();
    bool IsOpen() const { return source_ != nullptr; }

    bool HasFormat() const { return hasFormat_; }
    // The delivered format (for a WAV: the figures its format chunk states).
    const SourceFormat& Format() const { return format_; }
    // What the source says of itself (valid while open; a default one otherwise).
    const SourceDescription& Description() const { return source_ ? source_->Description() : kNoDescription; }
    const WAVEFORMATEX* Record() const { return record_; }
    // The decoded length in bytes: as the file states it, else counted when it opens (0 when the
    // source delivers nothing).
    uint64_t TotalBytes() const { return totalBytes_; }
    uint64_t RemainingBytes() const { return remainingBytes_; }
    // The bytes taken for blocks so far (what a short read did not bring is given back).
    uint64_t BytesTaken() const { return bytesTaken_; }

    // The next block: the smaller of `blockSize` and the bytes not yet read, taken off them.
    uint32_t TakeNextBlockLength(uint32_t blockSize);
    // Reads up to `length` bytes; fewer means the data has ended (nothing remains after it).
    uint32_t Read(uint8_t* buffer, uint32_t length);
    // Whether a read came short because the file could not be read (not a decoder's early end).
    bool ReadFailed() const { return source_ && source_->ReadFailed(); }
    // Whether damaged data was skipped since the file was opened (kept after Close until said).
    bool SkippedDamage() const { return skippedDamage_; }
    void ForgetSkippedDamage() { skippedDamage_ = false; }

private:
    static const SourceDescription kNoDescription;
    std::unique_ptr<AudioSource> source_;
    WAVEFORMATEXTENSIBLE ownRecord_ = {};
    const WAVEFORMATEX* record_ = nullptr;
    bool hasFormat_ = false;
    SourceFormat format_;
    uint32_t frameBytes_ = 1;
    uint64_t totalBytes_ = 0, remainingBytes_ = 0, bytesTaken_ = 0;
    bool skippedDamage_ = false;
    // The bytes of a frame read whole of which the caller took only the front.
    uint8_t carry_[UINT16_MAX] = {};
    uint32_t carryStart_ = 0, carryEnd_ = 0;
};
