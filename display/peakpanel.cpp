// The peak panel: a white box beside the graph area with "Peak Lv", the frequency of the
// strongest bin and its power, written in the DC's current font; and the texts it shows.
#include "display/display.h"

#include <cstdio>
#include <cstring>

namespace {

// 7 columns by 8 rows; texts at rows 0, 3 and 6 of the panel.
constexpr int kPanelColumns = 7, kPanelRows = 8;
constexpr int kPanelFrequencyRow = 3, kPanelPowerRow = 6;
constexpr int kPanelGapColumns = kGraphLeftCol + 1;   // x1: one column right of the graph area
constexpr int kPanelRightColumn = 74;                 // x2, right of the level panel
constexpr char kPeakLabel[] = "Peak Lv";
constexpr size_t kPanelTextSize = 32;

// Fewer decimals as the frequency grows, so the text keeps its width.
constexpr double kNoDecimalsFrom = 999.95, kOneDecimalFrom = 99.995, kTwoDecimalsFrom = 9.9995;

void PanelText(HDC dc, int x, int y, const char* text)
{
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

}  // namespace

bool FormatPeakFrequency(double hz, char* text, size_t size)
{
    const char* format = hz >= kNoDecimalsFrom ? "%5.0fHz" : hz >= kOneDecimalFrom ? "%5.1fHz"
                       : hz >= kTwoDecimalsFrom ? "%5.2fHz" : "%5.3fHz";
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

void DrawPeakPanel(HDC dc, const Layout& layout, double hz, double power)
{
    const POINT at = PeakPanelOrigin(layout.charWidth, layout.lineHeight);
    PatBlt(dc, at.x, at.y, layout.Col(kPanelColumns), layout.Row(kPanelRows), WHITENESS);
    PanelText(dc, at.x, at.y, kPeakLabel);
    char text[kPanelTextSize];
    if (FormatPeakFrequency(hz, text, sizeof text)) PanelText(dc, at.x, at.y + layout.Row(kPanelFrequencyRow), text);
    if (FormatPeakPower(power, text, sizeof text)) PanelText(dc, at.x, at.y + layout.Row(kPanelPowerRow), text);
}
