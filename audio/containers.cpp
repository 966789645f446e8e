// WAV, RF64 and AIFF sources: the header walks, the samples read from the data region and
// converted where the file's layout is not one the device and the analysis take, and the hand-over
// of compressed WAV data to the compression-manager decoder.
#include "audio/containers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/decoders.h"

namespace {

constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kIdBytes = 4;
constexpr uint32_t kMaxReadBytes = 0x40000000;   // one read's bytes: well inside 32 bits
constexpr uint32_t kConvertFrames = 4096;        // frames converted per step through the scratch

bool IdIs(const uint8_t* p, const char* id) { return std::memcmp(p, id, kIdBytes) == 0; }
uint64_t Padded(uint64_t size) { return size + (size & 1); }

// ---- How the file stores its samples, and the conversion to what is delivered ----------------

enum class StoredSamples : int {
    kAsDelivered,      // little-endian PCM or float: read straight into the caller's buffer
    kBigEndianPcm,     // signed, most significant byte first (8-bit: signed)
    kLittleEndianPcm,  // signed, least significant byte first (8-bit: signed)
    kBigEndianFloat,   // IEEE 32-bit
    kBigEndianDouble,  // IEEE 64-bit, delivered as 32-bit float
    kMuLaw, kALaw,     // one byte each, delivered as 16-bit
};

constexpr uint8_t kSignFlip = 0x80;   // signed 8-bit to the offset binary of 8-bit PCM

void ConvertSample(StoredSamples stored, int inBytes, const uint8_t* in, uint8_t* out)
{
    switch (stored) {
    case StoredSamples::kAsDelivered: std::memcpy(out, in, size_t(inBytes)); return;
    case StoredSamples::kBigEndianPcm:
    case StoredSamples::kLittleEndianPcm:
        if (inBytes == 1) {
            out[0] = uint8_t(in[0] ^ kSignFlip);
            return;
        }
        if (stored == StoredSamples::kLittleEndianPcm) std::memcpy(out, in, size_t(inBytes));
        else std::reverse_copy(in, in + inBytes, out);
        return;
    case StoredSamples::kBigEndianFloat: std::reverse_copy(in, in + 4, out); return;
    case StoredSamples::kBigEndianDouble: {
        uint8_t swapped[8];
        std::reverse_copy(in, in + 8, swapped);
        double value;
        std::memcpy(&value, swapped, sizeof value);
        const float single = float(value);
        std::memcpy(out, &single, sizeof single);
        return;
    }
    case StoredSamples::kMuLaw:
    case StoredSamples::kALaw: {
        const int16_t value = stored == StoredSamples::kMuLaw ? MuLawSample(in[0]) : ALawSample(in[0]);
        out[0] = uint8_t(uint16_t(value));
        out[1] = uint8_t(uint16_t(value) >> 8);
        return;
    }
    }
}

// Samples of one channel layout read from a region of the file and handed out as whole frames.
class RegionSource : public AudioSource {
public:
    RegionSource(const SourceDescription& description, StoredSamples stored, int storedSampleBytes,
                 std::vector<uint8_t> deviceRecord)
        : description_(description), stored_(stored), inSampleBytes_(storedSampleBytes),
          deviceRecord_(std::move(deviceRecord))
    {
        outFrameBytes_ = std::max<uint32_t>(description.delivered.blockAlign, 1);
        inFrameBytes_ = stored == StoredSamples::kAsDelivered ? outFrameBytes_
                                                              : uint32_t(inSampleBytes_) * description.delivered.channels;
    }
    FileRegion& Region() { return region_; }
    uint32_t StoredFrameBytes() const { return inFrameBytes_; }

    const SourceDescription& Description() const override { return description_; }
    bool SkippedDamage() const override { return false; }
    bool ReadFailed() const override { return region_.ReadFailed(); }
    const WAVEFORMATEX* DeviceRecord() const override
    {
        return deviceRecord_.empty() ? nullptr : reinterpret_cast<const WAVEFORMATEX*>(deviceRecord_.data());
    }

