// The labelled spectrogram: layout, axes, colour bar and title drawn with GDI on an 8-bit DIB
// section whose colour table is the plot's palette, then copied into a picture for the encoder.
#include "export/labelled.h"

#include <windows.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/analysis.h"
#include "core/types.h"
#include "export/csv.h"

namespace {

constexpr int kFontHeight = 12;             // pixels; Arial is on every Windows
const char kFontFace[] = "Arial";
constexpr int kTitleTop = 6;
constexpr int kMarginRight = 8;
constexpr int kTickLength = 4;
constexpr int kLabelGap = 2;                 // between a tick and its text
constexpr int kBarGap = 12, kBarWidth = 14;  // the colour bar right of the frame
constexpr int kBarLabelWidth = 40;
constexpr int kBottomMargin = kTickLength + kLabelGap + kFontHeight + 8;
constexpr int kMinFrequencyLabelSpacing = 3 * kFontHeight;
constexpr int kMinTimeLabelSpacing = 70;
constexpr int kTextBytes = 32;
constexpr COLORREF kInk = RGB(0, 0, 0), kPaper = RGB(255, 255, 255);
constexpr int kColourTableBytes = sizeof(BITMAPINFOHEADER) + kPaletteSize * sizeof(RGBQUAD);
constexpr double kHertzPerKilohertz = 1000.0;
constexpr double kOctaveReference = 1000.0;
constexpr double kDecibelStep = 10.0;
constexpr double kLowestDecibelTick = -200.0;
constexpr int kSecondsPerMinute = 60;
// Time steps between labels, seconds; the first that leaves room for its labels.
constexpr double kTimeSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200};
// Linear frequency steps within a decade.
constexpr double kFrequencySteps[] = {1, 2, 5};

