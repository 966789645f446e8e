// The analysis: the transforms against a direct DFT, PowerOfTwo, the window table of every type
// and its rebuild rule, the windowing of short blocks, the spectrum display bytes and peak texts,
// and AnalyseBlock end to end into a memory device context from blocks whose every byte past the
// valid count is unreadable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "analysis/analysis.h"
#include "analysis/fft.h"
#include "display/display.h"
#include "shell/globals.h"
#include "tests/support/support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Doubles = std::vector<double>;
const double kPi = 3.141592653589793;
constexpr uint32_t kFill = 0x123456;          // a colour no drawing call uses
// At 6-pixel columns and 5-pixel rows: the graph area, and the peak panel at column 74, row 1
// (2 columns + 512 pixels is not left of 74 columns).
constexpr RECT kGraph = {6, 65, 518, 321}, kPanel = {444, 5, 486, 45};

// Deterministic pseudo-random values in [-1, 1).
Doubles Noise(int n, uint32_t seed)
{
    Doubles v(n);
    for (double& x : v) x = ((seed = seed * 1664525u + 1013904223u) >> 8) / 8388608.0 - 1.0;
    return v;
}

// Worst difference between (re, im) and X[k]/n of (xr, xi) by the direct sum, over every
// `stride`-th of the first `bins` bins; exact twiddles from a table indexed by j*k mod n.
double WorstDftError(const Doubles& xr, const Doubles& xi, const Doubles& re, const Doubles& im, int bins, int stride)
{
    const int n = static_cast<int>(xr.size());
    Doubles c(n), s(n);
    for (int i = 0; i < n; ++i) { c[i] = std::cos(2 * kPi * i / n); s[i] = std::sin(2 * kPi * i / n); }
    double worst = 0;
    for (int k = 0; k < bins; k += stride) {
        double sr = 0, si = 0;
        for (int j = 0, t = 0; j < n; ++j, t = (t + k) % n) {
            sr += xr[j] * c[t] + xi[j] * s[t];
            si += xi[j] * c[t] - xr[j] * s[t];
        }
        worst = std::max({worst, std::fabs(sr / n - re[k]), std::fabs(si / n - im[k])});
    }
    return worst;
}

// The analysed spectrum of a block at N = 4096, with the display bytes of its bins from .. to - 1.
struct Spectrum {
    Doubles re = Doubles(4096), im = Doubles(4096);
    SpectrumPeak peak;   // after the arrays it is computed into
    Spectrum(const Bytes& block, bool sixteenBit)
        : peak(ComputeSpectrum(block.data(), int32_t(block.size()), sixteenBit, 12, re.data(), im.data())) {}
    Bytes Display(bool sixteenBit, int slope, int scale, int from, int to) const
    {
        Bytes bytes(2048);
        SpectrumBytes(re.data(), im.data(), 4096, sixteenBit, slope, scale, bytes.data());
        return Bytes(bytes.begin() + from, bytes.begin() + to);
    }
};

std::string Text(bool (*format)(double, char*, size_t), double value)
{
    char text[32];
    return format(value, text, sizeof text) ? text : "(no room)";
}

class Analysis : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGlobals();
        windowKey = {0, kWindowRectangle};
        g.charWidth = 6;
        g.lineHeight = 5;
        source = {kMono16, 88200, 44, 16, 44100, 1};
    }

    // AnalyseBlock, with no window table built, into a new `canvas` from a copy of `bytes` that
    // ends where an inaccessible page begins: any read past the valid count faults.
    void Run(MemoryCanvas& canvas, const Bytes& bytes)
    {
        ASSERT_TRUE(CreateCanvas(canvas, 640, 400, kFill));
        windowKey = {0, kWindowRectangle};
        const size_t page = 4096, pages = bytes.size() / page + 2;
        auto* base = static_cast<uint8_t*>(VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base + (pages - 1) * page, page, PAGE_NOACCESS, &old);
        app.block[0] = base + (pages - 1) * page - bytes.size();
        std::copy(bytes.begin(), bytes.end(), app.block[0]);
        AnalyseBlock(canvas.dc, 0, static_cast<int32_t>(bytes.size()));
        VirtualFree(base, 0, MEM_RELEASE);
    }
};

