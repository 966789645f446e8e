// The cursor readout: the column, row, band or sample under the mouse in each view, mapped
// exactly as the renderers place bins, rows, bands and samples, with its level in dB and power.
#include "display/readout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/fft.h"
#include "display/display.h"

namespace {

constexpr int kBandFirstLeft = 20;            // client x of band 1's box, as the level meter draws it
constexpr int kBandPitch = 50;
constexpr int kBandSlotLead = 5;              // half the gap between two boxes belongs to each
constexpr double kMillisecondsPerSecond = 1000.0;

// The panel: the peak panel's origin, wide enough for "-109.2dB", four lines three rows apart.
constexpr int kReadoutColumns = 9, kReadoutRows = 12, kReadoutRowPitch = 3;

// The bin of the highest level the view draws among [first, end).
int StrongestBin(const ReadoutSource& s, BinRange bins)
{
    const int n = 2 * s.bins;
    int best = bins.first;
    double bestLevel = BinDecibels(s.power[best], best, n, s.sixteenBitScale, s.slopeReference);
    for (int k = bins.first + 1; k < bins.end; ++k) {
        const double level = BinDecibels(s.power[k], k, n, s.sixteenBitScale, s.slopeReference);
        if (level > bestLevel) {
            best = k;
            bestLevel = level;
        }
    }
    return best;
}

void SetLevel(const ReadoutSource& s, int bin, double power, Readout& readout)
{
    readout.hasLevel = true;
    readout.power = power;
    readout.decibels = BinDecibels(power, bin, PowerOfTwo(s.fftExponent), s.sixteenBitScale, s.slopeReference);
}

Readout SpectrumReadout(const ReadoutSource& s, bool logarithmic, int x)
{
    Readout readout;
    if (s.bins < (logarithmic ? 2 : 1)) return readout;
    readout.kind = ReadoutKind::kSpectrum;
    readout.frequency = logarithmic ? LogColumnFrequency(x, s.bins, s.samplesPerSec)
                                    : LinearColumnFrequency(x, s.samplesPerSec);
    const BinRange bins = logarithmic ? LogColumnBins(x, s.bins) : LinearColumnBins(x, s.bins);
    const int bin = StrongestBin(s, bins);
    SetLevel(s, bin, s.power[bin], readout);
    return readout;
}

Readout BandReadout(const ReadoutSource& s, int clientX)
{
    Readout readout;
    int first = 0, end = 0;
    const int band = BandAtClientX(clientX);
    if (s.bins < 1 || !BandBounds(band, s.bins, s.fftExponent, &first, &end) || first >= end) return readout;
    const double hzPerBin = double(s.samplesPerSec) / PowerOfTwo(s.fftExponent);
    readout.kind = ReadoutKind::kBand;
    readout.frequency = first * hzPerBin;
    readout.upperFrequency = end * hzPerBin;
    const int bin = StrongestBin(s, {first, end});
    SetLevel(s, bin, s.power[bin], readout);
    return readout;
}

// The chart draws bin i over columns i w .. i w + w - 1 (w = 1 beyond 512 bins), the newest row
// at the bottom and each older one a row higher.
Readout ChartReadout(const ReadoutSource& s, int x, int y)
{
    Readout readout;
    const int m = PowerOfTwo(s.fftExponent) / 2;
    if (s.chartCells < 1 || m < 1) return readout;
    const int width = m > kChartMaxBins ? 1 : kGraphWidth / m;
    const int bin = x / width;
    if (bin >= s.chartCells) return readout;
    readout.kind = ReadoutKind::kChart;
    readout.frequency = double(bin) * s.samplesPerSec / (2.0 * m);
    const int age = kChartRows - 1 - y;
    if (age >= s.rowCount) return readout;
    const int row = (s.newestRow - age + kChartRows) % kChartRows;
    readout.seconds = s.rowSeconds[s.newestRow] - s.rowSeconds[row];
    SetLevel(s, bin, s.chartPower[row * s.chartCells + bin], readout);
    return readout;
}

Readout WaveformReadout(const ReadoutSource& s, int x)
{
    Readout readout;
    if (x >= s.sampleCount || s.samplesPerSec == 0) return readout;
    readout.kind = ReadoutKind::kWaveform;
    readout.milliseconds = x * kMillisecondsPerSecond / s.samplesPerSec;
    readout.sample = s.samples[x];
    return readout;
}

bool Print(char* text, const char* format, double value)
{
    const int length = std::snprintf(text, kReadoutTextSize, format, value);
    return length >= 0 && size_t(length) < kReadoutTextSize;
}

void PanelLine(HDC dc, POINT at, int row, const char* text)
{
    TextOutA(dc, at.x, at.y + row, text, static_cast<int>(std::strlen(text)));
}

}  // namespace

