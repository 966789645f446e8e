// The audio engines in the real main window with real sound devices. Playback: every queued byte
// once and in order, where the data ends (also when the file holds less than its data chunk
// claims, or its rate gives blocks of fractional frames), restarts, Pause and Stop in both
// buffering modes, refused files and starts shown as the main window's warnings. Monitoring: the
// block step's decision; then, in loopback, a tone played into the sound output (whose monitor is
// the default input) recorded through the Monitor dialog and the Start, Pause and Stop commands.
// Devices that fail mid-run: buffers that never come back, the sound server stopped
// (SoundServerLoss*, run by tests/sound_server.sh with a server of its own), a file cut while it
// streams. A run over damaged data says so at its end. Every wait is for a message or a state, bounded.
#include <gtest/gtest.h>

#include "audio/monitor.h"
#include "resources/resource.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr DWORD kBound = 15000;

// 11025 Hz 8-bit mono at time resolution 512: one byte per sample, 512-byte blocks of 46 ms.
constexpr uint32_t kRate = 11025;
constexpr size_t kBlock = 512;

// A mono 8-bit file of `count` patterned bytes; its data chunk claims `claimed` bytes (0: those).
// DataOf gives back the bytes of its data chunk.
std::vector<uint8_t> MonoFile(size_t count, uint32_t rate = kRate, size_t claimed = 0)
{
    std::vector<uint8_t> data(count);
    for (size_t i = 0; i < count; ++i) data[i] = uint8_t(128 + int(i * 7 % 61) - 30);
    return RiffFile({{"fmt ", FmtBody(1, 1, rate, 8)}, {"data", data, claimed ? int32_t(claimed) : -1}});
}
std::vector<uint8_t> DataOf(const std::vector<uint8_t>& file) { return {file.begin() + 44, file.end()}; }

// What a finished, stopped, refused or failed run leaves: nothing open, no run buffers, idle
// controls.
void ExpectIdle(const MainWindow& app)
{
    EXPECT_FALSE(app.Running());
    EXPECT_FALSE(app.reader.IsOpen());
    EXPECT_FALSE(app.playback.DeviceOpen());
    EXPECT_FALSE(app.monitor.DeviceOpen());
    for (int slot : {0, 1}) EXPECT_EQ(nullptr, app.playback.Block(slot)) << "run buffer " << slot;
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    EXPECT_FALSE(IsWindowEnabled(app.stopButton));
}

// What a refused start or a failed device shows: `count` warnings the main window owns, each
// saying `text` (the capture then starts afresh); and everything released.
void ExpectWarningsAndIdle(const MainWindow& app, UINT text, size_t count = 1)
{
    ASSERT_EQ(count, CapturedBoxes().size());
    for (const CapturedBox& box : CapturedBoxes()) {
        EXPECT_EQ(Text(text), box.text);
        EXPECT_EQ(app.window, box.owner);
        EXPECT_TRUE(box.warningIcon);
    }
    BeginBoxCapture();
    ExpectIdle(app);
}

// The real main window; any message box it shows is captured (and fails the test unless expected).
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BeginBoxCapture();
        ASSERT_NE(nullptr, app = OpenMainWindow());
    }
    void TearDown() override
    {
        PlaySoundA(nullptr, nullptr, 0);
        CloseMainWindow();   // stops a run still going
        EXPECT_TRUE(EndBoxCapture().empty());
    }
    // Start; whether two buffers then come back.
    bool StartAndAwaitTwoBuffers()
    {
        log.clear();
        Command(IDM_START);
        return PumpWaveMessages([&] { return log.size() >= 2; }, kBound, &log);
    }
    MainWindow* app = nullptr;
    WaveLog log;
};

