// The five renderers drawn into a memory DC. The batched spectrum renderers are compared pixel
// for pixel with straightforward reference drawings that make one call per bin.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "display/display.h"
#include "shell/globals.h"
#include "tests/support/support.h"

namespace {

constexpr uint32_t kUntouched = 0x123456;
constexpr uint32_t kBlackPixel = 0x000000;
constexpr uint32_t kWhitePixel = 0xFFFFFF;
constexpr uint32_t kYellowPixel = 0xFFFF00;
constexpr int kLeft = 6, kTop = 65;             // graph area at character width 6, line height 5

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
        ASSERT_TRUE(CreateCanvas(reference, canvas.width, canvas.height, kUntouched));
    }
    void TearDown() override
    {
        DestroyCanvas(canvas);
        DestroyCanvas(reference);
    }

    int Count(const MemoryCanvas& c, int x0, int y0, int x1, int y1, uint32_t rgb) const
    {
        GdiFlush();
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if ((c.bits[y * c.width + x] & 0xFFFFFF) == rgb) ++n;
        return n;
    }
    int DifferingPixels() const
    {
        GdiFlush();
        int n = 0;
        for (int i = 0; i < canvas.width * canvas.height; ++i) n += canvas.bits[i] != reference.bits[i];
        return n;
    }
    void Refill(MemoryCanvas& c)
    {
        GdiFlush();
        for (int i = 0; i < c.width * c.height; ++i) c.bits[i] = kUntouched;
    }

    MemoryCanvas canvas, reference;
};

std::vector<uint8_t> RandomBytes(int n, unsigned seed, int low)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(low, 255);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(byte(random));
    return v;
}

// A falling spectrum with noise: tall bins at the left, low ones at the right.
std::vector<uint8_t> SlopeBytes(int n, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(std::min(255, 20 + 200 * i / n + static_cast<int>(random() % 30)));
    return v;
}

// ---- Reference drawings: one call per line segment or bin ----

void ReferenceGridLine(HDC dc, int x)
{
    MoveToEx(dc, x, kTop + 256, nullptr);
    LineTo(dc, x, kTop);
}

