// Files of every type as the program opens them: the type judged by content (never the name),
// each opener's refusals with their texts, AIFF and AIFF-C samples converted to the delivered
// little-endian format, RF64 with its 64-bit sizes (a sparse file whose data passes 4 GB), and the
// byte stream the engines read over a source's frames. Bit-exactness against sox's own decoding of
// the same files is proven by test_sources.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "audio/containers.h"
#include "audio/filesource.h"
#include "audio/filetype.h"
#include "texts/texts.h"
#include "tests/support/support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The bytes of a literal, zero bytes inside it included.
template <size_t N>
Bytes Ascii(const char (&text)[N]) { return Bytes(text, text + N - 1); }
Bytes Id(const char* id) { return Bytes(id, id + 4); }
void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }
void PutBig(Bytes& to, uint32_t value, int width)
{
    for (int i = width - 1; i >= 0; --i) to.push_back(uint8_t(value >> (8 * i)));
}
void PutLittle(Bytes& to, uint64_t value, int width)
{
    for (int i = 0; i < width; ++i) to.push_back(uint8_t(value >> (8 * i)));
}

// The 80-bit extended form of a whole rate (normalised: the integer bit leads the mantissa).
Bytes Extended(uint32_t rate)
{
    int shift = 0;
    while (shift < 32 && !(uint64_t(rate) << shift & 0x80000000u)) ++shift;
    Bytes bytes;
    PutBig(bytes, 16383 + 31 - shift, 2);
    PutBig(bytes, uint32_t(uint64_t(rate) << shift), 4);
    PutBig(bytes, 0, 4);
    return bytes;
}

Bytes AiffChunk(const char* id, const Bytes& body, int64_t declared = -1)
{
    Bytes chunk = Id(id);
    PutBig(chunk, uint32_t(declared < 0 ? body.size() : uint64_t(declared)), 4);
    Append(chunk, body);
    if (body.size() & 1) chunk.push_back(0);
    return chunk;
}

// An AIFF ("NONE" form when `compression` is null) or AIFF-C file of `frames` frames.
Bytes AiffFile(uint16_t channels, uint16_t bits, uint32_t rate, const char* compression, const Bytes& samples,
               uint32_t frames, int64_t soundSize = -1)
{
    Bytes comm;
    PutBig(comm, channels, 2);
    PutBig(comm, frames, 4);
    PutBig(comm, bits, 2);
    Append(comm, Extended(rate));
    if (compression) {
        Append(comm, Id(compression));
        Append(comm, {0, 0});   // an empty name and its pad
    }
    Bytes sound(8, 0);
    Append(sound, samples);
    Bytes form = Ascii(compression ? "AIFC" : "AIFF");
    Append(form, AiffChunk("COMM", comm));
    Append(form, AiffChunk("SSND", sound, soundSize < 0 ? -1 : soundSize + 8));
    Bytes file = Ascii("FORM");
    PutBig(file, uint32_t(form.size()), 4);
    Append(file, form);
    return file;
}

// An RF64 file whose sizes stand in its ds64 chunk; `dataSize` may claim more than `data` (of an
// even size) holds.
Bytes Rf64File(const Bytes& fmt, const Bytes& data, uint64_t dataSize, const char* id = "RF64")
{
    Bytes ds64;
    PutLittle(ds64, 36 + fmt.size() + dataSize, 8);   // the RIFF size
    PutLittle(ds64, dataSize, 8);
    PutLittle(ds64, 0, 8);                             // the sample count, and no table
    PutLittle(ds64, 0, 4);
    Bytes file = RiffFile({{"ds64", ds64}, {"fmt ", fmt}, {"data", data}});
    std::copy(id, id + 4, file.begin());
    std::fill_n(file.begin() + 4, 4, 0xFF);                         // the RIFF and data chunk sizes
    std::fill_n(file.end() - long(data.size()) - 4, 4, 0xFF);
    return file;
}

