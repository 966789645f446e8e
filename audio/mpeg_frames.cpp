// MPEG audio frame headers, the tags around the frames, the Info frame and the frame reader.
#include "audio/mpeg_frames.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Bit rates in kbit/s by bit-rate index (0: free format, 15: forbidden, neither read).
using RateRow = std::array<uint16_t, 15>;
constexpr RateRow kMpeg1Layer1 = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr RateRow kMpeg1Layer2 = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr RateRow kMpeg1Layer3 = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr RateRow kMpeg2Layer1 = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr RateRow kMpeg2Layer23 = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
// Sample rates by version and rate index (index 3 is reserved).
constexpr uint32_t kSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

constexpr uint32_t kBitsPerKilobit = 1000;
constexpr uint8_t kVersionReserved = 1, kLayerReserved = 0, kRateIndexReserved = 3, kEmphasisReserved = 2;
constexpr uint8_t kFreeFormatIndex = 0, kForbiddenRateIndex = 15, kSingleChannelMode = 3;
constexpr uint32_t kLayer1SlotBytes = 4;
// Frame length factors: bytes per (bit rate / sample rate), as slots of the layer.
constexpr uint32_t kLayer1Factor = 12, kFullFactor = 144, kLowRateLayer3Factor = 72;
constexpr uint32_t kLayer1Samples = 384, kFullSamples = 1152, kLowRateLayer3Samples = 576;
constexpr uint32_t kCrcBytes = 2;
// Layer III side information, by MPEG-1 or not and single channel or not.
constexpr uint32_t kSideInfoBytes[2][2] = {{32, 17}, {17, 9}};

// The Info frame: its tag, flags and fields, and the LAME extension after them.
constexpr uint32_t kXingFrames = 1, kXingBytes = 2, kXingToc = 4, kXingQuality = 8;
constexpr uint32_t kXingTocBytes = 100, kXingFieldBytes = 4, kXingTagBytes = 8;
constexpr uint32_t kLameGapOffset = 21, kLameExtensionBytes = 24;
constexpr uint32_t kLameGapBits = 12, kLameGapMask = 0xFFF;

constexpr uint32_t kId3v2MajorWithFooter = 4;
constexpr uint8_t kId3v2FooterFlag = 0x10, kSyncSafeLimit = 0x80;
constexpr size_t kId3v1Bytes = 128, kApeFooterBytes = 32;
constexpr uint32_t kApeHasHeader = 0x80000000u;

constexpr size_t kReadChunk = 65536;

uint32_t BigEndian32At(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t LittleEndian32At(const uint8_t* p) { return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }
bool StartsWith(const uint8_t* p, const char* text) { return std::memcmp(p, text, std::strlen(text)) == 0; }

const RateRow& RatesOf(MpegVersion version, int layer)
{
    if (version == MpegVersion::kMpeg1) return layer == 1 ? kMpeg1Layer1 : layer == 2 ? kMpeg1Layer2 : kMpeg1Layer3;
    return layer == 1 ? kMpeg2Layer1 : kMpeg2Layer23;
}

}  // namespace

bool ParseMpegHeader(const uint8_t* b, MpegFrameHeader* header)
{
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
    const uint8_t versionBits = (b[1] >> 3) & 3, layerBits = (b[1] >> 1) & 3;
    const uint8_t rateIndex = b[2] >> 4, sampleIndex = (b[2] >> 2) & 3;
    if (versionBits == kVersionReserved || layerBits == kLayerReserved || sampleIndex == kRateIndexReserved ||
        rateIndex == kFreeFormatIndex || rateIndex == kForbiddenRateIndex || (b[3] & 3) == kEmphasisReserved)
        return false;
    MpegFrameHeader h;
    h.version = versionBits == 3 ? MpegVersion::kMpeg1 : versionBits == 2 ? MpegVersion::kMpeg2 : MpegVersion::kMpeg25;
    h.layer = 4 - layerBits;
    h.crc = (b[1] & 1) == 0;
    h.bitRate = RatesOf(h.version, h.layer)[rateIndex] * kBitsPerKilobit;
    h.sampleRate = kSampleRates[int(h.version)][sampleIndex];
    h.padding = (b[2] >> 1) & 1;
    h.channels = (b[3] >> 6) == kSingleChannelMode ? 1 : 2;
    const bool mpeg1 = h.version == MpegVersion::kMpeg1;
    if (h.layer == 1) {
        h.frameBytes = (kLayer1Factor * h.bitRate / h.sampleRate + h.padding) * kLayer1SlotBytes;
        h.samplesPerFrame = kLayer1Samples;
    } else {
        const bool lowRate3 = h.layer == 3 && !mpeg1;
        h.frameBytes = (lowRate3 ? kLowRateLayer3Factor : kFullFactor) * h.bitRate / h.sampleRate + h.padding;
        h.samplesPerFrame = lowRate3 ? kLowRateLayer3Samples : kFullSamples;
    }
    *header = h;
    return true;
}

bool SameMpegStream(const MpegFrameHeader& a, const MpegFrameHeader& b)
{
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate && a.channels == b.channels;
}

uint64_t Id3v2TagBytes(const uint8_t* b, size_t length)
{
    if (length < kId3v2HeaderBytes || !StartsWith(b, "ID3") || b[3] == 0xFF || b[4] == 0xFF) return 0;
    uint64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (b[i] >= kSyncSafeLimit) return 0;
        size = size << 7 | b[i];
    }
    const bool footer = b[3] == kId3v2MajorWithFooter && (b[5] & kId3v2FooterFlag);
    return kId3v2HeaderBytes + size + (footer ? kId3v2HeaderBytes : 0);
}

