// The shell's decisions on plain inputs: the command line, the settings file's values, the
// window size, the help path, the Options and Monitor dialogs' rules, the status panel's texts
// and path splitting. Nothing here touches a window; tests call these directly.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

#include "core/types.h"

// Platform version words (major * 256 + minor) that change behaviour.
constexpr uint16_t kVersionWin95 = 0x0400;
constexpr uint16_t kVersionBoldLabels = 0x035F;
constexpr uint16_t kVersionOldMemoryLimit = 0x030B;

// ---- Command line and settings ----
bool IsAutoplaySwitch(const char* argument);          // "/P", "/p", "/Play", ...
// Copies `argument` into `fileName` (kPathBufferSize bytes) when it fits; false (name left
// empty) when too long: a cut name would name another file.
bool ApplyFileArgument(const char* argument, char* fileName);
int32_t ParseSettingText(const char* text);          // atol semantics
int32_t CheckedTimeResolution(int32_t value);         // 512..8192 in powers of two, else 2048
int32_t CheckedFftExponent(int32_t value);            // 8..16, else 12
constexpr int32_t kDefaultTimeResolution = 2048;
constexpr int32_t kDefaultFftExponent = 12;

// ---- Window size ----
int MainWindowWidth(int charWidth);
int MainWindowHeight(int nonClientHeight, int lineHeight);

// ---- Help ----
// Help file path for a platform version word and the module path; writes at most size bytes.
void BuildHelpPath(uint16_t version, const char* modulePath, char* path, int size);

// ---- Options dialog ----
constexpr int kTimeResolutionCount = 5;
// List index of a time resolution, -1 when the value is not one of the five offered.
int TimeResolutionIndex(int32_t timeResolution);
// Time resolution of list entry `index`, or `unchanged` when the index is not an entry.
int32_t TimeResolutionAt(int index, int32_t unchanged);
// The string-table text of list entry `index` (0 when the index is not an entry).
UINT TimeResolutionTextId(int index);
// The memory size bounds for a platform version word.
int32_t BoundedMemorySize(int32_t megabytes, uint16_t platformVersion);

// ---- Monitor format ----
// Input format mask groups (WAVE_FORMAT_ capability bits).
constexpr DWORD kAnyInputStereo = 0xAAA;
constexpr DWORD kAnyInput16Bit = 0xCCC;
constexpr DWORD kAnyInput22Or44kHz = 0xFF0;
constexpr DWORD kAnyInput44kHz = 0xF00;
// The remembered monitor format brought within what the input device reports at startup
// (a mask of 0, no device, applies every rule).
MonitorFormat AdjustMonitorFormat(MonitorFormat format, DWORD inputFormats);

// What the Monitor dialog shows for an input format mask and the remembered format: the format
// after the dialog's adjustment, the checked buttons (0: none) and which groups can be used.
struct MonitorDialogPlan {
    uint32_t rate;
    uint16_t bits;
    int rateButton;                 // IDC_MON_RATE_44/22/11 or 0
    int widthButton;                // IDC_MON_16_BIT/8_BIT or 0
    bool rateGroupEnabled;
    bool rate44Enabled;
    bool widthGroupEnabled;
};
MonitorDialogPlan PlanMonitorDialog(DWORD inputFormats, uint32_t rate, uint16_t bits);
constexpr int kMaxOfferedMonitorFormats = 6;
// The mono formats whose buttons the dialog leaves enabled for a mask.
int OfferedMonitorFormats(DWORD inputFormats, MonitorFormat* formats, int capacity);

// ---- Status panel texts (one writer for each line) ----
constexpr size_t kStatusTextSize = 64;
void FormatRateLine(char* out, size_t size, uint32_t samplesPerSec);        // "%2d kHz  "
void FormatBitsLine(char* out, size_t size, uint16_t bitsPerSample);        // "%2d bit  "
void FormatPositionLine(char* out, size_t size, uint32_t kilobytes, uint32_t seconds);
// The Total line of a file, the Free line of the monitor (its recording capacity), or the zero
// Total line before any source.
enum class StatusSource : int { kNone, kFile, kMonitor };
void FormatTotalLine(char* out, size_t size, StatusSource source, uint64_t totalBytes, uint32_t avgBytesPerSec);

// ---- Export ----
// What File > Export writes, in the order of its dialog's file types.
enum class ExportKind : int { kSpectrumCsv = 1, kPng = 2, kBmp = 3 };
// The kind for a chosen name: its extension when it is one of the three (in any case), else the
// file type chosen in the dialog (1-based; anything else is the CSV).
ExportKind ExportKindFor(const char* path, int filterIndex);

// ---- Paths ----
// Pads `text` with blanks to `width` - 1 bytes; false (text cut to width - 1) when it was longer.
bool PadToWidth(char* text, int width);
// directory and name each hold kPathBufferSize bytes.
void SplitPath(const char* path, char* directory, char* name);
const char* FindLastSeparator(const char* text, const char* separators);
