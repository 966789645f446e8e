// The real main window in the test process: startup's class registration and CreateMainWindow
// with an explicit command line, and its destruction with the quit message consumed.
#include "tests/support/main_window.h"
#include "tests/support/support.h"

#include <memory>

namespace {
std::unique_ptr<MainWindow> openWindow;

bool ClassRegistered(HINSTANCE instance)
{
    WNDCLASSA existing;
    return GetClassInfoA(instance, "Trilvo", &existing) != 0;
}

bool WindowGone(void* window) { return !IsWindow(static_cast<HWND>(window)); }
}  // namespace

MainWindow* OpenMainWindow(const char* fileArgument, const char* switchArgument)
{
    CloseMainWindow();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!ClassRegistered(instance) && !RegisterMainClass(instance)) return nullptr;
    char program[] = "TRILVO.EXE";
    char* argv[] = {program, const_cast<char*>(fileArgument), const_cast<char*>(switchArgument), nullptr};
    int argc = 1;
    if (fileArgument) argc = switchArgument ? 3 : 2;
    openWindow = std::make_unique<MainWindow>();
    if (!CreateMainWindow(*openWindow, instance, SW_SHOWNORMAL, argc, argv)) {
        CloseMainWindow();
        return nullptr;
    }
    PumpPending(20);
    return openWindow.get();
}

MainWindow* TestWindow() { return openWindow.get(); }

void CloseMainWindow()
{
    if (!openWindow) return;
    HWND window = openWindow->window;
    if (window && IsWindow(window)) {
        DestroyWindow(window);
        PumpUntil(WindowGone, window, 5000);
    }
    // Drop the quit message WM_DESTROY posted, and whatever else is left for the window.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) DispatchMessageA(&message);
    }
    openWindow.reset();
}

void Command(int id)
{
    if (openWindow) SendMessageA(openWindow->window, WM_COMMAND, id, 0);
}
