// Playback engine in the real main window with real wave output: the end of data, Stop in both
// buffering modes, Pause across runs, restarts, short data chunks and failed starts.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"
#include "tests/support/support.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// 11025 Hz 8-bit mono at time resolution 512: one byte per sample, 512-byte blocks of 46 ms.
constexpr uint32_t kRate = 11025;
constexpr int32_t kTimeResolution = 512;
constexpr size_t kBlock = 512;
constexpr DWORD kRunBound = 15000;

std::vector<uint8_t> Pattern(size_t count)
{
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(128 + int(i * 7 % 61) - 30);
    return bytes;
}

std::vector<uint8_t> MonoFile(const std::vector<uint8_t>& data, uint32_t rate = kRate)
{
    return PcmFile(1, rate, 8, data);
}

bool MenuEnabled(int id) { return !(GetMenuState(g.menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)); }

std::string PauseLabel()
{
    char text[32] = {};
    GetWindowTextA(app.pauseButton, text, sizeof text);
    return text;
}

// The main window's client area as it is on the screen now.
struct WindowShot {
    MemoryCanvas canvas;
    WindowShot() { CaptureClient(app.mainWindow, canvas); }
    ~WindowShot() { DestroyCanvas(canvas); }
};

void Command(int id) { SendMessageA(app.mainWindow, WM_COMMAND, id, 0); }

// What a finished or stopped run leaves: nothing open, no run memory, the idle controls.
void ExpectIdle()
{
    EXPECT_EQ(state.running, 0);
    EXPECT_EQ(state.file, nullptr);
    EXPECT_EQ(app.waveOut, nullptr);
    EXPECT_EQ(state.blockHandle[0], nullptr);
    EXPECT_EQ(state.blockHandle[1], nullptr);
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    EXPECT_FALSE(IsWindowEnabled(app.stopButton));
    EXPECT_FALSE(IsWindowEnabled(app.pauseButton));
    EXPECT_TRUE(MenuEnabled(kCmdStart));
    EXPECT_TRUE(MenuEnabled(kCmdOpen));
    EXPECT_FALSE(MenuEnabled(kCmdStop));
    EXPECT_FALSE(MenuEnabled(kCmdPause));
}

std::vector<std::string> BoxTexts()
{
    std::vector<std::string> texts;
    for (const CapturedBox& box : CapturedBoxes()) texts.push_back(box.text);
    return texts;
}

// True when the level panel shows `text` as the on-memory notices are drawn: yellow, in a window
// DC's default font, at (39 columns, 2 rows + a quarter row) of the cleared black panel.
bool PanelShowsNotice(const MemoryCanvas& shot, const char* text, std::string* why)
{
    MemoryCanvas expected;
    if (!CreateCanvas(expected, 400, 40, 0)) return false;
    HGDIOBJ previous = SelectObject(expected.dc, GetStockObject(SYSTEM_FONT));
    SetTextColor(expected.dc, RGB(255, 255, 0));
    SetBkMode(expected.dc, TRANSPARENT);
    const int length = int(std::strlen(text));
    SIZE size = {};
    GetTextExtentPoint32A(expected.dc, text, length, &size);
    TextOutA(expected.dc, 0, 0, text, length);
    SelectObject(expected.dc, previous);
    const int x = Col(39), y = Row(2) + g.lineHeight / 4;
    bool same = true;
    for (int row = 0; row < size.cy && same; ++row)
        for (int column = 0; column < size.cx && same; ++column)
            if (PixelAt(expected, column, row) != PixelAt(shot, x + column, y + row)) {
                same = false;
                *why = "differs at (" + std::to_string(x + column) + ", " + std::to_string(y + row) + ")";
            }
    DestroyCanvas(expected);
    return same;
}

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BeginBoxCapture();
        ASSERT_TRUE(OpenMainWindow());
        state.timeResolution = kTimeResolution;
    }
    void TearDown() override
    {
        CloseMainWindow();
        EndBoxCapture();
    }
    // Makes the file the current source as Open does; true when it opened.
    bool Choose(const char* name, const std::vector<uint8_t>& file, bool onMemory = false)
    {
        const std::string path = WriteTempFile(name, file);
        if (path.empty() || path.size() >= sizeof g.fileName) return false;
        std::strcpy(g.fileName, path.c_str());
        state.onMemoryOption = onMemory ? 1 : 0;
        return SelectFileSource() == 1;
    }
    // Starts, keeps what Start queued, plays to the end; returns every byte that was queued.
    std::vector<uint8_t> PlayToEnd()
    {
        BeginDoneLog(true);
        StartPlayback();
        std::vector<uint8_t> queued = QueuedBytes(0);
        const std::vector<uint8_t> second = QueuedBytes(1);
        queued.insert(queued.end(), second.begin(), second.end());
        EXPECT_EQ(state.running, 1);
        EXPECT_TRUE(PumpUntilRunEnds(kRunBound)) << "the run did not end";
        for (const DoneRecord& done : DoneLog())
            queued.insert(queued.end(), done.queued.begin(), done.queued.end());
        return queued;
    }
};

