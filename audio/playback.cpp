// PLACEHOLDER (playback engine): empty bodies so the tree links while the real code is written.
// The owner replaces this whole file.
#include "audio/audio.h"

void StartPlayback() {}
void OnOutputDone(WAVEHDR*) {}
void StopPlayback() {}
void EndRun(WAVEHDR*) {}
void ReportReadFailure() {}
void ReportHeaderFailure(HGLOBAL, int) {}
void DrawOnMemoryPlaybackNotice() {}
