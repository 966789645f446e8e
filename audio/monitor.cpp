// The monitor engine: the input device, the queue of recording buffers, Pause (which in
// on-memory mode records the rest of the buffer in pieces), Stop and the end of a run.
#include "audio/monitor.h"
#include "audio/wavedevice.h"

MonitorBlockStep DecideMonitorBlockStep(BufferingMode mode, bool paused, bool stopRequested, bool dataFollows,
                                        uint32_t blockSize, uint32_t bytesRecorded)
{
    const bool onMemory = mode == kOnMemoryMode;
    if (onMemory && !paused) return MonitorBlockStep::kEndRecording;
    if (stopRequested) return dataFollows ? MonitorBlockStep::kAwaitAfterStop : MonitorBlockStep::kEndAfterStop;
    // A piece that filled the buffer just as Pause came: queuing an empty remainder would
    // leave nothing to come back, and the run could never end, so it ends here.
    if (onMemory && bytesRecorded >= blockSize) return MonitorBlockStep::kEndRecording;
    return MonitorBlockStep::kRequeue;
}

MMRESULT MonitorEngine::OpenDevice(const MonitorFormat& format, HWND window, BufferingMode mode,
                                   uint32_t blockSize)
{
    CloseDevice();
    mode_ = mode;
    blockSize_ = blockSize;
    recordedBytes_ = 0;
    const InputRecord record = MonitorRecord(format);
    bytesPerSecond_ = record.Get()->nAvgBytesPerSec;
    const MMRESULT result = waveInOpen(&device_, format.device, record.Get(), reinterpret_cast<DWORD_PTR>(window), 0,
                                       CALLBACK_WINDOW);
    if (result != MMSYSERR_NOERROR) device_ = nullptr;
    return result;
}

void MonitorEngine::CloseDevice() { CloseWaveDevice<WaveInApi>(device_); }

void MonitorEngine::Unwind(int preparedHeaders)
{
    TakeBackHeaders<WaveInApi>(device_, headers_, preparedHeaders);
    CloseDevice();
    buffers_.Release();
    running_ = false;
}

RunResult MonitorEngine::QueueHeader(int slot, uint32_t length)
{
    WAVEHDR* header = (*headers_)[slot];
    switch (QueueWaveHeader<WaveInApi>(device_, header, buffers_.Block(slot), length)) {
    case QueueResult::kPrepareFailed: return RunResult::kHeaderFailed;
    case QueueResult::kQueueFailed:
        // A buffer the device will not take would never come back: taken back and reported.
        WaveInApi::Unprepare(device_, header);
        return RunResult::kHeaderFailed;
    default: return RunResult::kOk;
    }
}

RunResult MonitorEngine::BeginRun(WaveHeaders& headers)
{
    headers_ = &headers;
    const int count = mode_ == kOnMemoryMode ? 1 : 2;
    RunResult result = RunResultOf(buffers_.Allocate(count, blockSize_));
    if (result != RunResult::kOk) {
        Unwind(0);
        return result;
    }
    nextHeader_ = 0;
    paused_ = false;
    for (int slot = 0; slot < count; ++slot) {
        result = QueueHeader(slot, blockSize_);
        if (result != RunResult::kOk) {
            Unwind(slot);   // the headers before `slot` are on the device
            return result;
        }
    }
    stop_ = kNotStopped;
    running_ = true;
    RestartClock(ReturnBoundMs(blockSize_, bytesPerSecond_, true));
    return RunResult::kOk;
}

void MonitorEngine::RestartClock(DWORD boundMs) { clock_.Restart(GetTickCount(), boundMs); }

bool MonitorEngine::StartRecording()
{
    RestartClock(ReturnBoundMs(blockSize_, bytesPerSecond_, true));
    return device_ && waveInStart(device_) == MMSYSERR_NOERROR;
}

// A full buffer may already be on its way back when Stop resets the device; the reset then hands
// back the next one partly filled, and its message comes after. Still prepared means its message
// has not been handled yet.
bool MonitorEngine::OtherBufferHoldsData(int slot) const
{
    if (mode_ != kStreamingMode) return false;
    const WAVEHDR* other = (*headers_)[1 - slot];
    return (other->dwFlags & WHDR_PREPARED) && other->dwBytesRecorded > 0;
}

