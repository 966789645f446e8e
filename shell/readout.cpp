// The cursor readout in the window: mouse moves over the graph area show what lies under the
// cursor in the peak panel's place, leaving the graph (or the window) brings the peak back.
// Only the panel is drawn; nothing is allocated per move.
#include "shell/mainwindow.h"
#include "display/display.h"
#include "resources/resource.h"
#include "texts/texts.h"

namespace {

constexpr int kLabelSize = 32;

// The graph pixel of client point (x, y); false outside the graph area.
bool GraphPoint(const Layout& layout, int x, int y, POINT* at)
{
    *at = {x - layout.Col(kGraphLeftCol), y - layout.Row(kGraphTopRow)};
    return at->x >= 0 && at->x < kGraphWidth && at->y >= 0 && at->y < kGraphHeight;
}

void DrawReadout(MainWindow& app, HDC dc)
{
    char label[kLabelSize];
    LoadText(IDS_READOUT_LABEL, label, sizeof label);
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    DrawReadoutPanel(dc, app.layout, app.cursor.readout, label);
    SelectObject(dc, previousFont);
}

// The readout's panel back to the window's background, with the kept peak where a block had one.
void ShowPeak(MainWindow& app)
{
    app.cursor.shown = false;
    HDC dc = GetDC(app.window);
    const RECT panel = ReadoutPanelRect(app.layout);
    FillRect(dc, &panel, reinterpret_cast<HBRUSH>(GetClassLongPtrA(app.window, GCLP_HBRBACKGROUND)));
    if (app.cursorMemory.HasPeak()) {
        HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
        DrawPeakPanel(dc, app.layout, app.cursorMemory.PeakFrequency(), app.cursorMemory.PeakPower());
        SelectObject(dc, previousFont);
    }
    ReleaseDC(app.window, dc);
}

// The readout at the cursor's graph pixel; false when there is nothing to read there.
bool ReadAt(MainWindow& app, POINT at)
{
    if (!app.cursorMemory.Kept()) return false;
    app.cursor.at = at;
    app.cursor.readout = ComputeReadout(app.cursorMemory.Source(), app.cursorMemory.View(), app.layout.Col(kGraphLeftCol),
                                        at.x, at.y);
    return app.cursor.readout.kind != ReadoutKind::kNone;
}

}  // namespace

void OnMouseMove(MainWindow& app, int x, int y)
{
    if (!app.cursor.tracking) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, app.window, 0};
        app.cursor.tracking = TrackMouseEvent(&track) != FALSE;
    }
    POINT at;
    if (GraphPoint(app.layout, x, y, &at) && ReadAt(app, at)) {
        app.cursor.shown = true;
        HDC dc = GetDC(app.window);
        DrawReadout(app, dc);
        ReleaseDC(app.window, dc);
        return;
    }
    if (app.cursor.shown) ShowPeak(app);
}

void OnMouseLeave(MainWindow& app)
{
    app.cursor.tracking = false;
    if (app.cursor.shown) ShowPeak(app);
}

void RefreshReadout(MainWindow& app, HDC dc)
{
    if (!app.cursor.shown) return;
    if (ReadAt(app, app.cursor.at)) DrawReadout(app, dc);
    else ShowPeak(app);
}

void ForgetChartRows(MainWindow& app)
{
    app.cursorMemory.ForgetChartRows();
}
