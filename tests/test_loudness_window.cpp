// Operation > Loudness in the window: offered only for an open file and no run, its result
// dialog showing the figures of the file, Cancel ends the measurement leaving no thread and no open
// file behind, and the figures read as labelled lines with their units.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "resources/resource.h"
#include "shell/loudness_dialog.h"
#include "shell/mainwindow.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"
#include "tests/support/support.h"

namespace {

TEST(LoudnessWindow, CancelEndsTheMeasurementWithItsThreadAndFileReleased)
{
    constexpr int kRate = 44100, kSeconds = 300;
    const std::string path = WriteTempFile("loud_cancel.wav", PcmFile(1, kRate, 16, Samples16(Sine(8000, 1000, kRate, kRate * kSeconds))));
    LoudnessJob job;
    job.path = path.c_str();
    bool shown = false;
    ASSERT_TRUE(WithDialogShownBy([&] { shown = RunLoudnessProgress(GetModuleHandleA(nullptr), nullptr, &job); },
                                  [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }));
    ASSERT_TRUE(shown);
    EXPECT_EQ(LoudnessFailure::kStopped, job.run.failure);
    EXPECT_EQ(nullptr, job.thread);
    ASSERT_NE(0u, job.threadId);
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, job.threadId);
    if (thread) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0));
        CloseHandle(thread);
    }
    EXPECT_TRUE(DeleteFileA(path.c_str())) << GetLastError();
}

// Reads the figures of the result dialog when it is active and closes it.
HHOOK resultHook = nullptr;
std::string shownFigures;
LRESULT CALLBACK ReadResultOnActivate(int code, WPARAM wParam, LPARAM lParam)
{
    const HWND dialog = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && GetDlgItem(dialog, IDC_LOUDNESS_FIGURES)) {
        char text[2048] = {};
        GetDlgItemTextA(dialog, IDC_LOUDNESS_FIGURES, text, sizeof text);
        shownFigures = text;
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(resultHook, code, wParam, lParam);
}

bool LoudnessGrayed(MainWindow& app)
{
    SendMessageA(app.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(app.menu, 1)), 1);
    return (GetMenuState(app.menu, IDM_LOUDNESS, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

TEST(LoudnessWindow, OfferedForAnIdleFileAndShowsItsFigures)
{
    MainWindow* app = OpenMainWindow();
    ASSERT_NE(nullptr, app);
    EXPECT_TRUE(LoudnessGrayed(*app));
    const double peak = 32768.0 * std::pow(10.0, -20.0 / 20.0);   // mono -20 dBFS: -23 LUFS
    std::strcpy(app->fileName, WriteTempFile("loud_window.wav", PcmFile(1, 44100, 16, Samples16(Sine(peak, 1000, 44100, 441000)))).c_str());
    BeginBoxCapture();
    (void)SelectFileSource(*app);
    EndBoxCapture();
    ASSERT_TRUE(app->playback.DeviceOpen());
    EXPECT_FALSE(LoudnessGrayed(*app));
    Command(IDM_START);
    ASSERT_TRUE(app->Running());
    EXPECT_TRUE(LoudnessGrayed(*app));
    Command(IDM_STOP);
    EXPECT_TRUE(PumpUntilRunEnds(15000));
    shownFigures.clear();
    resultHook = SetWindowsHookExA(WH_CBT, ReadResultOnActivate, nullptr, GetCurrentThreadId());
    Command(IDM_LOUDNESS);
    UnhookWindowsHookEx(resultHook);
    EXPECT_EQ(0u, shownFigures.find("統合ラウドネス: -23.0 LUFS\r\n")) << shownFigures;
    EXPECT_NE(std::string::npos, shownFigures.find("トゥルーピーク (チャンネル 1): -20.0 dBTP")) << shownFigures;
    CloseMainWindow();
}

TEST(LoudnessWindow, FiguresReadAsLabelledLinesWithOneDecimalAndTheirUnits)
{
    // integrated, range, momentary and short-term maxima, sample peak, true peak, channels, their peaks
    const LoudnessResult r = {-23.04, 0.0, -20.96, -21.5, -std::numeric_limits<double>::infinity(), 0.26, 2, {-1.0, 0.26}};
    char text[2048];
    LoudnessFiguresText(r, text, sizeof text);
    EXPECT_EQ(std::string("統合ラウドネス: -23.0 LUFS\r\n"
                          "ラウドネスレンジ: 0.0 LU\r\n"
                          "最大モーメンタリ ラウドネス: -21.0 LUFS\r\n"
                          "最大ショートターム ラウドネス: -21.5 LUFS\r\n"
                          "サンプルピーク: -∞ dBFS\r\n"
                          "トゥルーピーク: 0.3 dBTP\r\n"
                          "トゥルーピーク (チャンネル 1): -1.0 dBTP\r\n"
                          "トゥルーピーク (チャンネル 2): 0.3 dBTP"),
              text);
}
}  // namespace