// Lit segments of the level bar drawn on row y (a lit colour has a full component); -1: no bar.
int LitSegments(const MemoryCanvas& canvas, int y)
{
    int lit = 0;
    for (int s = 0; s < kLevelBarSegments; ++s) {
        const uint32_t p = PixelAt(canvas, LevelSegmentLeft(s, g.charWidth), y);
        if (p == kFill) return -1;
        lit += (p >> 16) == 0xFF || ((p >> 8) & 0xFF) == 0xFF;
    }
    return lit;
}

}  // namespace

// ---- Transforms and window table -------------------------------------------------------------

// Random input against the direct sum; each bound is just above the worst error seen (the
// recurrences add up rounding with the length): complex 1.1e-16, 8.1e-16 and 8.6e-15 at 2^5,
// 2^10 and 2^17 points (more than one chunk of the stage twiddle store); real 2.8e-17, 1.9e-16,
// 1.0e-15 and 3.8e-15 at N = 4, 256, 4096 and 65536. This also covers the worked constant and
// sine signals. Large lengths check every (n/512 + 1)-th bin: the direct sums grow with n
// squared. PowerOfTwo gives the lengths: 2^n, and 1 for n <= 0.
TEST(Fft, AgreesWithDirectDftWithinTheWorstErrorSeen)
{
    EXPECT_TRUE(PowerOfTwo(0) == 1 && PowerOfTwo(-3) == 1 && PowerOfTwo(1) == 2 && PowerOfTwo(16) == 65536);
    struct Case { bool real; int exponent; double bound; };
    for (const Case& c : {Case{false, 5, 1.5e-16}, {false, 10, 1e-15}, {false, 17, 1e-14}, {true, 2, 5e-17},
                          {true, 8, 2.5e-16}, {true, 12, 1.2e-15}, {true, 16, 4e-15}}) {
        const int n = PowerOfTwo(c.exponent);
        const Doubles xr = Noise(n, 77 + c.exponent), xi = c.real ? Doubles(n) : Noise(n, 99 + c.exponent);
        Doubles re = xr, im = c.real ? Doubles(n, 123.0) : xi;   // the imaginary input is ignored if real
        if (c.real) RealFft(re.data(), im.data(), c.exponent);
        else ComplexFft(re.data(), im.data(), c.exponent, -1);
        EXPECT_LT(WorstDftError(xr, xi, re, im, c.real ? n / 2 : n, n > 4096 ? n / 512 + 1 : 1), c.bound)
            << (c.real ? "real" : "complex") << ", exponent " << c.exponent;
    }
}

// The transforms written down step by step: bit reversal, stages whose twiddles come from one
// rotation per butterfly group (sine and cosine once per stage), the split step with its angle
// added up. The program's faster arrangement must give the very same bits.
void ReferenceComplexFft(double* re, double* im, int exponent)
{
    const int n = 1 << exponent, half = n / 2;
    for (int i = 0, j = 0; i < n - 1; ++i) {
        if (j >= i) { std::swap(re[i], re[j]); std::swap(im[i], im[j]); }
        int k = half;
        while (j >= k) { j -= k; k /= 2; }
        j += k;
    }
    double theta = kPi;
    for (int m = 1; m <= half; m *= 2, theta /= 2.0) {
        const double cs = std::cos(theta), sn = -std::sin(theta);
        double wr = 1.0, wi = 0.0;
        for (int j = 0; j < m; ++j) {
            for (int k = j; k < n; k += 2 * m) {
                const double tr = re[k + m] * wr - im[k + m] * wi, ti = im[k + m] * wr + re[k + m] * wi;
                re[k + m] = re[k] - tr; im[k + m] = im[k] - ti; re[k] = re[k] + tr; im[k] = im[k] + ti;
            }
            const double w = cs * wr - sn * wi;
            wi = sn * wr + cs * wi;
            wr = w;
        }
    }
    for (int i = 0; i < n; ++i) { re[i] /= n; im[i] /= n; }
}

