// Block analysis driver: measures the peak of each channel and has the level bars drawn, turns a
// mono block into the display bytes of the current view (waveform, or the windowed FFT for the
// spectrum views), finds the strongest bin and writes the peak panel, then calls the renderer.
#include "analysis/analysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "analysis/fft.h"
#include "display/display.h"
#include "shell/globals.h"

double peakFrequency = 0.0;

namespace {

// Level bars: top row, height in rows, and the segment unit (one sixteenth of full scale).
constexpr int kMonoBarTopRow = 2, kMonoBarRows = 3;
constexpr int kLeftBarTopRow = 2, kRightBarTopRow = 4, kStereoBarRows = 1;
constexpr uint32_t kSegmentUnit8 = 8, kSegmentUnit16 = 2048;

// Frame size in bytes of each sample format code.
constexpr std::array<int32_t, 4> kFrameStride = {1, 2, 2, 4};

constexpr int kZeroLevel8 = 128;

// Waveform bytes at doubled scale.
constexpr int kDoubledLow8 = 64, kDoubledHigh8 = 192, kDoubledOffset8 = 127;
constexpr int kDoubledLimit16 = 16384, kDoubledDivisor16 = 128, kDoubledZero16 = 129;
constexpr int kStandardDivisor16 = 256, kStandardZero16 = 128;

// Spectrum bytes: 25 natural-log units of power ratio span the standard scale.
constexpr double kPowerFloor = 1e-30;
constexpr double kLogUnitsPerScale = 25.0;
constexpr double kStandardSpan = 255.0;
constexpr double kDoubledLow = -0.75, kDoubledHigh = -0.25, kDoubledSpan = 510.0;
constexpr double kDoubledShift = 0.25;     // moves the clamped range to end at 0

// Nominal rates of the rate codes that have a peak frequency.
struct NominalRate {
    int rateCode;
    double hz;
};
constexpr std::array<NominalRate, 3> kNominalRates = {{{44, 44100.0}, {22, 22050.0}, {11, 11025.0}}};

// Peak panel: 7 columns by 8 rows; texts at rows 0, 3 and 6 of the panel.
constexpr int kPanelColumns = 7, kPanelRows = 8;
constexpr int kPanelFrequencyRow = 3, kPanelPowerRow = 6;
constexpr int kPanelGapColumns = kGraphLeftCol + 1;   // x1: one column right of the graph area
constexpr int kPanelRightColumn = 74;      // x2, right of the level panel
constexpr char kPeakLabel[] = "Peak Lv";

int16_t Sample16At(const uint8_t* p)
{
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

uint32_t Magnitude(int value)
{
    return static_cast<uint32_t>(value < 0 ? -value : value);
}

// Types 0..3 are tabled windows; the rectangle (and anything unknown) leaves samples as they are.
bool WindowApplies(int type)
{
    return type >= kWindowHanning && type <= kWindowTriangle;
}

void ApplyWindow(double* re, int m)
{
    const int type = state.windowType;
    if (!WindowApplies(type)) return;
    if (windowKey.halfLength != m || windowKey.type != type) {
        BuildWindowTable(m);
        windowKey.halfLength = m;
        windowKey.type = type;
    }
    for (int i = 0; i < m; ++i) {
        re[i] *= windowTable[i];
        re[2 * m - 1 - i] *= windowTable[i];
    }
}

void DrawSpectrumView(HDC dc, const uint8_t* block, int32_t byteCount, bool sixteenBit)
{
    const int exponent = ClampFftExponent(state.fftExponent);
    const int n = PowerOfTwo(exponent);
    double* re = static_cast<double*>(AllocateOrExit(sizeof(double) * n));
    double* im = static_cast<double*>(AllocateOrExit(sizeof(double) * n));
    uint8_t* bytes = static_cast<uint8_t*>(AllocateOrExit(n));

    const SpectrumPeak peak = ComputeSpectrum(block, byteCount, sixteenBit, exponent, re, im);
    PeakFrequencyFor(peak.bin, n, source.rateCode, &peakFrequency);
    DrawPeakPanel(dc, peakFrequency, peak.power);
    SpectrumBytes(re, im, n, sixteenBit, state.slopeReference, state.amplitudeScale, bytes);
    const int32_t count = n / 2;
    switch (state.viewMode) {
    case kCmdViewLevelMeter: DrawBandLevels(dc, bytes, count); break;
    case kCmdViewLinearSpectrum: DrawLinearSpectrum(dc, bytes, count); break;
    case kCmdViewLogSpectrum: DrawLogSpectrum(dc, bytes, count); break;
    case kCmdViewChart: DrawChartRow(dc, bytes, count); break;
    default: break;
    }
    std::free(bytes);
    std::free(im);
    std::free(re);
}

} // namespace

// ---- Pure steps ------------------------------------------------------------------------------

bool ScanBlockPeaks(const uint8_t* block, int32_t byteCount, int sampleFormat, uint32_t peaks[2])
{
    peaks[0] = peaks[1] = 0;
    if (sampleFormat < kMono8 || sampleFormat > kStereo16) return false;
    const int32_t stride = kFrameStride[sampleFormat];
    const bool sixteenBit = (sampleFormat & kSampleFormat16BitFlag) != 0;
    const bool stereo = (sampleFormat & kSampleFormatStereoFlag) != 0;
    const int32_t channelBytes = sixteenBit ? 2 : 1;
    // Whole frames only: a trailing partial frame is never read.
    for (int32_t offset = 0; byteCount - offset >= stride; offset += stride) {
        for (int channel = 0; channel < (stereo ? 2 : 1); ++channel) {
            const uint8_t* p = block + offset + channel * channelBytes;
            const uint32_t magnitude = Magnitude(sixteenBit ? Sample16At(p) : p[0] - kZeroLevel8);
            if (magnitude > peaks[channel]) peaks[channel] = magnitude;
        }
    }
    return true;
}

uint8_t WaveformByte8(uint8_t b, int amplitudeScale)
{
    if (amplitudeScale != kScaleDoubled) return b;
    if (b <= kDoubledLow8) return 0;
    if (b >= kDoubledHigh8) return 255;
    return static_cast<uint8_t>(2 * b - kDoubledOffset8);
}

uint8_t WaveformByte16(int v, int amplitudeScale)
{
    if (amplitudeScale != kScaleDoubled) return static_cast<uint8_t>(v / kStandardDivisor16 + kStandardZero16);
    if (v <= -kDoubledLimit16) return 0;
    if (v >= kDoubledLimit16) return 255;
    return static_cast<uint8_t>(std::min(v / kDoubledDivisor16 + kDoubledZero16, 255));
}

int32_t WaveformBytes(const uint8_t* block, int32_t byteCount, bool sixteenBit, int amplitudeScale,
                      uint8_t* bytes, int32_t capacity)
{
    const int32_t samples = std::max(sixteenBit ? byteCount / 2 : byteCount, 0);
    const int32_t count = std::min({samples, capacity, static_cast<int32_t>(kWaveformMaxBytes)});
    for (int32_t i = 0; i < count; ++i) {
        bytes[i] = sixteenBit ? WaveformByte16(Sample16At(block + 2 * i), amplitudeScale)
                              : WaveformByte8(block[i], amplitudeScale);
    }
    return count;
}

int HalfWindowLength(int32_t samples, int n)
{
    return samples >= n ? n / 2 : std::max(samples, 0) / 2;
}

SpectrumPeak ComputeSpectrum(const uint8_t* block, int32_t byteCount, bool sixteenBit, int exponent,
                             double* re, double* im)
{
    const int n = PowerOfTwo(exponent);
    const int32_t samples = std::max(sixteenBit ? byteCount / 2 : byteCount, 0);
    for (int i = 0; i < n; ++i) {
        if (i < samples) re[i] = sixteenBit ? Sample16At(block + 2 * i) : block[i] - kZeroLevel8;
        else re[i] = 0.0;
        im[i] = 0.0;
    }
    ApplyWindow(re, HalfWindowLength(samples, n));
    RealFft(re, im, exponent);
    return FindPeak(re, im, n / 2);
}

SpectrumPeak FindPeak(const double* re, const double* im, int bins)
{
    SpectrumPeak peak = {0, 0.0};
    for (int k = 0; k < bins; ++k) {
        const double power = re[k] * re[k] + im[k] * im[k];
        if (power > peak.power) peak = {k, power};
    }
    return peak;
}

uint8_t SpectrumByte(double power, int k, int n, bool sixteenBit, int slopeReference,
                     int amplitudeScale)
{
    double r = power / (sixteenBit ? kReferencePower16 : kReferencePower8);
    if (slopeReference == kSlopePink) {
        r *= k;
        r /= n;
        r *= 2.0;
    }
    double t = r > kPowerFloor ? std::log(r) / kLogUnitsPerScale : -1.0;
    if (amplitudeScale == kScaleDoubled) {
        t = std::min(std::max(t, kDoubledLow), kDoubledHigh) + kDoubledShift;
        return static_cast<uint8_t>(-t * kDoubledSpan);
    }
    t = std::min(std::max(t, -1.0), 0.0);
    return static_cast<uint8_t>(-t * kStandardSpan);
}

void SpectrumBytes(const double* re, const double* im, int n, bool sixteenBit, int slopeReference,
                   int amplitudeScale, uint8_t* bytes)
{
    for (int k = 0; k < n / 2; ++k) {
        const double power = re[k] * re[k] + im[k] * im[k];
        bytes[k] = SpectrumByte(power, k, n, sixteenBit, slopeReference, amplitudeScale);
    }
}

bool PeakFrequencyFor(int p, int n, int rateCode, double* hz)
{
    for (const NominalRate& rate : kNominalRates) {
        if (rate.rateCode == rateCode) {
            *hz = p * rate.hz / n;
            return true;
        }
    }
    return false;
}

bool FormatPeakFrequency(double hz, char* text, size_t size)
{
    const char* format = hz >= 999.95 ? "%5.0fHz" : hz >= 99.995 ? "%5.1fHz"
                       : hz >= 9.9995 ? "%5.2fHz" : "%5.3fHz";
    const int length = std::snprintf(text, size, format, hz);
    return length >= 0 && static_cast<size_t>(length) < size;
}

bool FormatPeakPower(double power, char* text, size_t size)
{
    const int length = std::snprintf(text, size, "%7.1e", power);
    return length >= 0 && static_cast<size_t>(length) < size;
}

POINT PeakPanelOrigin(int charWidth, int lineHeight)
{
    const int x1 = kPanelGapColumns * charWidth + kGraphWidth;
    const int x2 = kPanelRightColumn * charWidth;
    if (x1 < x2) return POINT{x1, kGraphTopRow * lineHeight};
    return POINT{x2, lineHeight};
}

// ---- Drawing ---------------------------------------------------------------------------------

void DrawPeakPanel(HDC dc, double hz, double power)
{
    const POINT at = PeakPanelOrigin(g.charWidth, g.lineHeight);
    PatBlt(dc, at.x, at.y, Col(kPanelColumns), Row(kPanelRows), WHITENESS);
    TextOutA(dc, at.x, at.y, kPeakLabel, static_cast<int>(sizeof kPeakLabel - 1));
    if (FormatPeakFrequency(hz, g.textBuffer, sizeof g.textBuffer)) {
        TextOutA(dc, at.x, at.y + Row(kPanelFrequencyRow), g.textBuffer, lstrlenA(g.textBuffer));
    }
    if (FormatPeakPower(power, g.textBuffer, sizeof g.textBuffer)) {
        TextOutA(dc, at.x, at.y + Row(kPanelPowerRow), g.textBuffer, lstrlenA(g.textBuffer));
    }
}

void AnalyseBlock(HDC dc, int slot, int32_t byteCount)
{
    // A source whose channel/bit pair is none of the four formats is played but not shown.
    if (!source.analysable || slot < 0 || slot > 1) return;
    const int format = source.sampleFormat;
    const uint8_t* block = app.block[slot];
    uint32_t peaks[2] = {0, 0};
    if (!ScanBlockPeaks(block, block ? byteCount : 0, format, peaks)) return;

    const uint32_t unit = (format & kSampleFormat16BitFlag) ? kSegmentUnit16 : kSegmentUnit8;
    if (format & kSampleFormatStereoFlag) {
        DrawLevelBar(dc, peaks[0], Row(kLeftBarTopRow), Row(kStereoBarRows), unit);
        DrawLevelBar(dc, peaks[1], Row(kRightBarTopRow), Row(kStereoBarRows), unit);
        return;
    }
    DrawLevelBar(dc, peaks[0], Row(kMonoBarTopRow), Row(kMonoBarRows), unit);
    AnalyseView(dc, slot, byteCount);
}

void AnalyseView(HDC dc, int slot, int32_t byteCount)
{
    // A non-positive count draws nothing (a negative one would make a negative sample count).
    if (byteCount <= 0 || slot < 0 || slot > 1 || !app.block[slot]) return;
    const uint8_t* block = app.block[slot];
    const bool sixteenBit = (source.sampleFormat & kSampleFormat16BitFlag) != 0;
    if (state.viewMode == kCmdViewWaveform) {
        uint8_t* bytes = static_cast<uint8_t*>(AllocateOrExit(kWaveformMaxBytes));
        const int32_t count =
            WaveformBytes(block, byteCount, sixteenBit, state.amplitudeScale, bytes, kWaveformMaxBytes);
        DrawWaveform(dc, bytes, count);
        std::free(bytes);
        return;
    }
    DrawSpectrumView(dc, block, byteCount, sixteenBit);
}
