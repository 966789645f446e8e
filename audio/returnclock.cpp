// The return clock: the bound of one buffer's wait and the overdue decision, paused time left out.
#include "audio/returnclock.h"

#include <algorithm>

namespace {
constexpr uint64_t kMillisecondsPerSecond = 1000;
}  // namespace

DWORD ReturnBoundMs(uint32_t bytes, uint32_t bytesPerSecond, bool firstBuffer)
{
    if (bytesPerSecond == 0) return kLongestReturnBoundMs;
    const uint64_t playingMs = (uint64_t(bytes) * kMillisecondsPerSecond + bytesPerSecond - 1) / bytesPerSecond;
    const uint64_t bound = kReturnBoundFactor * playingMs + kReturnBoundSlackMs +
                           (firstBuffer ? kDeviceStartAllowanceMs : 0);
    return DWORD(std::min<uint64_t>(bound, kLongestReturnBoundMs));
}

bool WaitOverdue(DWORD now, DWORD since, DWORD pausedMs, DWORD boundMs)
{
    const DWORD elapsed = now - since;
    return elapsed > pausedMs && elapsed - pausedMs > boundMs;
}

void ReturnClock::Restart(DWORD now, DWORD boundMs)
{
    since_ = now;
    pausedMs_ = 0;
    pauseTick_ = now;
    boundMs_ = boundMs;
}

void ReturnClock::Pause(DWORD now)
{
    if (paused_) return;
    paused_ = true;
    pauseTick_ = now;
}

void ReturnClock::Continue(DWORD now)
{
    if (!paused_) return;
    paused_ = false;
    pausedMs_ += now - pauseTick_;
}

bool ReturnClock::Overdue(DWORD now) const
{
    const DWORD pausedMs = pausedMs_ + (paused_ ? now - pauseTick_ : 0);
    return WaitOverdue(now, since_, pausedMs, boundMs_);
}
