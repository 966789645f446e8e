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
// InitMainWindow with the arguments of the command line given explicitly (argument 1: the file,
// argument 2: the autoplay switch); InitMainWindow passes the run-time's __argc/__argv.
int InitMainWindowWithArgs(HINSTANCE instance, int showCommand, int argc, char** argv);
// The entry after class registration, with an explicit command line: init, message loop,
// settings written back. Returns the quit code, or 0 when startup fails.
int RunMainWindow(HINSTANCE instance, int showCommand, int argc, char** argv);

// Startup decisions on plain inputs.
uint16_t ReadPlatformVersion();                       // major * 256 + minor of GetVersion
bool IsAutoplaySwitch(const char* argument);          // "/P", "/p", "/Play", ...
// Copies argument 1 into g.fileName when it fits; false (file name left empty) when too long.
bool ApplyFileArgument(const char* argument);
int32_t ParseSettingText(const char* text);          // atol semantics
int32_t CheckedTimeResolution(int32_t value);         // 512..8192 in powers of two, else 2048
int32_t CheckedFftExponent(int32_t value);            // 8..16, else 12
void ReadSettings();                                  // "TRILVO.INI" into the state record
void WriteSettings();                                 // the state record into "TRILVO.INI"
void AdjustMonitorFormat(DWORD inputFormats);         // monitor format from the input mask
int MainWindowWidth(int charWidth);
int MainWindowHeight(int nonClientHeight, int lineHeight);

// ---- Main window procedure (wndproc.cpp) ----
// The window procedure keeps its historical name; it lives in a namespace because WNDPROC is
// also the platform's type name for window procedures.
namespace shell {
LRESULT CALLBACK WNDPROC(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}
void OnCommand(HWND window, int commandId, LPARAM lParam, int notifyCode);
void OnKeyDown(HWND window, int virtualKey);
void OnDropFiles(HDROP drop);
// Help file path for a platform version word and the module path; writes at most size bytes.
void BuildHelpPath(uint16_t version, const char* modulePath, char* path, int size);
// Runs need both wave headers: false, after saying so to `owner`, when WM_CREATE could not
// allocate or lock them.
bool WaveHeadersReady(HWND owner);

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
uint64_t MeasureDisk(const char* path);
char* PadToWidth(char* text, int width);
// directory and name each hold kPathBufferSize bytes.
void SplitPath(const char* path, char* directory, char* name);
const char* FindLastSeparator(const char* text, const char* separators);
// TextOutA of a zero-terminated text.
void DrawTextAt(HDC dc, int x, int y, const char* text);
// The rate, bits and zero position lines of the info panel in the device context's font.
void DrawFormatLines(HDC dc);
// Level panel helpers: fill it black; write a notice in yellow, transparent, at
// (39 columns, 2 rows + a quarter row) in the device context's current font.
void ClearLevelPanel(HDC dc);
void DrawLevelPanelNotice(HDC dc, const char* text);

// ---- Options dialog (options.cpp) ----
INT_PTR CALLBACK OPTION(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void ClampMemorySize();

// Control ids of the "Option" template (OK is IDOK, Cancel arrives as IDCANCEL).
enum OptionControlId : int {
    kOptTimeResolutionList = 101, kOptFftLengthList = 104, kOptWindowList = 109,
    kOptWhiteNoise = 106, kOptPinkNoise = 107, kOptStandardScale = 111, kOptDoubledScale = 112,
    kOptOnMemory = 114, kOptMemorySize = 115, kOptMemorySizeUnit = 116, kOptMemorySizeLabel = 117
};
// List index of a time resolution, -1 when the value is not one of the five offered.
int TimeResolutionIndex(int32_t timeResolution);
// Time resolution of list entry `index`, or `unchanged` when the index is not an entry.
int32_t TimeResolutionAt(int index, int32_t unchanged);
// The memory size bounds for a platform version word (what ClampMemorySize applies).
int32_t BoundedMemorySize(int32_t megabytes, uint16_t platformVersion);
