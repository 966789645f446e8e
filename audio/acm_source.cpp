// The compression-manager source, its two feeds (blocks of a WAV's data, MPEG frames) and the
// openers of a compressed WAV's data and of an MPEG stream.
#include "audio/acm_source.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "audio/decoders.h"

namespace {

constexpr uint32_t kBlockChunkBytes = 32768;   // compressed bytes per conversion of a block codec
constexpr uint32_t kMpegChunkBytes = 4096;     // room for the largest frame

struct AcmCodec {
    uint16_t tag;
    const char* name;
};
constexpr std::array<AcmCodec, 6> kAcmCodecs = {{
    {WAVE_FORMAT_IMA_ADPCM, "IMA ADPCM"}, {WAVE_FORMAT_ADPCM, "MS ADPCM"}, {WAVE_FORMAT_MULAW, "mu-Law"},
    {WAVE_FORMAT_ALAW, "A-Law"}, {WAVE_FORMAT_GSM610, "GSM 6.10"}, {WAVE_FORMAT_MPEGLAYER3, "MPEG Layer-3"},
}};

// Whole blocks of a byte input, as many as one conversion takes.
class BlockFeed : public CompressedFeed {
public:
    BlockFeed(std::unique_ptr<ByteInput> input, uint32_t chunkBytes) : input_(std::move(input)), chunk_(chunkBytes) {}

    bool Next(CompressedPiece* piece) override
    {
        if (ended_) return false;
        uint32_t got = 0;
        for (uint32_t n = 1; got < chunk_.size() && n > 0; got += n)
            n = input_->Read(chunk_.data() + got, uint32_t(chunk_.size() - got));
        ended_ = got < chunk_.size();
        *piece = {chunk_.data(), got, ended_};
        return true;
    }
    bool SkippedDamage() const override { return false; }
    bool ReadFailed() const override { return input_->ReadFailed(); }

private:
    std::unique_ptr<ByteInput> input_;
    std::vector<uint8_t> chunk_;
    bool ended_ = false;
};

// One MPEG frame per piece. A stream that ends before the frame count its Info frame gave has
// lost frames: damage as well.
class MpegFeed : public CompressedFeed {
public:
    MpegFeed(std::unique_ptr<ByteInput> input, std::unique_ptr<MpegFrameReader> reader, uint64_t expectedFrames)
        : input_(std::move(input)), reader_(std::move(reader)), expected_(expectedFrames) {}

    bool Next(CompressedPiece* piece) override
    {
        if (ended_) return false;
        MpegFrame frame;
        if (reader_->Next(&frame)) {
            ++frames_;
            *piece = {frame.bytes, frame.header.frameBytes, false};
            return true;
        }
        ended_ = true;
        *piece = {nullptr, 0, true};   // the decoder gives what it still holds
        return true;
    }
    bool SkippedDamage() const override { return reader_->SkippedDamage() || (ended_ && frames_ < expected_); }
    bool ReadFailed() const override { return reader_->ReadFailed(); }

private:
    std::unique_ptr<ByteInput> input_;
    std::unique_ptr<MpegFrameReader> reader_;
    uint64_t expected_;
    uint64_t frames_ = 0;
    bool ended_ = false;
};

SourceFormat DeliveredFormat(const WAVEFORMATEX& pcm)
{
    SourceFormat format;
    format.formatTag = WAVE_FORMAT_PCM;
    format.channels = pcm.nChannels;
    format.samplesPerSec = pcm.nSamplesPerSec;
    format.blockAlign = uint16_t(pcm.nChannels * sizeof(int16_t));
    format.avgBytesPerSec = pcm.nSamplesPerSec * format.blockAlign;
    format.bitsPerSample = kDecodedBits;
    return format;
}

const char* CodecName(uint16_t tag)
{
    for (const AcmCodec& codec : kAcmCodecs)
        if (codec.tag == tag) return codec.name;
    return nullptr;
}

uint32_t BitRateOf(uint64_t bytes, uint64_t frames, uint32_t sampleRate)
{
    return frames ? uint32_t(std::min<uint64_t>(bytes * kBitsPerByte * sampleRate / frames, UINT32_MAX)) : 0;
}

// The record the compression manager opens an MPEG Layer III stream with, from its first frame.
MPEGLAYER3WAVEFORMAT Layer3Record(const MpegFrameHeader& frame)
{
    MPEGLAYER3WAVEFORMAT record = {};
    record.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    record.wfx.nChannels = frame.channels;
    record.wfx.nSamplesPerSec = frame.sampleRate;
    record.wfx.nAvgBytesPerSec = frame.bitRate / kBitsPerByte;
    record.wfx.nBlockAlign = 1;
    record.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    record.wID = MPEGLAYER3_ID_MPEG;
    record.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
    record.nBlockSize = WORD(frame.frameBytes - frame.padding);
    record.nFramesPerBlock = 1;
    return record;
}

// The audio frames of a stream read to its end (an Info frame not counted), and their bit rate
// when every frame has the same.
struct FrameCount {
    uint64_t frames = 0;
    uint32_t constantBitRate = 0;
};
FrameCount CountFrames(ByteInput* input)
{
    MpegFrameReader reader(input);
    MpegFrame frame;
    FrameCount count;
    if (!reader.FindFirst(kMpegFirstFrameSearch, &frame)) return count;
    if (ParseInfoFrame(frame.bytes, frame.header.frameBytes, frame.header).present) (void)reader.Next(&frame);
    bool constant = true;
    for (uint32_t first = 0; reader.Next(&frame); ++count.frames) {
        if (count.frames == 0) first = frame.header.bitRate;
        constant = constant && frame.header.bitRate == first;
        count.constantBitRate = constant ? first : 0;
    }
    return count;
}

}  // namespace

