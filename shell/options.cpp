// The Options dialog (template "Option", procedure OPTION): time resolution, FFT length,
// window function, slope reference, amplitude scale, on-memory analysis and its memory size.
// The lists and the memory size are written back on OK; the two radio groups write to the
// state record at the click, so Cancel keeps them.
#include "shell/shell.h"
#include "shell/globals.h"
#include "analysis/fft.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

struct TimeResolutionEntry {
    const char* text;
    int32_t value;             // block length in units of 1/11025 s
};

constexpr std::array<TimeResolutionEntry, 5> kTimeResolutions = {{
    {"１秒", 8192}, {"1/3秒", 4096}, {"1/5秒", 2048}, {"1/11秒", 1024}, {"1/22秒", 512},
}};

// Entry i stands for FFT size exponent i + kMinFftExponent.
constexpr std::array<const char*, 9> kFftLengths = {{
    "  256", "  512", " 1024", " 2048", " 4096", " 8192", "16384", "32768", "65536",
}};

// Entry i is window type i.
constexpr std::array<const char*, 5> kWindowNames = {{
    "ハニング", "ハミング", "ﾌﾞﾗｯｸﾏﾝ", "三角", "方形",
}};

constexpr int kMemorySizeMaxChars = 3;
constexpr int32_t kMemorySizeCeiling = 255;
constexpr int32_t kMemorySizeOldPlatformCeiling = 15;
constexpr int32_t kMemorySizeFloor = 2;