double LinearColumnFrequency(int x, uint32_t samplesPerSec)
{
    return x * (samplesPerSec / 2.0) / kGraphWidth;
}

double LogColumnFrequency(int x, int m, uint32_t samplesPerSec)
{
    // Bin position b lies at 512 ln b / ln m: column x starts at b = m^(x/512), b x rate / 2m Hz.
    return std::pow(double(m), double(x) / kGraphWidth) * samplesPerSec / (2.0 * m);
}

BinRange LinearColumnBins(int x, int m)
{
    // The renderer places bin k at k p / b (p pixels per bin, b bins per column).
    const int binsPerColumn = std::max(m / kGraphWidth, 1);
    const int pixelsPerBin = std::max(kGraphWidth / m, 1);
    const int first = std::min(x * binsPerColumn / pixelsPerBin, m - 1);
    const int end = std::min(std::max(first + 1, (x + 1) * binsPerColumn / pixelsPerBin), m);
    return {first, end};
}

BinRange LogColumnBins(int x, int m)
{
    // Bins 1 .. m-1 at trunc(LogAxisPosition), as the renderer places them; the scan starts
    // safely left of the column and checks each bin with the renderer's own position.
    const auto column = [m](int k) { return static_cast<int>(LogAxisPosition(k, m)); };
    int k = std::max(1, static_cast<int>(std::pow(double(m), double(x) / kGraphWidth)) - 2);
    int left = 1;
    for (; k < m && column(k) < x; ++k) left = k;
    if (k >= m || column(k) > x) return {left, left + 1};
    const int first = k;
    while (k < m && column(k) == x) ++k;
    return {first, k};
}

int BandAtClientX(int clientX)
{
    const int offset = clientX - (kBandFirstLeft - kBandSlotLead);
    if (offset < 0) return 0;
    const int band = offset / kBandPitch + 1;
    return band <= kBandCount ? band : 0;
}

Readout ComputeReadout(const ReadoutSource& source, ViewMode view, int graphLeft, int x, int y)
{
    if (x < 0 || x >= kGraphWidth || y < 0 || y >= kGraphHeight || source.fftExponent < 1) return {};
    switch (view) {
    case kViewWaveform: return WaveformReadout(source, x);
    case kViewLevelMeter: return BandReadout(source, graphLeft + x);
    case kViewLinearSpectrum: return SpectrumReadout(source, false, x);
    case kViewLogSpectrum: return SpectrumReadout(source, true, x);
    case kViewChart: return ChartReadout(source, x, y);
    }
    return {};
}

bool FormatReadout(const Readout& readout, char lines[kReadoutLines][kReadoutTextSize])
{
    for (int i = 0; i < kReadoutLines; ++i) lines[i][0] = '\0';
    const bool level = readout.hasLevel;
    switch (readout.kind) {
    case ReadoutKind::kSpectrum:
        FormatPeakFrequency(readout.frequency, lines[0], kReadoutTextSize);
        if (level) Print(lines[1], "%6.1fdB", readout.decibels);
        if (level) FormatPeakPower(readout.power, lines[2], kReadoutTextSize);
        return true;
    case ReadoutKind::kChart:
        FormatPeakFrequency(readout.frequency, lines[0], kReadoutTextSize);
        if (level) Print(lines[1], "%6.2fs", readout.seconds);
        if (level) Print(lines[2], "%6.1fdB", readout.decibels);
        return true;
    case ReadoutKind::kBand:
        FormatPeakFrequency(readout.frequency, lines[0], kReadoutTextSize);
        FormatPeakFrequency(readout.upperFrequency, lines[1], kReadoutTextSize);
        if (level) Print(lines[2], "%6.1fdB", readout.decibels);
        return true;
    case ReadoutKind::kWaveform:
        Print(lines[0], "%6.2fms", readout.milliseconds);
        Print(lines[1], "%6.0f", double(readout.sample));
        return true;
    case ReadoutKind::kNone: break;
    }
    return false;
}