TEST_F(PlaybackTest, OneBlockFileQueuesOneHeaderAndEndsAtTheFirstDoneMessage)
{
    const std::vector<uint8_t> data = Pattern(300);
    ASSERT_TRUE(Choose("one-block.wav", MonoFile(data)));
    BeginDoneLog(true);
    StartPlayback();
    ASSERT_EQ(state.running, 1);
    EXPECT_EQ(run.lastBlock, 1);
    EXPECT_TRUE(app.header[0]->dwFlags & WHDR_INQUEUE);
    EXPECT_FALSE(app.header[1]->dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(QueuedBytes(0), data);
    EXPECT_TRUE(IsWindowEnabled(app.stopButton));
    EXPECT_FALSE(IsWindowEnabled(app.playButton));

    ASSERT_TRUE(PumpUntilRunEnds(kRunBound));
    ASSERT_EQ(DoneLog().size(), 1u);
    EXPECT_FALSE(DoneLog()[0].requeued);
    ExpectIdle();
    EXPECT_TRUE(CapturedBoxes().empty());
}

TEST_F(PlaybackTest, TwoBlockFileEndsAtTheSecondDoneMessage)
{
    const std::vector<uint8_t> data = Pattern(2 * kBlock);
    ASSERT_TRUE(Choose("two-blocks.wav", MonoFile(data)));
    EXPECT_EQ(PlayToEnd(), data);
    ASSERT_EQ(DoneLog().size(), 2u);
    EXPECT_EQ(DoneLog()[0].slot, 0);
    EXPECT_EQ(DoneLog()[1].slot, 1);
    EXPECT_FALSE(DoneLog()[0].requeued);
    EXPECT_FALSE(DoneLog()[1].requeued);
    ExpectIdle();
}

TEST_F(PlaybackTest, LongerFilePlaysEveryBlockInOrderAndEndsIdleWithTheFileClosed)
{
    const std::vector<uint8_t> data = Pattern(7 * kBlock + kBlock / 2);
    ASSERT_TRUE(Choose("longer.wav", MonoFile(data)));
    EXPECT_EQ(PlayToEnd(), data);   // every byte queued once, in file order
    ASSERT_EQ(DoneLog().size(), 8u);
    for (size_t i = 0; i < DoneLog().size(); ++i) EXPECT_EQ(DoneLog()[i].slot, int(i % 2)) << "message " << i;
    // The last block is the half one: queued by the sixth message; the seventh finds no data.
    EXPECT_EQ(DoneLog()[5].queued.size(), kBlock / 2);
    EXPECT_FALSE(DoneLog()[6].requeued);
    EXPECT_EQ(run.remainingBytes, 0u);
    ExpectIdle();
    WindowShot shot;
    std::string why;
    EXPECT_TRUE(CanvasShowsText(shot.canvas, Col(9), Row(7), "Pos:        3 kb      0 sec", &why)) << why;
}

TEST_F(PlaybackTest, StartAfterAFinishedRunReopensTheFileAndPlaysItAgain)
{
    const std::vector<uint8_t> data = Pattern(3 * kBlock);
    ASSERT_TRUE(Choose("again.wav", MonoFile(data)));
    EXPECT_EQ(PlayToEnd(), data);
    ExpectIdle();
    EXPECT_EQ(PlayToEnd(), data);
    EXPECT_EQ(DoneLog().size(), 3u);
    ExpectIdle();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>());
}

