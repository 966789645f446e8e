// The peak level bars of the level panel (17 segments per channel) and the grey display palette
// that the chart uses on 256-colour screens.
#include "display/display.h"

namespace {

constexpr int kLevelBarFirstCol = 37;        // segment positions count in half columns from here
constexpr int kPaletteEntries = 256;
constexpr WORD kPaletteVersion = 0x300;
// LOGPALETTE already holds one entry; the description has room for all 256 and a spare one.
constexpr SIZE_T kPaletteBytes = sizeof(LOGPALETTE) + kPaletteEntries * sizeof(PALETTEENTRY);
static_assert(kPaletteBytes == 1032, "palette description size");

struct SegmentColours {
    COLORREF lit;
    COLORREF dim;
};
constexpr SegmentColours kGreen = {RGB(0, 255, 0), RGB(0, 128, 0)};
constexpr SegmentColours kYellow = {RGB(255, 255, 0), RGB(128, 128, 0)};
constexpr SegmentColours kRed = {RGB(255, 0, 0), RGB(128, 0, 0)};
constexpr int kFirstYellowSegment = 8;
constexpr int kFirstRedSegment = 12;
constexpr int kFullScaleSegment = 16;

}  // namespace

uint32_t LevelSegmentThreshold(int segment, uint32_t unit)
{
    // The last segment lights only at full scale (16u - 1); unsigned, so it wraps as the
    // level comparison expects.
    const uint32_t s = static_cast<uint32_t>(segment);
    return segment == kFullScaleSegment ? s * unit - 2u : s * unit;
}

int LevelSegmentLeft(int segment, int charWidth)
{
    const int positionCode = 2 + 3 * segment;    // half columns: 1.5-column pitch
    return kLevelBarFirstCol * charWidth + positionCode * charWidth / 2;
}

COLORREF LevelSegmentColour(int segment, bool lit)
{
    const SegmentColours& colours =
        segment >= kFirstRedSegment ? kRed : segment >= kFirstYellowSegment ? kYellow : kGreen;
    return lit ? colours.lit : colours.dim;
}

void DrawLevelBar(HDC dc, const Layout& layout, uint32_t level, int top, int height, uint32_t segmentUnit)
{
    for (int s = 0; s < kLevelBarSegments; ++s) {
        const bool lit = LevelSegmentThreshold(s, segmentUnit) < level;
        HBRUSH brush = CreateSolidBrush(LevelSegmentColour(s, lit));
        HGDIOBJ previous = SelectObject(dc, brush);
        PatBlt(dc, LevelSegmentLeft(s, layout.charWidth), top, layout.Col(1), height, PATCOPY);
        SelectObject(dc, previous);
        DeleteObject(brush);
    }
}

HPALETTE CreateDisplayPalette()
{
    LOGPALETTE* description = static_cast<LOGPALETTE*>(LocalAlloc(LMEM_FIXED, kPaletteBytes));
    if (!description) return nullptr;
    description->palVersion = kPaletteVersion;
    description->palNumEntries = kPaletteEntries;
    PALETTEENTRY* entries = description->palPalEntry;   // room for all 256 was allocated
    for (int i = 0; i < kPaletteEntries; ++i) {
        const BYTE grey = static_cast<BYTE>(i);
        entries[i] = {grey, grey, grey, 0};
    }
    HPALETTE palette = CreatePalette(description);
    LocalFree(description);
    return palette;
}
