// Monitoring as a user does it, in loopback: a tone plays into the sound output, whose monitor
// is the default input; the main window records it through the Monitor command and the Start,
// Stop and Pause buttons. Every wait is for a message or a state, bounded.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <ostream>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "shell/globals.h"
#include "tests/support/main_window.h"
#include "tests/support/monitor_support.h"
#include "tests/support/support.h"

// Readable names for the parameterised cases.
void PrintTo(const MonitorFormat& format, std::ostream* out)
{
    *out << format.rate << " Hz " << format.bits << " bit";
}

namespace {

constexpr double kToneHz = 1000.0;
constexpr double kToneAmplitude = 0.4;      // of full scale: lights 7 of the 17 segments
constexpr double kToneSeconds = 60.0;
constexpr DWORD kMessageBoundMs = 10000;
constexpr int kFftLength = 4096;            // the initial FFT size exponent 12

void Command(int id) { SendMessageA(app.mainWindow, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

bool NotRunning(void*) { return !state.running; }
bool RecordingBufferHasData(void*)
{
    return state.running && app.header[run.nextHeader]->dwBytesRecorded > 0;
}

// Segments a steady level lights: threshold s * unit below the level (the last one 16u - 2).
int ExpectedLitSegments(double level, uint32_t unit)
{
    int lit = 0;
    for (uint32_t s = 0; s < 17; ++s) {
        const uint32_t threshold = s == 16 ? 16 * unit - 2 : s * unit;
        lit += double(threshold) < level ? 1 : 0;
    }
    return lit;
}

void ExpectToneFound(uint32_t rate, uint16_t bits)
{
    const double bin = double(rate) / kFftLength;
    EXPECT_NEAR(kToneHz, peakFrequency, bin) << "one bin is " << bin << " Hz";
    const double fullScale = bits == 16 ? 32768.0 : 128.0;
    const int expected = ExpectedLitSegments(kToneAmplitude * fullScale, bits == 16 ? 2048 : 8);
    EXPECT_NEAR(expected, LitLevelSegments(), 1);
    EXPECT_TRUE(LevelSegmentLit(0));
}

std::string PositionLine(uint32_t recorded, uint32_t bytesPerSecond)
{
    char text[64];
    std::snprintf(text, sizeof text, "Pos:  %7ld kb %6ld sec", long(recorded / 1024), long(recorded / bytesPerSecond));
    return text;
}

class LiveMonitor : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenMainWindow());
        ASSERT_NE(0u, app.inputDeviceCount) << "the test needs an input device";
        ASSERT_TRUE(StartTone(tone, kToneHz, kToneAmplitude, kToneSeconds));
        BeginInputLog();
        peakFrequency = 0.0;
    }
    void TearDown() override
    {
        if (state.running) {
            Command(kCmdStop);
            PumpUntil(NotRunning, nullptr, kMessageBoundMs);
        }
        EndInputLog();
        StopTone(tone);
        CloseMainWindow();
    }
    // The monitor chosen through the dialog, on-memory or streaming, in the spectrum view.
    void ChooseMonitor(uint32_t rate, uint16_t bits, bool onMemory)
    {
        state.onMemoryOption = onMemory ? 1 : 0;    // as the Options dialog's check box sets it
        ASSERT_TRUE(ChooseMonitorFormat(rate, bits).scriptRan);
        ASSERT_NE(nullptr, app.waveIn);
        Command(kCmdViewLinearSpectrum);
    }
    void Start()
    {
        Command(kCmdStart);
        ASSERT_TRUE(state.running);
        EXPECT_NE(nullptr, app.waveIn);
    }
    Tone tone;
};

// ---- every offered format, streaming ----

class LiveFormat : public LiveMonitor, public ::testing::WithParamInterface<MonitorFormat> {};

TEST_P(LiveFormat, StreamingFindsTheToneAndLightsTheLevelBar)
{
    const MonitorFormat format = GetParam();
    MonitorFormat offered[kMaxOfferedMonitorFormats];
    const int count = OfferedMonitorFormats(g.inputFormats, offered, kMaxOfferedMonitorFormats);
    bool isOffered = false;
    for (int i = 0; i < count; ++i) isOffered |= offered[i].rate == format.rate && offered[i].bits == format.bits;
    if (!isOffered) GTEST_SKIP() << "the input device does not offer this format";

    ChooseMonitor(format.rate, format.bits, false);
    Start();
    // A few blocks, so that the newest was recorded while the tone played.
    ASSERT_TRUE(PumpUntilInputMessages(6, kMessageBoundMs));
    EXPECT_TRUE(state.running);
    for (const InputMessage& message : InputLog()) EXPECT_EQ(run.blockSize, message.bytesRecorded);
    ExpectToneFound(format.rate, format.bits);
    const uint32_t counted = std::accumulate(InputLog().begin(), InputLog().end(), 0u,
                                             [](uint32_t sum, const InputMessage& m) { return sum + m.bytesRecorded; });
    EXPECT_EQ(counted, run.remainingBytes);
}

