// The real main window in this process: the platform version word, the controls through each
// change of state, a drop, the Options dialog run by the Options command, down to the next Start,
// and the Help command. The dialogs are answered from their own modal loops (WithDialog). The
// settings file: what one run of the real program, as its own process, reads and stores.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "resources/resource.h"
#include "shell/help.h"
#include "shell/mainwindow.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"
#include "tools/drive.h"

namespace {

MainWindow& App() { return *TestWindow(); }
bool MenuFlag(int id, UINT flag) { return (GetMenuState(App().menu, id, MF_BYCOMMAND) & flag) != 0; }

const std::vector<uint8_t> kSilence8(8820, 128);
void Select(const std::string& file)
{
    std::strcpy(App().fileName, file.c_str());
    BeginBoxCapture();
    (void)SelectFileSource(App());
    EndBoxCapture();
}

// "label buttons menu drops focus": play, stop, pause buttons 1 enabled / 0 disabled; menu items
// Monitor, Open, Info, Options, Start, Stop, Pause + enabled / - grayed; the play button's focus.
std::string Controls()
{
    char label[16] = {};
    GetWindowTextA(App().playButton, label, sizeof label);
    std::string text = std::string(label) + " ";
    for (HWND button : {App().playButton, App().stopButton, App().pauseButton}) text += IsWindowEnabled(button) ? '1' : '0';
    text += ' ';
    for (int id : {IDM_MONITOR, IDM_OPEN, IDM_INFO, IDM_OPTIONS, IDM_START, IDM_STOP, IDM_PAUSE})
        text += MenuFlag(id, MF_GRAYED) ? '-' : '+';
    text += (GetWindowLongA(App().window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) ? " drops" : " -";
    return text + (GetFocus() == App().playButton ? " focus" : "");
}

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void Choose(HWND dialog, int id, const char* text)           // the entry reading exactly `text`
{
    if (text) SendDlgItemMessageA(dialog, id, CB_SETCURSEL,
                                  SendDlgItemMessageA(dialog, id, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text)), 0);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, OpenMainWindow()); }
    void TearDown() override { CloseMainWindow(); }
};

TEST_F(MainWindowTest, ControlsFollowEachStateTransition)
{
    const struct { void (*step)(); const char* controls; } steps[] = {
        {[] {}, "再生 000 ++-+--- drops"},                 // with an input device: Monitor enabled
        // A file that cannot be opened stays the source with its controls, so Start retries.
        {[] { Select(TempDirectory() + "missing.wav"); }, "再生 100 +++++-- drops"},
        {[] { ShowRunning(App()); }, "再生 011 -----++ -"},
        {[] { ShowPaused(App()); }, "再生 011 -----++ -"},
        {[] { ShowStopping(App()); }, "再生 000 ------- -"},
        {[] { App().inputDeviceCount = 0; ShowIdleWithFile(App()); App().inputDeviceCount = 1; }, "再生 100 -++++-- drops"},
        {[] { ChooseMonitorFormat(11025, 8); }, "解析 100 ++-++-- drops focus"},
        {[] { ShowRunning(App()); ShowIdle(App()); }, "解析 100 ++-++-- drops"},
    };
    for (const auto& s : steps) {
        s.step();
        EXPECT_EQ(s.controls, Controls());
    }
}

TEST_F(MainWindowTest, ADropOpensTheFirstOfThreeFiles)
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
    SendMessageA(App().window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_TRUE(EndBoxCapture().empty());                                 // the others do not exist
    EXPECT_EQ(files[0], App().fileName);
    EXPECT_TRUE(App().reader.IsOpen());
}

// The dialog shows the settings (3000 is not offered: no time selected), the focus on the memory
// size of the on-memory option; Cancel keeps the slope clicked (written at the click) but not the
// list chosen, and leaves the source open.
TEST_F(MainWindowTest, OptionsShowTheSettingsAndCancelKeepsOnlyTheRadioClicks)
{
    Select(WriteTempFile("options.wav", PcmFile(2, 44100, 8, kSilence8)));
    Settings& settings = App().settings;
    std::tie(settings.timeResolution, settings.fftExponent, settings.windowType, settings.amplitudeScale,
             settings.onMemory, settings.memorySizeMB) = std::make_tuple(3000, 16, kWindowRectangle, kScaleDoubled, true, 200);
    EXPECT_TRUE(WithDialog(IDM_OPTIONS, [](HWND dialog) {
        for (auto [id, selected] : {std::pair{IDC_OPT_TIME_RESOLUTION, -1}, {IDC_OPT_FFT_LENGTH, 8}, {IDC_OPT_WINDOW, 4}})
            EXPECT_EQ(selected, SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0)) << id;
        for (int id : {IDC_OPT_WHITE_NOISE, IDC_OPT_DOUBLED_SCALE, IDC_OPT_ON_MEMORY}) EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, id)) << id;
        EXPECT_EQ(200u, GetDlgItemInt(dialog, IDC_OPT_MEMORY_SIZE, nullptr, FALSE));
        EXPECT_EQ(GetDlgItem(dialog, IDC_OPT_MEMORY_SIZE), GetFocus());
        Click(dialog, IDC_OPT_PINK_NOISE);
        Choose(dialog, IDC_OPT_FFT_LENGTH, "  256");
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_EQ(kSlopePink, settings.slopeReference);
    EXPECT_EQ(16, settings.fftExponent);
    EXPECT_TRUE(App().reader.IsOpen());
}

