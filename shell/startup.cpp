// Program entry and startup: the window class, the main window with its layout units, buttons
// and devices, the two persistent settings, the command line, the message loop and the settings
// written back at exit.
#include "shell/shell.h"
#include "shell/globals.h"
#include "shell/messages.h"
#include "analysis/fft.h"
#include "audio/audio.h"
#include "display/display.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char kSettingsFile[] = "TRILVO.INI";
const char kSettingsSection[] = "Trilvo";
const char kTimeResolutionKey[] = "deltatime";
const char kFftExponentKey[] = "fftparam";
const char kMenuName[] = "TrilvoMenu";
// Defaults for missing keys, as text (what the profile call takes) and as values (the fallback
// for values the rest of the program cannot handle).
const char kDefaultTimeResolutionText[] = "2048";
const char kDefaultFftExponentText[] = "12";
constexpr int32_t kDefaultTimeResolution = 2048;
constexpr int32_t kDefaultFftExponent = 12;
constexpr int32_t kTimeResolutions[] = {512, 1024, 2048, 4096, 8192};
constexpr int kSettingReadBytes = 32;
constexpr int kProvisionalWidth = 300;
constexpr int kProvisionalHeight = 240;
constexpr int kWindowColumns = 74;
constexpr int kWindowRows = 16;
constexpr int kPaletteDepth = 8;

// Input capability bits: any stereo format, any 16-bit format, any 22050 or 44100 Hz format,
// any 44100 Hz format.
constexpr DWORD kStereoFormats = 0xAAA;
constexpr DWORD k16BitFormats = 0xCCC;
constexpr DWORD k22Or44kFormats = 0xFF0;
constexpr DWORD k44kFormats = 0xF00;

struct ButtonLayout {
    int id;
    const char* label;
    int column;
    HWND AppRecord::*handle;
};
constexpr int kButtonRow = 8, kButtonColumns = 11, kButtonRows = 4;
const ButtonLayout kButtons[] = {
    {kCmdStart, "再生", 37, &AppRecord::playButton},
    {kCmdStop, "停止", 49, &AppRecord::stopButton},
    {kCmdPause, "Pause", 61, &AppRecord::pauseButton},
};

bool fileArgumentRefused = false;

int32_t ReadSetting(const char* key, const char* defaultText)
{
    GetPrivateProfileStringA(kSettingsSection, key, defaultText, g.textBuffer, kSettingReadBytes,
                             kSettingsFile);
    return ParseSettingText(g.textBuffer);
}

void WriteSetting(const char* key, int32_t value)
{
    std::snprintf(g.textBuffer, kTextBufferSize, "%d", static_cast<int>(value));
    WritePrivateProfileStringA(kSettingsSection, key, g.textBuffer, kSettingsFile);
}

// Sizes the window from the stock OEM fixed font, keeping its left and top.
void LayOutWindow(HWND window)
{
    RECT windowRect, clientRect;
    GetWindowRect(window, &windowRect);
    GetClientRect(window, &clientRect);
    const int nonClientHeight = (windowRect.bottom - windowRect.top) - (clientRect.bottom - clientRect.top);

    HDC dc = GetDC(window);
    g.colourDepth = GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL);
    if (g.colourDepth == kPaletteDepth) g.displayPalette = CreateDisplayPalette();
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    g.charWidth = metrics.tmAveCharWidth;
    g.lineHeight = metrics.tmAscent / 2;
    SelectObject(dc, previousFont);
    ReleaseDC(window, dc);

    MoveWindow(window, windowRect.left, windowRect.top, MainWindowWidth(g.charWidth),
               MainWindowHeight(nonClientHeight, g.lineHeight), TRUE);
    UpdateWindow(window);
}

bool CreateButtons(HWND window, HINSTANCE instance)
{
    for (const ButtonLayout& button : kButtons) {
        HWND handle = CreateWindowExA(0, "BUTTON", button.label, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                      Col(button.column), Row(kButtonRow), Col(kButtonColumns),
                                      Row(kButtonRows), window,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)),
                                      instance, nullptr);
        if (!handle) return false;
        app.*(button.handle) = handle;
    }
    return true;
}

void CheckSoundDevices(HWND window)
{
    if (waveOutGetNumDevs() == 0) {
        EnableMenuItem(g.menu, kCmdOpen, MF_BYCOMMAND | MF_GRAYED);
        DragAcceptFiles(window, FALSE);
    } else {
        WAVEOUTCAPSA outputCaps = {};
        waveOutGetDevCapsA(WAVE_MAPPER, &outputCaps, sizeof outputCaps);
    }
    app.inputDeviceCount = waveInGetNumDevs();
    if (app.inputDeviceCount == 0) {
        EnableMenuItem(g.menu, kCmdMonitor, MF_BYCOMMAND | MF_GRAYED);
    } else {
        WAVEINCAPSA inputCaps = {};
        if (waveInGetDevCapsA(WAVE_MAPPER, &inputCaps, sizeof inputCaps) == MMSYSERR_NOERROR)
            g.inputFormats = inputCaps.dwFormats;
    }
    AdjustMonitorFormat(g.inputFormats);
}