// ---- The source ----------------------------------------------------------------------------

AcmSource::AcmSource(std::unique_ptr<CompressedFeed> feed, std::unique_ptr<AcmDecoder> decoder,
                     const SourceDescription& description, const DecodedSpan& span)
    : feed_(std::move(feed)), decoder_(std::move(decoder)), description_(description), span_(span),
      frameBytes_(description.delivered.blockAlign), skipLeft_(span.skipFrames)
{
}

bool AcmSource::Refill()
{
    pending_.clear();
    pendingOffset_ = 0;
    while (pending_.size() < frameBytes_) {
        CompressedPiece piece;
        if (ended_ || !feed_->Next(&piece)) {
            ended_ = true;
            return false;
        }
        ended_ = piece.last;
        if (!decoder_->Convert(piece.bytes, piece.length, piece.last, &pending_)) undecodable_ = true;
    }
    return true;
}

uint32_t AcmSource::Silence(uint8_t* buffer, uint32_t maxFrames)
{
    if (!span_.padToLimit || SkippedDamage() || ReadFailed() || delivered_ >= span_.limitFrames) return 0;
    const uint32_t frames = uint32_t(std::min<uint64_t>(maxFrames, span_.limitFrames - delivered_));
    std::memset(buffer, 0, size_t(frames) * frameBytes_);
    delivered_ += frames;
    return frames;
}

uint32_t AcmSource::ReadFrames(uint8_t* buffer, uint32_t maxFrames)
{
    uint32_t done = 0;
    while (done < maxFrames) {
        const uint64_t room = span_.limited ? span_.limitFrames - delivered_ : UINT64_MAX;
        if (room == 0) break;
        if (pending_.size() - pendingOffset_ < frameBytes_ && !Refill()) {
            done += Silence(buffer + size_t(done) * frameBytes_, maxFrames - done);
            break;
        }
        const uint64_t available = (pending_.size() - pendingOffset_) / frameBytes_;
        if (skipLeft_ > 0) {
            const uint64_t skipped = std::min(available, skipLeft_);
            skipLeft_ -= skipped;
            pendingOffset_ += size_t(skipped) * frameBytes_;
            continue;
        }
        const uint32_t frames = uint32_t(std::min<uint64_t>({available, maxFrames - done, room}));
        std::memcpy(buffer + size_t(done) * frameBytes_, pending_.data() + pendingOffset_, size_t(frames) * frameBytes_);
        pendingOffset_ += size_t(frames) * frameBytes_;
        delivered_ += frames;
        done += frames;
    }
    return done;
}

// ---- Openers -------------------------------------------------------------------------------

