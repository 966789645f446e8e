// The real main window in this process: size from the font, menu and buttons at startup, the
// view check mark, the controls through each state transition, and the commands.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <algorithm>
#include <cstring>
#include <string>

#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/monitor_support.h"
#include "tests/support/shell_support.h"

namespace {

bool MenuFlag(int id, UINT flag)
{
    const UINT flags = GetMenuState(g.menu, id, MF_BYCOMMAND);
    return flags != 0xFFFFFFFF && (flags & flag);
}
bool Grayed(int id) { return MenuFlag(id, MF_GRAYED); }
bool Checked(int id) { return MenuFlag(id, MF_CHECKED); }
std::string Label(HWND window)
{
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}
bool AcceptsDrops() { return (GetWindowLongA(app.mainWindow, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; }
void Command(int id) { SendMessageA(app.mainWindow, WM_COMMAND, id, 0); }
std::string WavFile(const char* name, uint16_t channels = 2, uint16_t bits = 16, uint32_t rate = 44100)
{
    std::vector<uint8_t> data(size_t(4410) * channels * (bits / 8), bits == 8 ? 128 : 0);
    return WriteTempFile(name, PcmFile(channels, rate, bits, data));
}
void SelectQuietly(const std::string& file)
{
    std::strcpy(g.fileName, file.c_str());
    BeginBoxCapture();
    SelectFileSource();
    EndBoxCapture();
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenMainWindow()); }
    void TearDown() override { CloseMainWindow(); }
};

TEST_F(MainWindow, SizeFollowsTheOemFontMetrics)
{
    HDC dc = GetDC(app.mainWindow);
    HGDIOBJ old = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(app.mainWindow, dc);
    EXPECT_EQ(metrics.tmAveCharWidth, g.charWidth);
    EXPECT_EQ(metrics.tmAscent / 2, g.lineHeight);
    RECT window, client;
    GetWindowRect(app.mainWindow, &window);
    GetClientRect(app.mainWindow, &client);
    EXPECT_EQ(std::max(74 * g.charWidth, 2 * g.charWidth + 512), window.right - window.left);
    EXPECT_EQ(16 * g.lineHeight + 256, client.bottom);
    const LONG style = GetWindowLongA(app.mainWindow, GWL_STYLE);
    EXPECT_EQ(0, style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
}

TEST_F(MainWindow, StartsIdleWithTheMenuResourceStates)
{
    for (HWND button : {app.playButton, app.stopButton, app.pauseButton}) EXPECT_FALSE(IsWindowEnabled(button));
    EXPECT_EQ("再生", Label(app.playButton));
    EXPECT_EQ("停止", Label(app.stopButton));
    EXPECT_EQ("Pause", Label(app.pauseButton));
    EXPECT_EQ(kCmdPause, GetDlgCtrlID(app.pauseButton));
    for (int id : {kCmdInfo, kCmdStart, kCmdStop, kCmdPause}) EXPECT_TRUE(Grayed(id)) << id;
    for (int id : {kCmdOpen, kCmdExit, kCmdOptions, kCmdHelp, kCmdAbout}) EXPECT_FALSE(Grayed(id)) << id;
    EXPECT_EQ(app.inputDeviceCount == 0, Grayed(kCmdMonitor));
    EXPECT_TRUE(AcceptsDrops());
    EXPECT_TRUE(app.header[0] && app.header[1]);
    ICONINFO icon = {};                         // the class icon: one 32 x 32 image
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(GetClassLongPtrA(app.mainWindow, GCLP_HICON)), &icon));
    BITMAP colour = {};
    GetObjectA(icon.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(32, colour.bmWidth);
    EXPECT_EQ(32, colour.bmHeight);
    DeleteObject(icon.hbmColor);
    DeleteObject(icon.hbmMask);

    // Labels carry their mnemonics as control characters (a wrong resource encoding shows here).
    char text[128];
    GetMenuStringA(g.menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("ファイル(\x1E" "F\x1F" "ﾌ)", text);
    GetMenuStringA(g.menu, kCmdOptions, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("ｵﾌﾟｼｮﾝ(\x1EO\x1F" "ｵ)...", text);
    GetMenuStringA(g.menu, kCmdHelp, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("ヘルプの表示(\x1EH\x1F" "ﾍ)...\tF1", text);
}

TEST_F(MainWindow, ViewCheckMarkFollowsTheChosenView)
{
    EXPECT_TRUE(Checked(kCmdViewWaveform));
    for (int chosen : {kCmdViewChart, kCmdViewLinearSpectrum, kCmdViewLinearSpectrum, kCmdViewWaveform,
                       kCmdViewLogSpectrum, kCmdViewLevelMeter}) {
        Command(chosen);
        EXPECT_EQ(chosen, state.viewMode);
        for (int view = kCmdViewWaveform; view <= kCmdViewChart; ++view)
            EXPECT_EQ(view == chosen, Checked(view)) << chosen << " " << view;
    }
}

TEST_F(MainWindow, ControlsFollowEachStateTransition)
{
    std::strcpy(g.fileName, WavFile("controls.wav").c_str());
    BeginBoxCapture();
    EXPECT_EQ(1, SelectFileSource());
    EXPECT_TRUE(EndBoxCapture().empty());
    EXPECT_EQ(kSourceFile, state.sourceKind);
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    EXPECT_EQ(app.playButton, GetFocus());
    EXPECT_FALSE(Grayed(kCmdStart) || Grayed(kCmdInfo));

    DisableSourceControls();
    EXPECT_FALSE(IsWindowEnabled(app.playButton));
    for (int id : {kCmdStart, kCmdMonitor, kCmdOpen, kCmdOptions, kCmdInfo}) EXPECT_TRUE(Grayed(id)) << id;
    EXPECT_FALSE(AcceptsDrops());
    EnableRunControls();
    EXPECT_TRUE(IsWindowEnabled(app.stopButton) && IsWindowEnabled(app.pauseButton));
    EXPECT_FALSE(Grayed(kCmdStop) || Grayed(kCmdPause));
    EXPECT_TRUE(Grayed(kCmdStart));
    DisableRunControls();
    EXPECT_FALSE(IsWindowEnabled(app.stopButton) || IsWindowEnabled(app.pauseButton));
    EXPECT_TRUE(Grayed(kCmdStop) && Grayed(kCmdPause));

    // A run that ends with no input device: Monitor stays gray, the rest comes back.
    app.inputDeviceCount = 0;
    SetWindowTextA(app.playButton, "xx");
    EnableIdleControls();
    EXPECT_EQ("再生", Label(app.playButton));
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    for (int id : {kCmdStart, kCmdOptions, kCmdOpen, kCmdInfo}) EXPECT_FALSE(Grayed(id)) << id;
    EXPECT_TRUE(Grayed(kCmdMonitor));
    EXPECT_TRUE(AcceptsDrops());

    // A file that fails to open stays the source, its controls enabled for a retry.
    DisableSourceControls();
    std::strcpy(g.fileName, (TempDirectory() + "missing-file.wav").c_str());
    BeginBoxCapture();
    EXPECT_EQ(0, SelectFileSource());
    EXPECT_FALSE(EndBoxCapture().empty());      // the reader says why
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    EXPECT_FALSE(Grayed(kCmdStart) || Grayed(kCmdInfo));
}

TEST_F(MainWindow, MonitorChoiceSetsTheAnalyseControlsAndACancelledOpenKeepsItsEmptyName)
{
    SelectQuietly(WavFile("before-monitor.wav"));
    ASSERT_GT(app.inputDeviceCount, 0u);
    ASSERT_TRUE(ChooseMonitorFormat(11025, 8).scriptRan);
    EXPECT_EQ(kSourceMonitor, state.sourceKind);
    EXPECT_EQ("解析", Label(app.playButton));
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    EXPECT_EQ(app.playButton, GetFocus());
    EXPECT_FALSE(Grayed(kCmdStart));
    EXPECT_TRUE(Grayed(kCmdInfo));
    EXPECT_STREQ("", g.fileName);
    EXPECT_EQ(nullptr, state.file);              // the file source was closed first
    DisableSourceControls();
    EnableIdleControls();                       // the end of a monitor run keeps its label
    EXPECT_EQ("解析", Label(app.playButton));
    EXPECT_TRUE(Grayed(kCmdInfo));

    struct Seen { bool dialog = false; std::string title; };
    static Seen seen;
    seen = Seen();
    // Cancels the Open dialog from its own modal loop once it shows.
    struct Canceller {
        static BOOL CALLBACK Find(HWND window, LPARAM)
        {
            char cls[32] = {};
            GetClassNameA(window, cls, sizeof cls);
            if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
            char title[128] = {};
            GetWindowTextA(window, title, sizeof title);
            seen.dialog = true;
            seen.title = title;
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            return FALSE;
        }
        static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
        {
            EnumThreadWindows(GetCurrentThreadId(), Find, 0);
            if (seen.dialog) KillTimer(nullptr, timer);
        }
    };
    SetTimer(nullptr, 0, 100, Canceller::Tick);
    Command(kCmdOpen);
    EXPECT_TRUE(seen.dialog);
    EXPECT_EQ("再生用にファイルを開く", seen.title);
    EXPECT_STREQ("", g.fileName);
    EXPECT_EQ(nullptr, app.waveIn);              // Open closed the monitor source

    // Cancelled with a file chosen before: that name comes back and is drawn again.
    const std::string file = WavFile("kept-name.wav");
    SelectQuietly(file);
    seen = Seen();
    SetTimer(nullptr, 0, 100, Canceller::Tick);
    Command(kCmdOpen);
    EXPECT_TRUE(seen.dialog);
    EXPECT_EQ(file, g.fileName);
    EXPECT_STREQ("kept-name.wav", g.fileTitle);
    EXPECT_EQ(kSourceFile, state.sourceKind);
    EXPECT_EQ(nullptr, state.file);
}

TEST_F(MainWindow, AboutAndExit)
{
    BeginBoxCapture();
    Command(kCmdAbout);
    std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("About TRILVO", boxes[0].caption);
    EXPECT_NE(std::string::npos, boxes[0].text.find("1.0"));
    EXPECT_EQ(app.mainWindow, boxes[0].owner);
    EXPECT_FALSE(boxes[0].anyIcon);

    HWND window = app.mainWindow;
    Command(kCmdExit);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(app.header[0] == nullptr && app.header[1] == nullptr);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, message.wParam);
}

TEST_F(MainWindow, RunCommandsNeedASourceARunAndBothHeaders)
{
    BeginBoxCapture();
    Command(kCmdStart);                         // no source yet
    Command(kCmdPause);                         // no run
    EXPECT_TRUE(EndBoxCapture().empty());
    EXPECT_EQ(0, state.running);
    EXPECT_EQ(0, state.paused);
    EXPECT_EQ("Pause", Label(app.pauseButton));

    // A window that could not get its headers refuses the run with the header message.
    state.sourceKind = kSourceFile;
    WAVEHDR* kept = app.header[1];
    app.header[1] = nullptr;
    BeginBoxCapture();
    Command(kCmdStart);
    std::vector<CapturedBox> boxes = EndBoxCapture();
    app.header[1] = kept;
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("ヘッダー確保失敗", boxes[0].text);
    EXPECT_TRUE(boxes[0].warningIcon);
    EXPECT_EQ(0, state.running);
}

// An on-memory monitor run without a device: the pause command's own bookkeeping.
TEST_F(MainWindow, PauseAndContinueOfAnOnMemoryRunDiscountThePausedTime)
{
    state.running = 1;
    state.sourceKind = kSourceMonitor;
    state.bufferingMode = kOnMemoryMode;
    run.startTick = GetTickCount() - 10000;
    const DWORD start = run.startTick;
    SetTimer(app.mainWindow, kElapsedTimerId, kElapsedTimerPeriodMs, nullptr);
    Command(kCmdPause);
    EXPECT_EQ(1, state.paused);
    EXPECT_EQ("Cont", Label(app.pauseButton));
    EXPECT_FALSE(KillTimer(app.mainWindow, kElapsedTimerId));     // already killed

    run.pauseTick -= 5000;                      // as if paused five seconds ago
    Command(kCmdPause);
    EXPECT_EQ(0, state.paused);
    EXPECT_EQ("Pause", Label(app.pauseButton));
    EXPECT_GE(run.startTick - start, 5000u);
    EXPECT_LT(run.startTick - start, 6000u);
    EXPECT_TRUE(KillTimer(app.mainWindow, kElapsedTimerId));      // running again
    MemoryCanvas shot;
    ASSERT_TRUE(CaptureMainWindow(shot));
    const RECT panel = {Col(37), Row(1), Col(72), Row(6)};
    EXPECT_GT(CountColour(shot, panel, Rgb(255, 255, 0)), 20);    // the on-memory notice
    DestroyCanvas(shot);

    // Streaming: neither the timer nor the level panel is touched.
    state.bufferingMode = kStreamingMode;
    HDC dc = GetDC(app.mainWindow);
    ClearLevelPanel(dc);
    ReleaseDC(app.mainWindow, dc);
    run.startTick = 1234;
    Command(kCmdPause);
    Command(kCmdPause);
    EXPECT_EQ(1234u, run.startTick);
    EXPECT_FALSE(KillTimer(app.mainWindow, kElapsedTimerId));
    ASSERT_TRUE(CaptureMainWindow(shot));
    EXPECT_EQ(Col(35) * Row(5), CountColour(shot, panel, 0));      // still plain black
    DestroyCanvas(shot);
    state.running = 0;
}

TEST_F(MainWindow, F1ReachesTheHelpCommand)
{
    ASSERT_TRUE(OpenFakeHelpViewer());
    SendMessageA(app.mainWindow, WM_KEYDOWN, VK_F2, 0);
    const int afterF2 = CloseFakeHelpViewer().count;
    ASSERT_TRUE(OpenFakeHelpViewer());
    SendMessageA(app.mainWindow, WM_KEYDOWN, VK_F1, 0);
    const HelpRequests requests = CloseFakeHelpViewer();
    EXPECT_EQ(0, afterF2);
    ASSERT_EQ(1, requests.count);
    EXPECT_EQ(HELP_CONTENTS, requests.command);
    EXPECT_EQ("trilvo.hlp", requests.file);     // this process runs under the default version
}

TEST_F(MainWindow, ADropOfThreeFilesOpensOnlyTheFirst)
{
    const std::vector<std::string> files = {WavFile("drop-one.wav", 1, 8, 22050),
                                            WavFile("drop-two.wav"), WavFile("drop-three.wav")};
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& file : files) size += file.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    BYTE* bytes = static_cast<BYTE*>(GlobalLock(memory));
    reinterpret_cast<DROPFILES*>(bytes)->pFiles = sizeof(DROPFILES);
    char* names = reinterpret_cast<char*>(bytes + sizeof(DROPFILES));
    for (const std::string& file : files) names = std::strcpy(names, file.c_str()) + file.size() + 1;
    GlobalUnlock(memory);

    BeginBoxCapture();
    SendMessageA(app.mainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    EXPECT_TRUE(EndBoxCapture().empty());
    EXPECT_EQ(files[0], g.fileName);
    EXPECT_STREQ("drop-one.wav", g.fileTitle);
    EXPECT_EQ(kSourceFile, state.sourceKind);
    EXPECT_EQ(22, source.rateCode);              // the first file's format was read
    EXPECT_EQ(kMono8, source.sampleFormat);
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
}

// ---- The command line -----------------------------------------------------------------------

TEST(MainWindowCommandLine, AFileArgumentShowsItsLines)
{
    const std::string file = WavFile("cmdline.wav", 2, 16, 22050);
    BeginBoxCapture();
    ASSERT_TRUE(OpenMainWindow(file.c_str()));
    EXPECT_TRUE(EndBoxCapture().empty());
    MemoryCanvas shot;
    ASSERT_TRUE(CaptureMainWindow(shot));
    HGDIOBJ oem = GetStockObject(OEM_FIXED_FONT);
    std::string directory = file.substr(0, file.rfind('\\') + 1);
    directory.resize(35, ' ');
    std::string name = "cmdline.wav";
    name.resize(35, ' ');
    EXPECT_EQ(0, TextMismatch(shot, Col(1), Row(1), directory.c_str(), oem));
    EXPECT_EQ(0, TextMismatch(shot, Col(1), Row(4), name.c_str(), oem));
    EXPECT_EQ(0, TextMismatch(shot, Col(1), Row(7), "22 kHz  ", oem));
    EXPECT_EQ(0, TextMismatch(shot, Col(1), Row(10), "16 bit  ", oem));
    // 4410 frames of 4 bytes: 17640 bytes, 17 kb, 0 s at 88200 bytes/s.
    EXPECT_EQ(0, TextMismatch(shot, Col(9), Row(10), "Total:     17 kb      0 sec", oem));
    EXPECT_GT(CountColour(shot, RECT{Col(37), Row(1), Col(72), Row(6)}, Rgb(255, 255, 0)), 20);
    DestroyCanvas(shot);
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    EXPECT_EQ(0, state.running);
    CloseMainWindow();
}

TEST(MainWindowCommandLine, OverlongNamesAreRefusedAndTheSwitchAloneIsAName)
{
    const std::string overlong = "C:\\" + std::string(300, 'a') + ".wav";
    BeginBoxCapture();
    ASSERT_TRUE(OpenMainWindow(overlong.c_str(), "/P"));
    std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_TRUE(boxes[0].warningIcon);
    EXPECT_EQ(app.mainWindow, boxes[0].owner);
    EXPECT_STREQ("", g.fileName);
    EXPECT_EQ(kSourceNone, state.sourceKind);
    EXPECT_EQ(0, state.running);
    CloseMainWindow();

    const std::string longest = "C:\\" + std::string(252, 'b') + ".wav";      // 259 bytes fit
    BeginBoxCapture();
    ASSERT_TRUE(OpenMainWindow(longest.c_str()));
    EndBoxCapture();
    EXPECT_EQ(longest, g.fileName);
    EXPECT_EQ(kSourceFile, state.sourceKind);
    CloseMainWindow();

    BeginBoxCapture();
    ASSERT_TRUE(OpenMainWindow("/P"));
    EndBoxCapture();
    EXPECT_STREQ("/P", g.fileName);
    EXPECT_EQ(0, state.running);
    CloseMainWindow();
}

bool Running(void*) { return state.running != 0; }

TEST(MainWindowCommandLine, AutoplaySwitchStartsThePlaybackAndDestroyEndsIt)
{
    const std::string file = WriteTempFile("autoplay.wav", PcmFile(2, 44100, 16, std::vector<uint8_t>(352800, 0)));
    for (const char* autoplay : {"/p", "/Play"}) {
        BeginBoxCapture();
        ASSERT_TRUE(OpenMainWindow(file.c_str(), autoplay));
        EXPECT_TRUE(PumpUntil(Running, nullptr, 5000)) << autoplay;
        EXPECT_TRUE(EndBoxCapture().empty());
        EXPECT_TRUE(IsWindowEnabled(app.stopButton));
        CloseMainWindow();                      // WM_DESTROY during the run releases everything
        EXPECT_EQ(nullptr, app.waveOut);
        EXPECT_EQ(nullptr, state.file);
        EXPECT_EQ(nullptr, run.headerHandle[0]);
    }
    for (const char* other : {"/x", "-p"}) {
        BeginBoxCapture();
        ASSERT_TRUE(OpenMainWindow(file.c_str(), other));
        EndBoxCapture();
        EXPECT_EQ(0, state.running) << other;
        EXPECT_EQ(kSourceFile, state.sourceKind);
        CloseMainWindow();
    }
}

}  // namespace
