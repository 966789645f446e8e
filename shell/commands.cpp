// Command dispatch of the main window: menu items (Export has its own file), the three buttons (they carry the ids of
// Start, Stop and Pause), the source choices (Monitor, Open, drops), views, Options, Help.
#include "shell/dialogs.h"
#include "shell/help.h"
#include "shell/loudness_dialog.h"
#include "shell/mainwindow.h"
#include "shell/messages.h"
#include "display/display.h"
#include "resources/resource.h"

#include <commdlg.h>
#include <cstdio>
#include <cstring>

#include "trilvo_version.h"

namespace {
constexpr int kFilterBytes = 1024;
constexpr DWORD kOpenFileRecordSize = 76;         // the record without the Windows 2000 tail
constexpr DWORD kFileTitleBytes = 256;
constexpr UINT kAllDroppedFiles = 0xFFFFFFFF;
constexpr int kAboutBytes = 512;

void RedrawFileName(MainWindow& app)
{
    HDC dc = GetDC(app.window);
    DrawFileName(app, dc);
    ReleaseDC(app.window, dc);
}

void KeepFileName(MainWindow& app) { std::memcpy(app.previousFileName, app.fileName, kPathBufferSize); }
void RestoreFileName(MainWindow& app) { std::memcpy(app.fileName, app.previousFileName, kPathBufferSize); }

// DialogBoxParamA gives -1 when the dialog cannot be created at all: that is no choice made,
// so it is taken as Cancel.
bool DialogAccepted(INT_PTR result) { return result != 0 && result != -1; }

void ChooseMonitor(MainWindow& app)
{
    CloseSource(app);
    KeepFileName(app);
    // Listed afresh each time: a device may have been plugged in or out since.
    const InputDeviceList devices = ListInputDevices();
    MonitorDialogData data = {&app.settings.monitor, &devices, QueryInputFormat};
    if (DialogAccepted(DialogBoxParamA(app.instance, "RecOpen", app.window, MonitorDialogProc,
                                       reinterpret_cast<LPARAM>(&data)))) {
        app.sourceKind = SourceKind::kMonitor;
        ShowIdleWithMonitor(app);
        SetFocus(app.playButton);
        app.fileName[0] = '\0';
        (void)OpenMonitorSource(app);   // a refusal has been shown; Start tries again
    } else {
        RestoreFileName(app);
    }
    RedrawFileName(app);
}

void ChooseFile(MainWindow& app)
{
    CloseSource(app);
    KeepFileName(app);
    char fileTitle[kPathBufferSize] = {};
    char filter[kFilterBytes];
    LoadFilterText(IDS_OPEN_FILTER, filter, sizeof filter);
    const LoadedText title(IDS_OPEN_TITLE);
    OPENFILENAMEA record = {};
    record.lStructSize = kOpenFileRecordSize;
    record.hwndOwner = app.window;
    record.lpstrFilter = filter;
    record.nFilterIndex = 1;
    app.fileName[0] = '\0';
    record.lpstrFile = app.fileName;
    record.nMaxFile = kPathBufferSize;
    record.lpstrFileTitle = fileTitle;
    record.nMaxFileTitle = kFileTitleBytes;
    record.lpstrTitle = title;
    record.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&record)) (void)SelectFileSource(app);
    else RestoreFileName(app);
    RedrawFileName(app);
}

void ShowAbout(MainWindow& app)
{
    char format[kAboutBytes], text[kAboutBytes], caption[kAboutBytes];
    LoadText(IDS_ABOUT_TEXT, format, sizeof format);
    std::snprintf(text, sizeof text, format, TRILVO_VERSION_TEXT);
    LoadText(IDS_ABOUT_CAPTION, caption, sizeof caption);
    MessageBoxA(app.window, text, caption, MB_OK);
}

void SelectView(MainWindow& app, int commandId)
{
    const int oldCommand = IDM_VIEW_WAVEFORM + app.settings.view;
    app.settings.view = static_cast<ViewMode>(commandId - IDM_VIEW_WAVEFORM);
    if (oldCommand != commandId) {
        CheckMenuItem(app.menu, oldCommand, MF_BYCOMMAND | MF_UNCHECKED);
        CheckMenuItem(app.menu, commandId, MF_BYCOMMAND | MF_CHECKED);
    }
    if (app.Running()) {
        HDC dc = GetDC(app.window);
        DrawDisplayFrame(dc, app.layout, app.settings, app.format);
        ReleaseDC(app.window, dc);
        ForgetChartRows(app);
    }
}

void ChooseOptions(MainWindow& app)
{
    OptionsDialogData data = {&app.settings, app.platformVersion};
    if (DialogAccepted(DialogBoxParamA(app.instance, "Option", app.window, OptionsDialogProc,
                                       reinterpret_cast<LPARAM>(&data))))
        CloseSource(app);   // the next Start opens the source again with the new block size
}
}  // namespace

void OnCommand(MainWindow& app, int commandId, int notifyCode)
{
    switch (commandId) {
    case IDM_ABOUT: ShowAbout(app); break;
    case IDM_MONITOR: ChooseMonitor(app); break;
    case IDM_OPEN: ChooseFile(app); break;
    case IDM_INFO:
        CloseSource(app);
        DialogBoxParamA(app.instance, "InfoBox", app.window, InfoDialogProc, reinterpret_cast<LPARAM>(app.fileName));
        break;
    case IDM_EXPORT: ExportLastBlock(app); break;
    case IDM_LOUDNESS: MeasureOpenFileLoudness(app); break;
    case IDM_EXIT: DestroyWindow(app.window); break;
    case IDM_HELP: OpenHelp(app.window, app.platformVersion); break;
    case IDM_VIEW_WAVEFORM:
    case IDM_VIEW_LEVEL_METER:
    case IDM_VIEW_LINEAR_SPECTRUM:
    case IDM_VIEW_LOG_SPECTRUM:
    case IDM_VIEW_CHART:
        SelectView(app, commandId);
        break;
    case IDM_OPTIONS: ChooseOptions(app); break;
    case IDM_START:
        if (notifyCode == 0) StartRun(app);
        break;
    case IDM_STOP:
        if (notifyCode == 0) StopRun(app);
        break;
    case IDM_PAUSE: TogglePause(app); break;
    default: break;
    }
}

void OnDropFiles(MainWindow& app, HDROP drop)
{
    CloseSource(app);
    if (DragQueryFileA(drop, kAllDroppedFiles, nullptr, 0) >= 1) {
        DragQueryFileA(drop, 0, app.fileName, kPathBufferSize);
        (void)SelectFileSource(app);
        RedrawFileName(app);
    }
    DragFinish(drop);
}
