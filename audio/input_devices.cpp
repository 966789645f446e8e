// The input devices, the monitor's format record and the offered choices a device accepts.
#include "audio/input_devices.h"

#include <algorithm>

#include "audio/wavreader.h"

namespace {
template <typename T, size_t N>
bool Contains(const std::array<T, N>& values, T value)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}
}  // namespace

bool IsOfferedMonitorFormat(const MonitorFormat& format)
{
    return Contains(kMonitorRates, format.rate) && Contains(kMonitorChannelCounts, format.channels) &&
           Contains(kMonitorWidths, format.bits);
}

InputRecord MonitorRecord(const MonitorFormat& format)
{
    InputRecord record = {};
    WAVEFORMATEX& pcm = record.bytes.Format;
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = format.channels;
    pcm.nSamplesPerSec = format.rate;
    pcm.nBlockAlign = WORD((format.bits / 8) * format.channels);
    pcm.nAvgBytesPerSec = pcm.nBlockAlign * format.rate;
    pcm.wBitsPerSample = format.bits;
    if (NeedsExtensibleRecord(pcm)) record.bytes = ExtensibleRecordOf(pcm);
    return record;
}

MMRESULT QueryInputFormat(const MonitorFormat& format)
{
    const InputRecord record = MonitorRecord(format);
    return waveInOpen(nullptr, format.device, record.Get(), 0, 0, WAVE_FORMAT_QUERY);
}

InputDeviceList ListInputDevices()
{
    InputDeviceList devices;
    const UINT count = waveInGetNumDevs();
    if (count == 0) return devices;
    WAVEINCAPSA caps = {};
    const DWORD mapperFormats = waveInGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR ? caps.dwFormats : 0;
    devices.push_back({kDefaultInputDevice, std::string(), mapperFormats});
    for (UINT id = 0; id < count; ++id) {
        caps = WAVEINCAPSA{};
        if (waveInGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
        caps.szPname[MAXPNAMELEN - 1] = '\0';
        devices.push_back({id, caps.szPname, caps.dwFormats});
    }
    return devices;
}

int InputDeviceIndex(const InputDeviceList& devices, uint32_t id)
{
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].id == id) return int(i);
    return -1;
}

bool AcceptedChoices::Any() const
{
    return std::find(rates.begin(), rates.end(), true) != rates.end();
}

AcceptedChoices AcceptedChoicesOf(uint32_t device, InputFormatQuery query)
{
    AcceptedChoices accepted;
    for (size_t r = 0; r < kMonitorRates.size(); ++r)
        for (size_t c = 0; c < kMonitorChannelCounts.size(); ++c)
            for (size_t w = 0; w < kMonitorWidths.size(); ++w) {
                if (query({kMonitorRates[r], kMonitorChannelCounts[c], kMonitorWidths[w], device}) != MMSYSERR_NOERROR)
                    continue;
                accepted.rates[r] = accepted.channels[c] = accepted.widths[w] = true;
            }
    return accepted;
}
