// What only separate programs prove. The version word: a copy of this test program runs under
// another Windows version (Wine's per-program setting) and reports the word the window read from
// the system and the help file F1 asks for (beside the copy on version 4.0). Settings: one run of
// the real program stores, at its normal exit, the time resolution and FFT length and nothing
// else; reading them at startup is proven in this process. A read-only TRILVO.INI stays as it was
// and the program still exits cleanly.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

#include "resources/resource.h"
#include "shell/mainwindow.h"
#include "tests/support/main_window.h"
#include "tests/support/support.h"

namespace {

const char kMarkVariable[] = "TRILVO_VERSION_MARK";      // in a child: the file that marks success

std::string SelfDirectory()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, std::strrchr(path, '\\') + 1);
}

// Runs a command line; `during` acts on the running process. Returns the exit code, or -1
// when it could not start or did not end within a minute.
int RunProgram(std::string commandLine, void (*during)() = nullptr)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    if (during) during();
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    else TerminateProcess(process.hProcess, code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return int(code);
}

// This test in a copy named `exeName` run as Wine's version `mode`: the version word the copy
// marked when every check passed, or 0.
UINT RunAsVersion(const char* exeName, const char* mode)
{
    const std::string copy = TempDirectory() + exeName, mark = copy + ".mark";
    const std::string key = std::string("\"HKCU\\Software\\Wine\\AppDefaults\\") + exeName + "\" /v Version /f";
    DeleteFileA(mark.c_str());
    CopyFileA((SelfDirectory() + "test_shell_versions.exe").c_str(), copy.c_str(), FALSE);
    RunProgram("reg add " + key + " /d " + mode);
    SetEnvironmentVariableA(kMarkVariable, mark.c_str());
    RunProgram("\"" + copy + "\" --gtest_filter=ShellVersions.*");
    SetEnvironmentVariableA(kMarkVariable, nullptr);
    RunProgram("reg delete " + key);
    return GetPrivateProfileIntA("mark", "version", 0, mark.c_str());
}

// A stand-in help viewer: the help call sends it the command (byte 2) and file (offset at 12).
std::string helpFile;
LRESULT CALLBACK HelpViewer(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA) return DefWindowProcA(window, message, wParam, lParam);
    const BYTE* block = static_cast<const BYTE*>(reinterpret_cast<COPYDATASTRUCT*>(lParam)->lpData);
    if (*reinterpret_cast<const WORD*>(block + 2) == HELP_CONTENTS)
        helpFile += reinterpret_cast<const char*>(block + *reinterpret_cast<const WORD*>(block + 12));
    return TRUE;
}

TEST(ShellVersions, TheVersionWordComesFromTheSystemAndF1AsksForItsHelpFile)
{
    char mark[MAX_PATH] = {};
    if (!GetEnvironmentVariableA(kMarkVariable, mark, sizeof mark)) {
        EXPECT_EQ(0x0400u, RunAsVersion("SHELLV95.EXE", "win95"));
        EXPECT_EQ(0x030Au, RunAsVersion("SHELLV31.EXE", "win31"));
        return;
    }
    MainWindow* app = OpenMainWindow();
    ASSERT_NE(nullptr, app);
    WNDCLASSA viewer = {0, HelpViewer, 0, 0, GetModuleHandleA(nullptr), 0, 0, 0, 0, "MS_WINHELP"};
    RegisterClassA(&viewer);
    HWND window = CreateWindowExA(0, "MS_WINHELP", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, viewer.hInstance, nullptr);
    // The help file the version's rules name, beside the program: WinHelp gets its full path.
    const uint16_t version = app->platformVersion;
    const std::string help = WriteTempFile(version == kVersionWin95 ? "SHELLV95.HLP" : "trilvo.hlp", {});
    SendMessageA(app->window, WM_KEYDOWN, VK_F2, 0);
    SendMessageA(app->window, WM_KEYDOWN, VK_F1, 0);
    DestroyWindow(window);
    DeleteFileA(help.c_str());
    EXPECT_EQ(help, helpFile);
    CloseMainWindow();
    if (!::testing::Test::HasFailure())
        WritePrivateProfileStringA("mark", "version", std::to_string(version).c_str(), mark);
}

