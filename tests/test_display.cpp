// The display: scale labels of every view at every rate, the frame, the level bars, what
// DrawBlockResult draws for each kind of result, the peak panel and its texts, the palette and the
// five renderers, drawn into a memory DC. The batched spectra are compared pixel for pixel with
// the straightforward drawing that makes one call per bin.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "display/display.h"
#include "tests/support/support.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kUntouched = 0x123456, kBlack = 0x000000, kWhite = 0xFFFFFF;
constexpr int kLeft = 6, kTop = 65;             // graph area at character width 6, line height 5
constexpr int kPanelX = 444, kPanelY = 5;       // peak panel: 2 columns + 512 pixels is not left of column 74

// The spectra drawn the straightforward way: the cleared area, the yellow grid, then one LineTo
// per bin (linear, grid of 48000 Hz) or one fill per bin from bin 1 on (logarithmic, grid in
// octaves from `top`).
void Reference(HDC dc, const Bytes& v, bool log, double top, double nyquist)
{
    const int m = static_cast<int>(v.size()), a = std::max(m / 512, 1), b = std::max(512 / m, 1);
    const auto at = [m](double bin) { return static_cast<int>(kLeft + 512.0 * std::log(bin) / std::log(double(m))); };
    std::vector<int> grid = log ? std::vector<int>() : std::vector<int>{kLeft + 426, kLeft + 320, kLeft + 213, kLeft + 106};
    for (double f = top, bin = 3.0; log && bin > 2.0; f /= 2.0) grid.push_back(at(bin = m * f / nyquist));
    PatBlt(dc, kLeft, kTop, 512, 256, WHITENESS);
    HGDIOBJ pen = SelectObject(dc, CreatePen(PS_SOLID, 0, RGB(255, 255, 0)));
    for (int x : grid) MoveToEx(dc, x, kTop + 256, nullptr), LineTo(dc, x, kTop);
    DeleteObject(SelectObject(dc, pen));
    MoveToEx(dc, kLeft, kTop + v[0], nullptr);
    for (int i = 1; i < m; ++i) {
        if (log) PatBlt(dc, at(i), kTop + v[i], 1, 256 - v[i], BLACKNESS);
        else LineTo(dc, kLeft + (i * b) / a, kTop + v[i]);
    }
}

class Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (MemoryCanvas* c : {&canvas, &other}) {
            ASSERT_TRUE(CreateCanvas(*c, 88 * 6, kTop + 280, kUntouched));
            SelectObject(c->dc, GetStockObject(OEM_FIXED_FONT));
        }
    }

    // Pixels of colour rgb in columns x0 .. x1-1 of rows y0 .. y1-1.
    int Count(int x0, int y0, int x1, int y1, uint32_t rgb) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += PixelAt(canvas, x, y) == rgb;
        return n;
    }
    bool SamePictures() const { return GdiFlush(), std::equal(canvas.bits, canvas.bits + canvas.width * canvas.height, other.bits); }
    // Lit segments of the level bar on row y (-1: no bar): lit colours have a full red or green,
    // dim ones at most 0x80.
    int LitSegments(int y) const
    {
        int lit = 0;
        for (int s = 0; s < kLevelBarSegments; ++s) lit += (PixelAt(canvas, LevelSegmentLeft(s, 6), y) & 0x7F7F00) != 0;
        return PixelAt(canvas, LevelSegmentLeft(0, 6), y) == kUntouched ? -1 : lit;
    }

    const Layout layout = {6, 5, 32, nullptr};
    MemoryCanvas canvas, other;   // the other: a picture to compare with
};

}  // namespace

// ---- Frame -----------------------------------------------------------------------------------

