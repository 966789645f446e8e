// PLACEHOLDER (control state and status texts): empty bodies so the tree links while the real code is written.
// The owner replaces this whole file.
#include "shell/shell.h"

int SelectFileSource() { return 0; }
void EnableIdleControls() {}
void DisableSourceControls() {}
void EnableRunControls() {}
void DisableRunControls() {}
void DrawFileName(HDC) {}
void ShowSourceFormat(const WAVEFORMATEX*) {}
void DrawChannelLabels(HDC) {}
void DrawOnMemoryMonitorLabel() {}
uint32_t MeasureDisk(const char*) { return 0; }
void ClearLevelPanel(HDC) {}
void DrawLevelPanelNotice(HDC, const char*) {}
