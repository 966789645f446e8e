// The block analysis: peak scan over whole frames, waveform and spectrum display bytes, the
// windowing of short blocks, the peak search, frequency and panel texts, the window table's
// rebuild rule, and AnalyseBlock end to end into a memory device context.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/fft.h"
#include "display/display.h"
#include "shell/globals.h"
#include "tests/support/support.h"

namespace {

const double kPi = 3.141592653589793;

class Analysis : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGlobals();
        windowKey = {0, kWindowRectangle};
        peakFrequency = 0.0;
        g.charWidth = 6;
        g.lineHeight = 5;
        source.analysable = 1;
        source.rateCode = 44;
        source.sampleFormat = kMono16;
    }
    void TearDown() override
    {
        ResetGlobals();
        windowKey = {0, kWindowRectangle};
        peakFrequency = 0.0;
    }
};

struct Spectrum {
    SpectrumPeak peak;
    std::vector<double> re, im;
};

Spectrum Analyse(const std::vector<uint8_t>& block, bool sixteenBit, int exponent)
{
    const int n = PowerOfTwo(exponent);
    Spectrum s{{-1, -1.0}, std::vector<double>(n), std::vector<double>(n)};
    s.peak = ComputeSpectrum(block.data(), static_cast<int32_t>(block.size()), sixteenBit, exponent,
                             s.re.data(), s.im.data());
    return s;
}

std::vector<uint8_t> Bytes(const Spectrum& s, bool sixteenBit, int slope, int scale)
{
    const int n = static_cast<int>(s.re.size());
    std::vector<uint8_t> bytes(n / 2);
    SpectrumBytes(s.re.data(), s.im.data(), n, sixteenBit, slope, scale, bytes.data());
    return bytes;
}

std::string FrequencyText(double hz)
{
    char text[32];
    EXPECT_TRUE(FormatPeakFrequency(hz, text, sizeof text));
    return text;
}

std::string PowerText(double power)
{
    char text[32];
    EXPECT_TRUE(FormatPeakPower(power, text, sizeof text));
    return text;
}

// The worked 16-bit tone: 32767 sin(2 pi 93 j / 4096), 4096 samples.
std::vector<int> Tone93(double amplitude) { return Sine(amplitude, 93, 4096, 4096); }

// Independent window coefficient of sample i of a 2m-sample window.
double WindowAt(int type, int i, int m)
{
    const int k = i < m ? i : 2 * m - 1 - i;
    const double a = k * kPi / m;
    switch (type) {
    case kWindowHanning: return 0.5 - 0.5 * std::cos(a);
    case kWindowHamming: return 0.54 - 0.46 * std::cos(a);
    case kWindowBlackman: return 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(k * 2 * kPi / m);
    case kWindowTriangle: return static_cast<double>(k) / m;
    default: return 1.0;
    }
}

// A copy of `bytes` that ends exactly where an inaccessible page begins: reading one byte past
// the end faults.
struct GuardedBlock {
    uint8_t* base = nullptr;
    uint8_t* data = nullptr;
    explicit GuardedBlock(const std::vector<uint8_t>& bytes)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const size_t page = info.dwPageSize;
        const size_t pages = (bytes.size() + page - 1) / page + 1;
        base = static_cast<uint8_t*>(VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE,
                                                  PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base + (pages - 1) * page, page, PAGE_NOACCESS, &old);
        data = base + (pages - 1) * page - bytes.size();
        std::memcpy(data, bytes.data(), bytes.size());
    }
    ~GuardedBlock() { VirtualFree(base, 0, MEM_RELEASE); }
};