template <size_t N>
void FillList(HWND dialog, int listId, const std::array<const char*, N>& texts)
{
    for (const char* text : texts)
        SendDlgItemMessageA(dialog, listId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

int SelectedIndex(HWND dialog, int listId)
{
    return static_cast<int>(SendDlgItemMessageA(dialog, listId, CB_GETCURSEL, 0, 0));
}

void EnableMemorySizeControls(HWND dialog, BOOL enable)
{
    for (int id : {kOptMemorySize, kOptMemorySizeUnit, kOptMemorySizeLabel})
        EnableWindow(GetDlgItem(dialog, id), enable);
}

void FillLists(HWND dialog)
{
    for (const TimeResolutionEntry& entry : kTimeResolutions)
        SendDlgItemMessageA(dialog, kOptTimeResolutionList, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(entry.text));
    // An index outside the list (a value not offered) leaves the list without a selection.
    SendDlgItemMessageA(dialog, kOptTimeResolutionList, CB_SETCURSEL,
                        TimeResolutionIndex(state.timeResolution), 0);
    FillList(dialog, kOptFftLengthList, kFftLengths);
    SendDlgItemMessageA(dialog, kOptFftLengthList, CB_SETCURSEL, state.fftExponent - kMinFftExponent, 0);
    FillList(dialog, kOptWindowList, kWindowNames);
    SendDlgItemMessageA(dialog, kOptWindowList, CB_SETCURSEL, state.windowType, 0);
}

void InitOptionDialog(HWND dialog)
{
    FillLists(dialog);
    CheckRadioButton(dialog, kOptWhiteNoise, kOptPinkNoise,
                     state.slopeReference == kSlopeWhite ? kOptWhiteNoise : kOptPinkNoise);
    CheckRadioButton(dialog, kOptStandardScale, kOptDoubledScale,
                     state.amplitudeScale == kScaleStandard ? kOptStandardScale : kOptDoubledScale);

    SendDlgItemMessageA(dialog, kOptMemorySize, EM_LIMITTEXT, kMemorySizeMaxChars, 0);
    std::snprintf(g.textBuffer, sizeof g.textBuffer, "%d", static_cast<int>(state.memorySizeMB));
    SetDlgItemTextA(dialog, kOptMemorySize, g.textBuffer);

    if (state.onMemoryOption) {
        CheckDlgButton(dialog, kOptOnMemory, BST_CHECKED);
        SetFocus(GetDlgItem(dialog, kOptMemorySize));
    } else {
        CheckDlgButton(dialog, kOptOnMemory, BST_UNCHECKED);
        EnableMemorySizeControls(dialog, FALSE);
        SetFocus(GetDlgItem(dialog, kOptOnMemory));
    }
}

// OK: every list, the check box and the memory size go back into the state record.
// A list without a selection leaves its value as it was. For the time resolution that is the
// designed outcome for a value not offered; for the FFT length and the window it guards the
// rest of the program from an exponent of 7 or a window type of -1 (CB_ERR + offset), which an
// out-of-range "fftparam" from the settings file would otherwise turn into.
void AcceptOptions(HWND dialog)
{
    const int window = SelectedIndex(dialog, kOptWindowList);
    if (window != CB_ERR) state.windowType = window;
    const int fft = SelectedIndex(dialog, kOptFftLengthList);
    if (fft != CB_ERR) state.fftExponent = fft + kMinFftExponent;
    state.timeResolution = TimeResolutionAt(SelectedIndex(dialog, kOptTimeResolutionList),
                                            state.timeResolution);
    state.onMemoryOption = IsDlgButtonChecked(dialog, kOptOnMemory) == BST_CHECKED ? 1 : 0;

    GetDlgItemTextA(dialog, kOptMemorySize, g.textBuffer, kMemorySizeMaxChars + 1);
    state.memorySizeMB = static_cast<int32_t>(std::atol(g.textBuffer));   // no digits give 0
    ClampMemorySize();
}

void OnOptionCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
        AcceptOptions(dialog);
        EndDialog(dialog, 1);
        break;
    case IDCANCEL:   // nothing to restore: the radio groups have written already
        EndDialog(dialog, 0);
        break;
    case kOptWhiteNoise:
    case kOptPinkNoise:
        CheckRadioButton(dialog, kOptWhiteNoise, kOptPinkNoise, id);
        state.slopeReference = id == kOptWhiteNoise ? kSlopeWhite : kSlopePink;
        break;
    case kOptStandardScale:
    case kOptDoubledScale:
        CheckRadioButton(dialog, kOptStandardScale, kOptDoubledScale, id);
        state.amplitudeScale = id == kOptStandardScale ? kScaleStandard : kScaleDoubled;
        break;
    case kOptOnMemory:
        EnableMemorySizeControls(dialog, IsDlgButtonChecked(dialog, kOptOnMemory) == BST_CHECKED);
        break;
    case kOptMemorySize:
        GetDlgItemTextA(dialog, kOptMemorySize, g.textBuffer, kMemorySizeMaxChars + 1);
        break;
    default:
        break;
    }
}

}  // namespace

int TimeResolutionIndex(int32_t timeResolution)
{
    for (size_t i = 0; i < kTimeResolutions.size(); ++i)
        if (kTimeResolutions[i].value == timeResolution) return static_cast<int>(i);
    return -1;
}

int32_t TimeResolutionAt(int index, int32_t unchanged)
{
    if (index < 0 || index >= static_cast<int>(kTimeResolutions.size())) return unchanged;
    return kTimeResolutions[index].value;
}

int32_t BoundedMemorySize(int32_t megabytes, uint16_t platformVersion)
{
    if (megabytes > kMemorySizeCeiling) megabytes = kMemorySizeCeiling;
    if (platformVersion <= kVersionOldMemoryLimit && megabytes > kMemorySizeOldPlatformCeiling)
        megabytes = kMemorySizeOldPlatformCeiling;
    if (megabytes < kMemorySizeFloor) megabytes = kMemorySizeFloor;
    return megabytes;
}

void ClampMemorySize()
{
    state.memorySizeMB = BoundedMemorySize(state.memorySizeMB, g.platformVersion);
}

INT_PTR CALLBACK OPTION(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitOptionDialog(dialog);
        return FALSE;   // the focus is set above
    case WM_COMMAND:
        OnOptionCommand(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