void ReferenceLinear(HDC dc, const std::vector<uint8_t>& v)
{
    const int m = static_cast<int>(v.size());
    int a = m / 512, b = 512 / m;
    if (a == 0) a = 1;
    if (b == 0) b = 1;
    PatBlt(dc, kLeft, kTop, 512, 256, WHITENESS);
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(255, 255, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    for (int p : {464, 348, 232, 116}) ReferenceGridLine(dc, kLeft + p);
    SelectObject(dc, old);
    DeleteObject(pen);
    MoveToEx(dc, kLeft, kTop + v[0], nullptr);
    for (int i = 1; i < m; ++i) LineTo(dc, kLeft + (i * b) / a, kTop + v[i]);
}

void ReferenceLog(HDC dc, const std::vector<uint8_t>& v, double f, double nyquist)
{
    const int m = static_cast<int>(v.size());
    PatBlt(dc, kLeft, kTop, 512, 256, WHITENESS);
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(255, 255, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    double b = 0;
    do {
        b = m * f / nyquist;
        ReferenceGridLine(dc, static_cast<int>(kLeft + 512.0 * std::log(b) / std::log(double(m))));
        f /= 2.0;
    } while (b > 2.0);
    SelectObject(dc, old);
    DeleteObject(pen);
    for (int i = 1; i < m; ++i) {
        const int x = static_cast<int>(kLeft + 512.0 * std::log(double(i)) / std::log(double(m)));
        PatBlt(dc, x, kTop + v[i], 1, 256 - v[i], BLACKNESS);
    }
}

}  // namespace

// ---- Batched spectra equal the call-by-call drawing ----

TEST_F(Renderers, LinearSpectrumPolylineEqualsOneLinePerBin)
{
    for (int m : {128, 256, 512, 2048, 32768}) {
        for (unsigned seed : {1u, 2u, 3u}) {
            auto v = seed == 1 ? RandomBytes(m, 1000 + m, 0) : SlopeBytes(m, 7 + m);
            if (seed == 3) {
                // The last column ends on its lowest point, reached once before: the very last
                // end point is left out, the earlier one is drawn.
                for (auto& byte : v) byte = std::min<uint8_t>(byte, 200);
                v[m - 3] = v[m - 1] = 240;
            }
            Refill(canvas);
            Refill(reference);
            DrawLinearSpectrum(canvas.dc, v.data(), m);
            ReferenceLinear(reference.dc, v);
            EXPECT_EQ(0, DifferingPixels()) << "m " << m << " seed " << seed;
        }
    }
}

TEST_F(Renderers, LogSpectrumColumnFillsEqualOneFillPerBin)
{
    struct Rate { int code; double top, nyquist; };
    for (const Rate& rate : {Rate{44, 20000.0, 22050.0}, Rate{22, 10000.0, 11025.0}, Rate{0, 5000.0, 5512.5}}) {
        source.rateCode = rate.code;
        for (int m : {128, 2048, 32768}) {
            for (unsigned seed : {1u, 2u, 3u}) {
                const auto v = seed == 1   ? RandomBytes(m, 2000 + m, 0)
                               : seed == 2 ? RandomBytes(m, 3000 + m, 180)
                                           : SlopeBytes(m, 11 + m);
                Refill(canvas);
                Refill(reference);
                DrawLogSpectrum(canvas.dc, v.data(), m);
                ReferenceLog(reference.dc, v, rate.top, rate.nyquist);
                EXPECT_EQ(0, DifferingPixels()) << "rate " << rate.code << " m " << m << " seed " << seed;
            }
        }
    }
}

// ---- Linear spectrum geometry ----

TEST_F(Renderers, LinearSpectrumStepsByBinWidthOrBinsPerColumn)
{
    // m = 128: four pixels per bin, last point at graph position 508 (end point not drawn).
    std::vector<uint8_t> flat(128, 100);
    DrawLinearSpectrum(canvas.dc, flat.data(), 128);
    EXPECT_EQ(508, Count(canvas, kLeft, kTop + 100, kLeft + 512, kTop + 101, kBlackPixel));
    EXPECT_EQ(kWhitePixel, PixelAt(canvas, kLeft + 508, kTop + 100));

    // m = 2048: four bins share a column, last point at 511.
    std::vector<uint8_t> flat2048(2048, 100);
    DrawLinearSpectrum(canvas.dc, flat2048.data(), 2048);
    EXPECT_EQ(kBlackPixel, PixelAt(canvas, kLeft + 510, kTop + 100));
    EXPECT_EQ(kWhitePixel, PixelAt(canvas, kLeft + 511, kTop + 100));

    // Yellow grid: four lines from the row below the graph up to, not including, the top row.
    EXPECT_EQ(4, Count(canvas, kLeft, kTop + 256, kLeft + 512, kTop + 257, kYellowPixel));
    EXPECT_EQ(4, Count(canvas, kLeft, kTop + 1, kLeft + 512, kTop + 2, kYellowPixel));
    EXPECT_EQ(0, Count(canvas, kLeft, kTop, kLeft + 512, kTop + 1, kYellowPixel));
    for (int p : {116, 232, 348, 464}) EXPECT_EQ(kYellowPixel, PixelAt(canvas, kLeft + p, kTop + 50)) << p;
}

// ---- Logarithmic spectrum ----

TEST_F(Renderers, LogSpectrumGridAndBinPlacement)
{
    // All bins at the floor, DC at full power: DC is never drawn, so only the bottom row has ink.
    std::vector<uint8_t> v(2048, 255);
    v[0] = 0;
    DrawLogSpectrum(canvas.dc, v.data(), 2048);
    EXPECT_EQ(11, Count(canvas, kLeft, kTop + 1, kLeft + 512, kTop + 2, kYellowPixel));
    EXPECT_EQ(11, Count(canvas, kLeft, kTop + 256, kLeft + 512, kTop + 257, kYellowPixel));
    EXPECT_EQ(0, Count(canvas, kLeft, kTop, kLeft + 512, kTop + 255, kBlackPixel));
    EXPECT_EQ(kBlackPixel, PixelAt(canvas, kLeft, kTop + 255));
    EXPECT_EQ(kBlackPixel, PixelAt(canvas, kLeft + 511, kTop + 255));   // bin m-1 reaches the edge
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft + 512, kTop + 255));

    // Bin 1 stands on the left edge; the tallest of bins sharing a column shows.
    v[1] = 0;
    v[2046] = 40;
    v[2047] = 90;
    DrawLogSpectrum(canvas.dc, v.data(), 2048);
    EXPECT_EQ(256, Count(canvas, kLeft, kTop, kLeft + 1, kTop + 256, kBlackPixel));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft - 1, kTop));
    EXPECT_EQ(256 - 40, Count(canvas, kLeft + 511, kTop, kLeft + 512, kTop + 256, kBlackPixel));
}

