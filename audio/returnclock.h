// The wait for the next buffer a sound device owes the run. A device that has died (a sound
// server gone away, a driver that swallows a header) reports nothing: its buffers simply never
// come back. The engines keep this clock so the shell can ask how long the current wait has
// lasted, time spent paused left out (a paused device rightly returns nothing), and whether it
// has passed a generous bound. The decisions are plain functions of ticks.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr DWORD kReturnBoundFactor = 4;          // a buffer may take four times its playing time
constexpr DWORD kReturnBoundSlackMs = 1000;      // plus a second
constexpr DWORD kDeviceStartAllowanceMs = 2000;  // plus, for a run's first buffer, the device's start
constexpr DWORD kLongestReturnBoundMs = 0x7FFFFFFF;

// Milliseconds a buffer of `bytes` may stay on a device that takes `bytesPerSecond`; a device
// rate of 0 (a format that gives none) gives the longest bound.
DWORD ReturnBoundMs(uint32_t bytes, uint32_t bytesPerSecond, bool firstBuffer);
// Whether a wait begun at tick `since`, of which `pausedMs` were spent paused, has lasted longer
// than `boundMs` at tick `now`. Ticks wrap after 49.7 days; the differences stay right.
bool WaitOverdue(DWORD now, DWORD since, DWORD pausedMs, DWORD boundMs);

class ReturnClock {
public:
    // A new wait from `now` (a run began or a buffer came back), bounded by `boundMs`.
    void Restart(DWORD now, DWORD boundMs);
    // Paused time does not count; a restart while paused stays paused.
    void Pause(DWORD now);
    void Continue(DWORD now);
    bool Overdue(DWORD now) const;

private:
    DWORD since_ = 0;
    DWORD pausedMs_ = 0;
    DWORD pauseTick_ = 0;
    DWORD boundMs_ = kLongestReturnBoundMs;
    bool paused_ = false;
};
