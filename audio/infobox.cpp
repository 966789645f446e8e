// PLACEHOLDER (Wave Information dialog): empty bodies so the tree links while the real code is written.
// The owner replaces this whole file.
#include "audio/audio.h"

INT_PTR CALLBACK INFOBOX(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