// A memory DC with an 8-bit top-down DIB section of the palette selected, and the font.
class Canvas {
public:
    Canvas(int width, int height, const uint32_t* palette)
    {
        alignas(BITMAPINFO) unsigned char infoBytes[kColourTableBytes] = {};
        BITMAPINFO* info = reinterpret_cast<BITMAPINFO*>(infoBytes);
        info->bmiHeader.biSize = sizeof info->bmiHeader;
        info->bmiHeader.biWidth = width;
        info->bmiHeader.biHeight = -height;   // top row first
        info->bmiHeader.biPlanes = 1;
        info->bmiHeader.biBitCount = 8;
        info->bmiHeader.biCompression = BI_RGB;
        info->bmiHeader.biClrUsed = kPaletteSize;
        std::memcpy(info->bmiColors, palette, kPaletteSize * sizeof(RGBQUAD));   // 0x00RRGGBB is an RGBQUAD
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        if (dc_) bitmap_ = CreateDIBSection(dc_, info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap_) return;
        bits_ = static_cast<uint8_t*>(bits);
        previousBitmap_ = SelectObject(dc_, bitmap_);
        font_ = CreateFontA(-kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, VARIABLE_PITCH | FF_SWISS, kFontFace);
        if (font_) previousFont_ = SelectObject(dc_, font_);
        SetTextColor(dc_, kInk);
        SetBkMode(dc_, TRANSPARENT);
        stride_ = (width + 3) / 4 * 4;
    }
    ~Canvas()
    {
        if (previousFont_) SelectObject(dc_, previousFont_);
        if (font_) DeleteObject(font_);
        if (previousBitmap_) SelectObject(dc_, previousBitmap_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ready() const { return bits_ != nullptr; }
    HDC Dc() const { return dc_; }
    uint8_t* Bits() const { return bits_; }
    int Stride() const { return stride_; }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr, previousFont_ = nullptr;
    uint8_t* bits_ = nullptr;
    int stride_ = 0;
};

int TextWidth(HDC dc, const char* text)
{
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size);
    return size.cx;
}

void Line(HDC dc, int x0, int y0, int x1, int y1)
{
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

// Text aligned at `x` as `align` says (TA_LEFT or TA_RIGHT), centred on `y`.
void TextAt(HDC dc, int x, int y, const char* text, UINT align)
{
    SetTextAlign(dc, align | TA_TOP);
    TextOutA(dc, x, y - kFontHeight / 2 - 1, text, int(std::strlen(text)));
}

void FrequencyText(double hz, char* text, size_t size)
{
    if (hz >= kHertzPerKilohertz) {
        FormatNumber(text, size, "%gk", hz / kHertzPerKilohertz);
    } else {
        FormatNumber(text, size, "%.3g", hz);
    }
}

void TimeText(double seconds, bool minutes, char* text, size_t size)
{
    if (!minutes) {
        FormatNumber(text, size, "%.1f", seconds);
        return;
    }
    const long whole = long(std::floor(seconds + 0.5));
    std::snprintf(text, size, "%ld:%02ld", whole / kSecondsPerMinute, whole % kSecondsPerMinute);
}

struct PlotBox {
    int left, top, width, height;
    int Bottom() const { return top + height; }   // one below the last row
    int Right() const { return left + width; }
};

void FrequencyTick(HDC dc, const PlotBox& box, const FrequencyAxis& axis, double hz)
{
    const int y = box.Bottom() - int(std::lround(AxisPosition(axis, hz) * box.height));
    Line(dc, box.left - 1 - kTickLength, y, box.left - 1, y);
    char text[kTextBytes];
    FrequencyText(hz, text, sizeof text);
    TextAt(dc, box.left - 1 - kTickLength - kLabelGap, y, text, TA_RIGHT);
}

// Octaves of 1 kHz on a log axis (every other one where they would crowd), round steps on a
// linear one.
void DrawFrequencyAxis(HDC dc, const PlotBox& box, const FrequencyAxis& axis)
{
    if (axis.log) {
        const double rowsPerOctave = box.height * std::log(2.0) / std::log(axis.high / axis.low);
        const int every = std::max(1, int(std::ceil(kMinFrequencyLabelSpacing / std::max(rowsPerOctave, 1e-9))));
        const int firstOctave = int(std::ceil(std::log2(axis.low / kOctaveReference) - 1e-9));
        for (int octave = firstOctave; kOctaveReference * std::pow(2.0, octave) <= axis.high * (1 + 1e-9); ++octave) {
            if ((octave - firstOctave) % every == 0) FrequencyTick(dc, box, axis, kOctaveReference * std::pow(2.0, octave));
        }
        return;
    }
    const double span = axis.high - axis.low;
    const double most = std::max(1.0, double(box.height) / kMinFrequencyLabelSpacing);
    double step = 0.0;
    for (double decade = std::pow(10.0, std::floor(std::log10(span / most))); step == 0.0; decade *= 10.0) {
        for (double multiple : kFrequencySteps) {
            if (step == 0.0 && decade * multiple >= span / most) step = decade * multiple;
        }
    }
    for (double hz = std::ceil(axis.low / step - 1e-9) * step; hz <= axis.high * (1 + 1e-9); hz += step)
        FrequencyTick(dc, box, axis, hz);
}

void DrawTimeAxis(HDC dc, const PlotBox& box, const SpectrogramLabels& labels)
{
    const bool minutes = labels.totalSeconds >= kSecondsPerMinute;
    double step = kTimeSteps[sizeof kTimeSteps / sizeof kTimeSteps[0] - 1];
    for (double candidate : kTimeSteps) {
        if (candidate / labels.secondsPerColumn >= kMinTimeLabelSpacing && (minutes ? candidate >= 1 : true)) {
            step = candidate;
            break;
        }
    }
    const int y = box.Bottom() + 1;
    for (double t = 0.0; t / labels.secondsPerColumn <= box.width; t += step) {
        const int x = box.left + int(std::lround(t / labels.secondsPerColumn));
        Line(dc, x, y, x, y + kTickLength);
        char text[kTextBytes];
        TimeText(t, minutes, text, sizeof text);
        SetTextAlign(dc, TA_CENTER | TA_TOP);
        TextOutA(dc, x, y + kTickLength + kLabelGap, text, int(std::strlen(text)));
    }
}

// The display byte of a level on the spectrum CSV's dB scale.
uint8_t ByteOfDecibels(double db, const SpectrogramLabels& labels)
{
    const double reference = labels.sixteenBitScale ? kReferencePower16 : kReferencePower8;
    return SpectrumByte(reference * std::pow(10.0, db / 10.0), 1, 2, labels.sixteenBitScale, kSlopeWhite,
                        labels.amplitudeScale);
}

// The bar: byte 0 at the top to 255 at the bottom, framed, with a label at every 10 dB the
// bytes distinguish.
void DrawColourBar(HDC dc, uint8_t* bits, int stride, const PlotBox& box, const SpectrogramLabels& labels)
{
    const int left = box.Right() + 1 + kBarGap;
    for (int row = 0; row < box.height; ++row) {
        const uint8_t byte = uint8_t(box.height > 1 ? row * (kPaletteSize - 1) / (box.height - 1) : 0);
        std::memset(bits + size_t(box.top + row) * stride + left, byte, kBarWidth);
    }
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, left - 1, box.top - 1, left + kBarWidth + 1, box.Bottom() + 1);
    for (double db = 0.0; db >= kLowestDecibelTick; db -= kDecibelStep) {
        const int byte = ByteOfDecibels(db, labels);
        const bool edge = ByteOfDecibels(db - 1.0, labels) > byte;   // the top of the scale
        if (!edge && (byte <= 0 || byte >= kPaletteSize - 1)) continue;
        const int y = box.top + int(std::lround(double(byte) * (box.height - 1) / (kPaletteSize - 1)));
        Line(dc, left + kBarWidth + 1, y, left + kBarWidth + 1 + kTickLength, y);
        char text[kTextBytes];
        FormatNumber(text, sizeof text, "%.0f", db);
        TextAt(dc, left + kBarWidth + 1 + kTickLength + kLabelGap, y, text, TA_LEFT);
    }
    SetTextAlign(dc, TA_LEFT | TA_BOTTOM);
    TextOutA(dc, left, box.top - 2, labels.levelUnit, int(std::strlen(labels.levelUnit)));
}
}  // namespace

