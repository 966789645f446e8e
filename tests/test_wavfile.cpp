// The WAV reader against generated files in the real main window: good files end open at their
// first sample byte with the right mode and block size, every refusal shows its exact warning and
// leaves nothing open, an impossible block buffer is refused; and the header decisions on plain
// inputs. Freeing a run's memory, and Start of a file with no streaming block, are proved by the
// playback tests, which run them for real.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "shell/globals.h"
#include "tests/support/main_window.h"
#include "tests/support/support.h"

namespace {

std::vector<uint8_t> Filler(size_t count) { return std::vector<uint8_t>(count, 0x5A); }

// The 44.1 kHz 16-bit stereo format chunk with `width` bytes at `offset` replaced by `value`.
std::vector<uint8_t> FmtWith(size_t offset, uint32_t value, size_t width = 2)
{
    std::vector<uint8_t> fmt = FmtBody(1, 2, 44100, 16);
    for (size_t i = 0; i < width; ++i) fmt[offset + i] = uint8_t(value >> (8 * i));
    return fmt;
}

std::vector<uint8_t> WithData(const std::vector<uint8_t>& fmt) { return RiffFile({{"fmt ", fmt}, {"data", Filler(400)}}); }

// `bytes` with the 32-bit size field at `offset` set to `size`.
std::vector<uint8_t> WithSize(std::vector<uint8_t> bytes, size_t offset, uint32_t size)
{
    for (size_t i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(size >> (8 * i));
    return bytes;
}

// OpenWaveFile on `path`; the boxes it showed stay in CapturedBoxes().
int Open(const std::string& path)
{
    lstrcpynA(g.fileName, path.c_str(), kPathBufferSize);
    BeginBoxCapture();
    const int result = OpenWaveFile();
    EndBoxCapture();
    return result;
}

// The text of the one box shown, when it is a warning owned by the main window.
std::string OnlyWarning()
{
    const std::vector<CapturedBox>& boxes = CapturedBoxes();
    if (boxes.size() != 1 || !boxes[0].warningIcon || boxes[0].owner != app.mainWindow) return "(not one warning)";
    return boxes[0].text;
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
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int32_t onMemoryOption, memorySizeMB;
        uint32_t blockSize;
        long dataOffset;            // data is the last chunk: it runs from here to the end
    } files[] = {
        {"canonical", PcmFile(2, 44100, 16, Filler(3000)), 0, 15, 32768, 44},
        {"LIST before, fact between", RiffFile({{"LIST", Filler(26)}, {"fmt ", FmtBody(1, 1, 22050, 8)},
                                                {"fact", Filler(4)}, {"data", Filler(64)}}), 0, 15, 4096, 90},
        {"18-byte fmt, odd LIST and its pad", RiffFile({{"fact", Filler(4)}, {"fmt ", FmtBody(1, 2, 22050, 16, true)},
                                                        {"LIST", Filler(7)}, {"junk", Filler(10)}, {"data", Filler(64)}}),
         0, 15, 16384, 92},
        // 864000 bytes/s: the division by 11025 truncates before the multiplication.
        {"24-bit, six channels", WithData(FmtBody(1, 6, 48000, 24)), 0, 15, 159744, 44},
        {"no average rate", WithData(FmtWith(8, 0, 4)), 0, 15, 0, 44},
        // 8000 bytes/s gives no streaming block at all; the file plays from memory.
        {"8 kHz", PcmFile(1, 8000, 8, Filler(8000)), 0, 15, 0, 44},
        {"8 kHz on memory", PcmFile(1, 8000, 8, Filler(8000)), 1, 15, 8000, 44},
        {"cut to the memory size", PcmFile(2, 44100, 16, Filler(kMegabyte + kMegabyte / 2)), 1, 1, kMegabyte, 44},
    };
    for (const auto& c : files) {
        SCOPED_TRACE(c.name);
        state.onMemoryOption = c.onMemoryOption;
        state.memorySizeMB = c.memorySizeMB;
        EXPECT_EQ(1, Open(WriteTempFile("good.wav", c.bytes)));
        EXPECT_TRUE(CapturedBoxes().empty());
        ASSERT_NE(nullptr, state.file);
        EXPECT_NE(nullptr, app.waveOut);
        EXPECT_EQ(c.dataOffset, mmioSeek(state.file, 0, SEEK_CUR));
        EXPECT_EQ(c.onMemoryOption ? kOnMemoryMode : kStreamingMode, state.bufferingMode);
        EXPECT_EQ(c.blockSize, run.blockSize);
        EXPECT_EQ(c.bytes.size() - c.dataOffset, run.totalDataBytes);
        EXPECT_EQ(c.bytes.size() - c.dataOffset, run.remainingBytes);
        CloseSource();
        EXPECT_EQ(nullptr, state.file);
        EXPECT_EQ(nullptr, app.waveOut);
    }
}

TEST_F(WavReader, EveryRefusalShowsItsWarningAndLeavesNothingOpen)
{
    const std::vector<uint8_t> good = PcmFile(2, 44100, 16, Filler(400));
    const struct {
        std::string name;
        std::vector<uint8_t> bytes; // empty: `name` itself is the path opened
        const char* message;
    } cases[] = {
        {"", {}, "ファイル名が未入力。"},
        {TempDirectory() + "absent.wav", {}, "ファイルを開けません。"},
        {"AVI form", RiffFile({{"fmt ", FmtBody(1, 2, 44100, 16)}}, -1, "AVI "), "指定したファイルは、WAVEファイルではありません。"},
        {"no fmt", RiffFile({{"LIST", Filler(12)}, {"data", Filler(400)}}), "WAVEファイルが壊れています。"},
        // Sizes whose end wraps past 4 GB back onto the chunk itself: each search gives up, not loops.
        {"AVI form, size -8", WithSize(RiffFile({{"fmt ", FmtBody(1, 2, 44100, 16)}}, -1, "AVI "), 4, 0xFFFFFFF8),
         "指定したファイルは、WAVEファイルではありません。"},
        {"data first, size -8", WithSize(RiffFile({{"data", Filler(8)}, {"fmt ", FmtBody(1, 2, 44100, 16)}}), 16, 0xFFFFFFF8),
         "WAVEファイルが壊れています。"},
        {"fact after fmt, size -8", WithSize(RiffFile({{"fmt ", FmtBody(1, 2, 44100, 16)}, {"fact", Filler(4)}, {"data", Filler(8)}}), 40, 0xFFFFFFF8),
         "WAVEファイルにデータ チャンクがありません。"},
        {"zero fmt", WithData({}), "メモリのロックに失敗しました。"},
        {"14-byte fmt", WithData({good.begin() + 20, good.begin() + 34}), "形式チャンクを読み取れません。"},
        {"huge fmt", RiffFile({{"fmt ", FmtBody(1, 2, 44100, 16), 70000}}), "形式チャンクを読み取れません。"},
        {"cut in fmt", {good.begin(), good.begin() + 30}, "形式チャンクを読み取れません。"},
        {"ADPCM", WithData(FmtWith(0, 2)), "指定したファイルは、PCMファイルではありません。"},
        {"no channels", WithData(FmtWith(2, 0)), "サウンドドライバは、この形式を再生できません。"},
        {"data first", RiffFile({{"data", Filler(400)}, {"fmt ", FmtBody(1, 2, 44100, 16)}}),
         "WAVEファイルにデータ チャンクがありません。"},
        {"data past the RIFF end", RiffFile({{"fmt ", FmtBody(1, 2, 44100, 16)}, {"data", Filler(8)}}, 28),
         "WAVEファイルにデータ チャンクがありません。"},
        {"empty data", PcmFile(2, 44100, 16, {}), "データ チャンクが空です。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(0, Open(c.bytes.empty() ? c.name : WriteTempFile("refused.wav", c.bytes)));
        EXPECT_EQ(c.message, OnlyWarning());
        EXPECT_EQ(nullptr, state.file);
        EXPECT_EQ(nullptr, app.waveOut);
    }
}

// No 32-bit process gets 4000 MB in one block: the refusal takes the open file with it.
TEST_F(WavReader, BlockBufferBeyondMemoryIsRefusedAndClosesTheFile)
{
    ASSERT_EQ(1, Open(WriteTempFile("held.wav", PcmFile(1, 11025, 8, Filler(100)))));
    run.blockSize = 4000u * kMegabyte;
    BeginBoxCapture();
    EXPECT_EQ(0, AllocBlockBuffers());
    EndBoxCapture();
    EXPECT_EQ("メモリ不足です。", OnlyWarning());
    EXPECT_EQ(nullptr, state.file);
    EXPECT_EQ(nullptr, state.blockHandle[0]);
}

// ---- Header decisions on plain inputs ----

TEST(WavHeaderRules, FormatChunkLimits)
{
    EXPECT_EQ(kFormatAccepted, CheckFormatChunk(FmtBody(1, 1, kMaxPlayableRate, 12).data(), 16, 16));
    // Headers a lenient device query would take: too high a rate, no channels, no block align.
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(FmtBody(1, 1, kMaxPlayableRate + 1, 8).data(), 16, 16));
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(FmtWith(2, 0).data(), 16, 16));
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(FmtWith(12, 0).data(), 16, 16));
    // 32768 channels of 16 bits: a frame of 65536 bytes, more than the block align can say.
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(FmtWith(2, 32768).data(), 16, 16));
    EXPECT_EQ(kFormatAccepted, CheckFormatChunk(FmtBody(1, 32768, 22050, 8).data(), 16, 16));
    EXPECT_EQ(kFormatAccepted, CheckFormatChunkSize(kMaxFormatChunkSize));
    EXPECT_EQ(kFormatUnreadable, CheckFormatChunkSize(kMaxFormatChunkSize + 1));
}

TEST(WavHeaderRules, BufferingModeBlockSizeAndTotalLine)
{
    EXPECT_EQ(kOnMemoryMode, ChooseBufferingMode(0, kDisketteCapacity));
    EXPECT_EQ(kStreamingMode, ChooseBufferingMode(0, kDisketteCapacity + 1));
    // A disk whose size wraps to a diskette-sized number in 32 bits is still large.
    EXPECT_EQ(kStreamingMode, ChooseBufferingMode(0, 0x100000000ull + 1000));
    EXPECT_EQ(8192u, BlockSizeFor(kStreamingMode, 176400, 512, 15, 99));
    // A product beyond 32 bits is capped, never wrapped to a small block.
    EXPECT_EQ(0xFFFFFFFFu, BlockSizeFor(kStreamingMode, 0xFFFFFFFFu, 1 << 20, 15, 99));
    char line[64];
    FormatTotalLine(line, sizeof line, 10584000, 176400);
    EXPECT_STREQ("Total:  10335 kb     60 sec", line);
    FormatTotalLine(line, sizeof line, 300 * 1024 + 1023, 0);
    EXPECT_STREQ("Total:    300 kb      0 sec", line);
}

}  // namespace
