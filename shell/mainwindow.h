// The main window object: owns every piece of the program's state (settings, the open source
// and its reader, the engines and their headers, the analysis plan and the last analysed block,
// the layout, the file names)
// and is found by the window procedure through the window's user data. WinMain creates one.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <cstdint>

#include "analysis/analysis.h"
#include "audio/monitor.h"
#include "audio/playback.h"
#include "audio/filesource.h"
#include "core/types.h"
#include "display/layout.h"
#include "display/readout.h"
#include "export/keptblock.h"
#include "shell/decisions.h"

enum class SourceKind : int { kNone = 0, kFile = 1, kMonitor = 2 };

constexpr UINT kElapsedTimerId = 1;
constexpr UINT kElapsedTimerPeriodMs = 1000;
// While a run goes, the shell asks the running engine this often whether its device still
// returns buffers (a dead device reports nothing).
constexpr UINT kWatchdogTimerId = 2;
constexpr UINT kWatchdogPeriodMs = 250;

// The elapsed time of an on-memory run (the position line counts it), paused time left out.
struct ElapsedClock {
    DWORD startTick = 0;
    DWORD pauseTick = 0;
};

// The cursor readout as the window shows it: whether the window asked for WM_MOUSELEAVE,
// whether the panel shows the readout (else the peak), and the graph pixel it shows.
struct CursorState {
    bool tracking = false;
    bool shown = false;
    POINT at = {0, 0};
    Readout readout;
};

struct MainWindow {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HMENU menu = nullptr;
    HWND playButton = nullptr;
    HWND stopButton = nullptr;
    HWND pauseButton = nullptr;
    Layout layout;
    uint16_t platformVersion = 0;
    UINT outputDeviceCount = 0;
    UINT inputDeviceCount = 0;
    DWORD inputFormats = 0;            // dwFormats of the wave input mapper, 0 without a device

    Settings settings;
    char fileName[kPathBufferSize] = {};
    char previousFileName[kPathBufferSize] = {};
    bool fileArgumentRefused = false;  // the command line named a file too long to hold
    bool autoplay = false;

    SourceKind sourceKind = SourceKind::kNone;
    SourceFormat format;               // of the last source opened (the status lines show it)
    BufferingMode bufferingMode = kStreamingMode;
    uint64_t diskCapacity = 0;         // bytes of the disk that holds the file
    double peakFrequency = 0.0;        // Hz; kept from block to block
    ElapsedClock clock;

    // Destruction runs in reverse: the engines take their buffers back from the devices before
    // the headers they borrowed are freed.
    WaveHeaders headers;
    FileSource reader;                 // the open file (any supported type)
    AnalysisPlan plan;
    KeptBlock keptBlock;               // the last analysed block, for File > Export
    CursorMemory cursorMemory;         // what the cursor readout reads of the last blocks
    CursorState cursor;
    PlaybackEngine playback;
    MonitorEngine monitor;
    // Set while a device or file is being opened or closed. The sound system's calls wait on
    // other threads and meanwhile handle messages sent to this window from elsewhere; a command
    // among them waits in the queue until the call is done (see DeviceCallScope).
    bool inDeviceCall = false;

    bool Running() const { return playback.Running() || monitor.Running(); }
};

// Marks a device call for its lifetime (nested scopes keep the outer mark).
class DeviceCallScope {
public:
    explicit DeviceCallScope(MainWindow& app) : app_(app), outer_(app.inDeviceCall) { app.inDeviceCall = true; }
    ~DeviceCallScope() { app_.inDeviceCall = outer_; }
    DeviceCallScope(const DeviceCallScope&) = delete;
    DeviceCallScope& operator=(const DeviceCallScope&) = delete;

private:
    MainWindow& app_;
    bool outer_;
};

// The object of a main window handle (null before WM_NCCREATE).
MainWindow* MainWindowOf(HWND window);

// ---- Entry (startup.cpp) ----
int TrilvoMain(HINSTANCE instance, HINSTANCE previous, int showCommand);
bool RegisterMainClass(HINSTANCE instance);
// Creates the window of `app` as the program's startup does, with argument 1 (file) and
// argument 2 (autoplay switch) of a command line; false when it cannot be created.
bool CreateMainWindow(MainWindow& app, HINSTANCE instance, int showCommand, int argc, char** argv);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Commands, sources and runs (commands.cpp, sources.cpp, runs.cpp) ----
void OnCommand(MainWindow& app, int commandId, int notifyCode);
void OnDropFiles(MainWindow& app, HDROP drop);
[[nodiscard]] bool OpenFileSource(MainWindow& app);
[[nodiscard]] bool SelectFileSource(MainWindow& app);
[[nodiscard]] bool OpenMonitorSource(MainWindow& app);
void CloseSource(MainWindow& app);
void StartRun(MainWindow& app);
void StopRun(MainWindow& app);
void TogglePause(MainWindow& app);
void OnOutputDone(MainWindow& app, const WAVEHDR* header);
void OnInputData(MainWindow& app, const WAVEHDR* header);
void OnElapsedTimer(MainWindow& app, DWORD messageTime);
// A run whose device has not returned a buffer within its bound ends as a device failure.
void OnWatchdogTimer(MainWindow& app, DWORD now);
// Runs need both wave headers: false, after saying so, when WM_CREATE could not get them.
[[nodiscard]] bool WaveHeadersReady(MainWindow& app);

// ---- Export (exporting.cpp) ----
// File > Export: the client area as it shows, then the save dialog, then the spectrum CSV of the
// last analysed block or the picture; a refusal is said in a message box.
void ExportLastBlock(MainWindow& app);

// ---- Cursor readout (readout.cpp) ----
// The mouse at client (x, y): over the graph area the panel shows what lies under it, elsewhere
// the peak again.
void OnMouseMove(MainWindow& app, int x, int y);
void OnMouseLeave(MainWindow& app);
// A block was drawn (with its peak panel): the readout shown goes back over it, updated.
void RefreshReadout(MainWindow& app, HDC dc);
// The graph area was cleared: the chart's rows are gone.
void ForgetChartRows(MainWindow& app);

// ---- Controls and status panel (controls.cpp) ----
// The states of the buttons and menu items; nothing else changes them.
void ShowIdleWithoutSource(MainWindow& app);
void ShowIdleWithFile(MainWindow& app);
void ShowIdleWithMonitor(MainWindow& app);
void ShowRunning(MainWindow& app);
void ShowPaused(MainWindow& app);
void ShowStopping(MainWindow& app);
// The idle state of the current source.
void ShowIdle(MainWindow& app);
// Export is usable once a block has been analysed since the source was opened, outside a run or
// while it is paused.
bool ExportAvailable(const MainWindow& app);
void UpdateExportItem(MainWindow& app);
void DrawFileName(const MainWindow& app, HDC dc);
void ReportStatusFaults(MainWindow& app);
void DrawFormatLines(const MainWindow& app, HDC dc);
void DrawTotalLine(const MainWindow& app, HDC dc);
void DrawPositionLine(const MainWindow& app, HDC dc, uint32_t bytes, uint32_t seconds);
void DrawChannelLabels(const MainWindow& app, HDC dc);
void ClearLevelPanel(const MainWindow& app, HDC dc);
void DrawLevelPanelNotice(const MainWindow& app, HDC dc, const char* text);
void DrawOnMemoryNotice(MainWindow& app);
uint64_t MeasureDiskCapacity(uint16_t platformVersion, const char* path);
