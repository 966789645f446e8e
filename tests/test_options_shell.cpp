// The Options command in the real main window: OK closes the current source and Cancel keeps
// it; the next Start runs with the block size, FFT length and buffering chosen in the dialog.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/main_window.h"
#include "tests/support/options.h"
#include "tests/support/playback_support.h"
#include "tests/support/shell_screen.h"   // CaptureMainWindow
#include "tests/support/support.h"

namespace {

constexpr uint32_t kRate = 44100;           // rate code 44
constexpr DWORD kRunBound = 15000;
constexpr uint32_t kMegabyte = 1048576;

// 16-bit mono at 44100 Hz: 88200 bytes per second, 8 bytes per 1/11025 s.
std::vector<uint8_t> MonoFile(size_t dataBytes)
{
    std::vector<uint8_t> data(dataBytes);
    for (size_t i = 0; i < dataBytes; ++i) data[i] = uint8_t(i * 37 % 251);
    return PcmFile(1, kRate, 16, data);
}

void Command(int id) { SendMessageA(app.mainWindow, WM_COMMAND, id, 0); }

// Pixels that differ between the shot at (x, y) and `text` drawn there black on the scale line's
// grey in the OEM fixed font; the scale line sits at the bottom edge, so the comparison is
// clipped to the shot. -1 when nothing can be compared.
int ScaleTextMismatch(const MemoryCanvas& shot, int x, int y, const char* text)
{
    const int length = static_cast<int>(std::strlen(text));
    MemoryCanvas reference;
    if (!CreateCanvas(reference, 8 * length * 4, 64, 0xC0C0C0)) return -1;
    HGDIOBJ previous = SelectObject(reference.dc, GetStockObject(OEM_FIXED_FONT));
    SetTextColor(reference.dc, RGB(0, 0, 0));
    SetBkColor(reference.dc, RGB(192, 192, 192));
    SetBkMode(reference.dc, OPAQUE);
    SIZE extent = {};
    GetTextExtentPoint32A(reference.dc, text, length, &extent);
    TextOutA(reference.dc, 0, 0, text, length);
    SelectObject(reference.dc, previous);
    int mismatch = -1;
    if (x + extent.cx <= shot.width && y < shot.height) {
        mismatch = 0;
        for (int dy = 0; dy < extent.cy && y + dy < shot.height; ++dy)
            for (int dx = 0; dx < extent.cx; ++dx)
                mismatch += PixelAt(shot, x + dx, y + dy) != PixelAt(reference, dx, dy);
    }
    DestroyCanvas(reference);
    return mismatch;
}

// The right-edge label of the time-frequency chart as the scale line shows it now.
int ChartLabelMismatch(const char* label)
{
    MemoryCanvas shot;
    if (!CaptureMainWindow(shot)) return -1;
    const int mismatch = ScaleTextMismatch(shot, Col(1) + 465, Row(13) + 260, label);
    DestroyCanvas(shot);
    return mismatch;
}

class OptionsCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        BeginBoxCapture();
        ASSERT_TRUE(OpenMainWindow());
    }
    void TearDown() override
    {
        if (state.running) {
            Command(kCmdStop);
            PumpUntilRunEnds(kRunBound);
        }
        CloseMainWindow();
        const std::vector<CapturedBox> boxes = EndBoxCapture();
        for (const CapturedBox& box : boxes) ADD_FAILURE() << "unexpected message box: " << box.text;
    }
    // Makes the file the current source as Open does; true when it opened.
    bool Choose(const char* name, const std::vector<uint8_t>& file)
    {
        const std::string path = WriteTempFile(name, file);
        if (path.empty() || path.size() >= sizeof g.fileName) return false;
        std::strcpy(g.fileName, path.c_str());
        return SelectFileSource() == 1;
    }
    void StartAndCheckRunning()
    {
        Command(kCmdStart);
        PumpPending(20);
        EXPECT_EQ(1, state.running);
    }
    void StopAndWait()
    {
        Command(kCmdStop);
        EXPECT_TRUE(PumpUntilRunEnds(kRunBound));
    }
};

TEST_F(OptionsCommand, OkClosesTheSourceAndCancelKeepsItOpen)
{
    ASSERT_TRUE(Choose("options-source.wav", MonoFile(8820)));
    ASSERT_NE(nullptr, state.file);
    ASSERT_NE(nullptr, app.waveOut);
    const std::string fileName = g.fileName;

    ASSERT_TRUE(RunOptionCommand(app.mainWindow, [](HWND dialog, void*) {
        Click(dialog, 107);
    }, nullptr, DialogEnd::kEscape));
    EXPECT_NE(nullptr, state.file);
    EXPECT_NE(nullptr, app.waveOut);
    EXPECT_EQ(kSlopePink, state.slopeReference);

    // OK with nothing changed still closes it; the file stays the current source.
    ASSERT_TRUE(RunOptionCommand(app.mainWindow, nullptr, nullptr, DialogEnd::kOk));
    EXPECT_EQ(nullptr, state.file);
    EXPECT_EQ(nullptr, app.waveOut);
    EXPECT_EQ(kSourceFile, state.sourceKind);
    EXPECT_EQ(fileName, g.fileName);
    EXPECT_TRUE(IsWindowEnabled(app.playButton));
}

TEST_F(OptionsCommand, NextStartUsesTheChosenBlockSizeAndFftLength)
{
    Command(kCmdViewChart);
    ASSERT_TRUE(Choose("options-stream.wav", MonoFile(4 * 88200)));

    // The initial settings first: 8 x 2048 bytes per block, m = 2048 bins, 11289600 / 2048.
    StartAndCheckRunning();
    EXPECT_EQ(16384u, run.blockSize);
    EXPECT_EQ(0, ChartLabelMismatch("5512 Hz"));
    StopAndWait();

    ASSERT_TRUE(RunOptionCommand(app.mainWindow, [](HWND dialog, void*) {
        EXPECT_NE(CB_ERR, ChooseListEntry(dialog, 101, "1/22秒"));
        EXPECT_NE(CB_ERR, ChooseListEntry(dialog, 104, "65536"));
    }, nullptr, DialogEnd::kOk));
    EXPECT_EQ(512, state.timeResolution);
    EXPECT_EQ(16, state.fftExponent);

    StartAndCheckRunning();
    EXPECT_EQ(kStreamingMode, state.bufferingMode);
    EXPECT_EQ(8u * 512u, run.blockSize);
    EXPECT_EQ(0, ChartLabelMismatch("344 Hz"));   // 11289600 / 32768
    StopAndWait();
}

TEST_F(OptionsCommand, OnMemoryChoiceTakesEffectAtTheNextStart)
{
    // More data than two megabytes, so the memory size bounds the single buffer.
    ASSERT_TRUE(Choose("options-memory.wav", MonoFile(2 * kMegabyte + 88200)));
    ASSERT_EQ(kStreamingMode, state.bufferingMode);

    ASSERT_TRUE(RunOptionCommand(app.mainWindow, [](HWND dialog, void*) {
        Click(dialog, 114);
        TypeInto(dialog, 115, "2");
    }, nullptr, DialogEnd::kOk));
    EXPECT_EQ(1, state.onMemoryOption);
    EXPECT_EQ(2, state.memorySizeMB);

    StartAndCheckRunning();
    EXPECT_EQ(kOnMemoryMode, state.bufferingMode);
    EXPECT_EQ(2 * kMegabyte, run.blockSize);
    StopAndWait();
}

}  // namespace
