// The analysis as a pure step: AnalyseBlock's result for every kind of block, read from blocks
// whose every byte past the valid count is unreadable; the window table and its rebuild rule;
// the windowing of short blocks; the worked tone's peak, frequency and display bytes; the
// display bytes of one bin and of the waveform; ties in the peak search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "analysis/analysis.h"
#include "tests/support/support.h"

namespace {

using Bytes = std::vector<uint8_t>;

SourceFormat Format(uint16_t channels, uint16_t bits, uint32_t rate = 44100, bool floats = false, uint16_t valid = 0)
{
    return {1, channels, rate, 0, 0, bits, floats, valid};
}

Settings ViewSettings(ViewMode view, int exponent = 12, AmplitudeScale scale = kScaleStandard)
{ Settings s; s.view = view, s.fftExponent = exponent, s.amplitudeScale = scale; return s; }

// One block analysed with a plan prepared for the settings, from a copy of its bytes that ends
// where an inaccessible page begins: any read past them faults.
struct Analysed {
    AnalysisPlan plan;
    BlockResult result;
    Analysed(const Bytes& bytes, const SourceFormat& format, const Settings& settings, double previous = 0.0)
    { Run(bytes, format, settings, previous); }
    void Run(const Bytes& bytes, const SourceFormat& format, const Settings& settings, double previous)
    {
        const size_t page = 4096, size = (bytes.size() / page + 2) * page;
        auto* base = static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        ASSERT_NE(nullptr, base);
        DWORD old;
        ASSERT_TRUE(VirtualProtect(base + size - page, page, PAGE_NOACCESS, &old));
        ASSERT_TRUE(plan.Prepare(settings.fftExponent));
        const uint8_t* block = std::copy_backward(bytes.begin(), bytes.end(), base + size - page);
        result = AnalyseBlock(block, int32_t(bytes.size()), format, settings, plan, previous);
        VirtualFree(base, 0, MEM_RELEASE);
    }
    Bytes Display(int from, int to) const { return Bytes(result.bytes + from, result.bytes + to); }
};

// Frames of gains.size() channels, channel c holding gains[c] x `tone` (full scale 1.0), as
// integers of `bytes` bytes (counting noise below the top `valid` bits) or as floats of `bytes`.
Bytes Interleave(const std::vector<double>& tone, const std::vector<double>& gains, int bytes, bool floats, int valid = 0)
{
    Bytes out;
    for (size_t j = 0; j < tone.size(); ++j)
        for (double gain : gains) {
            const double v = gain * tone[j];
            const float f = float(v);
            const int64_t integer = std::llround(std::ldexp(v, 8 * bytes - 1)) | (valid ? int64_t(j % (1 << (8 * bytes - valid))) : 0);
            const uint8_t* raw = bytes == 8 ? reinterpret_cast<const uint8_t*>(&v) : reinterpret_cast<const uint8_t*>(&f);
            for (int i = 0; i < bytes; ++i) out.push_back(floats ? raw[i] : uint8_t(integer >> (8 * i)));
        }
    return out;
}

}  // namespace

// ---- One block -------------------------------------------------------------------------------

