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

std::vector<ScaleLabel> Labels(int view, int exponent, int rateCode, int charWidth, uint32_t rate = 0)
{
    ScaleLabel labels[kMaxScaleLabels];
    const ScaleSettings s = {view, exponent, (1 << exponent) / 2, rateCode, rate, charWidth};
    return std::vector<ScaleLabel>(labels, labels + ComputeScaleLabels(s, labels, kMaxScaleLabels));
}

std::vector<std::string> Texts(const std::vector<ScaleLabel>& labels)
{
    std::vector<std::string> texts;
    for (const ScaleLabel& l : labels) texts.push_back(l.text);
    return texts;
}

std::vector<int> Xs(const std::vector<ScaleLabel>& labels)
{
    std::vector<int> xs;
    for (const ScaleLabel& l : labels) xs.push_back(l.x);
    return xs;
}

int CountPixels(const MemoryCanvas& c, int x0, int y0, int x1, int y1, uint32_t rgb)
{
    GdiFlush();
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += (c.bits[y * c.width + x] & 0xFFFFFF) == rgb;
    return n;
}

}  // namespace

// ---- Label texts and positions ----

TEST(ScaleLabels, TabledViewsFollowTheRateCode)
{
    EXPECT_TRUE(Labels(kCmdViewWaveform, 12, 44, 6).empty());

    // Four-character labels one column left of their graph position, centred on it.
    const auto bands = Labels(kCmdViewLevelMeter, 12, 44, 6);
    EXPECT_EQ((std::vector<int>{24, 74, 124, 174, 224, 274, 324, 374, 424, 474}), Xs(bands));
    EXPECT_EQ(" 30 ", Texts(bands)[0]);
    EXPECT_EQ("16k ", Texts(bands)[9]);
    EXPECT_EQ("490 ", Texts(Labels(kCmdViewLevelMeter, 12, 22, 6))[5]);
    // Rate code 0 (nothing opened yet) and untabled rates take the third column.
    for (int rate : {0, 11, 48}) {
        const auto other = Labels(kCmdViewLevelMeter, 12, rate, 9);
        EXPECT_EQ("  8 ", Texts(other)[0]);
        EXPECT_EQ(" 4k ", Texts(other)[9]);
        EXPECT_EQ(480 - 9, other[9].x);
    }

    const auto linear = Labels(kCmdViewLinearSpectrum, 12, 44, 6);
    EXPECT_EQ((std::vector<std::string>{"0", " 5k ", "10k ", "15k ", "20k "}), Texts(linear));
    EXPECT_EQ((std::vector<int>{6, 110, 226, 342, 458}), Xs(linear));
    EXPECT_EQ((std::vector<std::string>{"0", "2.5k", " 5k ", "7.5k", "10k "}),
              Texts(Labels(kCmdViewLinearSpectrum, 12, 22, 6)));
    EXPECT_EQ((std::vector<std::string>{"0", "1250", "2500", "3750", "5000"}),
              Texts(Labels(kCmdViewLinearSpectrum, 12, 0, 6)));
}

TEST(ScaleLabels, LogAxisOctavesCentredOnTheirPositions)
{
    // m = 2048 at 44.1 kHz: 20000 Hz down to 19.53 Hz (bin position 1.81).
    const auto labels = Labels(kCmdViewLogSpectrum, 12, 44, 6);
    EXPECT_EQ((std::vector<std::string>{"20k", "10k", "5000", "2500", "1250", "625", "312", "156",
                                        "78", "39", "20"}),
              Texts(labels));
    EXPECT_EQ((std::vector<int>{502, 455, 406, 359, 313, 269, 223, 176, 133, 86, 39}), Xs(labels));

    // m = 128: seven labels, down to 312.5 Hz.
    const auto smallest = Labels(kCmdViewLogSpectrum, 8, 44, 6);
    EXPECT_EQ((std::vector<std::string>{"20k", "10k", "5000", "2500", "1250", "625", "312"}), Texts(smallest));
    EXPECT_EQ(59, smallest.back().x);

    // Other rate codes: 5000 Hz down to 4.9 Hz on the same positions.
    const auto other = Labels(kCmdViewLogSpectrum, 12, 0, 6);
    EXPECT_EQ(11u, other.size());
    EXPECT_EQ("5000", Texts(other)[0]);
    EXPECT_EQ(499, other[0].x);
    EXPECT_EQ("5", Texts(other)[10]);
}

