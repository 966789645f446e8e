// The WAV reader against generated files: good files end open at their first sample byte with
// the right mode and block size, every refusal shows its exact warning and leaves nothing open,
// and the run memory is allocated, named in the run record and released.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "shell/globals.h"
#include "tests/support/support.h"

namespace {

void Patch16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value)
{
    bytes[offset] = uint8_t(value);
    bytes[offset + 1] = uint8_t(value >> 8);
}

std::vector<uint8_t> Repeat(size_t count, uint8_t first)
{
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(first + i * 7);
    return bytes;
}

// Offset of the first sample byte: just past the header of the first "data" chunk after "fmt ".
long DataOffset(const std::vector<uint8_t>& file)
{
    const char fmt[] = "fmt ", data[] = "data";
    auto at = std::search(file.begin(), file.end(), fmt, fmt + 4);
    at = std::search(at, file.end(), data, data + 4);
    return at == file.end() ? -1 : long(at - file.begin()) + 8;
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// A plain window standing in for the main window: it owns the message boxes, takes the status
// lines and receives the device's notifications.
HWND CreatePlainWindow()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = PlainWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ReaderTestWindow";
        registered = RegisterClassA(&windowClass) != 0;
    }
    return CreateWindowExA(0, "ReaderTestWindow", "", WS_POPUP, 0, 0, 640, 400, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

void MeasureLayoutUnits()
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    g.charWidth = metrics.tmAveCharWidth;
    g.lineHeight = metrics.tmAscent / 2;
}

struct OpenOutcome {
    int result = -1;
    std::vector<CapturedBox> boxes;
};

class WavReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGlobals();
        g.platformVersion = 0x0601;
        MeasureLayoutUnits();
        state.sourceKind = kSourceFile;
        window = CreatePlainWindow();
        ASSERT_NE(nullptr, window);
        app.mainWindow = window;
    }
    void TearDown() override
    {
        CloseSource();
        DestroyWindow(window);
        app.mainWindow = nullptr;
    }

    OpenOutcome Open(const std::string& path)
    {
        lstrcpynA(g.fileName, path.c_str(), kPathBufferSize);
        OpenOutcome outcome;
        BeginBoxCapture();
        outcome.result = OpenWaveFile();
        outcome.boxes = EndBoxCapture();
        return outcome;
    }
    OpenOutcome OpenBytes(const char* name, const std::vector<uint8_t>& bytes)
    {
        return Open(WriteTempFile(name, bytes));
    }

    void ExpectOpenAt(const OpenOutcome& outcome, long dataOffset)
    {
        EXPECT_EQ(1, outcome.result);
        EXPECT_TRUE(outcome.boxes.empty()) << outcome.boxes[0].text;
        ASSERT_NE(nullptr, state.file);
        EXPECT_NE(nullptr, app.waveOut);
        EXPECT_EQ(dataOffset, mmioSeek(state.file, 0, SEEK_CUR));
    }

    HWND window = nullptr;
};

void ExpectRefused(const OpenOutcome& outcome, const char* message)
{
    EXPECT_EQ(0, outcome.result);
    ASSERT_EQ(1u, outcome.boxes.size());
    EXPECT_EQ(message, outcome.boxes[0].text);
    EXPECT_TRUE(outcome.boxes[0].warningIcon);
    EXPECT_EQ(app.mainWindow, outcome.boxes[0].owner);
    EXPECT_EQ(nullptr, state.file);
    EXPECT_EQ(nullptr, app.waveOut);
}

// ---- Good files ----

struct CanonicalCase {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    int32_t timeResolution;
    uint32_t expectedBlock;
};

