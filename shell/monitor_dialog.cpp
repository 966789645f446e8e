// The Monitor dialog ("RecOpen"): chooses the monitor rate and sample width within what the
// input device reports, always mono, and does not let the user leave with a format the device
// refuses. The format and the device's mask come in through lParam; the rules are plain
// functions of the mask (decisions.cpp).
#include "shell/dialogs.h"
#include "shell/messages.h"

#include <array>
#include <initializer_list>

#include "audio/monitor.h"
#include "resources/resource.h"

namespace {

constexpr uint16_t kMono = 1, kStereo = 2;

MonitorDialogData* DataOf(HWND dialog)
{
    return reinterpret_cast<MonitorDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void EnableItems(HWND dialog, std::initializer_list<int> ids, bool enable)
{
    for (int id : ids) EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}

void InitMonitorDialog(HWND dialog, MonitorDialogData& data)
{
    MonitorFormat& format = *data.format;
    format.channels = kMono;
    CheckRadioButton(dialog, IDC_MON_STEREO, IDC_MON_MONO, IDC_MON_MONO);
    EnableItems(dialog, {IDC_MON_CHANNEL_GROUP, IDC_MON_STEREO, IDC_MON_MONO}, false);

    const MonitorDialogPlan plan = PlanMonitorDialog(data.inputFormats, format.rate, format.bits);
    format.bits = plan.bits;
    format.rate = plan.rate;
    if (plan.widthButton) CheckRadioButton(dialog, IDC_MON_16_BIT, IDC_MON_8_BIT, plan.widthButton);
    if (!plan.widthGroupEnabled) EnableItems(dialog, {IDC_MON_WIDTH_GROUP, IDC_MON_16_BIT, IDC_MON_8_BIT}, false);
    if (plan.rateButton) CheckRadioButton(dialog, IDC_MON_RATE_44, IDC_MON_RATE_11, plan.rateButton);
    if (!plan.rateGroupEnabled)
        EnableItems(dialog, {IDC_MON_RATE_GROUP, IDC_MON_RATE_44, IDC_MON_RATE_22, IDC_MON_RATE_11}, false);
    else if (!plan.rate44Enabled)
        EnableItems(dialog, {IDC_MON_RATE_44}, false);
}

// OK and Esc alike: leave only with a format the device accepts. When it refuses every format
// the dialog still offers, staying would trap the user, so the dialog ends with 0 (the
// dispatcher then restores the previous file name and opens nothing).
void ConfirmMonitorFormat(HWND dialog, const MonitorDialogData& data)
{
    if (data.query(*data.format) == MMSYSERR_NOERROR) {
        EndDialog(dialog, 1);
        return;
    }
    ShowMessage(dialog, IDS_CANNOT_RECORD);
    if (!AnyOfferedFormatAccepted(data.inputFormats, data.query)) EndDialog(dialog, 0);
}

void OnMonitorDialogCommand(HWND dialog, MonitorDialogData& data, int id)
{
    MonitorFormat& format = *data.format;
    switch (id) {
    case IDC_MON_RATE_44: case IDC_MON_RATE_22: case IDC_MON_RATE_11:
        CheckRadioButton(dialog, IDC_MON_RATE_44, IDC_MON_RATE_11, id);
        format.rate = id == IDC_MON_RATE_44 ? kMonitorRate44 : id == IDC_MON_RATE_22 ? kMonitorRate22 : kMonitorRate11;
        break;
    case IDC_MON_STEREO: case IDC_MON_MONO:
        CheckRadioButton(dialog, IDC_MON_STEREO, IDC_MON_MONO, id);
        format.channels = id == IDC_MON_STEREO ? kStereo : kMono;
        break;
    case IDC_MON_16_BIT: case IDC_MON_8_BIT:
        CheckRadioButton(dialog, IDC_MON_16_BIT, IDC_MON_8_BIT, id);
        format.bits = id == IDC_MON_16_BIT ? kMonitorBits16 : kMonitorBits8;
        break;
    case IDOK: case IDCANCEL:
        ConfirmMonitorFormat(dialog, data);
        break;
    default:
        break;
    }
}

}  // namespace

UINT QueryMonitorFormat(const MonitorFormat& format)
{
    return QueryInputFormat(format);
}

INT_PTR CALLBACK MonitorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        InitMonitorDialog(dialog, *DataOf(dialog));
        return TRUE;
    case WM_COMMAND:
        if (MonitorDialogData* data = DataOf(dialog)) OnMonitorDialogCommand(dialog, *data, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
