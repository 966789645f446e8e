// What the library decoders (FLAC, Ogg Vorbis, Opus) share: the compressed file they pull bytes
// from (read through the platform with the path in the ANSI code page, seekable for the libraries
// that look at the end of a stream for its length), and a source base that hands out the frames a
// decoder produced chunk by chunk, whole frames only, never more than the declared length.
#pragma once

#include <windows.h>
#include <cstdint>
#include <vector>

#include "audio/source.h"

// A compressed file opened for reading; closed when destroyed.
class CompressedFile {
public:
    CompressedFile() = default;
    ~CompressedFile();
    CompressedFile(const CompressedFile&) = delete;
    CompressedFile& operator=(const CompressedFile&) = delete;

    [[nodiscard]] bool Open(const char* path);
    // Reads up to `length` bytes; returns how many came (0 at the end or on a read failure).
    uint32_t Read(void* buffer, uint32_t length);
    // Moves to `offset` from the start (FILE_BEGIN), the current position or the end.
    [[nodiscard]] bool Seek(int64_t offset, DWORD origin);
    int64_t Tell() const;
    int64_t Size() const;
    bool AtEnd() const { return Tell() >= Size(); }
    bool ReadFailed() const { return readFailed_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool readFailed_ = false;
};

// The delivered format of a decoder: interleaved PCM (8-bit unsigned, 16/24/32-bit signed) or
// 32-bit float, with the figures a WAV format record of it would have.
SourceFormat DeliveredFormat(uint32_t rate, uint16_t channels, uint16_t bits, bool floatSamples);

// A source whose decoder produces a chunk of whole frames at a time.
class DecodedSource : public AudioSource {
public:
    const SourceDescription& Description() const override { return description_; }
    uint32_t ReadFrames(uint8_t* buffer, uint32_t maxFrames) override;
    bool SkippedDamage() const override { return damaged_; }
    bool ReadFailed() const override { return file_.ReadFailed(); }
    [[nodiscard]] ReaderResult OpenFile(const char* path)
    {
        return file_.Open(path) ? ReaderResult::kOk : ReaderResult::kCannotOpenFile;
    }

protected:
    // Decodes the next chunk into `pending_` (whole frames of the delivered format); false when
    // the data has ended. A chunk may be empty (damaged data skipped).
    virtual bool DecodeMore() = 0;
    void NoteDamage() { damaged_ = true; }

    CompressedFile file_;
    SourceDescription description_;
    std::vector<uint8_t> pending_;

private:
    size_t pendingOffset_ = 0;
    uint64_t delivered_ = 0;
    bool damaged_ = false;
    bool ended_ = false;
};

// Vorbis and Opus order their channels front left, centre, front right, ...; WAV orders them front
// left, front right, centre, LFE, .... The Vorbis channel each delivered channel is taken from.
const uint8_t* WaveOrderOfVorbisChannels(int channels);
