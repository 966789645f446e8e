// Ogg streams: the codec is judged by the first packet of the first page. Vorbis is decoded by
// libvorbisfile, Opus by opusfile (always 48 kHz, pre-skip and end trimming applied); both deliver
// interleaved 32-bit float in WAV channel order, and take their length from the granule positions.
// A page lost to a bad CRC or a gap is skipped (the damage is noted) and the run goes on.
#include "audio/decoders.h"

#include <ogg/ogg.h>
#include <opusfile.h>
#include <vorbis/vorbisfile.h>

#include <cstring>

#include "audio/decoded_source.h"

namespace {

enum class OggCodec { kVorbis, kOpus, kOther, kNoPage };

constexpr uint32_t kMaxFirstPageBytes = 65307;   // 27 + 255 segment sizes + 255 x 255 bytes
constexpr uint32_t kFirstPageReadBytes = 4096;
constexpr int kChunkFrames = 5760;               // 120 ms at 48 kHz: the longest Opus packet
constexpr int kMaxDeliveredChannels = 8;
constexpr int kMaxErrorsInARow = 64;             // then the rest of the stream is given up
constexpr uint32_t kOpusRate = 48000;
constexpr uint16_t kFloatBits = 32;

bool StartsWith(const ogg_packet& packet, const char* magic, size_t length)
{
    return packet.bytes >= long(length) && std::memcmp(packet.packet, magic, length) == 0;
}

// Reads the first page, which must start the file and pass its CRC, and names the codec of its
// first packet. Leaves the file at its start.
OggCodec JudgeFirstPacket(CompressedFile& file)
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    ogg_page page;
    OggCodec codec = OggCodec::kNoPage;
    for (uint32_t read = 0; read < kMaxFirstPageBytes;) {
        const long seek = ogg_sync_pageseek(&sync, &page);
        if (seek < 0) break;                 // not a valid page at the start
        if (seek > 0) {
            ogg_stream_state stream;
            ogg_packet packet;
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            if (ogg_page_bos(&page) && ogg_stream_pagein(&stream, &page) == 0 && ogg_stream_packetout(&stream, &packet) == 1) {
                if (StartsWith(packet, "\x01vorbis", 7)) codec = OggCodec::kVorbis;
                else if (StartsWith(packet, "OpusHead", 8)) codec = OggCodec::kOpus;
                else codec = OggCodec::kOther;
            }
            ogg_stream_clear(&stream);
            break;
        }
        char* buffer = ogg_sync_buffer(&sync, kFirstPageReadBytes);
        const uint32_t got = buffer ? file.Read(buffer, kFirstPageReadBytes) : 0;
        if (got == 0) break;
        ogg_sync_wrote(&sync, long(got));
        read += got;
    }
    ogg_sync_clear(&sync);
    if (!file.Seek(0, FILE_BEGIN)) return OggCodec::kNoPage;
    return codec;
}

// The libraries' byte callbacks on the source's file.
size_t VorbisRead(void* buffer, size_t size, size_t count, void* file)
{
    const size_t bytes = size * count;
    if (bytes == 0 || bytes > UINT32_MAX) return 0;
    return static_cast<CompressedFile*>(file)->Read(buffer, uint32_t(bytes)) / size;
}
int VorbisSeek(void* file, ogg_int64_t offset, int whence)
{
    return static_cast<CompressedFile*>(file)->Seek(offset, DWORD(whence)) ? 0 : -1;
}
long VorbisTell(void* file) { return long(static_cast<CompressedFile*>(file)->Tell()); }

int OpusRead(void* file, unsigned char* buffer, int bytes)
{
    auto* compressed = static_cast<CompressedFile*>(file);
    const uint32_t got = bytes > 0 ? compressed->Read(buffer, uint32_t(bytes)) : 0;
    return compressed->ReadFailed() ? -1 : int(got);
}
int OpusSeek(void* file, opus_int64 offset, int whence)
{
    return static_cast<CompressedFile*>(file)->Seek(offset, DWORD(whence)) ? 0 : -1;
}
opus_int64 OpusTell(void* file) { return static_cast<CompressedFile*>(file)->Tell(); }

// Appends `frames` frames of `channels` channels, each from `sampleAt(channel, frame)`, to the
// chunk in WAV channel order.
template <typename SampleAt>
void AppendInWaveOrder(std::vector<uint8_t>* chunk, int frames, int channels, SampleAt sampleAt)
{
    const uint8_t* order = WaveOrderOfVorbisChannels(channels);
    const size_t start = chunk->size();
    chunk->resize(start + size_t(frames) * channels * sizeof(float));
    float* out = reinterpret_cast<float*>(chunk->data() + start);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) *out++ = sampleAt(order[c], i);
}

