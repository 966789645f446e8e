// The real main window in this process: its size from the font, its menu and buttons at startup,
// the view check mark, and the buttons and menu through each control-state transition.
#include <gtest/gtest.h>
#include <string>

#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/support.h"

namespace {

UINT MenuState(int id) { return GetMenuState(g.menu, id, MF_BYCOMMAND); }
bool Grayed(int id)
{
    const UINT flags = MenuState(id);
    return flags != 0xFFFFFFFF && (flags & MF_GRAYED);
}
bool Checked(int id)
{
    const UINT flags = MenuState(id);
    return flags != 0xFFFFFFFF && (flags & MF_CHECKED);
}
std::string Label(HWND button)
{
    char text[64] = {};
    GetWindowTextA(button, text, sizeof text);
    return text;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenMainWindow()); }
    void TearDown() override { CloseMainWindow(); }
};

TEST_F(MainWindow, ClientAreaFollowsTheOemFontMetrics)
{
    HDC dc = GetDC(app.mainWindow);
    HGDIOBJ old = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(app.mainWindow, dc);

    EXPECT_EQ(metrics.tmAveCharWidth, g.charWidth);
    EXPECT_EQ(metrics.tmAscent / 2, g.lineHeight);
    RECT client;
    GetClientRect(app.mainWindow, &client);
    const int expectedWidth = std::max(74 * g.charWidth, 2 * g.charWidth + 512);
    // The window width includes its borders; the client height is exact.
    RECT window;
    GetWindowRect(app.mainWindow, &window);
    EXPECT_EQ(expectedWidth, window.right - window.left);
    EXPECT_EQ(16 * g.lineHeight + 256, client.bottom);
}

TEST_F(MainWindow, StartsWithDisabledButtonsAndTheMenuGrayStates)
{
    EXPECT_FALSE(IsWindowEnabled(app.playButton));
    EXPECT_FALSE(IsWindowEnabled(app.stopButton));
    EXPECT_FALSE(IsWindowEnabled(app.pauseButton));
    EXPECT_EQ("再生", Label(app.playButton));
    EXPECT_EQ("停止", Label(app.stopButton));
    EXPECT_EQ("Pause", Label(app.pauseButton));
    for (int id : {kCmdInfo, kCmdStart, kCmdStop, kCmdPause}) EXPECT_TRUE(Grayed(id)) << id;
    for (int id : {kCmdOpen, kCmdExit, kCmdOptions, kCmdHelp, kCmdAbout}) EXPECT_FALSE(Grayed(id)) << id;
    EXPECT_TRUE(Checked(kCmdViewWaveform));
    EXPECT_EQ(kSourceNone, state.sourceKind);
}

}  // namespace
