// The Options dialog (template "Option"): time resolution, FFT length, window function, slope
// reference, amplitude scale, on-memory analysis and its memory size, on the settings passed in
// through lParam. The lists and the memory size are written back on OK; the two radio groups
// write at the click, so Cancel keeps them.
#include "shell/dialogs.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "analysis/fft.h"
#include "resources/resource.h"
#include "texts/texts.h"

namespace {

// Entry i stands for FFT size exponent i + kMinFftExponent.
constexpr std::array<const char*, 9> kFftLengths = {{
    "  256", "  512", " 1024", " 2048", " 4096", " 8192", "16384", "32768", "65536",
}};

constexpr int kWindowTypeCount = 5;

constexpr int kMemorySizeMaxChars = 3;

OptionsDialogData* DataOf(HWND dialog)
{
    return reinterpret_cast<OptionsDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void AddListText(HWND dialog, int listId, const char* text)
{
    SendDlgItemMessageA(dialog, listId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

int SelectedIndex(HWND dialog, int listId)
{
    return static_cast<int>(SendDlgItemMessageA(dialog, listId, CB_GETCURSEL, 0, 0));
}

void EnableMemorySizeControls(HWND dialog, BOOL enable)
{
    for (int id : {IDC_OPT_MEMORY_SIZE, IDC_OPT_MEMORY_UNIT, IDC_OPT_MEMORY_LABEL})
        EnableWindow(GetDlgItem(dialog, id), enable);
}

void FillLists(HWND dialog, const Settings& settings)
{
    for (int i = 0; i < kTimeResolutionCount; ++i) AddListText(dialog, IDC_OPT_TIME_RESOLUTION, LoadedText(TimeResolutionTextId(i)));
    // An index outside the list (a value not offered) leaves the list without a selection.
    SendDlgItemMessageA(dialog, IDC_OPT_TIME_RESOLUTION, CB_SETCURSEL, TimeResolutionIndex(settings.timeResolution), 0);
    for (const char* text : kFftLengths) AddListText(dialog, IDC_OPT_FFT_LENGTH, text);
    SendDlgItemMessageA(dialog, IDC_OPT_FFT_LENGTH, CB_SETCURSEL, settings.fftExponent - kMinFftExponent, 0);
    for (int i = 0; i < kWindowTypeCount; ++i) AddListText(dialog, IDC_OPT_WINDOW, LoadedText(IDS_WINDOW_NAME_FIRST + i));
    SendDlgItemMessageA(dialog, IDC_OPT_WINDOW, CB_SETCURSEL, settings.windowType, 0);
}

void InitOptionsDialog(HWND dialog, const Settings& settings)
{
    FillLists(dialog, settings);
    CheckRadioButton(dialog, IDC_OPT_WHITE_NOISE, IDC_OPT_PINK_NOISE,
                     settings.slopeReference == kSlopeWhite ? IDC_OPT_WHITE_NOISE : IDC_OPT_PINK_NOISE);
    CheckRadioButton(dialog, IDC_OPT_STANDARD_SCALE, IDC_OPT_DOUBLED_SCALE,
                     settings.amplitudeScale == kScaleStandard ? IDC_OPT_STANDARD_SCALE : IDC_OPT_DOUBLED_SCALE);

    SendDlgItemMessageA(dialog, IDC_OPT_MEMORY_SIZE, EM_LIMITTEXT, kMemorySizeMaxChars, 0);
    char text[kMemorySizeMaxChars + 8];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(settings.memorySizeMB));
    SetDlgItemTextA(dialog, IDC_OPT_MEMORY_SIZE, text);

    if (settings.onMemory) {
        CheckDlgButton(dialog, IDC_OPT_ON_MEMORY, BST_CHECKED);
        SetFocus(GetDlgItem(dialog, IDC_OPT_MEMORY_SIZE));
    } else {
        CheckDlgButton(dialog, IDC_OPT_ON_MEMORY, BST_UNCHECKED);
        EnableMemorySizeControls(dialog, FALSE);
        SetFocus(GetDlgItem(dialog, IDC_OPT_ON_MEMORY));
    }
}

// OK: every list, the check box and the memory size go back into the settings. A list without
// a selection leaves its value as it was: for the time resolution that is the designed outcome
// for a value not offered; for the FFT length and the window it keeps an exponent of 7 or a
// window type of -1 (CB_ERR + offset) out of the rest of the program.
void AcceptOptions(HWND dialog, const OptionsDialogData& data)
{
    Settings& settings = *data.settings;
    const int window = SelectedIndex(dialog, IDC_OPT_WINDOW);
    if (window != CB_ERR) settings.windowType = static_cast<WindowType>(window);
    const int fft = SelectedIndex(dialog, IDC_OPT_FFT_LENGTH);
    if (fft != CB_ERR) settings.fftExponent = fft + kMinFftExponent;
    settings.timeResolution = TimeResolutionAt(SelectedIndex(dialog, IDC_OPT_TIME_RESOLUTION), settings.timeResolution);
    settings.onMemory = IsDlgButtonChecked(dialog, IDC_OPT_ON_MEMORY) == BST_CHECKED;
    char text[kMemorySizeMaxChars + 1];
    GetDlgItemTextA(dialog, IDC_OPT_MEMORY_SIZE, text, sizeof text);
    settings.memorySizeMB = BoundedMemorySize(static_cast<int32_t>(std::atol(text)), data.platformVersion);
}

void OnOptionsCommand(HWND dialog, OptionsDialogData& data, int id)
{
    Settings& settings = *data.settings;
    switch (id) {
    case IDOK:
        AcceptOptions(dialog, data);
        EndDialog(dialog, 1);
        break;
    case IDCANCEL:   // nothing to restore: the radio groups have written already
        EndDialog(dialog, 0);
        break;
    case IDC_OPT_WHITE_NOISE:
    case IDC_OPT_PINK_NOISE:
        CheckRadioButton(dialog, IDC_OPT_WHITE_NOISE, IDC_OPT_PINK_NOISE, id);
        settings.slopeReference = id == IDC_OPT_WHITE_NOISE ? kSlopeWhite : kSlopePink;
        break;
    case IDC_OPT_STANDARD_SCALE:
    case IDC_OPT_DOUBLED_SCALE:
        CheckRadioButton(dialog, IDC_OPT_STANDARD_SCALE, IDC_OPT_DOUBLED_SCALE, id);
        settings.amplitudeScale = id == IDC_OPT_STANDARD_SCALE ? kScaleStandard : kScaleDoubled;
        break;
    case IDC_OPT_ON_MEMORY:
        EnableMemorySizeControls(dialog, IsDlgButtonChecked(dialog, IDC_OPT_ON_MEMORY) == BST_CHECKED);
        break;
    default:
        break;
    }
}

}  // namespace

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        InitOptionsDialog(dialog, *DataOf(dialog)->settings);
        return FALSE;   // the focus is set above
    case WM_COMMAND:
        if (OptionsDialogData* data = DataOf(dialog)) OnOptionsCommand(dialog, *data, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
