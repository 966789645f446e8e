// The audio engines in the real main window with real sound devices. Playback: where the data
// ends (also when the file holds less than its data chunk claims), restarts, Pause and Stop in
// both buffering modes, a refused streaming start. Monitoring: the dialog's decisions for each
// kind of input format mask; then, in loopback, as a user does it: a tone plays into the sound
// output, whose monitor is the default input, and the window records it through the Monitor
// dialog and the Start, Pause and Stop commands. Every wait is for a message or a state, bounded.
#include <gtest/gtest.h>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/monitor_support.h"
#include "tests/support/playback_support.h"

#include <cstdio>
#include <tuple>

namespace {

constexpr DWORD kBound = 15000;

void Command(int id) { SendMessageA(app.mainWindow, WM_COMMAND, id, 0); }

// ---- playback ----

// 11025 Hz 8-bit mono at time resolution 512: one byte per sample, 512-byte blocks of 46 ms.
constexpr uint32_t kRate = 11025;
constexpr size_t kBlock = 512;

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
    EXPECT_TRUE(!state.running && !state.file && !app.waveOut && !state.blockHandle[0]);
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
        waveLog.clear();
        StartPlayback();
        std::vector<uint8_t> queued = QueuedBytes(app.header[0]), second = QueuedBytes(app.header[1]);
        queued.insert(queued.end(), second.begin(), second.end());
        EXPECT_TRUE(PumpUntilRunEnds(kBound)) << "the run did not end";
        for (const WaveMessage& done : waveLog) queued.insert(queued.end(), done.queued.begin(), done.queued.end());
        return queued;
    }
};

