// The five renderers drawn into a memory DC and a window DC. The batched spectrum renderers are
// compared pixel for pixel with straightforward reference drawings that make one call per bin.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "display/display.h"
#include "shell/globals.h"
#include "tests/support/support.h"

namespace {

constexpr uint32_t kUntouched = 0x123456;
constexpr uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF, kYellow = 0xFFFF00;
constexpr int kLeft = 6, kTop = 65;             // graph area at character width 6, line height 5

struct Rate { int code; double top, nyquist; };
constexpr Rate kRates[] = {{44, 20000.0, 22050.0}, {22, 10000.0, 11025.0}, {0, 5000.0, 5512.5}};

// ---- Reference drawings: one call per line segment or bin ----

void ReferenceGrid(HDC dc, const std::vector<int>& xs)
{
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(255, 255, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    for (int x : xs) {
        MoveToEx(dc, x, kTop + 256, nullptr);
        LineTo(dc, x, kTop);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

void ReferenceLinear(HDC dc, const std::vector<uint8_t>& v)
{
    const int m = static_cast<int>(v.size());
    const int a = std::max(m / 512, 1), b = std::max(512 / m, 1);
    PatBlt(dc, kLeft, kTop, 512, 256, WHITENESS);
    ReferenceGrid(dc, {kLeft + 464, kLeft + 348, kLeft + 232, kLeft + 116});
    MoveToEx(dc, kLeft, kTop + v[0], nullptr);
    for (int i = 1; i < m; ++i) LineTo(dc, kLeft + (i * b) / a, kTop + v[i]);
}

void ReferenceLog(HDC dc, const std::vector<uint8_t>& v, const Rate& rate)
{
    const int m = static_cast<int>(v.size());
    PatBlt(dc, kLeft, kTop, 512, 256, WHITENESS);
    std::vector<int> grid;
    double b = 0;
    for (double f = rate.top; grid.empty() || b > 2.0; f /= 2.0) {
        b = m * f / rate.nyquist;
        grid.push_back(static_cast<int>(kLeft + 512.0 * std::log(b) / std::log(double(m))));
    }
    ReferenceGrid(dc, grid);
    for (int i = 1; i < m; ++i) {
        const int x = static_cast<int>(kLeft + 512.0 * std::log(double(i)) / std::log(double(m)));
        PatBlt(dc, x, kTop + v[i], 1, 256 - v[i], BLACKNESS);
    }
}

// Display bytes: uniform noise, quiet noise, a falling noisy slope, and noise whose last
// bins end on a repeated extreme (the very last end point of a polyline is left out).
std::vector<uint8_t> Bytes(int m, int pattern)
{
    std::mt19937 random(1000 * pattern + m);
    std::vector<uint8_t> v(m);
    for (int i = 0; i < m; ++i) {
        const int noise = static_cast<int>(random() % 256);
        v[i] = static_cast<uint8_t>(pattern == 0   ? noise
                                    : pattern == 1 ? 180 + noise % 76
                                    : pattern == 2 ? std::min(255, 20 + 200 * i / m + noise % 30)
                                                   : noise % 200);
    }
    if (pattern == 3) v[m - 3] = v[m - 1] = 240;
    return v;
}

class Renderers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGlobals();
        g.charWidth = 6;
        g.lineHeight = 5;
        g.colourDepth = 24;
        state.fftExponent = 12;
        source.rateCode = 44;
        ASSERT_TRUE(CreateCanvas(canvas, kLeft + 512 + 10, kTop + 256 + 10, kUntouched));
        ASSERT_TRUE(CreateCanvas(copy, canvas.width, canvas.height, kUntouched));
    }
    void TearDown() override
    {
        DestroyCanvas(canvas);
        DestroyCanvas(copy);
    }

    int Count(int x0, int y0, int x1, int y1, uint32_t rgb) const
    {
        GdiFlush();
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += (canvas.bits[y * canvas.width + x] & 0xFFFFFF) == rgb;
        return n;
    }
    int Column(int x) const { return Count(x, kTop, x + 1, kTop + 256, kBlack); }

    // Draws the spectrum batched and call by call into `dc` and counts the pixels that differ;
    // the reference picture must show bins and grid, so that an empty picture cannot pass.
    int Differences(HDC dc, bool log, const std::vector<uint8_t>& v, const Rate& rate)
    {
        const int m = static_cast<int>(v.size());
        source.rateCode = rate.code;
        if (log) DrawLogSpectrum(dc, v.data(), m);
        else DrawLinearSpectrum(dc, v.data(), m);
        BitBlt(copy.dc, 0, 0, copy.width, copy.height, dc, 0, 0, SRCCOPY);
        if (log) ReferenceLog(dc, v, rate);
        else ReferenceLinear(dc, v);
        if (dc != canvas.dc) BitBlt(canvas.dc, 0, 0, canvas.width, canvas.height, dc, 0, 0, SRCCOPY);
        EXPECT_GT(Count(kLeft, kTop, kLeft + 512, kTop + 256, kBlack), 100);
        EXPECT_GT(Count(kLeft, kTop + 256, kLeft + 512, kTop + 257, kYellow), 3);
        int n = 0;
        for (int i = 0; i < canvas.width * canvas.height; ++i) n += canvas.bits[i] != copy.bits[i];
        return n;
    }

    MemoryCanvas canvas, copy;
};

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    return DefWindowProcA(window, message, w, l);
}

}  // namespace

