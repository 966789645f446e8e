// Drives the real program as its own process, as a user would, for scripts/run and for the
// end-to-end playback test:
//   playback_driver <TRILVO.EXE> <shot.bmp> <file.wav> [tone [rate]]
// starts the program with the file and /P, shows and answers any message box, waits until the run
// has ended, saves a picture of the window and closes the program. With "tone" (the file holds
// bin 93 of FFT length 4096 at its rate, 44100 Hz unless given, amplitude 32000 in every channel;
// the settings give deltatime 2048 and FFT length 4096) it switches to the linear spectrum view as
// soon as the run is under way and checks what the window shows at the end.
// Exit status 0 when every check passed.
#include "display/display.h"
#include "resources/resource.h"
#include "tests/support/playback_support.h"
#include "tools/drive.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr double kToneBin = 93, kFftLength = 4096;
constexpr unsigned long kDefaultRate = 44100;
// The part of the peak panel compared: its 7 columns, down to above the power line (row 6).
constexpr int kPanelColumns = 7, kPanelRowsAbovePower = 5;

int failures = 0;
HWND window = nullptr;
Layout layout;   // the program's layout units, measured as it measures them

void Check(bool ok, const char* what) { failures += Report(ok, what) ? 0 : 1; }

bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(window, id)) != FALSE; }

// The run has ended when the controls have been idle, with no message box, for a second. Each box
// (the program is the only one on its Wine server) has its text shown and is answered.
HWND answered = nullptr;
DWORD quietSince = 0;
bool RunOver()
{
    HWND box = FindWindowA("#32770", nullptr);
    char text[512] = {};
    if (box && box != answered && GetDlgItemTextA(box, 0xFFFF, text, sizeof text)) {
        std::printf("the program says: %s\n", text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        answered = box;
    }
    if (box || !Enabled(IDM_START) || Enabled(IDM_STOP)) quietSince = GetTickCount();
    return GetTickCount() - quietSince > 1000;
}

// The peak panel of the linear spectrum view names the tone's frequency; the (first) level bar
// shows the tone's amplitude: every segment but the full-scale one. (How the spectrum draws a
// tone's bin is proven by the analysis and display tests.)
void CheckTone(const MemoryCanvas& shot, double toneHz)
{
    MemoryCanvas expected;   // the panel for the tone's frequency, compared above its power line
    CreateCanvas(expected, shot.width, shot.height);
    SelectObject(expected.dc, GetStockObject(OEM_FIXED_FONT));
    DrawPeakPanel(expected.dc, layout, toneHz, 0.0);
    const POINT at = PeakPanelOrigin(layout.charWidth, layout.lineHeight);
    bool same = true;
    for (int y = at.y; y < at.y + layout.Row(kPanelRowsAbovePower); ++y)
        for (int x = at.x; x < at.x + layout.Col(kPanelColumns); ++x)
            same = same && PixelAt(expected, x, y) == PixelAt(shot, x, y);
    Check(same, "peak panel: the tone's frequency");
    Check(SegmentLit(window, layout, 15), "level bar: segment 15 lit");
    Check(!SegmentLit(window, layout, 16), "level bar: the full-scale segment dark");
}

}  // namespace

int main(int argc, char** argv)
{
    const bool tone = (argc == 5 || argc == 6) && std::strcmp(argv[4], "tone") == 0;
    if (argc != 4 && !tone) return 2;
    const double toneHz = kToneBin * (argc == 6 ? std::strtoul(argv[5], nullptr, 10) : kDefaultRate) / kFftLength;
    DrivenProgram program;
    if (!program.Start(argv[1], ("\"" + std::string(argv[3]) + "\" /P").c_str(), nullptr)) return 1;
    window = program.Window();
    // The layout units as the program measures them.
    TEXTMETRICA metrics = {};
    HDC screen = GetDC(nullptr);
    SelectObject(screen, GetStockObject(OEM_FIXED_FONT));
    GetTextMetricsA(screen, &metrics);
    ReleaseDC(nullptr, screen);
    layout = {int(metrics.tmAveCharWidth), int(metrics.tmAscent / 2)};

    if (tone) {
        Check(program.WaitForControl(IDM_STOP, true, kDriveBoundMs), "autoplay started a run");
        program.Command(IDM_VIEW_LINEAR_SPECTRUM);
    }
    quietSince = GetTickCount();
    PumpUntil(RunOver, 3600 * 1000);   // another process's windows are polled
    MemoryCanvas shot;
    Check(CaptureClient(window, shot), "window captured");
    if (tone) CheckTone(shot, toneHz);
    Check(SaveWindowPicture(window, false, argv[2]), "picture of the window saved");
    Check(program.Exit(), "program closed with exit status 0");
    return failures ? 1 : 0;
}
