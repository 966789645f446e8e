// Test support for monitoring: a dialog script run from the dialog's own modal loop, a tone on
// the sound output, a log of MM_WIM_DATA messages and pixel comparison of status texts.
#include "tests/support/monitor_support.h"
#include "tests/support/support.h"

#include "shell/globals.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kFirstDialogId = 105;
constexpr int kLastDialogId = 114;
constexpr DWORD kScriptTickMs = 20;
constexpr DWORD kOverdueMs = 10000;

// ---- dialog script ----
MonitorDialogScript armedScript = nullptr;
void* armedContext = nullptr;
UINT_PTR scriptTimer = 0;
bool scriptBusy = false;
DWORD scriptRanAt = 0;
MonitorDialogOutcome outcome;

BOOL CALLBACK FindMonitorDialog(HWND window, LPARAM found)
{
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && GetDlgItem(window, 106) && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND ShownMonitorDialog()
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindMonitorDialog, reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (scriptBusy) return;                 // a message box inside the script runs this loop too
    HWND dialog = ShownMonitorDialog();
    if (!dialog) return;
    if (!outcome.scriptRan) {
        scriptBusy = true;
        outcome.scriptRan = true;
        scriptRanAt = GetTickCount();
        if (armedScript) armedScript(dialog, armedContext);
        scriptBusy = false;
    } else if (GetTickCount() - scriptRanAt > kOverdueMs) {
        outcome.forcedClosed = true;
        EndDialog(dialog, -2);
    }
}

struct FormatChoice {
    uint32_t rate;
    uint16_t bits;
};

void ClickFormatAndOk(HWND dialog, void* context)
{
    const FormatChoice* choice = static_cast<const FormatChoice*>(context);
    const int rateId = choice->rate == 44100 ? 106 : choice->rate == 22050 ? 107 : 108;
    ClickDialogButton(dialog, rateId);
    ClickDialogButton(dialog, choice->bits == 16 ? 113 : 114);
    ClickDialogButton(dialog, IDOK);
}

// ---- input log ----
HHOOK inputHook = nullptr;
std::vector<InputMessage> inputLog;

LRESULT CALLBACK InputHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message == MM_WIM_DATA && msg->hwnd == app.mainWindow) {
            WAVEHDR* header = reinterpret_cast<WAVEHDR*>(msg->lParam);
            inputLog.push_back({header, header->dwBytesRecorded, header->dwBufferLength});
        }
    }
    return CallNextHookEx(inputHook, code, wParam, lParam);
}

struct LogTarget {
    size_t count;
};
bool LogReached(void* context) { return inputLog.size() >= static_cast<LogTarget*>(context)->count; }

}  // namespace

MonitorDialogView ReadMonitorDialog(HWND dialog)
{
    MonitorDialogView view;
    for (int id : {106, 107, 108})
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) view.rateButton = id;
    for (int id : {110, 111})
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) view.channelButton = id;
    for (int id : {113, 114})
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) view.widthButton = id;
    for (int id = kFirstDialogId; id <= kLastDialogId; ++id)
        view.enabled[id] = IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
    return view;
}

void ArmMonitorDialogScript(MonitorDialogScript script, void* context)
{
    armedScript = script;
    armedContext = context;
    outcome = MonitorDialogOutcome();
    scriptBusy = false;
    scriptTimer = SetTimer(nullptr, 0, kScriptTickMs, ScriptTick);
}

MonitorDialogOutcome DisarmMonitorDialogScript()
{
    if (scriptTimer) KillTimer(nullptr, scriptTimer);
    scriptTimer = 0;
    armedScript = nullptr;
    return outcome;
}

