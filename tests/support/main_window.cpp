// The real main window in the test process: startup's class registration and InitMainWindow
// with an explicit command line, and its destruction with the quit message consumed.
#include "tests/support/main_window.h"
#include "tests/support/support.h"

#include "shell/globals.h"
#include "shell/shell.h"

namespace {
bool ClassRegistered(HINSTANCE instance)
{
    WNDCLASSA existing;
    return GetClassInfoA(instance, "Trilvo", &existing) != 0;
}

bool WindowGone(void* window) { return !IsWindow(static_cast<HWND>(window)); }
}  // namespace

bool OpenMainWindow(const char* fileArgument, const char* switchArgument)
{
    ResetGlobals();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!ClassRegistered(instance) && !RegisterMainClass(instance)) return false;
    char program[] = "TRILVO.EXE";
    char* argv[] = {program, const_cast<char*>(fileArgument), const_cast<char*>(switchArgument), nullptr};
    int argc = 1;
    if (fileArgument) argc = switchArgument ? 3 : 2;
    if (!InitMainWindowWithArgs(instance, SW_SHOWNORMAL, argc, argv)) {
        if (app.mainWindow && IsWindow(app.mainWindow)) CloseMainWindow();
        return false;
    }
    PumpPending(20);
    return true;
}

void CloseMainWindow()
{
    HWND window = app.mainWindow;
    if (window && IsWindow(window)) {
        DestroyWindow(window);
        PumpUntil(WindowGone, window, 5000);
    }
    // Drop the quit message WM_DESTROY posted, and whatever else is left for the window.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) DispatchMessageA(&message);
    }
    app.mainWindow = nullptr;
}
