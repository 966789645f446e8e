// WAV headers as the program reads them from generated files. The reader, with a stand-in for the
// device's format query: good files end open at their first sample byte with their figures, every
// refusal has its result and its exact text and leaves nothing open; and the header decisions on
// plain inputs. How the window shows a refusal, and the reads of a data chunk that claims more
// than the file holds, are proven with the playback runs. The Wave Information dialog, created in
// this process: the fields read front to back, the cbSize rule, the next chunk at 20 + f without
// skipping a pad byte, the tag name, and the labels a missing file leaves in the fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "audio/wavreader.h"
#include "resources/resource.h"
#include "shell/dialogs.h"
#include "shell/messages.h"
#include "tests/support/support.h"

namespace {

std::vector<uint8_t> Filler(size_t count) { return std::vector<uint8_t>(count, 0x5A); }
const std::vector<uint8_t> kFmt = FmtBody(1, 2, 44100, 16);

// `bytes` with the little-endian field of `width` bytes at `offset` set to `value`.
std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t offset, uint32_t value, size_t width = 4)
{
    for (size_t i = 0; i < width; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
    return bytes;
}

std::vector<uint8_t> WithData(const std::vector<uint8_t>& fmt) { return RiffFile({{"fmt ", fmt}, {"data", Filler(400)}}); }

MMRESULT RefuseEveryFormat(const WAVEFORMATEX*, void*) { return WAVERR_BADFORMAT; }

// The format figures as the file states them: a block align of 20 for six 24-bit channels stays.
TEST(WavReader, GoodFilesOpenAtTheirFirstSampleByteWithTheirFigures)
{
    std::vector<uint8_t> data(64);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 3);
    const struct { const char* name; std::vector<uint8_t> bytes; uint16_t blockAlign; } files[] = {
        {"canonical", PcmFile(2, 44100, 16, data), 4},
        {"LIST before, fact between", RiffFile({{"LIST", Filler(26)}, {"fmt ", FmtBody(1, 1, 22050, 8)},
                                                {"fact", Filler(4)}, {"data", data}}), 1},
        {"18-byte fmt, odd LIST and its pad", RiffFile({{"fact", Filler(4)}, {"fmt ", FmtBody(1, 2, 22050, 16, true)},
                                                        {"LIST", Filler(7)}, {"junk", Filler(10)}, {"data", data}}), 4},
        {"24-bit, six channels", RiffFile({{"fmt ", Patched(FmtBody(1, 6, 48000, 24), 12, 20, 2)}, {"data", data}}), 20},
    };
    for (const auto& c : files) {
        SCOPED_TRACE(c.name);
        WaveReader reader;
        ASSERT_EQ(ReaderResult::kOk, reader.Open(WriteTempFile("good.wav", c.bytes).c_str(), AcceptEveryFormat));
        EXPECT_EQ(c.blockAlign, reader.Format().blockAlign);
        EXPECT_EQ(data.size(), reader.TotalBytes());
        std::vector<uint8_t> first(data.size());
        EXPECT_EQ(data.size(), reader.Read(first.data(), uint32_t(first.size())));
        EXPECT_EQ(data, first);
    }
}

