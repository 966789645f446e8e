// Drives one session of the real program through its Options dialog from another process:
// starts the program, opens Options, records what the dialog shows, optionally changes every
// setting and confirms with OK (or leaves with Esc), then exits the program normally.
//
//   options_session <program.exe> <change|read> <report file>
//
// The report file gets one line "time=I fft=I window=I slope=ID scale=ID onmemory=B memory=T"
// with what the dialog showed on opening (and in change mode a second one after the changes),
// then "exit=N" with the program's exit code.
// The driver's own exit code is 0 when every step worked.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kStepBoundMs = 15000;
constexpr DWORD kPollMs = 20;
constexpr int kOptionsCommand = 200;
constexpr int kExitCommand = 104;

struct Finder {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam)
{
    Finder* finder = reinterpret_cast<Finder*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (processId == finder->processId && lstrcmpA(cls, finder->className) == 0 && IsWindowVisible(window)) {
        finder->found = window;
        return FALSE;
    }
    return TRUE;
}

// Polls for a visible top-level window of the class in the process, within the step bound.
HWND WaitForWindow(DWORD processId, const char* className)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kStepBoundMs) {
        Finder finder = {processId, className, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&finder));
        if (finder.found) return finder.found;
        Sleep(kPollMs);
    }
    return nullptr;
}

bool WaitUntilGone(HWND window)
{
    const DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start >= kStepBoundMs) return false;
        Sleep(kPollMs);
    }
    return true;
}

int Selection(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0)); }

void Report(FILE* out, HWND dialog)
{
    char memory[16] = {};
    GetDlgItemTextA(dialog, 115, memory, sizeof memory);
    std::fprintf(out, "time=%d fft=%d window=%d slope=%d scale=%d onmemory=%d memory=%s\n",
                 Selection(dialog, 101), Selection(dialog, 104), Selection(dialog, 109),
                 IsDlgButtonChecked(dialog, 107) == BST_CHECKED ? 107 : 106,
                 IsDlgButtonChecked(dialog, 112) == BST_CHECKED ? 112 : 111,
                 IsDlgButtonChecked(dialog, 114) == BST_CHECKED ? 1 : 0, memory);
}

// Every setting away from its initial value: "1/11秒" (index 3), "32768" (index 7), "三角"
// (index 3), pink noise, doubled scale, on-memory analysis with 40 MB.
void ChangeEverything(HWND dialog)
{
    SendDlgItemMessageA(dialog, 101, CB_SETCURSEL, 3, 0);
    SendDlgItemMessageA(dialog, 104, CB_SETCURSEL, 7, 0);
    SendDlgItemMessageA(dialog, 109, CB_SETCURSEL, 3, 0);
    SendDlgItemMessageA(dialog, 107, BM_CLICK, 0, 0);
    SendDlgItemMessageA(dialog, 112, BM_CLICK, 0, 0);
    SendDlgItemMessageA(dialog, 114, BM_CLICK, 0, 0);
    SetDlgItemTextA(dialog, 115, "40");
}

bool DriveSession(const PROCESS_INFORMATION& process, bool change, FILE* out)
{
    HWND main = WaitForWindow(process.dwProcessId, "Trilvo");
    if (!main) return std::fprintf(out, "error=no main window\n"), false;
    PostMessageA(main, WM_COMMAND, kOptionsCommand, 0);   // modal: posting keeps us free
    HWND dialog = WaitForWindow(process.dwProcessId, "#32770");
    if (!dialog) return std::fprintf(out, "error=no dialog\n"), false;
    Report(out, dialog);
    if (change) {
        ChangeEverything(dialog);
        Report(out, dialog);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    } else {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    if (!WaitUntilGone(dialog)) return std::fprintf(out, "error=dialog stayed\n"), false;
    PostMessageA(main, WM_COMMAND, kExitCommand, 0);
    if (WaitForSingleObject(process.hProcess, kStepBoundMs) != WAIT_OBJECT_0)
        return std::fprintf(out, "error=program did not exit\n"), false;
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    std::fprintf(out, "exit=%lu\n", static_cast<unsigned long>(exitCode));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || (std::strcmp(argv[2], "change") != 0 && std::strcmp(argv[2], "read") != 0)) {
        std::fprintf(stderr, "usage: options_session <program.exe> <change|read> <report file>\n");
        return 2;
    }
    FILE* out = std::fopen(argv[3], "w");
    if (!out) return 2;
    char commandLine[MAX_PATH + 3];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\"", argv[1]);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(argv[1], commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(out, "error=cannot start %s\n", argv[1]);
        std::fclose(out);
        return 1;
    }
    WaitForInputIdle(process.hProcess, kStepBoundMs);
    const bool done = DriveSession(process, std::strcmp(argv[2], "change") == 0, out);
    if (!done && WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 3);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::fclose(out);
    return done ? 0 : 1;
}
