// Program entry and startup: the window class, the main window object with its layout units,
// buttons and devices, the two persistent settings, the command line, the message loop and the
// settings written back at exit.
#include "shell/mainwindow.h"
#include "shell/messages.h"
#include "shell/monitor_settings.h"
#include "display/display.h"
#include "resources/resource.h"

#include <cstdio>

namespace {
const char kClassName[] = "Trilvo";                // class name, window title and icon name
const char kMenuName[] = "TrilvoMenu";
const char kSettingsFile[] = "TRILVO.INI";
const char kSettingsSection[] = "Trilvo";
const char kTimeResolutionKey[] = "deltatime";
const char kFftExponentKey[] = "fftparam";
constexpr int kSettingReadBytes = 32;
constexpr int kProvisionalWidth = 300;
constexpr int kProvisionalHeight = 240;
constexpr int kPaletteDepth = 8;

struct ButtonLayout {
    int id;
    UINT label;
    int column;
    HWND MainWindow::*handle;
};
constexpr int kButtonRow = 8, kButtonColumns = 11, kButtonRows = 4;
const ButtonLayout kButtons[] = {
    {IDM_START, IDS_PLAY_LABEL, 37, &MainWindow::playButton},
    {IDM_STOP, IDS_STOP_LABEL, 49, &MainWindow::stopButton},
    {IDM_PAUSE, IDS_PAUSE_LABEL, 61, &MainWindow::pauseButton},
};

int32_t ReadSetting(const char* key, int32_t defaultValue)
{
    char defaultText[kSettingReadBytes], text[kSettingReadBytes];
    std::snprintf(defaultText, sizeof defaultText, "%d", static_cast<int>(defaultValue));
    GetPrivateProfileStringA(kSettingsSection, key, defaultText, text, sizeof text, kSettingsFile);
    return ParseSettingText(text);
}

void WriteSetting(const char* key, int32_t value)
{
    char text[kSettingReadBytes];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    WritePrivateProfileStringA(kSettingsSection, key, text, kSettingsFile);
}

void ReadSettings(Settings& settings)
{
    settings.timeResolution = CheckedTimeResolution(ReadSetting(kTimeResolutionKey, kDefaultTimeResolution));
    settings.fftExponent = CheckedFftExponent(ReadSetting(kFftExponentKey, kDefaultFftExponent));
}

void WriteSettings(const Settings& settings)
{
    WriteSetting(kTimeResolutionKey, settings.timeResolution);
    WriteSetting(kFftExponentKey, settings.fftExponent);
    WriteStoredMonitorFormat(kSettingsFile, kSettingsSection, StoredFormOf(settings.monitor, ListInputDevices()));
}

uint16_t ReadPlatformVersion()
{
    const DWORD version = GetVersion();
    return static_cast<uint16_t>((LOBYTE(LOWORD(version)) << 8) | HIBYTE(LOWORD(version)));
}

// Sizes the window from the stock OEM fixed font, keeping its left and top.
void LayOutWindow(MainWindow& app)
{
    RECT windowRect, clientRect;
    GetWindowRect(app.window, &windowRect);
    GetClientRect(app.window, &clientRect);
    const int nonClientHeight = (windowRect.bottom - windowRect.top) - (clientRect.bottom - clientRect.top);

    HDC dc = GetDC(app.window);
    app.layout.colourDepth = GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL);
    if (app.layout.colourDepth == kPaletteDepth) app.layout.palette = CreateDisplayPalette();
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    app.layout.charWidth = metrics.tmAveCharWidth;
    app.layout.lineHeight = metrics.tmAscent / 2;
    SelectObject(dc, previousFont);
    ReleaseDC(app.window, dc);

    MoveWindow(app.window, windowRect.left, windowRect.top, MainWindowWidth(app.layout.charWidth),
               MainWindowHeight(nonClientHeight, app.layout.lineHeight), TRUE);
    UpdateWindow(app.window);
}

bool CreateButtons(MainWindow& app)
{
    for (const ButtonLayout& button : kButtons) {
        HWND handle = CreateWindowExA(0, "BUTTON", LoadedText(button.label), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                      app.layout.Col(button.column), app.layout.Row(kButtonRow),
                                      app.layout.Col(kButtonColumns), app.layout.Row(kButtonRows), app.window,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)), app.instance,
                                      nullptr);
        if (!handle) return false;
        app.*(button.handle) = handle;
        EnableWindow(handle, FALSE);
    }
    return true;
}

void CheckSoundDevices(MainWindow& app)
{
    app.outputDeviceCount = waveOutGetNumDevs();
    app.inputDeviceCount = waveInGetNumDevs();
    ShowIdleWithoutSource(app);
    const InputDeviceList devices = ListInputDevices();
    if (app.inputDeviceCount != 0 && !devices.empty()) app.inputFormats = devices.front().formats;
    app.settings.monitor = ResolveStoredMonitorFormat(ReadStoredMonitorFormat(kSettingsFile, kSettingsSection),
                                                      devices, QueryInputFormat);
}

// A command-line file: open it, and play it at once with the autoplay switch.
void OpenCommandLineFile(MainWindow& app)
{
    if (app.fileArgumentRefused) {
        ShowMessage(app.window, IDS_NAME_TOO_LONG);
        return;
    }
    if (!app.fileName[0]) return;
    const bool opened = SelectFileSource(app);
    HDC dc = GetDC(app.window);
    DrawFileName(app, dc);
    ReleaseDC(app.window, dc);
    if (opened && app.autoplay) StartRun(app);
}
}  // namespace

bool RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, kClassName);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszMenuName = kMenuName;
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass) != 0;
}

bool CreateMainWindow(MainWindow& app, HINSTANCE instance, int showCommand, int argc, char** argv)
{
    app.instance = instance;
    app.platformVersion = ReadPlatformVersion();
    app.fileArgumentRefused = !ApplyFileArgument(argc > 1 ? argv[1] : nullptr, app.fileName);
    app.autoplay = argc > 2 && IsAutoplaySwitch(argv[2]);
    ReadSettings(app.settings);

    HWND window = CreateWindowExA(0, kClassName, kClassName, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, kProvisionalWidth, kProvisionalHeight,
                                  nullptr, nullptr, instance, &app);
    if (!window) return false;
    ShowWindow(window, showCommand);
    LayOutWindow(app);
    if (!CreateButtons(app)) return false;
    CheckSoundDevices(app);
    OpenCommandLineFile(app);
    return true;
}

int TrilvoMain(HINSTANCE instance, HINSTANCE previous, int showCommand)
{
    if (!previous && !RegisterMainClass(instance)) return 0;
    MainWindow app;
    if (!CreateMainWindow(app, instance, showCommand, __argc, __argv)) return 0;
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    WriteSettings(app.settings);
    return static_cast<int>(message.wParam);
}