// Half scale in the first frame's left channel, a quarter in the second frame's right, silence
// elsewhere; most counts end in a partial frame, which is never read. Mono blocks get one bar,
// stereo ones two, and both their view; 12-bit samples are played, not analysed. The exponent is
// clamped to 8..16, so the window never outgrows its table.
TEST(AnalyseBlock, ResultsOfEveryKindOfBlock)
{
    struct Case { uint16_t channels, bits; int32_t bytes; ViewMode view; int exponent; bool analysed; int bars;
                  uint32_t left, right, unit; bool hasView; int32_t count; bool hasPeak; int half; };
    const Case cases[] = {
        {1, 16, 8193, kViewLinearSpectrum, 12, true, 1, 16384, 0, 2048, true, 2048, true, 2048},
        {1, 8, 4095, kViewChart, 12, true, 1, 64, 0, 8, true, 2048, true, 2047},
        {1, 16, 140000, kViewLevelMeter, 30, true, 1, 16384, 0, 2048, true, 32768, true, kWindowTableSize},
        {1, 16, 1001, kViewLogSpectrum, 3, true, 1, 16384, 0, 2048, true, 128, true, 128},
        {1, 16, 603, kViewWaveform, 12, true, 1, 16384, 0, 2048, true, 301, false, 0},
        {1, 8, 1000, kViewWaveform, 12, true, 1, 64, 0, 8, true, 512, false, 0},
        {1, 16, 1, kViewWaveform, 12, true, 1, 0, 0, 2048, true, 0, false, 0},
        {2, 16, 4102, kViewLogSpectrum, 12, true, 2, 16384, 8192, 2048, true, 2048, true, 512},
        {2, 8, 4097, kViewWaveform, 12, true, 2, 64, 32, 8, true, 512, false, 0},
        {1, 16, 0, kViewLevelMeter, 12, true, 1, 0, 0, 2048, false, 0, false, 0},
        {1, 12, 8192, kViewLinearSpectrum, 12, false, 0, 0, 0, 0, false, 0, false, 0},
    };
    for (const Case& c : cases) {
        const bool eight = c.bits == 8;
        Bytes block(c.bytes, eight ? 128 : 0);
        if (c.bytes >= 8) block[eight ? 0 : 1] = eight ? 192 : 0x40, block[eight ? 3 : 7] = eight ? 160 : 0x20;
        Analysed a(block, Format(c.channels, c.bits), ViewSettings(c.view, c.exponent));
        SCOPED_TRACE(testing::Message() << c.channels << " x " << c.bits << " bits, " << c.bytes << " bytes");
        EXPECT_EQ(c.analysed, a.result.analysed);
        EXPECT_EQ(c.bars, a.result.barCount);
        EXPECT_EQ(c.left, a.result.peaks[0]);
        EXPECT_EQ(c.right, a.result.peaks[1]);
        EXPECT_EQ(c.unit, a.result.segmentUnit);
        EXPECT_EQ(c.hasView, a.result.hasView);
        EXPECT_EQ(c.count, a.result.count);
        EXPECT_EQ(c.hasPeak, a.result.hasPeak);
        EXPECT_EQ(c.half, a.plan.Key().halfLength);
    }
}

// A tone of half full scale at bin 93 in every sample format gives the bars, peak and display
// bytes of the 16-bit mono tone whose amplitude is the channel's (bars: first two channels) or
// the mean of all channels (views), within the 16-bit rounding; masked-off bits count for nothing.
TEST(AnalyseBlock, EverySampleFormatOnTheSixteenBitScale)
{
    struct Case { const char* name; std::vector<double> gains; int bytes; bool floats; uint16_t valid; double left, right, view; };
    const Case cases[] = {
        {"16-bit", {1}, 2, false, 0, 1, 0, 1}, {"24-bit", {1}, 3, false, 0, 1, 0, 1}, {"32-bit", {1}, 4, false, 0, 1, 0, 1},
        {"float", {1}, 4, true, 0, 1, 0, 1}, {"double", {1}, 8, true, 0, 1, 0, 1}, {"stereo, equal channels", {1, 1}, 2, false, 0, 1, 1, 1},
        {"24-bit stereo, left only", {1, 0}, 3, false, 0, 1, 0, 0.5}, {"six channels", {1, 0.5, 0.5, 1, 0, 0}, 3, false, 0, 1, 0.5, 0.5},
        {"12 valid bits of 16, noise below", {0}, 2, false, 12, 0, 0, 0},
    };
    std::vector<double> tone(4096);
    for (int j = 0; j < 4096; ++j) tone[j] = 0.5 * std::sin(2 * 3.141592653589793 * 93 * j / 4096);
    std::map<double, std::unique_ptr<Analysed>> mono;   // the 16-bit mono tone at each gain
    for (double gain : {0.0, 0.5, 1.0})
        mono[gain] = std::make_unique<Analysed>(Interleave(tone, {gain}, 2, false), Format(1, 16), ViewSettings(kViewLinearSpectrum));
    for (const Case& c : cases) {
        const SourceFormat format = Format(uint16_t(c.gains.size()), uint16_t(8 * c.bytes), 44100, c.floats, c.valid);
        const Bytes bytes = Interleave(tone, c.gains, c.bytes, c.floats, c.valid);
        const Analysed s(bytes, format, ViewSettings(kViewLinearSpectrum)), w(bytes, format, ViewSettings(kViewWaveform));
        const BlockResult& view = mono[c.view]->result;
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.gains.size() > 1 ? 2 : 1, s.result.barCount);
        EXPECT_NEAR(mono[c.left]->result.peaks[0], s.result.peaks[0], 1.0);
        EXPECT_NEAR(mono[c.right]->result.peaks[0], s.result.peaks[1], 1.0);
        EXPECT_EQ(view.peakBin, s.result.peakBin);
        EXPECT_NEAR(view.peakPower, s.result.peakPower, 2e-5 * view.peakPower);
        for (int k = 91; k < 96; ++k) EXPECT_NEAR(view.bytes[k], s.result.bytes[k], 1.0) << "bin " << k;
        int worst = 0;   // waveform bytes against those of the 16-bit samples
        for (int i = 0; i < 512; ++i)
            worst = std::max(worst, std::abs(WaveformByte16(int(std::lround(c.view * tone[i] * 32768)), 0) - w.result.bytes[i]));
        EXPECT_LE(worst, 1);
    }
}

