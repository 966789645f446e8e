// Test support for monitoring: the Monitor dialog answered from a timer its modal loop runs.
#include "tests/support/monitor_support.h"

#include "shell/globals.h"

#include <initializer_list>

namespace {
int rateButton = 0, widthButton = 0;
bool clicked = false;

void CALLBACK ClickFormatAndOk(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = FindWindowA("#32770", "録音ポートをモニタする");
    for (int id : {rateButton, widthButton, IDOK}) SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    clicked = clicked || dialog;
}
}  // namespace

bool ChooseMonitorFormat(uint32_t rate, uint16_t bits)
{
    rateButton = rate == 44100 ? 106 : rate == 22050 ? 107 : 108;
    widthButton = bits == 16 ? 113 : 114;
    clicked = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ClickFormatAndOk);
    SendMessageA(app.mainWindow, WM_COMMAND, kCmdMonitor, 0);
    KillTimer(nullptr, timer);
    return clicked;
}