// One block ends at the first done message, two at the second, seven and a half after eight;
// every byte is queued once, in file order, and Start after the end reopens the file and plays it
// all again. A data chunk claiming more than the file holds queues only what the reads bring
// (never a buffer's stale tail); a read of nothing ends the data.
TEST_F(PlaybackTest, EachRunEndsAtTheDoneMessageAfterItsLastBlockAndStartPlaysItAgain)
{
    const struct { size_t held, claimed, doneMessages; } cases[] = {{300, 0, 1}, {2 * kBlock, 0, 2}, {7 * kBlock + kBlock / 2, 0, 8},
                 {2 * kBlock + kBlock / 2, 6 * kBlock, 3}, {3 * kBlock, 6 * kBlock, 3}};
    for (const auto& c : cases) {
        const std::vector<uint8_t> file = MonoFile(c.held, kRate, c.claimed);
        ASSERT_TRUE(Choose(file));
        for (int pass = 0; pass < 2; ++pass) {
            SCOPED_TRACE(testing::Message() << c.held << " bytes of " << c.claimed << ", pass " << pass);
            EXPECT_EQ(DataOf(file), PlayToEnd());
            EXPECT_EQ(c.doneMessages, waveLog.size());
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
        waveLog.clear();
        Command(kCmdStart);
        char label[16] = {};
        GetWindowTextA(app.pauseButton, label, sizeof label);
        EXPECT_TRUE(state.paused == 0 && std::string(label) == "Pause") << state.paused << label;
        ASSERT_TRUE(PumpWaveMessages([&] { return waveLog.size() >= (onMemory ? 0u : 2u); }, kBound))
            << "a device left paused hands nothing back";
        const HGLOBAL memory[] = {reinterpret_cast<RunRecord*>(app.header[0]->dwUser)->self, state.blockHandle[0]};
        Command(kCmdPause);
        Command(kCmdStop);
        ExpectIdle();
        for (HGLOBAL freed : memory) EXPECT_EQ(UINT(GMEM_INVALID_HANDLE), GlobalFlags(freed));
        EXPECT_EQ(onMemory, SegmentLit(app.mainWindow, 16));   // lit at full scale only
        const size_t logged = waveLog.size();
        EXPECT_TRUE(PumpWaveMessages([&] { return waveLog.size() >= logged + (onMemory ? 1 : 2); }, kBound));
        for (size_t i = logged; i < waveLog.size(); ++i) EXPECT_TRUE(waveLog[i].queued.empty()) << i;
    }
}

// Refused starts release everything: a first block the file cannot fill; an 8 kHz file streaming,
// which the next Start reopens under the on-memory option and plays; and a header 1 that fails
// after header 0 is on the device, which must come back before its buffer is freed.
TEST_F(PlaybackTest, RefusedStartsTakeQueuedHeadersBackAndReleaseTheRun)
{
    const std::vector<uint8_t> slow = MonoFile(4000, 8000);
    const std::pair<std::vector<uint8_t>, const char*> refused[] = {
        {MonoFile(300, kRate, 6 * kBlock), "データ チャンクを読み取れません。"}, {slow, "データ チャンクのロックに失敗しました。"}};
    for (const auto& r : refused) {
        ASSERT_TRUE(Choose(r.first));
        StartPlayback();
        ASSERT_EQ(1u, CapturedBoxes().size());
        EXPECT_EQ(r.second, CapturedBoxes()[0].text);
        ExpectIdle();
        BeginBoxCapture();
    }
    state.onMemoryOption = 1;
    EXPECT_EQ(DataOf(slow), PlayToEnd());
    EXPECT_EQ(1u, waveLog.size());
    ExpectIdle();

    ASSERT_TRUE(Choose(MonoFile(20 * kBlock)));
    HGLOBAL handle = nullptr;
    RunRecord* record = nullptr;
    ASSERT_TRUE(AllocBlockBuffers() && AllocRunRecord(&handle, &record));
    WAVEHDR* header = app.header[0];
    *header = WAVEHDR{reinterpret_cast<LPSTR>(app.block[0]), kBlock, 0, reinterpret_cast<DWORD_PTR>(record), 0, 0, nullptr, 0};
    ASSERT_EQ(MMSYSERR_NOERROR, waveOutPause(app.waveOut));   // keeps the header queued
    ASSERT_EQ(MMSYSERR_NOERROR, waveOutPrepareHeader(app.waveOut, header, kWaveHeaderSize));
    ASSERT_EQ(MMSYSERR_NOERROR, waveOutWrite(app.waveOut, header, kWaveHeaderSize));
    const HGLOBAL memory[] = {state.blockHandle[0], handle};
    ReportHeaderFailure(handle, 1);
    ASSERT_EQ(1u, CapturedBoxes().size());
    EXPECT_EQ("ウェーブヘッダーの準備ができません", CapturedBoxes()[0].text);
    EXPECT_FALSE(header->dwFlags & (WHDR_INQUEUE | WHDR_PREPARED));
    for (HGLOBAL freed : memory) EXPECT_EQ(UINT(GMEM_INVALID_HANDLE), GlobalFlags(freed));
    ExpectIdle();
    BeginBoxCapture();
}

// ---- monitoring ----

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
    const struct { DWORD mask; uint32_t rate; uint16_t bits; MonitorDialogPlan expected; } cases[] = {
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

UINT RefuseAll(uint32_t, uint16_t) { return WAVERR_BADFORMAT; }
UINT AcceptOnly11k8(uint32_t rate, uint16_t bits) { return rate == 11025 && bits == 8 ? 0 : WAVERR_BADFORMAT; }

// The dialog can be left without a format only when the device refuses every format it offers;
// an undocumented query answer still gets a warning that names it; a piece that fills the
// on-memory buffer just as Pause comes ends the recording rather than queuing nothing.
TEST(MonitorDecisions, WayOutUnlistedAnswersAndAFullPausedPiece)
{
    EXPECT_FALSE(AnyOfferedFormatAccepted(0xFFF, RefuseAll));
    EXPECT_TRUE(AnyOfferedFormatAccepted(0xFFF, AcceptOnly11k8));
    EXPECT_FALSE(AnyOfferedFormatAccepted(0x333, [](uint32_t, uint16_t bits) -> UINT { return bits == 16 ? 0 : 32; }));
    char buffer[80];
    EXPECT_STREQ("ドライバが無い", MonitorQueryMessage(MMSYSERR_NODRIVER, buffer, sizeof buffer));
    EXPECT_STREQ("サウンドドライバが録音形式を受け付けません。(エラー 11)", MonitorQueryMessage(11, buffer, sizeof buffer));
    EXPECT_EQ(MonitorBlockStep::kEndRecording, DecideMonitorBlockStep(kOnMemoryMode, 1, kStopNone, 4096, 4096));
    EXPECT_EQ(MonitorBlockStep::kRequeue, DecideMonitorBlockStep(kOnMemoryMode, 1, kStopNone, 4096, 1000));
    EXPECT_EQ(MonitorBlockStep::kEndAfterStop, DecideMonitorBlockStep(kStreamingMode, 0, kStopRequested, 4096, 10));
}

uint32_t RecordedInLog()
{
    uint32_t sum = 0;
    for (const WaveMessage& message : waveLog) sum += message.bytesRecorded;
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
    // Chooses the monitor format in the dialog, the linear spectrum view, and starts.
    void Start(uint32_t rate, uint16_t bits, uint32_t onMemoryBytes = 0)
    {
        state.onMemoryOption = onMemoryBytes ? 1 : 0;
        ASSERT_TRUE(ChooseMonitorFormat(rate, bits)) << "the Monitor dialog did not show";
        ASSERT_EQ(rate * bits / 8, source.avgBytesPerSec) << "the dialog's choice is the source's format";
        Command(kCmdViewLinearSpectrum);
        if (onMemoryBytes) run.blockSize = onMemoryBytes;   // seconds instead of megabytes
        waveLog.clear();
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
        // A few buffers, so that the newest was recorded while the tone played.
        ASSERT_TRUE(PumpWaveMessages([] { return waveLog.size() >= 6; }, kBound));
        for (const WaveMessage& message : waveLog) EXPECT_EQ(run.blockSize, message.bytesRecorded);
        ExpectTone(f.rate);

        ASSERT_TRUE(PumpWaveMessages(RecordingBufferHasData, kBound));
        const size_t logged = waveLog.size();
        Command(kCmdStop);
        ASSERT_TRUE(PumpWaveMessages([&] { return waveLog.size() >= logged + 2; }, kBound));
        const DWORD partial = waveLog[logged].bytesRecorded;
        EXPECT_TRUE(partial > 0 && partial < run.blockSize && waveLog[logged + 1].bytesRecorded == 0) << partial;
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
        ASSERT_TRUE(PumpWaveMessages([&] { return waveLog.size() >= piece; }, kBound));
        EXPECT_EQ(std::make_tuple(1, RecordedInLog()), std::make_tuple(state.running, run.remainingBytes));
        EXPECT_EQ(capacity - RecordedInLog(), app.header[0]->dwBufferLength);
        EXPECT_EQ(reinterpret_cast<LPSTR>(app.block[0]), app.header[0]->lpData);
        Command(kCmdPause);
    }
    ASSERT_TRUE(PumpUntilRunEnds(kBound));
    EXPECT_EQ(3u, waveLog.size());
    EXPECT_EQ(std::make_tuple(capacity, capacity), std::make_tuple(RecordedInLog(), run.remainingBytes));
    EXPECT_EQ(nullptr, app.waveIn);
    ExpectTone(11025);

    Command(kCmdStart);
    EXPECT_EQ(1, state.running);
    EXPECT_NE(nullptr, app.waveIn);
}

}  // namespace
