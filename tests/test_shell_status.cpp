// What the main window shows about its source: the format figures and lines, the channel labels,
// the file name lines, the position line of the timer, the repaint's total and free lines, the
// on-memory monitor notice, the disk figures, and a run started from the command line.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstring>
#include <string>

#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/shell_screen.h"
#include "tests/support/support.h"

namespace {

constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kWhite = 0xFFFFFF;

WAVEFORMATEX Format(WORD channels, DWORD rate, WORD bits)
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = bits;
    format.nBlockAlign = static_cast<WORD>(channels * ((bits + 7) / 8));
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    return format;
}

std::string Padded(std::string text)
{
    text.resize(35, ' ');
    return text;
}

bool SameCanvas(const MemoryCanvas& a, const MemoryCanvas& b)
{
    GdiFlush();
    return std::memcmp(a.bits, b.bits, size_t(a.width) * a.height * 4) == 0;
}

// The stereo labels as they should look: bold Shift-JIS font of `height`, `lift` pixels up.
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
        ASSERT_TRUE(CreateCanvas(canvas, Col(74), Row(16) + 256, 0x000000));
        ASSERT_TRUE(CreateCanvas(reference, Col(74), Row(16) + 256, 0x000000));
    }
    void TearDown() override
    {
        DestroyCanvas(canvas);
        DestroyCanvas(reference);
        CloseMainWindow();
    }
    MemoryCanvas canvas;
    MemoryCanvas reference;
};

TEST_F(StatusPanel, SourceFormatSetsTheFiguresAndDrawsRateAndBits)
{
    WAVEFORMATEX stereo = Format(2, 44100, 16);
    ShowSourceFormat(&stereo);
    EXPECT_EQ(kStereo16, source.sampleFormat);
    EXPECT_EQ(44, source.rateCode);
    EXPECT_EQ(16, source.bitsPerSample);
    EXPECT_EQ(176400u, source.avgBytesPerSec);
    EXPECT_EQ(44100u, source.samplesPerSec);
    EXPECT_EQ(1, source.analysable);

    // An unusual pair keeps the previous code but is not analysable.
    WAVEFORMATEX odd = Format(2, 8000, 12);
    ShowSourceFormat(&odd);
    EXPECT_EQ(kStereo16, source.sampleFormat);
    EXPECT_EQ(0, source.analysable);
    EXPECT_EQ(8, source.rateCode);
    EXPECT_EQ(12, source.bitsPerSample);

    WAVEFORMATEX mono = Format(1, 22050, 8);
    ShowSourceFormat(&mono);
    EXPECT_EQ(kMono8, source.sampleFormat);
    EXPECT_EQ(1, source.analysable);

    // The drawn lines of the last one; the level panel was cleared black.
    WAVEFORMATEX shown = Format(1, 8000, 8);
    ShowSourceFormat(&shown);
    MemoryCanvas shot;
    ASSERT_TRUE(CaptureMainWindow(shot));
    HGDIOBJ oem = GetStockObject(OEM_FIXED_FONT);
    EXPECT_EQ(0, TextMismatch(shot, Col(1), Row(7), " 8 kHz  ", oem));
    EXPECT_EQ(0, TextMismatch(shot, Col(1), Row(10), " 8 bit  ", oem));
    EXPECT_EQ(0, TextMismatch(shot, Col(9), Row(7), "Pos:        0 kb      0 sec", oem));
    const RECT level = {Col(37), Row(1), Col(72), Row(6)};
    EXPECT_EQ(Col(35) * Row(5), CountColour(shot, level, 0));
    DestroyCanvas(shot);
}

TEST_F(StatusPanel, ChannelLabelsFollowTheSourceAndThePlatform)
{
    // No source yet: nothing at all.
    DrawChannelLabels(canvas.dc);
    EXPECT_TRUE(SameCanvas(canvas, reference));

    state.sourceKind = kSourceFile;
    source.sampleFormat = kStereo8;
    DrawChannelLabels(canvas.dc);
    ASSERT_GE(g.platformVersion, 0x035F);
    DrawStereoReference(reference.dc, -(3 * g.lineHeight) / 2, 1);
    EXPECT_TRUE(SameCanvas(canvas, reference));
    EXPECT_GT(CountColour(canvas, RECT{Col(64), 0, Col(74), Row(6)}, kYellow), 20);
    // The older platforms' smaller labels would look different.
    MemoryCanvas older;
    ASSERT_TRUE(CreateCanvas(older, canvas.width, canvas.height, 0x000000));
    DrawStereoReference(older.dc, -g.lineHeight, 0);
    EXPECT_FALSE(SameCanvas(canvas, older));
    DestroyCanvas(older);
}