// A canvas covering the whole client area, with the OEM fixed font selected and the layout
// units measured from it, as the shell does at startup.
struct ClientCanvas {
    MemoryCanvas c;
    ClientCanvas(DWORD fill = 0x000000)
    {
        CreateCanvas(c, 640, 400, fill);
        SelectObject(c.dc, GetStockObject(OEM_FIXED_FONT));
        SetTextColor(c.dc, RGB(0, 0, 0));
        SetBkColor(c.dc, RGB(255, 255, 255));
        TEXTMETRICA tm;
        GetTextMetricsA(c.dc, &tm);
        g.charWidth = tm.tmAveCharWidth;
        g.lineHeight = tm.tmAscent / 2;
    }
    ~ClientCanvas() { DestroyCanvas(c); }
    bool SameRegion(const ClientCanvas& other, RECT r) const
    {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (PixelAt(c, x, y) != PixelAt(other.c, x, y)) return false;
        return true;
    }
    bool Unchanged(DWORD fill) const
    {
        GdiFlush();
        for (int i = 0; i < c.width * c.height; ++i)
            if ((c.bits[i] & 0xFFFFFF) != fill) return false;
        return true;
    }
};

RECT PanelRect()
{
    const POINT at = PeakPanelOrigin(g.charWidth, g.lineHeight);
    return RECT{at.x, at.y, at.x + Col(7), at.y + Row(8)};
}

RECT GraphRect() { return RECT{Col(1), Row(13), Col(1) + kGraphWidth, Row(13) + kGraphHeight}; }

void RunBlock(HDC dc, std::vector<uint8_t>& block)
{
    app.block[0] = block.data();
    AnalyseBlock(dc, 0, static_cast<int32_t>(block.size()));
}

}  // namespace

// ---- Spectrum bytes and the peak -------------------------------------------------------------

TEST_F(Analysis, WorkedToneSixteenBitInBothScales)
{
    state.windowType = kWindowHanning;
    const Spectrum s = Analyse(Samples16(Tone93(32767)), true, 12);
    EXPECT_EQ(93, s.peak.bin);
    double hz = 0;
    ASSERT_TRUE(PeakFrequencyFor(s.peak.bin, 4096, 44, &hz));
    EXPECT_EQ(" 1001Hz", FrequencyText(hz));
    EXPECT_EQ("6.7e+07", PowerText(s.peak.power));

    const std::vector<uint8_t> standard = Bytes(s, true, kSlopeWhite, kScaleStandard);
    const std::vector<uint8_t> doubled = Bytes(s, true, kSlopeWhite, kScaleDoubled);
    const std::vector<uint8_t> wantStandard = {255, 178, 14, 0, 14, 178, 255};
    const std::vector<uint8_t> wantDoubled = {255, 229, 0, 0, 0, 229, 255};
    EXPECT_EQ(wantStandard, std::vector<uint8_t>(standard.begin() + 90, standard.begin() + 97));
    EXPECT_EQ(wantDoubled, std::vector<uint8_t>(doubled.begin() + 90, doubled.begin() + 97));
    EXPECT_EQ(2048u, standard.size());
}

TEST_F(Analysis, WorkedToneEightBit)
{
    state.windowType = kWindowHanning;
    const Spectrum s = Analyse(Samples8(Tone93(127)), false, 12);
    EXPECT_EQ(93, s.peak.bin);
    EXPECT_EQ("1.0e+03", PowerText(s.peak.power));
    EXPECT_EQ(0, Bytes(s, false, kSlopeWhite, kScaleStandard)[93]);
}

TEST_F(Analysis, SilentBlockIsFloorEverywhereWithZeroPeak)
{
    const Spectrum s = Analyse(std::vector<uint8_t>(8192, 0), true, 12);
    EXPECT_EQ(0, s.peak.bin);
    EXPECT_EQ(0.0, s.peak.power);
    for (int scale : {kScaleStandard, kScaleDoubled}) {
        for (int slope : {kSlopeWhite, kSlopePink}) {
            const std::vector<uint8_t> bytes = Bytes(s, true, slope, scale);
            EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 255; }))
                << "slope " << slope << " scale " << scale;
        }
    }
    EXPECT_EQ("0.000Hz", FrequencyText(0.0));
    EXPECT_EQ("0.0e+00", PowerText(s.peak.power));
}