// OK stores what was typed in, the memory size within this platform's bounds (BoundedMemorySize's
// table has the others).
TEST_F(MainWindowTest, OptionsOkStoresTheBoundedChoices)
{
    Settings& settings = App().settings;
    const struct { const char *time, *length, *window, *memory;                                   // typed in
                   int32_t timeResolution, fftExponent, windowType, memorySizeMB; } cases[] = {  // stored on OK
        {"１秒", "  256", "ハミング", "999", 8192, 8, kWindowHamming, 255},
        {nullptr, " 1024", nullptr, "", 3000, 10, kWindowHanning, 2},       // 3000 is kept
    };
    for (const auto& c : cases) {
        std::tie(settings.timeResolution, settings.fftExponent, settings.windowType, settings.onMemory) =
            std::make_tuple(3000, 12, kWindowHanning, false);
        EXPECT_TRUE(WithDialog(IDM_OPTIONS, [&c](HWND dialog) {
            for (auto [id, text] : {std::pair{IDC_OPT_TIME_RESOLUTION, c.time}, {IDC_OPT_FFT_LENGTH, c.length},
                                    {IDC_OPT_WINDOW, c.window}})
                Choose(dialog, id, text);
            Click(dialog, IDC_OPT_ON_MEMORY);
            SetDlgItemTextA(dialog, IDC_OPT_MEMORY_SIZE, c.memory);
            Click(dialog, IDOK);
        }));
        EXPECT_EQ(std::make_tuple(c.timeResolution, c.fftExponent, int32_t(c.windowType), c.memorySizeMB, true),
                  std::make_tuple(settings.timeResolution, settings.fftExponent, int32_t(settings.windowType),
                                  settings.memorySizeMB, settings.onMemory)) << c.memory;
    }
}

// OK closes the source: the next Start opens it again with the block size of the new time
// resolution and analyses with the new FFT length, seen in the peak frequency of a tone that lies
// on the 65536-point grid only (the default 4096-point one would round it).
TEST_F(MainWindowTest, TheNextStartRunsWithTheNewBlockSizeAndFftLength)
{
    const double tone = 1487 * 44100.0 / 65536;
    Command(IDM_VIEW_CHART);
    Select(WriteTempFile("next.wav", PcmFile(1, 44100, 16, Samples16(Sine(8000, tone, 44100, 88200)))));
    ASSERT_TRUE(App().playback.DeviceOpen());
    EXPECT_TRUE(WithDialog(IDM_OPTIONS, [](HWND dialog) {
        Choose(dialog, IDC_OPT_TIME_RESOLUTION, "1/22秒");
        Choose(dialog, IDC_OPT_FFT_LENGTH, "65536");
        Click(dialog, IDOK);
    }));
    Command(IDM_START);
    EXPECT_EQ(8u * 512, App().playback.BlockSize());   // 88200 / 11025 = 8 bytes per unit
    Command(IDM_STOP);
    EXPECT_TRUE(PumpUntilRunEnds(15000));
    EXPECT_NEAR(tone, App().peakFrequency, 1e-6);
}

// ---- The Help command --------------------------------------------------------------------------
// The real main window hands the help request (from F1, the menu item and WM_HELP) to the launcher
// it carries, here an observing one, so no viewer or browser is started. A help page that cannot
// be opened is reported with its path.

