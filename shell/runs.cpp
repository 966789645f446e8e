// Sources and runs as the user sees them: opening a file or the monitor (with the status lines
// they draw), Start, the engines' block messages turned into drawing, Pause, Stop and the end of
// a run. The engines report results; every message box and control change is made here.
#include "shell/mainwindow.h"
#include "shell/messages.h"
#include "display/display.h"
#include "resources/resource.h"

namespace {
const char kLoadingNotice[] = "ファイル読み込み中";
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr uint32_t kKilobyte = 1024;
constexpr DWORD kMillisecondsPerSecond = 1000;

// A device context of the main window with the OEM fixed font selected, released at scope end.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window))
    {
        previousFont_ = SelectObject(dc_, GetStockObject(OEM_FIXED_FONT));
    }
    ~WindowDc()
    {
        SelectObject(dc_, previousFont_);
        ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    operator HDC() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ previousFont_;
};

void DrawFrame(MainWindow& app)
{
    HDC dc = GetDC(app.window);
    DrawDisplayFrame(dc, app.layout, app.settings, app.format);
    ReleaseDC(app.window, dc);
    ForgetChartRows(app);
}

// Analyses `bytes` bytes of `block`, which starts `startByte` bytes into the source, draws the
// result and keeps the block for the export.
void ShowBlock(MainWindow& app, HDC dc, const uint8_t* block, int32_t bytes, uint32_t startByte)
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
uint32_t BlockStart(const BlockStep& step)
{
    return step.positionBytes - uint32_t(step.blockBytes);
}

// An on-memory run analyses its whole buffer in the cleared level panel, labels redrawn after.
void ShowWholeBuffer(MainWindow& app, HDC dc, const uint8_t* block, int32_t bytes)
{
    ClearLevelPanel(app, dc);
    ShowBlock(app, dc, block, bytes, 0);
    DrawChannelLabels(app, dc);
}

// Position line of `bytes` of data at the source's byte rate.
void DrawBytePosition(MainWindow& app, HDC dc, uint32_t bytes)
{
    DrawPositionLine(app, dc, bytes / kKilobyte, DivideOrZero(bytes, app.format.avgBytesPerSec));
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
    DisableRunControls(app);
    SetFocus(app.playButton);
    EnableIdleControls(app);
}

// The device failed or stopped answering: the run is taken back and released at once (device,
// file, run memory), the controls return to idle, and only then is the user told: the message
// box's own loop dispatches timers, which must find nothing left to fail.
void FailRun(MainWindow& app, UINT textId)
{
    KillTimer(app.window, kElapsedTimerId);
    app.playback.Abort();
    app.monitor.Abort();
    SetPauseLabel(app, false);
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
    DisableSourceControls(app);
    if (onMemory) {
        HDC dc = GetDC(app.window);
        ClearLevelPanel(app, dc);
        DrawLevelPanelNotice(app, dc, kLoadingNotice);
        ReleaseDC(app.window, dc);
    }
    SetPauseLabel(app, false);
    // The whole data is read at once in on-memory mode: the hourglass shows meanwhile.
    HCURSOR previous = onMemory ? SetCursor(LoadCursorA(nullptr, IDC_WAIT)) : nullptr;
    result = app.playback.BeginRun(app.headers);
    if (onMemory) SetCursor(previous);
    if (result != RunResult::kOk) {
        ShowMessage(app.window, MessageIdOf(result));
        EnableIdleControls(app);
        return;
    }
    EnableRunControls(app);
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
        EnableIdleControls(app);
        return;
    }
    DisableSourceControls(app);
    SetPauseLabel(app, false);
    EnableRunControls(app);
    StartWatchdog(app);
    if (app.monitor.Mode() == kOnMemoryMode) {
        DrawOnMemoryNotice(app);
        StartElapsedClock(app);
    }
    DrawFrame(app);
    if (!app.monitor.StartRecording()) FailRun(app, IDS_DEVICE_FAILED);
}

// A source (re)opened: nothing analysed from it yet, so nothing to export.
void ForgetKeptBlock(MainWindow& app)
{
    app.keptBlock.Clear();
    app.cursorMemory.Forget();
    UpdateExportItem(app);
}

void EndPlayback(MainWindow& app)
{
    if (app.playback.Mode() == kOnMemoryMode) KillTimer(app.window, kElapsedTimerId);
    app.playback.FinishRun();
    ShowRunEnded(app);
}
}  // namespace

bool WaveHeadersReady(MainWindow& app)
{
    if (app.headers.Ready()) return true;
    ShowMessage(app.window, IDS_HEADER_ALLOC_FAILED);
    return false;
}

