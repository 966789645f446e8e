// Audio sources: the WAV reader and the memory of a run, playback and monitor engines, the
// Monitor and Wave Information dialogs.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>

// The run record: a 32-byte movable shared global block whose locked address travels in the
// dwUser field of every queued header, so whoever gets a finished header can free the run.
struct RunRecord {
    HGLOBAL self;
    HGLOBAL header0;
    HGLOBAL block0;
    uint32_t reserved[5];
};
static_assert(sizeof(RunRecord) == 32, "the run record is 32 bytes");

constexpr uint32_t kDisketteCapacity = 1457664;   // at most this: always on-memory mode
constexpr uint32_t kMegabyte = 1048576;

// ---- WAV file reader and run memory (wavfile.cpp, runmemory.cpp) ----
int OpenWaveFile();
uint32_t AllocFormatRecord(HLOCAL* handle, WAVEFORMATEX** record);
void ComputeBlockSize(const WAVEFORMATEX* format);
int AllocBlockBuffers();
int AllocRunRecord(HGLOBAL* handle, RunRecord** record);
void FreeRunRecord(RunRecord* record);
void CloseSource();
const char* FormatTagName(int tag);

// ---- Playback engine (playback.cpp) ----
void StartPlayback();
void OnOutputDone(WAVEHDR* header);
void StopPlayback();
void EndRun(WAVEHDR* header);
void ReportReadFailure();
void ReportHeaderFailure(HGLOBAL runRecordHandle, int slot);
// "オンメモリ再生中(STEREO)" or "(MONO)" in the cleared level panel (also used by Continue).
void DrawOnMemoryPlaybackNotice();

// ---- Monitor engine and dialog (monitor.cpp) ----
INT_PTR CALLBACK NEWFILE(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int OpenMonitor();
void StartMonitor();
void OnInputData(WAVEHDR* header);
void StopMonitor();

// ---- Wave Information dialog (infobox.cpp) ----
INT_PTR CALLBACK INFOBOX(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