INSTANTIATE_TEST_SUITE_P(EachRateAndWidth, LiveFormat,
                         ::testing::Values(MonitorFormat{44100, 16}, MonitorFormat{44100, 8}, MonitorFormat{22050, 16},
                                           MonitorFormat{22050, 8}, MonitorFormat{11025, 16}, MonitorFormat{11025, 8}),
                         [](const ::testing::TestParamInfo<MonitorFormat>& info) {
                             return std::to_string(info.param.rate) + "Hz" + std::to_string(info.param.bits) + "bit";
                         });

// ---- Stop while streaming ----

TEST_F(LiveMonitor, StreamingStopCountsThePartialBufferAndIgnoresTheOther)
{
    ChooseMonitor(44100, 16, false);
    Start();
    ASSERT_TRUE(PumpUntilInputMessages(2, kMessageBoundMs));
    ASSERT_TRUE(PumpUntil(RecordingBufferHasData, nullptr, kMessageBoundMs));
    const uint32_t before = run.remainingBytes;
    const size_t logged = InputLog().size();
    const int recordingSlot = run.nextHeader;
    const uint32_t blockSize = run.blockSize;

    Command(kCmdStop);
    EXPECT_FALSE(IsWindowEnabled(app.stopButton));
    ASSERT_TRUE(PumpUntil(NotRunning, nullptr, kMessageBoundMs));
    ASSERT_TRUE(PumpUntilInputMessages(logged + 2, kMessageBoundMs));
    PumpPending(200);

    const InputMessage& partial = InputLog()[logged];
    const InputMessage& other = InputLog()[logged + 1];
    EXPECT_EQ(app.header[recordingSlot], partial.header);
    EXPECT_GT(partial.bytesRecorded, 0u);
    EXPECT_LT(partial.bytesRecorded, blockSize);
    EXPECT_EQ(app.header[1 - recordingSlot], other.header);
    EXPECT_EQ(logged + 2, InputLog().size());
    // The partial buffer is counted; the other one's message changes nothing.
    EXPECT_EQ(before + partial.bytesRecorded, run.remainingBytes);
    EXPECT_EQ(kStopFinalBufferBack, state.stopRequest);
    EXPECT_EQ(nullptr, app.waveIn);
    EXPECT_EQ(nullptr, app.block[0]);
    // The bars still show the partial buffer's tone: the other, empty buffer was not analysed.
    ExpectToneFound(44100, 16);
    std::string why;
    EXPECT_TRUE(WindowShowsText(Col(9), Row(7), PositionLine(run.remainingBytes, 88200).c_str(), &why)) << why;
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
}

// ---- on-memory ----

TEST_F(LiveMonitor, OnMemoryEndsByItselfWhenTheBufferIsFull)
{
    ChooseMonitor(11025, 8, true);
    EXPECT_EQ(kOnMemoryMode, state.bufferingMode);
    run.blockSize = 11025;                       // one second instead of megabytes
    Start();
    ASSERT_TRUE(PumpUntil(NotRunning, nullptr, kMessageBoundMs));

    ASSERT_EQ(1u, InputLog().size());
    EXPECT_EQ(11025u, InputLog()[0].bytesRecorded);
    EXPECT_EQ(11025u, run.remainingBytes);
    EXPECT_EQ(kStopFinalBufferBack, state.stopRequest);
    EXPECT_EQ(nullptr, app.waveIn);
    ExpectToneFound(11025, 8);
    std::string why;
    EXPECT_TRUE(WindowShowsText(Col(9), Row(7), PositionLine(11025, 11025).c_str(), &why)) << why;
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    EXPECT_FALSE(IsWindowEnabled(app.pauseButton));
}

struct RecordedAtLeast {
    DWORD bytes;
};
bool BufferHolds(void* context)
{
    return state.running && app.header[0]->dwBytesRecorded >= static_cast<RecordedAtLeast*>(context)->bytes;
}

