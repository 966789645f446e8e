// What the process holds, for the fuzzer's and the soak's leak checks: kernel handles (all, and
// those of open files), GDI and USER objects (where the platform reports them), committed private
// memory, the blocks of the process heap, and the global memory blocks this program's own code
// holds (counted through its import table once CountGlobalBlocks has run).
#pragma once

#include <cstdint>

struct ProcessCounters {
    uint32_t handles = 0;
    uint32_t fileHandles = 0;
    uint32_t gdiObjects = 0;      // 0 where the platform does not report them (Wine 8)
    uint32_t userObjects = 0;
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
// Whether GetGuiResources gives this process any count at all (Wine 8 gives 0 for both).
bool GuiCountsReported(const ProcessCounters& counters);
