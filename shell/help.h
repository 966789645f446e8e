// The Help command: which viewer shows the help and which file it opens (a decision on plain
// inputs), and the launch, done by a launcher the main window carries (the system's when it
// carries none, an observing one in tests).
#pragma once

#include <windows.h>
#include <cstdint>

enum class HelpViewer { kWinHelp, kBrowser };

constexpr int kHelpPathBytes = 2 * MAX_PATH;     // a folder of up to MAX_PATH and a file name

struct HelpRequest {
    HelpViewer viewer;
    char path[kHelpPathBytes];
};

using HelpFileExists = bool (*)(const char* path);

// WinHelp on the help file the version's rules name (BuildHelpPath), when `exists` says it is
// there; a relative name is taken in the program's folder. Otherwise the browser on the help
// page TRILVO.HTM in the program's folder.
[[nodiscard]] HelpRequest ChooseHelp(uint16_t version, const char* modulePath, HelpFileExists exists);

// Starts the viewer of a request; true when it started. `context` is the launcher's own.
using HelpLaunchFunction = bool (*)(void* context, HWND owner, const HelpRequest& request);
struct HelpLauncher {
    HelpLaunchFunction launch;
    void* context;
};
// The system's launcher: WinHelp, or the default browser through ShellExecute "open" (no context).
bool LaunchHelpViewer(void* context, HWND owner, const HelpRequest& request);

// Window property through which a window names its own launcher (a HelpLauncher*, which the
// window does not own and which stays valid while the property is set).
constexpr char kHelpLauncherProperty[] = "TrilvoHelpLauncher";

// Whether a WM_HELP message (what F1 gives a window besides the key itself) asks the main window
// for help: F1 on a focused button or in an open menu reaches the main window only this way; F1 on
// the main window itself has come as WM_KEYDOWN already (OnKeyDown) and is not taken twice.
[[nodiscard]] bool IsHelpFromElsewhere(HWND mainWindow, const HELPINFO* info);

// The Help command of `window` for this program file: the help chosen and launched through the
// window's launcher; a help page that cannot be opened is reported in a warning box.
void OpenHelp(HWND window, uint16_t version);