    uint32_t ReadFrames(uint8_t* buffer, uint32_t maxFrames) override
    {
        if (!buffer || maxFrames == 0) return 0;
        if (stored_ == StoredSamples::kAsDelivered) {
            const uint32_t frames = std::min<uint32_t>(maxFrames, kMaxReadBytes / outFrameBytes_);
            return region_.Read(buffer, frames * outFrameBytes_) / outFrameBytes_;
        }
        if (scratch_.empty()) scratch_.resize(size_t(kConvertFrames) * inFrameBytes_);
        uint32_t done = 0;
        while (done < maxFrames) {
            const uint32_t want = std::min(maxFrames - done, kConvertFrames);
            const uint32_t frames = region_.Read(scratch_.data(), want * inFrameBytes_) / inFrameBytes_;
            const uint32_t samples = frames * description_.delivered.channels;
            const int outSampleBytes = description_.delivered.SampleBytes();
            uint8_t* out = buffer + size_t(done) * outFrameBytes_;
            for (uint32_t i = 0; i < samples; ++i)
                ConvertSample(stored_, inSampleBytes_, scratch_.data() + size_t(i) * inSampleBytes_,
                              out + size_t(i) * outSampleBytes);
            done += frames;
            if (frames < want) break;
        }
        return done;
    }

private:
    SourceDescription description_;
    StoredSamples stored_;
    int inSampleBytes_;
    uint32_t inFrameBytes_ = 1, outFrameBytes_ = 1;
    std::vector<uint8_t> deviceRecord_;
    std::vector<uint8_t> scratch_;
    FileRegion region_;
};

// ---- WAV (RIFF) through the WAV reader ----------------------------------------------------------

// A PCM or float WAV: the reader's data handed out whole frames at a time.
class WaveFileSource : public AudioSource {
public:
    explicit WaveFileSource(std::unique_ptr<WaveReader> reader) : reader_(std::move(reader))
    {
        description_.container = "WAVE";
        description_.codecName = FormatTagName(reader_->Format().formatTag);
        description_.delivered = reader_->Format();
        frameBytes_ = std::max<uint32_t>(description_.delivered.blockAlign, 1);
        description_.lengthKnown = true;
        description_.lengthFrames = reader_->TotalBytes() / frameBytes_;
    }
    const SourceDescription& Description() const override { return description_; }
    bool SkippedDamage() const override { return false; }
    bool ReadFailed() const override { return failed_; }
    const WAVEFORMATEX* DeviceRecord() const override { return reader_->Record(); }