uint64_t TrailingTagBytes(const uint8_t* tail, size_t length, uint64_t bytesBefore)
{
    uint64_t tags = 0;
    size_t end = length;
    if (end >= kId3v1Bytes && StartsWith(tail + end - kId3v1Bytes, "TAG")) {
        tags += kId3v1Bytes;
        end -= kId3v1Bytes;
    }
    if (end >= kApeFooterBytes && StartsWith(tail + end - kApeFooterBytes, "APETAGEX")) {
        const uint8_t* footer = tail + end - kApeFooterBytes;
        const uint64_t size = LittleEndian32At(footer + 12);   // items and footer
        const uint64_t whole = size + ((LittleEndian32At(footer + 20) & kApeHasHeader) ? kApeFooterBytes : 0);
        if (size >= kApeFooterBytes && whole <= bytesBefore + end) tags += whole;
    }
    return tags;
}

MpegInfoFrame ParseInfoFrame(const uint8_t* frame, uint32_t length, const MpegFrameHeader& header)
{
    MpegInfoFrame info;
    if (header.layer != 3) return info;
    // The tag follows the side information; encoders place it there with or without a check word.
    uint32_t at = kMpegHeaderBytes + kSideInfoBytes[header.version != MpegVersion::kMpeg1][header.channels == 1];
    auto tagAt = [&](uint32_t offset) {
        return offset + kXingTagBytes <= length &&
               (StartsWith(frame + offset, "Xing") || StartsWith(frame + offset, "Info"));
    };
    if (!tagAt(at)) {
        if (!header.crc || !tagAt(at + kCrcBytes)) return info;
        at += kCrcBytes;
    }
    info.present = true;
    info.constantBitRate = StartsWith(frame + at, "Info");
    const uint32_t flags = BigEndian32At(frame + at + 4);
    at += kXingTagBytes;
    auto field = [&](uint32_t flag, bool* has, uint32_t* value) {
        if (!(flags & flag)) return true;
        if (at + kXingFieldBytes > length) return false;
        *has = true;
        *value = BigEndian32At(frame + at);
        at += kXingFieldBytes;
        return true;
    };
    if (!field(kXingFrames, &info.hasFrameCount, &info.frameCount) || !field(kXingBytes, &info.hasByteCount, &info.byteCount))
        return info;
    at += (flags & kXingToc ? kXingTocBytes : 0) + (flags & kXingQuality ? kXingFieldBytes : 0);
    if (at + kLameExtensionBytes > length) return info;
    const uint8_t* lame = frame + at;
    if (!StartsWith(lame, "LAME") && !StartsWith(lame, "Lavf") && !StartsWith(lame, "Lavc")) return info;
    const uint32_t gap = uint32_t(lame[kLameGapOffset]) << 16 | uint32_t(lame[kLameGapOffset + 1]) << 8 | lame[kLameGapOffset + 2];
    info.hasEncoderGap = true;
    info.encoderDelay = gap >> kLameGapBits;
    info.padding = gap & kLameGapMask;
    return info;
}

MpegTrim MpegTrimOf(const MpegInfoFrame& info, uint32_t samplesPerFrame, uint64_t countedFrames)
{
    const uint64_t total = (info.hasFrameCount ? info.frameCount : countedFrames) * uint64_t(samplesPerFrame);
    if (!info.hasEncoderGap) return {0, total};
    const uint64_t gap = uint64_t(info.encoderDelay) + info.padding;
    return {info.encoderDelay + uint64_t(kMp3DecoderDelay), total > gap ? total - gap : 0};
}

// ---- The frame reader ------------------------------------------------------------------------

bool MpegFrameReader::Fill(size_t needed)
{
    if (Available() >= needed) return true;
    if (inputEnded_) return false;
    if (position_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + position_, Available());
        consumed_ += position_;
        end_ -= position_;
        position_ = 0;
    }
    if (buffer_.size() < needed + kReadChunk) buffer_.resize(needed + kReadChunk);
    while (end_ < needed && !inputEnded_) {
        const uint32_t got = input_->Read(buffer_.data() + end_, uint32_t(buffer_.size() - end_));
        end_ += got;
        inputEnded_ = got == 0;
    }
    return Available() >= needed;
}

bool MpegFrameReader::FrameAt(size_t offset, const MpegFrameHeader* stream, MpegFrameHeader* header)
{
    if (!Fill(offset + kMpegHeaderBytes) || !ParseMpegHeader(&buffer_[position_ + offset], header)) return false;
    if (stream && !SameMpegStream(*stream, *header)) return false;
    const size_t end = offset + header->frameBytes;
    if (!Fill(end + kMpegHeaderBytes)) return Available() >= end;   // the data ends after this frame
    MpegFrameHeader next;
    return ParseMpegHeader(&buffer_[position_ + end], &next) && SameMpegStream(*header, next);
}

bool MpegFrameReader::FindFirst(uint32_t searchBytes, MpegFrame* first)
{
    for (size_t offset = 0; offset < searchBytes && Fill(offset + kMpegHeaderBytes); ++offset) {
        if (FrameAt(offset, nullptr, &stream_)) {
            position_ += offset;
            found_ = true;
            first->bytes = &buffer_[position_];
            first->header = stream_;
            return true;
        }
    }
    return false;
}

bool MpegFrameReader::Next(MpegFrame* frame)
{
    if (!found_) return false;
    while (Fill(kMpegHeaderBytes)) {
        if (FrameAt(0, &stream_, &frame->header)) {
            frame->bytes = &buffer_[position_];
            position_ += frame->header.frameBytes;
            return true;
        }
        damaged_ = true;   // lost sync, or a frame cut short by the end of the data
        ++position_;
    }
    if (Available() > 0) damaged_ = true;
    position_ = end_;
    return false;
}
