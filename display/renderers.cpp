// The five renderers: each draws one block's display bytes into the graph area. The pictures
// are pixel for pixel those of drawing every sample and bin with its own call; the spectra
// batch their calls (one fill per pixel column, one polyline) so that the largest FFT sizes
// draw well within one block's playing time.
#include "display/display.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr COLORREF kGridYellow = RGB(255, 255, 0);
constexpr int kBandFirstLeft = 20;               // client x, not an offset from the graph area
constexpr int kBandPitch = 50;
constexpr int kBandWidth = 40;
constexpr int kBand1MinExponent = 11, kBand2MinExponent = 10;
constexpr int kChartRampDepth = 4;
constexpr int kPaletteDepth = 8;
constexpr int kPolylineCapacity = 4096;          // points per PolylineTo call

constexpr std::array<COLORREF, 8> kChartRamp = {
    RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255), RGB(0, 255, 0),
    RGB(255, 0, 255),   RGB(255, 0, 0),   RGB(0, 0, 255),   RGB(0, 0, 0),
};

// The graph area's top left corner in client pixels.
struct GraphOrigin {
    int left;
    int top;
};
GraphOrigin OriginOf(const Layout& layout)
{
    return {layout.Col(kGraphLeftCol), layout.Row(kGraphTopRow)};
}

void ClearGraph(HDC dc, GraphOrigin graph)
{
    PatBlt(dc, graph.left, graph.top, kGraphWidth, kGraphHeight, WHITENESS);
}

// Vertical grid line at client x, from one row below the graph area up to (not including) its
// top row, as a line drawn upward with the end point left out.
void GridLine(HDC dc, GraphOrigin graph, int x)
{
    MoveToEx(dc, x, graph.top + kGraphHeight, nullptr);
    LineTo(dc, x, graph.top);
}

// The grid lines stand at the linear labels' positions, drawn from the highest down.
void LinearGrid(HDC dc, GraphOrigin graph, uint32_t samplesPerSec)
{
    const LinearAxis axis = LinearAxisFor(samplesPerSec);
    HPEN pen = CreatePen(PS_SOLID, 0, kGridYellow);
    HGDIOBJ previous = SelectObject(dc, pen);
    for (int i = kLinearLabelCount - 1; i >= 0; --i) GridLine(dc, graph, graph.left + axis.positions[i]);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

void LogGrid(HDC dc, GraphOrigin graph, int m, uint32_t samplesPerSec)
{
    LogOctave octaves[kMaxLogOctaves];
    const int n = LogAxisOctaves(m, samplesPerSec, octaves, kMaxLogOctaves);
    HPEN pen = CreatePen(PS_SOLID, 0, kGridYellow);
    HGDIOBJ previous = SelectObject(dc, pen);
    for (int i = 0; i < n; ++i) GridLine(dc, graph, static_cast<int>(graph.left + octaves[i].position));
    SelectObject(dc, previous);
    DeleteObject(pen);
}

// Points of one polyline from the current position, drawn with as few PolylineTo calls as the
// array allows (one for every FFT size). Lives on the drawing call's stack.
struct PolylineBatch {
    HDC dc;
    int count;
    POINT points[kPolylineCapacity];
};

void FlushPolyline(PolylineBatch& line)
{
    if (line.count > 0) PolylineTo(line.dc, line.points, line.count);
    line.count = 0;
}

// Adds a point unless it repeats the previous one (a zero-length segment draws nothing).
void AddPoint(PolylineBatch& line, int x, int y)
{
    if (line.count > 0 && line.points[line.count - 1].x == x && line.points[line.count - 1].y == y) return;
    if (line.count == kPolylineCapacity) FlushPolyline(line);
    line.points[line.count++] = {x, y};
}

// Black column from display byte v down to the bottom of the graph area.
void BinColumn(HDC dc, GraphOrigin graph, int x, int v)
{
    PatBlt(dc, x, graph.top + v, 1, kGraphHeight - v, BLACKNESS);
}

// The client column of bin k on the logarithmic axis whose graph starts at client x `left`.
int LogColumnOf(double left, int k, int m)
{
    return static_cast<int>(left + LogAxisPosition(k, m));
}

// The first bin right of `column`, where bin `first` lies: guessed from the axis's inverse, then
// settled with the axis itself (which only grows with the bin), so a column costs a few
// logarithms rather than one for each of its bins.
int LogColumnEnd(double left, int first, int column, int m)
{
    const double guess = std::ceil(std::pow(double(m), (column + 1 - left) / kGraphWidth));
    int end = static_cast<int>(std::min(std::max(guess, double(first + 1)), double(m)));
    while (end < m && LogColumnOf(left, end, m) <= column) ++end;
    while (end - 1 > first && LogColumnOf(left, end - 1, m) > column) --end;
    return end;
}

}  // namespace

bool BandBounds(int band, int m, int fftExponent, int* first, int* end)
{
    if (band < 1 || band > kBandCount) return false;
    // Too few bins for the lowest octaves at the smaller FFT lengths.
    if (band == 1 && fftExponent < kBand1MinExponent) return false;
    if (band == 2 && fftExponent < kBand2MinExponent) return false;
    *first = m / (1 << (kBandCount + 1 - band));
    *end = m / (1 << (kBandCount - band));
    return true;
}

