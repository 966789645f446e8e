// The monitor format kept in the settings file between runs: its rate, channels, bits and the
// input device's name, as read and as written, and the decision what a stored value becomes at
// startup (a missing, unknown or refused one falls back to the default format, lowered to what
// the device offers; a device that has gone falls back to the default device).
#pragma once

#include <cstdint>
#include <string>

#include "audio/input_devices.h"
#include "core/types.h"

// The four values as the settings file holds them (0 or empty when missing).
struct StoredMonitorFormat {
    int32_t rate = 0;
    int32_t channels = 0;
    int32_t bits = 0;
    std::string device;        // the device's name; empty for the default device
};

// The stored form of a format: its device named by its entry in `devices` (empty for the
// default device or one not listed).
StoredMonitorFormat StoredFormOf(const MonitorFormat& format, const InputDeviceList& devices);
// The format the program starts with: the stored one on the device of that name when the device
// accepts it; else the default format, lowered to the device's format mask.
MonitorFormat ResolveStoredMonitorFormat(const StoredMonitorFormat& stored, const InputDeviceList& devices,
                                         InputFormatQuery query);

// Reads and writes the four values in `section` of the settings file `file`.
StoredMonitorFormat ReadStoredMonitorFormat(const char* file, const char* section);
void WriteStoredMonitorFormat(const char* file, const char* section, const StoredMonitorFormat& stored);
