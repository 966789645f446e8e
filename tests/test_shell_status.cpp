// What the main window shows about its source: the format figures and lines, the channel labels,
// the file name lines, the timer's position line, the repaint's total and free lines, the
// on-memory monitor notice, the view redrawn during a run, and the disk figures.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstring>
#include <string>

#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/shell_support.h"

namespace {

constexpr uint32_t kYellow = 0xFFFF00;

WAVEFORMATEX Format(WORD channels, DWORD rate, WORD bits)
{
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, channels, rate, 0, 0, bits, 0};
    format.nBlockAlign = static_cast<WORD>(channels * ((bits + 7) / 8));
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    return format;
}

std::string Padded(std::string text)
{
    text.resize(35, ' ');
    return text;
}

// Stereo labels as they should look: bold Shift-JIS font of `height`, `lift` pixels up.
void DrawStereoReference(HDC dc, int height, int lift)
{
    LOGFONTA spec = {};
    spec.lfHeight = height;
    spec.lfWeight = 700;
    spec.lfCharSet = 128;
    HFONT font = CreateFontIndirectA(&spec);
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, Col(64), Row(2) - lift, "ＬＥＦＴ", 8);
    TextOutA(dc, Col(64), Row(4) - lift, "ＲＩＧＨＴ", 10);
    SelectObject(dc, old);
    DeleteObject(font);
}

class StatusPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenMainWindow());
        ASSERT_TRUE(CreateCanvas(canvas, Col(74), Row(16) + 256, 0));
        ASSERT_TRUE(CreateCanvas(reference, Col(74), Row(16) + 256, 0));
        oem = GetStockObject(OEM_FIXED_FONT);
    }
    void TearDown() override
    {
        DestroyCanvas(canvas);
        DestroyCanvas(reference);
        CloseMainWindow();
    }
    // The window's text at (x, y) compared with `text` in the OEM font, black on white.
    int WindowMismatch(int x, int y, const char* text)
    {
        MemoryCanvas shot;
        if (!CaptureMainWindow(shot)) return -1;
        const int mismatch = TextMismatch(shot, x, y, text, oem);
        DestroyCanvas(shot);
        return mismatch;
    }
    MemoryCanvas canvas, reference;
    HGDIOBJ oem = nullptr;
};

TEST_F(StatusPanel, SourceFormatSetsTheFiguresAndDrawsRateAndBits)
{
    WAVEFORMATEX stereo = Format(2, 44100, 16);
    ShowSourceFormat(&stereo);
    EXPECT_EQ(kStereo16, source.sampleFormat);
    EXPECT_EQ(44, source.rateCode);
    EXPECT_EQ(176400u, source.avgBytesPerSec);
    EXPECT_EQ(44100u, source.samplesPerSec);
    EXPECT_EQ(1, source.analysable);
    // An unusual pair keeps the previous code but is not analysable.
    WAVEFORMATEX odd = Format(2, 8000, 12);
    ShowSourceFormat(&odd);
    EXPECT_EQ(kStereo16, source.sampleFormat);
    EXPECT_EQ(0, source.analysable);
    EXPECT_EQ(12, source.bitsPerSample);

    WAVEFORMATEX shown = Format(1, 8000, 8);
    ShowSourceFormat(&shown);
    EXPECT_EQ(kMono8, source.sampleFormat);
    EXPECT_EQ(0, WindowMismatch(Col(1), Row(7), " 8 kHz  "));
    EXPECT_EQ(0, WindowMismatch(Col(1), Row(10), " 8 bit  "));
    EXPECT_EQ(0, WindowMismatch(Col(9), Row(7), "Pos:        0 kb      0 sec"));
    MemoryCanvas shot;
    ASSERT_TRUE(CaptureMainWindow(shot));
    EXPECT_EQ(Col(35) * Row(5), CountColour(shot, RECT{Col(37), Row(1), Col(72), Row(6)}, 0));
    DestroyCanvas(shot);
}

