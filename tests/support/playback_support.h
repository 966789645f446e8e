// Test support for playback: a message pump that logs every MM_WOM_DONE the main window gets
// (which header came back, whether and with what it was queued again, how long the handling
// took), and pixels of a window's client area read back (this process or another).
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/support.h"

struct DoneRecord {
    int slot = -1;                    // 0 or 1: which of the window's headers came back
    bool requeued = false;            // the header was on the device again after the handling
    std::vector<uint8_t> queued;      // the bytes queued with it (when requeued)
    double handlingMs = 0.0;          // time spent in the window procedure for this message
};

// Starts a new log; `keepBytes` copies every requeued buffer into its record.
void BeginDoneLog(bool keepBytes);
const std::vector<DoneRecord>& DoneLog();
// The bytes of each header on the device now (after Start), in header order.
std::vector<uint8_t> QueuedBytes(int slot);

// Pumps this thread's messages, logging done messages, until `count` records are logged or the
// run has ended (state.running == 0), or `timeoutMs` passes. Returns whether the goal was met.
bool PumpUntilDoneCount(size_t count, DWORD timeoutMs);
bool PumpUntilRunEnds(DWORD timeoutMs);

// The client area of `window` copied into a new canvas (destroy it after use).
bool CaptureClient(HWND window, MemoryCanvas& canvas);
// True when `canvas` (a client capture) shows `text` at (x, y) exactly as the OEM fixed font
// draws it black on opaque white; `why` tells the first difference.
bool CanvasShowsText(const MemoryCanvas& canvas, int x, int y, const char* text, std::string* why = nullptr);
// Writes a canvas as a 32-bit BMP file.
bool SaveCanvasBmp(const MemoryCanvas& canvas, const char* path);
