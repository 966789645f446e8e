// Monitoring: the Monitor dialog's decisions for each kind of input format mask, as a plain
// function and in the real dialog; then, in loopback, as a user does it: a tone plays into the
// sound output, whose monitor is the default input, and the main window records it through the
// Monitor, Start, Pause and Stop commands. Every wait is for a message or a state, bounded.
#include <gtest/gtest.h>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "shell/globals.h"
#include "tests/support/main_window.h"
#include "tests/support/monitor_support.h"
#include "tests/support/playback_support.h"

#include <algorithm>
#include <cstdio>
#include <string>
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

class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenMainWindow()); }
    void TearDown() override { CloseMainWindow(); }
    void Command(int id) { SendMessageA(app.mainWindow, WM_COMMAND, id, 0); }
};

// The real dialog shows the plan of the device's mask and of each kind of mask, always mono;
// Esc ends it, as OK does, with the format the dialog settled on.
TEST_F(MonitorTest, RealDialogShowsThePlanOfEachMaskAndEscActsAsOk)
{
    ASSERT_NE(0u, g.inputFormats) << "the test needs an input device";
    for (DWORD mask : {g.inputFormats, DWORD(0x333), DWORD(0x00F), DWORD(0x0FF)}) {
        SCOPED_TRACE(testing::Message() << std::hex << mask);
        g.inputFormats = mask;
        state.monitorChannels = 2;
        const MonitorDialogPlan plan = PlanMonitorDialog(mask, state.monitorRate, state.monitorBits);
        HWND dialog = CreateDialogParamA(app.instance, "RecOpen", app.mainWindow, NEWFILE, 0);
        ShowWindow(dialog, SW_SHOW);
        const auto on = [dialog](int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; };
        const auto enabled = [dialog](int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; };
        EXPECT_TRUE(on(plan.rateButton) && on(plan.widthButton) && on(111));
        for (int id : {105, 107, 108}) EXPECT_EQ(plan.rateGroupEnabled, enabled(id)) << id;
        EXPECT_EQ(plan.rate44Enabled, enabled(106));
        for (int id : {112, 113, 114}) EXPECT_EQ(plan.widthGroupEnabled, enabled(id)) << id;
        for (int id : {109, 110, 111}) EXPECT_FALSE(enabled(id)) << id;
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);   // what the dialog manager sends for Esc
        EXPECT_FALSE(IsWindowVisible(dialog));
        EXPECT_EQ(std::make_tuple(plan.rate, plan.bits, uint16_t(1)),
                  std::make_tuple(state.monitorRate, state.monitorBits, state.monitorChannels));
        DestroyWindow(dialog);
    }
}

// ---- live loopback ----

constexpr double kToneHz = 1000.0;
constexpr double kToneAmplitude = 0.4;   // of full scale, at either width: lights 7 segments
constexpr DWORD kBound = 10000;

uint32_t RecordedInLog()
{
    uint32_t sum = 0;
    for (const WaveMessage& message : WaveLog()) sum += message.bytesRecorded;
    return sum;
}

bool RecordingBufferHasData() { return state.running && app.header[run.nextHeader]->dwBytesRecorded > 0; }

// The main window shows the "Free:" or "Pos:" line for `bytes` at `bytesPerSecond`.
bool ShowsLine(const char* label, int row, uint32_t bytes, uint32_t bytesPerSecond)
{
    char text[64];
    std::snprintf(text, sizeof text, "%-5s %7lu kb %6lu sec", label, (unsigned long)(bytes / 1024),
                  (unsigned long)(bytes / bytesPerSecond));
    return ShowsText(app.mainWindow, Col(9), Row(row), text);
}

class LiveMonitor : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        WAVEFORMATEX format = {};
        FillMonitorFormat(&format, 44100, 1, 16);
        header.lpData = reinterpret_cast<LPSTR>(tone.data());
        header.dwBufferLength = DWORD(tone.size());
        ASSERT_TRUE(waveOutOpen(&toneDevice, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR &&
                    waveOutPrepareHeader(toneDevice, &header, sizeof header) == MMSYSERR_NOERROR &&
                    waveOutWrite(toneDevice, &header, sizeof header) == MMSYSERR_NOERROR);
        BeginWaveLog();
        peakFrequency = 0.0;
    }
    void TearDown() override
    {
        if (state.running) Command(kCmdStop);
        PumpUntilRunEnds(kBound);
        waveOutReset(toneDevice);
        waveOutUnprepareHeader(toneDevice, &header, sizeof header);
        waveOutClose(toneDevice);
        MonitorTest::TearDown();
    }
    // Chooses the monitor through the dialog, in the linear spectrum view, and starts it.
    void Start(uint32_t rate, uint16_t bits, uint32_t onMemoryBytes = 0)
    {
        state.onMemoryOption = onMemoryBytes ? 1 : 0;
        ASSERT_TRUE(ChooseMonitorFormat(rate, bits).scriptRan);
        ASSERT_NE(nullptr, app.waveIn);
        Command(kCmdViewLinearSpectrum);
        if (onMemoryBytes) run.blockSize = onMemoryBytes;   // seconds instead of megabytes
        Command(kCmdStart);
        ASSERT_EQ(1, state.running);
    }
    // The tone's frequency found within one bin (FFT length 4096); the level bar lit as its level
    // asks (7 segments, one either way for the ends of the recording).
    void ExpectTone(uint32_t rate)
    {
        EXPECT_NEAR(kToneHz, peakFrequency, rate / 4096.0);
        EXPECT_NEAR(7, LitSegments(app.mainWindow), 1);
    }
    std::vector<uint8_t> tone = Samples16(Sine(kToneAmplitude * 32767, kToneHz, 44100, 30 * 44100));
    WAVEHDR header = {};
    HWAVEOUT toneDevice = nullptr;
};

