// The Help command: the viewer and file that the help path rules and the files present give, and
// the real main window handing that request (from F1, the menu item and WM_HELP) to the launcher it
// carries, here an observing one, so no viewer or browser is started; the system's launcher hands
// WinHelp the file's full path. A help page that cannot be opened is reported with its path.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "shell/help.h"
#include "tests/support/main_window.h"
#include "tests/support/support.h"

namespace {

std::string present;                             // the one file the predicate finds
bool IsPresent(const char* path) { return present == path; }

TEST(HelpChoice, WinHelpOnlyWhereTheRulesHelpFileLiesOtherwiseTheBrowserOnThePageBesideTheProgram)
{
    constexpr HelpViewer kWinHelp = HelpViewer::kWinHelp, kBrowser = HelpViewer::kBrowser;
    const struct { uint16_t version; const char *module, *present; HelpViewer viewer; const char* path; } cases[] = {
        {0x040A, "C:\\APPS\\TRILVO.EXE", "C:\\APPS\\trilvo.hlp", kWinHelp, "C:\\APPS\\trilvo.hlp"},
        {0x0601, "C:\\APPS\\TRILVO.EXE", "", kBrowser, "C:\\APPS\\TRILVO.HTM"},
        {0x0601, "C:\\APPS\\TRILVO.EXE", "trilvo.hlp", kBrowser, "C:\\APPS\\TRILVO.HTM"},   // not beside it
        // On version 4.0 the first upper-case ".EXE" of the path becomes ".HLP"; none: TRILVO.HLP.
        {0x0400, "C:\\apps\\trilvo.exe", "C:\\apps\\TRILVO.HLP", kWinHelp, "C:\\apps\\TRILVO.HLP"},
        {0x0400, "C:\\OLD.EXE\\TRILVO.EXE", "C:\\OLD.HLP", kWinHelp, "C:\\OLD.HLP"},
        {0x0400, "C:\\OLD.EXE\\TRILVO.EXE", "", kBrowser, "C:\\OLD.EXE\\TRILVO.HTM"},
        // Shift-JIS names whose trail bytes are '\': the folder ends at the true separator.
        {0x0601, "C:\\ソフト\\表.EXE", "", kBrowser, "C:\\ソフト\\TRILVO.HTM"},
    };
    for (const auto& c : cases) {
        present = c.present;
        const HelpRequest request = ChooseHelp(c.version, c.module, IsPresent);
        EXPECT_EQ(c.viewer, request.viewer) << c.module << " " << c.present;
        EXPECT_STREQ(c.path, request.path) << c.module << " " << c.present;
    }
}

// ---- The command of the real main window --------------------------------------------------------

struct Launch {
    HelpViewer viewer;
    std::string path;
    HWND owner;
};
std::vector<Launch> launches;
bool launchSucceeds = true;

bool ObserveLaunch(HWND owner, const HelpRequest& request)
{
    launches.push_back({request.viewer, request.path, owner});
    return launchSucceeds;
}

class HelpCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, OpenMainWindow());
        SetPropA(TestWindow()->window, kHelpLauncherProperty, reinterpret_cast<HANDLE>(ObserveLaunch));
        launches.clear();
        launchSucceeds = true;
    }
    void TearDown() override
    {
        RemovePropA(TestWindow()->window, kHelpLauncherProperty);
        CloseMainWindow();
    }
};

// F1 (not F2), the menu item, and WM_HELP from a focused button or an open menu each open the help
// once: F1 on the main window comes as WM_KEYDOWN, so its WM_HELP for the main window itself is
// not taken again.
TEST_F(HelpCommand, F1TheMenuItemAndHelpFromAButtonOrMenuOpenThePageBesideTheProgramOnce)
{
    const HWND window = TestWindow()->window;
    for (WPARAM key : {VK_F1, VK_F2}) SendMessageA(window, WM_KEYDOWN, key, 0);
    SendMessageA(window, WM_COMMAND, IDM_HELP, 0);
    for (auto [context, item] : {std::pair{HELPINFO_WINDOW, TestWindow()->playButton}, {HELPINFO_MENUITEM, window}, {HELPINFO_WINDOW, window}}) {
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

// A stand-in WinHelp viewer: the help call sends it the command (byte 2) and file (offset at 12).
std::string winHelpFile;
LRESULT CALLBACK WinHelpViewer(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA) return DefWindowProcA(window, message, wParam, lParam);
    const BYTE* block = static_cast<const BYTE*>(reinterpret_cast<COPYDATASTRUCT*>(lParam)->lpData);
    if (*reinterpret_cast<const WORD*>(block + 2) == HELP_CONTENTS)
        winHelpFile += reinterpret_cast<const char*>(block + *reinterpret_cast<const WORD*>(block + 12));
    return TRUE;
}

// With the system's launcher: WinHelp is asked for the contents of the file found.
TEST_F(HelpCommand, AHelpFileBesideTheProgramGoesToWinHelpWithItsFullPath)
{
    const std::string helpFile = ProgramFolder() + "trilvo.hlp";      // the name outside version 4.0
    std::fclose(std::fopen(helpFile.c_str(), "wb"));
    const WNDCLASSA viewer = {0, WinHelpViewer, 0, 0, GetModuleHandleA(nullptr), 0, 0, 0, 0, "MS_WINHELP"};
    RegisterClassA(&viewer);
    HWND standIn = CreateWindowExA(0, "MS_WINHELP", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, viewer.hInstance, nullptr);
    RemovePropA(TestWindow()->window, kHelpLauncherProperty);
    BeginBoxCapture();                                    // a browser's failure would show a box
    SendMessageA(TestWindow()->window, WM_COMMAND, IDM_HELP, 0);
    EndBoxCapture();
    DestroyWindow(standIn);
    DeleteFileA(helpFile.c_str());
    EXPECT_EQ(helpFile, winHelpFile);
}

TEST_F(HelpCommand, APageThatCannotBeOpenedIsReportedWithItsPath)
{
    launchSucceeds = false;
    BeginBoxCapture();
    SendMessageA(TestWindow()->window, WM_COMMAND, IDM_HELP, 0);
    const std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].text.find(ProgramFolder() + "TRILVO.HTM")) << boxes[0].text;
    EXPECT_TRUE(boxes[0].warningIcon);
}

}  // namespace
