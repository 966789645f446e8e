// Command dispatch of the main window: menu items, the three buttons (they carry the ids of
// Start, Stop and Pause), the F1 key and dropped files.
#include "shell/shell.h"
#include "shell/globals.h"
#include "shell/help.h"
#include "shell/messages.h"
#include "audio/audio.h"
#include "display/display.h"

#include <commdlg.h>
#include <cstdio>
#include <cstring>

#include "trilvo_version.h"

namespace {
const char kAboutText[] = "TRILVO  Version " TRILVO_VERSION_TEXT "\n\n"
                          "WAVファイルの再生音と録音入力を解析する\nオーディオ・スペクトラム・アナライザ";
const char kAboutCaption[] = "About TRILVO";
const char kOpenFilter[] = "ｻｳﾝﾄﾞ(*.WAV)\0*.WAV\0全ファイル(*.*)\0*.*\0";
const char kOpenTitle[] = "再生用にファイルを開く";
const char kAnalyseLabel[] = "解析";
const char kPauseLabel[] = "Pause";
const char kContinueLabel[] = "Cont";
const char kModuleHelpExtension[] = ".EXE";
const char kHelpExtension[] = ".HLP";
const char kHelpNameWin95[] = "TRILVO.HLP";
const char kHelpName[] = "trilvo.hlp";
constexpr DWORD kOpenFileRecordSize = 76;         // the record without the Windows 2000 tail
constexpr DWORD kFileTitleBytes = 256;
constexpr UINT kAllDroppedFiles = 0xFFFFFFFF;
constexpr int kVirtualKeyF1 = 112;

OPENFILENAMEA openFileRecord;

void RedrawFileName(HWND window)
{
    HDC dc = GetDC(window);
    DrawFileName(dc);
    ReleaseDC(window, dc);
}

void KeepFileName() { std::memcpy(g.previousFileName, g.fileName, kPathBufferSize); }
void RestoreFileName() { std::memcpy(g.fileName, g.previousFileName, kPathBufferSize); }

// DialogBoxParamA gives -1 when the dialog cannot be created at all: that is no choice made,
// so it is taken as Cancel.
bool DialogAccepted(INT_PTR result) { return result != 0 && result != -1; }

void ChooseMonitor(HWND window)
{
    CloseSource();
    KeepFileName();
    if (DialogAccepted(DialogBoxParamA(app.instance, "RecOpen", app.mainWindow, NEWFILE, 0))) {
        state.sourceKind = kSourceMonitor;
        SetWindowTextA(app.playButton, kAnalyseLabel);
        EnableWindow(app.playButton, TRUE);
        EnableMenuItem(g.menu, kCmdStart, MF_BYCOMMAND | MF_ENABLED);
        EnableMenuItem(g.menu, kCmdInfo, MF_BYCOMMAND | MF_GRAYED);
        SetFocus(app.playButton);
        g.fileName[0] = '\0';
        OpenMonitor();
    } else {
        RestoreFileName();
    }
    RedrawFileName(window);
}

void ChooseFile(HWND window)
{
    CloseSource();
    KeepFileName();
    std::memset(&openFileRecord, 0, sizeof openFileRecord);
    openFileRecord.lStructSize = kOpenFileRecordSize;
    openFileRecord.hwndOwner = window;
    openFileRecord.lpstrFilter = kOpenFilter;
    openFileRecord.nFilterIndex = 1;
    g.fileName[0] = '\0';
    openFileRecord.lpstrFile = g.fileName;
    openFileRecord.nMaxFile = kPathBufferSize;
    openFileRecord.lpstrFileTitle = g.fileTitle;
    openFileRecord.nMaxFileTitle = kFileTitleBytes;
    openFileRecord.lpstrTitle = kOpenTitle;
    openFileRecord.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&openFileRecord)) SelectFileSource();
    else RestoreFileName();
    RedrawFileName(window);
}

void SelectView(HWND window, int id)
{
    const int oldView = state.viewMode;
    state.viewMode = id;
    if (oldView != id) {
        CheckMenuItem(g.menu, oldView, MF_BYCOMMAND | MF_UNCHECKED);
        CheckMenuItem(g.menu, id, MF_BYCOMMAND | MF_CHECKED);
    }
    if (state.running) {
        HDC dc = GetDC(window);
        DrawDisplayFrame(dc);
        ReleaseDC(window, dc);
    }
}

