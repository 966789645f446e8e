// The display frame (scale labels of every view and rate code, the grey scale line, the white
// graph area, the stereo notice, the state it leaves in the DC), the level bars and the palette.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "display/display.h"
#include "shell/globals.h"
#include "tests/support/support.h"

namespace {

constexpr uint32_t kUntouched = 0x123456;     // canvas colour no drawing call uses
constexpr uint32_t kGrey = 0xC0C0C0;
constexpr uint32_t kBlackPixel = 0x000000;
constexpr uint32_t kWhitePixel = 0xFFFFFF;

std::vector<ScaleLabel> Labels(int view, int exponent, int rateCode, int charWidth,
                               uint32_t samplesPerSec = 0)
{
    ScaleLabel labels[kMaxScaleLabels];
    const ScaleSettings s = {view, exponent, (1 << exponent) / 2, rateCode, samplesPerSec, charWidth};
    const int n = ComputeScaleLabels(s, labels, kMaxScaleLabels);
    return std::vector<ScaleLabel>(labels, labels + n);
}

std::vector<std::string> Texts(const std::vector<ScaleLabel>& labels)
{
    std::vector<std::string> texts;
    for (const ScaleLabel& l : labels) texts.push_back(l.text);
    return texts;
}

// Counts pixels of `rgb` in the rectangle [x0, x1) x [y0, y1).
int CountPixels(const MemoryCanvas& c, int x0, int y0, int x1, int y1, uint32_t rgb)
{
    GdiFlush();
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if ((c.bits[y * c.width + x] & 0xFFFFFF) == rgb) ++n;
    return n;
}

}  // namespace

// ---- Label texts and positions ----

TEST(ScaleLabels, LevelMeterBandsFollowTheRateCode)
{
    const auto at44 = Labels(kCmdViewLevelMeter, 12, 44, 6);
    ASSERT_EQ(10u, at44.size());
    for (int i = 0; i < 10; ++i) EXPECT_EQ(30 + 50 * i - 6, at44[i].x) << i;   // centred on p
    EXPECT_STREQ(" 30 ", at44[0].text);
    EXPECT_STREQ(" 1k ", at44[5].text);
    EXPECT_STREQ("16k ", at44[9].text);

    const auto at22 = Labels(kCmdViewLevelMeter, 12, 22, 6);
    EXPECT_STREQ(" 15 ", at22[0].text);
    EXPECT_STREQ("490 ", at22[5].text);
    EXPECT_STREQ(" 8k ", at22[9].text);

    // Rate code 0 (nothing opened yet) and unusual rates take the third column.
    for (int rate : {0, 11, 48}) {
        const auto other = Labels(kCmdViewLevelMeter, 12, rate, 9);
        ASSERT_EQ(10u, other.size());
        EXPECT_STREQ("  8 ", other[0].text);
        EXPECT_STREQ(" 4k ", other[9].text);
        EXPECT_EQ(480 - 9, other[9].x);
    }
}

TEST(ScaleLabels, LinearSpectrumStartsWithZeroThenQuarters)
{
    const auto at44 = Labels(kCmdViewLinearSpectrum, 12, 44, 6);
    EXPECT_EQ((std::vector<std::string>{"0", " 5k ", "10k ", "15k ", "20k "}), Texts(at44));
    EXPECT_EQ(6, at44[0].x);
    EXPECT_EQ(116 - 6, at44[1].x);
    EXPECT_EQ(464 - 6, at44[4].x);

    EXPECT_EQ((std::vector<std::string>{"0", "2.5k", " 5k ", "7.5k", "10k "}),
              Texts(Labels(kCmdViewLinearSpectrum, 12, 22, 6)));
    EXPECT_EQ((std::vector<std::string>{"0", "1250", "2500", "3750", "5000"}),
              Texts(Labels(kCmdViewLinearSpectrum, 12, 0, 6)));
}

TEST(ScaleLabels, WaveformHasNone)
{
    EXPECT_TRUE(Labels(kCmdViewWaveform, 12, 44, 6).empty());
}