// Texts and left edges (none given: not checked). Tabled labels stand one column left of their
// graph position; logarithmic ones are centred on theirs, every second one left out for a font
// wider than 8 pixels above exponent 12; the chart names the frequency at its right edge. Every
// rate has true axes, worked by hand: the step s = 5000 x 2^k is the largest with 4s <= rate / 2;
// s..4s stand at trunc(f x 1024 / rate), in Hz below s = 2500; band k names rate x 2^(k-12) x
// sqrt 2 rounded below 20 Hz to 1 Hz, below 950 Hz to 10 Hz, else to 1 kHz.
TEST(ScaleLabels, TextsAndPositionsOfEveryViewAtEveryRate)
{
    using S = std::vector<std::string>;
    struct Case { ViewMode view; int exponent, rateCode; uint32_t rate; int charWidth; S texts; std::vector<int> xs; };
    for (const Case& c : {Case{kViewWaveform, 12, 44, 44100, 6, {}, {}},
        {kViewLevelMeter, 12, 44, 44100, 6, {" 30 ", " 60 ", "120 ", "240 ", "490 ", " 1k ", " 2k ", " 4k ", " 8k ", "16k "},
         {24, 74, 124, 174, 224, 274, 324, 374, 424, 474}},
        {kViewLevelMeter, 12, 0, 0, 9, {"  8 ", " 15 ", " 30 ", " 60 ", "120 ", "240 ", "490 ", " 1k ", " 2k ", " 4k "}, {21, 71}},
        {kViewLevelMeter, 12, 0, 8000, 6, {"  6 ", " 11 ", " 20 ", " 40 ", " 90 ", "180 ", "350 ", "710 ", " 1k ", " 3k "}, {}},
        {kViewLevelMeter, 12, 0, 48000, 6, {" 30 ", " 70 ", "130 ", "270 ", "530 ", " 1k ", " 2k ", " 4k ", " 8k ", "17k "}, {}},
        {kViewLinearSpectrum, 12, 44, 44100, 6, {"0", " 5k ", "10k ", "15k ", "20k "}, {6, 110, 226, 342, 458}},
        {kViewLinearSpectrum, 12, 0, 8000, 6, {"0", " 625", "1250", "1875", "2500"}, {6, 74, 154, 234, 314}},
        {kViewLinearSpectrum, 12, 0, 22050, 6, {"0", "2.5k", " 5k ", "7.5k", "10k "}, {6, 110, 226, 342, 458}},
        {kViewLinearSpectrum, 12, 0, 48000, 6, {"0", " 5k ", "10k ", "15k ", "20k "}, {6, 100, 207, 314, 420}},
        {kViewLinearSpectrum, 12, 0, 192000, 6, {"0", "20k ", "40k ", "60k ", "80k "}, {6, 100, 207, 314, 420}},
        {kViewLogSpectrum, 12, 44, 44100, 6, {"20k", "10k", "5000", "2500", "1250", "625", "312", "156", "78", "39", "20"},
         {502, 455, 406, 359, 313, 269, 223, 176, 133, 86, 39}},
        {kViewLogSpectrum, 13, 44, 44100, 9, {"20k", "5000", "1250", "312", "78", "20"}, {501, 411, 326, 245, 164, 79}},
        {kViewLogSpectrum, 13, 44, 44100, 8, {"20k", "10k", "5000", "2500", "1250", "625", "312", "156", "78", "39", "20", "10"}, {}},
        {kViewChart, 8, 44, 44100, 6, {"22050 Hz", "0"}, {471, 6}},   {kViewChart, 9, 22, 22050, 6, {"11025 Hz", "0"}, {}},
        {kViewChart, 10, 11, 11025, 6, {"5512 Hz", "0"}, {}},         {kViewChart, 16, 44, 44000, 6, {"344 Hz", "0"}, {}},
        {kViewChart, 12, 48, 48000, 6, {"6000 Hz", "0"}, {}},         {kViewChart, 12, 0, 0, 6, {"1378 Hz", "0"}, {}}}) {
        ScaleLabel labels[kMaxScaleLabels];
        const int n = ComputeScaleLabels({c.view, c.exponent, (1 << c.exponent) / 2, c.rateCode, c.rate, c.charWidth}, labels, kMaxScaleLabels);
        SCOPED_TRACE(testing::Message() << "view " << c.view << " exponent " << c.exponent << " rate " << c.rate);
        S texts(n);
        for (int i = 0; i < n; ++i) texts[i] = labels[i].text;
        ASSERT_EQ(c.texts, texts);
        for (size_t i = 0; i < c.xs.size(); ++i) EXPECT_EQ(c.xs[i], labels[i].x) << "label " << i;
    }
}