// ---- Waveform ----

TEST_F(Renderers, WaveformDrawsAtMost512Samples)
{
    std::vector<uint8_t> v(1000, 0);
    for (int i = 0; i < 512; ++i) v[i] = 200;
    DrawWaveform(canvas.dc, v.data(), 1000);
    // A line along row 200 from the left edge; the samples past 512 (at row 0) are not drawn.
    EXPECT_EQ(511, Count(canvas, kLeft, kTop + 200, kLeft + 512, kTop + 201, kBlackPixel));
    EXPECT_EQ(0, Count(canvas, kLeft, kTop, kLeft + 512, kTop + 200, kBlackPixel));
    EXPECT_EQ(0, Count(canvas, kLeft + 512, 0, canvas.width, canvas.height, kBlackPixel));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft + 512, kTop + 200));
}

TEST_F(Renderers, WaveformFollowsTheSamplesAndClearsWhatItDoesNotReach)
{
    std::vector<uint8_t> v = {128, 130, 126, 128};
    PatBlt(canvas.dc, kLeft, kTop, 512, 256, BLACKNESS);
    DrawWaveform(canvas.dc, v.data(), 4);
    EXPECT_EQ(kBlackPixel, PixelAt(canvas, kLeft, kTop + 128));
    EXPECT_EQ(kBlackPixel, PixelAt(canvas, kLeft + 1, kTop + 130));
    EXPECT_EQ(kBlackPixel, PixelAt(canvas, kLeft + 2, kTop + 126));
    EXPECT_EQ(kWhitePixel, PixelAt(canvas, kLeft + 3, kTop + 128));     // last end point left out
    EXPECT_EQ(0, Count(canvas, kLeft + 3, kTop, kLeft + 512, kTop + 256, kBlackPixel));
    EXPECT_EQ(0, Count(canvas, kLeft, kTop, kLeft + 3, kTop + 126, kBlackPixel));
    EXPECT_EQ(0, Count(canvas, kLeft, kTop + 131, kLeft + 3, kTop + 256, kBlackPixel));

    // One sample: only the clearing.
    PatBlt(canvas.dc, kLeft, kTop, 512, 256, BLACKNESS);
    DrawWaveform(canvas.dc, v.data(), 1);
    EXPECT_EQ(512 * 256, Count(canvas, kLeft, kTop, kLeft + 512, kTop + 256, kWhitePixel));
}

// ---- Level meter bands ----

TEST_F(Renderers, BandBarsAtTheSmallestFft)
{
    state.fftExponent = 8;
    std::vector<uint8_t> v(128, 255);
    v[0] = 0;          // band 3 is the DC bin alone: full height
    v[1] = 10;         // band 4 (bin 1)
    v[63] = 50;        // band 9 (32 to 63)
    v[64] = 20;        // band 10 (64 to 127), next to band 9's last bin
    DrawBandLevels(canvas.dc, v.data(), 128);
    auto column = [&](int x) { return Count(canvas, x, kTop, x + 1, kTop + 256, kBlackPixel); };
    EXPECT_EQ(0, column(20));                  // band 1 not drawn
    EXPECT_EQ(0, column(70 + 39));             // band 2 not drawn
    EXPECT_EQ(256, column(120));
    EXPECT_EQ(256, column(159));
    EXPECT_EQ(0, column(160));                 // gap between bars
    EXPECT_EQ(246, column(170));
    EXPECT_EQ(1, column(220));                 // bins 2 and 3 at the floor: one pixel high
    EXPECT_EQ(kBlackPixel, PixelAt(canvas, 220, kTop + 255));
    EXPECT_EQ(206, column(420));
    EXPECT_EQ(236, column(470));
    EXPECT_EQ(236, column(509));
    EXPECT_EQ(kWhitePixel, PixelAt(canvas, 510, kTop + 255));
}

