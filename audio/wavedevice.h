// What the playback and monitor engines do alike with their device: closing it (always reset
// first), taking the headers back after a reset, and queuing a buffer. One template over the two
// directions of the wave API, so a rule learnt about one device holds for the other.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>

#include "audio/runmemory.h"

// The output device: buffers are written to be played.
struct WaveOutApi {
    using Handle = HWAVEOUT;
    static MMRESULT Reset(Handle device) { return waveOutReset(device); }
    static MMRESULT Close(Handle device) { return waveOutClose(device); }
    static MMRESULT Prepare(Handle device, WAVEHDR* header) { return waveOutPrepareHeader(device, header, sizeof *header); }
    static MMRESULT Unprepare(Handle device, WAVEHDR* header) { return waveOutUnprepareHeader(device, header, sizeof *header); }
    static MMRESULT Queue(Handle device, WAVEHDR* header) { return waveOutWrite(device, header, sizeof *header); }
};

// The input device: buffers are added to be recorded into.
struct WaveInApi {
    using Handle = HWAVEIN;
    static MMRESULT Reset(Handle device) { return waveInReset(device); }
    static MMRESULT Close(Handle device) { return waveInClose(device); }
    static MMRESULT Prepare(Handle device, WAVEHDR* header) { return waveInPrepareHeader(device, header, sizeof *header); }
    static MMRESULT Unprepare(Handle device, WAVEHDR* header) { return waveInUnprepareHeader(device, header, sizeof *header); }
    static MMRESULT Queue(Handle device, WAVEHDR* header) { return waveInAddBuffer(device, header, sizeof *header); }
};

// Under Wine a device closed with buffers still queued reports success and keeps them for ever,
// so it is always reset first; a driver that still holds a buffer refuses the close, and one more
// reset hands it back. Nothing when no device is open; the handle is null afterwards.
template <typename Api>
void CloseWaveDevice(typename Api::Handle& device)
{
    if (!device) return;
    Api::Reset(device);
    if (Api::Close(device) != MMSYSERR_NOERROR) {
        Api::Reset(device);
        Api::Close(device);
    }
    device = nullptr;
}

// Resets the device, which hands back every queued buffer, and unprepares the first `prepared`
// headers (nothing without a device or headers).
template <typename Api>
void TakeBackHeaders(typename Api::Handle device, const WaveHeaders* headers, int prepared)
{
    if (!device) return;
    Api::Reset(device);
    for (int slot = 0; slot < prepared && headers; ++slot) Api::Unprepare(device, (*headers)[slot]);
}

enum class QueueResult : int { kOk = 0, kPrepareFailed, kQueueFailed };

// Header `header` made anew for `length` bytes of `data`, prepared and queued. A header the
// device would not queue stays prepared: the caller decides how it is taken back.
template <typename Api>
QueueResult QueueWaveHeader(typename Api::Handle device, WAVEHDR* header, uint8_t* data, uint32_t length)
{
    *header = WAVEHDR{};
    header->lpData = reinterpret_cast<LPSTR>(data);
    header->dwBufferLength = length;
    if (Api::Prepare(device, header) != MMSYSERR_NOERROR) return QueueResult::kPrepareFailed;
    if (Api::Queue(device, header) != MMSYSERR_NOERROR) return QueueResult::kQueueFailed;
    return QueueResult::kOk;
}
