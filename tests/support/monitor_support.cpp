// Test support for monitoring: the Monitor dialog answered from a timer its modal loop runs.
#include "tests/support/monitor_support.h"

#include "resources/resource.h"
#include "tests/support/main_window.h"

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
    rateButton = rate == 44100 ? IDC_MON_RATE_44 : rate == 22050 ? IDC_MON_RATE_22 : IDC_MON_RATE_11;
    widthButton = bits == 16 ? IDC_MON_16_BIT : IDC_MON_8_BIT;
    clicked = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ClickFormatAndOk);
    Command(IDM_MONITOR);
    KillTimer(nullptr, timer);
    return clicked;
}