TEST(ScaleLabels, LogAxisOctavesFromTheTopFrequencyDown)
{
    // m = 2048 at 44.1 kHz: 20000 Hz down to 19.53 Hz (bin position 1.81), centred on their
    // graph positions with half the label width taken off.
    const auto labels = Labels(kCmdViewLogSpectrum, 12, 44, 6);
    EXPECT_EQ((std::vector<std::string>{"20k", "10k", "5000", "2500", "1250", "625", "312", "156",
                                        "78", "39", "20"}),
              Texts(labels));
    const std::vector<int> expectedX = {502, 455, 406, 359, 313, 269, 223, 176, 133, 86, 39};
    ASSERT_EQ(expectedX.size(), labels.size());
    for (size_t i = 0; i < labels.size(); ++i) EXPECT_EQ(expectedX[i], labels[i].x) << i;

    // Other rate codes start at 5000 Hz and end at 4.9 Hz on the same positions.
    const auto other = Labels(kCmdViewLogSpectrum, 12, 0, 6);
    ASSERT_EQ(11u, other.size());
    EXPECT_STREQ("5000", other[0].text);
    EXPECT_EQ(499, other[0].x);
    EXPECT_STREQ("5", other[10].text);
}

TEST(ScaleLabels, LogAxisAtTheSmallestFftHasSevenLabels)
{
    const auto labels = Labels(kCmdViewLogSpectrum, 8, 44, 6);
    EXPECT_EQ((std::vector<std::string>{"20k", "10k", "5000", "2500", "1250", "625", "312"}),
              Texts(labels));
    EXPECT_EQ(498, labels.front().x);
    EXPECT_EQ(59, labels.back().x);
}

TEST(ScaleLabels, LogAxisThinsOddLabelsOnlyForWideFontsAndLargeFfts)
{
    // Exponent 13, character width 9: only labels of even index are written.
    const auto thinned = Labels(kCmdViewLogSpectrum, 13, 44, 9);
    EXPECT_EQ((std::vector<std::string>{"20k", "5000", "1250", "312", "78", "20"}), Texts(thinned));
    EXPECT_EQ(501, thinned[0].x);
    EXPECT_EQ(79, thinned[5].x);

    // Width 8 at exponent 13, or width 9 at exponent 12: nothing is thinned.
    const auto narrow = Labels(kCmdViewLogSpectrum, 13, 44, 8);
    EXPECT_EQ(12u, narrow.size());
    EXPECT_STREQ("10", narrow.back().text);
    EXPECT_EQ(11u, Labels(kCmdViewLogSpectrum, 12, 44, 9).size());

    // The largest FFT still fits the label array.
    EXPECT_EQ(8u, Labels(kCmdViewLogSpectrum, 16, 44, 9).size());
    EXPECT_EQ(15u, Labels(kCmdViewLogSpectrum, 16, 44, 6).size());
}

TEST(ScaleLabels, ChartLabelGivesTheFrequencyAtTheRightEdge)
{
    struct Case { int exponent, rate; uint32_t samplesPerSec; const char* text; };
    const Case cases[] = {
        {8, 44, 44100, "22050 Hz"}, {9, 44, 44100, "22050 Hz"}, {10, 44, 44100, "22050 Hz"},
        {8, 22, 22050, "11025 Hz"}, {10, 11, 11025, "5512 Hz"},  {12, 44, 44100, "5512 Hz"},
        {16, 44, 44100, "344 Hz"},
        // Untabled rates: 256 times the actual rate over the bins shown.
        {12, 48, 48000, "6000 Hz"}, {8, 48, 48000, "24000 Hz"}, {9, 8, 8000, "4000 Hz"},
        // The tabled constant wins for an inexact rate with a tabled code.
        {9, 44, 44000, "22050 Hz"},
    };
    for (const Case& c : cases) {
        const auto labels = Labels(kCmdViewChart, c.exponent, c.rate, 6, c.samplesPerSec);
        ASSERT_EQ(2u, labels.size());
        EXPECT_STREQ(c.text, labels[0].text) << c.exponent << " " << c.rate;
        EXPECT_EQ(6 + 465, labels[0].x);
        EXPECT_STREQ("0", labels[1].text);
        EXPECT_EQ(6, labels[1].x);
    }
}

