// The Help command: the viewer and file that the help path rules and the files present give, and
// the real main window handing that request (from F1 and from the menu item) to the launcher it
// carries, here an observing one, so no viewer or browser is started. A help page that cannot be
// opened is reported with its path.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
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
        {0x0601, "C:\\APPS\\TRILVO.EXE", "C:\\APPS\\trilvo.hlp", kWinHelp, "C:\\APPS\\trilvo.hlp"},
        {0x0601, "C:\\APPS\\TRILVO.EXE", "", kBrowser, "C:\\APPS\\TRILVO.HTM"},
        {0x0601, "C:\\APPS\\TRILVO.EXE", "trilvo.hlp", kBrowser, "C:\\APPS\\TRILVO.HTM"},   // not beside it
        {0x0400, "C:\\APPS\\TRILVO.EXE", "C:\\APPS\\TRILVO.HLP", kWinHelp, "C:\\APPS\\TRILVO.HLP"},
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

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, std::strrchr(path, '\\') + 1);
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

TEST_F(HelpCommand, F1AndTheMenuItemOpenThePageBesideTheProgramInTheBrowser)
{
    SendMessageA(TestWindow()->window, WM_KEYDOWN, VK_F1, 0);
    SendMessageA(TestWindow()->window, WM_COMMAND, IDM_HELP, 0);
    ASSERT_EQ(2u, launches.size());
    for (const Launch& launch : launches) {
        EXPECT_EQ(HelpViewer::kBrowser, launch.viewer);
        EXPECT_EQ(ProgramFolder() + "TRILVO.HTM", launch.path);
        EXPECT_EQ(TestWindow()->window, launch.owner);
    }
}

// The real key, typed through the system's input: on the main window it comes as WM_KEYDOWN, on a
// focused button only as WM_HELP passed up to the main window; either way the help opens once.
TEST_F(HelpCommand, TheF1KeyOpensTheHelpOnceWhereverTheFocusIs)
{
    EnableWindow(TestWindow()->playButton, TRUE);
    SetForegroundWindow(TestWindow()->window);
    for (HWND focus : {TestWindow()->window, TestWindow()->playButton}) {
        launches.clear();
        SetFocus(focus);
        INPUT key[2] = {};
        for (INPUT& input : key) std::tie(input.type, input.ki.wVk) = std::make_tuple(INPUT_KEYBOARD, WORD(VK_F1));
        key[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ASSERT_EQ(2u, SendInput(2, key, sizeof(INPUT)));
        PumpUntil([] { return !launches.empty(); }, 5000);
        PumpUntil([] { return launches.size() > 1; }, 200);              // a second launch would come now
        EXPECT_EQ(1u, launches.size()) << (focus == TestWindow()->window ? "main window" : "button");
    }
}

TEST_F(HelpCommand, AHelpFileBesideTheProgramGoesToWinHelp)
{
    const std::string helpFile = ProgramFolder() + "trilvo.hlp";      // the name outside version 4.0
    std::fclose(std::fopen(helpFile.c_str(), "wb"));
    SendMessageA(TestWindow()->window, WM_COMMAND, IDM_HELP, 0);
    DeleteFileA(helpFile.c_str());
    ASSERT_EQ(1u, launches.size());
    EXPECT_EQ(HelpViewer::kWinHelp, launches[0].viewer);
    EXPECT_EQ(helpFile, launches[0].path);
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