TEST_F(Analysis, SpectrumByteScalesSlopesAndClamps)
{
    const double ref16 = kReferencePower16, ref8 = kReferencePower8;
    // Standard scale: reference power and above at the top, 25 log units down to the floor.
    EXPECT_EQ(0, SpectrumByte(ref16, 10, 4096, true, kSlopeWhite, kScaleStandard));
    EXPECT_EQ(0, SpectrumByte(ref16 * 50, 10, 4096, true, kSlopeWhite, kScaleStandard));
    EXPECT_EQ(127, SpectrumByte(ref16 * std::exp(-12.5), 10, 4096, true, kSlopeWhite, kScaleStandard));
    EXPECT_EQ(255, SpectrumByte(ref16 * std::exp(-30.0), 10, 4096, true, kSlopeWhite, kScaleStandard));
    EXPECT_EQ(127, SpectrumByte(ref8 * std::exp(-12.5), 10, 4096, false, kSlopeWhite, kScaleStandard));
    // Doubled scale: clamped to the middle half of the log range, twice as fine.
    EXPECT_EQ(0, SpectrumByte(ref16 * std::exp(-6.0), 10, 4096, true, kSlopeWhite, kScaleDoubled));
    EXPECT_EQ(0, SpectrumByte(ref16 * 10, 10, 4096, true, kSlopeWhite, kScaleDoubled));
    EXPECT_EQ(127, SpectrumByte(ref16 * std::exp(-12.5), 10, 4096, true, kSlopeWhite, kScaleDoubled));
    EXPECT_EQ(255, SpectrumByte(ref16 * std::exp(-19.0), 10, 4096, true, kSlopeWhite, kScaleDoubled));
    EXPECT_EQ(255, SpectrumByte(0.0, 10, 4096, true, kSlopeWhite, kScaleDoubled));
    // Pink slope: weight 2k/N, so bin 0 is always the floor and bin N/4 halves the power.
    EXPECT_EQ(255, SpectrumByte(ref16 * 1e6, 0, 4096, true, kSlopePink, kScaleStandard));
    EXPECT_EQ(7, SpectrumByte(ref16, 1024, 4096, true, kSlopePink, kScaleStandard));
    EXPECT_EQ(0, SpectrumByte(ref16, 1024, 4096, true, kSlopeWhite, kScaleStandard));
    EXPECT_EQ(127, SpectrumByte(ref16 * std::exp(-12.5) * 2, 1024, 4096, true, kSlopePink, kScaleDoubled));
}

TEST_F(Analysis, PeakSearchTakesTheLowestOfEqualBinsAndIncludesBinZero)
{
    std::vector<double> re = {0, 3, 0, -5, 1, 0}, im = {0, 4, 0, 0, 1, 0};
    SpectrumPeak peak = FindPeak(re.data(), im.data(), 6);
    EXPECT_EQ(1, peak.bin);
    EXPECT_EQ(25.0, peak.power);
    re[0] = 6;
    peak = FindPeak(re.data(), im.data(), 6);
    EXPECT_EQ(0, peak.bin);
    EXPECT_EQ(36.0, peak.power);
    // Only bins below the count take part.
    re = {1, 0, 9}, im = {0, 0, 0};
    EXPECT_EQ(0, FindPeak(re.data(), im.data(), 2).bin);
    re = {0, 0, 0}, im = {0, -0.0, 0};
    peak = FindPeak(re.data(), im.data(), 3);
    EXPECT_EQ(0, peak.bin);
    EXPECT_EQ(0.0, peak.power);
}

// ---- Peak frequency and panel ----------------------------------------------------------------

