// Wave headers and run buffers: movable shared global blocks, locked for their whole life.
#include "audio/runmemory.h"

namespace {

constexpr UINT kRunMemoryFlags = GMEM_MOVEABLE | GMEM_SHARE;
constexpr UINT kHeaderFlags = GMEM_MOVEABLE | GMEM_DDESHARE | GMEM_ZEROINIT;   // no stale flags

void FreeLocked(HGLOBAL& handle)
{
    if (!handle) return;
    GlobalUnlock(handle);
    GlobalFree(handle);
    handle = nullptr;
}

// One locked block of `size` bytes; the handle stays null when either step fails.
MemoryResult AllocateLocked(UINT flags, SIZE_T size, HGLOBAL* handle, void** locked)
{
    HGLOBAL block = GlobalAlloc(flags, size);
    if (!block) return MemoryResult::kNoMemory;
    void* address = GlobalLock(block);
    if (!address) {
        GlobalFree(block);
        return MemoryResult::kLockFailed;
    }
    *handle = block;
    *locked = address;
    return MemoryResult::kOk;
}

}  // namespace

MemoryResult WaveHeaders::Allocate()
{
    Release();
    // Both are allocated before either is locked, so an allocation failure is reported as one.
    handle_[0] = GlobalAlloc(kHeaderFlags, sizeof(WAVEHDR));
    handle_[1] = GlobalAlloc(kHeaderFlags, sizeof(WAVEHDR));
    if (!handle_[0] || !handle_[1]) {
        Release();
        return MemoryResult::kNoMemory;
    }
    header_[0] = static_cast<WAVEHDR*>(GlobalLock(handle_[0]));
    header_[1] = static_cast<WAVEHDR*>(GlobalLock(handle_[1]));
    if (!header_[0] || !header_[1]) {
        Release();
        return MemoryResult::kLockFailed;
    }
    return MemoryResult::kOk;
}

void WaveHeaders::Release()
{
    for (int slot = 0; slot < 2; ++slot) {
        if (!handle_[slot]) continue;
        if (header_[slot]) GlobalUnlock(handle_[slot]);
        GlobalFree(handle_[slot]);
        handle_[slot] = nullptr;
        header_[slot] = nullptr;
    }
}

MemoryResult RunBuffers::Allocate(int count, uint32_t size)
{
    Release();
    for (int slot = 0; slot < count && slot < 2; ++slot) {
        void* locked = nullptr;
        const MemoryResult result = AllocateLocked(kRunMemoryFlags, size, &handle_[slot], &locked);
        if (result != MemoryResult::kOk) {
            Release();
            return result;
        }
        block_[slot] = static_cast<uint8_t*>(locked);
    }
    return MemoryResult::kOk;
}

void RunBuffers::Release()
{
    for (int slot = 1; slot >= 0; --slot) {
        FreeLocked(handle_[slot]);
        block_[slot] = nullptr;
    }
}