TEST_F(WavReader, CanonicalFilesOpenAtTheirFirstSampleByteWithTheStreamingBlock)
{
    const CanonicalCase cases[] = {
        {2, 44100, 16, 2048, 32768}, {1, 22050, 8, 2048, 4096}, {1, 44100, 16, 512, 4096},
        {2, 11025, 8, 8192, 16384}, {2, 22050, 16, 1024, 8192},
    };
    for (const CanonicalCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.rate << " Hz " << c.bits << " bit");
        state.timeResolution = c.timeResolution;
        const std::vector<uint8_t> data = Repeat(3000, 11);
        const std::vector<uint8_t> file = PcmFile(c.channels, c.rate, c.bits, data);
        ExpectOpenAt(OpenBytes("canonical.wav", file), 44);
        EXPECT_EQ(kStreamingMode, state.bufferingMode);
        EXPECT_EQ(c.expectedBlock, run.blockSize);
        EXPECT_EQ(data.size(), run.totalDataBytes);
        EXPECT_EQ(data.size(), run.remainingBytes);
        uint8_t first[4] = {};
        EXPECT_EQ(4, mmioRead(state.file, reinterpret_cast<HPSTR>(first), 4));
        EXPECT_EQ(0, std::memcmp(first, data.data(), 4));
        CloseSource();
        EXPECT_EQ(nullptr, state.file);
        EXPECT_EQ(nullptr, app.waveOut);
    }
}

TEST_F(WavReader, SkipsOtherChunksBeforeAndBetweenFormatAndData)
{
    const std::vector<uint8_t> odd = Repeat(7, 40);       // odd size: a pad byte follows
    const std::vector<std::vector<uint8_t>> files = {
        RiffFile({{"LIST", Repeat(26, 1)}, {"fmt ", FmtBody(1, 2, 44100, 16)}, {"data", Repeat(64, 5)}}),
        RiffFile({{"fmt ", FmtBody(1, 2, 44100, 16)}, {"fact", {4, 0, 0, 0}}, {"data", Repeat(64, 5)}}),
        RiffFile({{"fact", {4, 0, 0, 0}}, {"fmt ", FmtBody(1, 1, 8000, 8, true)}, {"LIST", odd},
                  {"junk", Repeat(10, 2)}, {"data", Repeat(64, 5)}}),
    };
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "file " << i);
        ExpectOpenAt(OpenBytes("chunks.wav", files[i]), DataOffset(files[i]));
        EXPECT_EQ(64u, run.totalDataBytes);
        CloseSource();
    }
}

TEST_F(WavReader, OnMemoryModeTakesTheWholeDataUpToTheMemorySize)
{
    state.onMemoryOption = 1;
    ExpectOpenAt(OpenBytes("small.wav", PcmFile(2, 44100, 16, Repeat(5000, 9))), 44);
    EXPECT_EQ(kOnMemoryMode, state.bufferingMode);
    EXPECT_EQ(5000u, run.blockSize);
    CloseSource();

    // A data chunk beyond the memory size is cut to it; the total still counts the whole chunk.
    state.memorySizeMB = 1;
    const uint32_t big = kMegabyte + kMegabyte / 2;
    ExpectOpenAt(OpenBytes("big.wav", PcmFile(2, 44100, 16, Repeat(big, 9))), 44);
    EXPECT_EQ(kOnMemoryMode, state.bufferingMode);
    EXPECT_EQ(kMegabyte, run.blockSize);
    EXPECT_EQ(big, run.totalDataBytes);
}

TEST_F(WavReader, EightKilohertzMonoHasNoStreamingBlockButPlaysFromMemory)
{
    const std::string path = WriteTempFile("8k.wav", PcmFile(1, 8000, 8, Repeat(8000, 0)));
    ExpectOpenAt(Open(path), 44);
    EXPECT_EQ(kStreamingMode, state.bufferingMode);
    EXPECT_EQ(0u, run.blockSize);

    // Start then fails to lock a block of size 0, and takes the file down with it.
    BeginBoxCapture();
    EXPECT_EQ(0, AllocBlockBuffers());
    std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("データ チャンクのロックに失敗しました。", boxes[0].text);
    EXPECT_TRUE(boxes[0].warningIcon);
    EXPECT_EQ(nullptr, state.file);
    EXPECT_EQ(nullptr, state.blockHandle[0]);
    EXPECT_EQ(nullptr, app.block[0]);
    CloseSource();

    state.onMemoryOption = 1;
    ExpectOpenAt(Open(path), 44);
    EXPECT_EQ(8000u, run.blockSize);
    ASSERT_EQ(1, AllocBlockBuffers());
    EXPECT_NE(nullptr, app.block[0]);
    EXPECT_EQ(nullptr, state.blockHandle[1]);
    HGLOBAL recordHandle = nullptr;
    RunRecord* record = nullptr;
    ASSERT_EQ(1, AllocRunRecord(&recordHandle, &record));
    FreeRunRecord(record);
}