TEST(WavReader, EveryRefusalHasItsTextAndLeavesNothingOpen)
{
    const std::vector<uint8_t> good = PcmFile(2, 44100, 16, Filler(400));
    const char kNotWave[] = "指定したファイルは、WAVEファイルではありません。", kNoData[] = "WAVEファイルにデータ チャンクがありません。",
               kUnreadable[] = "形式チャンクを読み取れません。", kBroken[] = "WAVEファイルが壊れています。",
               kUnplayable[] = "サウンドドライバは、この形式を再生できません。",
               kNotPcm[] = "指定したファイルは、PCMファイルではありません。";
    const struct { std::string name; std::vector<uint8_t> bytes; const char* message;     // no bytes: open `name`
                   OutputFormatQuery query = AcceptEveryFormat; } cases[] = {
        {"", {}, "ファイル名が未入力。"},
        {TempDirectory() + "absent.wav", {}, "ファイルを開けません。"},
        {"AVI form", RiffFile({{"fmt ", kFmt}}, -1, "AVI "), kNotWave},
        {"no fmt", RiffFile({{"LIST", Filler(12)}, {"data", Filler(400)}}), kBroken},
        // Sizes whose end wraps past 4 GB back onto the chunk itself: each search gives up, not loops.
        {"AVI form, size -8", Patched(RiffFile({{"fmt ", kFmt}}, -1, "AVI "), 4, 0xFFFFFFF8), kNotWave},
        {"data first, size -8", Patched(RiffFile({{"data", Filler(8)}, {"fmt ", kFmt}}), 16, 0xFFFFFFF8), kBroken},
        {"fact after fmt, size -8", Patched(RiffFile({{"fmt ", kFmt}, {"fact", Filler(4)}, {"data", Filler(8)}}), 40, 0xFFFFFFF8),
         kNoData},
        {"zero fmt", WithData({}), "メモリのロックに失敗しました。"},
        {"14-byte fmt", WithData({good.begin() + 20, good.begin() + 34}), kUnreadable},
        {"huge fmt", RiffFile({{"fmt ", kFmt, 70000}}), kUnreadable},
        {"cut in fmt", {good.begin(), good.begin() + 30}, kUnreadable},
        {"ADPCM", WithData(Patched(kFmt, 0, 2, 2)), kNotPcm},
        {"16-bit float", WithData(FmtBody(3, 1, 44100, 16)), kNotPcm}, {"extensible ADPCM", WithData(ExtensibleFmtBody(2, 44100, 4, 4, 2)), kNotPcm},
        {"extensible, cbSize 0", WithData(ExtensibleFmtBody(2, 44100, 16, 16, 1, 0)), kUnreadable},
        {"extensible in 18 bytes", WithData(FmtBody(0xFFFE, 2, 44100, 16, true)), kUnreadable},
        {"24 valid bits of 16", WithData(ExtensibleFmtBody(2, 44100, 16, 24, 1)), kUnplayable},
        {"no channels", WithData(Patched(kFmt, 2, 0, 2)), kUnplayable},
        {"refused by the device", WithData(kFmt), kUnplayable, RefuseEveryFormat},
        {"data first", RiffFile({{"data", Filler(400)}, {"fmt ", kFmt}}), kNoData},
        {"data past the RIFF end", RiffFile({{"fmt ", kFmt}, {"data", Filler(8)}}, 28), kNoData},
        {"empty data", PcmFile(2, 44100, 16, {}), "データ チャンクが空です。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WaveReader reader;
        const std::string path = c.bytes.empty() ? c.name : WriteTempFile("refused.wav", c.bytes);
        const ReaderResult result = reader.Open(path.c_str(), c.query);
        EXPECT_EQ(c.message, Text(MessageIdOf(result)));
        EXPECT_FALSE(reader.IsOpen());
    }
}

// Accepted extensible and PCM records: the samples the analysis reads (sub-format, valid bits),
// and the record the device is offered: PCM of more than 16 bits or two channels as its
// extensible equivalent (all bits valid, the usual speakers, PCM sub-format).
TEST(WavReader, RecordsGiveTheirSamplesAndTheDeviceItsRecord)
{
    WAVEFORMATEXTENSIBLE offered;
    const auto capture = [](const WAVEFORMATEX* r, void* context) -> MMRESULT {
        WAVEFORMATEXTENSIBLE& into = *static_cast<WAVEFORMATEXTENSIBLE*>(context);
        into = {};
        std::memcpy(&into, r, sizeof(WAVEFORMATEX) + std::min<WORD>(r->cbSize, 22));
        return MMSYSERR_NOERROR;
    };
    struct Case { std::vector<uint8_t> fmt; SampleEncoding encoding; uint16_t valid; WORD tag, offeredValid; DWORD mask, sub; };
    const Case cases[] = {{ExtensibleFmtBody(2, 48000, 24, 20, 1), SampleEncoding::kSigned24, 20, 0xFFFE, 20, 0x3, 1},
                          {ExtensibleFmtBody(6, 96000, 32, 32, 3), SampleEncoding::kFloat32, 32, 0xFFFE, 32, 0, 3},
                          {FmtBody(1, 6, 48000, 24), SampleEncoding::kSigned24, 0, 0xFFFE, 24, 0x3F, 1},
                          {FmtBody(1, 2, 44100, 16), SampleEncoding::kSigned16, 0, 1, 0, 0, 0}};
    for (const Case& c : cases) {
        WaveReader reader;
        ASSERT_EQ(ReaderResult::kOk, reader.Open(WriteTempFile("formats.wav", WithData(c.fmt)).c_str(), capture, &offered));
        SCOPED_TRACE(testing::Message() << "tag " << reader.Format().formatTag << ", " << reader.Format().channels << " channels");
        EXPECT_EQ(c.encoding, reader.Format().Encoding());
        EXPECT_EQ(c.valid, reader.Format().validBits);
        EXPECT_EQ(c.tag, offered.Format.wFormatTag);
        EXPECT_EQ(c.offeredValid, offered.Samples.wValidBitsPerSample);
        EXPECT_EQ(c.mask, offered.dwChannelMask);
        EXPECT_EQ(c.sub, offered.SubFormat.Data1);
    }
}

// ---- Header decisions on plain inputs ----

TEST(WavHeaderRules, FormatLimits)
{
    EXPECT_EQ(kFormatAccepted, CheckFormatChunk(FmtBody(1, 1, kMaxPlayableRate, 12).data(), 16, 16));
    // Headers a lenient device query would take: too high a rate, no block align.
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(FmtBody(1, 1, kMaxPlayableRate + 1, 8).data(), 16, 16));
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(Patched(FmtBody(1, 2, 44100, 16), 12, 0, 2).data(), 16, 16));
    // 32768 channels of 16 bits: a frame of 65536 bytes, more than the block align can say.
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(Patched(FmtBody(1, 2, 44100, 16), 2, 32768, 2).data(), 16, 16));
    EXPECT_EQ(kFormatAccepted, CheckFormatChunk(FmtBody(1, 32768, 22050, 8).data(), 16, 16));
    EXPECT_EQ(kFormatAccepted, CheckFormatChunkSize(kMaxFormatChunkSize));
    EXPECT_EQ(kFormatUnreadable, CheckFormatChunkSize(kMaxFormatChunkSize + 1));
}

