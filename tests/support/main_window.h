// The real main window created in the test process, as the program's startup creates it, and its
// modal dialogs driven from inside their own message loops.
#pragma once

#include <functional>

#include "shell/mainwindow.h"

// Creates the real main window in this process as the program's startup does (class registered
// once per process, no command-line arguments) into a fresh MainWindow object. Returns it, or
// null on failure.
MainWindow* OpenMainWindow();
// The window OpenMainWindow made (null when none is open).
MainWindow* TestWindow();
// Destroys it (WM_DESTROY runs, the quit message is consumed), pumps until it is gone and
// deletes the object.
void CloseMainWindow();
// Sends a command to the test window as a menu item would.
void Command(int id);

// Sends `command`, which shows a modal dialog of this thread, and runs `act` once on the dialog
// from the dialog's own loop. A dialog still open 10 s later is ended with -2; returns whether
// the dialog showed and ended in time.
bool WithDialog(int command, std::function<void(HWND)> act);
// The same for a dialog that `show` shows (and returns from when it ends).
bool WithDialogShownBy(const std::function<void()>& show, std::function<void(HWND)> act);
// The Monitor command with the buttons of `rate`, `bits` and `channels` clicked, then OK; whether
// it showed.
bool ChooseMonitorFormat(uint32_t rate, uint16_t bits, uint16_t channels = 1);