TEST(ScaleLabels, NoLogAxisWithoutTwoBins)
{
    LogOctave octaves[kMaxLogOctaves];
    EXPECT_EQ(0, LogAxisOctaves(1, 44, octaves, kMaxLogOctaves));
    EXPECT_EQ(0, LogAxisOctaves(0, 44, octaves, kMaxLogOctaves));
    EXPECT_EQ(3, LogAxisOctaves(32768, 44, octaves, 3));      // never past the capacity
}

// ---- The frame drawn into a memory DC ----

class DisplayFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGlobals();
        ASSERT_TRUE(CreateCanvas(canvas, 1, 1));
        TEXTMETRICA tm = {};
        HGDIOBJ old = SelectObject(canvas.dc, GetStockObject(OEM_FIXED_FONT));
        GetTextMetricsA(canvas.dc, &tm);
        SelectObject(canvas.dc, old);
        DestroyCanvas(canvas);
        g.charWidth = tm.tmAveCharWidth;
        g.lineHeight = tm.tmAscent / 2;
        fontHeight = tm.tmHeight;
        scaleTop = Row(13) + 260;
        ASSERT_TRUE(CreateCanvas(canvas, Col(1) + 86 * Col(1) + 40, scaleTop + fontHeight + 8, kUntouched));
        source.rateCode = 44;
        source.samplesPerSec = 44100;
        source.sampleFormat = kMono16;
    }
    void TearDown() override { DestroyCanvas(canvas); }

    std::vector<ScaleLabel> CurrentLabels()
    {
        return Labels(state.viewMode, state.fftExponent, source.rateCode, g.charWidth, source.samplesPerSec);
    }

    // The label's span holds exactly the pixels of its text written alone, grey behind black.
    void ExpectLabelAt(const ScaleLabel& label, int top)
    {
        const int width = static_cast<int>(std::strlen(label.text)) * Col(1);
        MemoryCanvas alone;
        ASSERT_TRUE(CreateCanvas(alone, width, fontHeight, kUntouched));
        SelectObject(alone.dc, GetStockObject(OEM_FIXED_FONT));
        SetBkColor(alone.dc, RGB(192, 192, 192));
        TextOutA(alone.dc, 0, 0, label.text, static_cast<int>(std::strlen(label.text)));
        EXPECT_GT(CountPixels(alone, 0, 0, width, fontHeight, kBlackPixel), 0);
        int differing = 0;
        for (int y = 0; y < fontHeight; ++y)
            for (int x = 0; x < width; ++x)
                differing += PixelAt(alone, x, y) != PixelAt(canvas, label.x + x, top + y);
        EXPECT_EQ(0, differing) << "label \"" << label.text << "\" at " << label.x;
        DestroyCanvas(alone);
    }

    // The scale line is grey except for the labels, each written at its position; the gap
    // above it is left alone and the graph area is white.
    void ExpectScaleLineAndGraph(const std::vector<ScaleLabel>& labels)
    {
        const int lineEnd = std::min(Col(1) + 85 * Col(1), canvas.width);
        std::vector<bool> inLabel(canvas.width, false);
        for (const ScaleLabel& l : labels) {
            const int end = l.x + static_cast<int>(std::strlen(l.text)) * Col(1);
            for (int x = std::max(l.x, 0); x < std::min(end, canvas.width); ++x) inLabel[x] = true;
            ExpectLabelAt(l, scaleTop);
        }
        for (int x = Col(1); x < lineEnd; ++x) {
            if (inLabel[x]) continue;
            ASSERT_EQ(fontHeight, CountPixels(canvas, x, scaleTop, x + 1, scaleTop + fontHeight, kGrey)) << x;
        }
        EXPECT_EQ(kUntouched, PixelAt(canvas, Col(1) - 1, scaleTop));
        const int gap = CountPixels(canvas, 0, Row(13) + 256, canvas.width, scaleTop, kUntouched);
        EXPECT_EQ(canvas.width * 4, gap);
        EXPECT_EQ(512 * 256, CountPixels(canvas, Col(1), Row(13), Col(1) + 512, Row(13) + 256, kWhitePixel));
        EXPECT_EQ(kUntouched, PixelAt(canvas, Col(1) - 1, Row(13)));
        EXPECT_EQ(kUntouched, PixelAt(canvas, Col(1) + 512, Row(13) + 255));
        EXPECT_EQ(kUntouched, PixelAt(canvas, Col(1), Row(13) - 1));
    }

    MemoryCanvas canvas;
    int fontHeight = 0;
    int scaleTop = 0;
};