TEST_F(PlaybackTest, StopWhileStreamingClosesEverythingAndIgnoresTheLateDoneMessages)
{
    ASSERT_TRUE(Choose("stop-streaming.wav", MonoFile(Pattern(40 * kBlock))));
    BeginDoneLog(false);
    StartPlayback();
    ASSERT_TRUE(PumpUntilDoneCount(2, kRunBound));
    const HGLOBAL blocks[2] = {state.blockHandle[0], state.blockHandle[1]};
    const HGLOBAL record = reinterpret_cast<RunRecord*>(app.header[0]->dwUser)->self;
    Command(kCmdStop);
    ExpectIdle();
    EXPECT_EQ(state.stopRequest, kStopRequested);
    for (int slot = 0; slot < 2; ++slot)
        EXPECT_FALSE(app.header[slot]->dwFlags & (WHDR_INQUEUE | WHDR_PREPARED)) << "header " << slot;
    for (HGLOBAL freed : {blocks[0], blocks[1], record}) EXPECT_EQ(GlobalFlags(freed), UINT(GMEM_INVALID_HANDLE));

    // The reset device hands both headers back; those messages must change nothing.
    const uint32_t remaining = run.remainingBytes;
    PumpUntilDoneCount(4, 1000);
    for (size_t i = 2; i < DoneLog().size(); ++i) EXPECT_FALSE(DoneLog()[i].requeued);
    EXPECT_EQ(run.remainingBytes, remaining);
    ExpectIdle();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>());
}

TEST_F(PlaybackTest, StopDuringOnMemoryPlaybackAnalysesTheWholeLoadedData)
{
    // Three seconds of a quiet tone whose last half second is at full scale: Stop comes long
    // before the loud part plays, yet the level bar must show it.
    std::vector<int> samples = Sine(4, 440, kRate, 3 * int(kRate));
    for (size_t i = samples.size() - kRate / 2; i < samples.size(); ++i) samples[i] = (i % 2) ? 127 : -128;
    ASSERT_TRUE(Choose("stop-on-memory.wav", MonoFile(Samples8(samples)), true));
    ASSERT_EQ(state.bufferingMode, kOnMemoryMode);
    BeginDoneLog(false);
    StartPlayback();
    ASSERT_EQ(state.running, 1);
    EXPECT_EQ(run.blockSize, samples.size());
    EXPECT_FALSE(app.header[1]->dwFlags & WHDR_INQUEUE);
    Command(kCmdStop);
    ExpectIdle();
    EXPECT_TRUE(DoneLog().empty());

    WindowShot shot;
    const int barTop = Row(2) + 1;
    const int lastSegment = Col(37) + (50 * g.charWidth) / 2 + 1;   // lights only at full scale
    EXPECT_EQ(PixelAt(shot.canvas, lastSegment, barTop), Rgb(255, 0, 0));
    PumpUntilDoneCount(1, 500);
    ExpectIdle();
}

TEST_F(PlaybackTest, OnMemoryRunEndsAfterItsOneBufferWithThePositionOfTheLoadedData)
{
    ASSERT_TRUE(Choose("on-memory.wav", MonoFile(Pattern(12000)), true));
    ASSERT_EQ(state.bufferingMode, kOnMemoryMode);
    PlayToEnd();
    ASSERT_EQ(DoneLog().size(), 1u);
    ExpectIdle();
    WindowShot shot;
    std::string why;
    EXPECT_TRUE(CanvasShowsText(shot.canvas, Col(9), Row(7), "Pos:       11 kb      1 sec", &why)) << why;
}

