// The WAV reader against generated files in the real main window: good files end open at their
// first sample byte with the right mode and block size, every refusal shows its exact warning and
// leaves nothing open, an impossible block buffer is refused; and the header decisions on plain
// inputs. Freeing a run's memory, closing a source, and a file too slow for a streaming block (the
// 8 kHz file) are proved by the playback tests, which run them for real.
#include <gtest/gtest.h>
#include <tuple>

#include "audio/audio.h"
#include "shell/globals.h"
#include "tests/support/main_window.h"
#include "tests/support/support.h"

namespace {

std::vector<uint8_t> Filler(size_t count) { return std::vector<uint8_t>(count, 0x5A); }
const std::vector<uint8_t> kFmt = FmtBody(1, 2, 44100, 16);
const char kNotWave[] = "指定したファイルは、WAVEファイルではありません。", kNoData[] = "WAVEファイルにデータ チャンクがありません。",
           kUnreadable[] = "形式チャンクを読み取れません。";

// `bytes` with the little-endian field of `width` bytes at `offset` set to `value`.
std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t offset, uint32_t value, size_t width = 4)
{
    for (size_t i = 0; i < width; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
    return bytes;
}

std::vector<uint8_t> WithData(const std::vector<uint8_t>& fmt) { return RiffFile({{"fmt ", fmt}, {"data", Filler(400)}}); }

// `call` with the message boxes it showed kept in CapturedBoxes().
int Captured(int (*call)())
{
    BeginBoxCapture();
    const int result = call();
    EndBoxCapture();
    return result;
}

int Open(const std::string& path)
{
    lstrcpynA(g.fileName, path.c_str(), kPathBufferSize);
    return Captured(OpenWaveFile);
}

// The text of the one box shown, when it is a warning owned by the main window.
std::string OnlyWarning()
{
    const std::vector<CapturedBox>& boxes = CapturedBoxes();
    return boxes.size() == 1 && boxes[0].warningIcon && boxes[0].owner == app.mainWindow ? boxes[0].text : "(not one warning)";
}

// The real main window owns the boxes and takes the status lines; the time resolution is set
// back to its default whatever an earlier run left in the settings file.
class WavReader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenMainWindow()); state.sourceKind = kSourceFile; state.timeResolution = 2048; }
    void TearDown() override { CloseMainWindow(); }
};

TEST_F(WavReader, GoodFilesOpenAtTheirFirstSampleByteWithTheirBlockSize)
{
    const struct { const char* name; std::vector<uint8_t> bytes; int32_t onMemory; uint32_t blockSize; long dataOffset; } files[] = {
        {"canonical", PcmFile(2, 44100, 16, Filler(3000)), 0, 32768, 44},
        {"LIST before, fact between", RiffFile({{"LIST", Filler(26)}, {"fmt ", FmtBody(1, 1, 22050, 8)},
                                                {"fact", Filler(4)}, {"data", Filler(64)}}), 0, 4096, 90},
        {"18-byte fmt, odd LIST and its pad", RiffFile({{"fact", Filler(4)}, {"fmt ", FmtBody(1, 2, 22050, 16, true)},
                                                        {"LIST", Filler(7)}, {"junk", Filler(10)}, {"data", Filler(64)}}), 0, 16384, 92},
        // 864000 bytes/s: the division by 11025 truncates before the multiplication.
        {"24-bit, six channels", WithData(FmtBody(1, 6, 48000, 24)), 0, 159744, 44},
        {"no average rate", WithData(Patched(kFmt, 8, 0)), 0, 0, 44},
        {"cut to the memory size", PcmFile(2, 44100, 16, Filler(kMegabyte + kMegabyte / 2)), 1, kMegabyte, 44},
    };
    state.memorySizeMB = 1;
    for (const auto& c : files) {                        // data is the last chunk: from its offset to the end
        SCOPED_TRACE(c.name);
        state.onMemoryOption = c.onMemory;
        EXPECT_EQ(1, Open(WriteTempFile("good.wav", c.bytes)));
        ASSERT_TRUE(CapturedBoxes().empty() && state.file && app.waveOut);
        const uint32_t data = uint32_t(c.bytes.size() - c.dataOffset);
        EXPECT_EQ(std::make_tuple(c.dataOffset, c.onMemory ? kOnMemoryMode : kStreamingMode, c.blockSize, data, data),
                  std::make_tuple(mmioSeek(state.file, 0, SEEK_CUR), state.bufferingMode, run.blockSize,
                                  run.totalDataBytes, run.remainingBytes));
        CloseSource();
    }
}