// ---- Batched spectra equal the call-by-call drawing ----

TEST_F(Renderers, SpectraEqualCallByCallDrawing)
{
    for (int m : {128, 256, 2048, 32768}) {
        for (int pattern = 0; pattern < 4; ++pattern) {
            const auto v = Bytes(m, pattern);
            EXPECT_EQ(0, Differences(canvas.dc, false, v, kRates[0])) << "linear m " << m << " pattern " << pattern;
            for (const Rate& rate : kRates)
                EXPECT_EQ(0, Differences(canvas.dc, true, v, rate))
                    << "log m " << m << " pattern " << pattern << " rate " << rate.code;
        }
    }
}

TEST_F(Renderers, SpectraEqualCallByCallDrawingOnAWindow)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "DisplayRendererProbe";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("DisplayRendererProbe", "", WS_POPUP | WS_VISIBLE, 0, 0, canvas.width,
                                canvas.height, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    PumpPending(20);
    HDC dc = GetDC(window);
    for (int m : {2048, 32768}) {
        EXPECT_EQ(0, Differences(dc, true, Bytes(m, 0), kRates[0])) << "log m " << m;
        EXPECT_EQ(0, Differences(dc, false, Bytes(m, 3), kRates[0])) << "linear m " << m;
    }
    ReleaseDC(window, dc);
    DestroyWindow(window);
}

// ---- Logarithmic spectrum ----

TEST_F(Renderers, LogSpectrumGridAndBinPlacement)
{
    // All bins at the floor, DC at full power: DC is never drawn, so only the bottom row has ink;
    // 11 grid lines from the row below the graph up to, not including, its top row.
    std::vector<uint8_t> v(2048, 255);
    v[0] = 0;
    DrawLogSpectrum(canvas.dc, v.data(), 2048);
    EXPECT_EQ(11, Count(kLeft, kTop + 1, kLeft + 512, kTop + 2, kYellow));
    EXPECT_EQ(11, Count(kLeft, kTop + 256, kLeft + 512, kTop + 257, kYellow));
    EXPECT_EQ(0, Count(kLeft, kTop, kLeft + 512, kTop + 1, kYellow));
    EXPECT_EQ(0, Count(kLeft, kTop, kLeft + 512, kTop + 255, kBlack));
    EXPECT_EQ(kBlack, PixelAt(canvas, kLeft + 511, kTop + 255));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft + 512, kTop + 255));

    // Bin 1 stands on the left edge; the tallest of the bins sharing a column shows.
    v[1] = 0;
    v[2046] = 40;
    v[2047] = 90;
    DrawLogSpectrum(canvas.dc, v.data(), 2048);
    EXPECT_EQ(256, Column(kLeft));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft - 1, kTop));
    EXPECT_EQ(256 - 40, Column(kLeft + 511));
}

