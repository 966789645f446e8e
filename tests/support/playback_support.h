// Test support for the audio engines: a message pump that logs the wave messages the main window
// gets (what a header held when it came back, what was queued again with it), and captures of a
// window's client area.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <functional>

#include "core/types.h"
#include "display/layout.h"
#include "tests/support/support.h"

struct WaveMessage {
    DWORD bytesRecorded = 0;          // as the header came back (MM_WIM_DATA)
    std::vector<uint8_t> queued;      // MM_WOM_DONE: the bytes queued again with it (none: not requeued)
};
using WaveLog = std::vector<WaveMessage>;
// Pumps this thread's messages, appending MM_WOM_DONE and MM_WIM_DATA of the test window to
// `log` (when given), until `goal()` holds or `timeoutMs` passes; returns whether it held.
bool PumpWaveMessages(const std::function<bool()>& goal, DWORD timeoutMs, WaveLog* log = nullptr);
// The same until the test window has no run going.
bool PumpUntilRunEnds(DWORD timeoutMs, WaveLog* log = nullptr);
// The bytes of `header` while it is on the device (else none).
std::vector<uint8_t> QueuedBytes(const WAVEHDR* header);
// The bytes the logged MM_WIM_DATA messages brought.
uint32_t RecordedBytes(const WaveLog& log);
// Whether the test window runs and the recording buffer the device is filling is at least half
// full (so the partial block Stop hands back is long enough to find a tone in).
bool RecordingBufferHasData();

// The client area of `window` (this process or another) copied into a new canvas.
bool CaptureClient(HWND window, MemoryCanvas& canvas);
// Whether `window`, laid out in `layout`, shows segment `s` (0 to 16) lit in the level bar whose
// top is at row `barTopRow` (2: the mono bar and LEFT; 4: RIGHT).
// The layout is the caller's: another process's window object cannot be read from here.
constexpr int kFirstBarRow = 2, kRightBarRow = 4;
bool SegmentLit(HWND window, const Layout& layout, int s, int barTopRow = kFirstBarRow);