    uint32_t ReadFrames(uint8_t* buffer, uint32_t maxFrames) override
    {
        const uint32_t frames = std::min<uint32_t>(maxFrames, kMaxReadBytes / frameBytes_);
        const uint32_t length = reader_->TakeNextBlockLength(frames * frameBytes_);
        const uint32_t got = length ? reader_->Read(buffer, length) : 0;
        if (got < length) failed_ = true;   // the file holds less than its data chunk claims
        return got / frameBytes_;
    }

private:
    std::unique_ptr<WaveReader> reader_;
    SourceDescription description_;
    uint32_t frameBytes_ = 1;
    bool failed_ = false;
};

// The data chunk of a compressed WAV, read by its decoder.
class WaveDataInput : public ByteInput {
public:
    explicit WaveDataInput(std::unique_ptr<WaveReader> reader) : reader_(std::move(reader)) {}
    uint32_t Read(uint8_t* buffer, uint32_t length) override
    {
        const uint32_t wanted = reader_->TakeNextBlockLength(length);
        const uint32_t got = wanted ? reader_->Read(buffer, wanted) : 0;
        if (got < wanted) failed_ = true;
        return got;
    }
    bool ReadFailed() const override { return failed_; }

private:
    std::unique_ptr<WaveReader> reader_;
    bool failed_ = false;
};

class RegionInput : public ByteInput {
public:
    FileRegion& Region() { return region_; }
    uint32_t Read(uint8_t* buffer, uint32_t length) override { return region_.Read(buffer, length); }
    bool ReadFailed() const override { return region_.ReadFailed(); }

private:
    FileRegion region_;
};

// ---- RF64 ---------------------------------------------------------------------------------------

constexpr uint32_t kSizeInDs64 = 0xFFFFFFFF;   // a 32-bit size that stands in the ds64 chunk
constexpr uint32_t kDs64Bytes = 24;            // RIFF size, data size, sample count
constexpr uint32_t kRiffHeadBytes = 12;

struct Rf64Layout {
    std::vector<uint8_t> record;      // the format chunk as read
    uint64_t dataOffset = 0, dataBytes = 0;
    uint64_t factFrames = 0;
    bool hasFormat = false, hasData = false;
};

// The format chunk read and judged as the WAV reader judges one.
ReaderResult ReadRf64Format(BinaryFile& file, uint64_t offset, uint32_t size, Rf64Layout* layout)
{
    if (CheckFormatChunkSize(size) != kFormatAccepted) return ReaderResult::kUnreadableFormat;
    if (size == 0) return ReaderResult::kLockFailed;
    layout->record.assign(std::max<size_t>(size, sizeof(WAVEFORMATEX)), 0);
    const uint32_t got = file.ReadAt(offset, layout->record.data(), size);
    if (got == size && size >= kMinFormatChunkSize &&
        CompressedTagKind(LittleEndian16(layout->record.data())) != CompressedTag::kNone) {
        layout->hasFormat = true;
        return ReaderResult::kOk;
    }
    switch (CheckFormatChunk(layout->record.data(), size, got)) {
    case kFormatAccepted: layout->hasFormat = true; return ReaderResult::kOk;
    case kFormatNotPcm: return ReaderResult::kNotPcm;
    case kFormatUnplayable: return ReaderResult::kUnplayable;
    default: return ReaderResult::kUnreadableFormat;
    }
}

// The ds64 sizes and the chunks after it: the format, a fact and the data after the format.
ReaderResult WalkRf64(BinaryFile& file, Rf64Layout* layout)
{
    uint8_t head[kChunkHeaderBytes + kDs64Bytes];
    if (!file.ReadExactly(kRiffHeadBytes, head, sizeof head) || !IdIs(head, "ds64") ||
        LittleEndian32(head + kIdBytes) < kDs64Bytes)
        return ReaderResult::kBrokenWave;
    const uint64_t dataSize64 = LittleEndian64(head + kChunkHeaderBytes + 8);
    const uint64_t sampleCount64 = LittleEndian64(head + kChunkHeaderBytes + 16);
    uint64_t position = kRiffHeadBytes + kChunkHeaderBytes + Padded(LittleEndian32(head + kIdBytes));
    while (position + kChunkHeaderBytes <= file.Size()) {
        uint8_t chunk[kChunkHeaderBytes];
        if (!file.ReadExactly(position, chunk, sizeof chunk)) break;
        const uint32_t size32 = LittleEndian32(chunk + kIdBytes);
        const uint64_t body = position + kChunkHeaderBytes;
        uint64_t size = size32;
        if (IdIs(chunk, "data") && size32 == kSizeInDs64) size = dataSize64;
        if (IdIs(chunk, "fmt ") && !layout->hasFormat) {
            const ReaderResult result = ReadRf64Format(file, body, size32, layout);
            if (result != ReaderResult::kOk) return result;
        } else if (IdIs(chunk, "fact") && size32 >= 4) {
            uint8_t frames[4];
            if (file.ReadExactly(body, frames, sizeof frames))
                layout->factFrames = LittleEndian32(frames) == kSizeInDs64 ? sampleCount64 : LittleEndian32(frames);
        } else if (IdIs(chunk, "data") && layout->hasFormat) {
            layout->dataOffset = body;
            layout->dataBytes = size;
            layout->hasData = true;
            return ReaderResult::kOk;
        }
        position = body + Padded(size);
    }
    return layout->hasFormat ? ReaderResult::kNoDataChunk : ReaderResult::kBrokenWave;
}

}  // namespace

// ---- Shared pieces --------------------------------------------------------------------------------

void FileRegion::Take(std::unique_ptr<BinaryFile> file, uint64_t offset, uint64_t bytes)
{
    file_ = std::move(file);
    next_ = offset;
    end_ = offset + bytes;
    failed_ = false;
}

uint32_t FileRegion::Read(uint8_t* buffer, uint32_t length)
{
    if (!file_ || next_ >= end_ || length == 0) return 0;
    const uint32_t wanted = uint32_t(std::min<uint64_t>(length, end_ - next_));
    const uint32_t got = file_->ReadAt(next_, buffer, wanted);
    next_ += got;
    if (got < wanted) {
        failed_ = true;
        end_ = next_;
    }
    return got;
}

