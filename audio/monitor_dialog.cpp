// The Monitor dialog ("RecOpen", procedure NEWFILE): chooses the monitor rate and sample width
// within what the input device reports, always mono, and does not let the user leave with a
// format the device refuses. The decisions are plain functions of the format mask.
#include "audio/audio.h"
#include "shell/globals.h"
#include "shell/messages.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace {

enum MonitorDialogId : int {
    kIdRateGroup = 105, kIdRate44 = 106, kIdRate22 = 107, kIdRate11 = 108,
    kIdChannelGroup = 109, kIdStereo = 110, kIdMono = 111,
    kIdWidthGroup = 112, kId16Bit = 113, kId8Bit = 114
};

constexpr uint32_t kRate44 = 44100, kRate22 = 22050, kRate11 = 11025;
constexpr uint16_t kWidth16 = 16, kWidth8 = 8;
constexpr uint16_t kMono = 1, kStereo = 2;

struct RateButton { int id; uint32_t rate; };
constexpr std::array<RateButton, 3> kRateButtons = {{
    {kIdRate44, kRate44}, {kIdRate22, kRate22}, {kIdRate11, kRate11}}};

const char kCannotRecord[] = "サウンドドライバは、この形式を録音できません。";

int RateButtonFor(uint32_t rate)
{
    for (const RateButton& button : kRateButtons)
        if (button.rate == rate) return button.id;
    return 0;
}

int WidthButtonFor(uint16_t bits)
{
    if (bits == kWidth16) return kId16Bit;
    if (bits == kWidth8) return kId8Bit;
    return 0;
}

void EnableItems(HWND dialog, std::initializer_list<int> ids, bool enable)
{
    for (int id : ids) EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}

void InitMonitorDialog(HWND dialog)
{
    state.monitorChannels = kMono;
    CheckRadioButton(dialog, kIdStereo, kIdMono, kIdMono);
    EnableItems(dialog, {kIdChannelGroup, kIdStereo, kIdMono}, false);

    const MonitorDialogPlan plan = PlanMonitorDialog(g.inputFormats, state.monitorRate, state.monitorBits);
    state.monitorBits = plan.bits;
    state.monitorRate = plan.rate;
    if (plan.widthButton) CheckRadioButton(dialog, kId16Bit, kId8Bit, plan.widthButton);
    if (!plan.widthGroupEnabled) EnableItems(dialog, {kIdWidthGroup, kId16Bit, kId8Bit}, false);
    if (plan.rateButton) CheckRadioButton(dialog, kIdRate44, kIdRate11, plan.rateButton);
    if (!plan.rateGroupEnabled) EnableItems(dialog, {kIdRateGroup, kIdRate44, kIdRate22, kIdRate11}, false);
    else if (!plan.rate44Enabled) EnableItems(dialog, {kIdRate44}, false);
}

UINT QueryInputFormat(uint32_t rate, uint16_t channels, uint16_t bits)
{
    WAVEFORMATEX format = {};
    FillMonitorFormat(&format, rate, channels, bits);
    return waveInOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY);
}

// OK and Esc alike: leave only with a format the device accepts. When it refuses every format
// the dialog still offers, staying would trap the user, so the dialog ends with 0 (the
// dispatcher then restores the previous file name and opens nothing).
void ConfirmMonitorFormat(HWND dialog)
{
    if (QueryInputFormat(state.monitorRate, state.monitorChannels, state.monitorBits) == MMSYSERR_NOERROR) {
        EndDialog(dialog, 1);
        return;
    }
    ShowWarning(dialog, kCannotRecord);
    if (!AnyOfferedFormatAccepted(g.inputFormats, QueryMonoInputFormat)) EndDialog(dialog, 0);
}

void OnMonitorDialogCommand(HWND dialog, int id)
{
    switch (id) {
    case kIdRate44: case kIdRate22: case kIdRate11:
        CheckRadioButton(dialog, kIdRate44, kIdRate11, id);
        state.monitorRate = kRateButtons[id - kIdRate44].rate;
        break;
    case kIdStereo: case kIdMono:
        CheckRadioButton(dialog, kIdStereo, kIdMono, id);
        state.monitorChannels = id == kIdStereo ? kStereo : kMono;
        break;
    case kId16Bit: case kId8Bit:
        CheckRadioButton(dialog, kId16Bit, kId8Bit, id);
        state.monitorBits = id == kId16Bit ? kWidth16 : kWidth8;
        break;
    case IDOK: case IDCANCEL:
        ConfirmMonitorFormat(dialog);
        break;
    default:
        break;
    }
}

}  // namespace

MonitorDialogPlan PlanMonitorDialog(DWORD inputFormats, uint32_t rate, uint16_t bits)
{
    MonitorDialogPlan plan = {rate, bits, 0, 0, true, true, true};
    if (!(inputFormats & kAnyInput16Bit)) {
        plan.bits = kWidth8;
        plan.widthGroupEnabled = false;
    }
    plan.widthButton = WidthButtonFor(plan.bits);
    if (!(inputFormats & kAnyInput22Or44kHz)) {
        plan.rate = kRate11;
        plan.rateGroupEnabled = false;
        plan.rate44Enabled = false;
    } else if (!(inputFormats & kAnyInput44kHz)) {
        if (plan.rate == kRate44) plan.rate = kRate22;
        plan.rate44Enabled = false;
    }
    plan.rateButton = RateButtonFor(plan.rate);
    return plan;
}

int OfferedMonitorFormats(DWORD inputFormats, MonitorFormat* formats, int capacity)
{
    const MonitorDialogPlan plan = PlanMonitorDialog(inputFormats, kRate44, kWidth16);
    int count = 0;
    for (const RateButton& button : kRateButtons) {
        const bool rateOffered = button.rate == kRate11 ||
            (plan.rateGroupEnabled && (button.rate != kRate44 || plan.rate44Enabled));
        if (!rateOffered) continue;
        for (uint16_t bits : {kWidth16, kWidth8}) {
            if (bits == kWidth16 && !plan.widthGroupEnabled) continue;
            if (count < capacity) formats[count] = {button.rate, bits};
            ++count;
        }
    }
    return std::min(count, capacity);
}

bool AnyOfferedFormatAccepted(DWORD inputFormats, MonitorFormatQuery query)
{
    std::array<MonitorFormat, kMaxOfferedMonitorFormats> formats;
    const int count = OfferedMonitorFormats(inputFormats, formats.data(), int(formats.size()));
    for (int i = 0; i < count; ++i)
        if (query(formats[i].rate, formats[i].bits) == MMSYSERR_NOERROR) return true;
    return false;
}

void FillMonitorFormat(WAVEFORMATEX* format, uint32_t rate, uint16_t channels, uint16_t bits)
{
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = channels;
    format->nSamplesPerSec = rate;
    format->nBlockAlign = static_cast<WORD>((bits / 8) * channels);
    format->nAvgBytesPerSec = format->nBlockAlign * rate;
    format->wBitsPerSample = bits;
}

UINT QueryMonoInputFormat(uint32_t rate, uint16_t bits)
{
    return QueryInputFormat(rate, kMono, bits);
}

INT_PTR CALLBACK NEWFILE(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitMonitorDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        OnMonitorDialogCommand(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
