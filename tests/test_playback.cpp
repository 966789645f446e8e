// Playback engine in the real main window with real wave output: where the data ends (also when
// the file holds less than its data chunk claims), restarts, Pause and Stop in both buffering
// modes, and a refused streaming start.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "display/display.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"

#include <cstdio>
#include <cstring>

namespace {

// 11025 Hz 8-bit mono at time resolution 512: one byte per sample, 512-byte blocks of 46 ms.
constexpr uint32_t kRate = 11025;
constexpr size_t kBlock = 512;
constexpr DWORD kRunBound = 15000;

// A mono 8-bit file of `count` patterned bytes; its data chunk claims `claimed` bytes (0: those).
std::vector<uint8_t> MonoFile(size_t count, uint32_t rate = kRate, size_t claimed = 0)
{
    std::vector<uint8_t> data(count);
    for (size_t i = 0; i < count; ++i) data[i] = uint8_t(128 + int(i * 7 % 61) - 30);
    return RiffFile({{"fmt ", FmtBody(1, 1, rate, 8)}, {"data", data, claimed ? int32_t(claimed) : -1}});
}

// The bytes of the data chunk of a file MonoFile made.
std::vector<uint8_t> DataOf(const std::vector<uint8_t>& file) { return {file.begin() + 44, file.end()}; }

// What a finished, stopped or refused run leaves: nothing open, no run memory, idle controls.
void ExpectIdle()
{
    EXPECT_EQ(0, state.running);
    EXPECT_TRUE(!state.file && !app.waveOut && !state.blockHandle[0]);
    EXPECT_TRUE(IsWindowEnabled(app.playButton) && !IsWindowEnabled(app.stopButton));
}

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BeginBoxCapture();
        ASSERT_TRUE(OpenMainWindow());
        state.timeResolution = 512;
    }
    void TearDown() override
    {
        CloseMainWindow();
        EXPECT_TRUE(EndBoxCapture().empty());
    }
    // Makes the file the current source as Open does; true when it opened.
    bool Choose(const std::vector<uint8_t>& file, bool onMemory = false)
    {
        std::snprintf(g.fileName, sizeof g.fileName, "%s", WriteTempFile("playback.wav", file).c_str());
        state.onMemoryOption = onMemory ? 1 : 0;
        return SelectFileSource() == 1;
    }
    // Starts, plays to the end and returns every byte queued, in queue order.
    std::vector<uint8_t> PlayToEnd()
    {
        BeginWaveLog();
        StartPlayback();
        std::vector<uint8_t> queued = QueuedBytes(app.header[0]), second = QueuedBytes(app.header[1]);
        queued.insert(queued.end(), second.begin(), second.end());
        EXPECT_TRUE(PumpUntilRunEnds(kRunBound)) << "the run did not end";
        for (const WaveMessage& done : WaveLog()) queued.insert(queued.end(), done.queued.begin(), done.queued.end());
        return queued;
    }
    void Command(int id) { SendMessageA(app.mainWindow, WM_COMMAND, id, 0); }
};

// One block ends at the first done message, two at the second, seven and a half after eight;
// every byte is queued once, in file order, and Start after the end reopens the file and plays it
// all again. A data chunk claiming more than the file holds
// queues only what the reads bring (never a buffer's stale tail); a read of nothing ends the data.
TEST_F(PlaybackTest, EachRunEndsAtTheDoneMessageAfterItsLastBlockAndStartPlaysItAgain)
{
    const struct {
        size_t held, claimed, doneMessages;
    } cases[] = {{300, 0, 1}, {2 * kBlock, 0, 2}, {7 * kBlock + kBlock / 2, 0, 8},
                 {2 * kBlock + kBlock / 2, 6 * kBlock, 3}, {3 * kBlock, 6 * kBlock, 3}};
    for (const auto& c : cases) {
        const std::vector<uint8_t> file = MonoFile(c.held, kRate, c.claimed);
        ASSERT_TRUE(Choose(file));
        for (int pass = 0; pass < 2; ++pass) {
            SCOPED_TRACE(testing::Message() << c.held << " bytes of " << c.claimed << ", pass " << pass);
            EXPECT_EQ(DataOf(file), PlayToEnd());
            EXPECT_EQ(c.doneMessages, WaveLog().size());
            ExpectIdle();
        }
    }
}

// Pause, then Stop: the device, the file and the run memory are released at once, and the done
// messages of the reset device change nothing. On-memory, the whole loaded data is analysed
// although only its quiet start was heard: its full-scale end lights the last segment. The next
// Start begins unpaused.
TEST_F(PlaybackTest, StopReleasesEverythingAndOnMemoryAnalysesAllTheLoadedData)
{
    std::vector<int> samples = Sine(4, 440, kRate, 3 * int(kRate));
    for (size_t i = samples.size() - kRate / 2; i < samples.size(); ++i) samples[i] = (i % 2) ? 127 : -128;
    for (bool onMemory : {false, true}) {
        SCOPED_TRACE(onMemory ? "on-memory" : "streaming");
        ASSERT_TRUE(Choose(PcmFile(1, kRate, 8, Samples8(samples)), onMemory));
        BeginWaveLog();
        Command(kCmdStart);
        char label[16] = {};
        GetWindowTextA(app.pauseButton, label, sizeof label);
        EXPECT_TRUE(state.paused == 0 && std::strcmp(label, "Pause") == 0) << state.paused << label;
        ASSERT_TRUE(PumpWaveMessages([&] { return WaveLog().size() >= (onMemory ? 0u : 2u); }, kRunBound))
            << "a device left paused hands nothing back";
        const HGLOBAL memory[] = {reinterpret_cast<RunRecord*>(app.header[0]->dwUser)->self, state.blockHandle[0]};
        Command(kCmdPause);
        Command(kCmdStop);
        ExpectIdle();
        for (HGLOBAL freed : memory) EXPECT_EQ(UINT(GMEM_INVALID_HANDLE), GlobalFlags(freed));
        EXPECT_EQ(onMemory, SegmentLit(app.mainWindow, kLevelBarSegments - 1));
        const size_t logged = WaveLog().size();
        const uint32_t remaining = run.remainingBytes;
        EXPECT_TRUE(PumpWaveMessages([&] { return WaveLog().size() >= logged + (onMemory ? 1 : 2); }, kRunBound));
        for (size_t i = logged; i < WaveLog().size(); ++i) EXPECT_TRUE(WaveLog()[i].queued.empty()) << i;
        EXPECT_EQ(remaining, run.remainingBytes);
    }
}

TEST_F(PlaybackTest, EightKilohertzFileIsRefusedStreamingAndPlaysOnMemory)
{
    const std::vector<uint8_t> file = MonoFile(4000, 8000);
    ASSERT_TRUE(Choose(file));
    StartPlayback();
    ASSERT_EQ(1u, CapturedBoxes().size());
    EXPECT_EQ("データ チャンクのロックに失敗しました。", CapturedBoxes()[0].text);
    ExpectIdle();
    BeginBoxCapture();
    state.onMemoryOption = 1;   // Start reopens the closed file under the new option
    EXPECT_EQ(DataOf(file), PlayToEnd());
    EXPECT_EQ(1u, WaveLog().size());
    ExpectIdle();
}

}  // namespace