// Float samples beyond full scale: the bars and the waveform clip them to the 16-bit range.
TEST(AnalyseBlock, FloatBeyondFullScaleClipsForBarsAndWaveform)
{
    const Analysed a(Interleave({0.75, -1.5, 1.5}, {1}, 4, true), Format(1, 32, 44100, true), ViewSettings(kViewWaveform));
    EXPECT_EQ(32768u, a.result.peaks[0]);
    EXPECT_EQ((Bytes{224, 0, 255}), a.Display(0, 3));
}

// ---- Window table ----------------------------------------------------------------------------

// The table is rebuilt when the half length or the type changes and only then: the rectangle
// touches neither table nor key, so going back to the window before needs no rebuild; neither
// does preparing the plan for a longer length and back.
TEST(WindowTable, RebuiltOnlyWhenLengthOrTypeChanges)
{
    const Bytes tone = Samples16(Sine(20000, 93, 4096, 4100));
    AnalysisPlan plan;
    struct Step { int type; int32_t bytes; bool grow, rebuilt; };
    for (const Step& s : {Step{kWindowHanning, 8200, false, true}, {kWindowHanning, 8200, true, false}, {kWindowHamming, 8200, false, true},
                          {kWindowRectangle, 8200, false, false}, {kWindowHamming, 8200, false, false}, {kWindowHamming, 1000, false, true}}) {
        ASSERT_TRUE(plan.Prepare(s.grow ? 16 : 12));
        ASSERT_TRUE(plan.Prepare(12));
        plan.WindowTable()[1] = 42.0;
        ComputeSpectrum(tone.data(), s.bytes, Format(1, 16), s.type, plan);
        EXPECT_EQ(s.rebuilt, plan.WindowTable()[1] != 42.0) << "type " << s.type << ", " << s.bytes << " bytes";
    }
}

// A 9-sample 8-bit block with every window type: the table built for m = 4 holds the rising half
// of the window (and nothing from entry 4 on), entry i multiplies samples i and 7 - i, and the odd
// last sample and the zero padding up to N stay as they are.
TEST(WindowTable, ShortBlocksAreWindowedOverTwiceTheHalfLength)
{
    const Bytes block = {28, 65, 102, 139, 176, 213, 250, 87, 124};
    const double halves[][4] = {{0, 0.1464466, 0.5, 0.8535534}, {0.08, 0.2147309, 0.54, 0.8652691},
                                {0, 0.0664466, 0.34, 0.7735534}, {0, 0.25, 0.5, 0.75}, {-9, -9, -9, -9}};
    AnalysisPlan plan;
    ASSERT_TRUE(plan.Prepare(12));
    for (int type = kWindowHanning; type <= kWindowRectangle; ++type) {
        std::fill(plan.WindowTable(), plan.WindowTable() + 9, -9.0);
        ComputeSpectrum(block.data(), 9, Format(1, 8), type, plan);
        std::vector<double> re(4096), im(2049);
        for (int i = 0; i < 9; ++i) {
            EXPECT_NEAR(i < 4 ? halves[type][i] : -9.0, plan.WindowTable()[i], 5e-8) << "type " << type << " entry " << i;
            re[i] = (block[i] - 128) * (type == kWindowRectangle || i == 8 ? 1.0 : halves[type][std::min(i, 7 - i)]);
        }
        RealFft(plan.Fft(), re.data(), im.data());
        for (int k = 0; k < 2048; ++k) ASSERT_NEAR(re[k], plan.Re()[k], 1e-8) << "type " << type << " bin " << k;
    }
}

// ---- Display bytes and peak ------------------------------------------------------------------