TEST(WavHeaderRules, BufferingModeAndBlockSize)
{
    EXPECT_EQ(kOnMemoryMode, ChooseBufferingMode(false, kDisketteCapacity));
    EXPECT_EQ(kStreamingMode, ChooseBufferingMode(false, kDisketteCapacity + 1));
    // A disk whose size wraps to a diskette-sized number in 32 bits is still large.
    EXPECT_EQ(kStreamingMode, ChooseBufferingMode(false, 0x100000000ull + 1000));
    // 48000 Hz, six 24-bit channels: 48000 x 2048 / 11025 = 8916.6 frames of 18 bytes, whole.
    EXPECT_EQ(1486u, BlockSizeFor(kStreamingMode, {1, 1, 8000, 8000, 1, 8}, 2048, 15, 99));   // 1486.1 frames
    EXPECT_EQ(8916u * 18, BlockSizeFor(kStreamingMode, {1, 6, 48000, 864000, 18, 24}, 2048, 15, 99));
    EXPECT_EQ(kMegabyte, BlockSizeFor(kOnMemoryMode, {1, 2, 44100, 176400, 4, 16}, 2048, 1, kMegabyte + kMegabyte / 2));
    EXPECT_EQ(kMegabyte - 4, BlockSizeFor(kOnMemoryMode, {1, 2, 48000, 288000, 6, 24}, 2048, 1, kMegabyte + kMegabyte / 2));
    // A product beyond 32 bits is capped, never wrapped to a small block.
    EXPECT_EQ(0xFFFFFFFFu, BlockSizeFor(kStreamingMode, {1, 1, 0xFFFFFFFFu, 0xFFFFFFFFu, 1, 8}, 1 << 20, 15, 99));
}

// ---- The Wave Information dialog ----

using Fields = std::map<int, std::string>;

