// What the process holds, for the fuzzer's and the soak's leak checks: threads, kernel handles
// (all, and those of open files), GDI and USER objects, committed private memory, the blocks of
// the process heap, and the global memory blocks this program's own code holds (counted through
// its import table once CountGlobalBlocks has run). Wine 8 reports no GDI or USER counts: there
// the GDI objects are counted in its GDI handle table and the process's windows stand for its
// USER objects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ProcessCounters {
    uint32_t handles = 0;
    uint32_t fileHandles = 0;
    uint32_t threads = 0;
    uint32_t gdiObjects = 0;
    uint32_t userObjects = 0;
    bool guiCountsReported = false;   // by the platform (else counted as above)
    uint64_t committedBytes = 0;  // private committed pages of the address space
    uint32_t heapBlocks = 0;      // busy blocks of the process heap
    uint64_t heapBytes = 0;
    int32_t globalBlocks = 0;     // allocated and not yet freed since CountGlobalBlocks
};

// Routes the program's GlobalAlloc, GlobalReAlloc and GlobalFree calls through counters (the
// system's own libraries are not counted: Wine's sound driver leaks a small heap block per
// format query, which is no fault of the program's). False when the import table has none.
bool CountGlobalBlocks();

ProcessCounters MeasureProcess();

// The sound driver's threads open and close handles of their own at their own pace.
constexpr uint32_t kDriverHandleSlack = 8;

// What is not back in `last` to where it was in `first`: file handles and the program's global
// memory blocks exactly, all handles within the driver's slack, GDI and USER objects no more than
// before. Empty when everything is back. (Committed memory is the caller's to judge: how much the
// analysis keeps depends on the FFT length used last.)
std::vector<std::string> CountersNotBack(const ProcessCounters& first, const ProcessCounters& last);
