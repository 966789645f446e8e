// The monitor engine: records the sound input into the run's block buffers and hands every
// returned buffer to the shell for analysis. Streaming mode records without end into two
// alternating buffers; on-memory mode fills one buffer (in pieces when paused) and ends by
// itself. Nothing is written to disk. It owns the input device and the run's buffers.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>

#include "audio/input_devices.h"
#include "audio/playback.h"
#include "audio/returnclock.h"
#include "audio/runmemory.h"
#include "core/types.h"

constexpr uint32_t kMonitorCapacity = 2147483647u;    // bytes the monitor can record ("Free:")
constexpr uint32_t kMonitorTotalBytes = 2147483603u;  // 2^31 - 1 - 44: bounds the on-memory block

// The rates and sample widths the Monitor dialog offers.
constexpr uint32_t kMonitorRate44 = 44100, kMonitorRate22 = 22050, kMonitorRate11 = 11025;
constexpr uint16_t kMonitorBits16 = 16, kMonitorBits8 = 8;

// What happens after a returned buffer was analysed.
enum class MonitorBlockStep {
    kEndRecording,      // on-memory buffer full (or Stop while recording): end the run
    kEndAfterStop,      // Stop was requested: end the run
    kAwaitAfterStop,    // Stop was requested and the other buffer came back holding data: wait for it
    kRequeue            // recording goes on
};
// `dataFollows`: after Stop, the other buffer came back holding data and its message is still due.
MonitorBlockStep DecideMonitorBlockStep(BufferingMode mode, bool paused, bool stopRequested, bool dataFollows,
                                        uint32_t blockSize, uint32_t bytesRecorded);

// Where a run stands after a returned buffer was analysed.
enum class MonitorAdvance { kRecording, kEnded, kFailed };

class MonitorEngine {
public:
    MonitorEngine() = default;
    ~MonitorEngine() { Abort(); }
    MonitorEngine(const MonitorEngine&) = delete;
    MonitorEngine& operator=(const MonitorEngine&) = delete;

    // Opens the input device, data messages going to `window`; returns the device's answer.
    [[nodiscard]] MMRESULT OpenDevice(const MonitorFormat& format, HWND window, BufferingMode mode,
                                      uint32_t blockSize);
    bool DeviceOpen() const { return device_ != nullptr; }
    void CloseDevice();

    // Buffers allocated and both (on-memory: one) headers queued; recording starts with
    // StartRecording once the shell has drawn the empty frame. A failure releases the buffers
    // and the device.
    [[nodiscard]] RunResult BeginRun(WaveHeaders& headers);
    [[nodiscard]] bool StartRecording();

    // A data message: the returned block (analysed by the shell before Advance).
    BlockStep OnBufferData(const WAVEHDR* header);
    // After the block of `step` was shown: recording goes on, the run ends, or the device
    // would not take the buffer back (the run is released either way).
    MonitorAdvance Advance(const BlockStep& step);
    void Stop();
    void Abort();

    [[nodiscard]] bool Pause();
    [[nodiscard]] bool Continue();

    // Whether the buffer the device owes has been away longer than its bound at tick `now`
    // (time paused left out; after Stop the reset device owes its buffers at once).
    bool ReturnOverdue(DWORD now) const { return running_ && clock_.Overdue(now); }

    bool Running() const { return running_; }
    bool Paused() const { return paused_; }
    BufferingMode Mode() const { return mode_; }
    uint32_t BlockSize() const { return blockSize_; }
    uint32_t RecordedBytes() const { return recordedBytes_; }
    // Bytes the device reported recording when Stop stopped it (0 before any Stop).
    uint32_t DevicePositionAtStop() const { return devicePositionAtStop_; }

private:
    RunResult QueueHeader(int slot, uint32_t length);
    void Unwind(int preparedHeaders);
    void FinishRun();
    void RestartClock(DWORD boundMs);
    bool OtherBufferHoldsData(int slot) const;

    enum StopState { kNotStopped, kStopRequested, kFinalBufferBack };
    HWAVEIN device_ = nullptr;
    WaveHeaders* headers_ = nullptr;
    RunBuffers buffers_;
    BufferingMode mode_ = kStreamingMode;
    uint32_t blockSize_ = 0;
    uint32_t bytesPerSecond_ = 0;
    uint32_t recordedBytes_ = 0;
    uint32_t devicePositionAtStop_ = 0;
    int nextHeader_ = 0;
    int lastSlot_ = 0;                 // the slot of the block handed out by OnBufferData
    MonitorBlockStep lastStep_ = MonitorBlockStep::kRequeue;
    bool running_ = false;
    bool paused_ = false;
    StopState stop_ = kNotStopped;
    ReturnClock clock_;
};
