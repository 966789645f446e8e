// Memory of a run, shared by playback and monitoring: the block buffers (one in on-memory mode,
// two in streaming mode) and the 32-byte run record whose address travels with every queued
// header. All of it is movable shared global memory, locked once and unlocked before it is freed.
#include "audio/audio.h"
#include "shell/globals.h"
#include "shell/messages.h"

#include <cstring>

namespace {

constexpr char kNoBlockMemory[] = "メモリ不足です。";
constexpr char kBlockLockFailed[] = "データ チャンクのロックに失敗しました。";
constexpr char kNoRecordMemory[] = "インスタンス データのためのメモリが足りません。";
constexpr char kRecordLockFailed[] = "メモリのロックに失敗しました。";

constexpr UINT kRunMemoryFlags = GMEM_MOVEABLE | GMEM_SHARE;

int BlockCount() { return state.bufferingMode == kOnMemoryMode ? 1 : 2; }

void FreeLockedBlock(HGLOBAL handle)
{
    if (!handle) return;
    GlobalUnlock(handle);
    GlobalFree(handle);
}

void FreeBlockSlot(int slot)
{
    FreeLockedBlock(state.blockHandle[slot]);
    state.blockHandle[slot] = nullptr;
    app.block[slot] = nullptr;
}

void FreeAllBlocks()
{
    FreeBlockSlot(1);
    FreeBlockSlot(0);
}

// A failed allocation releases everything the run took so far and the file before the
// message box runs its modal loop; the caller closes the device it opened.
int FailRunMemory(const char* text)
{
    FreeAllBlocks();
    CloseWaveFile();
    ShowWarning(app.mainWindow, text);
    return 0;
}

}  // namespace

int AllocBlockBuffers()
{
    for (int slot = 0; slot < BlockCount(); ++slot) {
        HGLOBAL handle = GlobalAlloc(kRunMemoryFlags, run.blockSize);
        if (!handle) return FailRunMemory(kNoBlockMemory);
        // A block of size 0 is allocated but cannot be locked: it ends here.
        BYTE* locked = static_cast<BYTE*>(GlobalLock(handle));
        if (!locked) {
            GlobalFree(handle);
            return FailRunMemory(kBlockLockFailed);
        }
        state.blockHandle[slot] = handle;
        app.block[slot] = locked;
    }
    return 1;
}

int AllocRunRecord(HGLOBAL* handle, RunRecord** record)
{
    HGLOBAL block = GlobalAlloc(kRunMemoryFlags, sizeof(RunRecord));
    if (!block) return FailRunMemory(kNoRecordMemory);
    RunRecord* locked = static_cast<RunRecord*>(GlobalLock(block));
    if (!locked) {
        GlobalFree(block);
        return FailRunMemory(kRecordLockFailed);
    }
    std::memset(locked, 0, sizeof *locked);
    locked->self = block;
    locked->header0 = run.headerHandle[0];
    locked->block0 = state.blockHandle[0];
    *handle = block;
    *record = locked;
    return 1;
}

void FreeRunRecord(RunRecord* record)
{
    if (!record) return;
    // Buffer 0 is freed through the handle the record carries; the state's slots are cleared
    // as well so that no stale pointer outlives the run.
    FreeLockedBlock(record->block0);
    if (state.blockHandle[0] == record->block0) {
        state.blockHandle[0] = nullptr;
        app.block[0] = nullptr;
    }
    if (state.bufferingMode == kStreamingMode) FreeBlockSlot(1);
    FreeLockedBlock(record->self);
}