// Every delivered byte of a file opened as the window opens it.
Bytes Delivered(FileSource& source)
{
    Bytes all(size_t(source.TotalBytes()) + 64);
    all.resize(source.Read(all.data(), uint32_t(all.size())));
    return all;
}

}  // namespace

TEST(FileTypes, AreJudgedByTheirFirstBytes)
{
    const struct { const char* name; Bytes head; FileType type; } cases[] = {
        {"RIFF WAVE", Ascii("RIFF\x24\0\0\0WAVE"), FileType::kWave},
        {"RIFF of another form (the WAV reader refuses it)", Ascii("RIFF\x24\0\0\0AVI "), FileType::kWave},
        {"BW64", Ascii("BW64\xFF\xFF\xFF\xFFWAVE"), FileType::kRf64},
        {"RF64 of another form", Ascii("RF64\xFF\xFF\xFF\xFF" "AVI "), FileType::kUnknown},
        {"AIFF", Ascii("FORM\0\0\0\x20" "AIFF"), FileType::kAiff},
        {"IFF of another form", Ascii("FORM\0\0\0\x20" "8SVX"), FileType::kUnknown},
        {"FLAC", Ascii("fLaC\0\0\0\x22"), FileType::kFlac},
        {"Ogg", Ascii("OggS\0\x02"), FileType::kOgg},
        {"ID3v2 tag", Ascii("ID3\x04\0\0"), FileType::kMpeg},
        {"MPEG-1 Layer III frame", {0xFF, 0xFB, 0x90, 0x64}, FileType::kMpeg},
        {"MPEG-2 Layer III frame", {0xFF, 0xF3, 0x64, 0xC4}, FileType::kMpeg},
        {"MPEG frame, bad bit rate", {0xFF, 0xFB, 0xF0, 0x64}, FileType::kUnknown},
        {"MPEG frame, reserved rate", {0xFF, 0xFB, 0x9C, 0x64}, FileType::kUnknown},
        {"ADTS AAC", {0xFF, 0xF1, 0x50, 0x80}, FileType::kUnsupported},
        {"WavPack", Ascii("wvpk\x20\0\0\0"), FileType::kUnsupported},
        {"Monkey's Audio", Ascii("MAC \x96\x0F"), FileType::kUnsupported},
        {"cut signature", Ascii("RIF"), FileType::kUnknown},
        {"empty", {}, FileType::kUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.type, JudgeFileType(c.head.data(), c.head.size()));
    }
}