// A command-line file: open it, and play it at once with the autoplay switch.
void OpenCommandLineFile(HWND window, bool autoplay)
{
    if (fileArgumentRefused) {
        ShowWarning(window, "ファイル名が長すぎるため開けません");
        return;
    }
    if (!g.fileName[0]) return;
    const int opened = SelectFileSource();
    HDC dc = GetDC(window);
    DrawFileName(dc);
    ReleaseDC(window, dc);
    if (opened && autoplay) {
        if (WaveHeadersReady(window)) StartPlayback();
    }
}
}  // namespace

// ---- Decisions on plain inputs ---------------------------------------------------------------

uint16_t ReadPlatformVersion()
{
    const DWORD version = GetVersion();
    return static_cast<uint16_t>((LOBYTE(LOWORD(version)) << 8) | HIBYTE(LOWORD(version)));
}

bool IsAutoplaySwitch(const char* argument)
{
    return argument && argument[0] == '/' && argument[1] &&
           std::toupper(static_cast<unsigned char>(argument[1])) == 'P';
}

// A name that does not fit the 260-byte buffer is refused whole rather than cut: a cut name
// would name another file.
bool ApplyFileArgument(const char* argument)
{
    g.fileName[0] = '\0';
    if (!argument) return true;
    if (std::strlen(argument) >= static_cast<size_t>(kPathBufferSize)) return false;
    std::strcpy(g.fileName, argument);
    return true;
}

int32_t ParseSettingText(const char* text)
{
    return static_cast<int32_t>(std::atol(text));
}

// The settings file may hold anything; only the values the Options dialog offers are kept,
// others fall back to the defaults (block sizes and FFT tables depend on them).
int32_t CheckedTimeResolution(int32_t value)
{
    for (int32_t allowed : kTimeResolutions)
        if (value == allowed) return value;
    return kDefaultTimeResolution;
}

int32_t CheckedFftExponent(int32_t value)
{
    return (value >= kMinFftExponent && value <= kMaxFftExponent) ? value : kDefaultFftExponent;
}

void ReadSettings()
{
    state.timeResolution =
        CheckedTimeResolution(ReadSetting(kTimeResolutionKey, kDefaultTimeResolutionText));
    state.fftExponent = CheckedFftExponent(ReadSetting(kFftExponentKey, kDefaultFftExponentText));
}

void WriteSettings()
{
    WriteSetting(kTimeResolutionKey, state.timeResolution);
    WriteSetting(kFftExponentKey, state.fftExponent);
}

// A mask of 0 (no input device) applies every rule that tests for a missing bit.
void AdjustMonitorFormat(DWORD inputFormats)
{
    if (!(inputFormats & kStereoFormats)) state.monitorChannels = 1;
    if (!(inputFormats & k16BitFormats)) state.monitorBits = 8;
    if (!(inputFormats & k22Or44kFormats)) state.monitorRate = 11025;
    else if (!(inputFormats & k44kFormats) && state.monitorRate == 44100) state.monitorRate = 22050;
}

int MainWindowWidth(int charWidth)
{
    return std::max(kWindowColumns * charWidth, 2 * charWidth + kGraphWidth);
}

int MainWindowHeight(int nonClientHeight, int lineHeight)
{
    return nonClientHeight + kWindowRows * lineHeight + kGraphHeight;
}

// ---- Entry and main window ---------------------------------------------------------------------

BOOL RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = shell::WNDPROC;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, app.className);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszMenuName = kMenuName;
    windowClass.lpszClassName = app.className;
    return RegisterClassA(&windowClass) != 0;
}

int InitMainWindowWithArgs(HINSTANCE instance, int showCommand, int argc, char** argv)
{
    app.instance = instance;
    g.platformVersion = ReadPlatformVersion();
    fileArgumentRefused = !ApplyFileArgument(argc > 1 ? argv[1] : nullptr);
    const bool autoplay = argc > 2 && IsAutoplaySwitch(argv[2]);
    ReadSettings();

    HWND window = CreateWindowExA(0, app.className, app.className, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, kProvisionalWidth, kProvisionalHeight,
                                  nullptr, nullptr, instance, nullptr);
    app.mainWindow = window;
    if (!window) return 0;
    ShowWindow(window, showCommand);
    LayOutWindow(window);
    if (!CreateButtons(window, instance)) return 0;
    g.menu = GetMenu(window);
    CheckSoundDevices(window);
    EnableWindow(app.playButton, FALSE);
    EnableWindow(app.stopButton, FALSE);
    EnableWindow(app.pauseButton, FALSE);
    OpenCommandLineFile(window, autoplay);
    return 1;
}

int InitMainWindow(HINSTANCE instance, int showCommand)
{
    return InitMainWindowWithArgs(instance, showCommand, __argc, __argv);
}

int RunMainWindow(HINSTANCE instance, int showCommand, int argc, char** argv)
{
    if (!InitMainWindowWithArgs(instance, showCommand, argc, argv)) return 0;
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    WriteSettings();
    return static_cast<int>(message.wParam);
}

int TrilvoMain(HINSTANCE instance, HINSTANCE previous, int showCommand)
{
    if (!previous && !RegisterMainClass(instance)) return 0;
    return RunMainWindow(instance, showCommand, __argc, __argv);
}
