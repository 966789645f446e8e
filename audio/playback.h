// The playback engine: plays the open file (any source) through the wave output device, in streaming mode
// (two block buffers alternate on the device; each returned block is refilled and queued again)
// or in on-memory mode (one buffer holds the whole data and is analysed once, at the end or at
// Stop). It owns the output device and the run's buffers, borrows the reader and the window's
// headers for the run, and reports what happened; the shell decides what the user sees.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>

#include "audio/returnclock.h"
#include "audio/runmemory.h"
#include "audio/filesource.h"
#include "core/types.h"

// Why a run could not start (or had to end).
enum class RunResult : int {
    kOk = 0,
    kNoBlockMemory,       // the run's buffers cannot be allocated
    kBlockLockFailed,     // the run's buffers cannot be locked
    kReadFailed,          // the data cannot be read
    kHeaderFailed,        // the device refused to prepare a header
    kWriteFailed,         // the device refused a buffer
    kDeviceFailed,        // the device refused to pause, continue or record
};

RunResult RunResultOf(MemoryResult result);

// What one returned buffer brought: the position to show, the block to analyse (none when the
// data ended) and whether the run is over. A step that is not `handled` is a stale message.
struct BlockStep {
    bool handled = false;
    uint64_t positionBytes = 0;
    const uint8_t* block = nullptr;
    int32_t blockBytes = 0;
    bool ended = false;
    RunResult failure = RunResult::kOk;   // the device refused a buffer: the run must stop
};

class PlaybackEngine {
public:
    PlaybackEngine() = default;
    ~PlaybackEngine() { Abort(); }
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // Opens the output device for the reader's format, done messages going to `window`.
    [[nodiscard]] bool OpenDevice(const FileSource& reader, HWND window, BufferingMode mode, uint32_t blockSize);
    bool DeviceOpen() const { return device_ != nullptr; }
    // Resets and closes the device (nothing when none is open).
    void CloseDevice();

    // A start in two steps so the shell can show the loading notice in between: the run's
    // buffers, then the first blocks read and queued. Either failure releases the buffers, the
    // file and the device before it returns.
    [[nodiscard]] RunResult AllocateRun(FileSource& reader);
    [[nodiscard]] RunResult BeginRun(WaveHeaders& headers);

    // A done message: the next block read and queued again, or the end of the data.
    BlockStep OnBufferDone(const WAVEHDR* header);
    // After the last buffer came back: buffers, file and device.
    void FinishRun();
    // Stop: the device hands every buffer back; the buffers stay for a final analysis.
    void Stop();
    // After Stop: buffers, file (where it stands) and device released.
    void ReleaseRun();
    // Window closed: whatever runs is taken back and released.
    void Abort();

    [[nodiscard]] bool Pause();
    [[nodiscard]] bool Continue();

    // Whether the buffer the device owes has been away longer than its bound at tick `now`
    // (time paused left out). A device that died returns nothing and reports nothing.
    bool ReturnOverdue(DWORD now) const { return running_ && !stopRequested_ && clock_.Overdue(now); }

    bool Running() const { return running_; }
    bool Paused() const { return paused_; }
    BufferingMode Mode() const { return mode_; }
    uint32_t BlockSize() const { return blockSize_; }
    const uint8_t* Block(int slot) const { return buffers_.Block(slot); }
    int32_t FirstBlockBytes() const { return blockLength_[0]; }
    // On-memory: the bytes loaded (the block the run analyses at its end or at Stop).
    int32_t LoadedBytes() const { return blockLength_[0]; }

private:
    bool OnMemory() const { return mode_ == kOnMemoryMode; }
    RunResult QueueHeader(int slot, uint32_t length);
    RunResult ReadFirstBlock(int slot);
    RunResult ReadFirstBlocks();
    void Unwind(int preparedHeaders);
    void RestartClock(bool firstBuffer);
    RunResult Refill(int slot, uint32_t length, BlockStep* step);

    HWAVEOUT device_ = nullptr;
    FileSource* reader_ = nullptr;
    WaveHeaders* headers_ = nullptr;
    RunBuffers buffers_;
    BufferingMode mode_ = kStreamingMode;
    uint32_t blockSize_ = 0;
    uint32_t deviceBytesPerSecond_ = 0;   // what the device plays, whatever the file's own figure says
    int32_t blockLength_[2] = {0, 0};
    int nextHeader_ = 0;
    bool lastBlock_ = false;
    bool running_ = false;
    bool paused_ = false;
    bool stopRequested_ = false;
    ReturnClock clock_;
};