void ClickDialogButton(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

MonitorDialogOutcome ChooseMonitorFormat(uint32_t rate, uint16_t bits)
{
    FormatChoice choice = {rate, bits};
    ArmMonitorDialogScript(ClickFormatAndOk, &choice);
    SendMessageA(app.mainWindow, WM_COMMAND, MAKEWPARAM(kCmdMonitor, 0), 0);
    return DisarmMonitorDialogScript();
}

bool StartTone(Tone& tone, double frequency, double amplitude, double seconds)
{
    constexpr double kRate = 44100.0;
    const size_t count = static_cast<size_t>(seconds * kRate);
    tone.samples.resize(count);
    const double pi = std::acos(-1.0);
    for (size_t i = 0; i < count; ++i)
        tone.samples[i] = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(2.0 * pi * frequency * double(i) / kRate)));
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = 88200;
    if (waveOutOpen(&tone.device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        tone.device = nullptr;
        return false;
    }
    tone.header = WAVEHDR();
    tone.header.lpData = reinterpret_cast<LPSTR>(tone.samples.data());
    tone.header.dwBufferLength = static_cast<DWORD>(count * sizeof(int16_t));
    if (waveOutPrepareHeader(tone.device, &tone.header, sizeof tone.header) != MMSYSERR_NOERROR) return false;
    return waveOutWrite(tone.device, &tone.header, sizeof tone.header) == MMSYSERR_NOERROR;
}

void StopTone(Tone& tone)
{
    if (!tone.device) return;
    waveOutReset(tone.device);
    waveOutUnprepareHeader(tone.device, &tone.header, sizeof tone.header);
    waveOutClose(tone.device);
    tone.device = nullptr;
}

void BeginInputLog()
{
    inputLog.clear();
    if (!inputHook) inputHook = SetWindowsHookExA(WH_GETMESSAGE, InputHook, nullptr, GetCurrentThreadId());
}

void EndInputLog()
{
    if (inputHook) UnhookWindowsHookEx(inputHook);
    inputHook = nullptr;
}

const std::vector<InputMessage>& InputLog() { return inputLog; }

bool PumpUntilInputMessages(size_t count, DWORD timeoutMs)
{
    LogTarget target = {count};
    return PumpUntil(LogReached, &target, timeoutMs);
}

bool WindowShowsText(int x, int y, const char* text, std::string* why)
{
    const int length = static_cast<int>(std::strlen(text));
    HDC windowDc = GetDC(app.mainWindow);
    HGDIOBJ oldFont = SelectObject(windowDc, GetStockObject(OEM_FIXED_FONT));
    SIZE size = {};
    GetTextExtentPoint32A(windowDc, text, length, &size);
    SelectObject(windowDc, oldFont);

    MemoryCanvas expected, actual;
    bool same = CreateCanvas(expected, size.cx, size.cy) && CreateCanvas(actual, size.cx, size.cy, 0);
    if (same) {
        SelectObject(expected.dc, GetStockObject(OEM_FIXED_FONT));
        SetTextColor(expected.dc, RGB(0, 0, 0));
        SetBkColor(expected.dc, RGB(255, 255, 255));
        SetBkMode(expected.dc, OPAQUE);
        TextOutA(expected.dc, 0, 0, text, length);
        BitBlt(actual.dc, 0, 0, size.cx, size.cy, windowDc, x, y, SRCCOPY);
        for (int py = 0; py < size.cy && same; ++py) {
            for (int px = 0; px < size.cx && same; ++px) {
                if (PixelAt(expected, px, py) == PixelAt(actual, px, py)) continue;
                same = false;
                if (why) {
                    char detail[96];
                    std::snprintf(detail, sizeof detail, "pixel (%d, %d): expected %06X, window %06X", px, py,
                                  unsigned(PixelAt(expected, px, py)), unsigned(PixelAt(actual, px, py)));
                    *why = detail;
                }
            }
        }
    }
    DestroyCanvas(expected);
    DestroyCanvas(actual);
    ReleaseDC(app.mainWindow, windowDc);
    return same;
}

void WipeWindowRect(int x, int y, int width, int height)
{
    HDC dc = GetDC(app.mainWindow);
    PatBlt(dc, x, y, width, height, WHITENESS);
    ReleaseDC(app.mainWindow, dc);
}

bool LevelSegmentLit(int segment)
{
    const int x = Col(37) + (2 + 3 * segment) * g.charWidth / 2 + g.charWidth / 2;
    const int y = Row(2) + Row(3) / 2;
    HDC dc = GetDC(app.mainWindow);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(app.mainWindow, dc);
    return colour == RGB(0, 255, 0) || colour == RGB(255, 255, 0) || colour == RGB(255, 0, 0);
}

int LitLevelSegments()
{
    int lit = 0;
    for (int s = 0; s < 17; ++s) lit += LevelSegmentLit(s) ? 1 : 0;
    return lit;
}