TEST_F(LiveMonitor, OnMemoryAnalysesTheWholeRecording)
{
    // Silence for the first half of the buffer, the tone in the second: only a scan of the whole
    // recording lights the bar.
    StopTone(tone);
    ChooseMonitor(11025, 8, true);
    const uint32_t capacity = 3 * 11025;
    run.blockSize = capacity;
    Start();
    RecordedAtLeast half = {capacity / 2};
    ASSERT_TRUE(PumpUntil(BufferHolds, &half, kMessageBoundMs));
    ASSERT_TRUE(StartTone(tone, kToneHz, kToneAmplitude, kToneSeconds));
    ASSERT_TRUE(PumpUntil(NotRunning, nullptr, kMessageBoundMs));
    ASSERT_EQ(1u, InputLog().size());
    EXPECT_EQ(capacity, InputLog()[0].bytesRecorded);
    const int expected = ExpectedLitSegments(kToneAmplitude * 128.0, 8);
    EXPECT_NEAR(expected, LitLevelSegments(), 1);
}

TEST_F(LiveMonitor, OnMemoryPauseSplitsTheRecordingWithinTheBuffer)
{
    ChooseMonitor(11025, 8, true);
    const uint32_t capacity = 22050;
    run.blockSize = capacity;
    Start();
    for (size_t piece = 1; piece <= 2; ++piece) {
        SCOPED_TRACE(testing::Message() << "piece " << piece);
        ASSERT_TRUE(PumpUntil(RecordingBufferHasData, nullptr, kMessageBoundMs));
        Command(kCmdPause);
        ASSERT_TRUE(PumpUntilInputMessages(piece, kMessageBoundMs));
        EXPECT_TRUE(state.running);
        EXPECT_EQ(1, state.paused);
        const uint32_t recorded = std::accumulate(InputLog().begin(), InputLog().end(), 0u,
                                                  [](uint32_t sum, const InputMessage& m) { return sum + m.bytesRecorded; });
        EXPECT_GT(InputLog().back().bytesRecorded, 0u);
        EXPECT_EQ(recorded, run.remainingBytes);
        // The rest of the buffer, from its start, waits for Continue.
        EXPECT_EQ(capacity - recorded, run.blockSize);
        EXPECT_EQ(capacity - recorded, app.header[0]->dwBufferLength);
        EXPECT_EQ(reinterpret_cast<LPSTR>(app.block[0]), app.header[0]->lpData);
        Command(kCmdPause);
        EXPECT_EQ(0, state.paused);
    }
    ASSERT_TRUE(PumpUntil(NotRunning, nullptr, kMessageBoundMs));
    ASSERT_EQ(3u, InputLog().size());
    uint32_t total = 0;
    for (const InputMessage& message : InputLog()) {
        EXPECT_LE(message.bytesRecorded, message.bufferLength);
        total += message.bytesRecorded;
    }
    EXPECT_EQ(capacity, total);
    EXPECT_EQ(capacity, run.remainingBytes);
    EXPECT_EQ(nullptr, app.waveIn);
}

// ---- the next Start ----

TEST_F(LiveMonitor, NextStartReopensTheDeviceAndRedrawsTheFormatAndFreeLines)
{
    ChooseMonitor(11025, 8, true);
    run.blockSize = 5512;
    Start();
    ASSERT_TRUE(PumpUntil(NotRunning, nullptr, kMessageBoundMs));
    ASSERT_EQ(nullptr, app.waveIn);

    WipeWindowRect(Col(1), Row(7), Col(35), Row(12) + g.lineHeight - Row(7));
    state.memorySizeMB = 1;
    const size_t logged = InputLog().size();
    Start();
    EXPECT_EQ(1048576u, run.blockSize);
    std::string why;
    EXPECT_TRUE(WindowShowsText(Col(1), Row(7), "11 kHz  ", &why)) << why;
    EXPECT_TRUE(WindowShowsText(Col(1), Row(10), " 8 bit  ", &why)) << why;
    char freeLine[64];
    std::snprintf(freeLine, sizeof freeLine, "Free: %7ld kb %6ld sec", 2097151L, long(2147483647u / 11025u));
    EXPECT_TRUE(WindowShowsText(Col(9), Row(10), freeLine, &why)) << freeLine << ": " << why;

    // Stop in on-memory mode analyses what the buffer holds so far.
    ASSERT_TRUE(PumpUntil(RecordingBufferHasData, nullptr, kMessageBoundMs));
    Command(kCmdStop);
    ASSERT_TRUE(PumpUntil(NotRunning, nullptr, kMessageBoundMs));
    ASSERT_EQ(logged + 1, InputLog().size());
    EXPECT_GT(InputLog().back().bytesRecorded, 0u);
    EXPECT_LT(InputLog().back().bytesRecorded, 1048576u);
    EXPECT_EQ(InputLog().back().bytesRecorded, run.remainingBytes);
    EXPECT_EQ(nullptr, app.waveIn);
}

}  // namespace
