// Test support for the audio engines: a message pump that logs the wave messages the main window
// gets (what a header held when it came back, what was queued again with it), and captures of a
// window's client area.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <functional>

#include "tests/support/support.h"

struct WaveMessage {
    DWORD bytesRecorded = 0;          // as the header came back (MM_WIM_DATA)
    std::vector<uint8_t> queued;      // MM_WOM_DONE: the bytes queued again with it (none: not requeued)
};
extern std::vector<WaveMessage> waveLog;   // tests clear it before a run
// Pumps this thread's messages, logging MM_WOM_DONE and MM_WIM_DATA of the main window, until
// `goal()` holds or `timeoutMs` passes; returns whether it held.
bool PumpWaveMessages(const std::function<bool()>& goal, DWORD timeoutMs);
bool PumpUntilRunEnds(DWORD timeoutMs);
// The bytes of `header` while it is on the device (else none).
std::vector<uint8_t> QueuedBytes(const WAVEHDR* header);

// The client area of `window` (this process or another) copied into a new canvas.
bool CaptureClient(HWND window, MemoryCanvas& canvas);
// Whether `window` shows segment `s` (0 to 16) of the first level bar lit.
bool SegmentLit(HWND window, int s);