TEST_F(PlaybackTest, OnMemoryNoticeNamesTheChannelsAtStartAndAgainAfterContinue)
{
    const std::vector<uint8_t> data = Pattern(3 * kRate);
    const struct {
        const char* name;
        uint16_t channels;
        const char* notice;
    } cases[] = {{"notice-mono.wav", 1, "オンメモリ再生中(MONO)"}, {"notice-stereo.wav", 2, "オンメモリ再生中(STEREO)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.notice);
        ASSERT_TRUE(Choose(c.name, PcmFile(c.channels, kRate, 8, data), true));
        StartPlayback();
        ASSERT_EQ(state.running, 1);
        std::string why;
        {
            WindowShot shot;
            EXPECT_TRUE(PanelShowsNotice(shot.canvas, c.notice, &why)) << why;
        }
        Command(kCmdPause);
        HDC dc = GetDC(app.mainWindow);
        ClearLevelPanel(dc);
        ReleaseDC(app.mainWindow, dc);
        Command(kCmdPause);   // Continue
        EXPECT_EQ(state.paused, 0);
        {
            WindowShot shot;
            EXPECT_TRUE(PanelShowsNotice(shot.canvas, c.notice, &why)) << why;
        }
        Command(kCmdStop);
        ExpectIdle();
    }
}

TEST_F(PlaybackTest, ClosingTheWindowDuringARunReleasesTheDeviceTheFileAndTheRunMemory)
{
    ASSERT_TRUE(Choose("destroy.wav", MonoFile(Pattern(40 * kBlock))));
    BeginDoneLog(false);
    StartPlayback();
    ASSERT_TRUE(PumpUntilDoneCount(2, kRunBound));
    const HGLOBAL handles[3] = {state.blockHandle[0], state.blockHandle[1],
                                reinterpret_cast<RunRecord*>(app.header[0]->dwUser)->self};
    CloseMainWindow();
    EXPECT_EQ(app.waveOut, nullptr);
    EXPECT_EQ(state.file, nullptr);
    for (HGLOBAL freed : handles) EXPECT_EQ(GlobalFlags(freed), UINT(GMEM_INVALID_HANDLE));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>());
}

TEST_F(PlaybackTest, PauseThenStopThenStartBeginsAnUnpausedRun)
{
    ASSERT_TRUE(Choose("pause.wav", MonoFile(Pattern(20 * kBlock))));
    StartPlayback();
    ASSERT_EQ(state.running, 1);
    Command(kCmdPause);
    ASSERT_EQ(state.paused, 1);
    EXPECT_EQ(PauseLabel(), "Cont");
    Command(kCmdStop);
    ExpectIdle();

    BeginDoneLog(false);
    Command(kCmdStart);
    ASSERT_EQ(state.running, 1);
    EXPECT_EQ(state.paused, 0);
    EXPECT_EQ(PauseLabel(), "Pause");
    // A device left paused would never hand a block back.
    EXPECT_TRUE(PumpUntilDoneCount(2, kRunBound));
    Command(kCmdStop);
    ExpectIdle();
}

TEST_F(PlaybackTest, DataChunkClaimingMoreThanTheFileHoldsQueuesOnlyTheBytesRead)
{
    // The file ends inside the third block (a short read) or right after it (a read of nothing).
    for (size_t held : {2 * kBlock + kBlock / 2, 3 * kBlock}) {
        SCOPED_TRACE(held);
        const std::vector<uint8_t> data = Pattern(held);
        ASSERT_TRUE(Choose("truncated.wav", RiffFile({{"fmt ", FmtBody(1, 1, kRate, 8)},
                                                      {"data", data, int32_t(6 * kBlock)}})));
        EXPECT_EQ(PlayToEnd(), data);   // no stale buffer tail, nothing beyond the file
        ASSERT_EQ(DoneLog().size(), 3u);
        EXPECT_EQ(DoneLog()[0].queued.size(), held - 2 * kBlock);
        EXPECT_FALSE(DoneLog()[1].requeued);
        ExpectIdle();
    }
    EXPECT_EQ(BoxTexts(), std::vector<std::string>());
}

