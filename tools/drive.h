// Driving the real TRILVO.EXE as its own process through Win32 alone: starting it, finding its
// main window and dialogs, sending it commands, waiting with bounds, and saving pictures of its
// windows as BMP files.
#pragma once

#include <windows.h>

constexpr DWORD kDriveBoundMs = 30000;           // the longest any single wait may take
constexpr int kMessageBoxTextId = 0xFFFF;        // the static control holding a message box's text

// The started program: owns its process and thread handles.
class DrivenProgram {
public:
    DrivenProgram() = default;
    DrivenProgram(const DrivenProgram&) = delete;
    DrivenProgram& operator=(const DrivenProgram&) = delete;
    ~DrivenProgram();

    // Starts `exe` with `arguments` (may be empty) in `folder` (nullptr: this one) and waits for
    // its main window. False when it did not start or showed no window in time.
    [[nodiscard]] bool Start(const char* exe, const char* arguments, const char* folder);
    HWND Window() const { return window_; }

    // A command handled to its end (sent; bounded). False when the program did not answer.
    bool Command(int id) const;
    // A command that opens a modal dialog: posted, so this side does not wait inside it.
    void PostCommand(int id) const;
    // Waits until the program is between two messages (a sent message is handled only there), so
    // whatever it was drawing is complete. False when it did not answer.
    bool Settle() const;
    // The program's visible dialog or message box (class "#32770"); nullptr after `boundMs`.
    HWND WaitForDialog(DWORD boundMs) const;
    // Waits until the program shows no dialog or message box.
    bool WaitForNoDialog(DWORD boundMs) const;
    // Waits until the control with `id` in the main window is enabled (or disabled).
    bool WaitForControl(int id, bool enabled, DWORD boundMs) const;
    // Posts the Exit command and waits for the end; terminates the process after the bound.
    // True when it ended by itself with exit status 0.
    [[nodiscard]] bool Exit();

private:
    HWND FindOwnWindow(const char* className) const;

    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr;
};

// Saves the client area of `window` (or, with `wholeWindow`, the window with its caption, frame
// and menu) as a 24-bit BMP file. False when the capture or the file failed.
bool SaveWindowPicture(HWND window, bool wholeWindow, const char* path);

// Prints "ok  : what" or "FAIL: what"; returns `ok`.
bool Report(bool ok, const char* what);