RECT ReadoutPanelRect(const Layout& layout)
{
    const POINT at = PeakPanelOrigin(layout.charWidth, layout.lineHeight);
    return {at.x, at.y, at.x + layout.Col(kReadoutColumns), at.y + layout.Row(kReadoutRows)};
}

void DrawReadoutPanel(HDC dc, const Layout& layout, const Readout& readout, const char* label)
{
    const RECT panel = ReadoutPanelRect(layout);
    PatBlt(dc, panel.left, panel.top, panel.right - panel.left, panel.bottom - panel.top, WHITENESS);
    const POINT at = {panel.left, panel.top};
    PanelLine(dc, at, 0, label);
    char lines[kReadoutLines][kReadoutTextSize];
    if (!FormatReadout(readout, lines)) return;
    for (int i = 0; i < kReadoutLines; ++i) PanelLine(dc, at, layout.Row((i + 1) * kReadoutRowPitch), lines[i]);
}

// ---- CursorMemory ----

void CursorMemory::FreeDeleter::operator()(void* p) const
{
    std::free(p);
}

namespace {
template <typename T>
bool Reserve(std::unique_ptr<T, CursorMemory::FreeDeleter>& array, size_t count)
{
    if (array) return true;
    array.reset(static_cast<T*>(std::malloc(sizeof(T) * count)));
    return bool(array);
}
}  // namespace

bool CursorMemory::Prepare(int fftExponent)
{
    Forget();
    const int bins = PowerOfTwo(ClampFftExponent(fftExponent)) / 2;
    if (bins > binCapacity_) {
        power_.reset();
        binCapacity_ = 0;
        if (!Reserve(power_, size_t(bins))) return false;
        binCapacity_ = bins;
    }
    return Reserve(chartPower_, size_t(kChartRows) * kChartMaxBins) && Reserve(rowSeconds_, kChartRows) &&
           Reserve(samples_, kWaveformMaxBytes);
}

void CursorMemory::Forget()
{
    kept_ = false;
    hasPeak_ = false;
    rowCount_ = 0;
    source_ = ReadoutSource();
}

void CursorMemory::Keep(const BlockResult& result, const double* re, const double* im, const uint8_t* block,
                        int32_t byteCount, const SourceFormat& format, const Settings& settings, double startSeconds)
{
    if (!result.analysed || !samples_ || !chartPower_ || !rowSeconds_) return;
    ReadoutSource& s = source_;
    s.samplesPerSec = format.samplesPerSec;
    s.fftExponent = ClampFftExponent(settings.fftExponent);
    s.slopeReference = settings.slopeReference;
    s.sixteenBitScale = format.Encoding() != SampleEncoding::kUnsigned8;
    s.sampleCount = WaveformValues(block, byteCount, format, samples_.get(), kWaveformMaxBytes);
    s.bins = 0;
    const int bins = PowerOfTwo(s.fftExponent) / 2;
    if (result.hasPeak && bins <= binCapacity_) {
        double* power = power_.get();
        for (int k = 0; k < bins; ++k) power[k] = re[k] * re[k] + im[k] * im[k];
        s.bins = bins;
        hasPeak_ = true;
        peakFrequency_ = result.peakFrequency;
        peakPower_ = result.peakPower;
        if (result.view == kViewChart) KeepChartRow(startSeconds);
    }
    view_ = result.hasView ? result.view : view_;
    kept_ = true;
}

void CursorMemory::KeepChartRow(double startSeconds)
{
    const int cells = std::min(source_.bins, kChartMaxBins);
    if (cells != source_.chartCells) rowCount_ = 0;   // rows of another length are not this chart's
    source_.chartCells = cells;
    newestRow_ = (newestRow_ + 1) % kChartRows;
    float* row = chartPower_.get() + size_t(newestRow_) * cells;
    for (int k = 0; k < cells; ++k) row[k] = static_cast<float>(power_.get()[k]);
    rowSeconds_.get()[newestRow_] = startSeconds;
    rowCount_ = std::min(rowCount_ + 1, kChartRows);
}

ReadoutSource CursorMemory::Source() const
{
    ReadoutSource s = source_;
    s.power = power_.get();
    s.samples = samples_.get();
    s.chartPower = chartPower_.get();
    s.rowSeconds = rowSeconds_.get();
    s.newestRow = newestRow_;
    s.rowCount = rowCount_;
    return s;
}
