// Main window procedure: the wave headers of the window, the repaint of the info and level
// panels, the position line of on-memory runs, and device notifications handed to the audio
// sources; commands, keys (F1 from a button or a menu comes as WM_HELP) and drops go on to
// commands.cpp.
#include "shell/shell.h"
#include "shell/globals.h"
#include "shell/help.h"
#include "shell/messages.h"
#include "audio/audio.h"
#include "display/display.h"

#include <cstdio>

namespace {
const char kHeaderAllocFailed[] = "ヘッダー確保失敗";
const char kHeaderLockFailed[] = "ヘッダーロック失敗";
const char kZeroTotalLine[] = "Total:      0 kb      0 sec";
constexpr UINT kHeaderAllocFlags = GMEM_MOVEABLE | GMEM_DDESHARE;
constexpr DWORD kKilobyte = 1024;
constexpr DWORD kMillisecondsPerSecond = 1000;

void FreeHeaders()
{
    for (int i = 0; i < 2; ++i) {
        if (!run.headerHandle[i]) continue;
        if (app.header[i]) GlobalUnlock(run.headerHandle[i]);
        GlobalFree(run.headerHandle[i]);
        run.headerHandle[i] = nullptr;
        app.header[i] = nullptr;
    }
}

void OnCreate(HWND window)
{
    CheckMenuItem(GetMenu(window), state.viewMode, MF_BYCOMMAND | MF_CHECKED);
    run.headerHandle[0] = GlobalAlloc(kHeaderAllocFlags, kWaveHeaderSize);
    run.headerHandle[1] = GlobalAlloc(kHeaderAllocFlags, kWaveHeaderSize);
    if (!run.headerHandle[0] || !run.headerHandle[1]) {
        ShowWarning(app.mainWindow, kHeaderAllocFailed);
        FreeHeaders();                             // the one that did succeed
        return;
    }
    app.header[0] = static_cast<WAVEHDR*>(GlobalLock(run.headerHandle[0]));
    app.header[1] = static_cast<WAVEHDR*>(GlobalLock(run.headerHandle[1]));
    if (!app.header[0] || !app.header[1]) {
        ShowWarning(app.mainWindow, kHeaderLockFailed);
        FreeHeaders();
        return;
    }
    DragAcceptFiles(window, TRUE);
}

// Resets a running device so every queued header comes back, then releases the run's memory.
void ReleaseRunningDevice()
{
    if (!state.running || !app.header[0] || !app.header[1]) return;
    if (app.waveOut && state.sourceKind == kSourceFile) {
        waveOutReset(app.waveOut);
        waveOutUnprepareHeader(app.waveOut, app.header[0], kWaveHeaderSize);
        waveOutUnprepareHeader(app.waveOut, app.header[1], kWaveHeaderSize);
    } else if (app.waveIn && state.sourceKind == kSourceMonitor) {
        waveInReset(app.waveIn);
        waveInUnprepareHeader(app.waveIn, app.header[0], kWaveHeaderSize);
        waveInUnprepareHeader(app.waveIn, app.header[1], kWaveHeaderSize);
    } else {
        return;
    }
    FreeRunRecord(reinterpret_cast<RunRecord*>(app.header[0]->dwUser));
}

void OnDestroy(HWND window)
{
    if (g.displayPalette) {
        DeleteObject(g.displayPalette);
        g.displayPalette = nullptr;
    }
    DragAcceptFiles(window, FALSE);
    ReleaseRunningDevice();
    CloseSource();
    FreeHeaders();
    PostQuitMessage(0);
}

void DrawTotalLine(HDC dc)
{
    if (source.avgBytesPerSec == 0) {
        DrawTextAt(dc, Col(9), Row(10), kZeroTotalLine);
        return;
    }
    // Unsigned throughout; the free space of a large disk needs 64 bits.
    const bool monitor = state.sourceKind == kSourceMonitor;
    const uint64_t bytes = monitor ? g.diskFree : run.totalDataBytes;
    std::snprintf(g.textBuffer, kTextBufferSize, monitor ? "Free: %7llu kb %6llu sec" : "Total:%7llu kb %6llu sec",
                  static_cast<unsigned long long>(bytes / kKilobyte),
                  static_cast<unsigned long long>(bytes / source.avgBytesPerSec));
    DrawTextAt(dc, Col(9), Row(10), g.textBuffer);
}

void OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    ClearLevelPanel(dc);
    PatBlt(dc, Col(1), Row(1), Col(35), Row(11), WHITENESS);
    DrawFileName(dc);
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    DrawFormatLines(dc);                           // rate, bits and a zero position line
    DrawTotalLine(dc);
    SelectObject(dc, previousFont);
    DrawChannelLabels(dc);
    DrawDisplayFrame(dc);
    EndPaint(window, &paint);
}

// The position line of on-memory runs, from the elapsed time of the current message.
void OnTimer(HWND window)
{
    const uint32_t elapsed = (static_cast<DWORD>(GetMessageTime()) - run.startTick) / kMillisecondsPerSecond;
    const uint32_t kilobytes = (elapsed * source.avgBytesPerSec) / kKilobyte;
    HDC dc = GetDC(window);
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    std::snprintf(g.textBuffer, kTextBufferSize, "Pos:  %7lu kb %6lu sec", static_cast<unsigned long>(kilobytes),
                  static_cast<unsigned long>(elapsed));
    DrawTextAt(dc, Col(9), Row(7), g.textBuffer);
    SelectObject(dc, previousFont);
    ReleaseDC(window, dc);
}
}  // namespace

bool WaveHeadersReady(HWND owner)
{
    if (app.header[0] && app.header[1]) return true;
    ShowWarning(owner, kHeaderAllocFailed);
    return false;
}

namespace shell {
LRESULT CALLBACK WNDPROC(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        break;
    case WM_DESTROY:
        OnDestroy(window);
        break;
    case WM_PAINT:
        OnPaint(window);
        break;
    case WM_KEYDOWN:
        OnKeyDown(window, static_cast<int>(wParam));
        return 0;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), lParam, HIWORD(wParam));
        return 0;
    case WM_TIMER:
        OnTimer(window);
        return 0;
    case WM_HELP:
        if (IsHelpFromElsewhere(window, reinterpret_cast<const HELPINFO*>(lParam))) OnCommand(window, kCmdHelp, 0, 0);
        return TRUE;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        break;
    case MM_WOM_DONE:
        OnOutputDone(reinterpret_cast<WAVEHDR*>(lParam));
        return 0;
    case MM_WIM_DATA:
        OnInputData(reinterpret_cast<WAVEHDR*>(lParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace shell