// Opens the file named in the window: the reader's checks, the format lines, the buffering mode,
// the Total line and the output device. Every refusal is shown here.
bool OpenFileSource(MainWindow& app)
{
    ForgetKeptBlock(app);
    const ReaderResult result = app.reader.Open(app.fileName);
    if (app.reader.HasFormat()) {
        app.format = app.reader.Format();
        WindowDc dc(app.window);
        ClearLevelPanel(app, dc);
        DrawFormatLines(app, dc);
    }
    if (result == ReaderResult::kOk || result == ReaderResult::kEmptyData)
        app.diskCapacity = MeasureDiskCapacity(app.platformVersion, app.fileName);
    if (result != ReaderResult::kOk) {
        ShowMessage(app.window, MessageIdOf(result));
        return false;
    }
    app.bufferingMode = ChooseBufferingMode(app.settings.onMemory, app.diskCapacity);
    {
        WindowDc dc(app.window);
        DrawTotalLine(app, dc);
        DrawChannelLabels(app, dc);
    }
    const uint32_t blockSize = BlockSizeFor(app.bufferingMode, app.format,
                                            app.settings.timeResolution, app.settings.memorySizeMB,
                                            app.reader.TotalBytes());
    if (!app.playback.OpenDevice(app.reader, app.window, app.bufferingMode, blockSize)) {
        app.reader.Close();
        ShowMessage(app.window, IDS_CANNOT_OPEN_OUTPUT);
        return false;
    }
    return true;
}

// The file source chosen (Open, a drop or the command line): controls for a file, then opened.
bool SelectFileSource(MainWindow& app)
{
    app.sourceKind = SourceKind::kFile;
    SetWindowTextA(app.playButton, "再生");
    EnableWindow(app.playButton, TRUE);
    EnableMenuItem(app.menu, IDM_START, MF_BYCOMMAND | MF_ENABLED);
    EnableMenuItem(app.menu, IDM_INFO, MF_BYCOMMAND | MF_ENABLED);
    SetFocus(app.playButton);
    return OpenFileSource(app);
}

// Opens the input device for the chosen monitor format, drawing its format and Free lines.
bool OpenMonitorSource(MainWindow& app)
{
    ForgetKeptBlock(app);
    const MonitorFormat& chosen = app.settings.monitor;
    const MMRESULT answer = QueryInputFormat(chosen);
    if (answer != MMSYSERR_NOERROR) {
        char text[kStatusTextSize * 2];
        FormatQueryMessage(answer, text, sizeof text);
        ShowMessageText(app.window, text);
        return false;
    }
    const InputRecord record = MonitorRecord(chosen);
    app.format = FormatFigures(*record.Get());
    app.bufferingMode = app.settings.onMemory ? kOnMemoryMode : kStreamingMode;
    {
        WindowDc dc(app.window);
        ClearLevelPanel(app, dc);
        DrawFormatLines(app, dc);
        DrawTotalLine(app, dc);
        DrawChannelLabels(app, dc);
    }
    const uint32_t blockSize = BlockSizeFor(app.bufferingMode, app.format,
                                            app.settings.timeResolution, app.settings.memorySizeMB,
                                            kMonitorTotalBytes);
    if (app.monitor.OpenDevice(chosen, app.window, app.bufferingMode, blockSize) != MMSYSERR_NOERROR) {
        ShowMessage(app.window, IDS_CANNOT_OPEN_INPUT);
        return false;
    }
    return true;
}

void CloseSource(MainWindow& app)
{
    app.reader.Close();
    // The devices belong to their source kind; each is closed even when the file is already
    // gone, so no path leaves one open behind a closed file.
    if (app.sourceKind == SourceKind::kFile) app.playback.CloseDevice();
    if (app.sourceKind == SourceKind::kMonitor) app.monitor.CloseDevice();
}

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
        DisableRunControls(app);
        app.monitor.Stop();   // the returned buffers end the run
        return;
    }
    if (!app.playback.Running()) return;
    const bool onMemory = app.playback.Mode() == kOnMemoryMode;
    if (onMemory) KillTimer(app.window, kElapsedTimerId);
    KillTimer(app.window, kWatchdogTimerId);
    DisableRunControls(app);
    app.playback.Stop();
    if (onMemory) {
        // The whole loaded data is analysed, however much of it was heard.
        WindowDc dc(app.window);
        ShowWholeBuffer(app, dc, app.playback.Block(0), int32_t(app.playback.BlockSize()));
    }
    app.playback.ReleaseRun();
    EnableIdleControls(app);
    SetFocus(app.playButton);
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
        if (monitor ? app.monitor.Continue() : app.playback.Continue()) SetPauseLabel(app, false);
        else FailRun(app, IDS_DEVICE_FAILED);
        UpdateExportItem(app);
        return;
    }
    if (onMemory) {
        KillTimer(app.window, kElapsedTimerId);
        app.clock.pauseTick = GetTickCount();
    }
    if (monitor ? app.monitor.Pause() : app.playback.Pause()) SetPauseLabel(app, true);
    else FailRun(app, IDS_DEVICE_FAILED);
    UpdateExportItem(app);
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
    switch (app.monitor.Advance(step)) {
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
