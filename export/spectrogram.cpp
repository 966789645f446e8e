// Spectrogram columns from a block's spectrum, and the palette of the chart view's colours.
#include "export/spectrogram.h"

#include <windows.h>
#include <algorithm>

#include "analysis/analysis.h"
#include "display/display.h"
#include "export/image.h"

namespace {
constexpr int kTrueColourDepth = 24;   // the chart's ramp on the screens it is usually drawn on
constexpr int kRedShift = 16, kGreenShift = 8;   // 0x00RRGGBB
}  // namespace

int SpectrogramRows(int n)
{
    return std::min(std::max(n / 2, 1), kSpectrogramMaxRows);
}

void SpectrogramColumn(const double* re, const double* im, int n, bool sixteenBitScale, int slopeReference,
                       int amplitudeScale, uint8_t* top, int stride)
{
    const int rows = SpectrogramRows(n);
    const int group = std::max(n / 2 / rows, 1);
    const bool pink = slopeReference == kSlopePink;
    for (int row = 0; row < rows; ++row) {
        const int first = (rows - 1 - row) * group;
        uint8_t byte;
        if (group == 1) {
            const double power = re[first] * re[first] + im[first] * im[first];
            byte = SpectrumByte(power, first, n, sixteenBitScale, slopeReference, amplitudeScale);
        } else {
            // The mean of the bins' powers as the view weights them: for the pink slope each
            // power counts times its bin, and the byte of bin 1 applies the rest of the weight.
            double sum = 0.0;
            for (int k = first; k < first + group; ++k) sum += (re[k] * re[k] + im[k] * im[k]) * (pink ? k : 1);
            byte = SpectrumByte(sum / group, 1, n, sixteenBitScale, slopeReference, amplitudeScale);
        }
        top[row * stride] = byte;
    }
}

void SpectrogramPalette(uint32_t* palette)
{
    for (int v = 0; v < kPaletteSize; ++v) {
        const COLORREF colour = ChartColour(uint8_t(v), kTrueColourDepth);
        palette[v] = (uint32_t(GetRValue(colour)) << kRedShift) | (uint32_t(GetGValue(colour)) << kGreenShift) |
                     GetBValue(colour);
    }
}