class PlaybackTest : public WindowTest {
protected:
    // Makes the file the current source as Open does (blocks of 512); true when it opened.
    bool Choose(const std::vector<uint8_t>& file, bool onMemory = false)
    {
        std::snprintf(app->fileName, sizeof app->fileName, "%s", WriteTempFile("playback.wav", file).c_str());
        app->settings.timeResolution = 512;
        app->settings.onMemory = onMemory;
        return SelectFileSource(*app);
    }
    // Starts, plays to the end and returns every byte queued, in queue order. `midRun`, when
    // given, runs after the second done message.
    std::vector<uint8_t> PlayToEnd(const std::function<void()>& midRun = nullptr)
    {
        log.clear();
        Command(IDM_START);
        std::vector<uint8_t> queued = QueuedBytes(app->headers[0]), second = QueuedBytes(app->headers[1]);
        queued.insert(queued.end(), second.begin(), second.end());
        if (midRun) {
            EXPECT_TRUE(PumpWaveMessages([&] { return log.size() >= 2; }, kBound, &log));
            midRun();
        }
        EXPECT_TRUE(PumpUntilRunEnds(kBound, &log)) << "the run did not end";
        for (const WaveMessage& done : log) queued.insert(queued.end(), done.queued.begin(), done.queued.end());
        return queued;
    }
};

// One block ends at the first done message, two at the second, seven and a half after eight; every
// byte is queued once, in file order, and Start after the end plays it all again. A data chunk
// claiming more than the file holds queues only what the reads bring; a read of nothing ends it.
// An 8000 Hz file streams in blocks of the whole frames of 8000 x 512 / 11025 = 371.5 samples:
// eleven blocks, the last of 290 bytes. A file another program cuts to `cutTo` bytes of data while
// its first run streams ends where its data now ends, nothing played twice.
TEST_F(PlaybackTest, EachRunEndsAtTheDoneMessageAfterItsLastBlockAndStartPlaysItAgain)
{
    const struct { size_t held, claimed, doneMessages; uint32_t rate = kRate; size_t cutTo = 0; } cases[] = {
        {300, 0, 1}, {2 * kBlock, 0, 2}, {7 * kBlock + kBlock / 2, 0, 8}, {2 * kBlock + kBlock / 2, 6 * kBlock, 3},
        {3 * kBlock, 6 * kBlock, 3}, {4000, 0, 11, 8000}, {40 * kBlock, 0, 11, kRate, 10 * kBlock + 100}};
    for (const auto& c : cases) {
        ASSERT_TRUE(Choose(MonoFile(c.held, c.rate, c.claimed)));
        const std::function<void()> cut = [&] {
            std::error_code error;
            std::filesystem::resize_file(app->fileName, 44 + c.cutTo, error);
            EXPECT_FALSE(error) << error.message();
        };
        for (int pass = 0; pass < 2; ++pass) {
            SCOPED_TRACE(testing::Message() << c.held << " bytes of " << c.claimed << " at " << c.rate << " Hz, pass " << pass);
            EXPECT_EQ(DataOf(MonoFile(c.cutTo ? c.cutTo : c.held, c.rate)), PlayToEnd(c.cutTo && pass == 0 ? cut : nullptr));
            EXPECT_EQ(c.doneMessages, log.size());
            ExpectIdle(*app);
        }
    }
}

// Pause, then Stop: device, file and run buffers are released at once, and the done messages of the
// reset device change nothing. On-memory, the whole loaded data is analysed although only its quiet
// start was heard: its full-scale end lights the last segment. The next Start begins unpaused.
TEST_F(PlaybackTest, StopReleasesEverythingAndOnMemoryAnalysesAllTheLoadedData)
{
    std::vector<int> samples = Sine(4, 440, kRate, 3 * int(kRate));
    for (size_t i = samples.size() - kRate / 2; i < samples.size(); ++i) samples[i] = (i % 2) ? 127 : -128;
    for (bool onMemory : {false, true}) {
        SCOPED_TRACE(onMemory ? "on-memory" : "streaming");
        ASSERT_TRUE(Choose(PcmFile(1, kRate, 8, Samples8(samples)), onMemory));
        log.clear();
        Command(IDM_START);
        EXPECT_FALSE(app->playback.Paused());
        ASSERT_TRUE(PumpWaveMessages([&] { return log.size() >= (onMemory ? 0u : 2u); }, kBound, &log)) << "paused?";
        Command(IDM_PAUSE);
        Command(IDM_STOP);
        ExpectIdle(*app);
        EXPECT_EQ(onMemory, SegmentLit(app->window, app->layout, 16));   // lit at full scale only
        const size_t logged = log.size();
        EXPECT_TRUE(PumpWaveMessages([&] { return log.size() >= logged + (onMemory ? 1 : 2); }, kBound, &log));
        for (size_t i = logged; i < log.size(); ++i) EXPECT_TRUE(log[i].queued.empty()) << i;
    }
}

