// The shell as separate programs. Platform versions: a copy of this test program runs under
// another Windows version (Wine's per-program setting) and checks the branches that depend on
// the version word, F1 included. Settings: the real program, run three times, keeps only what a
// normal exit stored in TRILVO.INI, and reads unusable values as the defaults; a read-only
// TRILVO.INI stays as it was and the program still exits cleanly.
#include <gtest/gtest.h>
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

// The stereo labels give the pixels of a bold Shift-JIS font of `height`, `lift` pixels up.
bool StereoLabelsMatch(MainWindow& app, int height, int lift)
{
    const Layout& layout = app.layout;
    MemoryCanvas drawn, expected;
    if (!CreateCanvas(drawn, layout.Col(74), layout.Row(6), 0) || !CreateCanvas(expected, layout.Col(74), layout.Row(6), 0))
        return false;
    app.sourceKind = SourceKind::kFile;
    app.format.channels = 2;
    DrawChannelLabels(app, drawn.dc);
    LOGFONTA logFont = {height, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, ""};
    HGDIOBJ font = SelectObject(expected.dc, CreateFontIndirectA(&logFont));
    SetTextColor(expected.dc, RGB(255, 255, 0));
    SetBkMode(expected.dc, TRANSPARENT);
    TextOutA(expected.dc, layout.Col(64), layout.Row(2) - lift, "ＬＥＦＴ", 8);
    TextOutA(expected.dc, layout.Col(64), layout.Row(4) - lift, "ＲＩＧＨＴ", 10);
    GdiFlush();
    const bool same = std::memcmp(drawn.bits, expected.bits, size_t(drawn.width) * drawn.height * 4) == 0;
    DeleteObject(SelectObject(expected.dc, font));
    DestroyCanvas(drawn);
    DestroyCanvas(expected);
    return same;
}

TEST(ShellVersions, HelpPathDiskRootLabelsAndMemoryBoundFollowTheVersion)
{
    char mark[MAX_PATH] = {};
    if (!GetEnvironmentVariableA(kMarkVariable, mark, sizeof mark)) {
        EXPECT_EQ(0x0400u, RunAsVersion("SHELLV95.EXE", "win95"));
        EXPECT_EQ(0x030Au, RunAsVersion("SHELLV31.EXE", "win31"));
        return;
    }
    MainWindow* app = OpenMainWindow();
    ASSERT_NE(nullptr, app);
    const uint16_t version = app->platformVersion;
    const bool win95 = version == kVersionWin95;
    WNDCLASSA viewer = {0, HelpViewer, 0, 0, GetModuleHandleA(nullptr), 0, 0, 0, 0, "MS_WINHELP"};
    RegisterClassA(&viewer);
    HWND window = CreateWindowExA(0, "MS_WINHELP", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, viewer.hInstance, nullptr);
    SendMessageA(app->window, WM_KEYDOWN, VK_F2, 0);
    SendMessageA(app->window, WM_KEYDOWN, VK_F1, 0);
    DestroyWindow(window);
    EXPECT_EQ(win95 ? TempDirectory() + "SHELLV95.HLP" : "trilvo.hlp", helpFile);      // beside the program
    EXPECT_GT(MeasureDiskCapacity(version, "C:\\"), 0u);      // below 4.0 the path as given
    const int lineHeight = app->layout.lineHeight;
    EXPECT_TRUE(StereoLabelsMatch(*app, win95 ? -(3 * lineHeight) / 2 : -lineHeight, win95 ? 1 : 0));
    EXPECT_EQ(win95 ? 255 : 15, BoundedMemorySize(999, version));
    CloseMainWindow();
    if (!::testing::Test::HasFailure())
        WritePrivateProfileStringA("mark", "version", std::to_string(version).c_str(), mark);
}

// ---- Settings across runs of the real program --------------------------------------------------

// A window of the other program once it is shown (a dialog shows after its initialisation).
HWND WaitForWindow(const char* className, const char* title)
{
    HWND window = nullptr;
    for (DWORD start = GetTickCount(); !IsWindowVisible(window) && GetTickCount() - start < 15000; Sleep(20))
        window = FindWindowA(className, title);
    return window;
}

// What the Options dialog shows: memory size, list selections, pink, doubled, on-memory.
std::string shown;
void ShowOptionsAndExit(bool change)
{
    HWND main = WaitForWindow("Trilvo", nullptr);
    PostMessageA(main, WM_COMMAND, IDM_OPTIONS, 0);
    HWND dialog = WaitForWindow("#32770", "オプション設定");
    char memory[8] = {};
    GetDlgItemTextA(dialog, IDC_OPT_MEMORY_SIZE, memory, sizeof memory);
    shown = memory;
    for (int id : {IDC_OPT_TIME_RESOLUTION, IDC_OPT_FFT_LENGTH, IDC_OPT_WINDOW}) shown += " " + std::to_string(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
    for (int id : {IDC_OPT_PINK_NOISE, IDC_OPT_DOUBLED_SCALE, IDC_OPT_ON_MEMORY}) shown += " " + std::to_string(IsDlgButtonChecked(dialog, id));
    if (change) {                    // "1/11秒", "32768", "三角", pink, doubled, on-memory, 40 MB
        for (int id : {IDC_OPT_TIME_RESOLUTION, IDC_OPT_FFT_LENGTH, IDC_OPT_WINDOW}) SendDlgItemMessageA(dialog, id, CB_SETCURSEL, id == IDC_OPT_FFT_LENGTH ? 7 : 3, 0);
        for (int id : {IDC_OPT_PINK_NOISE, IDC_OPT_DOUBLED_SCALE, IDC_OPT_ON_MEMORY}) SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0);
        SetDlgItemTextA(dialog, IDC_OPT_MEMORY_SIZE, "40");
    }
    PostMessageA(dialog, WM_COMMAND, change ? IDOK : IDCANCEL, 0);
    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
}

TEST(ShellSettings, OnlyTimeResolutionAndFftLengthOutliveTheProgram)
{
    const std::string program = "\"" + SelfDirectory() + "..\\TRILVO.EXE\"";
    char ini[MAX_PATH];
    std::strcpy(ini + GetWindowsDirectoryA(ini, sizeof ini), "\\TRILVO.INI");
    DeleteFileA(ini);
    EXPECT_EQ(0, RunProgram(program, [] { ShowOptionsAndExit(true); }));
    EXPECT_EQ("15 2 4 0 0 0 0", shown);                                  // no file: the defaults
    EXPECT_EQ(1024u, GetPrivateProfileIntA("Trilvo", "deltatime", 0, ini));
    EXPECT_EQ(15u, GetPrivateProfileIntA("Trilvo", "fftparam", 0, ini));
    EXPECT_EQ(0, RunProgram(program, [] { ShowOptionsAndExit(false); }));
    EXPECT_EQ("15 3 7 0 0 0 0", shown);                                  // the two stored only
    WritePrivateProfileSectionA("Trilvo", "deltatime=abc\0fftparam=17\0", ini);   // non-numeric, out of range
    EXPECT_EQ(0, RunProgram(program, [] { ShowOptionsAndExit(false); }));
    EXPECT_EQ("15 2 4 0 0 0 0", shown);
    DeleteFileA(ini);
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
