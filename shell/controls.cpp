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

// ---- Control state transitions -------------------------------------------------------------

void EnableIdleControls(MainWindow& app)
{
    if (app.sourceKind == SourceKind::kFile) SetWindowTextA(app.playButton, LoadedText(IDS_PLAY_LABEL));
    EnableWindow(app.playButton, TRUE);
    SetMenuItem(app, IDM_START, true);
    SetMenuItem(app, IDM_OPTIONS, true);
    SetMenuItem(app, IDM_OPEN, true);
    if (app.inputDeviceCount != 0) SetMenuItem(app, IDM_MONITOR, true);
    if (app.sourceKind == SourceKind::kFile) SetMenuItem(app, IDM_INFO, true);
    UpdateExportItem(app);
    DragAcceptFiles(app.window, TRUE);
}

void DisableSourceControls(MainWindow& app)
{
    EnableWindow(app.playButton, FALSE);
    SetMenuItem(app, IDM_START, false);
    SetMenuItem(app, IDM_MONITOR, false);
    SetMenuItem(app, IDM_OPEN, false);
    SetMenuItem(app, IDM_OPTIONS, false);
    if (app.sourceKind == SourceKind::kFile) SetMenuItem(app, IDM_INFO, false);
    SetMenuItem(app, IDM_EXPORT, false);
    DragAcceptFiles(app.window, FALSE);
}

void EnableRunControls(MainWindow& app)
{
    EnableWindow(app.stopButton, TRUE);
    EnableWindow(app.pauseButton, TRUE);
    SetMenuItem(app, IDM_STOP, true);
    SetMenuItem(app, IDM_PAUSE, true);
}

void DisableRunControls(MainWindow& app)
{
    EnableWindow(app.stopButton, FALSE);
    EnableWindow(app.pauseButton, FALSE);
    SetMenuItem(app, IDM_STOP, false);
    SetMenuItem(app, IDM_PAUSE, false);
}

void SetPauseLabel(MainWindow& app, bool paused)
{
    SetWindowTextA(app.pauseButton, LoadedText(paused ? IDS_CONTINUE_LABEL : IDS_PAUSE_LABEL));
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

void DrawFileName(MainWindow& app, HDC dc)
{
    char directory[kPathBufferSize], name[kPathBufferSize];
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    SplitPath(app.fileName, directory, name);
    if (!PadToWidth(directory, kPathBufferSize)) ShowMessage(app.window, IDS_FIELD_OVERFLOW);
    if (app.format.bitsPerSample == 0 && app.format.RateCode() != 0)
        ShowMessage(app.window, IDS_LAYOUT_FAULT, BoxIcon::kNone);
    TextOutA(dc, app.layout.Col(kInfoLeftCol), app.layout.Row(kFileDirectoryRow), directory, kStatusFieldBytes);
    if (!PadToWidth(name, kPathBufferSize)) ShowMessage(app.window, IDS_FIELD_OVERFLOW);
    TextOutA(dc, app.layout.Col(kInfoLeftCol), app.layout.Row(kFileNameRow), name, kStatusFieldBytes);
    SelectObject(dc, previousFont);
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
