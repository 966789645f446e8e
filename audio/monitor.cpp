// PLACEHOLDER (monitor engine and Monitor dialog): empty bodies so the tree links while the real code is written.
// The owner replaces this whole file.
#include "audio/audio.h"

INT_PTR CALLBACK NEWFILE(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
int OpenMonitor() { return 0; }
void StartMonitor() {}
void OnInputData(WAVEHDR*) {}
void StopMonitor() {}