// 32767 sin(2 pi 93 j / 4096), Hanning: the peak at bin 93 with power (A/2 * gain)^2, where the
// mirrored half window of m = 2048 has the gain (m - 1) / 2m, and the display bytes around it on
// both scales; amplitude 127 in 8 bits reaches the top against the 8-bit reference.
TEST(Spectrum, WorkedToneGivesItsPeakAndDisplayBytes)
{
    const Bytes tone = Samples16(Sine(32767, 93, 4096, 4096));
    const Analysed standard(tone, Format(1, 16), ViewSettings(kViewLinearSpectrum));
    const Analysed doubled(tone, Format(1, 16), ViewSettings(kViewLinearSpectrum, 12, kScaleDoubled));
    EXPECT_EQ(93, standard.result.peakBin);
    EXPECT_NEAR(std::pow(32767 / 2.0 * 2047.0 / 4096, 2), standard.result.peakPower, 2e3);
    EXPECT_EQ((Bytes{255, 178, 14, 0, 14, 178, 255}), standard.Display(90, 97));
    EXPECT_EQ((Bytes{255, 229, 0, 0, 0, 229, 255}), doubled.Display(90, 97));
    const Analysed eightBit(Samples8(Sine(127, 93, 4096, 4096)), Format(1, 8), ViewSettings(kViewLinearSpectrum));
    EXPECT_EQ((Bytes{0}), eightBit.Display(93, 94));   // its own reference: 114 against the 16-bit one
}

// Bin 93 at the actual rate: 44100, 22050 and 11025 Hz as before, 44000 Hz no longer as 44100,
// and every other rate; without a rate the previous frequency stays.
TEST(Spectrum, PeakFrequencyFollowsTheRate)
{
    const Bytes tone = Samples16(Sine(30000, 93, 4096, 4096));
    const std::pair<uint32_t, double> rates[] = {{44100, 93 * 44100.0 / 4096}, {44000, 999.0234375},
                                                 {22050, 93 * 22050.0 / 4096}, {11025, 93 * 11025.0 / 4096}, {48000, 1089.84375},
                                                 {8000, 181.640625}, {192000, 4359.375}, {0, 123.0}};
    for (const auto& r : rates)
        EXPECT_EQ(r.second, Analysed(tone, Format(1, 16, r.first), ViewSettings(kViewChart), 123.0).result.peakFrequency) << r.first;
}

// Display byte of one bin: no power is the floor on both scales; the pink slope weighs the power
// ratio by 2k/N, so bin 0 is always the floor (8-bit data against its own reference).
TEST(Spectrum, NoPowerIsTheFloorAndThePinkSlopeWeighsTheBin)
{
    struct Case { double power; int bin; bool sixteenBit; SlopeReference slope; AmplitudeScale scale; int byte; };
    for (const Case& c : {Case{0.0, 5, true, kSlopeWhite, kScaleStandard, 255}, {0.0, 5, true, kSlopeWhite, kScaleDoubled, 255},
                          {7e13, 0, true, kSlopePink, kScaleStandard, 255}, {7e7, 1024, true, kSlopePink, kScaleStandard, 7}, {2e3 * std::exp(-12.5), 1024, false, kSlopePink, kScaleDoubled, 127}})
        EXPECT_EQ(c.byte, SpectrumByte(c.power, c.bin, 4096, c.sixteenBit, c.slope, c.scale)) << c.power << " at bin " << c.bin;
}

// Waveform bytes: 8-bit bytes as they stand or doubled around 128 within 64..191; 16-bit values
// truncated toward zero, doubled with the zero level at 129 and 256 brought down to 255; the
// view's bytes in sample order.
TEST(Waveform, BytesFollowTheScaleAndClampAtTheEdges)
{
    const std::pair<int, int> doubled16[] = {{16300, 255}, {16384, 255}, {-16384, 0}, {0, 129}, {-129, 128}, {16383, 255}};
    for (const auto& c : doubled16) EXPECT_EQ(c.second, WaveformByte16(c.first, kScaleDoubled)) << c.first;
    EXPECT_EQ(127, WaveformByte16(-511, kScaleStandard));   // -1.99 truncates to -1
    const std::pair<int, int> doubled8[] = {{64, 0}, {65, 3}, {128, 129}, {191, 255}, {192, 255}};
    for (const auto& c : doubled8) EXPECT_EQ(c.second, WaveformByte8(uint8_t(c.first), kScaleDoubled)) << c.first;
    EXPECT_EQ(200, WaveformByte8(200, kScaleStandard));
    EXPECT_EQ((Bytes{128, 129, 126, 255}), Analysed(Samples16({0, 256, -512, 32767}), Format(1, 16), ViewSettings(kViewWaveform)).Display(0, 4));
}

// Among bins of equal power the lowest wins.
TEST(FindPeak, LowestOfEqualBinsWins)
{
    const double re[] = {0, 3, 0, -3}, im[] = {0, 0, 3, 0};
    EXPECT_EQ(1, FindPeak(re, im, 4).bin);
}
