// Runs the "Option" dialog under test control: a thread timer finds the dialog once its modal
// loop runs, performs the test's action, then ends it; a watchdog ends a dialog that hangs.
#include "tests/support/options.h"

#include "shell/globals.h"
#include "shell/shell.h"

namespace {

constexpr UINT kActDelayMs = 20;
constexpr UINT kWatchdogMs = 10000;

struct DialogSession {
    HWND owner = nullptr;
    DialogAction act = nullptr;
    void* context = nullptr;
    DialogEnd end = DialogEnd::kOk;
    HWND dialog = nullptr;
    UINT_PTR actTimer = 0;
    UINT_PTR watchdogTimer = 0;
    bool acted = false;
    bool timedOut = false;
};
DialogSession session;

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM)
{
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && GetWindow(window, GW_OWNER) == session.owner &&
        IsWindowVisible(window)) {
        session.dialog = window;
        return FALSE;
    }
    return TRUE;
}

void EndDialogAsAsked(HWND dialog)
{
    if (session.end == DialogEnd::kOk) {
        Click(dialog, IDOK);
    } else if (session.end == DialogEnd::kEscape) {
        // The dialog's own loop turns Esc on any of its controls into IDCANCEL.
        HWND focus = GetFocus();
        HWND target = focus && IsChild(dialog, focus) ? focus : dialog;
        PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0);
    }
}

void CALLBACK ActTimer(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), FindOwnedDialog, 0);
    if (!session.dialog) return;   // not shown yet: try at the next tick
    KillTimer(nullptr, session.actTimer);
    session.actTimer = 0;
    session.acted = true;
    if (session.act) session.act(session.dialog, session.context);
    EndDialogAsAsked(session.dialog);
}

void CALLBACK WatchdogTimer(HWND, UINT, UINT_PTR, DWORD)
{
    KillTimer(nullptr, session.watchdogTimer);
    session.watchdogTimer = 0;
    session.timedOut = true;
    if (session.dialog) EndDialog(session.dialog, kDialogTimedOut);
}

void BeginSession(HWND owner, DialogAction act, void* context, DialogEnd end)
{
    session = DialogSession{};
    session.owner = owner;
    session.act = act;
    session.context = context;
    session.end = end;
    session.actTimer = SetTimer(nullptr, 0, kActDelayMs, ActTimer);
    session.watchdogTimer = SetTimer(nullptr, 0, kWatchdogMs, WatchdogTimer);
}

void FinishSession()
{
    if (session.actTimer) KillTimer(nullptr, session.actTimer);
    if (session.watchdogTimer) KillTimer(nullptr, session.watchdogTimer);
    session.actTimer = session.watchdogTimer = 0;
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND TestDialogOwner()
{
    static HWND owner = nullptr;
    if (owner) return owner;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OptionsTestOwner";
    RegisterClassA(&wc);
    owner = CreateWindowExA(0, wc.lpszClassName, "owner", WS_POPUP, 0, 0, 100, 100, nullptr,
                            nullptr, wc.hInstance, nullptr);
    return owner;
}

INT_PTR RunOptionDialog(HWND owner, DialogAction act, void* context, DialogEnd end)
{
    BeginSession(owner, act, context, end);
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), "Option", owner, OPTION, 0);
    FinishSession();
    return result;
}

bool RunOptionCommand(HWND mainWindow, DialogAction act, void* context, DialogEnd end)
{
    BeginSession(mainWindow, act, context, end);
    SendMessageA(mainWindow, WM_COMMAND, kCmdOptions, 0);
    FinishSession();
    return session.acted && !session.timedOut;
}

int ChooseListEntry(HWND dialog, int listId, const char* text)
{
    const LRESULT index = SendDlgItemMessageA(dialog, listId, CB_FINDSTRINGEXACT,
                                              static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    if (index != CB_ERR) SendDlgItemMessageA(dialog, listId, CB_SETCURSEL, index, 0);
    return static_cast<int>(index);
}

std::string ListEntryText(HWND dialog, int listId, int index)
{
    char text[64] = {};
    const LRESULT length = SendDlgItemMessageA(dialog, listId, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length >= static_cast<LRESULT>(sizeof text)) return "<bad entry>";
    SendDlgItemMessageA(dialog, listId, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

int ListSelection(HWND dialog, int listId)
{
    return static_cast<int>(SendDlgItemMessageA(dialog, listId, CB_GETCURSEL, 0, 0));
}

std::string ItemText(HWND dialog, int id)
{
    char text[128] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void TypeInto(HWND dialog, int editId, const char* text)
{
    HWND edit = GetDlgItem(dialog, editId);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, VK_BACK, 0);
    for (const char* c = text; *c; ++c) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 0);
}

void Click(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
