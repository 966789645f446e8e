// Application shell: entry and main window, command dispatch, control state and status texts,
// the Options dialog.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <cstdint>

// ---- Startup (startup.cpp) ----
int TrilvoMain(HINSTANCE instance, HINSTANCE previous, int showCommand);
BOOL RegisterMainClass(HINSTANCE instance);
int InitMainWindow(HINSTANCE instance, int showCommand);

// ---- Main window procedure (wndproc.cpp) ----
// The window procedure keeps its historical name; it lives in a namespace because WNDPROC is
// also the platform's type name for window procedures.
namespace shell {
LRESULT CALLBACK WNDPROC(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}
void OnCommand(HWND window, int commandId, LPARAM lParam, int notifyCode);
void OnKeyDown(HWND window, int virtualKey);
void OnDropFiles(HDROP drop);

// ---- Control state and status panel (controls.cpp, paths.cpp) ----
int SelectFileSource();
void EnableIdleControls();
void DisableSourceControls();
void EnableRunControls();
void DisableRunControls();
void DrawFileName(HDC dc);
void ShowSourceFormat(const WAVEFORMATEX* format);   // reads the first 16 bytes only
void DrawChannelLabels(HDC dc);
void DrawOnMemoryMonitorLabel();
uint32_t MeasureDisk(const char* path);
char* PadToWidth(char* text, int width);
void SplitPath(const char* path, char* directory, char* name);
const char* FindLastSeparator(const char* text, const char* separators);
// Level panel helpers: fill it black; write a notice in yellow, transparent, at
// (39 columns, 2 rows + a quarter row) in the device context's current font.
void ClearLevelPanel(HDC dc);
void DrawLevelPanelNotice(HDC dc, const char* text);

// ---- Options dialog (options.cpp) ----
INT_PTR CALLBACK OPTION(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void ClampMemorySize();