// Refused files and starts say why in a warning the main window owns, and release everything: a
// file the reader refuses (again at Start), a first block the file cannot fill, an on-memory block
// no 32-bit process gets in one piece; the next Start of a good file plays it under the on-memory
// option.
TEST_F(PlaybackTest, RefusedStartsSayWhyAndReleaseTheRun)
{
    constexpr int32_t kHugeBlockMB = 2047;
    app->settings.memorySizeMB = kHugeBlockMB;
    const std::vector<uint8_t> good = MonoFile(4000);
    const struct { std::vector<uint8_t> file; bool onMemory; UINT text; size_t boxes; } refused[] = {
        {RiffFile({{"fmt ", FmtBody(0x22, 1, kRate, 8)}, {"data", DataOf(good)}}), false, IDS_NOT_PCM, 2},   // open, Start
        {MonoFile(300, kRate, 6 * kBlock), false, IDS_READ_FAILED, 1},
        {MonoFile(300, kRate, kHugeBlockMB * kMegabyte), true, IDS_NO_BLOCK_MEMORY, 1}};
    // A 64-bit test build (on hosts that cannot run 32-bit code) gets the huge block: its row
    // proves something only in the 32-bit program.
    const bool hugeBlockFails = sizeof(void*) == 4;
    for (const auto& r : refused) {
        if (r.text == IDS_NO_BLOCK_MEMORY && !hugeBlockFails) continue;
        SCOPED_TRACE(r.text);
        ASSERT_NE("", Text(r.text));
        (void)Choose(r.file, r.onMemory);
        Command(IDM_START);
        ExpectWarningsAndIdle(*app, r.text, r.boxes);
    }
    app->settings.memorySizeMB = 1;
    ASSERT_TRUE(Choose(good, true));
    EXPECT_EQ(DataOf(good), PlayToEnd());
    EXPECT_EQ(1u, log.size());
    ExpectIdle(*app);
}

// After a returned buffer of 4096: on-memory ends when it is full, also when a paused piece filled its
// rest (queuing nothing would never come back); a partial paused piece and streaming go on; Stop ends,
// unless the other buffer came back from Stop's reset holding data, which is still to be analysed.
TEST(MonitorBlockStep, EndsAFullOrStoppedRecordingAndRequeuesOtherwise)
{
    using S = MonitorBlockStep;
    const struct { BufferingMode mode; bool paused, stop, dataFollows; uint32_t recorded; S expected; } cases[] = {
        {kOnMemoryMode, false, false, false, 4096, S::kEndRecording}, {kOnMemoryMode, true, false, false, 4096, S::kEndRecording},
        {kOnMemoryMode, true, false, false, 1000, S::kRequeue}, {kStreamingMode, false, false, false, 4096, S::kRequeue},
        {kStreamingMode, false, true, false, 10, S::kEndAfterStop}, {kStreamingMode, false, true, true, 4096, S::kAwaitAfterStop}};
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, DecideMonitorBlockStep(c.mode, c.paused, c.stop, c.dataFollows, 4096, c.recorded)) << &c - cases;
}