// ---- Waveform ----

TEST_F(Renderers, WaveformDrawsOneSamplePerColumnUpTo512)
{
    // 1000 samples: a line along row 200 over the first 512; the rest (row 0) is not drawn.
    std::vector<uint8_t> v(1000, 0);
    std::fill(v.begin(), v.begin() + 512, 200);
    DrawWaveform(canvas.dc, v.data(), 1000);
    EXPECT_EQ(511, Count(kLeft, kTop + 200, kLeft + 512, kTop + 201, kBlack));
    EXPECT_EQ(0, Count(kLeft, kTop, kLeft + 512, kTop + 200, kBlack));
    EXPECT_EQ(0, Count(kLeft + 512, 0, canvas.width, canvas.height, kBlack));

    // A few samples: the area is cleared and the line stops before the last sample's point.
    const std::vector<uint8_t> few = {128, 130, 126, 128};
    PatBlt(canvas.dc, kLeft, kTop, 512, 256, BLACKNESS);
    DrawWaveform(canvas.dc, few.data(), 4);
    EXPECT_EQ(kBlack, PixelAt(canvas, kLeft + 1, kTop + 130));
    EXPECT_EQ(kBlack, PixelAt(canvas, kLeft + 2, kTop + 126));
    EXPECT_EQ(kWhite, PixelAt(canvas, kLeft + 3, kTop + 128));
    EXPECT_EQ(0, Count(kLeft + 3, kTop, kLeft + 512, kTop + 256, kBlack));
    EXPECT_EQ(0, Count(kLeft, kTop, kLeft + 3, kTop + 126, kBlack) + Count(kLeft, kTop + 131, kLeft + 3, kTop + 256, kBlack));

    // One sample: only the clearing.
    PatBlt(canvas.dc, kLeft, kTop, 512, 256, BLACKNESS);
    DrawWaveform(canvas.dc, few.data(), 1);
    EXPECT_EQ(512 * 256, Count(kLeft, kTop, kLeft + 512, kTop + 256, kWhite));
}

// ---- Level meter bands ----

