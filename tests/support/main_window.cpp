// The real main window in the test process: startup's class registration and CreateMainWindow,
// its destruction with the quit message consumed, and its dialogs answered from a timer that
// their modal loops run.
#include "tests/support/main_window.h"

#include <memory>

#include "resources/resource.h"
#include "tests/support/support.h"

namespace {
constexpr DWORD kSettleMs = 20;            // lets the first paint and whatever it posts run
constexpr int kTickMs = 20, kTicksBound = 500;

std::unique_ptr<MainWindow> openWindow;

struct { std::function<void(HWND)> act; HWND dialog; int ticksAfter; } script;   // of the dialog WithDialog waits for

void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (script.dialog && ++script.ticksAfter == kTicksBound) EndDialog(script.dialog, -2);
    if (script.dialog) return;
    HWND dialog = FindWindowA("#32770", nullptr);
    if (!dialog || GetWindowThreadProcessId(dialog, nullptr) != GetCurrentThreadId() || !IsWindowVisible(dialog)) return;
    script.dialog = dialog;
    script.act(dialog);
}
}  // namespace

MainWindow* OpenMainWindow()
{
    CloseMainWindow();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA registered;   // once per process
    if (!GetClassInfoA(instance, "Trilvo", &registered) && !RegisterMainClass(instance)) return nullptr;
    char program[] = "TRILVO.EXE";
    char* argv[] = {program, nullptr};
    openWindow = std::make_unique<MainWindow>();
    if (!CreateMainWindow(*openWindow, instance, SW_SHOWNORMAL, 1, argv)) {
        CloseMainWindow();
        return nullptr;
    }
    PumpUntil([] { return false; }, kSettleMs);
    return openWindow.get();
}

MainWindow* TestWindow() { return openWindow.get(); }

void CloseMainWindow()
{
    if (!openWindow) return;
    if (IsWindow(openWindow->window)) DestroyWindow(openWindow->window);
    // Drop the quit message WM_DESTROY posted, and dispatch whatever else is left for the window.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message != WM_QUIT) DispatchMessageA(&message);
    openWindow.reset();
}

void Command(int id)
{
    if (openWindow) SendMessageA(openWindow->window, WM_COMMAND, id, 0);
}

bool WithDialogShownBy(const std::function<void()>& show, std::function<void(HWND)> act)
{
    script = {std::move(act), nullptr, 0};
    const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, ScriptTick);
    show();
    KillTimer(nullptr, timer);
    return script.dialog && script.ticksAfter < kTicksBound;
}

bool WithDialog(int command, std::function<void(HWND)> act)
{
    return WithDialogShownBy([command] { Command(command); }, std::move(act));
}

bool ChooseMonitorFormat(uint32_t rate, uint16_t bits, uint16_t channels)
{
    const struct { uint32_t rate; int id; } rates[] = {
        {8000, IDC_MON_RATE_8}, {11025, IDC_MON_RATE_11}, {16000, IDC_MON_RATE_16}, {22050, IDC_MON_RATE_22},
        {32000, IDC_MON_RATE_32}, {44100, IDC_MON_RATE_44}, {48000, IDC_MON_RATE_48}, {88200, IDC_MON_RATE_88},
        {96000, IDC_MON_RATE_96}};
    int rateButton = 0;
    for (const auto& r : rates)
        if (r.rate == rate) rateButton = r.id;
    const int widthButton = bits == 24 ? IDC_MON_24_BIT : bits == 16 ? IDC_MON_16_BIT : IDC_MON_8_BIT;
    const int channelButton = channels == 2 ? IDC_MON_STEREO : IDC_MON_MONO;
    return WithDialog(IDM_MONITOR, [=](HWND dialog) {
        for (int id : {rateButton, widthButton, channelButton, IDOK}) SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    });
}