TEST(ScaleLabels, LogAxisThinsOddLabelsOnlyForWideFontsAndLargeFfts)
{
    const auto thinned = Labels(kCmdViewLogSpectrum, 13, 44, 9);
    EXPECT_EQ((std::vector<std::string>{"20k", "5000", "1250", "312", "78", "20"}), Texts(thinned));
    EXPECT_EQ(501, thinned[0].x);
    EXPECT_EQ(79, thinned[5].x);
    EXPECT_EQ(12u, Labels(kCmdViewLogSpectrum, 13, 44, 8).size());
    EXPECT_EQ(11u, Labels(kCmdViewLogSpectrum, 12, 44, 9).size());
    EXPECT_EQ(8u, Labels(kCmdViewLogSpectrum, 16, 44, 9).size());
    EXPECT_EQ(15u, Labels(kCmdViewLogSpectrum, 16, 44, 6).size());   // the largest axis fits
    LogOctave octaves[kMaxLogOctaves];
    EXPECT_EQ(0, LogAxisOctaves(1, 44, octaves, kMaxLogOctaves));   // ln(1) = 0: no axis
}

TEST(ScaleLabels, ChartLabelGivesTheFrequencyAtTheRightEdge)
{
    struct Case { int exponent, rate; uint32_t samplesPerSec; const char* text; };
    const Case cases[] = {
        {8, 44, 44100, "22050 Hz"}, {10, 44, 44100, "22050 Hz"}, {9, 22, 22050, "11025 Hz"},
        {8, 11, 11025, "5512 Hz"},  {12, 44, 44100, "5512 Hz"},  {16, 44, 44100, "344 Hz"},
        {9, 44, 44000, "22050 Hz"},                         // tabled codes use the nominal rate
        {12, 48, 48000, "6000 Hz"}, {8, 48, 48000, "24000 Hz"}, {9, 8, 8000, "4000 Hz"},
        {12, 0, 0, "1378 Hz"},                              // no source yet: lowest tabled rate
    };
    for (const Case& c : cases) {
        const auto labels = Labels(kCmdViewChart, c.exponent, c.rate, 6, c.samplesPerSec);
        EXPECT_EQ((std::vector<std::string>{c.text, "0"}), Texts(labels)) << c.exponent << " " << c.rate;
        EXPECT_EQ((std::vector<int>{6 + 465, 6}), Xs(labels));
    }
}

// ---- The frame drawn into a memory DC ----

class DisplayFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGlobals();
        ASSERT_TRUE(CreateCanvas(canvas, 1, 1));
        SelectObject(canvas.dc, GetStockObject(OEM_FIXED_FONT));
        TEXTMETRICA tm = {};
        GetTextMetricsA(canvas.dc, &tm);
        DestroyCanvas(canvas);
        g.charWidth = tm.tmAveCharWidth;
        g.lineHeight = tm.tmAscent / 2;
        fontHeight = tm.tmHeight;
        scaleTop = Row(13) + 260;
        ASSERT_TRUE(CreateCanvas(canvas, 87 * Col(1) + 40, scaleTop + fontHeight + 8, kUntouched));
        source.rateCode = 44;
        source.samplesPerSec = 44100;
    }
    void TearDown() override { DestroyCanvas(canvas); }

    std::vector<ScaleLabel> CurrentLabels()
    {
        return Labels(state.viewMode, state.fftExponent, source.rateCode, g.charWidth, source.samplesPerSec);
    }

    // The label's span holds exactly the pixels of its text written alone, black on grey.
    void ExpectLabelAt(const ScaleLabel& label)
    {
        const int length = static_cast<int>(std::strlen(label.text)), width = length * Col(1);
        MemoryCanvas alone;
        ASSERT_TRUE(CreateCanvas(alone, width, fontHeight, kUntouched));
        SelectObject(alone.dc, GetStockObject(OEM_FIXED_FONT));
        SetBkColor(alone.dc, RGB(192, 192, 192));
        TextOutA(alone.dc, 0, 0, label.text, length);
        ASSERT_GT(CountPixels(alone, 0, 0, width, fontHeight, 0), 0);
        int differing = 0;
        for (int y = 0; y < fontHeight; ++y)
            for (int x = 0; x < width; ++x)
                differing += PixelAt(alone, x, y) != PixelAt(canvas, label.x + x, scaleTop + y);
        EXPECT_EQ(0, differing) << "label \"" << label.text << "\" at " << label.x;
        DestroyCanvas(alone);
    }

    // Grey scale line with the labels at their positions, the gap above it left alone, and a
    // white graph area with nothing drawn around it.
    void ExpectScaleLineAndGraph()
    {
        std::vector<bool> inLabel(canvas.width, false);
        for (const ScaleLabel& l : CurrentLabels()) {
            ExpectLabelAt(l);
            const int end = std::min<int>(l.x + std::strlen(l.text) * Col(1), canvas.width);
            for (int x = l.x; x < end; ++x) inLabel[x] = true;
        }
        for (int x = Col(1); x < 86 * Col(1); ++x) {
            if (inLabel[x]) continue;
            ASSERT_EQ(fontHeight, CountPixels(canvas, x, scaleTop, x + 1, scaleTop + fontHeight, kGrey)) << x;
        }
        EXPECT_EQ(kUntouched, PixelAt(canvas, Col(1) - 1, scaleTop));
        EXPECT_EQ(canvas.width * 4, CountPixels(canvas, 0, Row(13) + 256, canvas.width, scaleTop, kUntouched));
        EXPECT_EQ(512 * 256, CountPixels(canvas, Col(1), Row(13), Col(1) + 512, Row(13) + 256, 0xFFFFFF));
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
    for (int exponent : {8, 12}) {
        for (int view = kCmdViewWaveform; view <= kCmdViewChart; ++view) {
            GdiFlush();
            std::fill(canvas.bits, canvas.bits + canvas.width * canvas.height, kUntouched);
            state.viewMode = view;
            state.fftExponent = exponent;
            source.sampleFormat = view % 2 ? kMono8 : kMono16;
            DrawDisplayFrame(canvas.dc);
            SCOPED_TRACE(testing::Message() << "view " << view << " exponent " << exponent);
            ExpectScaleLineAndGraph();
        }
    }
}