class LiveMonitor : public WindowTest {
protected:
    // A 1000 Hz tone at 0.4 of full scale (`sound`; default: on every channel) plays into the sound
    // output, which the input records; the monitor format is chosen in the dialog, the linear
    // spectrum view (FFT length 4096), and Start. An on-memory run gets a buffer of
    // `onMemoryBytes` (seconds instead of megabytes).
    void Start(uint32_t rate, uint16_t bits, uint32_t onMemoryBytes = 0, uint16_t channels = 1,
               const std::vector<uint8_t>* sound = nullptr)
    {
        const std::vector<uint8_t>& played = sound ? *sound : tone;
        ASSERT_TRUE(PlaySoundA(reinterpret_cast<LPCSTR>(played.data()), nullptr, SND_MEMORY | SND_ASYNC));
        app->settings.onMemory = onMemoryBytes != 0;
        ASSERT_TRUE(ChooseMonitorFormat(rate, bits, channels)) << "the Monitor dialog did not show";
        ASSERT_EQ(rate * bits / 8 * channels, app->format.avgBytesPerSec) << "the dialog's choice is the source's format";
        if (onMemoryBytes) {
            ASSERT_EQ(MMRESULT(MMSYSERR_NOERROR),
                      app->monitor.OpenDevice(app->settings.monitor, app->window, kOnMemoryMode, onMemoryBytes));
        }
        Command(view);
        log.clear();
        app->peakFrequency = 0.0;
        Command(IDM_START);
        ASSERT_TRUE(app->Running());
    }
    // The tone found within one bin (FFT length 4096), or within the resolution of a shorter
    // recording; its level lights 7 segments at every width (read on the 16-bit scale), give or
    // take one for the ends of the recording.
    void ExpectTone(uint32_t rate, uint32_t recordedFrames = 4096)
    {
        EXPECT_NEAR(1000.0, app->peakFrequency, double(rate) / std::min<uint32_t>(recordedFrames, 4096));
        EXPECT_TRUE(SegmentLit(app->window, app->layout, 5));
        EXPECT_FALSE(SegmentLit(app->window, app->layout, 8));
    }
    // A few buffers, the newest recorded while the tone played (the output may start late): the
    // tone's bin found, within a bound.
    bool AwaitTone(uint32_t rate)
    {
        return PumpWaveMessages([&] { return log.size() >= 6 && std::abs(app->peakFrequency - 1000.0) <= rate / 4096.0; },
                                kBound, &log);
    }
    static std::vector<int> ToneSamples() { return Sine(0.4 * 32767, 1000.0, 44100, 30 * 44100); }
    const std::vector<uint8_t> tone = PcmFile(1, 44100, 16, Samples16(ToneSamples()));
    int view = IDM_VIEW_LINEAR_SPECTRUM;
};

// Streaming at each format the mask offers and at today's usual ones: the buffers come back full
// and are all counted, the tone is found within one bin. Stop then hands back the buffer being filled,
// partly, and the other one, empty: the first is analysed and counted, the second changes nothing (the
// tone stays). When a full buffer was already on its way back, the partial one after it is counted too.
TEST_F(LiveMonitor, StreamingAtEachOfferedFormatFindsTheToneAndStopCountsThePartialBuffer)
{
    MonitorFormat offered[kMaxOfferedMonitorFormats];
    const int count = OfferedMonitorFormats(app->inputFormats, offered, kMaxOfferedMonitorFormats);
    ASSERT_GT(count, 0) << "the test needs an input device";
    std::vector<MonitorFormat> formats(offered, offered + count);
    // Today's sound inputs too: 48 kHz, and 96 kHz stereo at 24 bit (which lights the segments the
    // 16-bit samples light: read on the 16-bit scale).
    formats.insert(formats.end(), {{48000, 1, 16}, {96000, 2, 24}});
    app->settings.fftExponent = 12;
    for (const MonitorFormat& f : formats) {
        SCOPED_TRACE(testing::Message() << f.rate << " Hz " << f.bits << " bit " << f.channels << " ch");
        ASSERT_NO_FATAL_FAILURE(Start(f.rate, f.bits, 0, f.channels));
        ASSERT_TRUE(AwaitTone(f.rate));
        for (const WaveMessage& message : log) EXPECT_EQ(app->monitor.BlockSize(), message.bytesRecorded);
        ExpectTone(f.rate);
        ASSERT_TRUE(PumpWaveMessages(RecordingBufferHasData, kBound, &log));
        const size_t logged = log.size();
        Command(IDM_STOP);
        ASSERT_TRUE(PumpWaveMessages([&] { return log.size() >= logged + 2; }, kBound, &log));
        EXPECT_EQ(RecordedBytes(log), app->monitor.RecordedBytes());
        EXPECT_FALSE(app->monitor.DeviceOpen());
        // The empty buffer was not analysed over the partial one. The device may have handed
        // back the half-full buffer whole and begun the next before Stop came: the last buffer
        // analysed can be short.
        uint32_t lastBytes = 0;
        for (size_t i = logged; i < log.size(); ++i) lastBytes = log[i].bytesRecorded ? log[i].bytesRecorded : lastBytes;
        ExpectTone(f.rate, std::max<uint32_t>(lastBytes / (f.channels * f.bits / 8), 1));
    }
}