struct LiveCase {
    uint32_t rate;
    uint16_t bits;
    uint32_t blockSize;   // at the initial time resolution 2048
};

class LiveFormat : public LiveMonitor, public ::testing::WithParamInterface<LiveCase> {};

// Streaming at each offered format: the buffers come back full and are all counted, the tone is
// found. Stop then hands back the buffer being filled, partly, and the other one, empty: the
// first is analysed and counted, the second changes nothing.
TEST_P(LiveFormat, StreamingFindsTheToneCountsEveryBufferAndStopCountsThePartialOne)
{
    const LiveCase c = GetParam();
    MonitorFormat offered[kMaxOfferedMonitorFormats];
    const int count = OfferedMonitorFormats(g.inputFormats, offered, kMaxOfferedMonitorFormats);
    if (std::none_of(offered, offered + count, [&](MonitorFormat f) { return f.rate == c.rate && f.bits == c.bits; }))
        GTEST_SKIP() << "the input device does not offer this format";
    Start(c.rate, c.bits);
    EXPECT_EQ(c.blockSize, run.blockSize);
    ASSERT_TRUE(PumpUntilWaveMessages(6, kBound));   // the newest recorded while the tone played
    for (const WaveMessage& message : WaveLog()) EXPECT_EQ(c.blockSize, message.bytesRecorded);
    ExpectTone(c.rate);

    ASSERT_TRUE(PumpWaveMessages(RecordingBufferHasData, kBound));
    const size_t logged = WaveLog().size();
    const int recordingSlot = run.nextHeader;
    Command(kCmdStop);
    ASSERT_TRUE(PumpUntilWaveMessages(logged + 2, kBound));
    const WaveMessage& partial = WaveLog()[logged];
    EXPECT_EQ(std::make_tuple(recordingSlot, 1 - recordingSlot), std::make_tuple(partial.slot, WaveLog()[logged + 1].slot));
    EXPECT_TRUE(partial.bytesRecorded > 0 && partial.bytesRecorded < c.blockSize) << partial.bytesRecorded;
    EXPECT_EQ(RecordedInLog(), run.remainingBytes);
    EXPECT_EQ(nullptr, app.waveIn);
    ExpectTone(c.rate);   // the empty buffer was not analysed over the partial one
    EXPECT_TRUE(ShowsLine("Pos:", 7, run.remainingBytes, c.rate * c.bits / 8));
}

INSTANTIATE_TEST_SUITE_P(EachRateAndWidth, LiveFormat,
                         ::testing::Values(LiveCase{44100, 16, 16384}, LiveCase{44100, 8, 8192},
                                           LiveCase{22050, 16, 8192}, LiveCase{22050, 8, 4096},
                                           LiveCase{11025, 16, 4096}, LiveCase{11025, 8, 2048}),
                         [](const ::testing::TestParamInfo<LiveCase>& info) {
                             return std::to_string(info.param.rate) + "Hz" + std::to_string(info.param.bits) + "bit";
                         });

// On-memory with room for two seconds, paused twice: each piece is analysed at the pause and the
// rest of the buffer queued from its start; the third piece fills it and the run ends by itself.
// The device is then closed: the next Start opens it again and redraws the format and "Free:"
// lines, and Stop ends that recording with what the buffer holds analysed and counted.
TEST_F(LiveMonitor, OnMemoryRecordsInPiecesWithinTheBufferAndTheNextStartReopensTheDevice)
{
    const uint32_t capacity = 22050;
    Start(11025, 8, capacity);
    for (size_t piece = 1; piece <= 2; ++piece) {
        ASSERT_TRUE(PumpWaveMessages(RecordingBufferHasData, kBound));
        Command(kCmdPause);
        ASSERT_TRUE(PumpUntilWaveMessages(piece, kBound));
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
    EXPECT_TRUE(ShowsLine("Pos:", 7, capacity, 11025));

    HDC dc = GetDC(app.mainWindow);
    PatBlt(dc, Col(1), Row(7), Col(35), Row(6), WHITENESS);
    ReleaseDC(app.mainWindow, dc);
    state.memorySizeMB = 1;
    Command(kCmdStart);
    ASSERT_EQ(1, state.running);
    EXPECT_EQ(kMegabyte, run.blockSize);
    EXPECT_TRUE(ShowsText(app.mainWindow, Col(1), Row(7), "11 kHz  ") && ShowsText(app.mainWindow, Col(1), Row(10), " 8 bit  "));
    EXPECT_TRUE(ShowsLine("Free:", 10, 2147483647u, 11025));
    ASSERT_TRUE(PumpWaveMessages(RecordingBufferHasData, kBound));
    Command(kCmdStop);
    ASSERT_TRUE(PumpUntilRunEnds(kBound));
    ASSERT_EQ(4u, WaveLog().size());
    EXPECT_TRUE(WaveLog()[3].bytesRecorded > 0 && WaveLog()[3].bytesRecorded < kMegabyte);
    EXPECT_EQ(WaveLog()[3].bytesRecorded, run.remainingBytes);
    EXPECT_EQ(nullptr, app.waveIn);
}

}  // namespace
