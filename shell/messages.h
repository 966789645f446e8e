// Message boxes: every failure the user sees is a box owned by the main window (or the dialog),
// with the platform's default caption and an OK button.
#pragma once

#include <windows.h>

// Device, file and memory failures: warning icon.
void ShowWarning(HWND owner, const char* text);
// Plain notices without an icon.
void ShowNotice(HWND owner, const char* text);
