// The monitor's choices: which offered rates, channel counts and widths a device accepts (grayed
// in the Monitor dialog otherwise, and the dialog's way out when none is), the format kept in the
// settings file and what it becomes at startup (missing, unknown, refused, a device gone), and the
// dialog itself: what a user who changes nothing gets, and a device that refuses some choices.
#include <gtest/gtest.h>
#include <tuple>

#include "resources/resource.h"
#include "shell/dialogs.h"
#include "shell/monitor_settings.h"
#include "tests/support/main_window.h"
#include "tests/support/support.h"

namespace {

constexpr uint32_t kUsbMic = 0, kOldCard = 1;
constexpr DWORD kEveryFormat = 0xFFFFF, kOnly11kHz = 0x00F;
const InputDeviceList kDevices = {
    {kDefaultInputDevice, "", kEveryFormat}, {kUsbMic, "USB Mic", kEveryFormat}, {kOldCard, "Old Card", kOnly11kHz}};

MMRESULT AcceptAll(const MonitorFormat&) { return MMSYSERR_NOERROR; }
MMRESULT RefuseAll(const MonitorFormat&) { return WAVERR_BADFORMAT; }
// The USB microphone records neither 96 kHz nor 24 bit; the other devices record everything.
MMRESULT UsbMicRefuses96kAnd24Bit(const MonitorFormat& f)
{
    return f.device == kUsbMic && (f.rate == 96000 || f.bits == 24) ? WAVERR_BADFORMAT : MMSYSERR_NOERROR;
}
MMRESULT OnlyStereo8BitAt8kHz(const MonitorFormat& f)
{
    return f.rate == 8000 && f.channels == 2 && f.bits == 8 ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

auto Tie(const MonitorFormat& f) { return std::make_tuple(f.rate, int(f.channels), int(f.bits), int32_t(f.device)); }

// A choice is accepted when the device records it in some combination with the others.
TEST(AcceptedChoices, EachChoiceTheDeviceRecordsInSomeCombination)
{
    using Rates = std::array<bool, kMonitorRates.size()>;
    const bool T = true, F = false;
    const struct { InputFormatQuery query; uint32_t device; Rates rates; std::array<bool, 2> channels;
                   std::array<bool, 3> widths; bool any; } cases[] = {
        {AcceptAll, kUsbMic, {T, T, T, T, T, T, T, T, T}, {T, T}, {T, T, T}, true},
        {UsbMicRefuses96kAnd24Bit, kUsbMic, {T, T, T, T, T, T, T, T, F}, {T, T}, {T, T, F}, true},
        {OnlyStereo8BitAt8kHz, kUsbMic, {T, F, F, F, F, F, F, F, F}, {F, T}, {T, F, F}, true},
        {RefuseAll, kUsbMic, {}, {}, {}, false}};
    for (const auto& c : cases) {
        const AcceptedChoices accepted = AcceptedChoicesOf(c.device, c.query);
        EXPECT_EQ(c.rates, accepted.rates) << &c - cases;
        EXPECT_EQ(c.channels, accepted.channels) << &c - cases;
        EXPECT_EQ(c.widths, accepted.widths) << &c - cases;
        EXPECT_EQ(c.any, accepted.Any()) << &c - cases;
    }
}

// What the stored values become at startup.
TEST(StoredMonitorFormat, KeptWhenTheDeviceAcceptsItElseTheDefaultLoweredToTheDevice)
{
    const MonitorFormat kDefault = kDefaultMonitorFormat;
    const struct { StoredMonitorFormat stored; MonitorFormat expected; } cases[] = {
        {{}, kDefault},                                                          // nothing stored
        {{48000, 2, 16, "USB Mic"}, {48000, 2, 16, kUsbMic}},
        {{22050, 1, 8, ""}, {22050, 1, 8, kDefaultInputDevice}},
        {{96000, 2, 16, "USB Mic"}, {44100, 1, 16, kUsbMic}},                    // refused by the device
        {{48000, 2, 24, "Unplugged"}, {48000, 2, 24, kDefaultInputDevice}},      // the device has gone
        {{12345, 1, 16, ""}, kDefault},                                          // not an offered rate
        {{44100, 3, 16, ""}, kDefault}, {{44100, 1, 12, ""}, kDefault},
        {{44100, 1, 16 + 65536, ""}, kDefault},                                  // too large to be a width
        {{-44100, 1, 16, ""}, kDefault},
        {{99, 2, 16, "Old Card"}, {11025, 1, 16, kOldCard}},                     // lowered to 11 kHz
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Tie(c.expected), Tie(ResolveStoredMonitorFormat(c.stored, kDevices, UsbMicRefuses96kAnd24Bit))) << &c - cases;
    }
    EXPECT_EQ(Tie({11025, 1, 8, kDefaultInputDevice}), Tie(ResolveStoredMonitorFormat({}, {}, AcceptAll)))
        << "without any input device the format is lowered as far as it goes";
}

// Written and read back through a settings file; the device is found again by its name, also when
// its number changed (a device gone is a row of the table above).
TEST(StoredMonitorFormat, SurvivesTheSettingsFileAndARenumberedDevice)
{
    const std::string file = TempDirectory() + "monitor.ini";
    DeleteFileA(file.c_str());
    WriteStoredMonitorFormat(file.c_str(), "Trilvo", StoredFormOf({88200, 2, 24, kOldCard}, kDevices));
    const StoredMonitorFormat read = ReadStoredMonitorFormat(file.c_str(), "Trilvo");

    const InputDeviceList renumbered = {{kDefaultInputDevice, "", kEveryFormat}, {0, "Old Card", kEveryFormat}};
    EXPECT_EQ(Tie({88200, 2, 24, kOldCard}), Tie(ResolveStoredMonitorFormat(read, kDevices, AcceptAll)));
    EXPECT_EQ(Tie({88200, 2, 24, 0}), Tie(ResolveStoredMonitorFormat(read, renumbered, AcceptAll)));
    DeleteFileA(file.c_str());
}

// A settings file without the monitor's keys (as before they existed): Monitor then OK without
// touching anything records mono, 16 bit, 44100 Hz on the default device, as it always did.
TEST(MonitorDialog, AUserWhoChangesNothingMonitorsMono16Bit44kHzOnTheDefaultDevice)
{
    for (const char* key : {"monitorrate", "monitorchannels", "monitorbits", "monitordevice"})
        WritePrivateProfileStringA("Trilvo", key, nullptr, "TRILVO.INI");
    BeginBoxCapture();
    MainWindow* app = OpenMainWindow();
    ASSERT_NE(nullptr, app);
    ASSERT_GT(app->inputDeviceCount, 0u) << "the test needs an input device";
    char device[128] = {};
    std::vector<int> checked;
    ASSERT_TRUE(WithDialog(IDM_MONITOR, [&](HWND dialog) {
        GetDlgItemTextA(dialog, IDC_MON_DEVICE, device, sizeof device);
        for (int id = IDC_MON_RATE_44; id <= IDC_MON_24_BIT; ++id)   // the ids in between are none of the dialog's
            if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) checked.push_back(id);
        SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    }));
    EXPECT_EQ(Text(IDS_DEFAULT_INPUT_DEVICE), std::string(device));
    EXPECT_EQ((std::vector<int>{IDC_MON_RATE_44, IDC_MON_MONO, IDC_MON_16_BIT}), checked);
    const SourceFormat& f = app->format;
    EXPECT_EQ(std::make_tuple(WAVE_FORMAT_PCM, 1, 44100u, 16), std::make_tuple(int(f.formatTag), int(f.channels), f.samplesPerSec, int(f.bitsPerSample)));
    EXPECT_TRUE(app->monitor.DeviceOpen());
    CloseMainWindow();
    EXPECT_TRUE(EndBoxCapture().empty());
}

