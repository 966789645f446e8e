// The shell's platform-version branches, run for real: each test starts a copy of this program
// that Wine runs under another Windows version (per-program AppDefaults setting), and the copy
// runs the same test in its child role against the version it was given.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/support.h"

namespace {

const char kChildVariable[] = "TRILVO_SHELL_VERSION_CHILD";

bool IsChild()
{
    char value[8] = {};
    return GetEnvironmentVariableA(kChildVariable, value, sizeof value) > 0;
}

std::string ReadText(const std::string& path)
{
    std::string text;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
    return text;
}

bool SetVersionMode(const std::string& exeName, const char* mode)
{
    const std::string key = "Software\\Wine\\AppDefaults\\" + exeName;
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExA(handle, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(mode),
                                       static_cast<DWORD>(std::strlen(mode) + 1));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

void ClearVersionMode(const std::string& exeName)
{
    RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\Wine\\AppDefaults\\" + exeName).c_str());
}

// Runs `testName` in a copy named `exeName` under Wine's version `mode`; returns its exit code
// (-1 when it could not run or did not end in time) and its output.
int RunChild(const std::string& exeName, const char* mode, const char* testName, std::string& output)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string copy = TempDirectory() + exeName;
    const std::string log = TempDirectory() + exeName + ".log";
    if (!CopyFileA(self, copy.c_str(), FALSE) || !SetVersionMode(exeName, mode)) return -1;

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE logFile = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = logFile;
    startup.hStdError = logFile;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string commandLine = "\"" + copy + "\" --gtest_filter=" + testName;
    PROCESS_INFORMATION process = {};
    SetEnvironmentVariableA(kChildVariable, "1");
    const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    SetEnvironmentVariableA(kChildVariable, nullptr);
    CloseHandle(logFile);
    DWORD exitCode = static_cast<DWORD>(-1);
    if (started) {
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &exitCode);
        else
            TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    ClearVersionMode(exeName);
    output = ReadText(log);
    DeleteFileA(copy.c_str());
    DeleteFileA(log.c_str());
    return static_cast<int>(exitCode);
}

void ExpectChildPasses(const std::string& exeName, const char* mode, const char* testName)
{
    std::string output;
    const int exitCode = RunChild(exeName, mode, testName, output);
    EXPECT_EQ(0, exitCode) << output;
    EXPECT_NE(std::string::npos, output.find("[  PASSED  ] 1 test")) << output;
}

// ---- What the child checks ------------------------------------------------------------------

struct HelpCall {
    int count = 0;
    std::string file;
};
HelpCall helpCall;

LRESULT CALLBACK FakeHelpViewer(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const BYTE* bytes = static_cast<const BYTE*>(data->lpData);
        WORD fileOffset;
        std::memcpy(&fileOffset, bytes + 12, 2);
        ++helpCall.count;
        helpCall.file = fileOffset ? reinterpret_cast<const char*>(bytes + fileOffset) : "";
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string HelpFileAskedFor()
{
    WNDCLASSA viewerClass = {};
    viewerClass.lpfnWndProc = FakeHelpViewer;
    viewerClass.hInstance = GetModuleHandleA(nullptr);
    viewerClass.lpszClassName = "MS_WINHELP";
    RegisterClassA(&viewerClass);
    HWND viewer = CreateWindowExA(0, "MS_WINHELP", "help", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    helpCall = HelpCall();
    SendMessageA(app.mainWindow, WM_KEYDOWN, VK_F1, 0);
    DestroyWindow(viewer);
    return helpCall.count == 1 ? helpCall.file : "<no help call>";
}

// Yellow pixels of the stereo labels: their top row and their height.
void LabelExtent(int& top, int& height)
{
    MemoryCanvas canvas;
    CreateCanvas(canvas, Col(74), Row(6), 0);
    state.sourceKind = kSourceFile;
    source.sampleFormat = kStereo16;
    DrawChannelLabels(canvas.dc);
    top = -1;
    int bottom = -1;
    for (int y = 0; y < canvas.height; ++y)
        for (int x = Col(64); x < canvas.width; ++x)
            if (PixelAt(canvas, x, y) == Rgb(255, 255, 0) && y < Row(3)) {
                if (top < 0) top = y;
                bottom = y;
            }
    height = bottom - top + 1;
    DestroyCanvas(canvas);
}

// The labels drawn with a plain reference of the given height and lift give the same pixels.
bool LabelsMatch(int fontHeight, int lift)
{
    MemoryCanvas drawn, reference;
    CreateCanvas(drawn, Col(74), Row(6), 0);
    CreateCanvas(reference, Col(74), Row(6), 0);
    state.sourceKind = kSourceFile;
    source.sampleFormat = kStereo16;
    DrawChannelLabels(drawn.dc);
    LOGFONTA spec = {};
    spec.lfHeight = fontHeight;
    spec.lfWeight = 700;
    spec.lfCharSet = 128;
    HFONT font = CreateFontIndirectA(&spec);
    HGDIOBJ old = SelectObject(reference.dc, font);
    SetTextColor(reference.dc, RGB(255, 255, 0));
    SetBkMode(reference.dc, TRANSPARENT);
    TextOutA(reference.dc, Col(64), Row(2) - lift, "ＬＥＦＴ", 8);
    TextOutA(reference.dc, Col(64), Row(4) - lift, "ＲＩＧＨＴ", 10);
    SelectObject(reference.dc, old);
    DeleteObject(font);
    GdiFlush();
    const bool same = std::memcmp(drawn.bits, reference.bits, size_t(drawn.width) * drawn.height * 4) == 0;
    DestroyCanvas(drawn);
    DestroyCanvas(reference);
    return same;
}

std::string ModuleHelpPath()
{
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string path = module;
    const size_t extension = path.find(".EXE");
    return extension == std::string::npos ? "<no .EXE in " + path + ">" : path.substr(0, extension) + ".HLP";
}

TEST(ShellVersions, Win95UsesTheModuleHelpPathTheDriveRootAndLargeLabels)
{
    if (!IsChild()) return ExpectChildPasses("SHELLV95.EXE", "win95", "ShellVersions.Win95*");
    ASSERT_TRUE(OpenMainWindow());
    ASSERT_EQ(0x0400, g.platformVersion);
    EXPECT_EQ(ModuleHelpPath(), HelpFileAskedFor());
    EXPECT_GT(MeasureDisk("C:\\windows\\take.wav"), 0u);
    EXPECT_STREQ("C:\\", g.textBuffer);
    EXPECT_GT(g.diskCapacity, 0u);
    EXPECT_TRUE(LabelsMatch(-(3 * g.lineHeight) / 2, 1));
    CloseMainWindow();
}

TEST(ShellVersions, Win98UsesTheBareHelpNameAndTheDriveRoot)
{
    if (!IsChild()) return ExpectChildPasses("SHELLV98.EXE", "win98", "ShellVersions.Win98*");
    ASSERT_TRUE(OpenMainWindow());
    ASSERT_EQ(0x040A, g.platformVersion);
    EXPECT_EQ("trilvo.hlp", HelpFileAskedFor());
    MeasureDisk("C:\\windows\\take.wav");
    EXPECT_STREQ("C:\\", g.textBuffer);
    EXPECT_GT(g.diskCapacity, 0u);
    CloseMainWindow();
}

TEST(ShellVersions, Nt351PassesThePathAndDrawsSmallLabels)
{
    if (!IsChild()) return ExpectChildPasses("SHELLV351.EXE", "nt351", "ShellVersions.Nt351*");
    ASSERT_TRUE(OpenMainWindow());
    ASSERT_EQ(0x0333, g.platformVersion);
    EXPECT_EQ("trilvo.hlp", HelpFileAskedFor());
    // The path goes to the disk query as it is: the text buffer is not used for a root.
    std::strcpy(g.textBuffer, "untouched");
    EXPECT_GT(MeasureDisk("C:\\"), 0u);
    EXPECT_STREQ("untouched", g.textBuffer);
    EXPECT_TRUE(LabelsMatch(-g.lineHeight, 0));
    int top = 0, height = 0;
    LabelExtent(top, height);
    EXPECT_GE(top, Row(2));                     // not lifted above row 2
    EXPECT_LE(height, g.lineHeight + 2);
    CloseMainWindow();
}

}  // namespace
