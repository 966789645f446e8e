// Takes the pictures of the README from the real program, run as its own process:
//   screenshot_driver views   <TRILVO.EXE> <file.wav> <folder>   each of the five views mid-run, then
//                                                                the cursor readout over a tone
//   screenshot_driver stereo  <TRILVO.EXE> <file.wav> <folder>   a stereo file's level bars and linear spectrum mid-run
//   screenshot_driver monitor <TRILVO.EXE> <folder>              the Monitor dialog, then monitoring
//   screenshot_driver dialogs <TRILVO.EXE> <file.wav> <folder>   the Options and Wave Information dialogs
// Each picture is saved as <folder>\<name>.bmp (the window with its caption and menu). A run is
// pictured while it plays: the program is left to play for a fixed time, then asked to handle
// everything pending, so the picture shows whole blocks. Exit status 0 when every step worked.
#include <cstdio>
#include <cstring>

#include "resources/resource.h"
#include "tools/drive.h"

namespace {

constexpr DWORD kRunMs = 4500;                   // mid-run: the sweep near 1.2 kHz, between the tones
constexpr DWORD kChartRunMs = 7500;              // the chart fills upwards block by block
constexpr DWORD kMonitorRunMs = 2500;
constexpr DWORD kPaintMs = 500;                  // a dialog just shown paints itself meanwhile
constexpr int kReadoutColumn = 58;               // the 2500 Hz tone's column at 44.1 kHz
constexpr int kReadoutRow = 128;
constexpr int kGraphLeftColumn = 1, kGraphTopRow = 13;   // the graph area in the window's units

struct ViewShot {
    int command;
    const char* name;
    DWORD runMs;
};
constexpr ViewShot kViewShots[] = {
    {IDM_VIEW_WAVEFORM, "view-waveform", kRunMs},
    {IDM_VIEW_LEVEL_METER, "view-level-meter", kRunMs},
    {IDM_VIEW_LINEAR_SPECTRUM, "view-linear-spectrum", kRunMs},
    {IDM_VIEW_LOG_SPECTRUM, "view-log-spectrum", kRunMs},
    {IDM_VIEW_CHART, "view-chart", kChartRunMs},
};

const char* folder = ".";
int failures = 0;

void Check(bool ok, const char* what) { failures += Report(ok, what) ? 0 : 1; }

// Whatever box the program shows when a step fails says why: printed, then answered.
void ShowAnyBox(const DrivenProgram& program)
{
    HWND box = program.WaitForDialog(0);
    char text[512] = {};
    if (!box || !GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof text)) return;
    std::printf("the program says: %s\n", text);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

void Save(HWND window, const char* name)
{
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s\\%s.bmp", folder, name);
    char what[MAX_PATH + 32];
    std::snprintf(what, sizeof what, "picture %s.bmp", name);
    Check(SaveWindowPicture(window, true, path), what);
}

// Starts a run, lets it play for `runMs`, pictures the window and stops the run.
void PictureRun(DrivenProgram& program, const char* name, DWORD runMs)
{
    Check(program.Command(IDM_START), "Start sent");
    const bool running = program.WaitForControl(IDM_STOP, true, kDriveBoundMs);
    Check(running, "run under way");
    if (!running) return ShowAnyBox(program);
    Sleep(runMs);
    Check(program.Settle(), "program answering");
    // A run that ended meanwhile (a device that stopped, say) would be pictured idle.
    const bool stillRunning = program.WaitForControl(IDM_STOP, true, 0);
    Check(stillRunning, "run still under way when pictured");
    if (!stillRunning) return ShowAnyBox(program);
    Save(program.Window(), name);
    Check(program.Command(IDM_STOP), "Stop sent");
    Check(program.WaitForControl(IDM_START, true, kDriveBoundMs), "run ended");
}

// Opens the modal dialog of `command`, pictures it and closes it with `answer`.
void PictureDialog(DrivenProgram& program, int command, const char* name, int answer)
{
    program.PostCommand(command);
    HWND dialog = program.WaitForDialog(kDriveBoundMs);
    Check(dialog != nullptr, "dialog shown");
    if (!dialog) return;
    Sleep(kPaintMs);
    Save(dialog, name);
    PostMessageA(dialog, WM_COMMAND, WPARAM(answer), 0);
    Check(program.WaitForNoDialog(kDriveBoundMs), "dialog closed");
}

// The client point of graph pixel (x, y): the window's units come from the fixed font, as the
// program measures them (one column its average width, one row half its ascent).
POINT GraphPoint(int x, int y)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return {kGraphLeftColumn * metrics.tmAveCharWidth + x, kGraphTopRow * (metrics.tmAscent / 2) + y};
}

