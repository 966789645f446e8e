// The WAV reader: the RIFF walk, the format checks (PCM, IEEE float, extensible), the record the
// device gets, the device query and the reads of the data chunk. Each refusal closes the file
// before it is reported, so nothing stays open while the shell shows its message.
#include "audio/wavreader.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace {

struct TagName {
    int16_t tag;
    const char* name;
};
constexpr std::array<TagName, 25> kTagNames = {{
    {1, "PCM"}, {2, "MS-ADPCM"}, {3, "IEEE-Float"}, {5, "IBM-CSVD"}, {6, "CCITT-A-Law"}, {7, "CCITT-u-Law"},
    {16, "OKI-ADPCM"}, {17, "IMA-ADPCM"}, {18, "MediaSpace-ADPCM"}, {19, "Sierra-ADPCM"},
    {20, "G.723-ADPCM"}, {32, "YAMAHA-ADPCM"}, {34, "TrueSpeech"}, {48, "DOLBY AC2"},
    {49, "GSM 6.10"}, {50, "MSN"}, {64, "G.721-ADPCM"}, {80, "MPEG"}, {112, "CELP"},
    {113, "SBC-8"}, {114, "SBC-12"}, {115, "SBC-16"}, {512, "CREATIVE ADPCM"},
    {768, "FM-TOWNS SND"}, {int16_t(WAVE_FORMAT_EXTENSIBLE), "Extensible"},
}};