TEST_F(StatusPanel, MonoLabelStandsBesideTheSingleBar)
{
    state.sourceKind = kSourceMonitor;
    source.sampleFormat = kMono16;
    DrawChannelLabels(canvas.dc);
    SetTextColor(reference.dc, RGB(255, 255, 0));
    SetBkMode(reference.dc, TRANSPARENT);
    TextOutA(reference.dc, Col(37) + (53 * g.charWidth) / 2, Row(2) + g.lineHeight / 2, "ＭＯＮＯ", 8);
    EXPECT_TRUE(SameCanvas(canvas, reference));
    EXPECT_GT(CountColour(canvas, RECT{0, 0, canvas.width, canvas.height}, kYellow), 20);
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
    HGDIOBJ oem = GetStockObject(OEM_FIXED_FONT);
    EXPECT_EQ(0, TextMismatch(canvas, Col(1), Row(1), directory.substr(0, 35).c_str(), oem));
    EXPECT_EQ(0, TextMismatch(canvas, Col(1), Row(4), name.substr(0, 35).c_str(), oem));
    EXPECT_EQ(name, g.fileTitle);

    // A shorter name drawn over it leaves nothing of the longer one.
    std::strcpy(g.fileName, "a.wav");
    DrawFileName(canvas.dc);
    EXPECT_EQ(0, TextMismatch(canvas, Col(1), Row(1), Padded("").c_str(), oem));
    EXPECT_EQ(0, TextMismatch(canvas, Col(1), Row(4), Padded("a.wav").c_str(), oem));
}

TEST_F(StatusPanel, InconsistentFiguresAreReportedAndDrawingGoesOn)
{
    PatBlt(canvas.dc, 0, 0, canvas.width, canvas.height, WHITENESS);
    std::strcpy(g.fileName, "C:\\x.wav");
    source.rateCode = 44;
    source.bitsPerSample = 0;
    BeginBoxCapture();
    DrawFileName(canvas.dc);
    std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("ｲｼﾞｮｳｼﾞﾀｲ 1", boxes[0].text);
    EXPECT_FALSE(boxes[0].anyIcon);
    EXPECT_EQ(app.mainWindow, boxes[0].owner);
    EXPECT_EQ(0, TextMismatch(canvas, Col(1), Row(4), Padded("x.wav").c_str(), GetStockObject(OEM_FIXED_FONT)));
}

TEST_F(StatusPanel, RepaintShowsFreeSpaceForTheMonitor)
{
    state.sourceKind = kSourceMonitor;
    source.avgBytesPerSec = 176400;
    g.diskFree = 176400u * 10 + 5000;
    InvalidateRect(app.mainWindow, nullptr, TRUE);
    MemoryCanvas shot;
    ASSERT_TRUE(CaptureMainWindow(shot));
    EXPECT_EQ(0, TextMismatch(shot, Col(9), Row(10), "Free:    1727 kb     10 sec", GetStockObject(OEM_FIXED_FONT)));
    DestroyCanvas(shot);

    // A file whose header gives 0 bytes per second: the zero line, no division.
    state.sourceKind = kSourceFile;
    source.avgBytesPerSec = 0;
    run.totalDataBytes = 123456;
    InvalidateRect(app.mainWindow, nullptr, TRUE);
    ASSERT_TRUE(CaptureMainWindow(shot));
    EXPECT_EQ(0, TextMismatch(shot, Col(9), Row(10), "Total:      0 kb      0 sec", GetStockObject(OEM_FIXED_FONT)));
    DestroyCanvas(shot);
}

TEST_F(StatusPanel, TimerShowsTheElapsedPosition)
{
    source.avgBytesPerSec = 176400;
    const DWORD before = GetTickCount();
    run.startTick = before - 7300;
    PostMessageA(app.mainWindow, WM_TIMER, kElapsedTimerId, 0);
    PumpPending(20);
    const DWORD after = GetTickCount();
    MemoryCanvas shot;
    ASSERT_TRUE(CaptureMainWindow(shot));
    // The message's time stamp lies between the two readings.
    int matches = 0;
    for (DWORD seconds = (before - run.startTick) / 1000; seconds <= (after - run.startTick) / 1000; ++seconds) {
        char text[64];
        std::snprintf(text, sizeof text, "Pos:  %7lu kb %6lu sec", (unsigned long)(seconds * 176400 / 1024),
                      (unsigned long)seconds);
        if (TextMismatch(shot, Col(9), Row(7), text, GetStockObject(OEM_FIXED_FONT)) == 0) ++matches;
    }
    EXPECT_EQ(1, matches);
    DestroyCanvas(shot);
}