ReaderResult OpenMpegStream(std::unique_ptr<ByteInput> input, const MpegStreamOptions& options,
                            std::unique_ptr<AudioSource>* source)
{
    auto reader = std::make_unique<MpegFrameReader>(input.get());
    MpegFrame first;
    if (!reader->FindFirst(kMpegFirstFrameSearch, &first)) return ReaderResult::kUnreadableHeader;
    const MpegFrameHeader header = first.header;
    if (header.layer != 3) return ReaderResult::kUnsupportedCodec;
    const MpegInfoFrame info = ParseInfoFrame(first.bytes, header.frameBytes, header);
    if (info.present && !reader->Next(&first)) return ReaderResult::kUnreadableHeader;
    const uint64_t firstAudioByte = reader->Offset();

    const MPEGLAYER3WAVEFORMAT record = Layer3Record(header);
    auto decoder = std::make_unique<AcmDecoder>();
    const ReaderResult opened = decoder->Open(&record.wfx, kMpegChunkBytes);
    if (opened != ReaderResult::kOk) return opened;

    SourceDescription description;
    description.container = options.container;
    description.codecName = CodecName(WAVE_FORMAT_MPEGLAYER3);
    description.delivered = DeliveredFormat(decoder->Output());
    // The audio frames: as the Info frame counts them, else counted where the bytes can be read
    // twice, else unknown.
    FrameCount count;
    if (info.hasFrameCount) count.frames = info.frameCount;
    else if (options.countingInput) count = CountFrames(options.countingInput);
    if (info.constantBitRate) count.constantBitRate = header.bitRate;
    DecodedSpan span;
    if (options.exactFrames > 0) {
        span = {0, true, options.exactFrames, false};
    } else if (info.hasFrameCount || options.countingInput) {
        const MpegTrim trim = MpegTrimOf(options.gapless ? info : MpegInfoFrame{}, header.samplesPerFrame, count.frames);
        span = {trim.skipFrames, true, trim.lengthFrames, options.gapless && info.hasEncoderGap};
    }
    description.lengthKnown = span.limited;
    description.lengthFrames = span.limitFrames;
    // The average over the stream's bytes and samples where both are known.
    const uint64_t samples = count.frames * header.samplesPerFrame;
    description.bitRate = options.statedBitRate    ? options.statedBitRate
                          : count.constantBitRate  ? count.constantBitRate
                          : options.streamBytes > firstAudioByte && samples > 0
                              ? BitRateOf(options.streamBytes - firstAudioByte, samples, header.sampleRate)
                              : header.bitRate;
    auto feed = std::make_unique<MpegFeed>(std::move(input), std::move(reader), info.hasFrameCount ? info.frameCount : 0);
    *source = std::make_unique<AcmSource>(std::move(feed), std::move(decoder), description, span);
    return ReaderResult::kOk;
}

ReaderResult OpenAcmSource(const uint8_t* formatRecord, uint32_t formatBytes, std::unique_ptr<ByteInput> input,
                           uint64_t exactFrames, std::unique_ptr<AudioSource>* source)
{
    WAVEFORMATEX head = {};
    if (!formatRecord || formatBytes < sizeof(PCMWAVEFORMAT) || !input) return ReaderResult::kUnreadableFormat;
    std::memcpy(&head, formatRecord, sizeof(PCMWAVEFORMAT));
    const char* name = CodecName(head.wFormatTag);
    if (!name) return ReaderResult::kUnsupportedCodec;
    if (head.nChannels == 0 || head.nSamplesPerSec == 0 || head.nBlockAlign == 0) return ReaderResult::kUnreadableFormat;
    const uint32_t statedBitRate = uint32_t(std::min<uint64_t>(uint64_t(head.nAvgBytesPerSec) * kBitsPerByte, UINT32_MAX));
    if (head.wFormatTag == WAVE_FORMAT_MPEGLAYER3) {
        MpegStreamOptions options;
        options.container = "WAVE";
        options.exactFrames = exactFrames;
        options.statedBitRate = statedBitRate;
        return OpenMpegStream(std::move(input), options, source);
    }
    // The record as read, its cbSize cut to the bytes the chunk holds.
    const uint32_t extraBytes = formatBytes >= sizeof(WAVEFORMATEX)
        ? std::min<uint32_t>(reinterpret_cast<const WAVEFORMATEX*>(formatRecord)->cbSize, formatBytes - sizeof(WAVEFORMATEX))
        : 0;
    std::vector<uint8_t> record(sizeof(WAVEFORMATEX) + extraBytes);
    std::memcpy(record.data(), formatRecord, std::min<size_t>(formatBytes, record.size()));
    reinterpret_cast<WAVEFORMATEX*>(record.data())->cbSize = WORD(extraBytes);

    auto decoder = std::make_unique<AcmDecoder>();
    const ReaderResult opened = decoder->Open(reinterpret_cast<const WAVEFORMATEX*>(record.data()), kBlockChunkBytes);
    if (opened != ReaderResult::kOk) return opened;
    SourceDescription description;
    description.container = "WAVE";
    description.codecName = name;
    description.delivered = DeliveredFormat(decoder->Output());
    description.lengthKnown = exactFrames > 0;
    description.lengthFrames = exactFrames;
    description.bitRate = statedBitRate;
    const DecodedSpan span = {0, exactFrames > 0, exactFrames, false};
    auto feed = std::make_unique<BlockFeed>(std::move(input), decoder->ChunkBytes());
    *source = std::make_unique<AcmSource>(std::move(feed), std::move(decoder), description, span);
    return ReaderResult::kOk;
}