// Sub-formats of an extensible record: the PCM and IEEE float tags in the common GUID frame.
constexpr GUID kPcmSubFormat = {WAVE_FORMAT_PCM, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID kFloatSubFormat = {WAVE_FORMAT_IEEE_FLOAT, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr uint16_t kFloatBits = 32, kDoubleBits = 64;
constexpr uint16_t kWidestPlainPcmBits = 16, kMostPlainPcmChannels = 2;

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// What a format record holds, from its tag and, for an extensible record, its sub-format.
enum class SampleKind { kPcm, kFloat, kOther, kTooShort };
struct RecordKind {
    SampleKind kind;
    uint16_t validBits;   // an extensible record's valid bits (0: not given)
};

// `bytes` holds `size` bytes of a record whose PCM fields are read already.
RecordKind KindOf(const void* bytes, uint32_t size, uint16_t tag)
{
    if (tag == WAVE_FORMAT_PCM) return {SampleKind::kPcm, 0};
    if (tag == WAVE_FORMAT_IEEE_FLOAT) return {SampleKind::kFloat, 0};
    if (tag != WAVE_FORMAT_EXTENSIBLE) return {SampleKind::kOther, 0};
    if (size < kExtensibleChunkSize) return {SampleKind::kTooShort, 0};
    WAVEFORMATEXTENSIBLE record;
    std::memcpy(&record, bytes, sizeof record);
    if (record.Format.cbSize < kMinExtensibleSize) return {SampleKind::kTooShort, 0};
    const uint16_t valid = record.Samples.wValidBitsPerSample;
    if (SameGuid(record.SubFormat, kPcmSubFormat)) return {SampleKind::kPcm, valid};
    if (SameGuid(record.SubFormat, kFloatSubFormat)) return {SampleKind::kFloat, valid};
    return {SampleKind::kOther, valid};
}

ReaderResult ResultOf(FormatVerdict verdict)
{
    switch (verdict) {
    case kFormatUnreadable: return ReaderResult::kUnreadableFormat;
    case kFormatNotPcm: return ReaderResult::kNotPcm;
    case kFormatUnplayable: return ReaderResult::kUnplayable;
    default: return ReaderResult::kOk;
    }
}

}  // namespace

// ---- Header decisions ----------------------------------------------------------------------

FormatVerdict CheckFormatChunkSize(uint32_t declaredSize)
{
    // A zero size passes here: the reader refuses it as a record it cannot hold.
    return declaredSize > kMaxFormatChunkSize ? kFormatUnreadable : kFormatAccepted;
}

FormatVerdict CheckFormatChunk(const void* bytes, uint32_t declaredSize, uint32_t bytesRead)
{
    if (CheckFormatChunkSize(declaredSize) != kFormatAccepted) return kFormatUnreadable;
    // A chunk shorter than the PCM fields would leave fields undefined: refused as unreadable.
    if (!bytes || bytesRead != declaredSize || declaredSize < kMinFormatChunkSize) return kFormatUnreadable;
    PCMWAVEFORMAT format;
    static_assert(sizeof format == kMinFormatChunkSize, "the PCM fields are 16 bytes");
    std::memcpy(&format, bytes, sizeof format);
    const RecordKind kind = KindOf(bytes, declaredSize, format.wf.wFormatTag);
    if (kind.kind == SampleKind::kTooShort) return kFormatUnreadable;
    if (kind.kind == SampleKind::kOther) return kFormatNotPcm;
    if (kind.kind == SampleKind::kFloat && format.wBitsPerSample != kFloatBits && format.wBitsPerSample != kDoubleBits)
        return kFormatNotPcm;
    // Some drivers accept any PCM header in their format query: refuse the impossible ones
    // here, and rates that make the real open abort inside the sound server. A frame (one
    // sample of every channel) larger than the 16-bit block align can hold is impossible too;
    // a converter that takes it aborts the process at the first write.
    const uint32_t frameBytes = ChannelFrameBytes(format.wf.nChannels, format.wBitsPerSample);
    if (format.wf.nChannels == 0 || format.wBitsPerSample == 0 || format.wf.nBlockAlign == 0 ||
        frameBytes > UINT16_MAX || format.wf.nSamplesPerSec == 0 || format.wf.nSamplesPerSec > kMaxPlayableRate ||
        kind.validBits > format.wBitsPerSample)
        return kFormatUnplayable;
    return kFormatAccepted;
}

BufferingMode ChooseBufferingMode(bool onMemoryOption, uint64_t diskCapacity)
{
    return (onMemoryOption || diskCapacity <= kDisketteCapacity) ? kOnMemoryMode : kStreamingMode;
}

uint32_t BlockSizeFor(BufferingMode mode, const SourceFormat& format, int32_t timeResolution,
                      int32_t memorySizeMB, uint64_t totalDataBytes)
{
    // Computed in 64 bits and capped: a product beyond 32 bits becomes a size no allocation can
    // satisfy (a clear memory message) instead of a small wrapped one.
    const uint64_t frameBytes = std::max<uint64_t>(format.blockAlign, 1);
    uint64_t size;
    if (mode == kOnMemoryMode) {
        const uint64_t limit = uint64_t(std::max(memorySizeMB, 0)) * kMegabyte;
        size = std::min<uint64_t>(limit, totalDataBytes) / frameBytes * frameBytes;
    } else {
        // The rate is multiplied before the division, so every rate keeps its fraction of a frame.
        const uint64_t frames = uint64_t(format.samplesPerSec) * uint64_t(std::max(timeResolution, 0)) / kTimeResolutionUnit;
        size = frames * frameBytes;
    }
    return uint32_t(std::min<uint64_t>(size, UINT32_MAX));
}

const char* FormatTagName(int tag)
{
    const int16_t key = int16_t(uint16_t(tag));
    for (const TagName& entry : kTagNames)
        if (entry.tag == key) return entry.name;
    return "unknown";
}

SourceFormat FormatFigures(const WAVEFORMATEX& record)
{
    SourceFormat format;
    format.formatTag = record.wFormatTag;
    format.channels = record.nChannels;
    format.samplesPerSec = record.nSamplesPerSec;
    format.avgBytesPerSec = record.nAvgBytesPerSec;
    format.blockAlign = record.nBlockAlign;
    format.bitsPerSample = record.wBitsPerSample;
    // The extension is read only where the record says it follows.
    const uint32_t size = record.cbSize >= kMinExtensibleSize ? kExtensibleChunkSize : kMinFormatChunkSize;
    const RecordKind kind = KindOf(&record, size, record.wFormatTag);
    format.floatSamples = kind.kind == SampleKind::kFloat;
    format.validBits = kind.validBits;
    return format;
}

bool NeedsExtensibleRecord(const WAVEFORMATEX& record)
{
    return record.wFormatTag == WAVE_FORMAT_PCM &&
           (record.wBitsPerSample > kWidestPlainPcmBits || record.nChannels > kMostPlainPcmChannels);
}

WAVEFORMATEXTENSIBLE ExtensibleRecordOf(const WAVEFORMATEX& record)
{
    WAVEFORMATEXTENSIBLE extensible = {};
    extensible.Format = record;
    extensible.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    extensible.Format.cbSize = kMinExtensibleSize;
    // A sample of 20 bits lies in a container of 24, and so on: the container is whole bytes.
    extensible.Format.wBitsPerSample = WORD(FormatFigures(record).SampleBytes() * kBitsPerByte);
    extensible.Samples.wValidBitsPerSample = record.wBitsPerSample;
    const size_t channels = record.nChannels;
    extensible.dwChannelMask = UsualChannelMask(uint32_t(channels));
    extensible.SubFormat = kPcmSubFormat;
    return extensible;
}

namespace {
struct CompressedTagRow {
    uint16_t first, last;
    CompressedTag kind;
};
constexpr std::array<CompressedTagRow, 7> kCompressedTags = {{
    {0x0002, 0x0002, CompressedTag::kDecoded},       // MS ADPCM
    {0x0006, 0x0007, CompressedTag::kDecoded},       // A-law, mu-law
    {0x0011, 0x0011, CompressedTag::kDecoded},       // IMA ADPCM
    {0x0031, 0x0031, CompressedTag::kDecoded},       // GSM 6.10
    {0x0055, 0x0055, CompressedTag::kDecoded},       // MPEG Layer-3
    {0x0160, 0x0163, CompressedTag::kUnsupported},   // Windows Media Audio
    {0x00FF, 0x00FF, CompressedTag::kUnsupported},   // AAC
}};
}  // namespace

CompressedTag CompressedTagKind(uint16_t tag)
{
    for (const CompressedTagRow& row : kCompressedTags)
        if (tag >= row.first && tag <= row.last) return row.kind;
    return CompressedTag::kNone;
}

MMRESULT AcceptEveryFormat(const WAVEFORMATEX*, void*)
{
    return MMSYSERR_NOERROR;
}

MMRESULT QueryOutputFormat(const WAVEFORMATEX* format, void*)
{
    return waveOutOpen(nullptr, WAVE_MAPPER, format, 0, 0, WAVE_FORMAT_QUERY);
}

// ---- The reader ----------------------------------------------------------------------------

void WaveReader::FreeDeleter::operator()(void* p) const { std::free(p); }

ReaderResult WaveReader::Refuse(ReaderResult result)
{
    Close();
    return result;
}

// Searches forward from the file's position for chunk `id` (of form type `form` unless 0) inside
// `parent` (null: the whole file) and leaves the file at its data, as the system's chunk search
// does. That search adds a chunk's size to its offset in 32 bits, so a size near 4 GB sends it
// back onto the same chunk for ever; this walk gives up on a chunk whose end is not ahead of it.
// Descending with a parent refuses a chunk that does not start inside it, which bounds the walk.
bool WaveReader::FindChunk(MMCKINFO* chunk, const MMCKINFO* parent, FOURCC id, FOURCC form)
{
    for (;;) {
        if (mmioDescend(file_, chunk, parent, 0) != MMSYSERR_NOERROR) return false;
        if (chunk->ckid == id && (form == 0 || chunk->fccType == form)) return true;
        NoteFact(*chunk);
        const uint64_t next = uint64_t(chunk->dwDataOffset) + chunk->cksize + (chunk->cksize & 1);
        if (next > uint64_t(INT32_MAX) || mmioSeek(file_, LONG(next), SEEK_SET) != LONG(next)) return false;
    }
}

// A fact chunk passed on the way to the data gives the length of compressed data in frames.
void WaveReader::NoteFact(const MMCKINFO& chunk)
{
    constexpr FOURCC kFact = mmioFOURCC('f', 'a', 'c', 't');
    uint8_t frames[4];
    if (chunk.ckid == kFact && chunk.cksize >= sizeof frames &&
        mmioRead(file_, reinterpret_cast<HPSTR>(frames), sizeof frames) == LONG(sizeof frames))
        factFrames_ = uint32_t(frames[0]) | uint32_t(frames[1]) << 8 | uint32_t(frames[2]) << 16 | uint32_t(frames[3]) << 24;
}

// The file opened and positioned inside its "fmt " chunk.
ReaderResult WaveReader::FindFormat(const char* path)
{
    if (!path || path[0] == '\0') return ReaderResult::kNoFileName;
    // mmioOpenA takes a writable name; the path is copied so the caller's stays untouched.
    char name[kPathBufferSize];
    if (std::strlen(path) >= sizeof name) return ReaderResult::kCannotOpenFile;
    std::strcpy(name, path);
    // Unbuffered: every read of a block goes to the file, so a file another program cuts while
    // it streams ends where its data now ends, not after a buffer of bytes no longer in it.
    file_ = mmioOpenA(name, nullptr, MMIO_READ);
    if (!file_) return ReaderResult::kCannotOpenFile;
    riffChunk_ = {};
    if (!FindChunk(&riffChunk_, nullptr, FOURCC_RIFF, mmioFOURCC('W', 'A', 'V', 'E')))
        return Refuse(ReaderResult::kNotWave);
    subChunk_ = {};
    if (!FindChunk(&subChunk_, &riffChunk_, mmioFOURCC('f', 'm', 't', ' '), 0))
        return Refuse(ReaderResult::kBrokenWave);
    return ReaderResult::kOk;
}

// The format record read, checked and accepted by the output device.
ReaderResult WaveReader::ReadFormat(OutputFormatQuery query, void* queryContext, bool withCompressed)
{
    const uint32_t size = subChunk_.cksize;
    extensible_ = false;
    recordBytes_ = size;
    if (CheckFormatChunkSize(size) != kFormatAccepted) return Refuse(ReaderResult::kUnreadableFormat);
    // An empty chunk leaves no record to hold.
    if (size == 0) return Refuse(ReaderResult::kLockFailed);
    // At least a whole WAVEFORMATEX, zero-filled, so a 16-byte chunk gives the device a cbSize
    // of 0 instead of two bytes past its end.
    const size_t bytes = std::max<size_t>(size, sizeof(WAVEFORMATEX));
    record_.reset(static_cast<uint8_t*>(std::calloc(bytes, 1)));
    if (!record_) return Refuse(ReaderResult::kNoMemory);
    const LONG got = mmioRead(file_, reinterpret_cast<HPSTR>(record_.get()), LONG(size));
    if (withCompressed && got == LONG(size) && size >= kMinFormatChunkSize) {
        // Compressed data goes to its decoder, which judges its own format record.
        const CompressedTag kind = CompressedTagKind(reinterpret_cast<const WAVEFORMATEX*>(record_.get())->wFormatTag);
        if (kind == CompressedTag::kUnsupported) return Refuse(ReaderResult::kUnsupportedCodec);
        compressed_ = kind == CompressedTag::kDecoded;
        if (compressed_) return ReaderResult::kOk;
    }
    const FormatVerdict verdict = CheckFormatChunk(record_.get(), size, got < 0 ? 0 : uint32_t(got));
    if (verdict != kFormatAccepted) return Refuse(ResultOf(verdict));
    const WAVEFORMATEX& fileRecord = *reinterpret_cast<const WAVEFORMATEX*>(record_.get());
    extensible_ = NeedsExtensibleRecord(fileRecord);
    if (extensible_) extensibleRecord_ = ExtensibleRecordOf(fileRecord);
    if (query(Record(), queryContext) != MMSYSERR_NOERROR) return Refuse(ReaderResult::kUnplayable);
    format_ = FormatFigures(fileRecord);
    hasFormat_ = true;
    return ReaderResult::kOk;
}

ReaderResult WaveReader::Open(const char* path, OutputFormatQuery query, void* queryContext)
{
    return OpenFile(path, query, queryContext, false);
}

ReaderResult WaveReader::OpenWithCompressed(const char* path, OutputFormatQuery query, void* queryContext)
{
    return OpenFile(path, query, queryContext, true);
}

ReaderResult WaveReader::OpenFile(const char* path, OutputFormatQuery query, void* queryContext, bool withCompressed)
{
    Close();
    hasFormat_ = false;
    compressed_ = false;
    factFrames_ = 0;
    totalBytes_ = remainingBytes_ = 0;
    ReaderResult result = FindFormat(path);
    if (result == ReaderResult::kOk) result = ReadFormat(query, queryContext, withCompressed);
    if (result != ReaderResult::kOk) return result;
    // Out of "fmt " and into "data", searching forward to the end of the RIFF chunk.
    mmioAscend(file_, &subChunk_, 0);
    if (!FindChunk(&subChunk_, &riffChunk_, mmioFOURCC('d', 'a', 't', 'a'), 0))
        return Refuse(ReaderResult::kNoDataChunk);
    totalBytes_ = remainingBytes_ = subChunk_.cksize;
    if (totalBytes_ == 0) return Refuse(ReaderResult::kEmptyData);
    return ReaderResult::kOk;
}

void WaveReader::Close()
{
    if (!file_) return;
    mmioClose(file_, 0);
    file_ = nullptr;
}

void WaveReader::CloseAfterAscending()
{
    if (!file_) return;
    mmioAscend(file_, &subChunk_, 0);
    mmioAscend(file_, &riffChunk_, 0);
    Close();
}

uint32_t WaveReader::TakeNextBlockLength(uint32_t blockSize)
{
    const uint32_t length = std::min(blockSize, remainingBytes_);
    remainingBytes_ -= length;
    return length;
}

uint32_t WaveReader::Read(uint8_t* buffer, uint32_t length)
{
    if (!file_ || length == 0) return 0;
    const LONG got = mmioRead(file_, reinterpret_cast<HPSTR>(buffer), LONG(length));
    if (got <= 0) {
        remainingBytes_ = 0;
        return 0;
    }
    if (uint32_t(got) < length) remainingBytes_ = 0;
    return uint32_t(got);
}