// On-memory with room for two seconds, in one buffer: it fills and the run ends by itself, the
// device closed. (Pause in pieces is left to DecideMonitorBlockStep's table.)
TEST_F(LiveMonitor, OnMemoryEndsByItselfWhenTheBufferIsFull)
{
    const uint32_t capacity = 22050;
    app->settings.fftExponent = 12;
    ASSERT_NO_FATAL_FAILURE(Start(11025, 8, capacity));
    EXPECT_EQ(0u, app->headers[1]->dwFlags & WHDR_INQUEUE) << "one buffer holds the whole recording";
    ASSERT_TRUE(PumpUntilRunEnds(kBound, &log));
    EXPECT_EQ(capacity, RecordedBytes(log));
    EXPECT_FALSE(app->monitor.DeviceOpen());
    ExpectTone(11025);
}

// The input is stereo: a tone in the left channel only lights LEFT and leaves RIGHT dark.
TEST_F(LiveMonitor, AToneInTheLeftChannelOnlyLightsLeftAndLeavesRightDark)
{
    std::vector<int> leftOnly;
    for (int sample : ToneSamples()) leftOnly.insert(leftOnly.end(), {sample, 0});
    const std::vector<uint8_t> sound = PcmFile(2, 44100, 16, Samples16(leftOnly));
    app->settings.fftExponent = 12;
    ASSERT_NO_FATAL_FAILURE(Start(44100, 16, 0, 2, &sound));
    ASSERT_TRUE(AwaitTone(44100));
    EXPECT_TRUE(SegmentLit(app->window, app->layout, 5, kFirstBarRow));
    EXPECT_FALSE(SegmentLit(app->window, app->layout, 0, kRightBarRow));
}

// Stop coming while a full buffer's message still waits and the next buffer has begun to fill: the
// reset hands that one back partly filled, and it is analysed and counted after the full one.
TEST_F(LiveMonitor, StopWhileAFullBufferWaitsCountsThePartialOneAfterIt)
{
    ASSERT_NO_FATAL_FAILURE(Start(44100, 16));
    ASSERT_TRUE(PumpWaveMessages([&] { return log.size() >= 2; }, kBound, &log));
    const auto fullWaitsAndNextFills = [&] {
        for (int slot : {0, 1}) {
            const WAVEHDR& back = *app->headers[slot], &next = *app->headers[1 - slot];
            if ((back.dwFlags & WHDR_DONE) && (back.dwFlags & WHDR_PREPARED) && next.dwBytesRecorded > 0) return true;
        }
        return false;
    };
    const DWORD start = GetTickCount();
    while (!fullWaitsAndNextFills() && GetTickCount() - start < kBound) Sleep(1);   // messages left queued
    ASSERT_TRUE(fullWaitsAndNextFills());
    const size_t logged = log.size();
    Command(IDM_STOP);
    ASSERT_TRUE(PumpWaveMessages([&] { return log.size() >= logged + 2; }, kBound, &log));
    EXPECT_EQ(app->monitor.BlockSize(), log[logged].bytesRecorded);
    EXPECT_GT(log[logged + 1].bytesRecorded, 0u);
    EXPECT_EQ(RecordedBytes(log), app->monitor.RecordedBytes());
    EXPECT_FALSE(app->monitor.DeviceOpen());
}

// The heaviest monitoring (96 kHz 24-bit stereo, FFT length 65536, the logarithmic view, blocks of
// 46 ms) loses nothing: every buffer comes back full, and at Stop the bytes analysed match what
// the device says it recorded, within one buffer. (Its timing is bench_monitor's.)
TEST_F(LiveMonitor, At96kHz24BitStereoEveryRecordedByteIsAnalysed)
{
    app->settings.fftExponent = 16;
    app->settings.timeResolution = 512;
    view = IDM_VIEW_LOG_SPECTRUM;
    ASSERT_NO_FATAL_FAILURE(Start(96000, 24, 0, 2));
    const uint32_t block = app->monitor.BlockSize();
    EXPECT_EQ(4458u * 6, block) << "whole frames of 96000 x 512 / 11025";
    ASSERT_TRUE(PumpWaveMessages([&] { return log.size() >= 40; }, kBound, &log));
    for (const WaveMessage& message : log) EXPECT_EQ(block, message.bytesRecorded);
    Command(IDM_STOP);
    ASSERT_TRUE(PumpUntilRunEnds(kBound, &log));
    EXPECT_EQ(RecordedBytes(log), app->monitor.RecordedBytes());
    EXPECT_NEAR(double(app->monitor.DevicePositionAtStop()), double(app->monitor.RecordedBytes()), double(block));
}