TEST_F(WavReader, UnusualButPossibleFormatsOpenWhenTheDeviceTakesThem)
{
    // 24-bit samples and six channels: the analysis skips them, but the file plays.
    std::vector<uint8_t> fmt = FmtBody(1, 6, 48000, 24);
    ExpectOpenAt(OpenBytes("six.wav", RiffFile({{"fmt ", fmt}, {"data", Repeat(180, 1)}})), 44);
    CloseSource();
    // The highest rate a driver is asked about.
    fmt = FmtBody(1, 1, kMaxPlayableRate, 16);
    ExpectOpenAt(OpenBytes("fast.wav", RiffFile({{"fmt ", fmt}, {"data", Repeat(180, 1)}})), 44);
}

// An average of 0 bytes per second must not fault the "Total:" line: it shows 0 seconds.
TEST_F(WavReader, FileWithoutAverageRateOpensAndShowsZeroSeconds)
{
    std::vector<uint8_t> fmt = FmtBody(1, 1, 22050, 16);
    fmt[8] = fmt[9] = fmt[10] = fmt[11] = 0;
    ExpectOpenAt(OpenBytes("norate.wav", RiffFile({{"fmt ", fmt}, {"data", Repeat(2048, 0)}})), 44);
    EXPECT_EQ(0u, run.blockSize);
    char line[64];
    FormatTotalLine(line, sizeof line, 300 * 1024 + 1023, 0);
    EXPECT_STREQ("Total:    300 kb      0 sec", line);
    FormatTotalLine(line, sizeof line, 10584000, 176400);
    EXPECT_STREQ("Total:  10335 kb     60 sec", line);
}

// ---- Refusals ----

struct RefusalCase {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
};

std::vector<uint8_t> FmtWith(size_t offset, uint16_t value)
{
    std::vector<uint8_t> fmt = FmtBody(1, 2, 44100, 16);
    Patch16(fmt, offset, value);
    return fmt;
}

std::vector<RefusalCase> RefusalCases()
{
    const std::vector<uint8_t> data = Repeat(400, 1);
    const std::vector<uint8_t> good = PcmFile(2, 44100, 16, data);
    WavChunk hugeFmt{"fmt ", FmtBody(1, 2, 44100, 16), 70000};
    return {
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'a', 'v', 'e', '\n'},
         "指定したファイルは、WAVEファイルではありません。"},
        {"avi", RiffFile({{"fmt ", FmtBody(1, 2, 44100, 16)}, {"data", data}}, -1, "AVI "),
         "指定したファイルは、WAVEファイルではありません。"},
        {"no fmt", RiffFile({{"LIST", Repeat(12, 0)}, {"data", data}}), "WAVEファイルが壊れています。"},
        {"zero fmt", RiffFile({{"fmt ", {}}, {"data", data}}), "メモリのロックに失敗しました。"},
        {"short fmt", RiffFile({{"fmt ", std::vector<uint8_t>(good.begin() + 20, good.begin() + 34)}, {"data", data}}),
         "形式チャンクを読み取れません。"},
        {"huge fmt", RiffFile({hugeFmt, {"data", data}}), "形式チャンクを読み取れません。"},
        {"cut in fmt", std::vector<uint8_t>(good.begin(), good.begin() + 30), "形式チャンクを読み取れません。"},
        {"adpcm", RiffFile({{"fmt ", FmtWith(0, 2)}, {"data", data}}),
         "指定したファイルは、PCMファイルではありません。"},
        {"tag 0x8001", RiffFile({{"fmt ", FmtWith(0, 0x8001)}, {"data", data}}),
         "指定したファイルは、PCMファイルではありません。"},
        {"0 channels", RiffFile({{"fmt ", FmtWith(2, 0)}, {"data", data}}),
         "サウンドドライバは、この形式を再生できません。"},
        {"0 block align", RiffFile({{"fmt ", FmtWith(12, 0)}, {"data", data}}),
         "サウンドドライバは、この形式を再生できません。"},
        {"0 bits", RiffFile({{"fmt ", FmtWith(14, 0)}, {"data", data}}),
         "サウンドドライバは、この形式を再生できません。"},
        {"400 kHz", RiffFile({{"fmt ", FmtBody(1, 1, 400000, 16)}, {"data", data}}),
         "サウンドドライバは、この形式を再生できません。"},
        {"data first", RiffFile({{"data", data}, {"fmt ", FmtBody(1, 2, 44100, 16)}}),
         "WAVEファイルにデータ チャンクがありません。"},
        {"cut after fmt", std::vector<uint8_t>(good.begin(), good.begin() + 40),
         "WAVEファイルにデータ チャンクがありません。"},
        {"empty data", PcmFile(2, 44100, 16, {}), "データ チャンクが空です。"},
    };
}