TEST_F(Analysis, FrequencyTextsAtTheFormatThresholds)
{
    EXPECT_EQ(" 1000Hz", FrequencyText(999.95));
    EXPECT_EQ("100.0Hz", FrequencyText(99.995));
    EXPECT_EQ("10.00Hz", FrequencyText(9.9995));
    EXPECT_EQ("9.999Hz", FrequencyText(9.9994));
    EXPECT_EQ("22039Hz", FrequencyText(22039.23));
    char tiny[4];
    EXPECT_FALSE(FormatPeakFrequency(1000.0, tiny, sizeof tiny));
    EXPECT_FALSE(FormatPeakPower(1.0, tiny, sizeof tiny));
}

TEST_F(Analysis, PeakPanelStandsBesideTheGraphOrRightOfTheLevelPanel)
{
    // Narrow columns: 2 cw + 512 is not left of 74 cw, so the panel goes up to row 1.
    EXPECT_EQ(444, PeakPanelOrigin(6, 5).x);
    EXPECT_EQ(5, PeakPanelOrigin(6, 5).y);
    EXPECT_EQ(518, PeakPanelOrigin(7, 6).x);
    EXPECT_EQ(6, PeakPanelOrigin(7, 6).y);
    // Wide columns: one column right of the graph area, level with its top.
    EXPECT_EQ(528, PeakPanelOrigin(8, 8).x);
    EXPECT_EQ(104, PeakPanelOrigin(8, 8).y);
}

// ---- Waveform bytes --------------------------------------------------------------------------

TEST_F(Analysis, WaveformBytesOfBothWidthsAndScales)
{
    EXPECT_EQ(128, WaveformByte16(-255, kScaleStandard));     // truncates toward zero
    EXPECT_EQ(127, WaveformByte16(-256, kScaleStandard));
    EXPECT_EQ(0, WaveformByte16(-32768, kScaleStandard));
    EXPECT_EQ(255, WaveformByte16(32767, kScaleStandard));
    EXPECT_EQ(2, WaveformByte16(-16383, kScaleDoubled));
    EXPECT_EQ(129, WaveformByte16(-127, kScaleDoubled));
    EXPECT_EQ(128, WaveformByte16(-128, kScaleDoubled));

    EXPECT_EQ(0, WaveformByte8(64, kScaleDoubled));
    EXPECT_EQ(3, WaveformByte8(65, kScaleDoubled));
    EXPECT_EQ(129, WaveformByte8(128, kScaleDoubled));
    EXPECT_EQ(255, WaveformByte8(191, kScaleDoubled));
    EXPECT_EQ(255, WaveformByte8(192, kScaleDoubled));
}

TEST_F(Analysis, WaveformCountIsTheSampleCountUpTo512)
{
    std::vector<uint8_t> bytes(kWaveformMaxBytes, 0xEE);
    std::vector<int> samples(300, 0);
    samples[0] = 16300;
    samples[1] = 16384;
    samples[2] = -16384;
    const std::vector<uint8_t> block16 = Samples16(samples);
    EXPECT_EQ(300, WaveformBytes(block16.data(), 600, true, kScaleDoubled, bytes.data(), 512));
    EXPECT_EQ((std::vector<uint8_t>{255, 255, 0, 129}), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4));
    EXPECT_EQ(0xEE, bytes[300]);
    // Odd byte count: whole samples only.
    EXPECT_EQ(299, WaveformBytes(block16.data(), 599, true, kScaleStandard, bytes.data(), 512));
    const std::vector<uint8_t> block8(2000, 200);
    EXPECT_EQ(512, WaveformBytes(block8.data(), 2000, false, kScaleStandard, bytes.data(), 512));
    EXPECT_EQ(100, WaveformBytes(block8.data(), 2000, false, kScaleStandard, bytes.data(), 100));
    EXPECT_EQ(0, WaveformBytes(block8.data(), -4, false, kScaleStandard, bytes.data(), 512));
}

// ---- Windowing of the transform input --------------------------------------------------------

