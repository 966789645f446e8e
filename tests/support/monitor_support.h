// Test support for monitoring: the monitor chosen through the real Monitor command.
#pragma once

#include <cstdint>

struct MonitorDialogOutcome {
    bool scriptRan = false;           // the dialog was shown and its buttons clicked
};
// Sends the Monitor command; when the dialog shows, clicks the buttons of `rate` and `bits`, then OK.
MonitorDialogOutcome ChooseMonitorFormat(uint32_t rate, uint16_t bits);