// The linear view's frame for a stereo 11025 Hz source against the same frame drawn by hand: the
// scale line grey from column 1 on with the labels in black, the gap above it left alone, the
// graph area white and no notice on it; the caller's font stays selected.
TEST_F(Display, FrameDrawsScaleLineAndGraphAreaOnly)
{
    Settings settings;
    settings.view = kViewLinearSpectrum;
    SelectObject(canvas.dc, GetStockObject(ANSI_VAR_FONT));
    SetBkMode(canvas.dc, TRANSPARENT);
    DrawDisplayFrame(canvas.dc, layout, settings, SourceFormat{1, 2, 11025});
    EXPECT_EQ(GetStockObject(ANSI_VAR_FONT), GetCurrentObject(canvas.dc, OBJ_FONT));
    SetBkColor(other.dc, RGB(192, 192, 192));
    TextOutA(other.dc, 6, kTop + 260, std::string(86, ' ').c_str(), 86);
    const std::pair<int, const char*> labels[] = {{6, "0"}, {110, "1250"}, {226, "2500"}, {342, "3750"}, {458, "5000"}};
    for (const auto& label : labels) TextOutA(other.dc, label.first, kTop + 260, label.second, int(std::strlen(label.second)));
    PatBlt(other.dc, kLeft, kTop, 512, 256, WHITENESS);
    EXPECT_TRUE(SamePictures());
}

// ---- Level bars and block results ------------------------------------------------------------

// Segment s lights when s * u (16 u - 2 for the last) is below the level: green, yellow, red,
// 1 column wide on a pitch of 1.5 columns from column 38; the dim colours at half intensity.
TEST_F(Display, LevelBarSegmentsLightAtTheUnitThresholds)
{
    for (uint32_t u : {8u, 2048u}) {
        for (auto c : {std::pair<uint32_t, int>{1, 1}, {15 * u, 15}, {16 * u - 2, 16}, {16 * u - 1, 17}, {0, 0}, {~0u, 17}}) {
            DrawLevelBar(canvas.dc, layout, c.first, 10, 5, u);
            for (int s = 0; s < kLevelBarSegments; ++s) {
                const int left = 37 * 6 + (2 + 3 * s) * 3, on = s < c.second ? 255 : 128;
                const uint32_t colour = (s < 8 ? 0x000100u : s < 12 ? 0x010100u : 0x010000u) * on;   // green, yellow, red
                // The 6 x 5 segment and none of the pixels around it.
                EXPECT_EQ(6 * 5, Count(left - 1, 9, left + 7, 16, colour)) << "segment " << s << " level " << c.first;
            }
        }
    }
}

// Lit segments on rows 2 to 5 (-1: no bar there): mono fills rows 2 to 4, stereo row 2 for the
// left channel and row 4 for the right. Mono results with a view draw it; spectrum views write
// the peak panel too, the waveform does not.
TEST_F(Display, BlockResultsDrawTheirBarsViewAndPanel)
{
    const Bytes bytes(2048, 200);
    struct Case { BlockResult result; int rows[4]; bool graph, panel; };
    for (const Case& c : {Case{{true, 1, {16384, 0}, 2048, true, kViewLinearSpectrum, bytes.data(), 2048, true}, {8, 8, 8, -1}, true, true},
                          Case{{true, 1, {16384, 0}, 2048, true, kViewWaveform, bytes.data(), 2048}, {8, 8, 8, -1}, true, false},
                          Case{{true, 2, {4096, 30000}, 2048}, {2, -1, 15, -1}, false, false}, Case{{true, 1, {0, 0}, 8}, {0, 0, 0, -1}, false, false},
                          Case{{false, 0, {0, 0}, 2048, true, kViewLevelMeter, bytes.data(), 2048, true}, {-1, -1, -1, -1}, false, false}}) {
        std::fill(canvas.bits, canvas.bits + canvas.width * canvas.height, kUntouched);
        DrawBlockResult(canvas.dc, layout, Settings(), SourceFormat{1, uint16_t(c.result.barCount), 44100}, c.result);
        SCOPED_TRACE(testing::Message() << c.result.barCount << " bars, view " << c.result.view << ", level " << c.result.peaks[0]);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(c.rows[i], LitSegments(5 * (2 + i))) << "row " << 2 + i;
        EXPECT_EQ(c.graph, PixelAt(canvas, kLeft, kTop + 255) != kUntouched);
        EXPECT_EQ(c.panel, PixelAt(canvas, kPanelX + 41, kPanelY + 39) != kUntouched);
    }
}