// Start sent by another thread (or program) the moment the button is enabled reaches the window
// while the Monitor command still waits on the input device's open: it is handled once the device
// is open, so the run records on rather than losing its device under it.
DWORD WINAPI SendStartWhenEnabled(void* context)
{
    const MainWindow& window = *static_cast<const MainWindow*>(context);
    const DWORD begun = GetTickCount();
    while (!IsWindowEnabled(window.playButton))
        if (GetTickCount() - begun > kBound) return 1;
    SendMessageA(window.window, WM_COMMAND, IDM_START, 0);
    return 0;
}

TEST_F(LiveMonitor, StartSentWhileTheInputOpensIsHandledOnceItIsOpen)
{
    ASSERT_TRUE(PlaySoundA(reinterpret_cast<LPCSTR>(tone.data()), nullptr, SND_MEMORY | SND_ASYNC));
    HANDLE sender = CreateThread(nullptr, 0, SendStartWhenEnabled, app, 0, nullptr);
    ASSERT_TRUE(sender);
    ASSERT_TRUE(ChooseMonitorFormat(44100, 16));
    ASSERT_TRUE(PumpWaveMessages([&] { return log.size() >= 6; }, kBound, &log)) << "the recording stopped";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sender, kBound));
    CloseHandle(sender);
    for (const WaveMessage& message : log) EXPECT_EQ(app->monitor.BlockSize(), message.bytesRecorded);
    Command(IDM_STOP);
    EXPECT_TRUE(PumpUntilRunEnds(kBound, &log));
}

// ---- Devices that fail mid-run ----

TEST(ReturnBound, IsFourTimesTheBuffersPlayingTimeAndASecondAndTwoMoreForTheFirst)
{
    const struct { uint32_t bytes, perSecond; bool first; DWORD expected; } cases[] = {
        // 512 bytes at 11025 bytes/s play 46.4 ms, taken as 47.
        {512, 11025, false, 1188}, {512, 11025, true, 3188}, {0, 11025, false, 1000},
        {2646000, 44100, false, 241000}, {512, 0, false, 0x7FFFFFFF}, {0xFFFFFFFF, 1, false, 0x7FFFFFFF}};
    for (const auto& c : cases) EXPECT_EQ(c.expected, ReturnBoundMs(c.bytes, c.perSecond, c.first)) << &c - cases;
}

// A buffer that comes back while paused restarts the wait, which stays paused until Continue;
// the tick count wrapping meanwhile changes nothing.
TEST(ReturnClock, LeavesTimeSpentPausedOutAcrossTheTickWrap)
{
    ReturnClock clock;
    clock.Restart(0xFFFFF000, 1000);
    clock.Pause(0xFFFFF100);
    clock.Restart(0xFFFFFF00, 1000);
    EXPECT_FALSE(clock.Overdue(0x2000));
    clock.Continue(0x2000);
    EXPECT_FALSE(clock.Overdue(0x2000 + 1000));
    EXPECT_TRUE(clock.Overdue(0x2000 + 1001));
}

// Pumps this thread's messages but drops the test window's wave messages, as a device that
// swallowed its headers would, until the run ends; returns whether it ended.
bool SwallowWaveMessagesUntilRunEnds()
{
    return PumpUntil([] { return !TestWindow()->Running(); }, kBound, [](MSG& message) {
        const bool wave = message.message == MM_WOM_DONE || message.message == MM_WIM_DATA;
        if (!wave || message.hwnd != TestWindow()->window) DispatchMessageA(&message);
    });
}

// Runs whose device fails, of either source: the file (40 blocks) played, or the monitor
// recording at 11025 Hz 8-bit.
class FailingDevice : public PlaybackTest {
protected:
    bool ChooseSource(bool monitor) { return monitor ? ChooseMonitorFormat(11025, 8) : Choose(file); }
    // The next Start runs: every byte of the file played, or two buffers recorded.
    bool RunsAgain(bool monitor) { return monitor ? StartAndAwaitTwoBuffers() : PlayToEnd() == DataOf(file); }
    const std::vector<uint8_t> file = MonoFile(40 * kBlock);
};