void ReferenceRealFft(Doubles& re, Doubles& im, int exponent)
{
    const int m = (1 << exponent) / 2;
    for (int i = 0; i < m; ++i) { re[i] = re[2 * i]; im[i] = re[2 * i + 1]; }
    ReferenceComplexFft(re.data(), im.data(), exponent - 1);
    re[m] = re[0]; im[m] = im[0];
    Doubles a(m), b(m);
    double phi = 0.0;
    for (int k = 0; k < m; ++k, phi += 2 * kPi / (2 * m)) {
        const double cs = std::cos(phi), sn = std::sin(phi), x = re[k], y = im[k], x2 = re[m - k], y2 = im[m - k];
        a[k] = (x + x2 + cs * (y + y2) - sn * (x - x2)) / 2.0;
        b[k] = ((y - y2) - sn * (y + y2) - cs * (x - x2)) / 2.0;
    }
    for (int k = 0; k < m; ++k) { re[k] = a[k] / 2.0; im[k] = b[k] / 2.0; }
}

TEST(Fft, KeepsTheOperationOrderBitForBit)
{
    for (int exponent : {3, 9, 16}) {
        const int n = 1 << exponent;
        Doubles re = Noise(n, 5), im = Noise(n, 6), refRe = re, refIm = im;
        ComplexFft(re.data(), im.data(), exponent, -1);
        ReferenceComplexFft(refRe.data(), refIm.data(), exponent);
        EXPECT_TRUE(re == refRe && im == refIm) << "complex, exponent " << exponent;
        re = refRe = Noise(n, 7);
        im = refIm = Doubles(n + 1);
        RealFft(re.data(), im.data(), exponent);
        ReferenceRealFft(refRe, refIm, exponent);
        EXPECT_TRUE(std::equal(re.begin(), re.begin() + n / 2, refRe.begin()) &&
                    std::equal(im.begin(), im.begin() + n / 2, refIm.begin())) << "real, exponent " << exponent;
    }
}

// The rectangle touches neither table nor key, so going back to the window before needs no rebuild.
TEST_F(Analysis, WindowTableIsRebuiltOnlyWhenLengthOrTypeChanges)
{
    const Bytes tone = Samples16(Sine(20000, 93, 4096, 4100));
    struct Step { int type; size_t bytes; int half, keyType; bool rebuilt; };
    for (const Step& s : {Step{kWindowHanning, 8200, 2048, kWindowHanning, true}, {kWindowHanning, 8200, 2048, kWindowHanning, false},
                          {kWindowHamming, 8200, 2048, kWindowHamming, true}, {kWindowRectangle, 8200, 2048, kWindowHamming, false},
                          {kWindowHamming, 8200, 2048, kWindowHamming, false}, {kWindowHamming, 1000, 250, kWindowHamming, true}}) {
        state.windowType = s.type;
        windowTable[1] = 42.0;
        Spectrum(Bytes(tone.begin(), tone.begin() + s.bytes), true);
        EXPECT_TRUE(windowKey.halfLength == s.half && windowKey.type == s.keyType && (windowTable[1] != 42.0) == s.rebuilt)
            << "type " << s.type << " bytes " << s.bytes << ": key " << windowKey.halfLength << ", " << windowKey.type;
    }
}