TEST_F(DisplayFrame, EveryViewWritesItsLabelsOnAGreyLineOverAWhiteGraph)
{
    for (int view = kCmdViewWaveform; view <= kCmdViewChart; ++view) {
        GdiFlush();
        for (int i = 0; i < canvas.width * canvas.height; ++i) canvas.bits[i] = kUntouched;
        state.viewMode = view;
        DrawDisplayFrame(canvas.dc);
        SCOPED_TRACE(view);
        ExpectScaleLineAndGraph(CurrentLabels());
    }
}

TEST_F(DisplayFrame, LabelsFollowTheExponentAndRateOfTheMoment)
{
    state.viewMode = kCmdViewLogSpectrum;
    state.fftExponent = 8;
    source.rateCode = 22;
    source.samplesPerSec = 22050;
    DrawDisplayFrame(canvas.dc);
    const auto labels = CurrentLabels();
    EXPECT_EQ(7u, labels.size());
    EXPECT_STREQ("10k", labels[0].text);
    ExpectScaleLineAndGraph(labels);
}

TEST_F(DisplayFrame, StereoSourceShowsTheNoticeAndStillTheLabels)
{
    state.viewMode = kCmdViewLinearSpectrum;
    source.sampleFormat = kStereo8;
    TEXTMETRICA callerFont = {};
    GetTextMetricsA(canvas.dc, &callerFont);           // the notice uses the caller's font
    DrawDisplayFrame(canvas.dc);

    const int first = Row(14), second = Row(17), bottom = Row(17) + callerFont.tmHeight;
    const int left = Col(1), right = Col(1) + 512;
    EXPECT_GT(CountPixels(canvas, Col(2), first, right, second, kBlackPixel), 0);
    EXPECT_GT(CountPixels(canvas, Col(2), second, right, bottom, kBlackPixel), 0);
    EXPECT_EQ(0, CountPixels(canvas, left, first, Col(2), bottom, kBlackPixel));
    // Outside the two text lines the graph area stays white.
    EXPECT_EQ(512 * (first - Row(13)), CountPixels(canvas, left, Row(13), right, first, kWhitePixel));
    EXPECT_EQ(512 * (Row(13) + 256 - bottom),
              CountPixels(canvas, left, bottom, right, Row(13) + 256, kWhitePixel));

    // The scale labels of the view are written as for a mono source.
    const auto labels = CurrentLabels();
    for (const ScaleLabel& l : labels) ExpectLabelAt(l, scaleTop);
}

TEST_F(DisplayFrame, MonoSourceHasNoNotice)
{
    state.viewMode = kCmdViewWaveform;
    source.sampleFormat = kMono8;
    DrawDisplayFrame(canvas.dc);
    EXPECT_EQ(0, CountPixels(canvas, Col(1), Row(13), Col(1) + 512, Row(13) + 256, kBlackPixel));
}

TEST_F(DisplayFrame, LeavesBlackTextOnOpaqueWhiteAndTheCallersFont)
{
    HGDIOBJ callerFont = GetStockObject(ANSI_VAR_FONT);
    SelectObject(canvas.dc, callerFont);
    SetTextColor(canvas.dc, RGB(255, 0, 0));
    SetBkMode(canvas.dc, TRANSPARENT);
    SetBkColor(canvas.dc, RGB(0, 0, 255));
    state.viewMode = kCmdViewChart;
    DrawDisplayFrame(canvas.dc);
    EXPECT_EQ(RGB(0, 0, 0), GetTextColor(canvas.dc));
    EXPECT_EQ(OPAQUE, GetBkMode(canvas.dc));
    EXPECT_EQ(RGB(255, 255, 255), GetBkColor(canvas.dc));
    EXPECT_EQ(callerFont, GetCurrentObject(canvas.dc, OBJ_FONT));
}

