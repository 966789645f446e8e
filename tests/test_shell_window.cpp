// The real main window in this process: its size from the font, the view check mark, the
// controls through each change of state, a drop, a cancelled Open, the header check, and the
// Options dialog run by the Options command, down to the next Start.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <tuple>

#include "analysis/analysis.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/monitor_support.h"
#include "tests/support/playback_support.h"

namespace {

void Command(int id) { SendMessageA(app.mainWindow, WM_COMMAND, id, 0); }
bool MenuFlag(int id, UINT flag) { return (GetMenuState(g.menu, id, MF_BYCOMMAND) & flag) != 0; }

const std::vector<uint8_t> kSilence8(8820, 128);
void Select(const std::string& file)
{
    std::strcpy(g.fileName, file.c_str());
    BeginBoxCapture();
    SelectFileSource();
    EndBoxCapture();
}

// "label buttons menu drops focus": play, stop, pause buttons 1 enabled / 0 disabled; menu items
// Monitor, Open, Info, Options, Start, Stop, Pause + enabled / - grayed; the play button's focus.
std::string Controls()
{
    char label[16] = {};
    GetWindowTextA(app.playButton, label, sizeof label);
    std::string text = std::string(label) + " ";
    for (HWND button : {app.playButton, app.stopButton, app.pauseButton}) text += IsWindowEnabled(button) ? '1' : '0';
    text += ' ';
    for (int id : {kCmdMonitor, kCmdOpen, kCmdInfo, kCmdOptions, kCmdStart, kCmdStop, kCmdPause})
        text += MenuFlag(id, MF_GRAYED) ? '-' : '+';
    text += (GetWindowLongA(app.mainWindow, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) ? " drops" : " -";
    return text + (GetFocus() == app.playButton ? " focus" : "");
}

// A command that shows a modal dialog, with `act` run once on the dialog from the dialog's own
// loop; a dialog still open 10 s later is ended with -2 and the run fails.
struct { std::function<void(HWND)> act; HWND dialog; int ticksAfter; } script;
constexpr int kTickMs = 20, kTicksBound = 500;

void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (script.dialog && ++script.ticksAfter == kTicksBound) EndDialog(script.dialog, -2);
    if (script.dialog) return;
    HWND dialog = FindWindowA("#32770", nullptr);
    if (!dialog || GetWindowThreadProcessId(dialog, nullptr) != GetCurrentThreadId() || !IsWindowVisible(dialog)) return;
    script.dialog = dialog;
    script.act(dialog);
}

bool WithDialog(int command, std::function<void(HWND)> act)
{
    script = {std::move(act), nullptr, 0};
    const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, ScriptTick);
    Command(command);
    KillTimer(nullptr, timer);
    return script.dialog && script.ticksAfter < kTicksBound;
}

int Selection(HWND dialog, int id) { return int(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0)); }
void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void Choose(HWND dialog, int id, const char* text)           // the entry reading exactly `text`
{
    if (text) SendDlgItemMessageA(dialog, id, CB_SETCURSEL,
                                  SendDlgItemMessageA(dialog, id, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text)), 0);
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenMainWindow()); }
    void TearDown() override { CloseMainWindow(); }
};

TEST_F(MainWindow, IsSizedFromTheOemFontAndChecksTheChosenView)
{
    HDC dc = GetDC(app.mainWindow);
    SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    TEXTMETRICA font = {};
    GetTextMetricsA(dc, &font);
    ReleaseDC(app.mainWindow, dc);
    RECT window, client;
    GetWindowRect(app.mainWindow, &window);
    GetClientRect(app.mainWindow, &client);
    EXPECT_EQ(std::max(74 * font.tmAveCharWidth, 2 * font.tmAveCharWidth + 512), window.right - window.left);
    EXPECT_EQ(16 * (font.tmAscent / 2) + 256, client.bottom);
    for (int chosen : {kCmdViewWaveform, kCmdViewChart, kCmdViewLinearSpectrum, kCmdViewLinearSpectrum}) {
        Command(chosen);
        for (int view = kCmdViewWaveform; view <= kCmdViewChart; ++view)
            EXPECT_EQ(view == chosen, MenuFlag(view, MF_CHECKED)) << chosen << " " << view;
    }
}

