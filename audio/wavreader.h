// The WAV reader: opens a file, walks its RIFF chunks, checks the format chunk (PCM, IEEE float
// or the extensible record of either) and asks the output device whether it can play it, and
// leaves the file positioned at its data for the playback engine. One result names each refusal;
// the header decisions are plain functions so that every limit is checked before a size from the
// file is trusted.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/types.h"

enum class ReaderResult : int {
    kOk = 0,
    kNoFileName,          // no file named
    kCannotOpenFile,      // the file cannot be opened
    kNotWave,             // no RIFF WAVE form
    kBrokenWave,          // no format chunk
    kUnreadableFormat,    // the format chunk cannot be read
    kNoMemory,            // no memory for the format record
    kLockFailed,          // an empty format chunk
    kNotPcm,              // a sample format that is not read
    kUnplayable,          // the output device refuses the format
    kNoDataChunk,         // no data chunk
    kEmptyData,           // an empty data chunk
    kUnsupportedCodec,    // a known file type whose codec is not supported
    kNoCodec,             // the system has no decoder for it
    kUnreadableHeader,    // a compressed file whose header cannot be read
};

// Verdicts on a format chunk; kFormatAccepted lets the file go on to the device query.
enum FormatVerdict : int { kFormatAccepted = 0, kFormatUnreadable, kFormatNotPcm, kFormatUnplayable };
constexpr uint32_t kMaxFormatChunkSize = 65535;   // larger chunks are refused before allocation
constexpr uint32_t kMinFormatChunkSize = 16;      // the PCM fields the reader uses
constexpr uint16_t kMinExtensibleSize = 22;       // cbSize of an extensible record
constexpr uint32_t kExtensibleChunkSize = sizeof(WAVEFORMATEXTENSIBLE);   // 40 bytes
constexpr uint32_t kMaxPlayableRate = 384000;     // above this some drivers abort the process
constexpr uint32_t kDisketteCapacity = 1457664;   // at most this: always on-memory mode
constexpr uint32_t kMegabyte = 1048576;
constexpr uint32_t kTimeResolutionUnit = 11025;   // the time resolution counts 1/11025 s

// Verdict on a format chunk's declared size, before any memory is taken for it.
FormatVerdict CheckFormatChunkSize(uint32_t declaredSize);
// Verdict on the chunk's bytes as read: `bytesRead` of `declaredSize` arrived in `bytes`.
FormatVerdict CheckFormatChunk(const void* bytes, uint32_t declaredSize, uint32_t bytesRead);
// Buffering mode for a file: on-memory when the option is set or the disk is diskette-sized.
BufferingMode ChooseBufferingMode(bool onMemoryOption, uint64_t diskCapacity);
// Block size for a buffering mode, always whole frames (of the format's block align): streaming,
// the frames of rate x time resolution / 11025 samples; on-memory, the data up to the memory size.
uint32_t BlockSizeFor(BufferingMode mode, const SourceFormat& format, int32_t timeResolution,
                      int32_t memorySizeMB, uint64_t totalDataBytes);
// The name the Wave Information dialog gives a format tag ("unknown" when it has none).
const char* FormatTagName(int tag);
// The format figures of a format record's first 16 bytes, with float samples for tag 3 and, for
// an extensible record (cbSize at least 22 bytes follow), its sub-format and valid bits.
SourceFormat FormatFigures(const WAVEFORMATEX& record);
// Whether the device gets a PCM record as its extensible equivalent: more than 16 bits or more
// than two channels (some drivers refuse such PCM records but open the extensible ones).
bool NeedsExtensibleRecord(const WAVEFORMATEX& record);
// The extensible record of a PCM record: the same figures, all bits valid, the usual speaker
// assignment of its channel count (none above eight).
WAVEFORMATEXTENSIBLE ExtensibleRecordOf(const WAVEFORMATEX& record);

// What becomes of a format tag that is neither PCM nor float when compressed data may be decoded:
// the tags the platform's compression manager decodes, the known ones it does not, and the rest
// (refused as not PCM, as always).
enum class CompressedTag : int { kNone = 0, kDecoded, kUnsupported };
CompressedTag CompressedTagKind(uint16_t tag);