TEST_F(PlaybackTest, DataTooShortForTheFirstTwoBlocksIsRefusedAtEveryStart)
{
    const std::vector<uint8_t> data = Pattern(kBlock + 100);
    ASSERT_TRUE(Choose("short.wav", RiffFile({{"fmt ", FmtBody(1, 1, kRate, 8)}, {"data", data, int32_t(4 * kBlock)}})));
    for (int attempt = 0; attempt < 2; ++attempt) {
        BeginBoxCapture();
        StartPlayback();
        ASSERT_EQ(CapturedBoxes().size(), 1u) << "attempt " << attempt;
        EXPECT_EQ(CapturedBoxes()[0].text, "データ チャンクを読み取れません。");
        EXPECT_TRUE(CapturedBoxes()[0].warningIcon);
        EXPECT_EQ(CapturedBoxes()[0].owner, app.mainWindow);
        ExpectIdle();
        EXPECT_EQ(state.stopRequest, kStopNone);
    }
}

TEST_F(PlaybackTest, EightKilohertzEightBitMonoIsRefusedStreamingAndPlaysOnMemory)
{
    const std::vector<uint8_t> file = MonoFile(Pattern(4000), 8000);
    ASSERT_TRUE(Choose("8k.wav", file));
    StartPlayback();
    ASSERT_EQ(CapturedBoxes().size(), 1u);
    EXPECT_EQ(CapturedBoxes()[0].text, "データ チャンクのロックに失敗しました。");
    ExpectIdle();

    BeginBoxCapture();
    state.onMemoryOption = 1;   // the closed file is reopened by Start under the new option
    PlayToEnd();
    EXPECT_EQ(state.bufferingMode, kOnMemoryMode);
    EXPECT_EQ(DoneLog().size(), 1u);
    ExpectIdle();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>());
}

TEST_F(PlaybackTest, HeaderFailureAfterTheFirstHeaderIsQueuedTakesThatHeaderBack)
{
    ASSERT_TRUE(Choose("header-failure.wav", MonoFile(Pattern(20 * kBlock))));
    ASSERT_TRUE(AllocBlockBuffers());
    HGLOBAL handle = nullptr;
    RunRecord* record = nullptr;
    ASSERT_TRUE(AllocRunRecord(&handle, &record));
    WAVEHDR* header = app.header[0];
    std::memset(header, 0, sizeof *header);
    header->lpData = reinterpret_cast<LPSTR>(app.block[0]);
    header->dwBufferLength = kBlock;
    header->dwUser = reinterpret_cast<DWORD_PTR>(record);
    // Paused, the device keeps the header queued however long the message box takes.
    ASSERT_EQ(waveOutPause(app.waveOut), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutPrepareHeader(app.waveOut, header, sizeof *header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(app.waveOut, header, sizeof *header), MMSYSERR_NOERROR);
    ASSERT_TRUE(header->dwFlags & WHDR_INQUEUE);
    const HGLOBAL block0 = state.blockHandle[0];

    ReportHeaderFailure(handle, 1);
    ASSERT_EQ(CapturedBoxes().size(), 1u);
    EXPECT_EQ(CapturedBoxes()[0].text, "ウェーブヘッダーの準備ができません");
    EXPECT_TRUE(CapturedBoxes()[0].warningIcon);
    // Back from the device and unprepared before its buffer was freed.
    EXPECT_FALSE(header->dwFlags & (WHDR_INQUEUE | WHDR_PREPARED));
    EXPECT_EQ(GlobalFlags(block0), UINT(GMEM_INVALID_HANDLE));
    EXPECT_EQ(GlobalFlags(handle), UINT(GMEM_INVALID_HANDLE));
    ExpectIdle();
}
}  // namespace