TEST_F(Renderers, BandBarsAtExponentTwelve)
{
    state.fftExponent = 12;
    std::vector<uint8_t> v(2048, 255);
    v[0] = 0;          // below band 1: belongs to no band
    v[1] = 0;
    v[3] = 30;         // band 1: bins 2 and 3
    v[4] = 5;          // band 2: bins 4 to 7
    v[7] = 61;
    v[1024] = 200;     // band 10: 1024 to 2047
    v[2047] = 0;
    DrawBandLevels(canvas.dc, v.data(), 2048);
    auto column = [&](int x) { return Count(canvas, x, kTop, x + 1, kTop + 256, kBlackPixel); };
    EXPECT_EQ(226, column(20));
    EXPECT_EQ(251, column(70));
    EXPECT_EQ(1, column(120));
    EXPECT_EQ(256, column(470));
    EXPECT_EQ(kBlackPixel, PixelAt(canvas, 470, kTop));
    EXPECT_EQ(kUntouched, PixelAt(canvas, 470, kTop - 1));
}

TEST_F(Renderers, BandBarsStartAtBinOneForExponentsNineToEleven)
{
    state.fftExponent = 9;
    std::vector<uint8_t> v(256, 255);
    v[0] = 0;          // DC: in no band drawn at this size
    v[1] = 100;        // band 3 is bin 1 alone
    DrawBandLevels(canvas.dc, v.data(), 256);
    auto column = [&](int x) { return Count(canvas, x, kTop, x + 1, kTop + 256, kBlackPixel); };
    EXPECT_EQ(0, column(20));
    EXPECT_EQ(0, column(70));
    EXPECT_EQ(156, column(120));
    EXPECT_EQ(1, column(170));

    // Exponent 11: band 1 appears and it is bin 1 alone.
    state.fftExponent = 11;
    std::vector<uint8_t> w(1024, 255);
    w[1] = 100;
    DrawBandLevels(canvas.dc, w.data(), 1024);
    EXPECT_EQ(156, column(20));
    EXPECT_EQ(1, column(70));
}

// ---- Time-frequency chart ----

TEST_F(Renderers, ChartRampAtColourDepthFour)
{
    g.colourDepth = 4;
    std::vector<uint8_t> v(512, 0);
    const struct { int bin; uint8_t byte; uint32_t rgb; } cases[] = {
        {0, 0, 0xFFFFFF},   {1, 31, 0xFFFFFF},  {2, 32, 0xFFFF00},  {3, 63, 0xFFFF00},
        {4, 64, 0x00FFFF},  {5, 127, 0x00FF00}, {6, 128, 0xFF00FF}, {7, 160, 0xFF0000},
        {8, 191, 0xFF0000}, {9, 223, 0x0000FF}, {10, 224, 0x000000}, {11, 255, 0x000000},
    };
    for (const auto& c : cases) v[c.bin] = c.byte;
    DrawChartRow(canvas.dc, v.data(), 512);
    for (const auto& c : cases) EXPECT_EQ(c.rgb, PixelAt(canvas, kLeft + c.bin, kTop + 255)) << int(c.byte);
}

TEST_F(Renderers, ChartGreyAtTrueColourAndWithThePalette)
{
    std::vector<uint8_t> v(512, 0);
    v[1] = 255;
    v[2] = 100;
    DrawChartRow(canvas.dc, v.data(), 512);
    EXPECT_EQ(0xFFFFFFu, PixelAt(canvas, kLeft, kTop + 255));
    EXPECT_EQ(0x000000u, PixelAt(canvas, kLeft + 1, kTop + 255));
    EXPECT_EQ(Rgb(155, 155, 155), PixelAt(canvas, kLeft + 2, kTop + 255));

    // Depth 8: the grey palette is selected for the row and the DC's own one put back.
    g.colourDepth = 8;
    g.displayPalette = CreateDisplayPalette();
    ASSERT_NE(nullptr, g.displayPalette);
    HGDIOBJ before = GetCurrentObject(canvas.dc, OBJ_PAL);
    v[3] = 55;
    DrawChartRow(canvas.dc, v.data(), 512);
    EXPECT_EQ(Rgb(200, 200, 200), PixelAt(canvas, kLeft + 3, kTop + 255));
    EXPECT_EQ(before, GetCurrentObject(canvas.dc, OBJ_PAL));
    DeleteObject(g.displayPalette);
    g.displayPalette = nullptr;

    // Depth 8 without a palette still draws the greys.
    DrawChartRow(canvas.dc, v.data(), 512);
    EXPECT_EQ(Rgb(155, 155, 155), PixelAt(canvas, kLeft + 2, kTop + 255));
}

