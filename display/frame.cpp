// The display frame: the grey scale line under the graph area with the labels of the current
// view and the white graph area; also the frequency axes of a rate (label step, linear label
// positions, logarithmic octaves, octave-band centres) that the labels and the spectra share.
#include "display/display.h"

#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/fft.h"

namespace {

constexpr int kScaleBlanks = 86;                 // blanks that paint the whole scale line grey
constexpr COLORREF kScaleLineGrey = RGB(192, 192, 192);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kChartLabelOffset = 465;           // pixels right of the graph's left edge

// The axes' rate before any source is opened: the lowest tabled one, as the chart labels it.
constexpr uint32_t kRateWithoutSource = 11025;
constexpr double kFirstLabelStep = 5000.0;       // the step s of 44.1 kHz; others halve or double it
constexpr double kHzLabelsBelowStep = 2500.0;    // smaller steps write hertz ("%4d"), others kHz
constexpr double kHertzPerKilo = 1000.0;
constexpr int kOneDigitKilo = 10, kTwoDigitsKilo = 100;

constexpr std::array<int, kBandCount> kBandLabelPositions = {30, 80, 130, 180, 230, 280, 330, 380, 430, 480};
// Band k (1..10) spans rate / 2^(12-k) to rate / 2^(11-k); its label names the geometric centre
// rounded as the octave-band labels of the tabled rates are: to whole hertz below 20 Hz, to tens
// below 950 Hz, to whole kilohertz from there.
constexpr int kBandCentreShift = 12;
constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kWholeHertzBelow = 20.0, kTensBelow = 950.0;
constexpr long kTens = 10;

// Logarithmic axis labels: thinning, and the frequencies written in kHz.
constexpr int kThinningAboveExponent = 12;
constexpr int kThinningAboveCharWidth = 8;
constexpr double kKiloLabelsAbove = 5000.0;

// Nominal rates times 256, the chart label's dividend for the tabled rate codes.
constexpr long kChartDividend44 = 11289600;
constexpr long kChartDividend22 = 5644800;
constexpr long kChartDividend11 = 2822400;

bool AddLabel(ScaleLabel* labels, int capacity, int* count, const char* text, int x)
{
    if (*count >= capacity) return false;
    ScaleLabel& label = labels[(*count)++];
    std::snprintf(label.text, sizeof label.text, "%s", text);
    label.x = x;
    return true;
}

uint32_t AxisRate(uint32_t samplesPerSec)
{
    return samplesPerSec ? samplesPerSec : kRateWithoutSource;
}

double LabelStep(uint32_t samplesPerSec)
{
    const double half = AxisRate(samplesPerSec) / 2.0;
    double step = kFirstLabelStep;
    while (kLinearLabelCount * step > half) step /= 2.0;
    while (kLinearLabelCount * 2.0 * step <= half) step *= 2.0;
    return step;
}

// Whole kilohertz in four characters: " 5k ", "16k ", "160k".
void KiloText(int khz, char* text, size_t size)
{
    std::snprintf(text, size, khz < kOneDigitKilo ? " %dk " : khz < kTwoDigitsKilo ? "%dk " : "%dk", khz);
}

// A linear label: hertz for steps below 2500 Hz, else kilohertz ("2.5k" where not whole).
void LinearLabelText(double f, double step, char* text, size_t size)
{
    const double khz = f / kHertzPerKilo;
    if (step < kHzLabelsBelowStep) std::snprintf(text, size, "%4d", static_cast<int>(f));
    else if (khz != std::floor(khz)) std::snprintf(text, size, "%.1fk", khz);
    else KiloText(static_cast<int>(khz), text, size);
}

void BandLabelText(int band, uint32_t samplesPerSec, char* text, size_t size)
{
    const double centre = std::ldexp(AxisRate(samplesPerSec) * kSqrt2, band - kBandCentreShift);
    if (centre >= kTensBelow) KiloText(static_cast<int>(std::lround(centre / kHertzPerKilo)), text, size);
    else if (centre >= kWholeHertzBelow) std::snprintf(text, size, "%3ld ", std::lround(centre / kTens) * kTens);
    else std::snprintf(text, size, "%3ld ", std::lround(centre));
}

// The left edge one column left of graph position p centres a four-character label on p.
int BandLabels(const ScaleSettings& s, ScaleLabel* labels, int capacity)
{
    int count = 0;
    for (int k = 1; k <= kBandCount; ++k) {
        char text[16];
        BandLabelText(k, s.samplesPerSec, text, sizeof text);
        AddLabel(labels, capacity, &count, text, kBandLabelPositions[k - 1] - s.charWidth);
    }
    return count;
}

int LinearLabels(const ScaleSettings& s, ScaleLabel* labels, int capacity)
{
    const LinearAxis axis = LinearAxisFor(s.samplesPerSec);
    int count = 0;
    AddLabel(labels, capacity, &count, "0", s.charWidth);
    for (int i = 0; i < kLinearLabelCount; ++i) {
        char text[16];
        LinearLabelText((i + 1) * axis.step, axis.step, text, sizeof text);
        AddLabel(labels, capacity, &count, text, axis.positions[i] - s.charWidth);
    }
    return count;
}

int LogLabels(const ScaleSettings& s, ScaleLabel* labels, int capacity)
{
    LogOctave octaves[kMaxLogOctaves];
    const int n = LogAxisOctaves(s.m, s.samplesPerSec, octaves, kMaxLogOctaves);
    // A wide font on a crowded axis (many octaves) writes every second label only.
    const bool thinning = s.fftExponent > kThinningAboveExponent && s.charWidth > kThinningAboveCharWidth;
    int count = 0;
    for (int k = 0; k < n; ++k) {
        if (thinning && (k & 1)) continue;
        const double f = octaves[k].frequency;
        char text[16];
        if (f > kKiloLabelsAbove) std::snprintf(text, sizeof text, "%.0fk", f / 1000.0);
        else std::snprintf(text, sizeof text, "%.0f", f);
        const unsigned halfWidth = static_cast<unsigned>(std::strlen(text) * s.charWidth) / 2u;
        const double left = s.charWidth + octaves[k].position - halfWidth;
        AddLabel(labels, capacity, &count, text, static_cast<int>(left));
    }
    return count;
}

}  // namespace

