// Control state and status panel: which buttons, menu items and drops are usable at each change
// of state, the file name, rate and bits lines, the channel labels, the on-memory monitor notice
// and the measurement of the disk that holds the file.
#include "shell/shell.h"
#include "shell/globals.h"
#include "shell/messages.h"
#include "audio/audio.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr COLORREF kNoticeYellow = RGB(255, 255, 0);
constexpr int kStatusFieldBytes = 35;            // directory and name lines show 35 bytes
constexpr BYTE kShiftJisCharset = 128;
constexpr LONG kBoldWeight = 700;
constexpr int kMonoLabelHalfColumns = 53;        // "ＭＯＮＯ" at 37 columns + 53/2 columns
const char kPlayLabel[] = "再生";
const char kZeroPositionLine[] = "Pos:        0 kb      0 sec";

void SetMenuItem(int id, bool enabled)
{
    EnableMenuItem(g.menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// Sample format code of a channel/bits pair; -1 for pairs the analysis does not handle.
int SampleFormatOf(int channels, int bits)
{
    if (channels == 1 && bits == 8) return kMono8;
    if (channels == 1 && bits == 16) return kMono16;
    if (channels == 2 && bits == 8) return kStereo8;
    if (channels == 2 && bits == 16) return kStereo16;
    return -1;
}
}  // namespace

void DrawTextAt(HDC dc, int x, int y, const char* text)
{
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

void DrawFormatLines(HDC dc)
{
    std::snprintf(g.textBuffer, kTextBufferSize, "%2d kHz  ", static_cast<int>(source.rateCode));
    DrawTextAt(dc, Col(1), Row(7), g.textBuffer);
    std::snprintf(g.textBuffer, kTextBufferSize, "%2d bit  ", static_cast<int>(source.bitsPerSample));
    DrawTextAt(dc, Col(1), Row(10), g.textBuffer);
    DrawTextAt(dc, Col(9), Row(7), kZeroPositionLine);
}

void ClearLevelPanel(HDC dc)
{
    PatBlt(dc, Col(37), Row(1), Col(35), Row(5), BLACKNESS);
}

void DrawLevelPanelNotice(HDC dc, const char* text)
{
    SetTextColor(dc, kNoticeYellow);
    SetBkMode(dc, TRANSPARENT);
    DrawTextAt(dc, Col(39), Row(2) + g.lineHeight / 4, text);
}

// ---- Control state transitions -------------------------------------------------------------

int SelectFileSource()
{
    state.sourceKind = kSourceFile;
    SetWindowTextA(app.playButton, kPlayLabel);
    EnableWindow(app.playButton, TRUE);
    SetMenuItem(kCmdStart, true);
    SetMenuItem(kCmdInfo, true);
    SetFocus(app.playButton);
    return OpenWaveFile();
}

void EnableIdleControls()
{
    if (state.sourceKind == kSourceFile) SetWindowTextA(app.playButton, kPlayLabel);
    EnableWindow(app.playButton, TRUE);
    SetMenuItem(kCmdStart, true);
    SetMenuItem(kCmdOptions, true);
    SetMenuItem(kCmdOpen, true);
    if (app.inputDeviceCount != 0) SetMenuItem(kCmdMonitor, true);
    if (state.sourceKind == kSourceFile) SetMenuItem(kCmdInfo, true);
    DragAcceptFiles(app.mainWindow, TRUE);
}

void DisableSourceControls()
{
    EnableWindow(app.playButton, FALSE);
    SetMenuItem(kCmdStart, false);
    SetMenuItem(kCmdMonitor, false);
    SetMenuItem(kCmdOpen, false);
    SetMenuItem(kCmdOptions, false);
    if (state.sourceKind == kSourceFile) SetMenuItem(kCmdInfo, false);
    DragAcceptFiles(app.mainWindow, FALSE);
}

void EnableRunControls()
{
    EnableWindow(app.stopButton, TRUE);
    EnableWindow(app.pauseButton, TRUE);
    SetMenuItem(kCmdStop, true);
    SetMenuItem(kCmdPause, true);
}

void DisableRunControls()
{
    EnableWindow(app.stopButton, FALSE);
    EnableWindow(app.pauseButton, FALSE);
    SetMenuItem(kCmdStop, false);
    SetMenuItem(kCmdPause, false);
}

// ---- Status texts --------------------------------------------------------------------------

void DrawFileName(HDC dc)
{
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    SplitPath(g.fileName, g.textBuffer, g.fileTitle);
    PadToWidth(g.textBuffer, kTextBufferSize);
    if (source.bitsPerSample == 0 && source.rateCode != 0) ShowNotice(app.mainWindow, "ｲｼﾞｮｳｼﾞﾀｲ 1");
    TextOutA(dc, Col(1), Row(1), g.textBuffer, kStatusFieldBytes);
    std::memcpy(g.textBuffer, g.fileTitle, kTextBufferSize);
    g.textBuffer[kTextBufferSize - 1] = '\0';
    PadToWidth(g.textBuffer, kTextBufferSize);
    TextOutA(dc, Col(1), Row(4), g.textBuffer, kStatusFieldBytes);
    SelectObject(dc, previousFont);
}

// Reads only the first 16 bytes of the record (the PCM fields), so a short record is safe.
void ShowSourceFormat(const WAVEFORMATEX* format)
{
    const int code = SampleFormatOf(format->nChannels, format->wBitsPerSample);
    if (code >= 0) source.sampleFormat = code;
    source.analysable = code >= 0 ? 1 : 0;
    source.avgBytesPerSec = format->nAvgBytesPerSec;
    source.samplesPerSec = format->nSamplesPerSec;
    source.rateCode = static_cast<int32_t>(format->nSamplesPerSec / 1000u);
    source.bitsPerSample = format->wBitsPerSample;
    if (!app.mainWindow) return;                    // nothing to draw on yet

    HDC dc = GetDC(app.mainWindow);
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    ClearLevelPanel(dc);
    DrawFormatLines(dc);
    SelectObject(dc, previousFont);
    ReleaseDC(app.mainWindow, dc);
}

void DrawChannelLabels(HDC dc)
{
    if (state.sourceKind == kSourceNone) return;
    SetTextColor(dc, kNoticeYellow);
    SetBkMode(dc, TRANSPARENT);
    if (!(source.sampleFormat & kSampleFormatStereoFlag)) {
        TextOutA(dc, Col(37) + (kMonoLabelHalfColumns * g.charWidth) / 2, Row(2) + g.lineHeight / 2,
                 "ＭＯＮＯ", 8);
        return;
    }
    // Newer platforms draw the labels larger and one pixel higher.
    const bool newer = g.platformVersion >= kVersionBoldLabels;
    LOGFONTA logFont = {};
    logFont.lfHeight = newer ? -(3 * g.lineHeight) / 2 : -g.lineHeight;
    logFont.lfWeight = kBoldWeight;
    logFont.lfCharSet = kShiftJisCharset;
    HFONT font = CreateFontIndirectA(&logFont);
    HGDIOBJ previousFont = SelectObject(dc, font);
    const int lift = newer ? 1 : 0;
    TextOutA(dc, Col(64), Row(2) - lift, "ＬＥＦＴ", 8);
    TextOutA(dc, Col(64), Row(4) - lift, "ＲＩＧＨＴ", 10);
    SelectObject(dc, previousFont);
    DeleteObject(font);
}

void DrawOnMemoryMonitorLabel()
{
    HDC dc = GetDC(app.mainWindow);
    ClearLevelPanel(dc);
    std::snprintf(g.textBuffer, kTextBufferSize, "オンメモリモニタ中(%s)",
                  state.monitorChannels == 1 ? "MONO" : "STEREO");
    DrawLevelPanelNotice(dc, g.textBuffer);
    ReleaseDC(app.mainWindow, dc);
}

// Both figures are kept in 64 bits: the diskette rule compares the true capacity and the "Free:"
// line shows the true space of large disks instead of a wrapped product. A failed query gives 0.
uint64_t MeasureDisk(const char* path)
{
    const char* root = path;
    if (g.platformVersion >= kVersionWin95) {
        if (path && path[0] && path[1] == ':') {
            std::snprintf(g.textBuffer, kTextBufferSize, "%c:\\", path[0]);
        } else {
            GetCurrentDirectoryA(kTextBufferSize, g.textBuffer);
            g.textBuffer[3] = '\0';
        }
        root = g.textBuffer;
    }
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
        g.diskCapacity = 0;
        g.diskFree = 0;
        return 0;
    }
    const uint64_t bytesPerCluster = uint64_t(sectorsPerCluster) * bytesPerSector;
    g.diskCapacity = bytesPerCluster * totalClusters;
    g.diskFree = bytesPerCluster * freeClusters;
    return g.diskFree;
}
