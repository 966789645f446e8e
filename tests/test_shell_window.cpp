// The real main window in this process: its size from the font, its menu and buttons at startup,
// the view check mark, the buttons and menu through each control-state transition, and the
// commands that need no dialog of another subsystem.
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
#include "tests/support/shell_screen.h"
#include "tests/support/support.h"

namespace {

bool Grayed(int id)
{
    const UINT flags = GetMenuState(g.menu, id, MF_BYCOMMAND);
    return flags != 0xFFFFFFFF && (flags & MF_GRAYED);
}
bool Checked(int id)
{
    const UINT flags = GetMenuState(g.menu, id, MF_BYCOMMAND);
    return flags != 0xFFFFFFFF && (flags & MF_CHECKED);
}
std::string Label(HWND window)
{
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}
bool AcceptsDrops() { return (GetWindowLongA(app.mainWindow, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; }
void Command(int id, int notifyCode = 0)
{
    SendMessageA(app.mainWindow, WM_COMMAND, MAKEWPARAM(id, notifyCode), 0);
}
std::string WavFile(const char* name, uint16_t channels = 2, uint16_t bits = 16, uint32_t rate = 44100)
{
    const int frames = 4410;
    std::vector<uint8_t> data(static_cast<size_t>(frames) * channels * (bits / 8), bits == 8 ? 128 : 0);
    return WriteTempFile(name, PcmFile(channels, rate, bits, data));
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenMainWindow()); }
    void TearDown() override { CloseMainWindow(); }
};

TEST_F(MainWindow, ClientAreaFollowsTheOemFontMetrics)
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
    // Fixed size: no sizing border, no maximize box.
    const LONG style = GetWindowLongA(app.mainWindow, GWL_STYLE);
    EXPECT_EQ(0, style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
    EXPECT_NE(0, style & WS_MINIMIZEBOX);
    EXPECT_EQ("Trilvo", Label(app.mainWindow));
}

TEST(MainWindowSize, WidthIsTheLargerOfSeventyFourColumnsAndTheGraph)
{
    EXPECT_EQ(592, MainWindowWidth(8));         // 74 columns
    EXPECT_EQ(524, MainWindowWidth(6));         // 2 columns + 512
    EXPECT_EQ(30 + 16 * 6 + 256, MainWindowHeight(30, 6));
}

TEST_F(MainWindow, StartsIdleWithTheMenuGrayStates)
{
    EXPECT_FALSE(IsWindowEnabled(app.playButton));
    EXPECT_FALSE(IsWindowEnabled(app.stopButton));
    EXPECT_FALSE(IsWindowEnabled(app.pauseButton));
    EXPECT_EQ("再生", Label(app.playButton));
    EXPECT_EQ("停止", Label(app.stopButton));
    EXPECT_EQ("Pause", Label(app.pauseButton));
    EXPECT_EQ(kCmdStart, GetDlgCtrlID(app.playButton));
    EXPECT_EQ(kCmdStop, GetDlgCtrlID(app.stopButton));
    EXPECT_EQ(kCmdPause, GetDlgCtrlID(app.pauseButton));
    for (int id : {kCmdInfo, kCmdStart, kCmdStop, kCmdPause}) EXPECT_TRUE(Grayed(id)) << id;
    for (int id : {kCmdOpen, kCmdExit, kCmdOptions, kCmdHelp, kCmdAbout}) EXPECT_FALSE(Grayed(id)) << id;
    EXPECT_EQ(app.inputDeviceCount == 0, Grayed(kCmdMonitor));
    EXPECT_TRUE(Checked(kCmdViewWaveform));
    EXPECT_TRUE(AcceptsDrops());
    EXPECT_TRUE(app.header[0] != nullptr && app.header[1] != nullptr);
    EXPECT_EQ(kSourceNone, state.sourceKind);
}

TEST_F(MainWindow, MenuLabelsCarryTheirMnemonicCharacters)
{
    char text[128];
    GetMenuStringA(g.menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("ファイル(\x1E" "F\x1F" "ﾌ)", text);
    GetMenuStringA(g.menu, 3, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("ヘルプ(\x1E" "H\x1F" "ﾍ)", text);
    GetMenuStringA(g.menu, kCmdOptions, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("ｵﾌﾟｼｮﾝ(\x1EO\x1F" "ｵ)...", text);
    GetMenuStringA(g.menu, kCmdViewLinearSpectrum, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("スペクトル(周波数リニア)(\x1ES\x1F" "ｽ)", text);
    GetMenuStringA(g.menu, kCmdHelp, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("ヘルプの表示(\x1EH\x1F" "ﾍ)...\tF1", text);
    GetMenuStringA(g.menu, kCmdStop, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("s&Top", text);
}

TEST_F(MainWindow, ViewCheckMarkFollowsTheChosenView)
{
    const int views[] = {kCmdViewWaveform, kCmdViewLevelMeter, kCmdViewLinearSpectrum,
                         kCmdViewLogSpectrum, kCmdViewChart};
    for (int chosen : {kCmdViewChart, kCmdViewLinearSpectrum, kCmdViewLinearSpectrum, kCmdViewWaveform,
                       kCmdViewLogSpectrum, kCmdViewLevelMeter}) {
        Command(chosen);
        EXPECT_EQ(chosen, state.viewMode);
        for (int view : views) EXPECT_EQ(view == chosen, Checked(view)) << chosen << " " << view;
    }
}

TEST_F(MainWindow, ControlsFollowEachStateTransition)
{
    const std::string file = WavFile("controls.wav");
    ASSERT_FALSE(file.empty());
    std::strcpy(g.fileName, file.c_str());
    BeginBoxCapture();
    EXPECT_EQ(1, SelectFileSource());
    EXPECT_TRUE(EndBoxCapture().empty());
    EXPECT_EQ(kSourceFile, state.sourceKind);
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    EXPECT_EQ(app.playButton, GetFocus());
    EXPECT_FALSE(Grayed(kCmdStart));
    EXPECT_FALSE(Grayed(kCmdInfo));

    DisableSourceControls();
    EXPECT_FALSE(IsWindowEnabled(app.playButton));
    for (int id : {kCmdStart, kCmdMonitor, kCmdOpen, kCmdOptions, kCmdInfo}) EXPECT_TRUE(Grayed(id)) << id;
    EXPECT_FALSE(AcceptsDrops());
    EnableRunControls();
    EXPECT_TRUE(IsWindowEnabled(app.stopButton));
    EXPECT_TRUE(IsWindowEnabled(app.pauseButton));
    EXPECT_FALSE(Grayed(kCmdStop));
    EXPECT_FALSE(Grayed(kCmdPause));
    EXPECT_TRUE(Grayed(kCmdStart));             // untouched by the run controls

    DisableRunControls();
    EXPECT_FALSE(IsWindowEnabled(app.stopButton));
    EXPECT_FALSE(IsWindowEnabled(app.pauseButton));
    EXPECT_TRUE(Grayed(kCmdStop));
    EXPECT_TRUE(Grayed(kCmdPause));

    // A run that ends with no input device: Monitor stays gray, the rest comes back.
    app.inputDeviceCount = 0;
    SetWindowTextA(app.playButton, "xx");
    EnableIdleControls();
    EXPECT_EQ("再生", Label(app.playButton));
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    for (int id : {kCmdStart, kCmdOptions, kCmdOpen, kCmdInfo}) EXPECT_FALSE(Grayed(id)) << id;
    EXPECT_TRUE(Grayed(kCmdMonitor));
    EXPECT_TRUE(AcceptsDrops());
}

TEST_F(MainWindow, MonitorSourceKeepsItsLabelAndInfoStaysGray)
{
    state.sourceKind = kSourceMonitor;
    SetWindowTextA(app.playButton, "解析");
    EnableMenuItem(g.menu, kCmdInfo, MF_BYCOMMAND | MF_GRAYED);
    DisableSourceControls();
    EXPECT_TRUE(Grayed(kCmdInfo));
    app.inputDeviceCount = 1;
    EnableIdleControls();
    EXPECT_EQ("解析", Label(app.playButton));
    EXPECT_TRUE(Grayed(kCmdInfo));
    EXPECT_FALSE(Grayed(kCmdMonitor));
    EXPECT_FALSE(Grayed(kCmdStart));
}

TEST_F(MainWindow, AFileThatFailsToOpenStaysTheSourceWithItsControls)
{
    std::strcpy(g.fileName, (TempDirectory() + "missing-file.wav").c_str());
    BeginBoxCapture();
    EXPECT_EQ(0, SelectFileSource());
    std::vector<CapturedBox> boxes = EndBoxCapture();
    EXPECT_FALSE(boxes.empty());                 // the reader says why
    EXPECT_EQ(kSourceFile, state.sourceKind);
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    EXPECT_FALSE(Grayed(kCmdStart));
    EXPECT_FALSE(Grayed(kCmdInfo));
}

// ---- Commands -------------------------------------------------------------------------------

TEST_F(MainWindow, AboutBoxNamesTheProgramAndVersion)
{
    BeginBoxCapture();
    Command(kCmdAbout);
    std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("About TRILVO", boxes[0].caption);
    EXPECT_NE(std::string::npos, boxes[0].text.find("TRILVO"));
    EXPECT_NE(std::string::npos, boxes[0].text.find("1.0"));
    EXPECT_EQ(app.mainWindow, boxes[0].owner);
    EXPECT_FALSE(boxes[0].anyIcon);
}

TEST_F(MainWindow, ExitDestroysTheWindowAndPostsQuitZero)
{
    HWND window = app.mainWindow;
    Command(kCmdExit);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, app.header[0]);
    EXPECT_EQ(nullptr, app.header[1]);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, message.wParam);
}

TEST_F(MainWindow, StartNeedsASourceAndBothWaveHeaders)
{
    BeginBoxCapture();
    Command(kCmdStart);                         // no source yet: nothing at all
    EXPECT_TRUE(EndBoxCapture().empty());
    EXPECT_EQ(0, state.running);

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

TEST_F(MainWindow, PauseOutsideARunChangesNothing)
{
    Command(kCmdPause);
    EXPECT_EQ(0, state.paused);
    EXPECT_EQ("Pause", Label(app.pauseButton));
}

// An on-memory monitor run without a device: the pause command's own bookkeeping.
TEST_F(MainWindow, PauseAndContinueOfAnOnMemoryRunDiscountThePausedTime)
{
    state.running = 1;
    state.sourceKind = kSourceMonitor;
    state.bufferingMode = kOnMemoryMode;
    state.monitorChannels = 1;
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
    state.running = 0;
}

TEST_F(MainWindow, ContinueOfAStreamingRunLeavesTimerAndPanelAlone)
{
    state.running = 1;
    state.sourceKind = kSourceMonitor;
    state.bufferingMode = kStreamingMode;
    run.startTick = 1234;
    Command(kCmdPause);
    Command(kCmdPause);
    EXPECT_EQ(1234u, run.startTick);
    EXPECT_FALSE(KillTimer(app.mainWindow, kElapsedTimerId));
    MemoryCanvas shot;
    ASSERT_TRUE(CaptureMainWindow(shot));
    const RECT panel = {Col(37), Row(1), Col(72), Row(6)};
    EXPECT_EQ(0, CountColour(shot, panel, Rgb(255, 255, 0)));
    DestroyCanvas(shot);
    state.running = 0;
}

// ---- Help, drops and the Open dialog --------------------------------------------------------

// A stand-in help viewer: the platform's help call hands its request to the window of class
// "MS_WINHELP" when one exists.
struct HelpRequest {
    int count = 0;
    WORD command = 0;
    std::string file;
};
HelpRequest helpRequest;

LRESULT CALLBACK FakeHelpViewer(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const BYTE* bytes = static_cast<const BYTE*>(data->lpData);
        // size, command, data, reserved, offset of the file name, offset of the data.
        WORD command, fileOffset;
        std::memcpy(&command, bytes + 2, 2);
        std::memcpy(&fileOffset, bytes + 12, 2);
        ++helpRequest.count;
        helpRequest.command = command;
        helpRequest.file = fileOffset ? reinterpret_cast<const char*>(bytes + fileOffset) : "";
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateFakeHelpViewer()
{
    WNDCLASSA viewerClass = {};
    viewerClass.lpfnWndProc = FakeHelpViewer;
    viewerClass.hInstance = GetModuleHandleA(nullptr);
    viewerClass.lpszClassName = "MS_WINHELP";
    RegisterClassA(&viewerClass);
    return CreateWindowExA(0, "MS_WINHELP", "help", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

TEST_F(MainWindow, F1ReachesTheHelpCommand)
{
    HWND viewer = CreateFakeHelpViewer();
    ASSERT_NE(nullptr, viewer);
    helpRequest = HelpRequest();
    SendMessageA(app.mainWindow, WM_KEYDOWN, VK_F2, 0);
    EXPECT_EQ(0, helpRequest.count);
    SendMessageA(app.mainWindow, WM_KEYDOWN, VK_F1, 0);
    DestroyWindow(viewer);
    ASSERT_EQ(1, helpRequest.count);
    EXPECT_EQ(HELP_CONTENTS, helpRequest.command);
    ASSERT_GE(g.platformVersion, 0x0500);       // this process runs under the default version
    EXPECT_EQ("trilvo.hlp", helpRequest.file);
}

HGLOBAL MakeDrop(const std::vector<std::string>& files)
{
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& file : files) size += file.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    BYTE* bytes = static_cast<BYTE*>(GlobalLock(memory));
    DROPFILES* drop = reinterpret_cast<DROPFILES*>(bytes);
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* names = reinterpret_cast<char*>(bytes + sizeof(DROPFILES));
    for (const std::string& file : files) {
        std::memcpy(names, file.c_str(), file.size() + 1);
        names += file.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

TEST_F(MainWindow, ADropOfThreeFilesOpensOnlyTheFirst)
{
    const std::vector<std::string> files = {WavFile("drop-one.wav", 1, 8, 22050),
                                            WavFile("drop-two.wav"), WavFile("drop-three.wav")};
    BeginBoxCapture();
    SendMessageA(app.mainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(files)), 0);
    EXPECT_TRUE(EndBoxCapture().empty());
    EXPECT_EQ(files[0], g.fileName);
    EXPECT_STREQ("drop-one.wav", g.fileTitle);
    EXPECT_EQ(kSourceFile, state.sourceKind);
    EXPECT_EQ(22, source.rateCode);              // the first file's format was read
    EXPECT_EQ(kMono8, source.sampleFormat);
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
}

struct OpenDialogSeen {
    bool seen = false;
    std::string title;
};
OpenDialogSeen openDialog;

BOOL CALLBACK CancelOpenDialog(HWND window, LPARAM)
{
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    char title[128] = {};
    GetWindowTextA(window, title, sizeof title);
    openDialog.seen = true;
    openDialog.title = title;
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}

void CALLBACK LookForOpenDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), CancelOpenDialog, 0);
    if (openDialog.seen) KillTimer(nullptr, timer);
}

TEST_F(MainWindow, CancelledOpenDialogRestoresThePreviousName)
{
    const std::string file = WavFile("kept-name.wav");
    std::strcpy(g.fileName, file.c_str());
    BeginBoxCapture();
    SelectFileSource();
    EndBoxCapture();

    openDialog = OpenDialogSeen();
    SetTimer(nullptr, 0, 100, LookForOpenDialog);
    Command(kCmdOpen);                          // returns once the dialog is cancelled
    EXPECT_TRUE(openDialog.seen);
    EXPECT_EQ("再生用にファイルを開く", openDialog.title);
    EXPECT_EQ(file, g.fileName);
    EXPECT_STREQ("kept-name.wav", g.fileTitle);  // the name line was redrawn from it
    EXPECT_EQ(kSourceFile, state.sourceKind);
    EXPECT_EQ(nullptr, state.file);              // the source was closed before the dialog
}

TEST_F(MainWindow, MonitorChoiceSetsTheAnalyseControlsAndACancelledOpenKeepsItsEmptyName)
{
    const std::string file = WavFile("before-monitor.wav");
    std::strcpy(g.fileName, file.c_str());
    BeginBoxCapture();
    SelectFileSource();
    EndBoxCapture();
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

    openDialog = OpenDialogSeen();
    SetTimer(nullptr, 0, 100, LookForOpenDialog);
    Command(kCmdOpen);
    EXPECT_TRUE(openDialog.seen);
    EXPECT_STREQ("", g.fileName);
    EXPECT_STREQ("", g.fileTitle);
    EXPECT_EQ(nullptr, app.waveIn);              // Open closed the monitor source
}

// ---- What the window shows ------------------------------------------------------------------

TEST_F(MainWindow, RepaintWithoutSourceShowsEmptyPanelsAndZeroLines)
{
    MemoryCanvas shot;
    ASSERT_TRUE(CaptureMainWindow(shot));
    HGDIOBJ oem = GetStockObject(OEM_FIXED_FONT);
    EXPECT_EQ(0, TextMismatch(shot, Col(1), Row(7), " 0 kHz  ", oem));
    EXPECT_EQ(0, TextMismatch(shot, Col(1), Row(10), " 0 bit  ", oem));
    EXPECT_EQ(0, TextMismatch(shot, Col(9), Row(7), "Pos:        0 kb      0 sec", oem));
    EXPECT_EQ(0, TextMismatch(shot, Col(9), Row(10), "Total:      0 kb      0 sec", oem));
    const RECT level = {Col(37), Row(1), Col(72), Row(6)};
    EXPECT_EQ(Col(35) * Row(5), CountColour(shot, level, 0));           // all black, no labels
    const RECT nameLines = {Col(1), Row(1), Col(36), Row(7)};
    EXPECT_EQ(Col(35) * Row(6), CountColour(shot, nameLines, Rgb(255, 255, 255)));
    DestroyCanvas(shot);
}

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
    const RECT level = {Col(37), Row(1), Col(72), Row(6)};
    EXPECT_GT(CountColour(shot, level, Rgb(255, 255, 0)), 20);          // LEFT / RIGHT
    DestroyCanvas(shot);
    EXPECT_FALSE(IsWindowEnabled(app.stopButton));
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
    CloseMainWindow();
}

TEST(MainWindowCommandLine, AnOverlongFileArgumentIsRefused)
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
    EXPECT_FALSE(IsWindowEnabled(app.playButton));
    CloseMainWindow();

    // 259 bytes still fit the buffer: taken as the file name (the reader then reports it).
    const std::string longest = "C:\\" + std::string(252, 'b') + ".wav";
    ASSERT_EQ(259u, longest.size());
    BeginBoxCapture();
    ASSERT_TRUE(OpenMainWindow(longest.c_str()));
    EndBoxCapture();
    EXPECT_EQ(longest, g.fileName);
    EXPECT_EQ(kSourceFile, state.sourceKind);
    CloseMainWindow();
}

TEST(MainWindowCommandLine, TheSwitchAloneIsAFileName)
{
    BeginBoxCapture();
    ASSERT_TRUE(OpenMainWindow("/P"));
    EndBoxCapture();
    EXPECT_STREQ("/P", g.fileName);
    EXPECT_EQ(0, state.running);
    CloseMainWindow();
}

TEST(AutoplaySwitch, IsASlashAndTheLetterPInEitherCase)
{
    EXPECT_TRUE(IsAutoplaySwitch("/P"));
    EXPECT_TRUE(IsAutoplaySwitch("/p"));
    EXPECT_TRUE(IsAutoplaySwitch("/Play"));
    EXPECT_FALSE(IsAutoplaySwitch("-P"));
    EXPECT_FALSE(IsAutoplaySwitch("P"));
    EXPECT_FALSE(IsAutoplaySwitch("/"));
    EXPECT_FALSE(IsAutoplaySwitch("/x"));
    EXPECT_FALSE(IsAutoplaySwitch(""));
    EXPECT_FALSE(IsAutoplaySwitch(nullptr));
}

}  // namespace
