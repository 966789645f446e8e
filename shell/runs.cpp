// Runs as the user sees them: Start, the engines' block messages turned into drawing, Pause,
// Stop and the end of a run (opening the sources is in sources.cpp). The engines report results;
// the message boxes are shown here and the control states chosen.
#include "shell/mainwindow.h"
#include "shell/messages.h"
#include "shell/windowdc.h"
#include "display/display.h"
#include "resources/resource.h"

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr uint32_t kKilobyte = 1024;
constexpr DWORD kMillisecondsPerSecond = 1000;

void DrawFrame(MainWindow& app)
{
    HDC dc = GetDC(app.window);
    DrawDisplayFrame(dc, app.layout, app.settings, app.format);
    ReleaseDC(app.window, dc);
    ForgetChartRows(app);
}

// Analyses `bytes` bytes of `block`, which starts `startByte` bytes into the source, draws the
// result and keeps the block for the export.
void ShowBlock(MainWindow& app, HDC dc, const uint8_t* block, int32_t bytes, uint64_t startByte)
{
    const BlockResult result = AnalyseBlock(block, bytes, app.format, app.settings, app.plan, app.peakFrequency);
    if (result.hasPeak) app.peakFrequency = result.peakFrequency;
    if (result.analysed) app.keptBlock.Keep(block, bytes, startByte, app.format, app.settings);
    app.cursorMemory.Keep(result, app.plan.Re(), app.plan.Im(), block, bytes, app.format, app.settings,
                          app.keptBlock.StartSeconds());
    DrawBlockResult(dc, app.layout, app.settings, app.format, result);
    RefreshReadout(app, dc);
}

// Where a streamed block starts in the source: the step's position already counts it.
uint64_t BlockStart(const BlockStep& step)
{
    return step.positionBytes - uint64_t(step.blockBytes);
}

// An on-memory run analyses its whole buffer in the cleared level panel, labels redrawn after.
void ShowWholeBuffer(MainWindow& app, HDC dc, const uint8_t* block, int32_t bytes)
{
    ClearLevelPanel(app, dc);
    ShowBlock(app, dc, block, bytes, 0);
    DrawChannelLabels(app, dc);
}

// Position line of `bytes` of data at the source's byte rate.
void DrawBytePosition(MainWindow& app, HDC dc, uint64_t bytes)
{
    const uint32_t rate = app.format.avgBytesPerSec;
    DrawPositionLine(app, dc, uint32_t(bytes / kKilobyte), uint32_t(rate ? bytes / rate : 0));
}

// A source that skipped damaged data says so once, after its run.
void SayDamageSkipped(MainWindow& app)
{
    if (!app.reader.SkippedDamage()) return;
    app.reader.ForgetSkippedDamage();
    ShowMessage(app.window, IDS_DAMAGED_DATA);
}

void StartElapsedClock(MainWindow& app)
{
    SetTimer(app.window, kElapsedTimerId, kElapsedTimerPeriodMs, nullptr);
    app.clock.startTick = GetTickCount();
}

void StartWatchdog(MainWindow& app) { SetTimer(app.window, kWatchdogTimerId, kWatchdogPeriodMs, nullptr); }

// A run is over (ended by itself or stopped): controls back to idle, focus on the play button.
void ShowRunEnded(MainWindow& app)
{
    KillTimer(app.window, kWatchdogTimerId);
    SetFocus(app.playButton);
    ShowIdle(app);
}

// The device failed or stopped answering: the run is taken back and released at once (device,
// file, run memory), the controls return to idle, and only then is the user told: the message
// box's own loop dispatches timers, which must find nothing left to fail.
void FailRun(MainWindow& app, UINT textId)
{
    KillTimer(app.window, kElapsedTimerId);
    {
        DeviceCallScope call(app);
        app.playback.Abort();
        app.monitor.Abort();
    }
    ShowRunEnded(app);
    ShowMessage(app.window, textId);
}