// ---- Settings ---------------------------------------------------------------------------------

const char kSettingsFile[] = "TRILVO.INI";   // named as the program names it: in the Windows folder

// The window starts with the stored values; none, and values the Options dialog would not offer,
// give the defaults.
TEST(ShellSettings, StartupReadsTheStoredValuesOrTakesTheDefaults)
{
    const struct { const char* section; int32_t timeResolution, fftExponent; } cases[] = {
        {"\0", 2048, 12}, {"deltatime=1024\0fftparam=15\0", 1024, 15},
        {"deltatime=abc\0fftparam=17\0", 2048, 12}, {"deltatime=3000\0fftparam=7\0", 2048, 12}};
    for (const auto& c : cases) {
        WritePrivateProfileSectionA("Trilvo", c.section, kSettingsFile);
        MainWindow* app = OpenMainWindow();
        ASSERT_NE(nullptr, app);
        EXPECT_EQ(std::make_tuple(c.timeResolution, c.fftExponent),
                  std::make_tuple(app->settings.timeResolution, app->settings.fftExponent)) << &c - cases;
        CloseMainWindow();
    }
    WritePrivateProfileStringA("Trilvo", nullptr, nullptr, kSettingsFile);   // the section removed
}

// A window of the other program once it is shown (a dialog shows after its initialisation).
HWND WaitForWindow(const char* className, const char* title)
{
    HWND window = nullptr;
    for (DWORD start = GetTickCount(); !IsWindowVisible(window) && GetTickCount() - start < 15000; Sleep(20))
        window = FindWindowA(className, title);
    return window;
}

// In the other program: "1/11秒", "32768", "三角" and on-memory chosen in Options, OK, then Exit.
void ChooseOptionsAndExit()
{
    HWND main = WaitForWindow("Trilvo", nullptr);
    PostMessageA(main, WM_COMMAND, IDM_OPTIONS, 0);
    HWND dialog = WaitForWindow("#32770", "オプション設定");
    for (int id : {IDC_OPT_TIME_RESOLUTION, IDC_OPT_FFT_LENGTH, IDC_OPT_WINDOW})
        SendDlgItemMessageA(dialog, id, CB_SETCURSEL, id == IDC_OPT_FFT_LENGTH ? 7 : 3, 0);
    SendDlgItemMessageA(dialog, IDC_OPT_ON_MEMORY, BM_CLICK, 0, 0);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
}

TEST(ShellSettings, ANormalExitStoresOnlyTimeResolutionAndFftLength)
{
    WritePrivateProfileStringA("Trilvo", nullptr, nullptr, kSettingsFile);
    EXPECT_EQ(0, RunProgram("\"" + SelfDirectory() + "..\\TRILVO.EXE\"", ChooseOptionsAndExit));
    char section[256] = {};
    std::replace(section, section + GetPrivateProfileSectionA("Trilvo", section, sizeof section, kSettingsFile), '\0', ' ');
    EXPECT_STREQ("deltatime=1024 fftparam=15 ", section);
    WritePrivateProfileStringA("Trilvo", nullptr, nullptr, kSettingsFile);
}

// 3000 is read as the default 2048, which the exit would store. Wine run as root writes to a
// read-only file, so the file is also held open without write sharing, as another program might.
TEST(ShellSettings, AFileThatCannotBeWrittenIsLeftAsItWasAndTheProgramStillExitsCleanly)
{
    char ini[MAX_PATH];
    std::strcpy(ini + GetWindowsDirectoryA(ini, sizeof ini), "\\TRILVO.INI");
    WritePrivateProfileSectionA("Trilvo", "deltatime=3000\0", ini);
    ASSERT_TRUE(SetFileAttributesA(ini, FILE_ATTRIBUTE_READONLY));
    HANDLE held = CreateFileA(ini, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(0, RunProgram("\"" + SelfDirectory() + "..\\TRILVO.EXE\"", [] {
        PostMessageA(WaitForWindow("Trilvo", nullptr), WM_COMMAND, IDM_EXIT, 0);
    }));
    CloseHandle(held);
    EXPECT_EQ(3000u, GetPrivateProfileIntA("Trilvo", "deltatime", 0, ini));
    SetFileAttributesA(ini, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(ini);
}

}  // namespace
