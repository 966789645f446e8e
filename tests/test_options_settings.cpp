// The settings chosen in the Options dialog of the real program across two runs: the time
// resolution and FFT length are in TRILVO.INI after a normal exit and come back in the next
// run, while every other setting starts again from its initial value.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

constexpr DWORD kDriverBoundMs = 90000;

std::string ThisDirectory()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text = path;
    return text.substr(0, text.find_last_of("\\/") + 1);
}

std::string IniPath()
{
    char directory[MAX_PATH] = {};
    GetWindowsDirectoryA(directory, sizeof directory);
    return std::string(directory) + "\\TRILVO.INI";
}

bool ReadFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Keeps whatever settings file was there before the test and puts it back afterwards.
class SavedIni {
public:
    SavedIni() : path_(IniPath()) { existed_ = ReadFile(path_, bytes_); }
    ~SavedIni()
    {
        if (existed_) {
            std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes_;
        } else {
            DeleteFileA(path_.c_str());
        }
    }
private:
    std::string path_, bytes_;
    bool existed_ = false;
};

// Runs the session driver on the program; returns its report ("" when it could not run).
std::string RunSession(const char* mode)
{
    const std::string tool = ThisDirectory() + "options_session.exe";
    const std::string program = ThisDirectory() + "..\\TRILVO.EXE";
    const std::string report = ThisDirectory() + "options_session_" + mode + ".txt";
    DeleteFileA(report.c_str());
    std::string commandLine = "\"" + tool + "\" \"" + program + "\" " + mode + " \"" + report + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(tool.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start " << tool;
        return "";
    }
    const DWORD waited = WaitForSingleObject(process.hProcess, kDriverBoundMs);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string text, raw;
    ReadFile(report, raw);
    for (char c : raw)
        if (c != '\r') text.push_back(c);
    EXPECT_EQ(WAIT_OBJECT_0, waited) << "the driver did not finish";
    EXPECT_EQ(0u, exitCode) << text;
    return text;
}

// The value of `key` in the [Trilvo] section of the file's text, read line by line.
std::string IniValue(const std::string& text, const std::string& key)
{
    std::istringstream lines(text);
    std::string line;
    bool inSection = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') inSection = line == "[Trilvo]";
        else if (inSection && line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
    }
    return "<missing>";
}

TEST(OptionsSettings, StoredSettingsSurviveAnExitAndTheOthersStartAfresh)
{
    const std::string program = ThisDirectory() + "..\\TRILVO.EXE";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(program.c_str())) << "build TRILVO first";
    SavedIni saved;
    DeleteFileA(IniPath().c_str());

    // First run without a settings file: the dialog shows the defaults; change everything.
    const std::string first = RunSession("change");
    EXPECT_NE(std::string::npos,
              first.find("time=2 fft=4 window=0 slope=106 scale=111 onmemory=0 memory=15\n")) << first;
    EXPECT_NE(std::string::npos,
              first.find("time=3 fft=7 window=3 slope=107 scale=112 onmemory=1 memory=40\n")) << first;
    EXPECT_NE(std::string::npos, first.find("exit=0\n")) << first;

    std::string ini;
    ASSERT_TRUE(ReadFile(IniPath(), ini)) << "no settings file after a normal exit";
    EXPECT_EQ("1024", IniValue(ini, "deltatime")) << ini;
    EXPECT_EQ("15", IniValue(ini, "fftparam")) << ini;

    // Second run: the stored two come back ("1/11秒", "32768"); the rest is initial again.
    const std::string second = RunSession("read");
    EXPECT_NE(std::string::npos,
              second.find("time=3 fft=7 window=0 slope=106 scale=111 onmemory=0 memory=15\n")) << second;
    EXPECT_NE(std::string::npos, second.find("exit=0\n")) << second;
}

}  // namespace