TEST_F(Renderers, ChartScrollsUpOnePixelPerRow)
{
    std::vector<uint8_t> white(512, 0), black(512, 255);
    SetPixelV(canvas.dc, kLeft + 3, kTop, RGB(0, 0, 255));        // old top row: lost
    SetPixelV(canvas.dc, kLeft + 3, kTop + 1, RGB(255, 0, 0));    // moves to the top row
    DrawChartRow(canvas.dc, white.data(), 512);
    EXPECT_EQ(Rgb(255, 0, 0), PixelAt(canvas, kLeft + 3, kTop));
    DrawChartRow(canvas.dc, black.data(), 512);
    EXPECT_EQ(512, Count(canvas, kLeft, kTop + 255, kLeft + 512, kTop + 256, kBlackPixel));
    EXPECT_EQ(512, Count(canvas, kLeft, kTop + 254, kLeft + 512, kTop + 255, kWhitePixel));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft + 3, kTop));   // came up from row 1, untouched there
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft + 512, kTop + 255));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft - 1, kTop + 255));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft, kTop + 256));
}

TEST_F(Renderers, ChartBinWidthFollowsTheBinCount)
{
    // m = 256: each bin two pixels wide across the full width.
    std::vector<uint8_t> v(256);
    for (int i = 0; i < 256; ++i) v[i] = (i % 2) ? 255 : 0;
    DrawChartRow(canvas.dc, v.data(), 256);
    for (int x : {0, 1, 4, 5, 508, 509}) EXPECT_EQ(kWhitePixel, PixelAt(canvas, kLeft + x, kTop + 255)) << x;
    for (int x : {2, 3, 6, 7, 510, 511}) EXPECT_EQ(kBlackPixel, PixelAt(canvas, kLeft + x, kTop + 255)) << x;

    // m = 4096: only bins 0 to 511 are shown, one pixel each.
    std::vector<uint8_t> wide(4096, 0);
    for (int i = 0; i < 512; ++i) wide[i] = 255;
    DrawChartRow(canvas.dc, wide.data(), 4096);
    EXPECT_EQ(512, Count(canvas, kLeft, kTop + 255, kLeft + 512, kTop + 256, kBlackPixel));
    EXPECT_EQ(kUntouched, PixelAt(canvas, kLeft + 512, kTop + 255));
}

// ---- The same equivalence on a window's device context (the program draws onto the screen) ----

namespace {

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    return DefWindowProcA(window, message, w, l);
}

// Copies the window's client area into a canvas.
void Grab(HDC windowDc, MemoryCanvas& into)
{
    BitBlt(into.dc, 0, 0, into.width, into.height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
}

}  // namespace

TEST_F(Renderers, BatchedSpectraEqualReferenceOnAWindow)
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
        const auto v = RandomBytes(m, 4000 + m, 0);
        DrawLogSpectrum(dc, v.data(), m);
        Grab(dc, canvas);
        ReferenceLog(dc, v, 20000.0, 22050.0);
        Grab(dc, reference);
        EXPECT_GT(Count(reference, kLeft, kTop, kLeft + 512, kTop + 256, kBlackPixel), 1000);
        EXPECT_GT(Count(reference, kLeft, kTop + 1, kLeft + 512, kTop + 2, kYellowPixel), 0);
        EXPECT_EQ(0, DifferingPixels()) << "log, m " << m;

        DrawLinearSpectrum(dc, v.data(), m);
        Grab(dc, canvas);
        ReferenceLinear(dc, v);
        Grab(dc, reference);
        EXPECT_GT(Count(reference, kLeft, kTop, kLeft + 512, kTop + 256, kBlackPixel), 1000);
        EXPECT_EQ(0, DifferingPixels()) << "linear, m " << m;
    }
    ReleaseDC(window, dc);
    DestroyWindow(window);
}
