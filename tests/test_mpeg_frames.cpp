// The project's own MPEG audio frame parser on bytes made here: header fields and frame lengths
// of every version and layer, the headers it must not take, ID3v2 tag sizes, and the frame reader
// finding a stream through junk, damage and inputs that deliver a byte at a time. (The Info frame,
// APE and ID3v1 tags are proven on encoded files with the decoders.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "audio/mpeg_frames.h"
#include "tests/support/compressed_wave.h"

namespace {

struct HeaderBytes {
    uint8_t b[4];
};

// Headers of every version and layer with their fields and frame lengths; reserved, free-format
// and forbidden ones (the rows without a layer) are no frames.
TEST(MpegFrames, HeadersGiveTheirFieldsAndFrameLengthOrAreNoFrames)
{
    const struct { const char* name; HeaderBytes h; MpegVersion version = {}; int layer = 0; uint32_t bitRate = 0, rate = 0;
                   uint16_t channels = 0; uint32_t frameBytes = 0, samples = 0; bool crc = false; } rows[] = {
        {"MPEG-1 III 128k 44.1k stereo", {{0xFF, 0xFB, 0x90, 0x00}}, MpegVersion::kMpeg1, 3, 128000, 44100, 2, 417, 1152, false},
        {"the same padded", {{0xFF, 0xFB, 0x92, 0x00}}, MpegVersion::kMpeg1, 3, 128000, 44100, 2, 418, 1152, false},
        {"MPEG-1 III 320k 32k mono, CRC", {{0xFF, 0xFA, 0xE8, 0xC0}}, MpegVersion::kMpeg1, 3, 320000, 32000, 1, 1440, 1152, true},
        {"MPEG-2 III 64k 22.05k mono", {{0xFF, 0xF3, 0x80, 0xC0}}, MpegVersion::kMpeg2, 3, 64000, 22050, 1, 208, 576, false},
        {"MPEG-2.5 III 8k 8k padded", {{0xFF, 0xE3, 0x1A, 0x00}}, MpegVersion::kMpeg25, 3, 8000, 8000, 2, 73, 576, false},
        {"MPEG-1 II 384k 48k", {{0xFF, 0xFD, 0xE4, 0x00}}, MpegVersion::kMpeg1, 2, 384000, 48000, 2, 1152, 1152, false},
        {"MPEG-1 I 448k 44.1k padded", {{0xFF, 0xFF, 0xE2, 0x00}}, MpegVersion::kMpeg1, 1, 448000, 44100, 2, 488, 384, false},
        {"sync word cut short", {{0xFF, 0x1B, 0x90, 0x00}}}, {"reserved version", {{0xFF, 0xEB, 0x90, 0x00}}},
        {"reserved layer", {{0xFF, 0xF9, 0x90, 0x00}}}, {"free format", {{0xFF, 0xFB, 0x00, 0x00}}},
        {"forbidden bit rate", {{0xFF, 0xFB, 0xF0, 0x00}}}, {"reserved sample rate", {{0xFF, 0xFB, 0x9C, 0x00}}},
        {"reserved emphasis", {{0xFF, 0xFB, 0x90, 0x02}}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        MpegFrameHeader h;
        ASSERT_EQ(r.layer != 0, ParseMpegHeader(r.h.b, &h));
        if (r.layer == 0) continue;
        EXPECT_EQ(std::make_tuple(r.version, r.layer, r.bitRate, r.rate, r.channels, r.frameBytes, r.samples, r.crc),
                  std::make_tuple(h.version, h.layer, h.bitRate, h.sampleRate, h.channels, h.frameBytes, h.samplesPerFrame, h.crc));
    }
}

TEST(MpegFrames, Id3v2TagsHaveTheirSizes)
{
    // ID3v2: 10 bytes, the sync-safe size, and 10 more for a version 4 footer (unsynchronisation changes nothing).
    const struct { std::vector<uint8_t> head; uint64_t bytes; } id3[] = {
        {{'I', 'D', '3', 3, 0, 0x00, 0, 0, 0x02, 0x01}, 10 + 257},
        {{'I', 'D', '3', 4, 0, 0x80, 0, 0, 0x02, 0x01}, 10 + 257},
        {{'I', 'D', '3', 4, 0, 0x10, 0x7F, 0x7F, 0x7F, 0x7F}, 10 + 0x0FFFFFFF + 10},
        {{'I', 'D', '3', 3, 0, 0x10, 0, 0, 0, 1}, 11},
        {{'I', 'D', '3', 4, 0, 0, 0, 0, 0x80, 0}, 0},   // not sync-safe
        {{'I', 'D', '3', 4, 0, 0, 0, 0, 1}, 0},         // cut short
    };
    for (const auto& r : id3) EXPECT_EQ(r.bytes, Id3v2TagBytes(r.head.data(), r.head.size()));
}

// A frame of `header` with zero bytes after it.
std::vector<uint8_t> Frame(const HeaderBytes& header)
{
    MpegFrameHeader h;
    EXPECT_TRUE(ParseMpegHeader(header.b, &h));
    std::vector<uint8_t> frame(h.frameBytes, 0);
    std::copy(header.b, header.b + 4, frame.begin());
    return frame;
}
constexpr HeaderBytes kStereo128k = {{0xFF, 0xFB, 0x90, 0x00}};
constexpr HeaderBytes kMono22k = {{0xFF, 0xF3, 0x80, 0xC0}};

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(MpegFrames, ReaderTakesWholeFramesAndSaysWhereItLostTheStream)
{
    const std::vector<uint8_t> f = Frame(kStereo128k), other = Frame(kMono22k), junk(50, 0xFF);
    const std::vector<uint8_t> five = Join({f, f, f, f, f});
    const struct { const char* name; std::vector<uint8_t> bytes; uint32_t step; bool found; int frames; bool damaged; } rows[] = {
        {"clean", five, 65536, true, 5, false},
        {"a byte at a time", five, 1, true, 5, false},
        {"junk before the first frame", Join({junk, std::vector<uint8_t>(900, 0), five}), 65536, true, 5, false},
        {"first frame at the edge of the search", Join({std::vector<uint8_t>(65535, 0), five}), 65536, true, 5, false},
        {"first frame past the search", Join({std::vector<uint8_t>(65536, 0), five}), 65536, false, 0, false},
        {"junk between frames: the frame before it goes too", Join({f, f, junk, f, f, f}), 65536, true, 4, true},
        {"a frame of another stream", Join({f, f, other, f, f}), 65536, true, 3, true},
        {"the last frame cut short", Join({f, f, f, std::vector<uint8_t>(f.begin(), f.end() - 100)}), 65536, true, 3, true},
        {"trailing bytes", Join({five, {0xFF, 0xFB}}), 65536, true, 5, true},
        {"a single frame", f, 65536, true, 1, false},
        {"nothing", {}, 65536, false, 0, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        MemoryInput input(r.bytes, r.step);
        MpegFrameReader reader(&input);
        MpegFrame frame;
        ASSERT_EQ(r.found, reader.FindFirst(kMpegFirstFrameSearch, &frame));
        int frames = 0;
        while (reader.Next(&frame)) {
            EXPECT_EQ(0, std::memcmp(frame.bytes, f.data(), f.size()));
            ++frames;
        }
        EXPECT_EQ(r.frames, frames);
        EXPECT_EQ(r.damaged, reader.SkippedDamage());
    }
}

}  // namespace
