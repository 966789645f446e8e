// The dispatch on a file's type and the byte stream over a source's frames.
#include "audio/filesource.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "audio/containers.h"
#include "audio/decoders.h"
#include "audio/filetype.h"

namespace {

using PathOpener = ReaderResult (*)(const char* path, std::unique_ptr<AudioSource>* source);

struct TypeOpener {
    FileType type;
    PathOpener open;
};
constexpr std::array<TypeOpener, 4> kDecodedTypes = {{
    {FileType::kAiff, OpenAiffSource},
    {FileType::kFlac, OpenFlacSource},
    {FileType::kOgg, OpenOggSource},
    {FileType::kMpeg, OpenMp3Source},
}};

// The first bytes of the file (fewer when it is shorter; none when it cannot be opened).
size_t ReadHead(const char* path, uint8_t* head)
{
    BinaryFile file;
    if (!file.Open(path)) return 0;
    return file.ReadAt(0, head, kFileTypeHeadBytes);
}

constexpr uint32_t kCountingFrames = 4096;   // frames read at a time while counting

// The frames a source delivers from its start to its end, read through a second opening of the
// file (0 when it does not open again or delivers nothing). For sources whose header states no
// length: a compressed WAV without a fact chunk, a FLAC written to a pipe.
uint64_t CountDeliveredFrames(const char* path, OutputFormatQuery query, void* queryContext)
{
    std::unique_ptr<AudioSource> counting;
    if (OpenAudioSource(path, &counting, query, queryContext, nullptr) != ReaderResult::kOk) return 0;
    const uint32_t frameBytes = std::max<uint32_t>(counting->Description().delivered.blockAlign, 1);
    std::vector<uint8_t> buffer(size_t(kCountingFrames) * frameBytes);
    uint64_t frames = 0;
    for (uint32_t got; (got = counting->ReadFrames(buffer.data(), kCountingFrames)) > 0;) frames += got;
    return frames;
}

}  // namespace

ReaderResult OpenAudioSource(const char* path, std::unique_ptr<AudioSource>* source, OutputFormatQuery query,
                             void* queryContext, SourceFormat* seenFormat)
{
    source->reset();
    if (!path || !path[0]) return ReaderResult::kNoFileName;
    uint8_t head[kFileTypeHeadBytes] = {};
    const FileType type = JudgeFileType(head, ReadHead(path, head));
    switch (type) {
    // A file of no known type goes to the WAV reader too, which says what it says today.
    case FileType::kUnknown:
    case FileType::kWave: return OpenWaveSource(path, query, queryContext, source, seenFormat);
    case FileType::kRf64: return OpenRf64Source(path, query, queryContext, source, seenFormat);
    case FileType::kUnsupported: return ReaderResult::kUnsupportedCodec;
    default: break;
    }
    ReaderResult result = ReaderResult::kUnsupportedCodec;
    for (const TypeOpener& row : kDecodedTypes)
        if (row.type == type) result = row.open(path, source);
    if (result != ReaderResult::kOk || !*source) {
        source->reset();
        return result == ReaderResult::kOk ? ReaderResult::kUnreadableHeader : result;
    }
    const WAVEFORMATEXTENSIBLE record = DeviceRecordFor((*source)->Description().delivered);
    if (query(&record.Format, queryContext) != MMSYSERR_NOERROR) {
        source->reset();
        return ReaderResult::kUnplayable;
    }
    return ReaderResult::kOk;
}

const SourceDescription FileSource::kNoDescription = {};

ReaderResult FileSource::Open(const char* path, OutputFormatQuery query, void* queryContext)
{
    Close();
    hasFormat_ = false;
    skippedDamage_ = false;
    totalBytes_ = remainingBytes_ = bytesTaken_ = 0;
    carryStart_ = carryEnd_ = 0;
    SourceFormat seen;
    const ReaderResult result = OpenAudioSource(path, &source_, query, queryContext, &seen);
    if (seen.channels != 0 || seen.samplesPerSec != 0) {
        format_ = seen;
        hasFormat_ = true;
    }
    if (result != ReaderResult::kOk) {
        source_.reset();
        return result;
    }
    const SourceDescription& description = source_->Description();
    format_ = description.delivered;
    hasFormat_ = true;
    record_ = source_->DeviceRecord();
    if (!record_) {
        ownRecord_ = DeviceRecordFor(format_);
        record_ = &ownRecord_.Format;
    }
    frameBytes_ = std::max<uint32_t>(format_.blockAlign, 1);
    // A length the file does not state is counted, so the Total line, the end of a run and a
    // spectrogram's width know it; one that still comes out unknown shows none and reads until
    // the source ends.
    const uint64_t frames = description.lengthKnown ? description.lengthFrames : CountDeliveredFrames(path, query, queryContext);
    const bool known = description.lengthKnown || frames > 0;
    totalBytes_ = known ? frames * frameBytes_ : 0;
    remainingBytes_ = known ? totalBytes_ : UINT64_MAX;
    return ReaderResult::kOk;
}

void FileSource::Close()
{
    if (source_ && source_->SkippedDamage()) skippedDamage_ = true;
    source_.reset();
    record_ = nullptr;
}

uint32_t FileSource::TakeNextBlockLength(uint32_t blockSize)
{
    const uint32_t length = uint32_t(std::min<uint64_t>(blockSize, remainingBytes_));
    remainingBytes_ -= length;
    bytesTaken_ += length;
    return length;
}

uint32_t FileSource::Read(uint8_t* buffer, uint32_t length)
{
    if (!source_ || !buffer || length == 0) return 0;
    uint32_t done = 0;
    // The rest of a frame an earlier read split.
    const uint32_t fromCarry = std::min(length, carryEnd_ - carryStart_);
    std::memcpy(buffer, carry_ + carryStart_, fromCarry);
    carryStart_ += fromCarry;
    done += fromCarry;
    // Whole frames straight into the buffer, as many as the decoder gives until they fill it.
    while (length - done >= frameBytes_) {
        const uint32_t frames = source_->ReadFrames(buffer + done, (length - done) / frameBytes_);
        if (frames == 0) break;
        done += frames * frameBytes_;
    }
    // A piece of a frame: one more frame read whole, its front handed out, the rest kept.
    if (done < length && length - done < frameBytes_ && source_->ReadFrames(carry_, 1) == 1) {
        carryStart_ = length - done;
        carryEnd_ = frameBytes_;
        std::memcpy(buffer + done, carry_, carryStart_);
        done = length;
    }
    if (source_->SkippedDamage()) skippedDamage_ = true;
    if (done < length) {
        remainingBytes_ = 0;
        bytesTaken_ -= std::min<uint64_t>(bytesTaken_, length - done);
    }
    return done;
}