// ---- Peak panel ------------------------------------------------------------------------------

// A white box of 7 columns by 8 rows with "Peak Lv", the frequency and the power on rows 0, 3 and
// 6, in the DC's font.
TEST_F(Display, PeakPanelWritesThreeLinesInAWhiteBox)
{
    DrawPeakPanel(canvas.dc, layout, 1001.29, 6.7e7);
    PatBlt(other.dc, kPanelX, kPanelY, 42, 40, WHITENESS);
    const std::pair<int, const char*> lines[] = {{0, "Peak Lv"}, {15, " 1001Hz"}, {30, "6.7e+07"}};
    for (const auto& line : lines) TextOutA(other.dc, kPanelX, kPanelY + line.first, line.second, 7);
    EXPECT_TRUE(SamePictures());
}

// Frequencies lose decimals at their thresholds; powers in two-digit exponent form. The panel
// stands right of the graph area when a wide font leaves room left of column 74 (the drawing
// above shows the other place, column 74 on row 1).
TEST(PeakPanel, TextsAndPlace)
{
    char text[32];
    const std::pair<double, const char*> frequencies[] = {
        {1001.293, " 1001Hz"}, {999.95, " 1000Hz"}, {99.995, "100.0Hz"}, {9.9995, "10.00Hz"}, {9.9994, "9.999Hz"}, {0.0, "0.000Hz"}};
    for (const auto& f : frequencies) EXPECT_EQ(f.second, std::string(FormatPeakFrequency(f.first, text, sizeof text) ? text : "")) << f.first;
    for (const auto& p : {std::make_pair(1007.0, "1.0e+03"), std::make_pair(0.0, "0.0e+00")})
        EXPECT_EQ(p.second, std::string(FormatPeakPower(p.first, text, sizeof text) ? text : "")) << p.first;
    EXPECT_EQ(528, PeakPanelOrigin(8, 6).x);
    EXPECT_EQ(78, PeakPanelOrigin(8, 6).y);
}

// ---- Renderers -------------------------------------------------------------------------------

// Noise and noise over a falling slope, both ending on a repeated extreme (the very last end
// point of a polyline is left out), on the linear axis and every rate's logarithmic one.
TEST_F(Display, SpectraEqualCallByCallDrawing)
{
    // Rate, top and Nyquist frequency of the logarithmic axes; the last row is the linear view.
    const double axes[4][3] = {{44100, 20000.0, 22050.0}, {22050, 10000.0, 11025.0}, {0, 5000.0, 5512.5}, {48000, 0, 0}};
    for (int m : {128, 256, 2048, 32768})
        for (int sloped : {0, 1}) {
            std::mt19937 random(m + sloped);
            Bytes v(m);
            for (int i = 0; i < m; ++i) v[i] = static_cast<uint8_t>(sloped ? 20 + 200 * i / m + random() % 30 : random() % 256);
            v[m - 3] = v[m - 1] = 240;
            for (int axis = 0; axis < 4; ++axis) {
                if (axis < 3) DrawLogSpectrum(other.dc, layout, uint32_t(axes[axis][0]), v.data(), m);
                else DrawLinearSpectrum(other.dc, layout, 48000, v.data(), m);
                Reference(canvas.dc, v, axis < 3, axes[axis][1], axes[axis][2]);
                EXPECT_GT(Count(kLeft, kTop, kLeft + 512, kTop + 256, kBlack), 100);     // not an empty picture
                EXPECT_TRUE(SamePictures()) << "m " << m << " sloped " << sloped << " axis " << axis;
            }
        }
}