TEST_F(StatusPanel, OnMemoryMonitorNoticeNamesTheChannels)
{
    for (int channels : {1, 2}) {
        state.monitorChannels = static_cast<uint16_t>(channels);
        DrawOnMemoryMonitorLabel();
        MemoryCanvas shot;
        ASSERT_TRUE(CaptureMainWindow(shot));
        // Expected: the notice in the window's default font, yellow on the black panel.
        PatBlt(reference.dc, 0, 0, reference.width, reference.height, BLACKNESS);
        HDC windowDc = GetDC(app.mainWindow);
        HGDIOBJ font = GetCurrentObject(windowDc, OBJ_FONT);
        ReleaseDC(app.mainWindow, windowDc);
        HGDIOBJ old = SelectObject(reference.dc, font);
        DrawLevelPanelNotice(reference.dc, channels == 1 ? "オンメモリモニタ中(MONO)" : "オンメモリモニタ中(STEREO)");
        SelectObject(reference.dc, old);
        int differences = 0;
        for (int y = Row(1); y < Row(6); ++y)
            for (int x = Col(37); x < Col(72); ++x)
                if (PixelAt(shot, x, y) != PixelAt(reference, x, y)) ++differences;
        EXPECT_EQ(0, differences) << channels;
        EXPECT_GT(CountColour(shot, RECT{Col(37), Row(1), Col(72), Row(6)}, kYellow), 20);
        DestroyCanvas(shot);
    }
}

TEST_F(StatusPanel, ViewChangeRedrawsTheGraphOnlyDuringARun)
{
    HDC dc = GetDC(app.mainWindow);
    PatBlt(dc, Col(1), Row(13), kGraphWidth, kGraphHeight, BLACKNESS);
    SendMessageA(app.mainWindow, WM_COMMAND, kCmdViewChart, 0);
    MemoryCanvas shot;
    ASSERT_TRUE(CaptureMainWindow(shot));
    EXPECT_EQ(0u, PixelAt(shot, Col(1) + 100, Row(13) + 100));       // left for the next repaint
    DestroyCanvas(shot);

    state.running = 1;
    PatBlt(dc, Col(1), Row(13), kGraphWidth, kGraphHeight, BLACKNESS);
    SendMessageA(app.mainWindow, WM_COMMAND, kCmdViewChart, 0);       // the same view again
    state.running = 0;
    ReleaseDC(app.mainWindow, dc);
    ASSERT_TRUE(CaptureMainWindow(shot));
    EXPECT_EQ(kWhite, PixelAt(shot, Col(1) + 100, Row(13) + 100));   // the frame was drawn at once
    DestroyCanvas(shot);
}

// ---- Disk figures ---------------------------------------------------------------------------

TEST(DiskFigures, MeasureTheRootOfTheFilesDrive)
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
    EXPECT_GT(free, 0u);
    const uint64_t trueFree = std::min<uint64_t>(totalFree.QuadPart, UINT32_MAX);
    EXPECT_LT(std::max<uint64_t>(trueFree, free) - std::min<uint64_t>(trueFree, free), 1u << 26);

    // No drive in the path: the current directory's drive.
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    MeasureDisk("take.wav");
    EXPECT_EQ(std::string(current, 3), g.textBuffer);
    MeasureDisk(nullptr);
    EXPECT_EQ(std::string(current, 3), g.textBuffer);
}

TEST(DiskFigures, AreZeroWhenTheDriveCannotBeAsked)
{
    ResetGlobals();
    g.platformVersion = ReadPlatformVersion();
    g.diskCapacity = 99;
    g.diskFree = 99;
    char drive = 0;
    for (char letter = 'Q'; letter <= 'Y' && !drive; ++letter) {
        const char root[] = {letter, ':', '\\', 0};
        if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) drive = letter;
    }
    ASSERT_NE(0, drive);
    const std::string path = std::string(1, drive) + ":\\take.wav";
    EXPECT_EQ(0u, MeasureDisk(path.c_str()));
    EXPECT_EQ(0u, g.diskCapacity);
    EXPECT_EQ(0u, g.diskFree);
}

// ---- A run from the command line ------------------------------------------------------------

bool Running(void*) { return state.running != 0; }

TEST(CommandLineRun, AutoplaySwitchStartsThePlaybackAndDestroyEndsIt)
{
    std::vector<uint8_t> data(44100 * 4 * 2, 0);               // two seconds of silence
    const std::string file = WriteTempFile("autoplay.wav", PcmFile(2, 44100, 16, data));
    for (const char* autoplay : {"/p", "/Play"}) {
        BeginBoxCapture();
        ASSERT_TRUE(OpenMainWindow(file.c_str(), autoplay));
        EXPECT_TRUE(PumpUntil(Running, nullptr, 5000)) << autoplay;
        EXPECT_TRUE(EndBoxCapture().empty());
        EXPECT_NE(nullptr, app.waveOut);
        EXPECT_TRUE(IsWindowEnabled(app.stopButton));
        EXPECT_FALSE(IsWindowEnabled(app.playButton));
        CloseMainWindow();                                       // WM_DESTROY during the run
        EXPECT_EQ(nullptr, app.waveOut);
        EXPECT_EQ(nullptr, state.file);
        EXPECT_EQ(nullptr, app.header[0]);
        EXPECT_EQ(nullptr, run.headerHandle[0]);
    }
    // Without the switch the file only opens.
    BeginBoxCapture();
    ASSERT_TRUE(OpenMainWindow(file.c_str(), "/x"));
    EndBoxCapture();
    EXPECT_EQ(0, state.running);
    EXPECT_EQ(kSourceFile, state.sourceKind);
    CloseMainWindow();
}

}  // namespace
