// PLACEHOLDER (main window procedure and command dispatch): empty bodies so the tree links while the real code is written.
// The owner replaces this whole file.
#include "shell/shell.h"

namespace shell {
LRESULT CALLBACK WNDPROC(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }
}
void OnCommand(HWND, int, LPARAM, int) {}
void OnKeyDown(HWND, int) {}
void OnDropFiles(HDROP) {}
