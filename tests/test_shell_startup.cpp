// Startup decisions: the two settings read from and written to the settings file, and the
// monitor format derived from the input device's capabilities.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/support.h"

namespace {

const char kIni[] = "TRILVO.INI";

std::string IniPath()
{
    char directory[MAX_PATH];
    GetWindowsDirectoryA(directory, sizeof directory);
    return std::string(directory) + "\\TRILVO.INI";
}

bool ReadWholeFile(const std::string& path, std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[4096];
    const size_t n = std::fread(buffer, 1, sizeof buffer, file);
    std::fclose(file);
    text.assign(buffer, n);
    return true;
}

void FlushProfileCache() { WritePrivateProfileStringA(nullptr, nullptr, nullptr, kIni); }

// Keeps the prefix's settings file as it was before each test.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        FlushProfileCache();
        existed = ReadWholeFile(IniPath(), saved);
        Remove();
    }
    void TearDown() override
    {
        Remove();
        if (existed) {
            FILE* file = std::fopen(IniPath().c_str(), "wb");
            if (file) {
                std::fwrite(saved.data(), 1, saved.size(), file);
                std::fclose(file);
            }
        }
        FlushProfileCache();
    }
    void Remove()
    {
        FlushProfileCache();
        DeleteFileA(IniPath().c_str());
        FlushProfileCache();
    }
    void Store(const char* key, const char* value)
    {
        WritePrivateProfileStringA("Trilvo", key, value, kIni);
        FlushProfileCache();
    }
    // Opens the main window (which reads the settings) and closes it again.
    void ReadThroughStartup()
    {
        BeginBoxCapture();
        ASSERT_TRUE(OpenMainWindow());
        EndBoxCapture();
        timeResolution = state.timeResolution;
        fftExponent = state.fftExponent;
        CloseMainWindow();
    }
    bool existed = false;
    std::string saved;
    int32_t timeResolution = -1;
    int32_t fftExponent = -1;
};

TEST(SettingText, ConvertsLikeAtolAndKeepsOnlyHandledValues)
{
    EXPECT_EQ(1024, ParseSettingText("  1024"));
    EXPECT_EQ(-12, ParseSettingText("-12"));
    EXPECT_EQ(12, ParseSettingText("12abc"));
    EXPECT_EQ(0, ParseSettingText("abc"));
    for (int32_t value : {512, 1024, 2048, 4096, 8192}) EXPECT_EQ(value, CheckedTimeResolution(value));
    for (int32_t value : {0, -2048, 511, 3000, 16384}) EXPECT_EQ(2048, CheckedTimeResolution(value));
    for (int32_t value : {8, 12, 16}) EXPECT_EQ(value, CheckedFftExponent(value));
    for (int32_t value : {0, 7, 17, -12}) EXPECT_EQ(12, CheckedFftExponent(value));
}

TEST_F(SettingsFile, AreReadAtStartupWithDefaultsForWhatIsMissingOrUnusable)
{
    struct Case {
        const char* deltatime;              // nullptr: key absent
        const char* fftparam;
        int32_t timeResolution, fftExponent;
    };
    const Case cases[] = {
        {nullptr, nullptr, 2048, 12},       // no file at all
        {"4096", nullptr, 4096, 12},
        {nullptr, "9", 2048, 9},
        {"abc", "20", 2048, 12},            // non-numeric reads 0; 20 is out of range
        {"-512", "7", 2048, 12},
        {"512 blocks", "16x", 512, 16},     // trailing text ignored, as atol does
    };
    for (const Case& c : cases) {
        Remove();
        if (c.deltatime) Store("deltatime", c.deltatime);
        if (c.fftparam) Store("fftparam", c.fftparam);
        Store("other", "1");
        ReadThroughStartup();
        EXPECT_EQ(c.timeResolution, timeResolution) << (c.deltatime ? c.deltatime : "-");
        EXPECT_EQ(c.fftExponent, fftExponent) << (c.fftparam ? c.fftparam : "-");
    }
}

void CALLBACK ChangeSettingsAndExit(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    state.timeResolution = 8192;
    state.fftExponent = 15;
    PostMessageA(app.mainWindow, WM_COMMAND, kCmdExit, 0);
}