// Asks the output device (or what stands in for it) whether it can play a format; 0 means yes.
// `context` is what the caller handed the reader with the query.
using OutputFormatQuery = MMRESULT (*)(const WAVEFORMATEX* format, void* context);
MMRESULT QueryOutputFormat(const WAVEFORMATEX* format, void* context);
// Every format the reader can read is taken (no device is asked).
MMRESULT AcceptEveryFormat(const WAVEFORMATEX* format, void* context);

class WaveReader {
public:
    WaveReader() = default;
    ~WaveReader() { Close(); }
    WaveReader(const WaveReader&) = delete;
    WaveReader& operator=(const WaveReader&) = delete;

    // Opens `path` and positions it at the data. On a refusal the file is closed again; a
    // format accepted before the refusal stays readable through HasFormat()/Format().
    [[nodiscard]] ReaderResult Open(const char* path, OutputFormatQuery query = QueryOutputFormat,
                                    void* queryContext = nullptr);
    // The same, except that a file whose tag CompressedTagKind decodes opens at its data without
    // the device query (Compressed() then says so), and a known unsupported tag is refused as such.
    [[nodiscard]] ReaderResult OpenWithCompressed(const char* path, OutputFormatQuery query = QueryOutputFormat,
                                                  void* queryContext = nullptr);
    // Closes the file where it stands (the end of a run ascends out of its chunks first).
    void Close();
    void CloseAfterAscending();

    bool IsOpen() const { return file_ != nullptr; }
    bool HasFormat() const { return hasFormat_; }
    const SourceFormat& Format() const { return format_; }
    // The format record for the device: as read (at least a whole WAVEFORMATEX, zero-filled), or
    // its extensible equivalent where NeedsExtensibleRecord says so.
    const WAVEFORMATEX* Record() const
    {
        return extensible_ ? &extensibleRecord_.Format : reinterpret_cast<const WAVEFORMATEX*>(record_.get());
    }
    bool Compressed() const { return compressed_; }
    // The format chunk as read and its declared size.
    const uint8_t* FileRecord() const { return record_.get(); }
    uint32_t FileRecordBytes() const { return recordBytes_; }
    // The frames the fact chunk ahead of the data gives (0: none).
    uint32_t FactFrames() const { return factFrames_; }
    uint32_t TotalBytes() const { return totalBytes_; }
    uint32_t RemainingBytes() const { return remainingBytes_; }

    // The next block: the smaller of `blockSize` and the bytes not yet read, taken off them.
    uint32_t TakeNextBlockLength(uint32_t blockSize);
    // Reads up to `length` bytes into `buffer`; returns how many came (0 on failure). A short
    // read means the file holds less than its data chunk claims: nothing remains after it.
    uint32_t Read(uint8_t* buffer, uint32_t length);

private:
    struct FreeDeleter { void operator()(void* p) const; };
    [[nodiscard]] ReaderResult FindFormat(const char* path);
    [[nodiscard]] ReaderResult OpenFile(const char* path, OutputFormatQuery query, void* queryContext,
                                        bool withCompressed);
    [[nodiscard]] ReaderResult ReadFormat(OutputFormatQuery query, void* queryContext, bool withCompressed);
    [[nodiscard]] ReaderResult Refuse(ReaderResult result);
    bool FindChunk(MMCKINFO* chunk, const MMCKINFO* parent, FOURCC id, FOURCC form);
    void NoteFact(const MMCKINFO& chunk);

    HMMIO file_ = nullptr;
    MMCKINFO riffChunk_ = {};
    MMCKINFO subChunk_ = {};
    std::unique_ptr<uint8_t, FreeDeleter> record_;
    bool extensible_ = false;
    WAVEFORMATEXTENSIBLE extensibleRecord_ = {};
    uint32_t recordBytes_ = 0;
    bool compressed_ = false;
    uint32_t factFrames_ = 0;
    bool hasFormat_ = false;
    SourceFormat format_;
    uint32_t totalBytes_ = 0;
    uint32_t remainingBytes_ = 0;
};