// A 9-sample 8-bit block with every window type: the table built for m = 4 holds the rising half
// of the window (and nothing from entry 4 on), entry i multiplies samples i and 7 - i, and the odd
// last sample and the zero padding up to N stay as they are.
TEST_F(Analysis, ShortBlocksAreWindowedOverTwiceTheHalfLength)
{
    const Bytes block = {28, 65, 102, 139, 176, 213, 250, 87, 124};
    const double halves[][4] = {{0, 0.1464466, 0.5, 0.8535534}, {0.08, 0.2147309, 0.54, 0.8652691},
                                {0, 0.0664466, 0.34, 0.7735534}, {0, 0.25, 0.5, 0.75}, {-9, -9, -9, -9}};
    for (int type = kWindowHanning; type <= kWindowRectangle; ++type) {
        std::fill(windowTable, windowTable + 9, -9.0);
        state.windowType = type;
        const Spectrum got(block, false);
        Doubles re(4096, 0.0), im(4096, 0.0);
        for (int i = 0; i < 9; ++i) {
            EXPECT_NEAR(i < 4 ? halves[type][i] : -9.0, windowTable[i], 5e-8) << "type " << type << " entry " << i;
            re[i] = (block[i] - 128) * (type == kWindowRectangle || i == 8 ? 1.0 : halves[type][std::min(i, 7 - i)]);
        }
        RealFft(re.data(), im.data(), 12);
        for (int k = 0; k < 2048; ++k) ASSERT_NEAR(re[k], got.re[k], 1e-8) << "type " << type << " bin " << k;
    }
}

// ---- Display bytes and peak texts ------------------------------------------------------------

// 32767 sin(2 pi 93 j / 4096) and its 8-bit variant (amplitude 127), Hanning; silence; the pink
// slope, which weighs the power ratio by 2k/N (bin 0 is always the floor); and the frequency
// texts at their format thresholds (a rate code other than 44, 22 and 11 keeps the last one).
TEST_F(Analysis, WorkedToneSilencePinkSlopeAndTexts)
{
    const Spectrum s16(Samples16(Sine(32767, 93, 4096, 4096)), true);
    const Spectrum s8(Samples8(Sine(127, 93, 4096, 4096)), false);
    double hz = 0;
    EXPECT_TRUE(s16.peak.bin == 93 && s8.peak.bin == 93 && PeakFrequencyFor(93, 4096, 44, &hz)) << s16.peak.bin << " " << s8.peak.bin;
    EXPECT_EQ(" 1001Hz", Text(FormatPeakFrequency, hz));
    EXPECT_EQ("6.7e+07", Text(FormatPeakPower, s16.peak.power));
    EXPECT_EQ("1.0e+03", Text(FormatPeakPower, s8.peak.power));
    EXPECT_EQ((Bytes{255, 178, 14, 0, 14, 178, 255}), s16.Display(true, kSlopeWhite, kScaleStandard, 90, 97));
    EXPECT_EQ((Bytes{255, 229, 0, 0, 0, 229, 255}), s16.Display(true, kSlopeWhite, kScaleDoubled, 90, 97));
    EXPECT_EQ((Bytes{0}), s8.Display(false, kSlopeWhite, kScaleStandard, 93, 94));   // above the reference

    const Spectrum silent(Bytes(8192, 0), true);
    EXPECT_EQ("0.0e+00", Text(FormatPeakPower, silent.peak.power));
    for (int scale : {kScaleStandard, kScaleDoubled}) EXPECT_EQ(Bytes(2048, 255), silent.Display(true, kSlopeWhite, scale, 0, 2048));
    EXPECT_EQ(255, SpectrumByte(7e13, 0, 4096, true, kSlopePink, kScaleStandard));
    EXPECT_EQ(7, SpectrumByte(7e7, 1024, 4096, true, kSlopePink, kScaleStandard));                  // ln(1/2) / 25
    EXPECT_EQ(127, SpectrumByte(2000 * std::exp(-12.5), 1024, 4096, false, kSlopePink, kScaleDoubled));
    const std::pair<double, const char*> texts[] = {
        {999.95, " 1000Hz"}, {99.995, "100.0Hz"}, {9.9995, "10.00Hz"}, {9.9994, "9.999Hz"}, {0.0, "0.000Hz"}};
    for (const auto& t : texts) EXPECT_EQ(t.second, Text(FormatPeakFrequency, t.first));
    EXPECT_FALSE(PeakFrequencyFor(300, 4096, 48, &hz) || Text(FormatPeakFrequency, hz) != " 1001Hz");
}