TEST_F(WavReader, EveryRefusalShowsItsWarningAndLeavesNothingOpen)
{
    for (const RefusalCase& c : RefusalCases()) {
        SCOPED_TRACE(c.name);
        ExpectRefused(OpenBytes("refused.wav", c.bytes), c.message);
    }
}

TEST_F(WavReader, RefusesAnEmptyOrMissingFileName)
{
    ExpectRefused(Open(""), "ファイル名が未入力。");
    ExpectRefused(Open(TempDirectory() + "no such file.wav"), "ファイルを開けません。");
}

// ---- Header decisions on plain inputs ----

TEST(WavHeaderRules, FormatChunkLimits)
{
    const std::vector<uint8_t> pcm = FmtBody(1, 2, 44100, 16, true);
    EXPECT_EQ(kFormatAccepted, CheckFormatChunk(pcm.data(), 18, 18));
    EXPECT_EQ(kFormatUnreadable, CheckFormatChunk(pcm.data(), 18, 17));
    EXPECT_EQ(kFormatAccepted, CheckFormatChunkSize(kMaxFormatChunkSize));
    EXPECT_EQ(kFormatUnreadable, CheckFormatChunkSize(kMaxFormatChunkSize + 1));
    EXPECT_EQ(kFormatUnreadable, CheckFormatChunkSize(0xFFFFFFFFu));
    // A 12-bit header and a rate just above the limit.
    EXPECT_EQ(kFormatAccepted, CheckFormatChunk(FmtBody(1, 2, 22050, 12).data(), 16, 16));
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(FmtBody(1, 1, kMaxPlayableRate + 1, 8).data(), 16, 16));
    EXPECT_EQ(kFormatUnplayable, CheckFormatChunk(FmtBody(1, 1, 0, 8).data(), 16, 16));
}

TEST(WavHeaderRules, BufferingModeAndBlockSize)
{
    EXPECT_EQ(kOnMemoryMode, ChooseBufferingMode(0, kDisketteCapacity));
    EXPECT_EQ(kStreamingMode, ChooseBufferingMode(0, kDisketteCapacity + 1));
    EXPECT_EQ(kOnMemoryMode, ChooseBufferingMode(1, 500000000000ull));
    // A disk whose size wraps to a diskette-sized number in 32 bits is still large.
    EXPECT_EQ(kStreamingMode, ChooseBufferingMode(0, 0x100000000ull + 1000));

    EXPECT_EQ(32768u, BlockSizeFor(kStreamingMode, 176400, 2048, 15, 99));
    EXPECT_EQ(0u, BlockSizeFor(kStreamingMode, 8000, 2048, 15, 99));
    EXPECT_EQ(999u, BlockSizeFor(kOnMemoryMode, 176400, 2048, 15, 999));
    EXPECT_EQ(15u * kMegabyte, BlockSizeFor(kOnMemoryMode, 176400, 2048, 15, 0xFFFFFFFFu));
    // A product beyond 32 bits is capped, never wrapped to a small block.
    EXPECT_EQ(0xFFFFFFFFu, BlockSizeFor(kStreamingMode, 0xFFFFFFFFu, 1 << 20, 15, 99));
}