// Without wave headers (WM_CREATE could not get them) no run can start.
void StartRun(HWND window)
{
    if (state.sourceKind == kSourceNone || !WaveHeadersReady(window)) return;
    if (state.sourceKind == kSourceFile) StartPlayback();
    else if (state.sourceKind == kSourceMonitor) StartMonitor();
}

void StopRun()
{
    if (state.sourceKind == kSourceFile) StopPlayback();
    else if (state.sourceKind == kSourceMonitor) StopMonitor();
}

void DrawOnMemoryNotice()
{
    if (state.sourceKind == kSourceMonitor) DrawOnMemoryMonitorLabel();
    else DrawOnMemoryPlaybackNotice();
}

// Pause and Continue act on a run only; outside one the command is ignored.
void TogglePause(HWND window)
{
    if (!state.running) return;
    const bool onMemory = state.bufferingMode == kOnMemoryMode;
    if (state.paused) {
        if (onMemory) {
            DrawOnMemoryNotice();
            SetTimer(window, kElapsedTimerId, kElapsedTimerPeriodMs, nullptr);
            run.startTick = GetTickCount() + run.startTick - run.pauseTick;
        }
        if (state.sourceKind == kSourceFile) waveOutRestart(app.waveOut);
        else if (state.sourceKind == kSourceMonitor) waveInStart(app.waveIn);
        SetWindowTextA(app.pauseButton, kPauseLabel);
        state.paused = 0;
        return;
    }
    if (onMemory) {
        KillTimer(window, kElapsedTimerId);
        run.pauseTick = GetTickCount();
    }
    if (state.sourceKind == kSourceFile) waveOutPause(app.waveOut);
    else if (state.sourceKind == kSourceMonitor) waveInStop(app.waveIn);
    SetWindowTextA(app.pauseButton, kContinueLabel);
    state.paused = 1;
}
}  // namespace

void BuildHelpPath(uint16_t version, const char* modulePath, char* path, int size)
{
    if (!path || size <= 0) return;
    const char* name = kHelpName;
    if (version == kVersionWin95) {
        const char* extension = modulePath ? std::strstr(modulePath, kModuleHelpExtension) : nullptr;
        if (extension) {
            // The first ".EXE" becomes ".HLP" and the path ends there.
            std::snprintf(path, static_cast<size_t>(size), "%.*s%s", static_cast<int>(extension - modulePath),
                          modulePath, kHelpExtension);
            return;
        }
        name = kHelpNameWin95;
    }
    std::snprintf(path, static_cast<size_t>(size), "%s", name);
}

void OnCommand(HWND window, int commandId, LPARAM, int notifyCode)
{
    switch (commandId) {
    case kCmdAbout:
        std::snprintf(g.textBuffer, kTextBufferSize, "%s", kAboutText);
        MessageBoxA(window, g.textBuffer, kAboutCaption, MB_OK);
        break;
    case kCmdMonitor: ChooseMonitor(window); break;
    case kCmdOpen: ChooseFile(window); break;
    case kCmdInfo:
        CloseSource();
        DialogBoxParamA(app.instance, "InfoBox", app.mainWindow, INFOBOX, 0);
        break;
    case kCmdExit: DestroyWindow(window); break;
    case kCmdHelp: OpenHelp(window, g.platformVersion); break;
    case kCmdViewWaveform:
    case kCmdViewLevelMeter:
    case kCmdViewLinearSpectrum:
    case kCmdViewLogSpectrum:
    case kCmdViewChart:
        SelectView(window, commandId);
        break;
    case kCmdOptions:
        if (DialogAccepted(DialogBoxParamA(app.instance, "Option", app.mainWindow, OPTION, 0))) CloseSource();
        break;
    case kCmdStart:
        if (notifyCode == 0) StartRun(window);
        break;
    case kCmdStop:
        if (notifyCode == 0) StopRun();
        break;
    case kCmdPause: TogglePause(window); break;
    default: break;
    }
}

void OnKeyDown(HWND, int virtualKey)
{
    if (virtualKey == kVirtualKeyF1) SendMessageA(app.mainWindow, WM_COMMAND, kCmdHelp, 0);
}

void OnDropFiles(HDROP drop)
{
    CloseSource();
    if (DragQueryFileA(drop, kAllDroppedFiles, nullptr, 0) >= 1) {
        DragQueryFileA(drop, 0, g.fileName, kPathBufferSize);
        SelectFileSource();
        RedrawFileName(app.mainWindow);
    }
    DragFinish(drop);
}