WAVEFORMATEXTENSIBLE DeviceRecordFor(const SourceFormat& format)
{
    WAVEFORMATEX plain = {};
    plain.wFormatTag = format.floatSamples ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
    plain.nChannels = format.channels;
    plain.nSamplesPerSec = format.samplesPerSec;
    plain.nAvgBytesPerSec = format.avgBytesPerSec;
    plain.nBlockAlign = format.blockAlign;
    plain.wBitsPerSample = format.bitsPerSample;
    WAVEFORMATEXTENSIBLE record = {};
    if (!format.floatSamples) {
        if (NeedsExtensibleRecord(plain)) return ExtensibleRecordOf(plain);
        record.Format = plain;
        return record;
    }
    // Float: tag 3 for mono and stereo, the extensible float record for more channels.
    plain.wFormatTag = WAVE_FORMAT_PCM;
    if (format.channels <= 2) {
        plain.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
        record.Format = plain;
        return record;
    }
    record = ExtensibleRecordOf(plain);
    record.SubFormat.Data1 = WAVE_FORMAT_IEEE_FLOAT;
    return record;
}

int16_t MuLawSample(uint8_t code)
{
    constexpr int kBias = 0x84;
    const int u = ~code & 0xFF;
    const int magnitude = (((u & 0x0F) << 3) + kBias) << ((u & 0x70) >> 4);
    return int16_t((u & 0x80) ? kBias - magnitude : magnitude - kBias);
}

int16_t ALawSample(uint8_t code)
{
    const int a = code ^ 0x55;
    int magnitude = (a & 0x0F) << 4;
    const int segment = (a & 0x70) >> 4;
    if (segment == 0) magnitude += 8;
    else magnitude = (magnitude + 0x108) << (segment - 1);
    return int16_t((a & 0x80) ? magnitude : -magnitude);
}

uint32_t ExtendedToRate(const uint8_t* bytes)
{
    constexpr int kExponentBias = 16383, kMantissaBits = 63;
    if (bytes[0] & 0x80) return 0;
    const int exponent = ((bytes[0] & 0x7F) << 8) | bytes[1];
    const uint64_t mantissa = uint64_t(BigEndian32(bytes + 2)) << 32 | BigEndian32(bytes + 6);
    const double value = std::ldexp(double(mantissa), exponent - kExponentBias - kMantissaBits);
    if (!(value >= 0.5) || value >= double(UINT32_MAX)) return 0;
    return uint32_t(value + 0.5);
}

// ---- Openers --------------------------------------------------------------------------------------

ReaderResult OpenWaveSource(const char* path, OutputFormatQuery query, void* queryContext, std::unique_ptr<AudioSource>* source,
                            SourceFormat* seenFormat)
{
    auto reader = std::make_unique<WaveReader>();
    const ReaderResult result = reader->OpenWithCompressed(path, query, queryContext);
    if (reader->HasFormat() && seenFormat) *seenFormat = reader->Format();
    if (result != ReaderResult::kOk) return result;
    if (!reader->Compressed()) {
        *source = std::make_unique<WaveFileSource>(std::move(reader));
        return ReaderResult::kOk;
    }
    const std::vector<uint8_t> record(reader->FileRecord(), reader->FileRecord() + reader->FileRecordBytes());
    const uint32_t factFrames = reader->FactFrames();
    return OpenAcmSource(record.data(), uint32_t(record.size()), std::make_unique<WaveDataInput>(std::move(reader)),
                         factFrames, source);
}