// Not before the first buffer's bound, the run ends with the device message and releases
// everything; the device being well, the next Start runs.
TEST_F(FailingDevice, BuffersThatNeverComeBackEndTheRunAfterTheirBoundAndTheNextStartRuns)
{
    for (bool monitor : {false, true}) {
        SCOPED_TRACE(monitor ? "monitor" : "playback");
        ASSERT_TRUE(ChooseSource(monitor));
        const DWORD start = GetTickCount();
        Command(IDM_START);
        ASSERT_TRUE(SwallowWaveMessagesUntilRunEnds());
        EXPECT_GE(GetTickCount() - start, ReturnBoundMs(kBlock, kRate, true));   // the monitor's is longer
        ExpectWarningsAndIdle(*app, IDS_DEVICE_FAILED);
        EXPECT_TRUE(RunsAgain(monitor));
    }
}

// A paused device rightly returns nothing: while paused the wait is never overdue, after
// Continue it counts again.
TEST_F(PlaybackTest, TheWaitForABufferStopsWhilePaused)
{
    ASSERT_TRUE(Choose(MonoFile(4 * kBlock)));
    Command(IDM_START);
    Command(IDM_PAUSE);
    const DWORD muchLater = GetTickCount() + 10 * ReturnBoundMs(kBlock, kRate, true);
    EXPECT_FALSE(app->playback.ReturnOverdue(muchLater));
    Command(IDM_PAUSE);
    EXPECT_TRUE(app->playback.ReturnOverdue(muchLater));
}

// A FLAC file (made by the codec files' fixture) with a byte flipped inside a frame: each run over
// it plays to its end and then says once, in a box the main window owns, that damaged data was
// skipped.
TEST_F(PlaybackTest, EachRunOverDamagedDataSaysOnceAtItsEndThatItWasSkipped)
{
    std::ifstream in(ProgramFolder() + "codec_files\\short.flac", std::ios::binary);
    std::vector<uint8_t> flac{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(flac.size(), 1000u);
    flac[flac.size() / 2] ^= 0x5A;
    ASSERT_TRUE(Choose(flac));
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_FALSE(PlayToEnd().empty());
        ASSERT_EQ(1u, CapturedBoxes().size());
        EXPECT_EQ(Text(IDS_DAMAGED_DATA), CapturedBoxes()[0].text);
        EXPECT_EQ(app->window, CapturedBoxes()[0].owner);
        BeginBoxCapture();
        ExpectIdle(*app);
    }
}

// ---- The sound server goes away (tests/sound_server.sh gives these tests a server of their own) ----

// Stops or starts again the test's own sound server through its control script, pumping
// meanwhile; false when there is none or it did not answer. Wine starts a Unix program as a Unix
// process and gives back no handle: the script leaves a marker file when it is done.
bool SoundServer(const std::string& action)
{
    char folder[MAX_PATH];
    if (!GetEnvironmentVariableA("TRILVO_SOUND_SERVER", folder, sizeof folder)) return false;
    const std::string marker = std::string("Z:") + folder + "/" + action + ".done";   // Wine takes '/' too
    DeleteFileA(marker.c_str());
    const std::string command = std::string("Z:\\bin\\bash ") + folder + "/control " + action;
    return WinExec(command.c_str(), SW_HIDE) > 31 &&
           PumpUntil([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, kBound);
}

class SoundServerLoss : public FailingDevice {};

TEST_F(SoundServerLoss, EndsTheRunWithTheDeviceMessageAndTheNextStartRunsOnceTheServerIsBack)
{
    for (bool monitor : {false, true}) {
        SCOPED_TRACE(monitor ? "monitor" : "playback");
        ASSERT_TRUE(ChooseSource(monitor));
        ASSERT_TRUE(StartAndAwaitTwoBuffers());
        ASSERT_TRUE(SoundServer("stop"));
        EXPECT_TRUE(PumpUntilRunEnds(kBound));
        ExpectWarningsAndIdle(*app, IDS_DEVICE_FAILED);
        ASSERT_TRUE(SoundServer("start"));
        EXPECT_TRUE(RunsAgain(monitor));
    }
}

}  // namespace