// Every window type over a short, odd-length 8-bit block: the first 2m samples carry the
// symmetric window, the odd last sample and the zero padding are left as they are.
TEST_F(Analysis, ShortBlocksAreWindowedOverTwiceTheHalfLength)
{
    const int exponent = 12, n = 4096;
    for (int count : {300, 301}) {
        std::vector<uint8_t> block(count);
        for (int i = 0; i < count; ++i) block[i] = static_cast<uint8_t>(128 + (i * 37 % 200) - 100);
        const int m = HalfWindowLength(count, n);
        EXPECT_EQ(150, m);
        for (int type = kWindowHanning; type <= kWindowRectangle; ++type) {
            state.windowType = type;
            const Spectrum got = Analyse(block, false, exponent);
            std::vector<double> re(n, 0.0), im(n, 0.0);
            for (int i = 0; i < count; ++i) {
                const double w = i < 2 * m ? WindowAt(type, i, m) : 1.0;
                re[i] = (block[i] - 128) * w;
            }
            RealFft(re.data(), im.data(), exponent);
            double worst = 0;
            for (int k = 0; k < n / 2; ++k)
                worst = std::max({worst, std::fabs(re[k] - got.re[k]), std::fabs(im[k] - got.im[k])});
            EXPECT_LT(worst, 1e-12) << "count " << count << " type " << type;
        }
    }
    EXPECT_EQ(2048, HalfWindowLength(5000, n));
    EXPECT_EQ(2048, HalfWindowLength(4096, n));
    EXPECT_EQ(2047, HalfWindowLength(4095, n));
    EXPECT_EQ(0, HalfWindowLength(1, n));
}

// ---- AnalyseBlock end to end -----------------------------------------------------------------

TEST_F(Analysis, WindowTableIsRebuiltOnlyWhenLengthOrTypeChanges)
{
    ClientCanvas canvas;
    state.viewMode = kCmdViewLinearSpectrum;
    std::vector<uint8_t> block = Samples16(Tone93(20000));
    const double sentinel = 42.0;

    state.windowType = kWindowHanning;
    RunBlock(canvas.c.dc, block);
    EXPECT_EQ(2048, windowKey.halfLength);
    EXPECT_EQ(kWindowHanning, windowKey.type);
    windowTable[1] = sentinel;
    RunBlock(canvas.c.dc, block);
    EXPECT_EQ(sentinel, windowTable[1]) << "rebuilt with an unchanged key";

    state.windowType = kWindowHamming;
    RunBlock(canvas.c.dc, block);
    EXPECT_NEAR(0.54 - 0.46 * std::cos(kPi / 2048), windowTable[1], 1e-15);
    EXPECT_EQ(kWindowHamming, windowKey.type);
    windowTable[1] = sentinel;
    RunBlock(canvas.c.dc, block);
    EXPECT_EQ(sentinel, windowTable[1]);

    // The rectangle touches neither the table nor the key; back to Hamming needs no rebuild.
    state.windowType = kWindowRectangle;
    RunBlock(canvas.c.dc, block);
    EXPECT_EQ(kWindowHamming, windowKey.type);
    state.windowType = kWindowHamming;
    RunBlock(canvas.c.dc, block);
    EXPECT_EQ(sentinel, windowTable[1]);

    // A shorter block changes the half length.
    std::vector<uint8_t> shorter(block.begin(), block.begin() + 1000);
    RunBlock(canvas.c.dc, shorter);
    EXPECT_EQ(250, windowKey.halfLength);
    EXPECT_NEAR(0.54 - 0.46 * std::cos(kPi / 250), windowTable[1], 1e-15);
}

// Exponents outside 8..16 are brought to the nearest end, so the half length never exceeds the
// window table.
TEST_F(Analysis, OutOfRangeExponentsAreClampedBeforeTheWindowTable)
{
    ClientCanvas canvas;
    state.viewMode = kCmdViewChart;
    std::vector<uint8_t> block = Samples16(Sine(20000, 1000, 44100, 70000));
    state.fftExponent = 30;
    RunBlock(canvas.c.dc, block);
    EXPECT_EQ(kWindowTableSize, windowKey.halfLength);
    state.fftExponent = 3;
    RunBlock(canvas.c.dc, block);
    EXPECT_EQ(128, windowKey.halfLength);
    EXPECT_DOUBLE_EQ(6 * 44100.0 / 256, peakFrequency);      // 1000 Hz lies nearest bin 6 of 256
}