TEST_F(StatusPanel, ChannelLabelsFollowTheSourceAndThePlatform)
{
    DrawChannelLabels(canvas.dc);               // no source yet: nothing at all
    EXPECT_TRUE(SameCanvas(canvas, reference));

    state.sourceKind = kSourceFile;
    source.sampleFormat = kStereo8;
    DrawChannelLabels(canvas.dc);
    ASSERT_GE(g.platformVersion, 0x035F);
    DrawStereoReference(reference.dc, -(3 * g.lineHeight) / 2, 1);
    EXPECT_TRUE(SameCanvas(canvas, reference));
    EXPECT_GT(CountColour(canvas, RECT{Col(64), 0, Col(74), Row(6)}, kYellow), 20);
    PatBlt(reference.dc, 0, 0, reference.width, reference.height, BLACKNESS);
    DrawStereoReference(reference.dc, -g.lineHeight, 0);                 // the older look
    EXPECT_FALSE(SameCanvas(canvas, reference));

    // Mono: one label in the current font beside the single bar.
    state.sourceKind = kSourceMonitor;
    source.sampleFormat = kMono16;
    PatBlt(canvas.dc, 0, 0, canvas.width, canvas.height, BLACKNESS);
    PatBlt(reference.dc, 0, 0, reference.width, reference.height, BLACKNESS);
    DrawChannelLabels(canvas.dc);
    TextOutA(reference.dc, Col(37) + (53 * g.charWidth) / 2, Row(2) + g.lineHeight / 2, "ＭＯＮＯ", 8);
    EXPECT_TRUE(SameCanvas(canvas, reference));
}

TEST_F(StatusPanel, FileNameLinesAreCutAtThirtyFiveBytes)
{
    PatBlt(canvas.dc, 0, 0, canvas.width, canvas.height, WHITENESS);
    // 34 ASCII bytes then a double-byte character: byte 35 is its lead byte.
    const std::string name = std::string(34, 'n') + "表示.wav";
    const std::string directory = "C:\\" + std::string(40, 'd') + "\\";
    std::strcpy(g.fileName, (directory + name).c_str());
    BeginBoxCapture();
    DrawFileName(canvas.dc);
    EXPECT_TRUE(EndBoxCapture().empty());
    EXPECT_EQ(0, TextMismatch(canvas, Col(1), Row(1), directory.substr(0, 35).c_str(), oem));
    EXPECT_EQ(0, TextMismatch(canvas, Col(1), Row(4), name.substr(0, 35).c_str(), oem));
    EXPECT_EQ(name, g.fileTitle);

    // A shorter name drawn over it leaves nothing of the longer one; inconsistent figures are
    // reported and drawing goes on.
    std::strcpy(g.fileName, "a.wav");
    source.rateCode = 44;
    source.bitsPerSample = 0;
    BeginBoxCapture();
    DrawFileName(canvas.dc);
    std::vector<CapturedBox> boxes = EndBoxCapture();
    EXPECT_EQ(0, TextMismatch(canvas, Col(1), Row(1), Padded("").c_str(), oem));
    EXPECT_EQ(0, TextMismatch(canvas, Col(1), Row(4), Padded("a.wav").c_str(), oem));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("ｲｼﾞｮｳｼﾞﾀｲ 1", boxes[0].text);
    EXPECT_FALSE(boxes[0].anyIcon);
    EXPECT_EQ(app.mainWindow, boxes[0].owner);
}

TEST_F(StatusPanel, RepaintShowsTheTotalOrFreeLine)
{
    EXPECT_EQ(0, WindowMismatch(Col(9), Row(10), "Total:      0 kb      0 sec"));
    EXPECT_EQ(0, WindowMismatch(Col(1), Row(7), " 0 kHz  "));
    EXPECT_EQ(0, WindowMismatch(Col(9), Row(7), "Pos:        0 kb      0 sec"));

    state.sourceKind = kSourceMonitor;
    source.avgBytesPerSec = 176400;
    g.diskFree = 176400u * 10 + 5000;
    InvalidateRect(app.mainWindow, nullptr, TRUE);
    EXPECT_EQ(0, WindowMismatch(Col(9), Row(10), "Free:    1727 kb     10 sec"));

    state.sourceKind = kSourceFile;
    run.totalDataBytes = 0xFFFFFFFFu;                 // unsigned figures throughout
    source.avgBytesPerSec = 1;
    InvalidateRect(app.mainWindow, nullptr, TRUE);
    // (the text runs on under the play button: compare the visible part)
    EXPECT_EQ(0, WindowMismatch(Col(9), Row(10), "Total:4194303 kb 4294967295"));
}

