// Memory of the audio engines: the main window's two wave headers, and the block buffers of one
// run (one in on-memory mode, two in streaming mode). Both are movable shared global memory,
// locked once and unlocked before they are freed, each in its destructor.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>

enum class MemoryResult : int {
    kOk = 0,
    kNoMemory,       // the allocation failed
    kLockFailed,     // the block could not be locked (a block of size 0 cannot)
};

// The two wave headers every run queues. Allocated when the main window is created.
class WaveHeaders {
public:
    WaveHeaders() = default;
    ~WaveHeaders() { Release(); }
    WaveHeaders(const WaveHeaders&) = delete;
    WaveHeaders& operator=(const WaveHeaders&) = delete;

    [[nodiscard]] MemoryResult Allocate();
    void Release();
    bool Ready() const { return header_[0] && header_[1]; }
    WAVEHDR* operator[](int slot) const { return header_[slot]; }

private:
    HGLOBAL handle_[2] = {nullptr, nullptr};
    WAVEHDR* header_[2] = {nullptr, nullptr};
};

// The block buffers of one run.
class RunBuffers {
public:
    RunBuffers() = default;
    ~RunBuffers() { Release(); }
    RunBuffers(const RunBuffers&) = delete;
    RunBuffers& operator=(const RunBuffers&) = delete;

    // `count` buffers (1 or 2) of `size` bytes each; on failure nothing stays allocated.
    [[nodiscard]] MemoryResult Allocate(int count, uint32_t size);
    void Release();
    uint8_t* Block(int slot) const { return block_[slot]; }

private:
    HGLOBAL handle_[2] = {nullptr, nullptr};
    uint8_t* block_[2] = {nullptr, nullptr};
};
