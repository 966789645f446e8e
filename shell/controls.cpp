// Control state and status panel: which buttons, menu items and drops are usable at each change
// of state, the file name, rate, bits, position and total lines, the channel labels, the level
// panel's notices, and the measurement of the disk that holds the file.
#include "shell/mainwindow.h"
#include "shell/messages.h"
#include "resources/resource.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr COLORREF kNoticeYellow = RGB(255, 255, 0);
constexpr int kStatusFieldBytes = 35;            // directory and name lines show 35 bytes
constexpr BYTE kShiftJisCharset = 128;
constexpr LONG kBoldWeight = 700;
constexpr int kMonoLabelHalfColumns = 53;        // the mono label at 37 columns + 53/2 columns

// Status panel positions, in columns and rows.
constexpr int kInfoLeftCol = 1, kFileDirectoryRow = 1, kFileNameRow = 4;
constexpr int kRateRow = 7, kBitsRow = 10, kFiguresCol = 9, kPositionRow = 7, kTotalRow = 10;
constexpr int kLevelPanelCol = 37, kLevelPanelRow = 1, kLevelPanelCols = 35, kLevelPanelRows = 5;
constexpr int kNoticeCol = 39, kNoticeRow = 2;
constexpr int kStereoLabelCol = 64, kLeftLabelRow = 2, kRightLabelRow = 4;

