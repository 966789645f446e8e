// PLACEHOLDER (Options dialog): empty bodies so the tree links while the real code is written.
// The owner replaces this whole file.
#include "shell/shell.h"

INT_PTR CALLBACK OPTION(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
void ClampMemorySize() {}