LinearAxis LinearAxisFor(uint32_t samplesPerSec)
{
    LinearAxis axis;
    axis.step = LabelStep(samplesPerSec);
    const double half = AxisRate(samplesPerSec) / 2.0;
    for (int i = 0; i < kLinearLabelCount; ++i)
        axis.positions[i] = static_cast<int>((i + 1) * axis.step * kGraphWidth / half);
    return axis;
}

LogAxisFrequencies LogAxisFor(uint32_t samplesPerSec)
{
    return {kLinearLabelCount * LabelStep(samplesPerSec), AxisRate(samplesPerSec) / 2.0};
}

double LogAxisPosition(double bin, int m)
{
    return kGraphWidth * std::log(bin) / std::log(static_cast<double>(m));
}

int LogAxisOctaves(int m, uint32_t samplesPerSec, LogOctave* octaves, int capacity)
{
    if (m < 2) return 0;                         // ln(m) would be 0: no axis to draw
    const LogAxisFrequencies axis = LogAxisFor(samplesPerSec);
    double f = axis.top;
    int count = 0;
    while (count < capacity) {
        const double bin = m * f / axis.nyquist;
        octaves[count++] = {f, LogAxisPosition(bin, m)};
        if (!(bin > 2.0)) break;
        f /= 2.0;
    }
    return count;
}

long ChartTopFrequency(int m, int rateCode, uint32_t samplesPerSec)
{
    const long shownBins = m < kChartMaxBins ? kChartMaxBins : m;
    switch (rateCode) {
    case 44: return kChartDividend44 / shownBins;
    case 22: return kChartDividend22 / shownBins;
    case 11: return kChartDividend11 / shownBins;
    default: break;
    }
    // Before any source is opened there is no rate: label the lowest tabled rate, as the other
    // views' scale lines do for an unknown rate code.
    if (samplesPerSec == 0) return kChartDividend11 / shownBins;
    // Other rates have no tabled constant: 256 times the actual rate over the bins shown gives
    // the frequency at the chart's right edge, as the chart draws it.
    const long long value = 256LL * samplesPerSec / shownBins;
    return value > LONG_MAX ? LONG_MAX : static_cast<long>(value);
}

int ComputeScaleLabels(const ScaleSettings& s, ScaleLabel* labels, int capacity)
{
    int count = 0;
    switch (s.view) {
    case kViewLevelMeter:
        return BandLabels(s, labels, capacity);
    case kViewLinearSpectrum:
        return LinearLabels(s, labels, capacity);
    case kViewLogSpectrum:
        return LogLabels(s, labels, capacity);
    case kViewChart: {
        char text[16];
        std::snprintf(text, sizeof text, "%ld Hz", ChartTopFrequency(s.m, s.rateCode, s.samplesPerSec));
        AddLabel(labels, capacity, &count, text, s.charWidth + kChartLabelOffset);
        AddLabel(labels, capacity, &count, "0", s.charWidth);
        return count;
    }
    default:
        return 0;                                // the waveform has no scale labels
    }
}

void DrawDisplayFrame(HDC dc, const Layout& layout, const Settings& settings, const SourceFormat& format)
{
    // The labels name the bins the analysis will draw, so they use its clamped FFT length.
    const int exponent = ClampFftExponent(settings.fftExponent);
    const ScaleSettings scale = {settings.view, exponent, PowerOfTwo(exponent) / 2, format.RateCode(),
                                 format.samplesPerSec, layout.charWidth};
    const int scaleTop = layout.Row(kGraphTopRow) + kScaleLineOffset;

    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    SetTextColor(dc, kBlack);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, kScaleLineGrey);

    char blanks[kScaleBlanks];
    std::memset(blanks, ' ', sizeof blanks);
    TextOutA(dc, layout.Col(kGraphLeftCol), scaleTop, blanks, kScaleBlanks);

    ScaleLabel labels[kMaxScaleLabels];
    const int count = ComputeScaleLabels(scale, labels, kMaxScaleLabels);
    for (int i = 0; i < count; ++i)
        TextOutA(dc, labels[i].x, scaleTop, labels[i].text, static_cast<int>(std::strlen(labels[i].text)));

    SetBkColor(dc, kWhite);
    SelectObject(dc, previousFont);
    PatBlt(dc, layout.Col(kGraphLeftCol), layout.Row(kGraphTopRow), kGraphWidth, kGraphHeight, WHITENESS);
}
