// Test support for the audio engines: a message pump that logs the wave messages the main window
// gets (which header came back, what it held, what was queued again, how long the handling took),
// and what a window's client area shows: status texts and the level bar.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>
#include <functional>
#include <vector>

#include "tests/support/support.h"

struct WaveMessage {
    int slot = -1;                    // 0 or 1: which of the window's headers came back
    DWORD bytesRecorded = 0;          // as the header came back (MM_WIM_DATA)
    std::vector<uint8_t> queued;      // MM_WOM_DONE: the bytes queued again with it (none: not requeued)
    double handlingMs = 0.0;          // time spent in the window procedure
};
void BeginWaveLog();
const std::vector<WaveMessage>& WaveLog();
// Pumps this thread's messages, logging MM_WOM_DONE and MM_WIM_DATA of the main window, until
// `goal()` holds or `timeoutMs` passes; returns whether it held.
bool PumpWaveMessages(const std::function<bool()>& goal, DWORD timeoutMs);
bool PumpUntilWaveMessages(size_t count, DWORD timeoutMs);
bool PumpUntilRunEnds(DWORD timeoutMs);
// The bytes of header `slot` while it is on the device (else none).
std::vector<uint8_t> QueuedBytes(int slot);

// The client area of `window` (this process or another) copied into a new canvas.
bool CaptureClient(HWND window, MemoryCanvas& canvas);
// True when `window` shows `text` at (x, y) as the OEM fixed font draws it, black on white.
bool ShowsText(HWND window, int x, int y, const char* text);
// How many segments of the first level bar `window` shows lit.
int LitSegments(HWND window);