// The analysis plan, and the room for the block the export and the cursor readout keep, fit the current FFT length
// before any run starts.
bool PreparePlan(MainWindow& app)
{
    if (app.plan.Prepare(app.settings.fftExponent) && app.keptBlock.Prepare(app.settings.fftExponent, app.format) &&
        app.cursorMemory.Prepare(app.settings.fftExponent))
        return true;
    ShowMessage(app.window, IDS_NO_ANALYSIS_MEMORY);
    return false;
}

void StartPlayback(MainWindow& app)
{
    if (!app.playback.DeviceOpen() && !OpenFileSource(app)) return;
    if (!PreparePlan(app)) return;
    RunResult result = app.playback.AllocateRun(app.reader);
    if (result != RunResult::kOk) {
        ShowMessage(app.window, MessageIdOf(result));
        return;
    }
    const bool onMemory = app.playback.Mode() == kOnMemoryMode;
    if (onMemory) {
        HDC dc = GetDC(app.window);
        ClearLevelPanel(app, dc);
        DrawLevelPanelNotice(app, dc, LoadedText(IDS_LOADING_NOTICE));
        ReleaseDC(app.window, dc);
    }
    // The whole data is read at once in on-memory mode: the hourglass shows meanwhile.
    HCURSOR previous = onMemory ? SetCursor(LoadCursorA(nullptr, IDC_WAIT)) : nullptr;
    result = app.playback.BeginRun(app.headers);
    if (onMemory) SetCursor(previous);
    if (result != RunResult::kOk) {
        ShowMessage(app.window, MessageIdOf(result));
        ShowIdle(app);
        return;
    }
    ShowRunning(app);
    StartWatchdog(app);
    if (onMemory) {
        DrawOnMemoryNotice(app);
        DrawFrame(app);
        StartElapsedClock(app);
        return;
    }
    // Streaming: the empty frame, then block 0 analysed (block 1 plays without being analysed).
    DrawFrame(app);
    WindowDc dc(app.window);
    SetBkColor(dc, kWhite);
    ShowBlock(app, dc, app.playback.Block(0), app.playback.FirstBlockBytes(), 0);
}

void StartMonitor(MainWindow& app)
{
    if (!app.monitor.DeviceOpen() && !OpenMonitorSource(app)) return;
    if (!PreparePlan(app)) return;
    const RunResult result = app.monitor.BeginRun(app.headers);
    if (result != RunResult::kOk) {
        ShowMessage(app.window, MessageIdOf(result));
        ShowIdle(app);
        return;
    }
    ShowRunning(app);
    StartWatchdog(app);
    if (app.monitor.Mode() == kOnMemoryMode) {
        DrawOnMemoryNotice(app);
        StartElapsedClock(app);
    }
    DrawFrame(app);
    if (!app.monitor.StartRecording()) FailRun(app, IDS_DEVICE_FAILED);
}

void EndPlayback(MainWindow& app)
{
    if (app.playback.Mode() == kOnMemoryMode) KillTimer(app.window, kElapsedTimerId);
    {
        DeviceCallScope call(app);
        app.playback.FinishRun();
    }
    ShowRunEnded(app);
    SayDamageSkipped(app);
}
}  // namespace

// Without wave headers (WM_CREATE could not get them) no run can start; a second start over a
// running one is refused.
void StartRun(MainWindow& app)
{
    if (app.sourceKind == SourceKind::kNone || !WaveHeadersReady(app) || app.Running()) return;
    if (app.sourceKind == SourceKind::kFile) StartPlayback(app);
    else StartMonitor(app);
}

void StopRun(MainWindow& app)
{
    if (app.sourceKind == SourceKind::kMonitor) {
        if (!app.monitor.Running()) return;
        ShowStopping(app);
        DeviceCallScope call(app);
        app.monitor.Stop();   // the returned buffers end the run
        return;
    }
    if (!app.playback.Running()) return;
    const bool onMemory = app.playback.Mode() == kOnMemoryMode;
    if (onMemory) KillTimer(app.window, kElapsedTimerId);
    KillTimer(app.window, kWatchdogTimerId);
    {
        DeviceCallScope call(app);
        app.playback.Stop();
    }
    if (onMemory) {
        // The whole loaded data is analysed, however much of it was heard.
        WindowDc dc(app.window);
        ShowWholeBuffer(app, dc, app.playback.Block(0), app.playback.LoadedBytes());
    }
    app.playback.ReleaseRun();
    ShowIdle(app);
    SetFocus(app.playButton);
    SayDamageSkipped(app);
}