BlockStep MonitorEngine::OnBufferData(const WAVEHDR*)
{
    BlockStep step;
    // Messages of a run that has ended (Stop's empty buffer, a failed start) are ignored.
    if (stop_ == kFinalBufferBack || !running_) return step;
    step.handled = true;
    const int slot = nextHeader_;
    const bool dataFollows = stop_ == kStopRequested && OtherBufferHoldsData(slot);
    if (stop_ == kStopRequested && !dataFollows) stop_ = kFinalBufferBack;
    nextHeader_ = 1 - slot;
    lastSlot_ = slot;
    WaveInApi::Unprepare(device_, (*headers_)[slot]);
    const uint32_t recorded = (*headers_)[slot]->dwBytesRecorded;
    step.block = buffers_.Block(slot);
    step.blockBytes = int32_t(recorded);
    recordedBytes_ += recorded;
    step.positionBytes = recordedBytes_;
    lastStep_ = DecideMonitorBlockStep(mode_, paused_, stop_ != kNotStopped, dataFollows, blockSize_, recorded);
    step.ended = lastStep_ == MonitorBlockStep::kEndRecording || lastStep_ == MonitorBlockStep::kEndAfterStop;
    // The next buffer is due a block's recording time after this one (a stopped run's at once).
    if (stop_ == kNotStopped) RestartClock(ReturnBoundMs(blockSize_, bytesPerSecond_, false));
    return step;
}

MonitorAdvance MonitorEngine::Advance(const BlockStep& step)
{
    if (!step.handled) return MonitorAdvance::kRecording;
    const bool onMemory = mode_ == kOnMemoryMode;
    switch (lastStep_) {
    case MonitorBlockStep::kEndRecording:
        if (stop_ == kNotStopped) stop_ = kFinalBufferBack;
        FinishRun();
        return MonitorAdvance::kEnded;
    case MonitorBlockStep::kEndAfterStop:
        // The other streaming buffer was handed back by Stop's reset; its message comes later
        // and is ignored. A paused on-memory run has only the buffer just analysed.
        if (!onMemory || !paused_) WaveInApi::Unprepare(device_, (*headers_)[nextHeader_]);
        FinishRun();
        return MonitorAdvance::kEnded;
    case MonitorBlockStep::kAwaitAfterStop:
        return MonitorAdvance::kRecording;
    case MonitorBlockStep::kRequeue:
        break;
    }
    int slot = lastSlot_;
    uint32_t length = blockSize_;
    if (onMemory) {
        // Reached only while paused: the next piece goes to the start of the same buffer, for
        // the capacity that is left, so the run never records more than the buffer holds.
        slot = 0;
        length = blockSize_ - uint32_t(step.blockBytes);
        nextHeader_ = 0;
        blockSize_ = length;
    }
    if (QueueHeader(slot, length) != RunResult::kOk) {
        Abort();
        return MonitorAdvance::kFailed;
    }
    return MonitorAdvance::kRecording;
}

void MonitorEngine::FinishRun()
{
    running_ = false;
    buffers_.Release();
    CloseDevice();   // every header is back and unprepared by now
}

void MonitorEngine::Stop()
{
    if (!running_ || stop_ != kNotStopped) return;
    waveInStop(device_);
    MMTIME position = {};
    position.wType = TIME_BYTES;
    if (waveInGetPosition(device_, &position, sizeof position) == MMSYSERR_NOERROR && position.wType == TIME_BYTES)
        devicePositionAtStop_ = position.u.cb;
    waveInReset(device_);
    stop_ = kStopRequested;
    clock_.Continue(GetTickCount());
    RestartClock(kReturnBoundSlackMs);
}

void MonitorEngine::Abort()
{
    if (running_) TakeBackHeaders<WaveInApi>(device_, headers_, 2);
    running_ = false;
    buffers_.Release();
    CloseDevice();
}

bool MonitorEngine::Pause()
{
    if (!running_ || waveInStop(device_) != MMSYSERR_NOERROR) return false;
    paused_ = true;
    clock_.Pause(GetTickCount());
    return true;
}

bool MonitorEngine::Continue()
{
    if (!running_ || waveInStart(device_) != MMSYSERR_NOERROR) return false;
    paused_ = false;
    // Recording starts again: the wait begins anew with the start allowance.
    clock_.Continue(GetTickCount());
    RestartClock(ReturnBoundMs(blockSize_, bytesPerSecond_, true));
    return true;
}
