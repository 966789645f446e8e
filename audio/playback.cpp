// The playback engine: start, the done messages, the natural end, Stop, Pause and the unwinding
// of a start that failed part way. Every device call whose failure matters is checked.
#include "audio/playback.h"

#include <algorithm>

#include "audio/wavedevice.h"

namespace {

// Bytes per second the device plays: the rate times the smaller of the block align and the
// frame the channels and sample width make, so a header whose fields disagree gets the longer
// playing time (the more generous bound).
uint32_t DeviceBytesPerSecond(const WAVEFORMATEX& record)
{
    const uint32_t frame = ChannelFrameBytes(record.nChannels, record.wBitsPerSample);
    const uint64_t perSecond = uint64_t(record.nSamplesPerSec) * std::min<uint32_t>(frame, record.nBlockAlign);
    return uint32_t(std::min<uint64_t>(perSecond, UINT32_MAX));
}
}  // namespace

RunResult RunResultOf(MemoryResult result)
{
    switch (result) {
    case MemoryResult::kNoMemory: return RunResult::kNoBlockMemory;
    case MemoryResult::kLockFailed: return RunResult::kBlockLockFailed;
    default: return RunResult::kOk;
    }
}

bool PlaybackEngine::OpenDevice(const FileSource& reader, HWND window, BufferingMode mode, uint32_t blockSize)
{
    CloseDevice();
    mode_ = mode;
    blockSize_ = blockSize;
    deviceBytesPerSecond_ = DeviceBytesPerSecond(*reader.Record());
    if (waveOutOpen(&device_, WAVE_MAPPER, reader.Record(), reinterpret_cast<DWORD_PTR>(window), 0,
                    CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        device_ = nullptr;
        return false;
    }
    return true;
}

void PlaybackEngine::CloseDevice() { CloseWaveDevice<WaveOutApi>(device_); }

// Takes back the first `preparedHeaders` headers, then releases the buffers, the file (where it
// stands) and the device.
void PlaybackEngine::Unwind(int preparedHeaders)
{
    TakeBackHeaders<WaveOutApi>(device_, headers_, preparedHeaders);
    CloseDevice();
    buffers_.Release();
    if (reader_) reader_->Close();
    running_ = false;
    reader_ = nullptr;
}

RunResult PlaybackEngine::AllocateRun(FileSource& reader)
{
    reader_ = &reader;
    const RunResult result = RunResultOf(buffers_.Allocate(OnMemory() ? 1 : 2, blockSize_));
    if (result != RunResult::kOk) Unwind(0);
    return result;
}

// Reads the first block of `slot`: a file that cannot give the bytes its header claims fails the
// start; a decoder that ends early (its length was an estimate) gives what it has.
RunResult PlaybackEngine::ReadFirstBlock(int slot)
{
    const uint32_t length = reader_->TakeNextBlockLength(blockSize_);
    const uint32_t got = length ? reader_->Read(buffers_.Block(slot), length) : 0;
    blockLength_[slot] = int32_t(got);
    if (got != length && (reader_->ReadFailed() || (slot == 0 && got == 0))) return RunResult::kReadFailed;
    return RunResult::kOk;
}

// Block 0 (the whole data in on-memory mode) and, streaming, block 1, each read whole.
RunResult PlaybackEngine::ReadFirstBlocks()
{
    blockLength_[1] = 0;
    const RunResult result = ReadFirstBlock(0);
    if (result != RunResult::kOk || OnMemory()) return result;
    return ReadFirstBlock(1);
}

RunResult PlaybackEngine::QueueHeader(int slot, uint32_t length)
{
    switch (QueueWaveHeader<WaveOutApi>(device_, (*headers_)[slot], buffers_.Block(slot), length)) {
    case QueueResult::kPrepareFailed: return RunResult::kHeaderFailed;
    case QueueResult::kQueueFailed: return RunResult::kWriteFailed;
    default: return RunResult::kOk;
    }
}

RunResult PlaybackEngine::BeginRun(WaveHeaders& headers)
{
    headers_ = &headers;
    nextHeader_ = 0;
    lastBlock_ = false;
    paused_ = false;
    RunResult result = ReadFirstBlocks();
    if (result != RunResult::kOk) {
        Unwind(0);
        return result;
    }
    const int queued = (!OnMemory() && blockLength_[1] > 0) ? 2 : 1;
    lastBlock_ = queued == 1;
    for (int slot = 0; slot < queued; ++slot) {
        result = QueueHeader(slot, uint32_t(blockLength_[slot]));
        if (result != RunResult::kOk) {
            // A header that was prepared but not written is taken back too.
            Unwind(result == RunResult::kWriteFailed ? slot + 1 : slot);
            return result;
        }
    }
    stopRequested_ = false;
    running_ = true;
    RestartClock(true);
    return RunResult::kOk;
}

// The wait for the buffer due next: the one queued first of those still on the device.
void PlaybackEngine::RestartClock(bool firstBuffer)
{
    const uint32_t bytes = uint32_t(blockLength_[nextHeader_]);
    clock_.Restart(GetTickCount(), ReturnBoundMs(bytes, deviceBytesPerSecond_, firstBuffer));
}

// Refills buffer `slot` with the next `length` bytes and queues it again. A data chunk may claim
// more bytes than the file holds: a short read queues only the bytes that came (never the stale
// tail of the buffer) and a read of nothing ends the data.
RunResult PlaybackEngine::Refill(int slot, uint32_t length, BlockStep* step)
{
    const uint32_t got = length ? reader_->Read(buffers_.Block(slot), length) : 0;
    blockLength_[slot] = int32_t(got);
    if (got == 0) {
        lastBlock_ = true;
        return RunResult::kOk;
    }
    step->block = buffers_.Block(slot);
    step->blockBytes = int32_t(got);
    return QueueHeader(slot, got);
}

BlockStep PlaybackEngine::OnBufferDone(const WAVEHDR* header)
{
    BlockStep step;
    // After Stop the reset device hands back its headers: those messages are ignored. A header
    // not marked done is a late message of an earlier run whose header is queued again now.
    if (stopRequested_ || !running_ || !header || !(header->dwFlags & WHDR_DONE)) return step;
    step.handled = true;
    const int slot = nextHeader_;
    nextHeader_ = 1 - slot;
    WaveOutApi::Unprepare(device_, (*headers_)[slot]);
    const uint32_t length = reader_->TakeNextBlockLength(blockSize_);
    // Streaming: what has been read so far, queued blocks included; on-memory: the loaded data.
    step.positionBytes = OnMemory() ? uint64_t(blockLength_[0]) : reader_->BytesTaken();
    if (OnMemory()) {
        step.block = buffers_.Block(0);
        step.blockBytes = blockLength_[0];
    }
    if (lastBlock_) {
        step.ended = true;
        return step;
    }
    step.failure = Refill(slot, length, &step);
    if (step.failure != RunResult::kOk) lastBlock_ = true;
    RestartClock(false);
    return step;
}

void PlaybackEngine::FinishRun()
{
    running_ = false;
    buffers_.Release();
    if (reader_) reader_->Close();
    reader_ = nullptr;
    CloseDevice();   // both headers are back and unprepared by now
}

void PlaybackEngine::Stop()
{
    if (!running_ || !device_) return;
    stopRequested_ = true;
    TakeBackHeaders<WaveOutApi>(device_, headers_, OnMemory() ? 1 : 2);
}

void PlaybackEngine::ReleaseRun()
{
    CloseDevice();
    buffers_.Release();
    if (reader_) reader_->Close();
    reader_ = nullptr;
    running_ = false;
}

void PlaybackEngine::Abort()
{
    if (running_) {
        Stop();
        ReleaseRun();
    }
    CloseDevice();
}

bool PlaybackEngine::Pause()
{
    if (!running_ || waveOutPause(device_) != MMSYSERR_NOERROR) return false;
    paused_ = true;
    clock_.Pause(GetTickCount());
    return true;
}

bool PlaybackEngine::Continue()
{
    if (!running_ || waveOutRestart(device_) != MMSYSERR_NOERROR) return false;
    paused_ = false;
    // The device starts again: the wait begins anew with the start allowance.
    clock_.Continue(GetTickCount());
    RestartClock(true);
    return true;
}
