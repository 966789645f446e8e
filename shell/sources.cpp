// Opening sources as the user sees them: a file (the reader's checks, the format and Total lines,
// the buffering mode, the output device) or the monitor (the input format query, its lines, the
// input device), and closing them. Every refusal is said here in a message box.
#include "shell/mainwindow.h"
#include "shell/messages.h"
#include "shell/windowdc.h"
#include "resources/resource.h"

namespace {

// A source (re)opened: nothing analysed from it yet, so nothing to export.
void ForgetKeptBlock(MainWindow& app)
{
    app.keptBlock.Clear();
    app.cursorMemory.Forget();
    UpdateExportItem(app);
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
    const ReaderResult result = [&] {
        DeviceCallScope call(app);
        return app.reader.Open(app.fileName);
    }();
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
                                            app.reader.RemainingBytes());
    bool deviceOpened = false;
    {
        DeviceCallScope call(app);
        deviceOpened = app.playback.OpenDevice(app.reader, app.window, app.bufferingMode, blockSize);
    }
    if (!deviceOpened) {
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
    ShowIdleWithFile(app);
    SetFocus(app.playButton);
    const bool opened = OpenFileSource(app);
    ReportStatusFaults(app);
    return opened;
}

// Opens the input device for the chosen monitor format, drawing its format and Free lines.
bool OpenMonitorSource(MainWindow& app)
{
    ForgetKeptBlock(app);
    const MonitorFormat& chosen = app.settings.monitor;
    const MMRESULT answer = [&] {
        DeviceCallScope call(app);
        return QueryInputFormat(chosen);
    }();
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
    MMRESULT opened = MMSYSERR_ERROR;
    {
        DeviceCallScope call(app);
        opened = app.monitor.OpenDevice(chosen, app.window, app.bufferingMode, blockSize);
    }
    if (opened != MMSYSERR_NOERROR) {
        ShowMessage(app.window, IDS_CANNOT_OPEN_INPUT);
        return false;
    }
    return true;
}

void CloseSource(MainWindow& app)
{
    DeviceCallScope call(app);
    app.reader.Close();
    // The devices belong to their source kind; each is closed even when the file is already
    // gone, so no path leaves one open behind a closed file.
    if (app.sourceKind == SourceKind::kFile) app.playback.CloseDevice();
    if (app.sourceKind == SourceKind::kMonitor) app.monitor.CloseDevice();
}