TEST_F(Analysis, PeakFrequencyIsKeptForOtherRates)
{
    ClientCanvas canvas;
    state.viewMode = kCmdViewLogSpectrum;
    std::vector<uint8_t> block = Samples16(Tone93(20000));
    RunBlock(canvas.c.dc, block);
    EXPECT_DOUBLE_EQ(93 * 44100.0 / 4096, peakFrequency);

    std::vector<uint8_t> other = Samples16(Sine(20000, 300, 4096, 4096));
    source.rateCode = 48;
    RunBlock(canvas.c.dc, other);
    EXPECT_DOUBLE_EQ(93 * 44100.0 / 4096, peakFrequency);
    source.rateCode = 22;
    RunBlock(canvas.c.dc, other);
    EXPECT_DOUBLE_EQ(300 * 22050.0 / 4096, peakFrequency);
    source.rateCode = 11;
    RunBlock(canvas.c.dc, other);
    EXPECT_DOUBLE_EQ(300 * 11025.0 / 4096, peakFrequency);

    // The waveform view computes no spectrum and keeps the frequency too.
    state.viewMode = kCmdViewWaveform;
    source.rateCode = 44;
    RunBlock(canvas.c.dc, block);
    EXPECT_DOUBLE_EQ(300 * 11025.0 / 4096, peakFrequency);
}

TEST_F(Analysis, PeakPanelShowsLabelFrequencyAndPowerInAWhiteBox)
{
    ClientCanvas canvas;
    state.viewMode = kCmdViewLinearSpectrum;
    std::vector<uint8_t> block = Samples16(Tone93(32767));
    RunBlock(canvas.c.dc, block);

    const RECT r = PanelRect();
    EXPECT_EQ(Rgb(255, 255, 255), PixelAt(canvas.c, r.right - 1, r.bottom - 1));
    EXPECT_EQ(Rgb(0, 0, 0), PixelAt(canvas.c, r.right, r.bottom - 1));        // box ends there
    // The same texts drawn by hand at the panel's rows give the same pixels.
    ClientCanvas expected;
    PatBlt(expected.c.dc, r.left, r.top, Col(7), Row(8), WHITENESS);
    TextOutA(expected.c.dc, r.left, r.top, "Peak Lv", 7);
    TextOutA(expected.c.dc, r.left, r.top + Row(3), " 1001Hz", 7);
    TextOutA(expected.c.dc, r.left, r.top + Row(6), "6.7e+07", 7);
    EXPECT_TRUE(canvas.SameRegion(expected, r));
    // Some text was drawn at all (the box is not plain white).
    ClientCanvas blank;
    PatBlt(blank.c.dc, r.left, r.top, Col(7), Row(8), WHITENESS);
    EXPECT_FALSE(canvas.SameRegion(blank, r));
}

