// The real main window created in the test process, as the program's startup creates it.
#pragma once

#include "shell/mainwindow.h"

// Creates the real main window in this process as the program's startup does: class registered
// once per process, CreateMainWindow with the given arguments as argument 1 and 2 of the command
// line (nullptr: absent), into a fresh MainWindow object. Returns it, or null on failure.
MainWindow* OpenMainWindow(const char* fileArgument = nullptr, const char* switchArgument = nullptr);
// The window OpenMainWindow made (null when none is open).
MainWindow* TestWindow();
// Destroys it (WM_DESTROY runs, the quit message is consumed), pumps until it is gone and
// deletes the object.
void CloseMainWindow();
// Sends a command to the test window as a menu item would.
void Command(int id);
