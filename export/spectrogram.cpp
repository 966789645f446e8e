// Spectrogram rows and columns: the axis's rows mapped onto bins, blocks onto columns, a column's
// bytes from a block's spectrum, and the two palettes.
#include "export/spectrogram.h"

#include <windows.h>
#include <algorithm>
#include <cmath>

#include "analysis/analysis.h"
#include "display/display.h"
#include "export/image.h"

namespace {
constexpr int kTrueColourDepth = 24;   // the chart's ramp on the screens it is usually drawn on
constexpr int kRedShift = 16, kGreenShift = 8;   // 0x00RRGGBB
constexpr double kEdgeTolerance = 1e-9;   // bins: a centre on a row's edge counts despite rounding

// The colour map: CIE L*a*b* with L* rising evenly from black to white, the hue turning from
// violet through red to yellow, the chroma largest mid-way and lowered where sRGB cannot show it.
constexpr double kMaxLightness = 100.0;
constexpr double kFirstHueDegrees = 290.0, kHueTurnDegrees = 150.0;
constexpr double kMaxChroma = 70.0;
constexpr int kChromaSearchSteps = 30;
constexpr double kPi = 3.14159265358979323846;
constexpr double kWhiteX = 0.95047, kWhiteZ = 1.08883;   // D65
constexpr double kLabEpsilon = 6.0 / 29.0;
constexpr double kXyzToRgb[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                                    {-0.9692660, 1.8760108, 0.0415560},
                                    {0.0556434, -0.2040259, 1.0572252}};

double LabInverse(double t)
{
    return t > kLabEpsilon ? t * t * t : 3.0 * kLabEpsilon * kLabEpsilon * (t - 4.0 / 29.0);
}

// Linear sRGB of a L*a*b* colour; false when a channel lies outside 0..1.
bool LabToLinearRgb(double l, double a, double b, double rgb[3])
{
    const double fy = (l + 16.0) / 116.0;
    const double xyz[3] = {kWhiteX * LabInverse(fy + a / 500.0), LabInverse(fy), kWhiteZ * LabInverse(fy - b / 200.0)};
    bool inside = true;
    for (int c = 0; c < 3; ++c) {
        rgb[c] = kXyzToRgb[c][0] * xyz[0] + kXyzToRgb[c][1] * xyz[1] + kXyzToRgb[c][2] * xyz[2];
        inside = inside && rgb[c] >= -kEdgeTolerance && rgb[c] <= 1.0 + kEdgeTolerance;
    }
    return inside;
}

uint32_t SrgbByte(double linear)
{
    linear = std::min(std::max(linear, 0.0), 1.0);
    const double v = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    return uint32_t(v * 255.0 + 0.5);
}

// The colour of lightness t (0 black .. 1 white) as 0x00RRGGBB.
uint32_t MapColour(double t)
{
    const double l = kMaxLightness * t;
    const double hue = (kFirstHueDegrees + kHueTurnDegrees * t) * kPi / 180.0;
    double chroma = kMaxChroma * std::sin(kPi * t), rgb[3];
    if (!LabToLinearRgb(l, chroma * std::cos(hue), chroma * std::sin(hue), rgb)) {
        double inside = 0.0, outside = chroma;
        for (int step = 0; step < kChromaSearchSteps; ++step) {
            const double middle = (inside + outside) / 2.0;
            (LabToLinearRgb(l, middle * std::cos(hue), middle * std::sin(hue), rgb) ? inside : outside) = middle;
        }
        chroma = inside;
        LabToLinearRgb(l, chroma * std::cos(hue), chroma * std::sin(hue), rgb);
    }
    return (SrgbByte(rgb[0]) << kRedShift) | (SrgbByte(rgb[1]) << kGreenShift) | SrgbByte(rgb[2]);
}
}  // namespace

int FirstBinFrom(double hz, int n, double rate)
{
    return int(std::ceil(hz * n / rate - kEdgeTolerance));
}

