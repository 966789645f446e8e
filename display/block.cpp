// One analysed block on screen: the level bars of its first two channels, then for a block with a
// view the peak panel of a spectrum view and the view's renderer.
#include "display/display.h"

namespace {

// Level bars: top row and height in rows.
constexpr int kMonoBarTopRow = 2, kMonoBarRows = 3;
constexpr int kLeftBarTopRow = 2, kRightBarTopRow = 4, kStereoBarRows = 1;

void DrawBars(HDC dc, const Layout& layout, const BlockResult& result)
{
    if (result.barCount == 2) {
        DrawLevelBar(dc, layout, result.peaks[0], layout.Row(kLeftBarTopRow), layout.Row(kStereoBarRows),
                     result.segmentUnit);
        DrawLevelBar(dc, layout, result.peaks[1], layout.Row(kRightBarTopRow), layout.Row(kStereoBarRows),
                     result.segmentUnit);
        return;
    }
    DrawLevelBar(dc, layout, result.peaks[0], layout.Row(kMonoBarTopRow), layout.Row(kMonoBarRows),
                 result.segmentUnit);
}

void DrawSpectrumView(HDC dc, const Layout& layout, const Settings& settings, const SourceFormat& format,
                      const BlockResult& result)
{
    if (result.hasPeak) DrawPeakPanel(dc, layout, result.peakFrequency, result.peakPower);
    switch (result.view) {
    case kViewLevelMeter:
        DrawBandLevels(dc, layout, ClampFftExponent(settings.fftExponent), result.bytes, result.count);
        break;
    case kViewLinearSpectrum: DrawLinearSpectrum(dc, layout, format.samplesPerSec, result.bytes, result.count); break;
    case kViewLogSpectrum: DrawLogSpectrum(dc, layout, format.samplesPerSec, result.bytes, result.count); break;
    case kViewChart: DrawChartRow(dc, layout, result.bytes, result.count); break;
    default: break;
    }
}

}  // namespace

void DrawBlockResult(HDC dc, const Layout& layout, const Settings& settings, const SourceFormat& format,
                     const BlockResult& result)
{
    if (!result.analysed) return;
    DrawBars(dc, layout, result);
    if (!result.hasView) return;
    if (result.view == kViewWaveform) DrawWaveform(dc, layout, result.bytes, result.count);
    else DrawSpectrumView(dc, layout, settings, format, result);
}
