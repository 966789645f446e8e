// The display frame: the grey scale line under the graph area with the labels of the current
// view, the white graph area, and the stereo notice; also the logarithmic frequency axis that
// the labels and the logarithmic spectrum share.
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
constexpr int kStereoNoticeCol = 2;
constexpr int kStereoNoticeRows[2] = {14, 17};
constexpr const char* kStereoNotice[2] = {"ごめんなさい。", "ステレオのデータには対応しておりません。"};

// Label tables: one column per rate code group (44, 22, any other).
enum RateColumn { kRate44 = 0, kRate22 = 1, kRateOther = 2 };
int RateColumnOf(int rateCode)
{
    return rateCode == 44 ? kRate44 : rateCode == 22 ? kRate22 : kRateOther;
}

constexpr std::array<int, kBandCount> kBandLabelPositions = {30, 80, 130, 180, 230, 280, 330, 380, 430, 480};
constexpr const char* kBandLabels[3][kBandCount] = {
    {" 30 ", " 60 ", "120 ", "240 ", "490 ", " 1k ", " 2k ", " 4k ", " 8k ", "16k "},
    {" 15 ", " 30 ", " 60 ", "120 ", "240 ", "490 ", " 1k ", " 2k ", " 4k ", " 8k "},
    {"  8 ", " 15 ", " 30 ", " 60 ", "120 ", "240 ", "490 ", " 1k ", " 2k ", " 4k "},
};
constexpr std::array<int, 4> kLinearLabelPositions = {116, 232, 348, 464};
constexpr const char* kLinearLabels[3][4] = {
    {" 5k ", "10k ", "15k ", "20k "},
    {"2.5k", " 5k ", "7.5k", "10k "},
    {"1250", "2500", "3750", "5000"},
};

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

int TableLabels(const int* positions, const char* const* texts, int n, int charWidth,
                ScaleLabel* labels, int capacity, int count)
{
    // The left edge one column left of graph position p centres a four-character label on p.
    for (int i = 0; i < n; ++i) AddLabel(labels, capacity, &count, texts[i], positions[i] - charWidth);
    return count;
}

int LogLabels(const ScaleSettings& s, ScaleLabel* labels, int capacity)
{
    LogOctave octaves[kMaxLogOctaves];
    const int n = LogAxisOctaves(s.m, s.rateCode, octaves, kMaxLogOctaves);
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

LogAxisFrequencies LogAxisFor(int rateCode)
{
    switch (RateColumnOf(rateCode)) {
    case kRate44: return {20000.0, 22050.0};
    case kRate22: return {10000.0, 11025.0};
    default: return {5000.0, 5512.5};
    }
}

double LogAxisPosition(double bin, int m)
{
    return kGraphWidth * std::log(bin) / std::log(static_cast<double>(m));
}

int LogAxisOctaves(int m, int rateCode, LogOctave* octaves, int capacity)
{
    if (m < 2) return 0;                         // ln(m) would be 0: no axis to draw
    const LogAxisFrequencies axis = LogAxisFor(rateCode);
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
    const int column = RateColumnOf(s.rateCode);
    int count = 0;
    switch (s.view) {
    case kViewLevelMeter:
        return TableLabels(kBandLabelPositions.data(), kBandLabels[column], kBandCount, s.charWidth,
                           labels, capacity, 0);
    case kViewLinearSpectrum:
        AddLabel(labels, capacity, &count, "0", s.charWidth);
        return TableLabels(kLinearLabelPositions.data(), kLinearLabels[column],
                           static_cast<int>(kLinearLabelPositions.size()), s.charWidth, labels,
                           capacity, count);
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

    if (!format.Stereo()) return;
    for (int line = 0; line < 2; ++line) {
        TextOutA(dc, layout.Col(kStereoNoticeCol), layout.Row(kStereoNoticeRows[line]), kStereoNotice[line],
                 static_cast<int>(std::strlen(kStereoNotice[line])));
    }
}
