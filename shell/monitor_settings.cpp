// The monitor format in the settings file (see monitor_settings.h).
#include "shell/monitor_settings.h"

#include <cstdio>

#include "shell/decisions.h"

namespace {
const char kRateKey[] = "monitorrate";
const char kChannelsKey[] = "monitorchannels";
const char kBitsKey[] = "monitorbits";
const char kDeviceKey[] = "monitordevice";
constexpr int kNumberBytes = 32;

int32_t ReadNumber(const char* file, const char* section, const char* key)
{
    char text[kNumberBytes];
    GetPrivateProfileStringA(section, key, "", text, sizeof text, file);
    return ParseSettingText(text);
}

void WriteNumber(const char* file, const char* section, const char* key, int32_t value)
{
    char text[kNumberBytes];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    WritePrivateProfileStringA(section, key, text, file);
}

// The listed device of that name; the default device when the name is empty or not listed.
uint32_t DeviceNamed(const InputDeviceList& devices, const std::string& name)
{
    if (name.empty()) return kDefaultInputDevice;
    for (const InputDevice& device : devices)
        if (device.id != kDefaultInputDevice && device.name == name) return device.id;
    return kDefaultInputDevice;
}
}  // namespace

StoredMonitorFormat StoredFormOf(const MonitorFormat& format, const InputDeviceList& devices)
{
    StoredMonitorFormat stored;
    stored.rate = int32_t(format.rate);
    stored.channels = format.channels;
    stored.bits = format.bits;
    const int index = InputDeviceIndex(devices, format.device);
    if (index >= 0 && format.device != kDefaultInputDevice) stored.device = devices[size_t(index)].name;
    return stored;
}

MonitorFormat ResolveStoredMonitorFormat(const StoredMonitorFormat& stored, const InputDeviceList& devices,
                                         InputFormatQuery query)
{
    const uint32_t device = DeviceNamed(devices, stored.device);
    const int index = InputDeviceIndex(devices, device);
    const DWORD mask = index >= 0 ? devices[size_t(index)].formats : 0;
    const MonitorFormat format = {uint32_t(stored.rate), uint16_t(stored.channels), uint16_t(stored.bits), device};
    const bool storedAsRead = int32_t(format.rate) == stored.rate && format.channels == stored.channels &&
                              format.bits == stored.bits;
    if (storedAsRead && IsOfferedMonitorFormat(format) && index >= 0 && query(format) == MMSYSERR_NOERROR)
        return format;
    MonitorFormat fallback = kDefaultMonitorFormat;
    fallback.device = device;
    return AdjustMonitorFormat(fallback, mask);
}

StoredMonitorFormat ReadStoredMonitorFormat(const char* file, const char* section)
{
    StoredMonitorFormat stored;
    stored.rate = ReadNumber(file, section, kRateKey);
    stored.channels = ReadNumber(file, section, kChannelsKey);
    stored.bits = ReadNumber(file, section, kBitsKey);
    char name[MAXPNAMELEN] = {};
    GetPrivateProfileStringA(section, kDeviceKey, "", name, sizeof name, file);
    stored.device = name;
    return stored;
}

void WriteStoredMonitorFormat(const char* file, const char* section, const StoredMonitorFormat& stored)
{
    WriteNumber(file, section, kRateKey, stored.rate);
    WriteNumber(file, section, kChannelsKey, stored.channels);
    WriteNumber(file, section, kBitsKey, stored.bits);
    WritePrivateProfileStringA(section, kDeviceKey, stored.device.c_str(), file);
}