void SetMenuItem(const MainWindow& app, int id, bool enabled)
{
    EnableMenuItem(app.menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void DrawTextAt(HDC dc, int x, int y, const char* text)
{
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

StatusSource StatusSourceOf(const MainWindow& app)
{
    if (app.format.avgBytesPerSec == 0) return StatusSource::kNone;
    return app.sourceKind == SourceKind::kMonitor ? StatusSource::kMonitor : StatusSource::kFile;
}
}  // namespace

// ---- Control states ----------------------------------------------------------------------
// Every button and menu item the states change is set here, and only here.

namespace {

// What the buttons and menu items of a state are.
struct ControlState {
    UINT playLabel;        // 0: the play button keeps its label
    bool choices;          // Open and drops (where a device plays), Monitor (where one records), Options
    bool start;            // the play button and Start
    bool info;             // Info (Wave Information of a file)
    bool run;              // Stop and Pause, button and menu item
    UINT pauseLabel;
};

void ApplyControlState(MainWindow& app, const ControlState& state)
{
    if (state.playLabel) SetWindowTextA(app.playButton, LoadedText(state.playLabel));
    EnableWindow(app.playButton, state.start);
    SetMenuItem(app, IDM_START, state.start);
    const bool files = state.choices && app.outputDeviceCount != 0;
    SetMenuItem(app, IDM_OPEN, files);
    DragAcceptFiles(app.window, files && app.headers.Ready());
    SetMenuItem(app, IDM_MONITOR, state.choices && app.inputDeviceCount != 0);
    SetMenuItem(app, IDM_OPTIONS, state.choices);
    SetMenuItem(app, IDM_INFO, state.info);
    UpdateExportItem(app);
    EnableWindow(app.stopButton, state.run);
    EnableWindow(app.pauseButton, state.run);
    SetMenuItem(app, IDM_STOP, state.run);
    SetMenuItem(app, IDM_PAUSE, state.run);
    SetWindowTextA(app.pauseButton, LoadedText(state.pauseLabel));
}

}  // namespace

void ShowIdleWithoutSource(MainWindow& app)
{
    ApplyControlState(app, {0, true, false, false, false, IDS_PAUSE_LABEL});
}

void ShowIdleWithFile(MainWindow& app)
{
    ApplyControlState(app, {IDS_PLAY_LABEL, true, true, true, false, IDS_PAUSE_LABEL});
}

void ShowIdleWithMonitor(MainWindow& app)
{
    ApplyControlState(app, {IDS_ANALYSE_LABEL, true, true, false, false, IDS_PAUSE_LABEL});
}

void ShowRunning(MainWindow& app) { ApplyControlState(app, {0, false, false, false, true, IDS_PAUSE_LABEL}); }

void ShowPaused(MainWindow& app) { ApplyControlState(app, {0, false, false, false, true, IDS_CONTINUE_LABEL}); }

// Stop asked of a recording: nothing can be used until the device hands its buffers back.
void ShowStopping(MainWindow& app) { ApplyControlState(app, {0, false, false, false, false, IDS_PAUSE_LABEL}); }

void ShowIdle(MainWindow& app)
{
    if (app.sourceKind == SourceKind::kFile) ShowIdleWithFile(app);
    else if (app.sourceKind == SourceKind::kMonitor) ShowIdleWithMonitor(app);
    else ShowIdleWithoutSource(app);
}

bool ExportAvailable(const MainWindow& app)
{
    const bool paused = app.sourceKind == SourceKind::kMonitor ? app.monitor.Paused() : app.playback.Paused();
    return app.keptBlock.Kept() && (!app.Running() || paused);
}

void UpdateExportItem(MainWindow& app)
{
    SetMenuItem(app, IDM_EXPORT, ExportAvailable(app));
}

// ---- Status texts --------------------------------------------------------------------------

void DrawFileName(const MainWindow& app, HDC dc)
{
    char directory[kPathBufferSize], name[kPathBufferSize];
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    SplitPath(app.fileName, directory, name);
    (void)PadToWidth(directory, kPathBufferSize);
    TextOutA(dc, app.layout.Col(kInfoLeftCol), app.layout.Row(kFileDirectoryRow), directory, kStatusFieldBytes);
    (void)PadToWidth(name, kPathBufferSize);
    TextOutA(dc, app.layout.Col(kInfoLeftCol), app.layout.Row(kFileNameRow), name, kStatusFieldBytes);
    SelectObject(dc, previousFont);
}

// The faults the file's status lines would show: said once, when the file is chosen, never while
// the window paints.
void ReportStatusFaults(MainWindow& app)
{
    char directory[kPathBufferSize], name[kPathBufferSize];
    SplitPath(app.fileName, directory, name);
    if (!PadToWidth(directory, kPathBufferSize)) ShowMessage(app.window, IDS_FIELD_OVERFLOW);
    if (app.format.bitsPerSample == 0 && app.format.RateCode() != 0)
        ShowMessage(app.window, IDS_LAYOUT_FAULT, BoxIcon::kNone);
    if (!PadToWidth(name, kPathBufferSize)) ShowMessage(app.window, IDS_FIELD_OVERFLOW);
}

// The rate and bits lines and a zero position line, in the DC's current font.
void DrawFormatLines(const MainWindow& app, HDC dc)
{
    char text[kStatusTextSize];
    FormatRateLine(text, sizeof text, app.format.samplesPerSec);
    DrawTextAt(dc, app.layout.Col(kInfoLeftCol), app.layout.Row(kRateRow), text);
    FormatBitsLine(text, sizeof text, app.format.bitsPerSample);
    DrawTextAt(dc, app.layout.Col(kInfoLeftCol), app.layout.Row(kBitsRow), text);
    DrawPositionLine(app, dc, 0, 0);
}

void DrawTotalLine(const MainWindow& app, HDC dc)
{
    char text[kStatusTextSize];
    FormatTotalLine(text, sizeof text, StatusSourceOf(app), app.reader.TotalBytes(), app.format.avgBytesPerSec);
    DrawTextAt(dc, app.layout.Col(kFiguresCol), app.layout.Row(kTotalRow), text);
}

void DrawPositionLine(const MainWindow& app, HDC dc, uint32_t kilobytes, uint32_t seconds)
{
    char text[kStatusTextSize];
    FormatPositionLine(text, sizeof text, kilobytes, seconds);
    DrawTextAt(dc, app.layout.Col(kFiguresCol), app.layout.Row(kPositionRow), text);
}

void ClearLevelPanel(const MainWindow& app, HDC dc)
{
    PatBlt(dc, app.layout.Col(kLevelPanelCol), app.layout.Row(kLevelPanelRow), app.layout.Col(kLevelPanelCols),
           app.layout.Row(kLevelPanelRows), BLACKNESS);
}

void DrawLevelPanelNotice(const MainWindow& app, HDC dc, const char* text)
{
    SetTextColor(dc, kNoticeYellow);
    SetBkMode(dc, TRANSPARENT);
    DrawTextAt(dc, app.layout.Col(kNoticeCol), app.layout.Row(kNoticeRow) + app.layout.lineHeight / 4, text);
}

void DrawChannelLabels(const MainWindow& app, HDC dc)
{
    if (app.sourceKind == SourceKind::kNone) return;
    const Layout& layout = app.layout;
    SetTextColor(dc, kNoticeYellow);
    SetBkMode(dc, TRANSPARENT);
    if (!app.format.TwoBars()) {
        DrawTextAt(dc, layout.Col(kLevelPanelCol) + (kMonoLabelHalfColumns * layout.charWidth) / 2,
                   layout.Row(2) + layout.lineHeight / 2, LoadedText(IDS_MONO_LABEL));
        return;
    }
    // Newer platforms draw the labels larger and one pixel higher.
    const bool newer = app.platformVersion >= kVersionBoldLabels;
    LOGFONTA logFont = {};
    logFont.lfHeight = newer ? -(3 * layout.lineHeight) / 2 : -layout.lineHeight;
    logFont.lfWeight = kBoldWeight;
    logFont.lfCharSet = kShiftJisCharset;
    HFONT font = CreateFontIndirectA(&logFont);
    HGDIOBJ previousFont = SelectObject(dc, font);
    const int lift = newer ? 1 : 0;
    DrawTextAt(dc, layout.Col(kStereoLabelCol), layout.Row(kLeftLabelRow) - lift, LoadedText(IDS_LEFT_LABEL));
    DrawTextAt(dc, layout.Col(kStereoLabelCol), layout.Row(kRightLabelRow) - lift, LoadedText(IDS_RIGHT_LABEL));
    SelectObject(dc, previousFont);
    DeleteObject(font);
}

// The notice of an on-memory run in the cleared level panel (at Start and after Continue).
void DrawOnMemoryNotice(MainWindow& app)
{
    const UINT id = app.sourceKind == SourceKind::kMonitor
                        ? (app.settings.monitor.channels == 1 ? IDS_MONITOR_MONO_NOTICE : IDS_MONITOR_STEREO_NOTICE)
                        : (app.format.TwoBars() ? IDS_PLAYING_STEREO_NOTICE : IDS_PLAYING_MONO_NOTICE);
    const LoadedText text(id);
    HDC dc = GetDC(app.window);
    ClearLevelPanel(app, dc);
    DrawLevelPanelNotice(app, dc, text);
    ReleaseDC(app.window, dc);
}

// The capacity decides the diskette rule, so it is kept in 64 bits: large disks compare truly.
// A failed query gives 0.
uint64_t MeasureDiskCapacity(uint16_t platformVersion, const char* path)
{
    char root[kPathBufferSize];
    const char* queried = path;
    if (platformVersion >= kVersionWin95) {
        if (path && path[0] && path[1] == ':') {
            std::snprintf(root, sizeof root, "%c:\\", path[0]);
        } else {
            GetCurrentDirectoryA(sizeof root, root);
            root[3] = '\0';
        }
        queried = root;
    }
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(queried, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return 0;
    return uint64_t(sectorsPerCluster) * bytesPerSector * totalClusters;
}
