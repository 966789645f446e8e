// Test support for monitoring: the monitor chosen through the real Monitor command.
#pragma once

#include <cstdint>

// Sends the Monitor command; when the dialog shows, clicks the buttons of `rate` and `bits`, then OK.
// Returns whether the dialog was shown.
bool ChooseMonitorFormat(uint32_t rate, uint16_t bits);
