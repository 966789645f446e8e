// PLACEHOLDER (entry, class registration, main window creation, settings): empty bodies so the tree links while the real code is written.
// The owner replaces this whole file.
#include "shell/shell.h"

int TrilvoMain(HINSTANCE, HINSTANCE, int) { return 0; }
BOOL RegisterMainClass(HINSTANCE) { return FALSE; }
int InitMainWindow(HINSTANCE, int) { return 0; }