TEST_F(Analysis, MonoBlockLightsTheLevelBarAndDrawsTheView)
{
    ClientCanvas canvas;
    state.viewMode = kCmdViewLinearSpectrum;
    std::vector<int> samples(4096, 0);
    samples[100] = -32768;                      // full scale: every segment lit
    std::vector<uint8_t> block = Samples16(samples);
    RunBlock(canvas.c.dc, block);
    const int y = Row(2) + Row(3) - 1;          // bottom line of the three-row bar
    EXPECT_EQ(Rgb(0, 255, 0), PixelAt(canvas.c, LevelSegmentLeft(0, g.charWidth), y));
    EXPECT_EQ(Rgb(255, 0, 0), PixelAt(canvas.c, LevelSegmentLeft(16, g.charWidth), y));
    EXPECT_EQ(Rgb(0, 0, 0), PixelAt(canvas.c, LevelSegmentLeft(16, g.charWidth), Row(5)));

    // Half scale at 8 bits (unit 8): segments below threshold 64 lit, 8 and above dim.
    source.sampleFormat = kMono8;
    std::vector<uint8_t> block8(1000, 128);
    block8[5] = 128 + 64;
    RunBlock(canvas.c.dc, block8);
    EXPECT_EQ(Rgb(0, 255, 0), PixelAt(canvas.c, LevelSegmentLeft(7, g.charWidth), y));
    EXPECT_EQ(Rgb(128, 128, 0), PixelAt(canvas.c, LevelSegmentLeft(8, g.charWidth), y));
    // The linear spectrum view cleared the graph area to white and drew into it.
    EXPECT_EQ(Rgb(255, 255, 255), PixelAt(canvas.c, Col(1) + 200, Row(13) + 2));
}

// The waveform ignores the FFT length: 512 samples across the whole graph even at N = 256.
TEST_F(Analysis, WaveformViewDrawsUpTo512SamplesAtTheSmallestFftLength)
{
    ClientCanvas canvas;
    state.viewMode = kCmdViewWaveform;
    state.fftExponent = 8;
    std::vector<uint8_t> block = Samples16(std::vector<int>(1024, 0));
    RunBlock(canvas.c.dc, block);
    const int left = Col(1), zeroRow = Row(13) + 128;
    EXPECT_EQ(Rgb(0, 0, 0), PixelAt(canvas.c, left + 500, zeroRow));
    EXPECT_EQ(Rgb(255, 255, 255), PixelAt(canvas.c, left + 500, zeroRow - 1));
    EXPECT_EQ(Rgb(255, 255, 255), PixelAt(canvas.c, left + 100, zeroRow + 1));
}

TEST_F(Analysis, StereoBlocksDrawOnlyTheTwoLevelBars)
{
    for (int format : {kStereo8, kStereo16}) {
        for (int view = kCmdViewWaveform; view <= kCmdViewChart; ++view) {
            ClientCanvas canvas;
            source.sampleFormat = format;
            state.viewMode = view;
            peakFrequency = 123.0;
            // Left channel silent, right channel at full scale.
            std::vector<uint8_t> block = format == kStereo16 ? Samples16({0, 32767, 0, -32768})
                                                             : Samples8({0, 127, 0, -128});
            RunBlock(canvas.c.dc, block);
            const int x = LevelSegmentLeft(3, g.charWidth);
            EXPECT_EQ(Rgb(0, 128, 0), PixelAt(canvas.c, x, Row(2)));            // left: dim
            EXPECT_EQ(Rgb(0, 255, 0), PixelAt(canvas.c, x, Row(4)));            // right: lit
            EXPECT_EQ(Rgb(0, 0, 0), PixelAt(canvas.c, x, Row(3)));              // gap between bars
            EXPECT_EQ(123.0, peakFrequency);
            const RECT graph = GraphRect(), panel = PanelRect();
            ClientCanvas untouched;
            EXPECT_TRUE(canvas.SameRegion(untouched, graph)) << "format " << format << " view " << view;
            EXPECT_TRUE(canvas.SameRegion(untouched, panel)) << "format " << format << " view " << view;
        }
    }
}

TEST_F(Analysis, UnanalysableSourceDrawsNothing)
{
    ClientCanvas canvas(0x123456);
    source.analysable = 0;
    state.viewMode = kCmdViewLinearSpectrum;
    std::vector<uint8_t> block = Samples16(Tone93(32767));
    RunBlock(canvas.c.dc, block);
    EXPECT_TRUE(canvas.Unchanged(0x123456));
    EXPECT_EQ(0.0, peakFrequency);
}