double AxisFrequency(const FrequencyAxis& axis, double position)
{
    if (axis.log) return axis.low * std::pow(axis.high / axis.low, position);
    return axis.low + (axis.high - axis.low) * position;
}

double AxisPosition(const FrequencyAxis& axis, double hz)
{
    if (axis.log) return std::log(hz / axis.low) / std::log(axis.high / axis.low);
    return (hz - axis.low) / (axis.high - axis.low);
}

bool RowBins::Map(const FrequencyAxis& axis, int rows, int n, double rate)
{
    rows_ = 0;
    spans_.clear();
    if (rows <= 0) return false;
    spans_.resize(size_t(rows) * 2);   // without exceptions a failed allocation ends the program
    const int bins = n / 2;
    for (int row = 0; row < rows; ++row) {
        const int i = rows - 1 - row;
        int first = std::max(FirstBinFrom(AxisFrequency(axis, double(i) / rows), n, rate), 0);
        int end = i == rows - 1 ? int(std::floor(axis.high * n / rate + kEdgeTolerance)) + 1
                                : FirstBinFrom(AxisFrequency(axis, double(i + 1) / rows), n, rate);
        end = std::min(end, bins);
        if (end <= first) {
            const double centre = AxisFrequency(axis, (i + 0.5) / rows);
            first = std::min(std::max(int(std::floor(centre * n / rate + 0.5)), 0), bins - 1);
            end = first + 1;
        }
        spans_[size_t(row) * 2] = first;
        spans_[size_t(row) * 2 + 1] = end;
    }
    rows_ = rows;
    return true;
}

int BinsOnAxis(const FrequencyAxis& axis, int n, double rate)
{
    const int first = std::max(FirstBinFrom(axis.low, n, rate), 0);
    const int end = std::min(int(std::floor(axis.high * n / rate + kEdgeTolerance)) + 1, n / 2);
    return std::max(end - first, 0);
}

void BlockColumns(uint64_t block, uint64_t blocks, int width, int* first, int* end)
{
    const uint64_t w = uint64_t(width);
    *first = int((block * w + blocks - 1) / blocks);
    *end = int(((block + 1) * w + blocks - 1) / blocks);
    if (*end <= *first) {
        *first = int(block * w / blocks);
        *end = *first + 1;
    }
}

void SpectrogramColumn(const double* re, const double* im, const ColumnScale& scale, const RowBins& rows,
                       uint8_t* top, int stride)
{
    const bool pink = scale.slopeReference == kSlopePink;
    for (int row = 0; row < rows.Rows(); ++row) {
        // The strongest bin as the view weights it (the pink slope counts each power times its
        // bin), then its byte as the view computes it.
        int strongest = rows.First(row);
        double highest = -1.0;
        for (int k = rows.First(row); k < rows.End(row); ++k) {
            const double weighted = (re[k] * re[k] + im[k] * im[k]) * (pink ? k : 1);
            if (weighted > highest) {
                highest = weighted;
                strongest = k;
            }
        }
        const double power = re[strongest] * re[strongest] + im[strongest] * im[strongest];
        uint8_t& pixel = top[size_t(row) * stride];
        pixel = std::min(pixel, SpectrumByte(power, strongest, scale.n, scale.sixteenBitScale, scale.slopeReference,
                                             scale.amplitudeScale));
    }
}

void SpectrogramPalette(SpectrogramPaletteKind kind, uint32_t* palette)
{
    for (int v = 0; v < kPaletteSize; ++v) {
        if (kind == SpectrogramPaletteKind::kColour) {
            palette[v] = MapColour(double(kPaletteSize - 1 - v) / (kPaletteSize - 1));
            continue;
        }
        const COLORREF colour = ChartColour(uint8_t(v), kTrueColourDepth);
        palette[v] = (uint32_t(GetRValue(colour)) << kRedShift) | (uint32_t(GetGValue(colour)) << kGreenShift) |
                     GetBValue(colour);
    }
}