TEST_F(SettingsFile, AreWrittenBackAtExitEvenWithoutAFile)
{
    ResetGlobals();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing;
    if (!GetClassInfoA(instance, "Trilvo", &existing)) {
        ASSERT_TRUE(RegisterMainClass(instance));
    }
    char program[] = "TRILVO.EXE";
    char* argv[] = {program, nullptr};
    SetTimer(nullptr, 0, 50, ChangeSettingsAndExit);
    EXPECT_EQ(0, RunMainWindow(instance, SW_SHOWNORMAL, 1, argv));
    FlushProfileCache();

    std::string text;
    ASSERT_TRUE(ReadWholeFile(IniPath(), text));
    const size_t section = text.find("[Trilvo]");
    const size_t deltatime = text.find("deltatime=8192");
    const size_t fftparam = text.find("fftparam=15");
    ASSERT_NE(std::string::npos, section) << text;
    ASSERT_NE(std::string::npos, deltatime) << text;
    ASSERT_NE(std::string::npos, fftparam) << text;
    EXPECT_LT(section, deltatime);
    EXPECT_LT(deltatime, fftparam);
}

// ---- Monitor format from the input capabilities ---------------------------------------------

struct MonitorFormat {
    int channels, bits;
    uint32_t rate;
};

MonitorFormat AdjustedFrom(DWORD mask, uint32_t initialRate = 44100)
{
    ResetGlobals();
    state.monitorRate = initialRate;
    AdjustMonitorFormat(mask);
    return {state.monitorChannels, state.monitorBits, state.monitorRate};
}

void ExpectFormat(const MonitorFormat& expected, const MonitorFormat& actual, DWORD mask)
{
    EXPECT_EQ(expected.channels, actual.channels) << std::hex << mask;
    EXPECT_EQ(expected.bits, actual.bits) << std::hex << mask;
    EXPECT_EQ(expected.rate, actual.rate) << std::hex << mask;
}

TEST(MonitorFormat, FollowsTheInputFormatMask)
{
    ExpectFormat({2, 16, 44100}, AdjustedFrom(0xFFF), 0xFFF);
    ExpectFormat({1, 8, 11025}, AdjustedFrom(0), 0);                                     // no device
    ExpectFormat({1, 8, 11025}, AdjustedFrom(WAVE_FORMAT_1M08), WAVE_FORMAT_1M08);
    ExpectFormat({2, 16, 22050}, AdjustedFrom(0x0FF), 0x0FF);                             // no 44100
    ExpectFormat({2, 16, 22050}, AdjustedFrom(WAVE_FORMAT_2S16), WAVE_FORMAT_2S16);
    ExpectFormat({1, 16, 44100}, AdjustedFrom(WAVE_FORMAT_4M16), WAVE_FORMAT_4M16);
    ExpectFormat({2, 8, 44100}, AdjustedFrom(WAVE_FORMAT_4S08), WAVE_FORMAT_4S08);
    ExpectFormat({2, 16, 11025}, AdjustedFrom(WAVE_FORMAT_1S16), WAVE_FORMAT_1S16);
    // The 22050 rule only replaces an initial 44100.
    ExpectFormat({2, 16, 11025}, AdjustedFrom(0x0FF, 11025), 0x0FF);
}

TEST(MonitorFormat, StartupTakesTheMaskOfTheInputMapper)
{
    ASSERT_TRUE(OpenMainWindow());
    WAVEINCAPSA caps = {};
    const bool haveInput = waveInGetNumDevs() > 0 &&
                           waveInGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR;
    EXPECT_EQ(haveInput ? caps.dwFormats : 0u, g.inputFormats);
    EXPECT_EQ(waveInGetNumDevs(), app.inputDeviceCount);
    const MonitorFormat shown = {state.monitorChannels, state.monitorBits, state.monitorRate};
    CloseMainWindow();
    ExpectFormat(AdjustedFrom(haveInput ? caps.dwFormats : 0), shown, caps.dwFormats);
}

}  // namespace
