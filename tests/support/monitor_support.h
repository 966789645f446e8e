// Test support for monitoring: driving the Monitor dialog from its own modal loop, a tone played
// into the sound output (which the input records back), a log of the MM_WIM_DATA messages the
// main window receives, and status-line text compared pixel for pixel.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>
#include <string>
#include <vector>

// ---- The Monitor dialog ----
// What the dialog shows: the checked button of each radio group (0: none) and which controls
// are enabled (indexed by control id 105 to 114).
struct MonitorDialogView {
    int rateButton = 0;
    int channelButton = 0;
    int widthButton = 0;
    bool enabled[115] = {};
};
MonitorDialogView ReadMonitorDialog(HWND dialog);

// Runs `script` once on the Monitor dialog as soon as it is shown (a thread timer dispatched by
// the dialog's modal loop). Arm before the command that shows the dialog, disarm after it.
// A dialog still open 10 s after the script ran is ended with -2 and reported.
using MonitorDialogScript = void (*)(HWND dialog, void* context);
void ArmMonitorDialogScript(MonitorDialogScript script, void* context);
struct MonitorDialogOutcome {
    bool scriptRan = false;
    bool forcedClosed = false;
};
MonitorDialogOutcome DisarmMonitorDialogScript();
// Clicks a button of the dialog as the user would (BM_CLICK: checks a radio, notifies the dialog).
void ClickDialogButton(HWND dialog, int id);

// Chooses the monitor through the real Monitor command with a dialog script that clicks the
// buttons of `rate` and `bits` and presses OK. Returns the dialog outcome.
MonitorDialogOutcome ChooseMonitorFormat(uint32_t rate, uint16_t bits);

// ---- A tone into the sound output ----
// Plays a sine of `frequency` Hz at `amplitude` (fraction of full scale), 44100 Hz 16-bit mono,
// for `seconds`, through the wave output mapper without notifications.
struct Tone {
    HWAVEOUT device = nullptr;
    WAVEHDR header = {};
    std::vector<int16_t> samples;
};
bool StartTone(Tone& tone, double frequency, double amplitude, double seconds);
void StopTone(Tone& tone);

// ---- MM_WIM_DATA log ----
// Every MM_WIM_DATA retrieved for the main window, with the bytes its header reported then.
struct InputMessage {
    WAVEHDR* header;
    DWORD bytesRecorded;
    DWORD bufferLength;
};
void BeginInputLog();
void EndInputLog();
const std::vector<InputMessage>& InputLog();
// Pumps until at least `count` messages are logged (bounded); returns whether they came.
bool PumpUntilInputMessages(size_t count, DWORD timeoutMs);

// ---- Status texts ----
// True when the main window shows `text` in the OEM fixed font, black on white, at (x, y):
// the window's pixels equal those of the same text drawn into a memory canvas.
bool WindowShowsText(int x, int y, const char* text, std::string* why = nullptr);
// Covers the rectangle with white, as if the text had never been drawn.
void WipeWindowRect(int x, int y, int width, int height);
// Whether level-bar segment `segment` of the mono bar is drawn in a lit colour.
bool LevelSegmentLit(int segment);
int LitLevelSegments();