TEST(InfoBox, ShowsTheHeaderFieldsAsTheyStandInTheFile)
{
    const std::vector<uint8_t> canonical = PcmFile(2, 44100, 16, std::vector<uint8_t>(100, 0));
    const struct { const char* name; std::vector<uint8_t> bytes; Fields expected; } cases[] = {  // no bytes: no file
        {"canonical", canonical,
         {{IDC_INFO_FILE_SIZE, "144"}, {IDC_INFO_RIFF_ID, "RIFF"}, {IDC_INFO_RIFF_SIZE, "136"}, {IDC_INFO_RIFF_TYPE, "WAVE"}, {IDC_INFO_CHUNK_ID, "fmt "}, {IDC_INFO_CHUNK_SIZE, "16"}, {IDC_INFO_FORMAT_TAG, "1"}, {IDC_INFO_TAG_NAME, "PCM"},
          {IDC_INFO_CHANNELS, "2"}, {IDC_INFO_RATE, "44100"}, {IDC_INFO_AVG_BYTES, "176400"}, {IDC_INFO_BLOCK_ALIGN, "4"}, {IDC_INFO_BITS, "16"}, {IDC_INFO_CB_SIZE, ""}, {IDC_INFO_NEXT_ID, "data"}, {IDC_INFO_NEXT_SIZE, "100"}}},
        {"18-byte fmt", RiffFile({{"fmt ", FmtBody(1, 1, 22050, 8, true)}, {"data", {1, 2}}}), {{IDC_INFO_CB_SIZE, "0"}}},
        // 19 bytes and a zero pad: the next chunk is read at 39, so its id starts with the pad
        // byte (an empty text) and its size is "t", 4, 0, 0 of the "fact" chunk behind it.
        {"odd fmt size", RiffFile({{"fmt ", std::vector<uint8_t>(19, 1)}, {"fact", {0, 0, 0, 0}}}),
         {{IDC_INFO_CHUNK_SIZE, "19"}, {IDC_INFO_NEXT_ID, ""}, {IDC_INFO_NEXT_SIZE, "1140"}}},
        {"extensible", RiffFile({{"fmt ", ExtensibleFmtBody(2, 48000, 24, 24, 1)}, {"data", {1, 2}}}),
         {{IDC_INFO_CHUNK_SIZE, "40"}, {IDC_INFO_FORMAT_TAG, "-2"}, {IDC_INFO_TAG_NAME, "Extensible"}, {IDC_INFO_CB_SIZE, "22"}}},
        {"tag 32768", RiffFile({{"fmt ", FmtBody(0x8000, 2, 44100, 16)}, {"data", {1, 2}}}), {{IDC_INFO_FORMAT_TAG, "-32768"}, {IDC_INFO_TAG_NAME, "unknown"}}},
        {"missing", {},
         {{IDC_INFO_FILE_SIZE, "0"}, {IDC_INFO_RIFF_ID, "Riff ID"}, {IDC_INFO_CHUNK_SIZE, "Chunk Size"}, {IDC_INFO_FORMAT_TAG, "WaveFmtType"}, {IDC_INFO_TAG_NAME, "PCM:1"}, {IDC_INFO_BLOCK_ALIGN, "BlockSize"},
          {IDC_INFO_CB_SIZE, "cbSize"}, {IDC_INFO_NEXT_ID, "Chunk ID"}, {IDC_INFO_NEXT_SIZE, "Chunk Size"}}},
    };
    WPARAM closeWith = IDOK;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.bytes.empty() ? TempDirectory() + "absent.wav" : WriteTempFile("info.wav", c.bytes);
        HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "InfoBox", nullptr, InfoDialogProc,
                                         reinterpret_cast<LPARAM>(path.c_str()));   // fills it
        ASSERT_NE(nullptr, dialog);
        for (const auto& [id, expected] : c.expected) {     // an empty text counts only where the field exists
            char text[64] = "(no field)";
            if (GetDlgItem(dialog, id)) GetDlgItemTextA(dialog, id, text, sizeof text);
            EXPECT_EQ(expected, text) << id;
        }
        ShowWindow(dialog, SW_SHOW);
        closeWith = closeWith == IDOK ? IDCANCEL : IDOK;    // OK and Cancel both end it
        SendMessageA(dialog, WM_COMMAND, closeWith, 0);
        EXPECT_FALSE(IsWindowVisible(dialog));
        DestroyWindow(dialog);
    }
}

}  // namespace
