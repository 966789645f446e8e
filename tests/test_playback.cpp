// Playback engine in the real main window with real wave output: where the data ends, Stop in
// both buffering modes, Pause across runs, restarts, short data chunks and refused starts.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "display/display.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"
#include "tests/support/support.h"

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

namespace {

// 11025 Hz 8-bit mono at time resolution 512: one byte per sample, 512-byte blocks of 46 ms.
constexpr uint32_t kRate = 11025;
constexpr size_t kBlock = 512;
constexpr DWORD kRunBound = 15000;

std::vector<uint8_t> Pattern(size_t count)
{
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(128 + int(i * 7 % 61) - 30);
    return bytes;
}

// A mono 8-bit file whose data chunk claims `claimed` bytes (0: those it holds).
std::vector<uint8_t> MonoFile(const std::vector<uint8_t>& data, uint32_t rate = kRate, size_t claimed = 0)
{
    return RiffFile({{"fmt ", FmtBody(1, 1, rate, 8)}, {"data", data, claimed ? int32_t(claimed) : -1}});
}

// What a finished, stopped or refused run leaves: nothing open, no run memory, idle controls.
void ExpectIdle()
{
    EXPECT_EQ(0, state.running);
    EXPECT_EQ(nullptr, state.file);
    EXPECT_EQ(nullptr, app.waveOut);
    EXPECT_EQ(nullptr, state.blockHandle[0]);
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
        std::vector<uint8_t> queued = QueuedBytes(0), second = QueuedBytes(1);
        queued.insert(queued.end(), second.begin(), second.end());
        EXPECT_TRUE(PumpUntilRunEnds(kRunBound)) << "the run did not end";
        for (const WaveMessage& done : WaveLog()) queued.insert(queued.end(), done.queued.begin(), done.queued.end());
        return queued;
    }
    void Command(int id) { SendMessageA(app.mainWindow, WM_COMMAND, id, 0); }
};

// One block ends at the first done message, two at the second, seven and a half after eight;
// the headers come back in turn, every byte is queued once in file order, the position line
// counts what was read, and Start after the end reopens the file and plays it all again.
TEST_F(PlaybackTest, EachRunEndsAtTheDoneMessageAfterItsLastBlockAndStartPlaysItAgain)
{
    const struct {
        size_t bytes, doneMessages;
        const char* position;
    } cases[] = {{300, 1, "Pos:        0 kb      0 sec"},
                 {2 * kBlock, 2, "Pos:        1 kb      0 sec"},
                 {7 * kBlock + kBlock / 2, 8, "Pos:        3 kb      0 sec"}};
    for (const auto& c : cases) {
        const std::vector<uint8_t> data = Pattern(c.bytes);
        ASSERT_TRUE(Choose(MonoFile(data)));
        for (int pass = 0; pass < 2; ++pass) {
            SCOPED_TRACE(testing::Message() << c.bytes << " bytes, pass " << pass);
            EXPECT_EQ(data, PlayToEnd());
            ASSERT_EQ(c.doneMessages, WaveLog().size());
            for (size_t i = 0; i < WaveLog().size(); ++i) EXPECT_EQ(int(i % 2), WaveLog()[i].slot) << i;
            ExpectIdle();
            EXPECT_TRUE(ShowsText(app.mainWindow, Col(9), Row(7), c.position)) << c.position;
        }
    }
}

// Pause, then Stop: the device, the file and the run memory are released at once, and the done
// messages of the reset device change nothing. On-memory, the whole loaded data is analysed
// although only its quiet start was heard: its full-scale end lights every segment. The next
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
        EXPECT_EQ(std::make_tuple(0, std::string("Pause")), std::make_tuple(state.paused, std::string(label)));
        ASSERT_TRUE(PumpUntilWaveMessages(onMemory ? 0 : 2, kRunBound)) << "a device left paused hands nothing back";
        const HGLOBAL memory[] = {reinterpret_cast<RunRecord*>(app.header[0]->dwUser)->self, state.blockHandle[0]};
        Command(kCmdPause);
        Command(kCmdStop);
        ExpectIdle();
        for (HGLOBAL freed : memory) EXPECT_EQ(UINT(GMEM_INVALID_HANDLE), GlobalFlags(freed));
        EXPECT_EQ(onMemory ? kLevelBarSegments : 1, LitSegments(app.mainWindow));
        const size_t logged = WaveLog().size();
        const uint32_t remaining = run.remainingBytes;
        EXPECT_TRUE(PumpUntilWaveMessages(logged + (onMemory ? 1 : 2), kRunBound));
        for (size_t i = logged; i < WaveLog().size(); ++i) EXPECT_TRUE(WaveLog()[i].queued.empty()) << i;
        EXPECT_EQ(remaining, run.remainingBytes);
        ExpectIdle();
    }
}

// A data chunk claiming more than the file holds. During the run only the bytes that came are
// queued (never a buffer's stale tail) and a read of nothing ends the data; at Start, too little
// for the first two blocks is refused, every time.
TEST_F(PlaybackTest, DataChunkClaimingMoreThanTheFileHolds)
{
    for (size_t held : {2 * kBlock + kBlock / 2, 3 * kBlock}) {
        SCOPED_TRACE(held);
        const std::vector<uint8_t> data = Pattern(held);
        ASSERT_TRUE(Choose(MonoFile(data, kRate, 6 * kBlock)));
        EXPECT_EQ(data, PlayToEnd());
        EXPECT_EQ(3u, WaveLog().size());
        ExpectIdle();
    }
    ASSERT_TRUE(Choose(MonoFile(Pattern(kBlock + 100), kRate, 4 * kBlock)));
    for (int attempt = 0; attempt < 2; ++attempt) {
        StartPlayback();
        const std::vector<CapturedBox> boxes = EndBoxCapture();
        BeginBoxCapture();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ("データ チャンクを読み取れません。", boxes[0].text);
        EXPECT_TRUE(boxes[0].warningIcon);
        ExpectIdle();
    }
}

TEST_F(PlaybackTest, EightKilohertzFileIsRefusedStreamingAndPlaysOnMemory)
{
    const std::vector<uint8_t> data = Pattern(4000);
    ASSERT_TRUE(Choose(MonoFile(data, 8000)));
    StartPlayback();
    const std::vector<CapturedBox> boxes = EndBoxCapture();
    BeginBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("データ チャンクのロックに失敗しました。", boxes[0].text);
    ExpectIdle();
    state.onMemoryOption = 1;   // Start reopens the closed file under the new option
    EXPECT_EQ(data, PlayToEnd());
    EXPECT_EQ(1u, WaveLog().size());
    ExpectIdle();
}

}  // namespace