// Pause and Continue act on a run only; outside one the command is ignored.
void TogglePause(MainWindow& app)
{
    if (!app.Running()) return;
    const bool monitor = app.sourceKind == SourceKind::kMonitor;
    const bool paused = monitor ? app.monitor.Paused() : app.playback.Paused();
    const bool onMemory = (monitor ? app.monitor.Mode() : app.playback.Mode()) == kOnMemoryMode;
    if (paused) {
        if (onMemory) {
            DrawOnMemoryNotice(app);
            SetTimer(app.window, kElapsedTimerId, kElapsedTimerPeriodMs, nullptr);
            app.clock.startTick = GetTickCount() + app.clock.startTick - app.clock.pauseTick;
        }
        if (monitor ? app.monitor.Continue() : app.playback.Continue()) ShowRunning(app);
        else FailRun(app, IDS_DEVICE_FAILED);
        return;
    }
    if (onMemory) {
        KillTimer(app.window, kElapsedTimerId);
        app.clock.pauseTick = GetTickCount();
    }
    if (monitor ? app.monitor.Pause() : app.playback.Pause()) ShowPaused(app);
    else FailRun(app, IDS_DEVICE_FAILED);
}

void OnOutputDone(MainWindow& app, const WAVEHDR* header)
{
    const BlockStep step = app.playback.OnBufferDone(header);
    if (!step.handled) return;
    {
        WindowDc dc(app.window);
        DrawBytePosition(app, dc, step.positionBytes);
        if (app.playback.Mode() == kOnMemoryMode) ShowWholeBuffer(app, dc, step.block, step.blockBytes);
        else if (step.block) ShowBlock(app, dc, step.block, step.blockBytes, BlockStart(step));
    }
    if (step.failure != RunResult::kOk) {
        // The device refused a buffer: the run cannot go on.
        StopRun(app);
        ShowMessage(app.window, MessageIdOf(step.failure));
        return;
    }
    if (step.ended) EndPlayback(app);
}

void OnInputData(MainWindow& app, const WAVEHDR* header)
{
    const bool onMemory = app.monitor.Mode() == kOnMemoryMode;
    const BlockStep step = app.monitor.OnBufferData(header);
    if (!step.handled) return;
    if (onMemory) KillTimer(app.window, kElapsedTimerId);
    {
        WindowDc dc(app.window);
        if (onMemory) ClearLevelPanel(app, dc);
        ShowBlock(app, dc, step.block, step.blockBytes, BlockStart(step));
        if (onMemory) {
            DrawChannelLabels(app, dc);
            SetTextColor(dc, kBlack);
            SetBkMode(dc, OPAQUE);
        }
        DrawBytePosition(app, dc, step.positionBytes);   // the recorded count
    }
    const MonitorAdvance advance = [&] {
        DeviceCallScope call(app);
        return app.monitor.Advance(step);
    }();
    switch (advance) {
    case MonitorAdvance::kEnded: ShowRunEnded(app); break;
    case MonitorAdvance::kFailed: FailRun(app, IDS_HEADER_FAILED); break;
    case MonitorAdvance::kRecording: break;
    }
}

// The position line of on-memory runs, from the elapsed time of the current message.
void OnElapsedTimer(MainWindow& app, DWORD messageTime)
{
    const uint32_t elapsed = (messageTime - app.clock.startTick) / kMillisecondsPerSecond;
    WindowDc dc(app.window);
    DrawPositionLine(app, dc, (elapsed * app.format.avgBytesPerSec) / kKilobyte, elapsed);
}

void OnWatchdogTimer(MainWindow& app, DWORD now)
{
    if (app.playback.ReturnOverdue(now) || app.monitor.ReturnOverdue(now)) FailRun(app, IDS_DEVICE_FAILED);
}
