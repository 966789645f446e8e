// Message-box capture: a CBT hook on the test thread reads each box as it activates (text,
// caption, owner, icon) and closes it, so tests never wait for a person.
#include "tests/support/support.h"

namespace {
HHOOK boxHook = nullptr;
int boxAnswer = IDOK;
std::vector<CapturedBox> boxes;

BOOL CALLBACK FindIcon(HWND child, LPARAM lParam)
{
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HICON*>(lParam) = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        return FALSE;
    }
    return TRUE;
}

LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char cls[32] = {};
        GetClassNameA(box, cls, sizeof cls);
        if (lstrcmpA(cls, "#32770") == 0 && GetDlgItem(box, 0xFFFF)) {
            CapturedBox captured;
            char text[1024] = {};
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            captured.text = text;
            GetWindowTextA(box, text, sizeof text);
            captured.caption = text;
            captured.owner = GetWindow(box, GW_OWNER);
            HICON icon = nullptr;
            EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&icon));
            captured.anyIcon = icon != nullptr;
            captured.warningIcon = icon != nullptr && icon == LoadIconA(nullptr, IDI_EXCLAMATION);
            boxes.push_back(captured);
            PostMessageA(box, WM_COMMAND, boxAnswer, 0);
        }
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}
}  // namespace

void BeginBoxCapture(int answer)
{
    boxes.clear();
    boxAnswer = answer;
    if (!boxHook) boxHook = SetWindowsHookExA(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
}

std::vector<CapturedBox> EndBoxCapture()
{
    if (boxHook) UnhookWindowsHookEx(boxHook);
    boxHook = nullptr;
    return boxes;
}

const std::vector<CapturedBox>& CapturedBoxes() { return boxes; }

bool PumpUntil(bool (*done)(void*), void* context, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done(context)) {
        if (GetTickCount() - start >= timeoutMs) return false;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

void PumpPending(DWORD quietMs)
{
    DWORD lastMessage = GetTickCount();
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            lastMessage = GetTickCount();
        } else if (GetTickCount() - lastMessage >= quietMs) {
            return;
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
}