TEST_F(Renderers, BandBarsCoverOctavesOfTheBins)
{
    struct Case {
        int exponent;
        std::vector<std::pair<int, uint8_t>> bins;   // all others 255
        std::array<int, 10> heights;                 // bar height of bands 1 to 10, 0 = not drawn
    };
    const Case cases[] = {
        // m = 128: bands 1 and 2 skipped, band 3 is DC alone, band 9 ends where band 10 starts.
        {8, {{0, 0}, {1, 10}, {63, 50}, {64, 20}}, {0, 0, 256, 246, 1, 1, 1, 1, 206, 236}},
        // m = 256 and 1024: the lowest band drawn is bin 1 alone; DC belongs to no band.
        {9, {{0, 0}, {1, 100}}, {0, 0, 156, 1, 1, 1, 1, 1, 1, 1}},
        {11, {{0, 0}, {1, 100}}, {156, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        // m = 2048: band 1 is bins 2 and 3, band 2 bins 4 to 7, band 10 1024 to 2047.
        {12, {{1, 0}, {3, 30}, {4, 5}, {7, 61}, {1024, 200}, {2047, 0}}, {226, 251, 1, 1, 1, 1, 1, 1, 1, 256}},
    };
    for (const Case& c : cases) {
        state.fftExponent = c.exponent;
        const int m = 1 << (c.exponent - 1);
        std::vector<uint8_t> v(m, 255);
        for (const auto& bin : c.bins) v[bin.first] = bin.second;
        DrawBandLevels(canvas.dc, v.data(), m);
        for (int k = 0; k < 10; ++k) {
            const int x = 20 + 50 * k;
            EXPECT_EQ(c.heights[k], Column(x)) << "exponent " << c.exponent << " band " << k + 1;
            EXPECT_EQ(c.heights[k], Column(x + 39)) << "exponent " << c.exponent << " band " << k + 1;
            EXPECT_EQ(0, Column(x + 40) + Column(x - 1));
        }
    }
}

// ---- Time-frequency chart ----

TEST_F(Renderers, ChartColoursByDepth)
{
    std::vector<uint8_t> v(512, 0);
    const struct { uint8_t byte; uint32_t ramp; } ramp[] = {
        {0, 0xFFFFFF},  {31, 0xFFFFFF}, {32, 0xFFFF00},  {63, 0xFFFF00}, {64, 0x00FFFF},  {127, 0x00FF00},
        {128, 0xFF00FF}, {160, 0xFF0000}, {191, 0xFF0000}, {223, 0x0000FF}, {224, 0x000000}, {255, 0x000000},
    };
    for (int i = 0; i < 12; ++i) v[i] = ramp[i].byte;
    g.colourDepth = 4;
    DrawChartRow(canvas.dc, v.data(), 512);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(ramp[i].ramp, PixelAt(canvas, kLeft + i, kTop + 255)) << int(ramp[i].byte);

    // Other depths: grey, strongest white. At depth 8 the grey palette is selected for the row
    // and the DC's own palette put back; without a palette the greys still come out.
    g.colourDepth = 8;
    g.displayPalette = CreateDisplayPalette();
    ASSERT_NE(nullptr, g.displayPalette);
    HGDIOBJ before = GetCurrentObject(canvas.dc, OBJ_PAL);
    for (int depth : {24, 8, 8}) {
        g.colourDepth = depth;
        DrawChartRow(canvas.dc, v.data(), 512);
        EXPECT_EQ(kWhite, PixelAt(canvas, kLeft, kTop + 255));
        EXPECT_EQ(Rgb(191, 191, 191), PixelAt(canvas, kLeft + 4, kTop + 255));
        EXPECT_EQ(Rgb(32, 32, 32), PixelAt(canvas, kLeft + 9, kTop + 255));
        EXPECT_EQ(kBlack, PixelAt(canvas, kLeft + 11, kTop + 255));
        EXPECT_EQ(before, GetCurrentObject(canvas.dc, OBJ_PAL));
        if (depth == 8 && g.displayPalette) {
            DeleteObject(g.displayPalette);
            g.displayPalette = nullptr;
        }
    }
}

TEST_F(Renderers, ChartScrollsOneRowAndSpreadsBinsOverTheWidth)
{
    SetPixelV(canvas.dc, kLeft + 3, kTop, RGB(0, 0, 255));        // old top row: lost
    SetPixelV(canvas.dc, kLeft + 3, kTop + 1, RGB(255, 0, 0));    // moves to the top row
    // m = 256: each bin two pixels wide across the full width.
    std::vector<uint8_t> stripes(256);
    for (int i = 0; i < 256; ++i) stripes[i] = (i % 2) ? 255 : 0;
    DrawChartRow(canvas.dc, stripes.data(), 256);
    EXPECT_EQ(Rgb(255, 0, 0), PixelAt(canvas, kLeft + 3, kTop));
    for (int x : {0, 1, 4, 5, 508, 509}) EXPECT_EQ(kWhite, PixelAt(canvas, kLeft + x, kTop + 255)) << x;
    for (int x : {2, 3, 6, 7, 510, 511}) EXPECT_EQ(kBlack, PixelAt(canvas, kLeft + x, kTop + 255)) << x;

    // m = 4096: bins 0 to 511 only, one pixel each; the stripes move up one row.
    std::vector<uint8_t> wide(4096, 0);
    std::fill(wide.begin(), wide.begin() + 512, 255);
    DrawChartRow(canvas.dc, wide.data(), 4096);
    EXPECT_EQ(512, Count(kLeft, kTop + 255, kLeft + 512, kTop + 256, kBlack));
    EXPECT_EQ(256, Count(kLeft, kTop + 254, kLeft + 512, kTop + 255, kBlack));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft + 3, kTop));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft + 512, kTop + 255));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft - 1, kTop + 255));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft, kTop + 256));
}
