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
#include "tests/support/shell_support.h"

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

std::string HelpFileAskedFor()
{
    if (!OpenFakeHelpViewer()) return "<no viewer>";
    SendMessageA(app.mainWindow, WM_KEYDOWN, VK_F1, 0);
    const HelpRequests requests = CloseFakeHelpViewer();
    return requests.count == 1 ? requests.file : "<no help call>";
}

// The stereo labels give the same pixels as a plain rendering of the given height and lift.
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
    const bool same = SameCanvas(drawn, reference);
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
    CloseMainWindow();
}

}  // namespace
