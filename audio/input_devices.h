// The sound input devices the monitor can record from (the wave input mapper first, then every
// device by the name its capabilities give), the formats the monitor offers, the record a device
// is opened with (the extensible record where files get one too) and which of the offered choices
// a device accepts. Queries go through a function, so the rules can be proven with any device.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/types.h"

// The rates, channel counts and sample widths the Monitor dialog offers.
constexpr std::array<uint32_t, 9> kMonitorRates = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000};
constexpr std::array<uint16_t, 2> kMonitorChannelCounts = {1, 2};
constexpr std::array<uint16_t, 3> kMonitorWidths = {8, 16, 24};
// What a user who chooses nothing records: mono, 16-bit, 44100 Hz, on the default device.
constexpr MonitorFormat kDefaultMonitorFormat = {44100, 1, 16, kDefaultInputDevice};

// Whether a format is one of the offered rate, channel count and width combinations.
bool IsOfferedMonitorFormat(const MonitorFormat& format);

// The format record a monitor format is recorded with: PCM, or its extensible equivalent for
// more than 16 bits (some drivers open only that form).
struct InputRecord {
    WAVEFORMATEXTENSIBLE bytes;
    const WAVEFORMATEX* Get() const { return &bytes.Format; }
};
InputRecord MonitorRecord(const MonitorFormat& format);

// Asks the format's input device whether it can record it; 0 means yes.
using InputFormatQuery = MMRESULT (*)(const MonitorFormat& format);
MMRESULT QueryInputFormat(const MonitorFormat& format);

struct InputDevice {
    uint32_t id;          // wave input device id, or kDefaultInputDevice for the mapper
    std::string name;     // from the capabilities (the mapper's is not shown)
    DWORD formats;        // the capabilities' format mask
};
using InputDeviceList = std::vector<InputDevice>;
// The mapper, then every device whose capabilities can be read, in device order. Empty without
// any input device.
InputDeviceList ListInputDevices();
// The entry of device `id` in `devices`, or -1.
int InputDeviceIndex(const InputDeviceList& devices, uint32_t id);

// Which offered choices the device records in at least one combination with the others.
struct AcceptedChoices {
    std::array<bool, kMonitorRates.size()> rates = {};
    std::array<bool, kMonitorChannelCounts.size()> channels = {};
    std::array<bool, kMonitorWidths.size()> widths = {};
    bool Any() const;
};
AcceptedChoices AcceptedChoicesOf(uint32_t device, InputFormatQuery query);