// ---- Level bars ----

class LevelBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGlobals();
        g.charWidth = 6;
        g.lineHeight = 5;
        ASSERT_TRUE(CreateCanvas(canvas, 420, 30, 0x000000));     // the black level panel
    }
    void TearDown() override { DestroyCanvas(canvas); }

    // Left edge of segment s at character width 6: 37 columns plus 1.5 columns per segment
    // plus one column.
    static int Left(int s) { return 222 + 6 + 9 * s; }

    static uint32_t Expected(int s, bool lit)
    {
        if (s < 8) return lit ? Rgb(0, 255, 0) : Rgb(0, 128, 0);
        if (s < 12) return lit ? Rgb(255, 255, 0) : Rgb(128, 128, 0);
        return lit ? Rgb(255, 0, 0) : Rgb(128, 0, 0);
    }

    // Draws at rows 10 to 14 and checks that exactly the first `litCount` segments are lit.
    void ExpectLit(uint32_t level, uint32_t unit, int litCount)
    {
        DrawLevelBar(canvas.dc, level, 10, 5, unit);
        for (int s = 0; s < kLevelBarSegments; ++s) {
            const uint32_t colour = Expected(s, s < litCount);
            EXPECT_EQ(colour, PixelAt(canvas, Left(s), 10)) << "segment " << s << " level " << level;
            EXPECT_EQ(colour, PixelAt(canvas, Left(s) + 5, 14)) << "segment " << s;
            EXPECT_EQ(0u, PixelAt(canvas, Left(s) + 6, 12)) << "gap after " << s;
            EXPECT_EQ(0u, PixelAt(canvas, Left(s), 9));
            EXPECT_EQ(0u, PixelAt(canvas, Left(s), 15));
        }
    }

    MemoryCanvas canvas;
};

TEST_F(LevelBar, SegmentsLightAtTheUnitThresholds)
{
    for (uint32_t u : {8u, 2048u}) {
        ExpectLit(0, u, 0);
        ExpectLit(1, u, 1);
        ExpectLit(15 * u, u, 15);
        ExpectLit(16 * u - 2, u, 16);
        ExpectLit(16 * u - 1, u, 17);
        ExpectLit(0, u, 0);                        // a lower level dims them again
    }
    ExpectLit(0xFFFFFFFFu, 2048, 17);
}

TEST_F(LevelBar, BarSpansColumnsThirtyEightToSixtyThree)
{
    DrawLevelBar(canvas.dc, 0, 0, 30, 8);
    EXPECT_EQ(0u, PixelAt(canvas, 38 * 6 - 1, 5));
    EXPECT_EQ(Rgb(0, 128, 0), PixelAt(canvas, 38 * 6, 5));
    EXPECT_EQ(Rgb(128, 0, 0), PixelAt(canvas, 63 * 6 - 1, 5));
    EXPECT_EQ(0u, PixelAt(canvas, 63 * 6, 5));
}

// ---- Palette ----

TEST(DisplayPalette, IsAGreyRampOf256Entries)
{
    HPALETTE palette = CreateDisplayPalette();
    ASSERT_NE(nullptr, palette);
    WORD count = 0;
    ASSERT_EQ(static_cast<int>(sizeof count), GetObjectA(palette, sizeof count, &count));
    EXPECT_EQ(256, count);
    PALETTEENTRY entries[256] = {};
    ASSERT_EQ(256u, GetPaletteEntries(palette, 0, 256, entries));
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(i, entries[i].peRed);
        EXPECT_EQ(i, entries[i].peGreen);
        EXPECT_EQ(i, entries[i].peBlue);
        EXPECT_EQ(0, entries[i].peFlags);
    }
    DeleteObject(palette);
}