// A decoded Ogg stream: counts errors in a row so a stream that never decodes again ends.
class OggSource : public DecodedSource {
protected:
    // A read that gave an error: noted as damage; false once too many came in a row.
    bool SkipError()
    {
        NoteDamage();
        return ++errorsInARow_ < kMaxErrorsInARow;
    }
    void NoteProgress() { errorsInARow_ = 0; }
    void Describe(const char* codec, uint32_t rate, int channels, int64_t length, long bitRate)
    {
        description_.container = "Ogg";
        description_.codecName = codec;
        description_.delivered = DeliveredFormat(rate, uint16_t(channels), kFloatBits, true);
        description_.lengthKnown = length >= 0;
        description_.lengthFrames = length >= 0 ? uint64_t(length) : 0;
        description_.bitRate = bitRate > 0 ? uint32_t(bitRate) : 0;
    }

private:
    int errorsInARow_ = 0;
};

class VorbisSource final : public OggSource {
public:
    ~VorbisSource() override
    {
        if (opened_) ov_clear(&vorbis_);
    }
    [[nodiscard]] ReaderResult Open()
    {
        const ov_callbacks callbacks = {VorbisRead, VorbisSeek, nullptr, VorbisTell};
        if (ov_open_callbacks(&file_, &vorbis_, nullptr, 0, callbacks) != 0) return ReaderResult::kUnreadableHeader;
        opened_ = true;
        const vorbis_info* info = ov_info(&vorbis_, -1);
        if (!info || info->rate <= 0) return ReaderResult::kUnreadableHeader;
        if (info->channels < 1 || info->channels > kMaxDeliveredChannels) return ReaderResult::kUnsupportedCodec;
        channels_ = info->channels;
        Describe("Ogg Vorbis", uint32_t(info->rate), channels_, ov_pcm_total(&vorbis_, -1), ov_bitrate(&vorbis_, -1));
        return ReaderResult::kOk;
    }

protected:
    bool DecodeMore() override
    {
        float** pcm = nullptr;
        int link = 0;
        const long frames = ov_read_float(&vorbis_, &pcm, kChunkFrames, &link);
        if (frames == 0) return false;
        if (frames < 0) return SkipError();
        const vorbis_info* info = ov_info(&vorbis_, link);
        if (!info || info->channels != channels_) return SkipError();   // a chained stream of another shape
        NoteProgress();
        AppendInWaveOrder(&pending_, int(frames), channels_, [pcm](int c, int i) { return pcm[c][i]; });
        return true;
    }

private:
    OggVorbis_File vorbis_ = {};
    bool opened_ = false;
    int channels_ = 0;
};

struct FreeOpus {
    void operator()(OggOpusFile* opus) const { op_free(opus); }
};

class OpusSource final : public OggSource {
public:
    [[nodiscard]] ReaderResult Open()
    {
        const OpusFileCallbacks callbacks = {OpusRead, OpusSeek, OpusTell, nullptr};
        int error = 0;
        opus_.reset(op_open_callbacks(&file_, &callbacks, nullptr, 0, &error));
        if (!opus_) return error == OP_EFAULT ? ReaderResult::kNoMemory : ReaderResult::kUnreadableHeader;
        channels_ = op_channel_count(opus_.get(), -1);
        if (channels_ < 1 || channels_ > kMaxDeliveredChannels) return ReaderResult::kUnsupportedCodec;
        samples_.resize(size_t(kChunkFrames) * kMaxDeliveredChannels);
        Describe("Opus", kOpusRate, channels_, op_pcm_total(opus_.get(), -1), long(op_bitrate(opus_.get(), -1)));
        return ReaderResult::kOk;
    }

protected:
    bool DecodeMore() override
    {
        int link = 0;
        const int frames = op_read_float(opus_.get(), samples_.data(), int(samples_.size()), &link);
        if (frames == 0) return false;
        if (frames < 0 || op_channel_count(opus_.get(), link) != channels_) return SkipError();
        NoteProgress();
        const float* samples = samples_.data();
        const int channels = channels_;
        AppendInWaveOrder(&pending_, frames, channels_,
                          [samples, channels](int c, int i) { return samples[size_t(i) * channels + c]; });
        return true;
    }

private:
    std::unique_ptr<OggOpusFile, FreeOpus> opus_;
    std::vector<float> samples_;
    int channels_ = 0;
};

template <typename Source>
ReaderResult OpenAs(const char* path, std::unique_ptr<AudioSource>* source)
{
    auto decoder = std::make_unique<Source>();
    ReaderResult result = decoder->OpenFile(path);
    if (result != ReaderResult::kOk) return result;
    result = decoder->Open();
    if (result == ReaderResult::kOk) *source = std::move(decoder);
    return result;
}

}  // namespace

ReaderResult OpenOggSource(const char* path, std::unique_ptr<AudioSource>* source)
{
    CompressedFile probe;
    if (!probe.Open(path)) return ReaderResult::kCannotOpenFile;
    switch (JudgeFirstPacket(probe)) {
    case OggCodec::kVorbis: return OpenAs<VorbisSource>(path, source);
    case OggCodec::kOpus: return OpenAs<OpusSource>(path, source);
    case OggCodec::kOther: return ReaderResult::kUnsupportedCodec;
    case OggCodec::kNoPage: break;
    }
    return ReaderResult::kUnreadableHeader;
}
