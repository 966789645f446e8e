// The real main window created in the test process, as the program's startup creates it.
#pragma once

// Creates the real main window in this process as the program's startup does: globals reset
// (ResetGlobals), class registered once per process, InitMainWindow with the given arguments as
// argument 1 and 2 of the command line (nullptr: absent). Returns false on failure.
bool OpenMainWindow(const char* fileArgument = nullptr, const char* switchArgument = nullptr);
// Destroys it (WM_DESTROY runs, the quit message is consumed) and pumps until it is gone.
void CloseMainWindow();