// The name says nothing: each file is named as another type. Refusals have their texts; a WAV
// keeps today's texts, a file of no known type is "no WAV".
TEST(OpenAudioSource, OpensByContentAndRefusesWithTheTextOfTheType)
{
    const Bytes pcm = Samples16({1, -2, 3, -4});
    const struct { const char* name; Bytes bytes; ReaderResult result; const char* container; } cases[] = {
        {"wav.mp3", PcmFile(1, 8000, 16, pcm), ReaderResult::kOk, "WAVE"},
        {"aiff.wav", AiffFile(1, 16, 8000, nullptr, {0, 1, 0, 2}, 2), ReaderResult::kOk, "AIFF"},
        {"rf64.aif", Rf64File(FmtBody(1, 1, 8000, 16), pcm, pcm.size()), ReaderResult::kOk, "RF64"},
        {"wma.wav", RiffFile({{"fmt ", FmtBody(0x0161, 2, 44100, 16)}, {"data", pcm}}), ReaderResult::kUnsupportedCodec, ""},
        {"tag 0x22.wav", RiffFile({{"fmt ", FmtBody(0x22, 1, 8000, 16)}, {"data", pcm}}), ReaderResult::kNotPcm, ""},
        {"m4a.wav", Ascii("\0\0\0\x20" "ftypM4A isomiso2"), ReaderResult::kUnsupportedCodec, ""},
        {"text.wav", Ascii("hello, world, this is no sound"), ReaderResult::kNotWave, ""},
        {"aiff without SSND.aif", Ascii("FORM\0\0\0\x04" "AIFF"), ReaderResult::kUnreadableHeader, ""},
        {"aifc ima4.aifc", AiffFile(1, 16, 8000, "ima4", Bytes(34, 0), 64), ReaderResult::kUnsupportedCodec, ""},
        {"aiff rate 0.aif", AiffFile(1, 16, 0, nullptr, {0, 1}, 1), ReaderResult::kUnplayable, ""},
        {"aiff no frames.aif", AiffFile(1, 16, 8000, nullptr, {}, 0), ReaderResult::kEmptyData, ""},
        {"rf64 without ds64.wav", Ascii("RF64\xFF\xFF\xFF\xFFWAVEfmt "), ReaderResult::kBrokenWave, ""},
        {"rf64 empty data.wav", Rf64File(FmtBody(1, 1, 8000, 16), {}, 0), ReaderResult::kEmptyData, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<AudioSource> source;
        const ReaderResult result = OpenAudioSource(WriteTempFile(c.name, c.bytes).c_str(), &source, AcceptEveryFormat);
        EXPECT_EQ(Text(MessageIdOf(c.result)), Text(MessageIdOf(result)));
        ASSERT_EQ(result == ReaderResult::kOk, source != nullptr);
        if (source) {
            EXPECT_STREQ(c.container, source->Description().container);
        }
    }
}

// Samples come little-endian in their 16-bit container, also big-endian 12-bit ones (which sox
// does not write; every other stored layout is proven against sox's own decoding by
// test_sources.sh). Sizes some writers leave wrong: a sound chunk claiming more than the file
// holds (or 0, as while recording) ends with the file; frames beyond the COMM count are not read.
TEST(AiffSource, DeliversLittleEndianSamplesUpToTheSmallerOfItsFrameCountAndTheBytesInTheFile)
{
    const Bytes stored = {0, 1, 0, 2, 0, 3, 0, 4}, swapped = {1, 0, 2, 0, 3, 0, 4, 0};
    const struct { const char* name; uint16_t bits; Bytes stored; uint32_t frames; int64_t soundSize; Bytes delivered; } cases[] = {
        {"12-bit", 12, {0x12, 0x30, 0xFE, 0xD0}, 2, -1, {0x30, 0x12, 0xD0, 0xFE}}, {"as stated", 16, stored, 4, -1, swapped},
        {"fewer frames stated", 16, stored, 3, -1, {1, 0, 2, 0, 3, 0}}, {"sound chunk too large", 16, stored, 9, 100, swapped},
        {"sound chunk size 0", 16, stored, 4, 0, swapped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FileSource source;
        const Bytes file = AiffFile(1, c.bits, 22050, nullptr, c.stored, c.frames, c.soundSize);
        ASSERT_EQ(ReaderResult::kOk, source.Open(WriteTempFile("samples.aif", file).c_str(), AcceptEveryFormat));
        EXPECT_EQ(22050u, source.Format().samplesPerSec);
        EXPECT_EQ(16, source.Format().bitsPerSample);
        EXPECT_EQ(c.delivered.size(), source.TotalBytes());
        EXPECT_EQ(c.delivered, Delivered(source));
    }
}

TEST(AiffSource, RateComesFromTheExtendedFloat)
{
    const struct { Bytes bytes; uint32_t rate; } cases[] = {
        {{0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}, 44100}, {{0x40, 0x0E, 0xBB, 0x80, 0, 0, 0, 0, 0, 0}, 48000},
        {{0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0}, 8000}, {{0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}, 22050},
        {{0x40, 0x0D, 0xAC, 0x44, 0x80, 0, 0, 0, 0, 0}, 22050}, {{0x40, 0x0D, 0xAC, 0x45, 0, 0, 0, 0, 0, 0}, 22051},
        {{0x40, 0x0D, 0xAC, 0x44, 0xFF, 0, 0, 0, 0, 0}, 22050},   // 22050.25, 22050.5 and 22050.498 to the nearest
        {{0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}, 0}, {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
        {{0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.rate, ExtendedToRate(c.bytes.data())) << c.rate;
}

// RF64 and BW64: the ds64 data size stands for the data chunk's 0xFFFFFFFF; a file that holds less
// than it claims fails its reads as a WAV's does.
TEST(Rf64Source, TakesItsDataSizeFromTheDs64Chunk)
{
    const Bytes data = Samples16({100, -100, 200, -200, 300, -300});
    const struct { const char* name; Bytes file; uint64_t total; bool readFails; } cases[] = {
        {"BW64", Rf64File(FmtBody(1, 2, 44100, 16), data, data.size(), "BW64"), data.size(), false},
        {"claims more", Rf64File(FmtBody(1, 2, 44100, 16), data, data.size() + 400), data.size() + 400, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FileSource source;
        ASSERT_EQ(ReaderResult::kOk, source.Open(WriteTempFile("data.rf64", c.file).c_str(), AcceptEveryFormat));
        EXPECT_EQ(c.total, source.TotalBytes());
        EXPECT_STREQ("RF64", source.Description().codecName);
        const Bytes got = Delivered(source);
        EXPECT_EQ(data, got);
        EXPECT_EQ(c.readFails, source.ReadFailed());
    }
}

// A sparse file whose data passes 4 GB: the length in full, and the last block read from its end.
TEST(Rf64Source, DataPast4GbHasItsLengthAndItsLastBlock)
{
    constexpr uint64_t kDataBytes = (uint64_t(1) << 32) + 4096 * 4;   // stereo 16-bit frames
    const Bytes lastBlock = Samples16({1, 2, 3, 4, 5, 6, 7, 8});
    Bytes head = Rf64File(FmtBody(1, 2, 48000, 16), {}, kDataBytes);
    const std::string path = WriteTempFile("sparse.rf64", head);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(head.size() + kDataBytes - lastBlock.size());
    DWORD written = 0;
    const bool made = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                      WriteFile(file, lastBlock.data(), DWORD(lastBlock.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(made);

    FileSource source;
    ASSERT_EQ(ReaderResult::kOk, source.Open(path.c_str(), AcceptEveryFormat));
    EXPECT_EQ(kDataBytes, source.TotalBytes());
    constexpr uint32_t kPiece = 64u << 20;
    std::vector<uint8_t> buffer(kPiece);
    while (source.RemainingBytes() > kPiece) {
        const uint32_t length = source.TakeNextBlockLength(kPiece);
        ASSERT_EQ(length, source.Read(buffer.data(), length));
    }
    const uint32_t last = source.TakeNextBlockLength(kPiece);
    ASSERT_EQ(last, source.Read(buffer.data(), last));
    EXPECT_EQ(kDataBytes, source.BytesTaken());
    EXPECT_EQ(lastBlock, Bytes(buffer.begin() + last - lastBlock.size(), buffer.begin() + last));
    DeleteFileA(path.c_str());
}

// Reads in pieces that split frames hand out the same bytes as one read of everything.
TEST(FileSource, PiecesThatSplitFramesGiveTheSameBytes)
{
    Bytes data;
    for (int i = 0; i < 6 * 40; ++i) data.push_back(uint8_t(i * 7));
    const std::string path = WriteTempFile("pieces.wav", RiffFile({{"fmt ", FmtBody(1, 2, 8000, 24)}, {"data", data}}));
    for (uint32_t piece : {1u, 4u, 5u, 7u, 13u, 240u}) {
        SCOPED_TRACE(piece);
        FileSource source;
        ASSERT_EQ(ReaderResult::kOk, source.Open(path.c_str(), AcceptEveryFormat));
        Bytes all, buffer(piece);
        for (uint32_t n; (n = source.Read(buffer.data(), source.TakeNextBlockLength(piece))) > 0;)
            all.insert(all.end(), buffer.begin(), buffer.begin() + n);
        EXPECT_EQ(data, all);
    }
}