// One pixel per sample from the left edge, the first 512 samples only (the line ends before the
// last point).
TEST_F(Display, WaveformDrawsUpTo512Samples)
{
    Bytes v(1000, 0);
    std::fill(v.begin(), v.begin() + 512, 200);
    DrawWaveform(canvas.dc, layout, v.data(), 1000);
    EXPECT_EQ(511, Count(kLeft, kTop + 200, kLeft + 512, kTop + 201, kBlack));
    EXPECT_EQ(0, Count(kLeft, kTop, kLeft + 512, kTop + 200, kBlack));
}

// Bar heights of bands 1 to 10 (0: not drawn) with a few bins lit, all others at the floor; each
// bar 40 pixels wide.
TEST_F(Display, BandBarsCoverOctavesOfTheBins)
{
    struct Case { int exponent; std::vector<std::pair<int, uint8_t>> bins; int heights[10]; };
    for (const Case& c : {Case{8, {{0, 0}, {1, 10}, {63, 50}, {64, 20}}, {0, 0, 256, 246, 1, 1, 1, 1, 206, 236}},   // band 3: DC alone
                          Case{10, {{0, 0}, {1, 100}}, {0, 156, 1, 1, 1, 1, 1, 1, 1, 1}}, Case{11, {{0, 0}, {1, 100}}, {156, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
                          Case{12, {{1, 0}, {3, 30}, {4, 5}, {7, 61}, {1024, 200}, {2047, 0}}, {226, 251, 1, 1, 1, 1, 1, 1, 1, 256}}}) {
        Bytes v(1 << (c.exponent - 1), 255);
        for (const auto& bin : c.bins) v[bin.first] = bin.second;
        DrawBandLevels(canvas.dc, layout, c.exponent, v.data(), static_cast<int32_t>(v.size()));
        for (int k = 0; k < 10; ++k)
            EXPECT_EQ(40 * c.heights[k], Count(19 + 50 * k, kTop, 61 + 50 * k, kTop + 256, kBlack)) << "exponent " << c.exponent << " band " << k + 1;
    }
}

// The eight-colour ramp at depth 4; a palette-relative grey, strongest white, at other depths,
// drawn here through the grey display palette. Each row moves the chart up one pixel;
// m = 256 draws each bin two pixels wide, m = 4096 its 512 lowest bins one pixel each.
TEST_F(Display, ChartColoursScrollAndBinWidths)
{
    const std::pair<uint8_t, COLORREF> ramp[] = {{31, RGB(255, 255, 255)}, {32, RGB(255, 255, 0)}, {64, RGB(0, 255, 255)},
        {127, RGB(0, 255, 0)}, {128, RGB(255, 0, 255)}, {191, RGB(255, 0, 0)}, {223, RGB(0, 0, 255)}, {224, RGB(0, 0, 0)}};
    for (const auto& r : ramp) EXPECT_EQ(r.second, ChartColour(r.first, 4)) << int(r.first);
    EXPECT_EQ(PALETTERGB(255, 255, 255), ChartColour(0, 24));
    EXPECT_EQ(PALETTERGB(0, 0, 0), ChartColour(255, 8));
    const Layout grey = {6, 5, 8, CreateDisplayPalette()};

    SetPixelV(canvas.dc, kLeft + 3, kTop + 1, RGB(255, 0, 0));
    Bytes stripes(4096, 0);
    for (int i = 1; i < 256; i += 2) stripes[i] = 255;
    DrawChartRow(canvas.dc, grey, stripes.data(), 256);
    EXPECT_EQ(0xFF0000u, PixelAt(canvas, kLeft + 3, kTop));
    for (int x : {0, 1, 4, 5, 508, 509, 2, 3, 6, 7, 510, 511})
        EXPECT_EQ(x % 4 < 2 ? kWhite : kBlack, PixelAt(canvas, kLeft + x, kTop + 255)) << x;
    DrawChartRow(canvas.dc, grey, stripes.data(), 4096);
    EXPECT_EQ(256, Count(kLeft, kTop + 254, kLeft + 512, kTop + 255, kBlack));
    EXPECT_EQ(128, Count(kLeft, kTop + 255, kLeft + 512, kTop + 256, kBlack));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft + 512, kTop + 255));
    DeleteObject(grey.palette);
}