// Choosing the USB microphone grays 96 kHz and 24 bit (and nothing else); the default device gives
// them back. OK on a refused whole format keeps the dialog with the refusal's text.
TEST(MonitorDialog, GraysTheChoicesTheChosenDeviceRefusesAndOkStillQueriesTheWholeFormat)
{
    MonitorFormat format = {96000, 2, 16, kDefaultInputDevice};
    MonitorDialogData data = {&format, &kDevices, UsbMicRefuses96kAnd24Bit};
    const auto enabled = [](HWND dialog, std::initializer_list<int> ids) {
        std::string states;
        for (int id : ids) states += IsWindowEnabled(GetDlgItem(dialog, id)) ? '+' : '-';
        return states;
    };
    const auto choose = [](HWND dialog, int index) {
        HWND list = GetDlgItem(dialog, IDC_MON_DEVICE);
        SendMessageA(list, CB_SETCURSEL, WPARAM(index), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_MON_DEVICE, CBN_SELCHANGE), LPARAM(list));
    };
    const std::initializer_list<int> watched = {IDC_MON_RATE_96, IDC_MON_24_BIT, IDC_MON_RATE_48, IDC_MON_RATE_44,
                                                IDC_MON_16_BIT, IDC_MON_STEREO};
    std::string atStart, onUsbMic, backOnDefault;
    bool stayedAfterRefusal = false;
    INT_PTR result = 0;
    BeginBoxCapture();
    ASSERT_TRUE(WithDialogShownBy(
        [&] { result = DialogBoxParamA(GetModuleHandleA(nullptr), "RecOpen", nullptr, MonitorDialogProc, LPARAM(&data)); },
        [&](HWND dialog) {
            atStart = enabled(dialog, watched);
            choose(dialog, 1);
            onUsbMic = enabled(dialog, watched);
            SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);   // 96 kHz on the microphone
            stayedAfterRefusal = IsWindow(dialog) && IsWindowVisible(dialog);
            choose(dialog, 0);
            backOnDefault = enabled(dialog, watched);
            SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        }));
    EXPECT_EQ("++++++", atStart);
    EXPECT_EQ("--++++", onUsbMic);
    EXPECT_EQ("++++++", backOnDefault);
    EXPECT_TRUE(stayedAfterRefusal);
    const std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(Text(IDS_CANNOT_RECORD), boxes[0].text);
    EXPECT_EQ(1, result);
    EXPECT_EQ(Tie({96000, 2, 16, kDefaultInputDevice}), Tie(format));
}

}  // namespace