COLORREF ChartColour(uint8_t v, int colourDepth)
{
    if (colourDepth == kChartRampDepth) return kChartRamp[v >> 5];
    const BYTE grey = static_cast<BYTE>(255 - v);
    return PALETTERGB(grey, grey, grey);
}

void DrawWaveform(HDC dc, const Layout& layout, const uint8_t* bytes, int32_t count)
{
    const GraphOrigin graph = OriginOf(layout);
    const int n = std::min<int32_t>(count, kGraphWidth);
    ClearGraph(dc, graph);
    if (n < 1) return;
    MoveToEx(dc, graph.left, graph.top + bytes[0], nullptr);
    for (int i = 1; i < n; ++i) LineTo(dc, graph.left + i, graph.top + bytes[i]);
}

void DrawBandLevels(HDC dc, const Layout& layout, int fftExponent, const uint8_t* bytes, int32_t count)
{
    const GraphOrigin graph = OriginOf(layout);
    ClearGraph(dc, graph);
    for (int k = 1; k <= kBandCount; ++k) {
        int first = 0, end = 0;
        if (!BandBounds(k, count, fftExponent, &first, &end)) continue;
        double v = 255.0;
        for (int i = std::max(first, 0); i < end; ++i) v = std::min(v, static_cast<double>(bytes[i]));
        PatBlt(dc, kBandFirstLeft + kBandPitch * (k - 1), static_cast<int>(graph.top + v), kBandWidth,
               static_cast<int>(kGraphHeight - v), BLACKNESS);
    }
}

void DrawLinearSpectrum(HDC dc, const Layout& layout, uint32_t samplesPerSec, const uint8_t* bytes, int32_t count)
{
    const GraphOrigin graph = OriginOf(layout);
    const int m = count;
    const int binsPerColumn = std::max(m / kGraphWidth, 1);
    const int pixelsPerBin = std::max(m > 0 ? kGraphWidth / m : 0, 1);
    ClearGraph(dc, graph);
    LinearGrid(dc, graph, samplesPerSec);
    if (m < 1) return;

    // Where several bins share a pixel column, the segments between them cover exactly the
    // span from their smallest to their largest byte, and the joins to the neighbouring
    // columns leave from the first bin and arrive at the last. So first, smallest, largest and
    // last draw the same pixels as every bin; only the final column, whose very last end point
    // is left out, keeps all its bins.
    PolylineBatch line;
    line.dc = dc;
    line.count = 0;
    const int left = graph.left, top = graph.top;
    MoveToEx(dc, left, top + bytes[0], nullptr);
    for (int first = 0; first < m;) {
        const int x = left + first * pixelsPerBin / binsPerColumn;
        int end = first + 1, smallest = bytes[first], largest = bytes[first];
        for (; end < m && left + end * pixelsPerBin / binsPerColumn == x; ++end) {
            smallest = std::min<int>(smallest, bytes[end]);
            largest = std::max<int>(largest, bytes[end]);
        }
        if (first > 0) AddPoint(line, x, top + bytes[first]);
        if (end == m) {
            for (int i = first + 1; i < m; ++i) AddPoint(line, x, top + bytes[i]);
        } else {
            AddPoint(line, x, top + smallest);
            AddPoint(line, x, top + largest);
            AddPoint(line, x, top + bytes[end - 1]);
        }
        first = end;
    }
    FlushPolyline(line);
}

void DrawLogSpectrum(HDC dc, const Layout& layout, uint32_t samplesPerSec, const uint8_t* bytes, int32_t count)
{
    const GraphOrigin graph = OriginOf(layout);
    const int m = count;
    ClearGraph(dc, graph);
    if (m < 2) return;                           // no logarithmic axis below two bins
    LogGrid(dc, graph, m, samplesPerSec);

    // Bin 0 (DC) has no place on the axis. Bins sharing a pixel column are drawn as one fill
    // from the smallest byte, which is what drawing each of them would leave.
    const double left = graph.left;
    for (int first = 1; first < m;) {
        const int column = LogColumnOf(left, first, m);
        const int end = LogColumnEnd(left, first, column, m);
        BinColumn(dc, graph, column, *std::min_element(bytes + first, bytes + end));
        first = end;
    }
}

void DrawChartRow(HDC dc, const Layout& layout, const uint8_t* bytes, int32_t count)
{
    const GraphOrigin graph = OriginOf(layout);
    const int n = std::min<int32_t>(count, kChartMaxBins);
    const int width = count > kChartMaxBins ? 1 : kGraphWidth / std::max<int32_t>(count, 1);
    const int left = graph.left, top = graph.top;
    BitBlt(dc, left, top, kGraphWidth, kGraphHeight - 1, dc, left, top + 1, SRCCOPY);

    // Without a display palette (its creation failed) the greys use the DC's own palette.
    HPALETTE previous = nullptr;
    if (layout.colourDepth == kPaletteDepth && layout.palette) {
        previous = SelectPalette(dc, layout.palette, FALSE);
        RealizePalette(dc);
    }
    const int bottom = top + kGraphHeight - 1;
    for (int i = 0; i < n; ++i) {
        const COLORREF colour = ChartColour(bytes[i], layout.colourDepth);
        for (int j = 0; j < width; ++j) SetPixelV(dc, left + i * width + j, bottom, colour);
    }
    if (previous) SelectPalette(dc, previous, FALSE);
}
