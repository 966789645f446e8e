// The Help command. The old help file (.HLP) is shown by WinHelp only where one lies; WinHelp is
// no longer part of current Windows, so otherwise the help page TRILVO.HTM that ships beside the
// program opens in the default browser.
#include "shell/help.h"
#include "shell/decisions.h"
#include "shell/messages.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace {

const char kHelpPageName[] = "TRILVO.HTM";
constexpr INT_PTR kShellExecuteLastError = 32;   // ShellExecute results up to this are errors
constexpr int kMessageBytes = kHelpPathBytes + 256;

bool IsAbsolute(const char* path)
{
    return path[0] == '\\' || path[0] == '/' || (path[0] && path[1] == ':');
}

// The folder part of the module path, separator included ("" when it has none).
void ModuleFolder(const char* modulePath, char* folder, size_t size)
{
    const char* separator = modulePath ? FindLastSeparator(modulePath, kPathSeparators) : nullptr;
    const int length = separator ? int(separator - modulePath) + 1 : 0;
    std::snprintf(folder, size, "%.*s", length, modulePath);
}

bool FileExistsOnDisk(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// WinHelp would search a relative name along its own path (current folder, Windows folder, ...);
// the program instead takes it in its own folder, where a help file is installed with it, and
// hands WinHelp the full path it checked, so the file found is the file shown.
HelpRequest ChooseHelp(uint16_t version, const char* modulePath, HelpFileExists exists)
{
    HelpRequest request = {HelpViewer::kBrowser, {}};
    char folder[MAX_PATH];
    ModuleFolder(modulePath, folder, sizeof folder);
    char helpFile[MAX_PATH];
    BuildHelpPath(version, modulePath, helpFile, sizeof helpFile);
    std::snprintf(request.path, sizeof request.path, "%s%s", IsAbsolute(helpFile) ? "" : folder, helpFile);
    if (exists(request.path)) {
        request.viewer = HelpViewer::kWinHelp;
        return request;
    }
    std::snprintf(request.path, sizeof request.path, "%s%s", folder, kHelpPageName);
    return request;
}

bool LaunchHelpViewer(void*, HWND owner, const HelpRequest& request)
{
    if (request.viewer == HelpViewer::kWinHelp) return WinHelpA(owner, request.path, HELP_CONTENTS, 0) != FALSE;
    const HINSTANCE result = ShellExecuteA(owner, "open", request.path, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > kShellExecuteLastError;
}

bool IsHelpFromElsewhere(HWND mainWindow, const HELPINFO* info)
{
    if (!info) return false;
    return !(info->iContextType == HELPINFO_WINDOW && info->hItemHandle == mainWindow);
}

void OpenHelp(HWND window, uint16_t version)
{
    char modulePath[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, modulePath, sizeof modulePath);
    if (length >= sizeof modulePath) modulePath[0] = '\0';          // cut short: no usable folder
    const HelpRequest request = ChooseHelp(version, modulePath, FileExistsOnDisk);
    const HelpLauncher* own = static_cast<const HelpLauncher*>(GetPropA(window, kHelpLauncherProperty));
    const HelpLauncher launcher = own ? *own : HelpLauncher{LaunchHelpViewer, nullptr};
    // WinHelp reports its own failures; the browser's are reported here.
    if (launcher.launch(launcher.context, window, request) || request.viewer != HelpViewer::kBrowser) return;
    char format[kMessageBytes], message[kMessageBytes];
    LoadText(IDS_CANNOT_OPEN_HELP, format, sizeof format);
    std::snprintf(message, sizeof message, format, request.path);
    ShowMessageText(window, message);
}
