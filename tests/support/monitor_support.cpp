// Test support for monitoring: the Monitor dialog answered from a timer its modal loop runs.
#include "tests/support/monitor_support.h"

#include "shell/globals.h"

#include <initializer_list>

namespace {
int clicks[3] = {};                   // the rate and width buttons, then OK
bool clicked = false;

void CALLBACK ClickFormatAndOk(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = FindWindowA("#32770", "録音ポートをモニタする");
    for (int id : clicks) SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    clicked = clicked || dialog;
}
}  // namespace

MonitorDialogOutcome ChooseMonitorFormat(uint32_t rate, uint16_t bits)
{
    clicks[0] = rate == 44100 ? 106 : rate == 22050 ? 107 : 108;
    clicks[1] = bits == 16 ? 113 : 114;
    clicks[2] = IDOK;
    clicked = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ClickFormatAndOk);
    SendMessageA(app.mainWindow, WM_COMMAND, kCmdMonitor, 0);
    KillTimer(nullptr, timer);
    MonitorDialogOutcome outcome;
    outcome.scriptRan = clicked;
    return outcome;
}