TEST_F(DisplayFrame, StereoSourceShowsTheNoticeInTheCallersFontAndStillTheLabels)
{
    state.viewMode = kCmdViewLinearSpectrum;
    source.sampleFormat = kStereo8;
    TEXTMETRICA callerFont = {};
    GetTextMetricsA(canvas.dc, &callerFont);
    DrawDisplayFrame(canvas.dc);

    const int first = Row(14), second = Row(17), bottom = Row(17) + callerFont.tmHeight;
    const int left = Col(1), right = Col(1) + 512;
    EXPECT_GT(CountPixels(canvas, Col(2), first, right, second, 0), 0);
    EXPECT_GT(CountPixels(canvas, Col(2), second, right, bottom, 0), 0);
    EXPECT_EQ(0, CountPixels(canvas, left, first, Col(2), bottom, 0));
    EXPECT_EQ(512 * (first - Row(13)), CountPixels(canvas, left, Row(13), right, first, 0xFFFFFF));
    EXPECT_EQ(512 * (Row(13) + 256 - bottom), CountPixels(canvas, left, bottom, right, Row(13) + 256, 0xFFFFFF));
    for (const ScaleLabel& l : CurrentLabels()) ExpectLabelAt(l);
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

// ---- Level bars and palette ----

TEST(LevelBar, SegmentsLightAtTheUnitThresholds)
{
    ResetGlobals();
    g.charWidth = 6;
    MemoryCanvas canvas;
    ASSERT_TRUE(CreateCanvas(canvas, 420, 30, 0x000000));        // the black level panel
    auto expectLit = [&](uint32_t level, uint32_t unit, int litCount) {
        DrawLevelBar(canvas.dc, level, 10, 5, unit);
        for (int s = 0; s < kLevelBarSegments; ++s) {
            const int left = 37 * 6 + (2 + 3 * s) * 3;         // 1.5-column pitch, half-column steps
            const int on = s < litCount ? 255 : 128;
            const uint32_t colour = s < 8 ? Rgb(0, on, 0) : s < 12 ? Rgb(on, on, 0) : Rgb(on, 0, 0);
            EXPECT_EQ(colour, PixelAt(canvas, left, 10)) << "segment " << s << " level " << level;
            EXPECT_EQ(colour, PixelAt(canvas, left + 5, 14)) << "segment " << s;
            EXPECT_EQ(0u, PixelAt(canvas, left + 6, 12) | PixelAt(canvas, left, 9) | PixelAt(canvas, left, 15));
        }
    };
    for (uint32_t u : {8u, 2048u}) {
        expectLit(0, u, 0);
        expectLit(1, u, 1);
        expectLit(15 * u, u, 15);
        expectLit(16 * u - 2, u, 16);
        expectLit(16 * u - 1, u, 17);
        expectLit(0, u, 0);                       // a lower level dims them again
    }
    expectLit(0xFFFFFFFFu, 2048, 17);
    // The bar spans columns 38 to 63.
    EXPECT_EQ(0u, PixelAt(canvas, 38 * 6 - 1, 12));
    EXPECT_EQ(0u, PixelAt(canvas, 63 * 6, 12));
    DestroyCanvas(canvas);
}

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
        const PALETTEENTRY grey = {BYTE(i), BYTE(i), BYTE(i), 0};
        EXPECT_EQ(0, std::memcmp(&grey, &entries[i], sizeof grey)) << i;
    }
    DeleteObject(palette);
}
