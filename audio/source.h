// A source of PCM frames opened from a file of any supported type. Each container and codec is
// one implementation; the playback engine, the on-memory load, Wave Information, Export and the
// batch analyser read only through this interface. A source names its container and codec, the
// PCM format it delivers (a format the analysis and the device already take), its length in
// frames when known, and hands out the next whole frames into a caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/wavreader.h"
#include "core/types.h"

// What a source says of itself once it is open.
struct SourceDescription {
    const char* container = "";     // "WAVE", "RF64", "AIFF", "FLAC", "Ogg", "MPEG"
    const char* codecName = "";     // the Wave Information format field: "PCM", "IMA ADPCM", "FLAC", ...
    SourceFormat delivered;         // the PCM it hands out: 8/16/24/32-bit integer or 32-bit float
    bool lengthKnown = false;
    uint64_t lengthFrames = 0;      // decoded length, when known
    uint32_t bitRate = 0;           // coded bits per second (average for VBR); 0 for PCM
};

class AudioSource {
public:
    virtual ~AudioSource() = default;

    virtual const SourceDescription& Description() const = 0;
    // Decodes up to `maxFrames` whole frames into `buffer` (room for maxFrames frames of the
    // delivered format). Returns how many came; 0 means the data has ended (or could not be
    // read: see ReadFailed). Damaged data in the middle is skipped, never played twice.
    virtual uint32_t ReadFrames(uint8_t* buffer, uint32_t maxFrames) = 0;
    // Whether damaged data has been skipped so far (said once, after the run).
    virtual bool SkippedDamage() const = 0;
    // Whether the last ReadFrames ended because the file could not be read.
    virtual bool ReadFailed() const { return false; }
    // The record the output device gets, where the source hands its file's samples out as
    // stored (a WAV's format record as read); null: one is made from the delivered format.
    virtual const WAVEFORMATEX* DeviceRecord() const { return nullptr; }
};

// Compressed bytes pulled by a decoder (a chunk of a file, say); owned by the source that reads it.
class ByteInput {
public:
    virtual ~ByteInput() = default;
    // Reads up to `length` bytes; returns how many came (0 at the end or on a read failure).
    virtual uint32_t Read(uint8_t* buffer, uint32_t length) = 0;
    virtual bool ReadFailed() const { return false; }
};

// Opens one kind of file; on kOk `*source` holds the open source.
using SourceOpener = ReaderResult (*)(const char* path, std::unique_ptr<AudioSource>* source);