TEST_F(WavReader, EveryRefusalShowsItsWarningAndLeavesNothingOpen)
{
    const std::vector<uint8_t> good = PcmFile(2, 44100, 16, Filler(400));
    const struct { std::string name; std::vector<uint8_t> bytes; const char* message; } cases[] = {  // no bytes: open `name`
        {"", {}, "ファイル名が未入力。"},
        {TempDirectory() + "absent.wav", {}, "ファイルを開けません。"},
        {"AVI form", RiffFile({{"fmt ", kFmt}}, -1, "AVI "), kNotWave},
        {"no fmt", RiffFile({{"LIST", Filler(12)}, {"data", Filler(400)}}), "WAVEファイルが壊れています。"},
        // Sizes whose end wraps past 4 GB back onto the chunk itself: each search gives up, not loops.
        {"AVI form, size -8", Patched(RiffFile({{"fmt ", kFmt}}, -1, "AVI "), 4, 0xFFFFFFF8), kNotWave},
        {"data first, size -8", Patched(RiffFile({{"data", Filler(8)}, {"fmt ", kFmt}}), 16, 0xFFFFFFF8),
         "WAVEファイルが壊れています。"},
        {"fact after fmt, size -8", Patched(RiffFile({{"fmt ", kFmt}, {"fact", Filler(4)}, {"data", Filler(8)}}), 40, 0xFFFFFFF8),
         kNoData},
        {"zero fmt", WithData({}), "メモリのロックに失敗しました。"},
        {"14-byte fmt", WithData({good.begin() + 20, good.begin() + 34}), kUnreadable},
        {"huge fmt", RiffFile({{"fmt ", kFmt, 70000}}), kUnreadable},
        {"cut in fmt", {good.begin(), good.begin() + 30}, kUnreadable},
        {"ADPCM", WithData(Patched(kFmt, 0, 2, 2)), "指定したファイルは、PCMファイルではありません。"},
        {"no channels", WithData(Patched(kFmt, 2, 0, 2)), "サウンドドライバは、この形式を再生できません。"},
        {"data first", RiffFile({{"data", Filler(400)}, {"fmt ", kFmt}}), kNoData},
        {"data past the RIFF end", RiffFile({{"fmt ", kFmt}, {"data", Filler(8)}}, 28), kNoData},
        {"empty data", PcmFile(2, 44100, 16, {}), "データ チャンクが空です。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(0, Open(c.bytes.empty() ? c.name : WriteTempFile("refused.wav", c.bytes)));
        EXPECT_EQ(c.message, OnlyWarning());
        EXPECT_TRUE(!state.file && !app.waveOut);
    }
}

// No 32-bit process gets 4000 MB in one block: the refusal takes the open file with it.
TEST_F(WavReader, BlockBufferBeyondMemoryIsRefusedAndClosesTheFile)
{
    ASSERT_EQ(1, Open(WriteTempFile("held.wav", PcmFile(1, 11025, 8, Filler(100)))));
    run.blockSize = 4000u * kMegabyte;
    EXPECT_EQ(0, Captured(AllocBlockBuffers));
    EXPECT_EQ("メモリ不足です。", OnlyWarning());
    EXPECT_TRUE(!state.file && !state.blockHandle[0]);
}

// ---- Header decisions on plain inputs ----

TEST(WavHeaderRules, FormatLimitsBufferingModeBlockSizeAndTotalLine)
{
    EXPECT_EQ(kFormatAccepted, CheckFormatChunk(FmtBody(1, 1, kMaxPlayableRate, 12).data(), 16, 16));
    // Headers a lenient device query would take: too high a rate, no block align (no channels: above).
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(FmtBody(1, 1, kMaxPlayableRate + 1, 8).data(), 16, 16));
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(Patched(FmtBody(1, 2, 44100, 16), 12, 0, 2).data(), 16, 16));
    // 32768 channels of 16 bits: a frame of 65536 bytes, more than the block align can say.
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(Patched(FmtBody(1, 2, 44100, 16), 2, 32768, 2).data(), 16, 16));
    EXPECT_EQ(kFormatAccepted, CheckFormatChunk(FmtBody(1, 32768, 22050, 8).data(), 16, 16));
    EXPECT_EQ(kFormatAccepted, CheckFormatChunkSize(kMaxFormatChunkSize));
    EXPECT_EQ(kFormatUnreadable, CheckFormatChunkSize(kMaxFormatChunkSize + 1));
    EXPECT_EQ(kOnMemoryMode, ChooseBufferingMode(0, kDisketteCapacity));
    EXPECT_EQ(kStreamingMode, ChooseBufferingMode(0, kDisketteCapacity + 1));
    // A disk whose size wraps to a diskette-sized number in 32 bits is still large.
    EXPECT_EQ(kStreamingMode, ChooseBufferingMode(0, 0x100000000ull + 1000));
    // A product beyond 32 bits is capped, never wrapped to a small block.
    EXPECT_EQ(0xFFFFFFFFu, BlockSizeFor(kStreamingMode, 0xFFFFFFFFu, 1 << 20, 15, 99));
    char line[64];
    FormatTotalLine(line, sizeof line, 10584000, 176400);
    EXPECT_STREQ("Total:  10335 kb     60 sec", line);
    FormatTotalLine(line, sizeof line, 300 * 1024 + 1023, 0);
    EXPECT_STREQ("Total:    300 kb      0 sec", line);
}

}  // namespace