// Waveform bytes: 8-bit bytes as they stand or doubled around 128 within 64..191; 16-bit values
// truncated toward zero, doubled with the zero level at 129 and 256 brought down to 255; and a
// peak search that lets the lowest of equal bins win.
TEST(WaveformAndPeak, ScalesClampAndTies)
{
    const std::pair<int, int> doubled16[] = {{16300, 255}, {16384, 255}, {-16384, 0}, {0, 129}, {-129, 128}, {16383, 255}};
    for (const auto& c : doubled16) EXPECT_EQ(c.second, WaveformByte16(c.first, kScaleDoubled)) << c.first;
    EXPECT_EQ(127, WaveformByte16(-511, kScaleStandard));   // -1.99 truncates to -1
    const std::pair<int, int> doubled8[] = {{64, 0}, {65, 3}, {128, 129}, {191, 255}, {192, 255}};
    for (const auto& c : doubled8) EXPECT_EQ(c.second, WaveformByte8(uint8_t(c.first), kScaleDoubled)) << c.first;
    EXPECT_EQ(200, WaveformByte8(200, kScaleStandard));
    const double re[] = {0, 3, 0, -3}, im[] = {0, 0, 3, 0};
    EXPECT_EQ(1, FindPeak(re, im, 4).bin);
    const double zero[] = {0, 0};
    EXPECT_EQ(0, FindPeak(zero, zero, 2).bin);
}

// ---- AnalyseBlock end to end -----------------------------------------------------------------

// Half scale in the first frame's left channel, silence elsewhere; most counts end in a partial
// frame. Lit segments on rows 2 to 5 (-1: no bar), whether the graph area and the peak panel
// were drawn, and the half length windowed: an exponent above 16 is brought down to 16, so the
// window never outgrows its table.
TEST_F(Analysis, BlocksDrawTheirBarsAndOnlyMonoDrawsTheViewAndPanel)
{
    struct Case { int format; size_t bytes; int view, exponent, analysable; int rows[4]; bool graph, panel; int half; };
    const Case cases[] = {
        {kMono16, 8193, kCmdViewLinearSpectrum, 12, 1, {8, 8, 8, -1}, true, true, 2048},
        {kMono8, 4095, kCmdViewChart, 12, 1, {8, 8, 8, -1}, true, true, 2047},
        {kMono16, 140000, kCmdViewLevelMeter, 30, 1, {8, 8, 8, -1}, true, true, kWindowTableSize},
        {kMono16, 603, kCmdViewWaveform, 12, 1, {8, 8, 8, -1}, true, false, 0},
        {kStereo16, 4102, kCmdViewLogSpectrum, 12, 1, {8, -1, 0, -1}, false, false, 0},
        {kStereo8, 4097, kCmdViewWaveform, 12, 1, {8, -1, 0, -1}, false, false, 0},
        {kMono16, 0, kCmdViewLevelMeter, 12, 1, {0, 0, 0, -1}, false, false, 0},
        {kMono16, 8192, kCmdViewLinearSpectrum, 12, 0, {-1, -1, -1, -1}, false, false, 0},   // say 24-bit
    };
    for (const Case& c : cases) {
        MemoryCanvas canvas;
        source.sampleFormat = c.format;
        source.analysable = c.analysable;
        state.viewMode = c.view;
        state.fftExponent = c.exponent;
        const bool sixteenBit = c.format & kSampleFormat16BitFlag;
        Bytes block(c.bytes, sixteenBit ? 0 : 128);
        if (block.size() >= 2) block[sixteenBit ? 1 : 0] = sixteenBit ? 0x40 : 192;
        ASSERT_NO_FATAL_FAILURE(Run(canvas, block));
        for (int i = 0; i < 4; ++i) EXPECT_EQ(c.rows[i], LitSegments(canvas, Row(2 + i))) << c.bytes << " bytes, row " << 2 + i;
        EXPECT_EQ(c.graph, PixelAt(canvas, kGraph.left, kGraph.bottom - 1) != kFill) << c.bytes;   // every view draws there
        EXPECT_EQ(c.panel, PixelAt(canvas, kPanel.right - 1, kPanel.bottom - 1) != kFill) << c.bytes;
        EXPECT_EQ(c.half, windowKey.halfLength) << c.bytes;
        DestroyCanvas(canvas);
    }
}