bool DrawLabelledSpectrogram(const Picture& plot, const SpectrogramLabels& labels, Picture* labelled)
{
    const PlotBox box = {kLabelledPlotLeft, kLabelledPlotTop, plot.Width(), plot.Height()};
    int width = box.Right() + 1 + kBarGap + kBarWidth + 1 + kTickLength + kLabelGap + kBarLabelWidth + kMarginRight;
    const int height = box.Bottom() + 1 + kBottomMargin;
    {
        // The title may ask for more room than the plot.
        Canvas measure(1, 1, plot.Palette());
        if (!measure.Ready()) return false;
        width = std::max(width, kLabelledPlotLeft + TextWidth(measure.Dc(), labels.title) + kMarginRight);
    }
    Canvas canvas(width, height, plot.Palette());
    if (!canvas.Ready()) return false;
    HDC dc = canvas.Dc();
    HBRUSH paper = CreateSolidBrush(kPaper);
    const RECT all = {0, 0, width, height};
    FillRect(dc, &all, paper);
    DeleteObject(paper);
    HPEN ink = CreatePen(PS_SOLID, 1, kInk);
    const HGDIOBJ previousPen = SelectObject(dc, ink);
    const HGDIOBJ previousBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, box.left - 1, box.top - 1, box.Right() + 1, box.Bottom() + 1);
    DrawFrequencyAxis(dc, box, labels.axis);
    DrawTimeAxis(dc, box, labels);
    GdiFlush();
    DrawColourBar(dc, canvas.Bits(), canvas.Stride(), box, labels);
    SetTextAlign(dc, TA_LEFT | TA_BOTTOM);
    TextOutA(dc, kMarginRight, box.top - 2, labels.frequencyUnit, int(std::strlen(labels.frequencyUnit)));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    TextOutA(dc, kLabelledPlotLeft, kTitleTop, labels.title, int(std::strlen(labels.title)));
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousPen);
    DeleteObject(ink);
    GdiFlush();
    for (int row = 0; row < box.height; ++row) {
        std::memcpy(canvas.Bits() + size_t(box.top + row) * canvas.Stride() + box.left,
                    plot.Bits() + size_t(row) * plot.Stride(), size_t(box.width));
    }
    if (!labelled->Allocate(width, height, true)) return false;
    std::memcpy(labelled->Palette(), plot.Palette(), kPaletteSize * sizeof(uint32_t));
    std::memcpy(labelled->Bits(), canvas.Bits(), size_t(canvas.Stride()) * height);
    return true;
}
