// Test support for monitoring: the Monitor dialog answered from a timer its modal loop runs.
#include "tests/support/monitor_support.h"

#include "shell/globals.h"

#include <initializer_list>

namespace {
constexpr int kOverdueTicks = 250;    // of 20 ms
uint32_t chosenRate = 0;
uint16_t chosenBits = 0;
int ticksAfterClicks = -1;           // -1: not clicked yet

void CALLBACK ClickFormatAndOk(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = FindWindowA("#32770", "録音ポートをモニタする");
    if (!dialog || GetWindowThreadProcessId(dialog, nullptr) != GetCurrentThreadId()) return;
    if (ticksAfterClicks >= 0) {
        if (++ticksAfterClicks > kOverdueTicks) EndDialog(dialog, -2);
        return;
    }
    ticksAfterClicks = 0;
    const int rateButton = chosenRate == 44100 ? 106 : chosenRate == 22050 ? 107 : 108;
    for (int id : {rateButton, chosenBits == 16 ? 113 : 114, IDOK}) SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
}  // namespace

MonitorDialogOutcome ChooseMonitorFormat(uint32_t rate, uint16_t bits)
{
    chosenRate = rate;
    chosenBits = bits;
    ticksAfterClicks = -1;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ClickFormatAndOk);
    SendMessageA(app.mainWindow, WM_COMMAND, kCmdMonitor, 0);
    KillTimer(nullptr, timer);
    MonitorDialogOutcome outcome;
    outcome.scriptRan = ticksAfterClicks >= 0;
    return outcome;
}