ReaderResult OpenRf64Source(const char* path, OutputFormatQuery query, void* queryContext, std::unique_ptr<AudioSource>* source,
                            SourceFormat* seenFormat)
{
    if (!path || !path[0]) return ReaderResult::kNoFileName;
    auto file = std::make_unique<BinaryFile>();
    if (!file->Open(path)) return ReaderResult::kCannotOpenFile;
    Rf64Layout layout;
    const ReaderResult walked = WalkRf64(*file, &layout);
    if (walked != ReaderResult::kOk && !layout.hasFormat) return walked;
    const WAVEFORMATEX& record = *reinterpret_cast<const WAVEFORMATEX*>(layout.record.data());
    const bool compressed = CompressedTagKind(record.wFormatTag) != CompressedTag::kNone;
    if (compressed && CompressedTagKind(record.wFormatTag) == CompressedTag::kUnsupported)
        return ReaderResult::kUnsupportedCodec;
    std::vector<uint8_t> device;
    if (!compressed) {
        if (NeedsExtensibleRecord(record)) {
            const WAVEFORMATEXTENSIBLE extensible = ExtensibleRecordOf(record);
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&extensible);
            device.assign(bytes, bytes + sizeof extensible);
        } else {
            device = layout.record;
        }
        if (query(reinterpret_cast<const WAVEFORMATEX*>(device.data()), queryContext) != MMSYSERR_NOERROR)
            return ReaderResult::kUnplayable;
        if (seenFormat) *seenFormat = FormatFigures(record);
    }
    if (walked != ReaderResult::kOk) return walked;
    if (layout.dataBytes == 0) return ReaderResult::kEmptyData;
    if (compressed) {
        auto input = std::make_unique<RegionInput>();
        input->Region().Take(std::move(file), layout.dataOffset, layout.dataBytes);
        return OpenAcmSource(layout.record.data(), uint32_t(layout.record.size()), std::move(input),
                             layout.factFrames, source);
    }
    SourceDescription description;
    description.container = "RF64";
    description.codecName = "RF64";
    description.delivered = FormatFigures(record);
    const uint32_t frameBytes = std::max<uint32_t>(record.nBlockAlign, 1);
    description.lengthKnown = true;
    description.lengthFrames = layout.dataBytes / frameBytes;
    auto opened = std::make_unique<RegionSource>(description, StoredSamples::kAsDelivered, 0, std::move(device));
    opened->Region().Take(std::move(file), layout.dataOffset, layout.dataBytes);
    *source = std::move(opened);
    return ReaderResult::kOk;
}

// ---- AIFF -----------------------------------------------------------------------------------------

namespace {

constexpr uint32_t kCommBytes = 18, kCommCompressedBytes = 22, kSoundHeadBytes = 8;
constexpr uint32_t kMaxAiffBits = 32;

struct AiffCompression {
    const char* id;
    StoredSamples stored;
    int storedBytes;     // 0: from the sample size
};
constexpr std::array<AiffCompression, 11> kAiffCompressions = {{
    {"NONE", StoredSamples::kBigEndianPcm, 0}, {"twos", StoredSamples::kBigEndianPcm, 0},
    {"sowt", StoredSamples::kLittleEndianPcm, 0},
    {"fl32", StoredSamples::kBigEndianFloat, 4}, {"FL32", StoredSamples::kBigEndianFloat, 4},
    {"fl64", StoredSamples::kBigEndianDouble, 8}, {"FL64", StoredSamples::kBigEndianDouble, 8},
    {"ulaw", StoredSamples::kMuLaw, 1}, {"ULAW", StoredSamples::kMuLaw, 1},
    {"alaw", StoredSamples::kALaw, 1}, {"ALAW", StoredSamples::kALaw, 1},
}};

struct AiffLayout {
    bool compressedForm = false;
    bool hasComm = false, hasSound = false;
    uint16_t channels = 0, sampleBits = 0;
    uint32_t frames = 0, rate = 0;
    char compression[kIdBytes + 1] = "NONE";
    uint64_t dataOffset = 0, dataBytes = 0;
};

bool ReadComm(BinaryFile& file, uint64_t body, uint32_t size, AiffLayout* layout)
{
    uint8_t comm[kCommCompressedBytes] = {};
    const uint32_t needed = layout->compressedForm ? kCommCompressedBytes : kCommBytes;
    if (size < needed || !file.ReadExactly(body, comm, needed)) return false;
    layout->channels = BigEndian16(comm);
    layout->frames = BigEndian32(comm + 2);
    layout->sampleBits = BigEndian16(comm + 6);
    layout->rate = ExtendedToRate(comm + 8);
    if (layout->compressedForm) std::memcpy(layout->compression, comm + kCommBytes, kIdBytes);
    layout->hasComm = true;
    return true;
}

bool WalkAiff(BinaryFile& file, AiffLayout* layout)
{
    uint8_t head[kRiffHeadBytes];
    if (!file.ReadExactly(0, head, sizeof head)) return false;
    layout->compressedForm = IdIs(head + 8, "AIFC");
    uint64_t position = kRiffHeadBytes;
    while (position + kChunkHeaderBytes <= file.Size() && !(layout->hasComm && layout->hasSound)) {
        uint8_t chunk[kChunkHeaderBytes];
        if (!file.ReadExactly(position, chunk, sizeof chunk)) break;
        const uint32_t size = BigEndian32(chunk + kIdBytes);
        const uint64_t body = position + kChunkHeaderBytes;
        if (IdIs(chunk, "COMM") && !ReadComm(file, body, size, layout)) return false;
        if (IdIs(chunk, "SSND") && size >= kSoundHeadBytes) {
            uint8_t sound[kSoundHeadBytes];
            if (!file.ReadExactly(body, sound, sizeof sound)) return false;
            const uint64_t skip = kSoundHeadBytes + uint64_t(BigEndian32(sound));
            layout->dataOffset = body + skip;
            // The chunk's size bounds the data, and so does the file (a size some writers leave 0
            // or too large while recording).
            const uint64_t inChunk = size > skip ? size - skip : 0;
            const uint64_t inFile = file.Size() > layout->dataOffset ? file.Size() - layout->dataOffset : 0;
            layout->dataBytes = std::min(inChunk ? inChunk : inFile, inFile);
            layout->hasSound = true;
        }
        position = body + Padded(size);
    }
    return layout->hasComm && layout->hasSound;
}

}  // namespace

