// Message-box capture: a CBT hook on the test thread reads each box as it activates (text, owner,
// icon) and closes it, so tests never wait for a person; the texts boxes should show; the bounded
// message pump.
#include "tests/support/support.h"

namespace {
constexpr int kTextBytes = 1024;
constexpr DWORD kWaitSliceMs = 10;
HHOOK boxHook = nullptr;
std::vector<CapturedBox> boxes;

// A message box's only static with an icon style (its buttons are push buttons).
BOOL CALLBACK FindIcon(HWND child, LPARAM found)
{
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
    *reinterpret_cast<HICON*>(found) = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    return FALSE;
}

LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char cls[32] = {};
        GetClassNameA(box, cls, sizeof cls);
        if (lstrcmpA(cls, "#32770") == 0 && GetDlgItem(box, 0xFFFF)) {
            char text[kTextBytes] = {};
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            HICON icon = nullptr;
            EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&icon));
            boxes.push_back({text, GetWindow(box, GW_OWNER), icon != nullptr && icon == LoadIconA(nullptr, IDI_EXCLAMATION)});
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}
}  // namespace

void BeginBoxCapture()
{
    boxes.clear();
    if (!boxHook) boxHook = SetWindowsHookExA(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
}

std::vector<CapturedBox> EndBoxCapture()
{
    if (boxHook) UnhookWindowsHookEx(boxHook);
    boxHook = nullptr;
    return boxes;
}

const std::vector<CapturedBox>& CapturedBoxes() { return boxes; }

std::string Text(UINT id)
{
    char text[kTextBytes] = {};
    return LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text) > 0 ? text : "";
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, const std::function<void(MSG&)>& dispatch)
{
    const DWORD start = GetTickCount();
    MSG message;
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, kWaitSliceMs, QS_ALLINPUT);
        } else if (dispatch) {
            dispatch(message);
        } else {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return true;
}