TEST_F(StatusPanel, TimerShowsTheElapsedPosition)
{
    source.avgBytesPerSec = 176400;
    const DWORD before = GetTickCount();
    run.startTick = before - 7300;
    PostMessageA(app.mainWindow, WM_TIMER, kElapsedTimerId, 0);
    PumpPending(20);
    const DWORD after = GetTickCount();
    // The message's time stamp lies between the two readings.
    int matches = 0;
    for (DWORD seconds = (before - run.startTick) / 1000; seconds <= (after - run.startTick) / 1000; ++seconds) {
        char text[64];
        std::snprintf(text, sizeof text, "Pos:  %7lu kb %6lu sec", (unsigned long)(seconds * 176400 / 1024),
                      (unsigned long)seconds);
        if (WindowMismatch(Col(9), Row(7), text) == 0) ++matches;
    }
    EXPECT_EQ(1, matches);
}

TEST_F(StatusPanel, OnMemoryMonitorNoticeNamesTheChannels)
{
    for (int channels : {1, 2}) {
        state.monitorChannels = static_cast<uint16_t>(channels);
        DrawOnMemoryMonitorLabel();
        MemoryCanvas shot;
        ASSERT_TRUE(CaptureMainWindow(shot));
        // Expected: the notice in a fresh window DC's font, yellow on the cleared panel.
        PatBlt(reference.dc, 0, 0, reference.width, reference.height, BLACKNESS);
        HDC windowDc = GetDC(app.mainWindow);
        HGDIOBJ old = SelectObject(reference.dc, GetCurrentObject(windowDc, OBJ_FONT));
        ReleaseDC(app.mainWindow, windowDc);
        DrawLevelPanelNotice(reference.dc, channels == 1 ? "オンメモリモニタ中(MONO)" : "オンメモリモニタ中(STEREO)");
        SelectObject(reference.dc, old);
        int differences = 0;
        for (int y = Row(1); y < Row(6); ++y)
            for (int x = Col(37); x < Col(72); ++x) differences += PixelAt(shot, x, y) != PixelAt(reference, x, y);
        EXPECT_EQ(0, differences) << channels;
        EXPECT_GT(CountColour(shot, RECT{Col(37), Row(1), Col(72), Row(6)}, kYellow), 20);
        DestroyCanvas(shot);
    }
}

TEST_F(StatusPanel, ViewChangeRedrawsTheGraphOnlyDuringARun)
{
    for (int running : {0, 1}) {
        state.running = running;
        HDC dc = GetDC(app.mainWindow);
        PatBlt(dc, Col(1), Row(13), kGraphWidth, kGraphHeight, BLACKNESS);
        ReleaseDC(app.mainWindow, dc);
        SendMessageA(app.mainWindow, WM_COMMAND, kCmdViewChart, 0);     // the same view the second time
        MemoryCanvas shot;
        ASSERT_TRUE(CaptureMainWindow(shot));
        EXPECT_EQ(running ? 0xFFFFFFu : 0u, PixelAt(shot, Col(1) + 100, Row(13) + 100)) << running;
        DestroyCanvas(shot);
    }
    state.running = 0;
}

// ---- Disk figures ---------------------------------------------------------------------------

TEST(DiskFigures, MeasureTheRootOfTheFilesDriveOrGiveZero)
{
    ResetGlobals();
    g.platformVersion = ReadPlatformVersion();
    ASSERT_GE(g.platformVersion, 0x0400);
    const uint32_t free = MeasureDisk("C:\\somewhere\\take.wav");
    EXPECT_STREQ("C:\\", g.textBuffer);
    ULARGE_INTEGER available, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &totalFree));
    EXPECT_EQ(total.QuadPart, g.diskCapacity);            // the true capacity, not a wrapped one
    EXPECT_EQ(free, g.diskFree);
    const uint64_t trueFree = std::min<uint64_t>(totalFree.QuadPart, UINT32_MAX);
    EXPECT_GT(free, 0u);
    EXPECT_LT(std::max<uint64_t>(trueFree, free) - std::min<uint64_t>(trueFree, free), 1u << 26);

    char current[MAX_PATH];                                // no drive: the current directory's
    GetCurrentDirectoryA(sizeof current, current);
    MeasureDisk("take.wav");
    EXPECT_EQ(std::string(current, 3), g.textBuffer);

    char drive = 0;                                        // a drive that does not exist
    for (char letter = 'Q'; letter <= 'Y' && !drive; ++letter) {
        const char root[] = {letter, ':', '\\', 0};
        if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) drive = letter;
    }
    ASSERT_NE(0, drive);
    EXPECT_EQ(0u, MeasureDisk((std::string(1, drive) + ":\\take.wav").c_str()));
    EXPECT_EQ(0u, g.diskCapacity);
    EXPECT_EQ(0u, g.diskFree);
}

}  // namespace