ReaderResult OpenAiffSource(const char* path, std::unique_ptr<AudioSource>* source)
{
    if (!path || !path[0]) return ReaderResult::kNoFileName;
    auto file = std::make_unique<BinaryFile>();
    if (!file->Open(path)) return ReaderResult::kCannotOpenFile;
    AiffLayout layout;
    if (!WalkAiff(*file, &layout)) return ReaderResult::kUnreadableHeader;
    const AiffCompression* compression = nullptr;
    for (const AiffCompression& row : kAiffCompressions)
        if (IdIs(reinterpret_cast<const uint8_t*>(layout.compression), row.id)) compression = &row;
    if (!compression) return ReaderResult::kUnsupportedCodec;
    const bool pcm = compression->storedBytes == 0;
    if (layout.channels == 0 || layout.rate == 0 || layout.rate > kMaxPlayableRate ||
        (pcm && (layout.sampleBits == 0 || layout.sampleBits > kMaxAiffBits)))
        return ReaderResult::kUnplayable;
    const int storedBytes = pcm ? (layout.sampleBits + kBitsPerByte - 1) / kBitsPerByte : compression->storedBytes;
    SourceDescription description;
    description.container = "AIFF";
    description.codecName = layout.compressedForm ? "AIFF-C" : "AIFF";
    SourceFormat& format = description.delivered;
    format.channels = layout.channels;
    format.samplesPerSec = layout.rate;
    switch (compression->stored) {
    case StoredSamples::kBigEndianFloat:
    case StoredSamples::kBigEndianDouble: format.floatSamples = true; format.bitsPerSample = 32; break;
    case StoredSamples::kMuLaw:
    case StoredSamples::kALaw: format.bitsPerSample = 16; break;
    default: format.bitsPerSample = uint16_t(storedBytes * kBitsPerByte); break;
    }
    format.formatTag = format.floatSamples ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
    const uint32_t frameBytes = uint32_t(format.SampleBytes()) * format.channels;
    if (frameBytes > UINT16_MAX) return ReaderResult::kUnplayable;
    format.blockAlign = uint16_t(frameBytes);
    format.avgBytesPerSec = uint32_t(std::min<uint64_t>(uint64_t(frameBytes) * layout.rate, UINT32_MAX));
    const uint64_t storedFrameBytes = uint64_t(storedBytes) * layout.channels;
    const uint64_t frames = std::min<uint64_t>(layout.frames, layout.dataBytes / storedFrameBytes);
    if (frames == 0) return ReaderResult::kEmptyData;
    description.lengthKnown = true;
    description.lengthFrames = frames;
    auto opened = std::make_unique<RegionSource>(description, compression->stored, storedBytes, std::vector<uint8_t>());
    opened->Region().Take(std::move(file), layout.dataOffset, frames * storedFrameBytes);
    *source = std::move(opened);
    return ReaderResult::kOk;
}