TEST_F(MainWindow, ControlsFollowEachStateTransition)
{
    const struct { void (*step)(); const char* controls; } steps[] = {
        {[] {}, "再生 000 ++-+--- drops"},                 // with an input device: Monitor enabled
        // A file that cannot be opened stays the source with its controls, so Start retries.
        {[] { Select(TempDirectory() + "missing.wav"); }, "再生 100 +++++-- drops"},
        {DisableSourceControls, "再生 000 ------- -"},
        {EnableRunControls, "再生 011 -----++ -"},
        {DisableRunControls, "再生 000 ------- -"},
        {[] { app.inputDeviceCount = 0; EnableIdleControls(); app.inputDeviceCount = 1; }, "再生 100 -++++-- drops"},
        {[] { ChooseMonitorFormat(11025, 8); }, "解析 100 -+-++-- drops focus"},
        {[] { DisableSourceControls(); EnableIdleControls(); }, "解析 100 ++-++-- drops"},
    };
    for (const auto& s : steps) {
        s.step();
        EXPECT_EQ(s.controls, Controls());
    }
}

TEST_F(MainWindow, ADropOpensTheFirstOfThreeFilesAndACancelledOpenKeepsIt)
{
    const std::string files[] = {WriteTempFile("drop.wav", PcmFile(1, 22050, 8, kSilence8)), TempDirectory() + "2.wav",
                                 TempDirectory() + "3.wav"};
    HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + 3 * kPathBufferSize);
    BYTE* bytes = static_cast<BYTE*>(GlobalLock(drop));
    reinterpret_cast<DROPFILES*>(bytes)->pFiles = sizeof(DROPFILES);
    char* names = reinterpret_cast<char*>(bytes + sizeof(DROPFILES));
    for (const std::string& file : files) names = std::strcpy(names, file.c_str()) + file.size() + 1;
    GlobalUnlock(drop);
    BeginBoxCapture();
    SendMessageA(app.mainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_TRUE(EndBoxCapture().empty());                                 // the others do not exist
    EXPECT_TRUE(files[0] == g.fileName && state.file && source.rateCode == 22 && source.sampleFormat == kMono8);
    char openTitle[64] = {};
    EXPECT_TRUE(WithDialog(kCmdOpen, [&](HWND dialog) {
        GetWindowTextA(dialog, openTitle, sizeof openTitle);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_STREQ("再生用にファイルを開く", openTitle);
    EXPECT_TRUE(files[0] == g.fileName && state.sourceKind == kSourceFile && state.file == nullptr);  // closed
}

TEST_F(MainWindow, StartWithoutWaveHeadersIsRefused)
{
    std::tie(state.sourceKind, app.header[1]) = std::make_tuple(kSourceFile, nullptr);   // as if not locked
    BeginBoxCapture();
    Command(kCmdStart);
    const std::vector<CapturedBox> boxes = EndBoxCapture();
    EXPECT_TRUE(boxes.size() == 1 && boxes[0].text == "ヘッダー確保失敗" && boxes[0].warningIcon && !state.running);
}

TEST_F(MainWindow, OptionsShowTheStateCancelKeepsOnlyTheRadioClicksAndOkStoresTheBoundedChoices)
{
    Select(WriteTempFile("options.wav", PcmFile(2, 44100, 8, kSilence8)));
    std::tie(state.timeResolution, state.fftExponent, state.windowType) = std::make_tuple(3000, 16, kWindowRectangle);
    std::tie(state.amplitudeScale, state.onMemoryOption, state.memorySizeMB) = std::make_tuple(kScaleDoubled, 1, 200);
    EXPECT_TRUE(WithDialog(kCmdOptions, [](HWND dialog) {
        EXPECT_EQ(std::make_tuple(CB_ERR, 8, 4), std::make_tuple(Selection(dialog, 101), Selection(dialog, 104),
                                                                 Selection(dialog, 109)));    // 3000 is not offered
        for (int id : {106, 112, 114}) EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, id)) << id;
        EXPECT_EQ(GetDlgItem(dialog, 115), GetFocus());
        Click(dialog, 107);
        EXPECT_EQ(kSlopePink, state.slopeReference);                                  // at the click
        for (BOOL enabled : {FALSE, TRUE}) {
            Click(dialog, 114);
            for (int id : {115, 116, 117}) EXPECT_EQ(enabled, IsWindowEnabled(GetDlgItem(dialog, id))) << id;
        }
        Choose(dialog, 104, "  256");
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }));
    // Pink kept, the lists not written, the source still open.
    EXPECT_EQ(std::make_tuple(1, 16, true), std::make_tuple(state.slopeReference, state.fftExponent, state.file != nullptr));

    const struct { const char *time, *length, *window, *memory; uint16_t version;               // typed in
                   int32_t timeResolution, fftExponent, windowType, memorySizeMB; } cases[] = {  // stored on OK
        {"1/22秒", "65536", "方形", "1", 0x0601, 512, 16, kWindowRectangle, 2},
        {"１秒", "  256", "ハミング", "999", 0x0601, 8192, 8, kWindowHamming, 255},
        {nullptr, " 1024", nullptr, "", 0x0601, 3000, 10, kWindowHanning, 2},       // 3000 is kept
        {nullptr, nullptr, nullptr, "-5", 0x030B, 3000, 12, kWindowHanning, 2},
        {nullptr, nullptr, nullptr, "999", 0x030B, 3000, 12, kWindowHanning, 15},
        {nullptr, nullptr, nullptr, "16", 0x030C, 3000, 12, kWindowHanning, 16},
    };
    for (const auto& c : cases) {
        std::tie(state.timeResolution, state.fftExponent, state.windowType, state.onMemoryOption) =
            std::make_tuple(3000, 12, kWindowHanning, 0);
        g.platformVersion = c.version;
        EXPECT_TRUE(WithDialog(kCmdOptions, [&c](HWND dialog) {
            for (auto [id, text] : {std::pair{101, c.time}, {104, c.length}, {109, c.window}}) Choose(dialog, id, text);
            Click(dialog, 114);
            SetDlgItemTextA(dialog, 115, c.memory);
            Click(dialog, IDOK);
        }));
        EXPECT_EQ(std::make_tuple(c.timeResolution, c.fftExponent, c.windowType, c.memorySizeMB, 1),
                  std::make_tuple(state.timeResolution, state.fftExponent, state.windowType, state.memorySizeMB,
                                  state.onMemoryOption)) << c.memory;
        EXPECT_EQ(nullptr, state.file);                              // OK closes the source
    }
}

// The FFT length shows in the peak frequency of a tone that lies on the 65536-point grid only.
TEST_F(MainWindow, TheNextStartRunsWithTheNewBlockSizeAndFftLength)
{
    const double tone = 1487 * 44100.0 / 65536;
    Command(kCmdViewChart);
    Select(WriteTempFile("next.wav", PcmFile(1, 44100, 16, Samples16(Sine(8000, tone, 44100, 88200)))));
    for (int fftLength : {4096, 65536}) {
        EXPECT_TRUE(fftLength == 4096 || WithDialog(kCmdOptions, [](HWND dialog) {
            Choose(dialog, 101, "1/22秒");
            Choose(dialog, 104, "65536");
            Click(dialog, IDOK);
        }));
        peakFrequency = 0;
        Command(kCmdStart);
        EXPECT_EQ(fftLength == 4096 ? 8u * 2048 : 8u * 512, run.blockSize);     // 88200 / 11025 = 8 bytes
        Command(kCmdStop);
        EXPECT_TRUE(PumpUntilRunEnds(15000));
        EXPECT_NEAR(std::round(tone * fftLength / 44100) * 44100 / fftLength, peakFrequency, 1e-6);
    }
}

}  // namespace