TEST(WavHeaderRules, FormatTagNamesReadTheTagAsSigned16Bits)
{
    EXPECT_STREQ("FM-TOWNS SND", FormatTagName(768));
    EXPECT_STREQ("unknown", FormatTagName(3));
    EXPECT_STREQ("unknown", FormatTagName(0x8001));
    EXPECT_STREQ("PCM", FormatTagName(0x10001));
}

// ---- Run memory ----

class RunMemory : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGlobals();
        header = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, kWaveHeaderSize);
        run.headerHandle[0] = header;
    }
    void TearDown() override
    {
        CloseWaveFile();
        GlobalFree(header);
    }
    HGLOBAL header = nullptr;
};

UINT LockCount(HGLOBAL handle) { return GlobalFlags(handle) & GMEM_LOCKCOUNT; }

TEST_F(RunMemory, StreamingRunAllocatesTwoBlocksAndTheRecordFreesThemAll)
{
    state.bufferingMode = kStreamingMode;
    run.blockSize = 4096;
    ASSERT_EQ(1, AllocBlockBuffers());
    for (int slot = 0; slot < 2; ++slot) {
        ASSERT_NE(nullptr, app.block[slot]);
        EXPECT_EQ(1u, LockCount(state.blockHandle[slot]));
        EXPECT_GE(GlobalSize(state.blockHandle[slot]), 4096u);
        std::memset(app.block[slot], slot + 1, 4096);
    }
    EXPECT_EQ(1, app.block[0][4095]);
    EXPECT_EQ(2, app.block[1][0]);

    HGLOBAL recordHandle = nullptr;
    RunRecord* record = nullptr;
    ASSERT_EQ(1, AllocRunRecord(&recordHandle, &record));
    EXPECT_EQ(recordHandle, record->self);
    EXPECT_EQ(header, record->header0);
    EXPECT_EQ(state.blockHandle[0], record->block0);
    EXPECT_EQ(1u, LockCount(recordHandle));

    const HGLOBAL blocks[2] = {state.blockHandle[0], state.blockHandle[1]};
    FreeRunRecord(record);
    for (HGLOBAL freed : {blocks[0], blocks[1], recordHandle}) EXPECT_EQ(0u, GlobalSize(freed));
    EXPECT_EQ(nullptr, state.blockHandle[0]);
    EXPECT_EQ(nullptr, state.blockHandle[1]);
    EXPECT_EQ(nullptr, app.block[1]);
}

TEST_F(RunMemory, AFailedAllocationReleasesTheEarlierBufferAndClosesTheFile)
{
    const std::string path = WriteTempFile("held.wav", PcmFile(1, 11025, 8, Repeat(100, 0)));
    char name[kPathBufferSize];
    lstrcpynA(name, path.c_str(), sizeof name);
    state.file = mmioOpenA(name, nullptr, MMIO_READ);
    ASSERT_NE(nullptr, state.file);
    // No 32-bit process gets 4000 MB in one block.
    state.bufferingMode = kOnMemoryMode;
    state.memorySizeMB = 4000;
    run.totalDataBytes = 0xFFFFFF00u;
    ComputeBlockSize(nullptr);
    EXPECT_EQ(4000u * kMegabyte, run.blockSize);

    BeginBoxCapture();
    EXPECT_EQ(0, AllocBlockBuffers());
    std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("メモリ不足です。", boxes[0].text);
    EXPECT_TRUE(boxes[0].warningIcon);
    EXPECT_EQ(nullptr, state.file);
    EXPECT_EQ(nullptr, state.blockHandle[0]);
    EXPECT_EQ(nullptr, app.block[0]);
}

}  // namespace
