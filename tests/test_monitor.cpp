// Monitoring: the Monitor dialog's decisions for each kind of input format mask; then, in
// loopback, as a user does it: a tone plays into the sound output, whose monitor is the default
// input, and the main window records it through the Monitor dialog and the Start, Pause and Stop
// commands. Every wait is for a message or a state, bounded.
#include <gtest/gtest.h>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "shell/globals.h"
#include "tests/support/main_window.h"
#include "tests/support/monitor_support.h"
#include "tests/support/playback_support.h"

#include <tuple>

namespace {

auto Tie(const MonitorDialogPlan& p)
{
    return std::make_tuple(p.rate, p.bits, p.rateButton, p.widthButton, p.rateGroupEnabled, p.rate44Enabled,
                           p.widthGroupEnabled);
}

// Masks of each kind (capability bits 1M08 1S08 1M16 1S16 at 11, 22 and 44 kHz) with the
// remembered format, and what the dialog makes of them: the format, the checked rate and width
// buttons, and whether the rate group, the 44 kHz button and the width group can be used.
TEST(MonitorDialogPlan, FollowsEachKindOfInputMask)
{
    const struct {
        DWORD mask;
        uint32_t rate;
        uint16_t bits;
        MonitorDialogPlan expected;
    } cases[] = {
        {0xFFF, 22050, 8, {22050, 8, 107, 114, true, true, true}},
        {0x333, 44100, 16, {44100, 8, 106, 114, true, true, false}},     // no 16-bit format
        {0x00F, 22050, 8, {11025, 8, 108, 114, false, false, true}},     // 11 kHz only
        {0x000, 44100, 16, {11025, 8, 108, 114, false, false, false}},   // nothing at all
        {0x0FF, 44100, 16, {22050, 16, 107, 113, true, false, true}},    // 22 but not 44 kHz
        {0x0FF, 11025, 8, {11025, 8, 108, 114, true, false, true}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Tie(c.expected), Tie(PlanMonitorDialog(c.mask, c.rate, c.bits))) << std::hex << c.mask;
}

constexpr DWORD kBound = 10000;

uint32_t RecordedInLog()
{
    uint32_t sum = 0;
    for (const WaveMessage& message : WaveLog()) sum += message.bytesRecorded;
    return sum;
}

bool RecordingBufferHasData() { return state.running && app.header[run.nextHeader]->dwBytesRecorded > 0; }

class LiveMonitor : public ::testing::Test {
protected:
    // A 1000 Hz tone at 0.4 of full scale plays into the sound output, which the input records.
    void SetUp() override
    {
        ASSERT_TRUE(OpenMainWindow());
        ASSERT_TRUE(PlaySoundA(reinterpret_cast<LPCSTR>(tone.data()), nullptr, SND_MEMORY | SND_ASYNC));
        peakFrequency = 0.0;
    }
    void TearDown() override
    {
        PlaySoundA(nullptr, nullptr, 0);
        CloseMainWindow();   // stops a run still going
    }
    void Command(int id) { SendMessageA(app.mainWindow, WM_COMMAND, id, 0); }
    // Chooses the monitor format in the dialog, the linear spectrum view, and starts.
    void Start(uint32_t rate, uint16_t bits, uint32_t onMemoryBytes = 0)
    {
        state.onMemoryOption = onMemoryBytes ? 1 : 0;
        ASSERT_TRUE(ChooseMonitorFormat(rate, bits).scriptRan);
        ASSERT_EQ(rate * bits / 8, source.avgBytesPerSec);
        Command(kCmdViewLinearSpectrum);
        if (onMemoryBytes) run.blockSize = onMemoryBytes;   // seconds instead of megabytes
        BeginWaveLog();
        Command(kCmdStart);
        ASSERT_EQ(1, state.running);
    }
    // The tone found within one bin (FFT length 4096); its level lights 7 segments at either
    // width, give or take one for the ends of the recording.
    void ExpectTone(uint32_t rate)
    {
        EXPECT_NEAR(1000.0, peakFrequency, rate / 4096.0);
        EXPECT_TRUE(SegmentLit(app.mainWindow, 5) && !SegmentLit(app.mainWindow, 8));
    }
    const std::vector<uint8_t> tone = PcmFile(1, 44100, 16, Samples16(Sine(0.4 * 32767, 1000.0, 44100, 30 * 44100)));
};

// Streaming at each offered format: the buffers come back full and are all counted, the tone is
// found. Stop then hands back the buffer being filled, partly, and the other one, empty: the
// first is analysed and counted, the second changes nothing.
TEST_F(LiveMonitor, StreamingAtEachOfferedFormatFindsTheToneAndStopCountsThePartialBuffer)
{
    MonitorFormat offered[kMaxOfferedMonitorFormats];
    const int count = OfferedMonitorFormats(g.inputFormats, offered, kMaxOfferedMonitorFormats);
    ASSERT_GT(count, 0) << "the test needs an input device";
    for (const MonitorFormat& f : std::vector<MonitorFormat>(offered, offered + count)) {
        SCOPED_TRACE(testing::Message() << f.rate << " Hz " << f.bits << " bit");
        Start(f.rate, f.bits);
        ASSERT_TRUE(PumpWaveMessages([] { return WaveLog().size() >= 6; }, kBound));   // the newest recorded while the tone played
        for (const WaveMessage& message : WaveLog()) EXPECT_EQ(run.blockSize, message.bytesRecorded);
        ExpectTone(f.rate);

        ASSERT_TRUE(PumpWaveMessages(RecordingBufferHasData, kBound));
        const size_t logged = WaveLog().size();
        Command(kCmdStop);
        ASSERT_TRUE(PumpWaveMessages([&] { return WaveLog().size() >= logged + 2; }, kBound));
        const DWORD partial = WaveLog()[logged].bytesRecorded;
        EXPECT_TRUE(partial > 0 && partial < run.blockSize && WaveLog()[logged + 1].bytesRecorded == 0) << partial;
        EXPECT_EQ(RecordedInLog(), run.remainingBytes);
        EXPECT_EQ(nullptr, app.waveIn);
        ExpectTone(f.rate);   // the empty buffer was not analysed over the partial one
    }
}

// On-memory with room for two seconds, paused twice: each piece is analysed at the pause and the
// rest of the buffer queued from its start; the third piece fills it and the run ends by itself.
// The device is then closed: the next Start opens it again.
TEST_F(LiveMonitor, OnMemoryRecordsInPiecesWithinTheBufferAndTheNextStartReopensTheDevice)
{
    const uint32_t capacity = 22050;
    Start(11025, 8, capacity);
    for (size_t piece = 1; piece <= 2; ++piece) {
        ASSERT_TRUE(PumpWaveMessages(RecordingBufferHasData, kBound));
        Command(kCmdPause);
        ASSERT_TRUE(PumpWaveMessages([&] { return WaveLog().size() >= piece; }, kBound));
        EXPECT_EQ(std::make_tuple(1, RecordedInLog()), std::make_tuple(state.running, run.remainingBytes));
        EXPECT_EQ(capacity - RecordedInLog(), app.header[0]->dwBufferLength);
        EXPECT_EQ(reinterpret_cast<LPSTR>(app.block[0]), app.header[0]->lpData);
        Command(kCmdPause);
    }
    ASSERT_TRUE(PumpUntilRunEnds(kBound));
    EXPECT_EQ(3u, WaveLog().size());
    EXPECT_EQ(std::make_tuple(capacity, capacity), std::make_tuple(RecordedInLog(), run.remainingBytes));
    EXPECT_EQ(nullptr, app.waveIn);
    ExpectTone(11025);

    Command(kCmdStart);
    EXPECT_EQ(1, state.running);
    EXPECT_NE(nullptr, app.waveIn);
}

}  // namespace
