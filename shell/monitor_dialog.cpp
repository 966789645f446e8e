// The Monitor dialog ("RecOpen"): chooses the input device, the monitor rate, channels and sample
// width, and does not let the user leave with a format the device refuses. The choices a device
// records in no combination are grayed when the device is chosen; the rules of the device's format
// mask for the three usual rates and 16/8 bit still apply (decisions.cpp). The format, the
// device list and the query come in through lParam.
#include "shell/dialogs.h"
#include "shell/messages.h"

#include <array>
#include <initializer_list>

#include "resources/resource.h"

namespace {

// The buttons of the offered choices, in the order of kMonitorRates, kMonitorChannelCounts and
// kMonitorWidths.
constexpr std::array<int, kMonitorRates.size()> kRateButtons = {
    IDC_MON_RATE_8, IDC_MON_RATE_11, IDC_MON_RATE_16, IDC_MON_RATE_22, IDC_MON_RATE_32,
    IDC_MON_RATE_44, IDC_MON_RATE_48, IDC_MON_RATE_88, IDC_MON_RATE_96};
constexpr std::array<int, kMonitorChannelCounts.size()> kChannelButtons = {IDC_MON_MONO, IDC_MON_STEREO};
constexpr std::array<int, kMonitorWidths.size()> kWidthButtons = {IDC_MON_8_BIT, IDC_MON_16_BIT, IDC_MON_24_BIT};
constexpr int kDeviceNameBytes = 64;

MonitorDialogData* DataOf(HWND dialog)
{
    return reinterpret_cast<MonitorDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void EnableItems(HWND dialog, std::initializer_list<int> ids, bool enable)
{
    for (int id : ids) EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}

// Checks the button of `value` among `buttons` (the buttons of `values`) and clears the others.
template <typename T, size_t N>
void CheckChoice(HWND dialog, const std::array<int, N>& buttons, const std::array<T, N>& values, T value)
{
    for (size_t i = 0; i < N; ++i) CheckDlgButton(dialog, buttons[i], values[i] == value ? BST_CHECKED : BST_UNCHECKED);
}

// The value of button `id` among `buttons`; false when it is none of them.
template <typename T, size_t N>
bool ChoiceOf(int id, const std::array<int, N>& buttons, const std::array<T, N>& values, T& value)
{
    for (size_t i = 0; i < N; ++i)
        if (buttons[i] == id) {
            value = values[i];
            return true;
        }
    return false;
}

template <size_t N>
void GrayRefused(HWND dialog, const std::array<int, N>& buttons, const std::array<bool, N>& accepted)
{
    for (size_t i = 0; i < N; ++i)
        if (!accepted[i]) EnableWindow(GetDlgItem(dialog, buttons[i]), FALSE);
}

DWORD FormatMaskOf(const MonitorDialogData& data)
{
    const int index = InputDeviceIndex(*data.devices, data.format->device);
    return index >= 0 ? (*data.devices)[size_t(index)].formats : 0;
}

// Every choice enabled, then the mask's rules and the device's refusals gray what they exclude;
// the buttons of the (possibly adjusted) format are checked.
void ShowDeviceChoices(HWND dialog, MonitorDialogData& data)
{
    MonitorFormat& format = *data.format;
    for (int id : kRateButtons) EnableWindow(GetDlgItem(dialog, id), TRUE);
    for (int id : kChannelButtons) EnableWindow(GetDlgItem(dialog, id), TRUE);
    for (int id : kWidthButtons) EnableWindow(GetDlgItem(dialog, id), TRUE);
    EnableItems(dialog, {IDC_MON_RATE_GROUP, IDC_MON_CHANNEL_GROUP, IDC_MON_WIDTH_GROUP}, true);

    const MonitorDialogPlan plan = PlanMonitorDialog(FormatMaskOf(data), format.rate, format.bits);
    format.bits = plan.bits;
    format.rate = plan.rate;
    if (!plan.widthGroupEnabled) EnableItems(dialog, {IDC_MON_WIDTH_GROUP, IDC_MON_16_BIT, IDC_MON_8_BIT, IDC_MON_24_BIT}, false);
    if (!plan.rateGroupEnabled)
        EnableItems(dialog, {IDC_MON_RATE_GROUP, IDC_MON_RATE_44, IDC_MON_RATE_22, IDC_MON_RATE_11}, false);
    else if (!plan.rate44Enabled)
        EnableItems(dialog, {IDC_MON_RATE_44}, false);

    const AcceptedChoices accepted = AcceptedChoicesOf(format.device, data.query);
    GrayRefused(dialog, kRateButtons, accepted.rates);
    GrayRefused(dialog, kChannelButtons, accepted.channels);
    GrayRefused(dialog, kWidthButtons, accepted.widths);

    CheckChoice(dialog, kRateButtons, kMonitorRates, format.rate);
    CheckChoice(dialog, kChannelButtons, kMonitorChannelCounts, format.channels);
    CheckChoice(dialog, kWidthButtons, kMonitorWidths, format.bits);
}

// The mapper as "the default device", then every device by its name; the format's device chosen
// (the default one when it is no longer listed).
void FillDeviceList(HWND dialog, MonitorDialogData& data)
{
    HWND list = GetDlgItem(dialog, IDC_MON_DEVICE);
    for (const InputDevice& device : *data.devices) {
        char name[kDeviceNameBytes];
        if (device.id == kDefaultInputDevice) LoadText(IDS_DEFAULT_INPUT_DEVICE, name, sizeof name);
        else lstrcpynA(name, device.name.c_str(), sizeof name);
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    int index = InputDeviceIndex(*data.devices, data.format->device);
    if (index < 0) {
        index = 0;
        data.format->device = kDefaultInputDevice;
    }
    SendMessageA(list, CB_SETCURSEL, WPARAM(index), 0);
}

void InitMonitorDialog(HWND dialog, MonitorDialogData& data)
{
    if (data.format->channels != 2) data.format->channels = 1;
    FillDeviceList(dialog, data);
    ShowDeviceChoices(dialog, data);
}

void OnDeviceChosen(HWND dialog, MonitorDialogData& data)
{
    const LRESULT index = SendDlgItemMessageA(dialog, IDC_MON_DEVICE, CB_GETCURSEL, 0, 0);
    if (index < 0 || size_t(index) >= data.devices->size()) return;
    data.format->device = (*data.devices)[size_t(index)].id;
    ShowDeviceChoices(dialog, data);
}

// OK and Esc alike: leave only with a format the device accepts. When the device refuses every
// format the dialog offers, staying would trap the user, so the dialog ends with 0 (the
// dispatcher then restores the previous file name and opens nothing).
void ConfirmMonitorFormat(HWND dialog, const MonitorDialogData& data)
{
    if (data.query(*data.format) == MMSYSERR_NOERROR) {
        EndDialog(dialog, 1);
        return;
    }
    ShowMessage(dialog, IDS_CANNOT_RECORD);
    if (!AcceptedChoicesOf(data.format->device, data.query).Any()) EndDialog(dialog, 0);
}

void OnMonitorDialogCommand(HWND dialog, MonitorDialogData& data, int id, int notifyCode)
{
    MonitorFormat& format = *data.format;
    if (ChoiceOf(id, kRateButtons, kMonitorRates, format.rate)) {
        CheckChoice(dialog, kRateButtons, kMonitorRates, format.rate);
    } else if (ChoiceOf(id, kChannelButtons, kMonitorChannelCounts, format.channels)) {
        CheckChoice(dialog, kChannelButtons, kMonitorChannelCounts, format.channels);
    } else if (ChoiceOf(id, kWidthButtons, kMonitorWidths, format.bits)) {
        CheckChoice(dialog, kWidthButtons, kMonitorWidths, format.bits);
    } else if (id == IDC_MON_DEVICE && notifyCode == CBN_SELCHANGE) {
        OnDeviceChosen(dialog, data);
    } else if (id == IDOK || id == IDCANCEL) {
        ConfirmMonitorFormat(dialog, data);
    }
}

}  // namespace

INT_PTR CALLBACK MonitorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        InitMonitorDialog(dialog, *DataOf(dialog));
        return TRUE;
    case WM_COMMAND:
        if (MonitorDialogData* data = DataOf(dialog))
            OnMonitorDialogCommand(dialog, *data, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
