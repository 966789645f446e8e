// Native FLAC streams decoded by libFLAC's stream decoder, one frame at a time into the pending
// chunk. Samples of up to 8 bits are delivered as 8-bit unsigned, up to 16 as 16-bit, up to 24 as
// 24-bit and wider as 32-bit signed little-endian, shifted up to the top of the wider word
// (12-bit as 16, 20-bit as 24). The length comes from STREAMINFO. A damaged frame (lost sync,
// CRC mismatch) is not delivered; libFLAC fills the frames it lost with silence, so the stream
// keeps its length and timing.
#include "audio/decoders.h"

#include <FLAC/stream_decoder.h>

#include "audio/decoded_source.h"

namespace {

constexpr unsigned kMaxFlacChannels = 8;

// Delivered width for the stream's bits per sample.
uint16_t DeliveredBits(unsigned bits)
{
    if (bits <= 8) return 8;
    if (bits <= 16) return 16;
    if (bits <= 24) return 24;
    return 32;
}

struct FreeDecoder {
    void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};

class FlacSource final : public DecodedSource {
public:
    [[nodiscard]] ReaderResult Open(const char* path);

protected:
    bool DecodeMore() override;

private:
    static FLAC__StreamDecoderReadStatus OnRead(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* self);
    static FLAC__StreamDecoderSeekStatus OnSeek(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* self);
    static FLAC__StreamDecoderTellStatus OnTell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* self);
    static FLAC__StreamDecoderLengthStatus OnLength(const FLAC__StreamDecoder*, FLAC__uint64* length, void* self);
    static FLAC__bool OnEof(const FLAC__StreamDecoder*, void* self);
    static FLAC__StreamDecoderWriteStatus OnWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                  const FLAC__int32* const channels[], void* self);
    static void OnMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* self);
    static void OnError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self);

    void TakeFrame(const FLAC__Frame& frame, const FLAC__int32* const channels[]);

    std::unique_ptr<FLAC__StreamDecoder, FreeDecoder> decoder_;
    bool haveStreamInfo_ = false;
    unsigned streamBits_ = 0;
};

ReaderResult FlacSource::Open(const char* path)
{
    const ReaderResult opened = OpenFile(path);
    if (opened != ReaderResult::kOk) return opened;
    decoder_.reset(FLAC__stream_decoder_new());
    if (!decoder_) return ReaderResult::kNoMemory;
    if (FLAC__stream_decoder_init_stream(decoder_.get(), OnRead, OnSeek, OnTell, OnLength, OnEof, OnWrite,
                                         OnMetadata, OnError, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return ReaderResult::kNoMemory;
    // A stream that breaks off inside its metadata, or starts with frames, has no usable STREAMINFO.
    if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder_.get()) || !haveStreamInfo_)
        return ReaderResult::kUnreadableHeader;
    description_.container = "FLAC";
    description_.codecName = "FLAC";
    return ReaderResult::kOk;
}

bool FlacSource::DecodeMore()
{
    const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder_.get());
    if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state >= FLAC__STREAM_DECODER_OGG_ERROR) return false;
    // One call reads one frame, or skips damaged data up to the next sync; each call moves on.
    if (!FLAC__stream_decoder_process_single(decoder_.get())) return false;
    return !pending_.empty() || FLAC__stream_decoder_get_state(decoder_.get()) != FLAC__STREAM_DECODER_END_OF_STREAM;
}

void FlacSource::TakeFrame(const FLAC__Frame& frame, const FLAC__int32* const channels[])
{
    const SourceFormat& format = description_.delivered;
    const FLAC__FrameHeader& header = frame.header;
    // A frame whose shape differs from STREAMINFO's cannot be delivered in the stream's format.
    if (header.channels != format.channels || header.bits_per_sample != streamBits_) {
        NoteDamage();
        return;
    }
    const unsigned shift = format.bitsPerSample - streamBits_;
    const size_t sampleBytes = format.bitsPerSample / kBitsPerByte;
    const size_t start = pending_.size();
    pending_.resize(start + size_t(header.blocksize) * format.blockAlign);
    uint8_t* out = pending_.data() + start;
    for (unsigned i = 0; i < header.blocksize; ++i) {
        for (unsigned c = 0; c < header.channels; ++c) {
            const uint32_t value = uint32_t(channels[c][i]) << shift;
            if (sampleBytes == 1) {
                *out++ = uint8_t(value + 128u);
                continue;
            }
            for (size_t b = 0; b < sampleBytes; ++b) *out++ = uint8_t(value >> (kBitsPerByte * b));
        }
    }
}

FLAC__StreamDecoderReadStatus FlacSource::OnRead(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* self)
{
    CompressedFile& file = static_cast<FlacSource*>(self)->file_;
    if (*bytes == 0) return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    *bytes = file.Read(buffer, uint32_t(*bytes));
    if (file.ReadFailed()) return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    return *bytes ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

FLAC__StreamDecoderSeekStatus FlacSource::OnSeek(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* self)
{
    return static_cast<FlacSource*>(self)->file_.Seek(int64_t(offset), FILE_BEGIN) ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
                                                                                   : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
}

FLAC__StreamDecoderTellStatus FlacSource::OnTell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* self)
{
    const int64_t position = static_cast<FlacSource*>(self)->file_.Tell();
    if (position < 0) return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
    *offset = FLAC__uint64(position);
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}

FLAC__StreamDecoderLengthStatus FlacSource::OnLength(const FLAC__StreamDecoder*, FLAC__uint64* length, void* self)
{
    const int64_t size = static_cast<FlacSource*>(self)->file_.Size();
    if (size < 0) return FLAC__STREAM_DECODER_LENGTH_STATUS_ERROR;
    *length = FLAC__uint64(size);
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
}

FLAC__bool FlacSource::OnEof(const FLAC__StreamDecoder*, void* self)
{
    return static_cast<FlacSource*>(self)->file_.AtEnd();
}

FLAC__StreamDecoderWriteStatus FlacSource::OnWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                   const FLAC__int32* const channels[], void* self)
{
    auto* source = static_cast<FlacSource*>(self);
    if (!source->haveStreamInfo_) return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    source->TakeFrame(*frame, channels);
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void FlacSource::OnMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* self)
{
    auto* source = static_cast<FlacSource*>(self);
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO || source->haveStreamInfo_) return;
    const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
    if (info.channels < 1 || info.channels > kMaxFlacChannels || info.sample_rate == 0) return;
    source->haveStreamInfo_ = true;
    source->streamBits_ = info.bits_per_sample;
    SourceDescription& description = source->description_;
    description.delivered = DeliveredFormat(info.sample_rate, uint16_t(info.channels), DeliveredBits(info.bits_per_sample), false);
    description.lengthKnown = info.total_samples != 0;
    description.lengthFrames = info.total_samples;
}

void FlacSource::OnError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self)
{
    static_cast<FlacSource*>(self)->NoteDamage();
}

}  // namespace

ReaderResult OpenFlacSource(const char* path, std::unique_ptr<AudioSource>* source)
{
    auto flac = std::make_unique<FlacSource>();
    const ReaderResult result = flac->Open(path);
    if (result == ReaderResult::kOk) *source = std::move(flac);
    return result;
}