TEST_F(Analysis, EmptyBlockDrawsDimBarsAndNothingElse)
{
    ClientCanvas canvas;
    state.viewMode = kCmdViewLinearSpectrum;
    std::vector<uint8_t> block(16, 0xFF);
    app.block[1] = block.data();
    for (int32_t count : {0, -8}) {
        AnalyseBlock(canvas.c.dc, 1, count);
        EXPECT_EQ(Rgb(0, 128, 0), PixelAt(canvas.c, LevelSegmentLeft(0, g.charWidth), Row(2)));
        ClientCanvas untouched;
        EXPECT_TRUE(canvas.SameRegion(untouched, GraphRect()));
        EXPECT_TRUE(canvas.SameRegion(untouched, PanelRect()));
    }
}

// ---- Whole frames only -----------------------------------------------------------------------

TEST_F(Analysis, PeakScanTakesWholeFramesAndStrictMaxima)
{
    uint32_t peaks[2];
    // 16-bit mono, 5 valid bytes: the byte at offset 4 starts a partial sample.
    const std::vector<uint8_t> mono16 = {0x10, 0x00, 0xF0, 0xFF, 0x00, 0x80};
    ASSERT_TRUE(ScanBlockPeaks(mono16.data(), 5, kMono16, peaks));
    EXPECT_EQ(16u, peaks[0]);
    ASSERT_TRUE(ScanBlockPeaks(mono16.data(), 6, kMono16, peaks));
    EXPECT_EQ(32768u, peaks[0]);
    // Stereo 16-bit, 6 bytes: one whole frame.
    const std::vector<uint8_t> stereo16 = {0x01, 0x00, 0x00, 0x80, 0xFF, 0x7F, 0x00, 0x00};
    ASSERT_TRUE(ScanBlockPeaks(stereo16.data(), 6, kStereo16, peaks));
    EXPECT_EQ(1u, peaks[0]);
    EXPECT_EQ(32768u, peaks[1]);
    ASSERT_TRUE(ScanBlockPeaks(stereo16.data(), 8, kStereo16, peaks));
    EXPECT_EQ(32767u, peaks[0]);
    // Stereo 8-bit, 3 bytes: one whole frame; 8-bit zero is 128.
    const std::vector<uint8_t> stereo8 = {128, 0, 255, 128};
    ASSERT_TRUE(ScanBlockPeaks(stereo8.data(), 3, kStereo8, peaks));
    EXPECT_EQ(0u, peaks[0]);
    EXPECT_EQ(128u, peaks[1]);
    ASSERT_TRUE(ScanBlockPeaks(stereo8.data(), 4, kStereo8, peaks));
    EXPECT_EQ(127u, peaks[0]);
    EXPECT_FALSE(ScanBlockPeaks(stereo8.data(), 4, 4, peaks));
    ASSERT_TRUE(ScanBlockPeaks(stereo8.data(), -1, kMono8, peaks));
    EXPECT_EQ(0u, peaks[0]);
}

// Blocks whose last byte is the last readable byte: any read past the valid count faults.
TEST_F(Analysis, PartialFramesAreNeverReadInAnyFormatOrView)
{
    struct Case { int format; int count; };
    const Case cases[] = {{kMono16, 4097}, {kMono16, 1}, {kStereo16, 4102}, {kStereo16, 3},
                          {kStereo8, 4097}, {kMono8, 4095}};
    for (const Case& c : cases) {
        for (int view = kCmdViewWaveform; view <= kCmdViewChart; ++view) {
            ClientCanvas canvas;
            source.sampleFormat = c.format;
            state.viewMode = view;
            std::vector<uint8_t> bytes(c.count);
            for (int i = 0; i < c.count; ++i) bytes[i] = static_cast<uint8_t>(i * 13);
            GuardedBlock guarded(bytes);
            app.block[0] = guarded.data;
            AnalyseBlock(canvas.c.dc, 0, c.count);
            // The level bar reached the canvas (the block was analysed, not skipped).
            EXPECT_NE(Rgb(0, 0, 0), PixelAt(canvas.c, LevelSegmentLeft(0, g.charWidth), Row(2)));
        }
    }
}
