// The main window procedure: one handler per message. Creation takes the wave headers,
// destruction gives back whatever runs, the repaint draws the info and level panels, F1 (as a
// key, or as WM_HELP from a button or a menu) asks for help, and the device notifications go to
// the runs.
#include <windowsx.h>

#include "shell/help.h"
#include "shell/loudness_dialog.h"
#include "shell/mainwindow.h"
#include "shell/messages.h"
#include "display/display.h"
#include "resources/resource.h"

namespace {
constexpr int kVirtualKeyF1 = VK_F1;
constexpr int kInfoPanelCols = 35, kInfoPanelRows = 11;

void OnCreate(MainWindow& app, HWND window)
{
    CheckMenuItem(GetMenu(window), IDM_VIEW_WAVEFORM + app.settings.view, MF_BYCOMMAND | MF_CHECKED);
    const MemoryResult result = app.headers.Allocate();
    if (result == MemoryResult::kNoMemory) {
        ShowMessage(window, IDS_HEADER_ALLOC_FAILED);
        return;
    }
    if (result == MemoryResult::kLockFailed) {
        ShowMessage(window, IDS_HEADER_LOCK_FAILED);
        return;
    }
}

void OnDestroy(MainWindow& app, HWND window)
{
    if (app.layout.palette) {
        DeleteObject(app.layout.palette);
        app.layout.palette = nullptr;
    }
    DragAcceptFiles(window, FALSE);
    KillTimer(window, kElapsedTimerId);
    KillTimer(window, kWatchdogTimerId);
    // Whatever runs hands its buffers back before the headers they use are freed.
    app.playback.Abort();
    app.monitor.Abort();
    CloseSource(app);
    app.headers.Release();
    PostQuitMessage(0);
}

void OnPaint(MainWindow& app, HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    ClearLevelPanel(app, dc);
    PatBlt(dc, app.layout.Col(1), app.layout.Row(1), app.layout.Col(kInfoPanelCols), app.layout.Row(kInfoPanelRows),
           WHITENESS);
    DrawFileName(app, dc);
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    DrawFormatLines(app, dc);                      // rate, bits and a zero position line
    DrawTotalLine(app, dc);
    SelectObject(dc, previousFont);
    DrawChannelLabels(app, dc);
    DrawDisplayFrame(dc, app.layout, app.settings, app.format);
    ForgetChartRows(app);
    EndPaint(window, &paint);
}
}  // namespace

MainWindow* MainWindowOf(HWND window)
{
    return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    MainWindow* app = MainWindowOf(window);
    if (!app) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_CREATE:
        app->window = window;
        app->menu = GetMenu(window);
        OnCreate(*app, window);
        break;
    case WM_DESTROY:
        OnDestroy(*app, window);
        break;
    case WM_PAINT:
        OnPaint(*app, window);
        return 0;
    case WM_KEYDOWN:
        if (static_cast<int>(wParam) == kVirtualKeyF1) SendMessageA(window, WM_COMMAND, IDM_HELP, 0);
        return 0;
    case WM_HELP:
        if (IsHelpFromElsewhere(window, reinterpret_cast<const HELPINFO*>(lParam))) OnCommand(*app, IDM_HELP, 0);
        return TRUE;
    case WM_COMMAND:
        // A command sent while a device call waits would act on a half-opened source: it is
        // posted again, to be handled once the call is done.
        if (app->inDeviceCall) PostMessageA(window, message, wParam, lParam);
        else OnCommand(*app, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        UpdateLoudnessItem(*app);
        break;
    case WM_TIMER:
        if (wParam == kWatchdogTimerId) OnWatchdogTimer(*app, GetTickCount());
        else OnElapsedTimer(*app, static_cast<DWORD>(GetMessageTime()));
        return 0;
    case WM_DROPFILES:
        OnDropFiles(*app, reinterpret_cast<HDROP>(wParam));
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(*app, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave(*app);
        return 0;
    case MM_WOM_DONE:
        OnOutputDone(*app, reinterpret_cast<const WAVEHDR*>(lParam));
        return 0;
    case MM_WIM_DATA:
        OnInputData(*app, reinterpret_cast<const WAVEHDR*>(lParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