struct Launch {
    HelpViewer viewer;
    std::string path;
    HWND owner;
};
// The test window carrying an observing launcher: each launch is logged and answers `succeeds`.
class HelpCommand : public MainWindowTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowTest::SetUp());
        SetPropA(App().window, kHelpLauncherProperty, &launcher);
    }
    void TearDown() override
    {
        if (TestWindow()) RemovePropA(App().window, kHelpLauncherProperty);
        MainWindowTest::TearDown();
    }
    static bool Observe(void* context, HWND owner, const HelpRequest& request)
    {
        HelpCommand& self = *static_cast<HelpCommand*>(context);
        self.launches.push_back({request.viewer, request.path, owner});
        return self.succeeds;
    }
    bool succeeds = true;
    std::vector<Launch> launches;
    HelpLauncher launcher = {Observe, this};
};

// F1 (not F2), the menu item, and WM_HELP from a focused button or an open menu each open the help
// once: F1 on the main window comes as WM_KEYDOWN, so its WM_HELP for the main window itself is
// not taken again.
TEST_F(HelpCommand, F1TheMenuItemAndHelpFromAButtonOrMenuOpenThePageBesideTheProgramOnce)
{
    const HWND window = App().window;
    for (WPARAM key : {VK_F1, VK_F2}) SendMessageA(window, WM_KEYDOWN, key, 0);
    SendMessageA(window, WM_COMMAND, IDM_HELP, 0);
    for (auto [context, item] : {std::pair{HELPINFO_WINDOW, App().playButton}, {HELPINFO_MENUITEM, window}, {HELPINFO_WINDOW, window}}) {
        const HELPINFO info = {sizeof(HELPINFO), context, 0, item, 0, {0, 0}};
        SendMessageA(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    }
    ASSERT_EQ(4u, launches.size());
    for (const Launch& launch : launches) {
        EXPECT_EQ(HelpViewer::kBrowser, launch.viewer);
        EXPECT_EQ(ProgramFolder() + "TRILVO.HTM", launch.path);
        EXPECT_EQ(window, launch.owner);
    }
}

TEST_F(HelpCommand, AHelpFileBesideTheProgramGoesToWinHelp)
{
    const std::string helpFile = ProgramFolder() + "trilvo.hlp";      // the name outside version 4.0
    std::fclose(std::fopen(helpFile.c_str(), "wb"));
    Command(IDM_HELP);
    DeleteFileA(helpFile.c_str());
    ASSERT_EQ(1u, launches.size());
    EXPECT_EQ(HelpViewer::kWinHelp, launches[0].viewer);
    EXPECT_EQ(helpFile, launches[0].path);
}

TEST_F(HelpCommand, APageThatCannotBeOpenedIsReportedWithItsPath)
{
    succeeds = false;
    BeginBoxCapture();
    Command(IDM_HELP);
    const std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].text.find(ProgramFolder() + "TRILVO.HTM")) << boxes[0].text;
    EXPECT_TRUE(boxes[0].warningIcon);
}

// ---- The settings file -------------------------------------------------------------------------

// The real program started and told to exit: whether it ended by itself with exit status 0.
bool RunProgramToExit()
{
    DrivenProgram program;
    return program.Start((ProgramFolder() + "..\\TRILVO.EXE").c_str(), "", nullptr) && program.Exit();
}

// Stored as "01024" and "+15", the settings are read, and a normal exit writes them back in the
// program's own form, then the monitor format (none stored: the default one, on the default
// device), and nothing else; a file that cannot be written (read-only, and held open
// without write sharing as another program might: Wine run as root writes read-only files) stays
// as it was and the program still exits cleanly. The file is named as the program names it: in
// the Windows folder.
TEST(Settings, ARunReadsTheStoredValuesAndItsNormalExitStoresOnlyThem)
{
    const char kFile[] = "TRILVO.INI";
    char path[MAX_PATH];
    std::strcpy(path + GetWindowsDirectoryA(path, sizeof path), "\\TRILVO.INI");
    for (bool writable : {true, false}) {
        WritePrivateProfileSectionA("Trilvo", "deltatime=01024\0fftparam=+15\0", kFile);
        if (!writable) SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY);
        HANDLE held = writable ? INVALID_HANDLE_VALUE
                               : CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_TRUE(RunProgramToExit()) << writable;
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        char section[256] = {};
        std::replace(section, section + GetPrivateProfileSectionA("Trilvo", section, sizeof section, kFile), '\0', ' ');
        EXPECT_STREQ(writable ? "deltatime=1024 fftparam=15 monitorrate=44100 monitorchannels=1 monitorbits=16 monitordevice= "
                              : "deltatime=01024 fftparam=+15 ", section);
        WritePrivateProfileStringA("Trilvo", nullptr, nullptr, kFile);   // the section removed
    }
}

}  // namespace