// The linear spectrum mid-run with the pointer over the 2500 Hz tone: the real pointer is moved
// there (so the program's leave tracking sees it inside), and the move is posted as well.
void Readout(DrivenProgram& program)
{
    Check(program.Command(IDM_VIEW_LINEAR_SPECTRUM), "readout: linear spectrum view");
    Check(program.Command(IDM_START), "Start sent");
    Check(program.WaitForControl(IDM_STOP, true, kDriveBoundMs), "run under way");
    Sleep(kRunMs);
    POINT at = GraphPoint(kReadoutColumn, kReadoutRow);
    const LPARAM client = MAKELPARAM(at.x, at.y);
    ClientToScreen(program.Window(), &at);
    SetCursorPos(at.x, at.y);
    PostMessageA(program.Window(), WM_MOUSEMOVE, 0, client);
    Check(program.Settle(), "program answering");
    Save(program.Window(), "readout");
    Check(program.Command(IDM_STOP), "Stop sent");
    Check(program.WaitForControl(IDM_START, true, kDriveBoundMs), "run ended");
}

void Views(DrivenProgram& program)
{
    for (const ViewShot& shot : kViewShots) {
        Check(program.Command(shot.command), shot.name);
        PictureRun(program, shot.name, shot.runMs);
    }
    Readout(program);
}

void Stereo(DrivenProgram& program)
{
    Check(program.WaitForControl(IDM_STOP, true, kDriveBoundMs), "autoplay started a run");
    Check(program.Command(IDM_VIEW_LINEAR_SPECTRUM), "linear spectrum view");
    Sleep(kRunMs);
    Check(program.Settle(), "program answering");
    Save(program.Window(), "level-stereo");
    Check(program.Command(IDM_STOP), "Stop sent");
}

void Monitor(DrivenProgram& program)
{
    PictureDialog(program, IDM_MONITOR, "dialog-monitor", IDOK);
    Check(program.WaitForControl(IDM_START, true, kDriveBoundMs), "monitor chosen");
    Check(program.Command(IDM_VIEW_LOG_SPECTRUM), "log spectrum view");
    PictureRun(program, "monitor", kMonitorRunMs);
}

void Dialogs(DrivenProgram& program)
{
    PictureDialog(program, IDM_OPTIONS, "dialog-options", IDCANCEL);
    PictureDialog(program, IDM_INFO, "dialog-info", IDOK);
}

}  // namespace

int main(int argc, char** argv)
{
    const bool monitor = argc == 4 && std::strcmp(argv[1], "monitor") == 0;
    if (argc != 5 && !monitor) {
        std::fprintf(stderr, "usage: screenshot_driver views|stereo|dialogs <TRILVO.EXE> <file.wav> <folder>\n"
                             "       screenshot_driver monitor <TRILVO.EXE> <folder>\n");
        return 2;
    }
    const char* scene = argv[1];
    folder = argv[argc - 1];
    char arguments[MAX_PATH + 8] = "";
    if (!monitor)
        std::snprintf(arguments, sizeof arguments, "\"%s\"%s", argv[3], std::strcmp(scene, "stereo") == 0 ? " /P" : "");
    DrivenProgram program;
    if (!Report(program.Start(argv[2], arguments, nullptr), "program started")) return 1;
    if (std::strcmp(scene, "views") == 0) Views(program);
    else if (std::strcmp(scene, "stereo") == 0) Stereo(program);
    else if (monitor) Monitor(program);
    else if (std::strcmp(scene, "dialogs") == 0) Dialogs(program);
    else Check(false, "known scene");
    Check(program.Exit(), "program closed with exit status 0");
    return failures ? 1 : 0;
}
