// Process counters. GetProcessHandleCount reports 0 under Wine 8, so the handles are counted in
// the system's handle list (NtQuerySystemInformation, class 16), which Wine does fill; it also
// gives each handle's object type, so the handles of open files can be told apart. Global memory
// blocks are counted by replacing the entries of GlobalAlloc and GlobalFree in this program's
// import table.
#include "tools/fuzz/process_counters.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = LONG(0xC0000004);
constexpr size_t kFirstHandleListBytes = 1 << 16;
constexpr int kHandleListTries = 8;

struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};
struct SystemHandleList {
    ULONG count;
    SystemHandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

struct HandleCounts {
    uint32_t all = 0;
    uint32_t ofType = 0;
};

// This process's handles in the system's list, and those whose object type is `type`.
HandleCounts CountHandlesInSystemList(int type, HANDLE find = nullptr, int* foundType = nullptr)
{
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    HandleCounts counts;
    if (!query) return counts;
    std::vector<uint8_t> buffer(kFirstHandleListBytes);
    for (int attempt = 0; attempt < kHandleListTries; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer.data(), ULONG(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
            continue;
        }
        if (status != 0) return counts;
        const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
        const DWORD self = GetCurrentProcessId();
        for (ULONG i = 0; i < list->count; ++i) {
            const SystemHandleEntry& entry = list->entries[i];
            if (entry.ownerPid != self) continue;
            ++counts.all;
            counts.ofType += entry.objectType == type;
            if (foundType && entry.value == USHORT(reinterpret_cast<uintptr_t>(find))) *foundType = entry.objectType;
        }
        return counts;
    }
    return counts;
}

// The object type number of a file handle: that of this program's own file, opened once.
int FileHandleType()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    int type = -1;
    if (file == INVALID_HANDLE_VALUE) return type;
    CountHandlesInSystemList(-1, file, &type);
    CloseHandle(file);
    return type;
}

// ---- Global memory blocks through the import table ----

using GlobalAllocCall = HGLOBAL(WINAPI*)(UINT, SIZE_T);
using GlobalFreeCall = HGLOBAL(WINAPI*)(HGLOBAL);
GlobalAllocCall systemGlobalAlloc = nullptr;
GlobalFreeCall systemGlobalFree = nullptr;
std::atomic<int32_t> liveGlobalBlocks{0};

HGLOBAL WINAPI CountedGlobalAlloc(UINT flags, SIZE_T bytes)
{
    HGLOBAL block = systemGlobalAlloc(flags, bytes);
    if (block) ++liveGlobalBlocks;
    return block;
}

HGLOBAL WINAPI CountedGlobalFree(HGLOBAL block)
{
    HGLOBAL left = systemGlobalFree(block);
    if (block && !left) --liveGlobalBlocks;
    return left;
}

// Points every import-table entry of this program that holds `system` at `replacement`.
bool ReplaceImport(void* system, void* replacement)
{
    uint8_t* base = reinterpret_cast<uint8_t*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!system || !imports.VirtualAddress) return false;
    bool replaced = false;
    for (auto* module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); module->Name; ++module)
        for (auto* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk); entry->u1.Function; ++entry) {
            if (reinterpret_cast<void*>(entry->u1.Function) != system) continue;
            DWORD protection;
            VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, PAGE_READWRITE, &protection);
            entry->u1.Function = reinterpret_cast<uintptr_t>(replacement);
            VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, protection, &protection);
            replaced = true;
        }
    return replaced;
}

uint64_t CommittedPrivateBytes()
{
    uint64_t total = 0;
    MEMORY_BASIC_INFORMATION region;
    const uint8_t* address = nullptr;
    while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const uint8_t* next = static_cast<const uint8_t*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return total;
}

}  // namespace

bool CountGlobalBlocks()
{
    if (systemGlobalAlloc) return true;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    systemGlobalAlloc = reinterpret_cast<GlobalAllocCall>(reinterpret_cast<void*>(GetProcAddress(kernel, "GlobalAlloc")));
    systemGlobalFree = reinterpret_cast<GlobalFreeCall>(reinterpret_cast<void*>(GetProcAddress(kernel, "GlobalFree")));
    return ReplaceImport(reinterpret_cast<void*>(systemGlobalFree), reinterpret_cast<void*>(CountedGlobalFree)) &&
           ReplaceImport(reinterpret_cast<void*>(systemGlobalAlloc), reinterpret_cast<void*>(CountedGlobalAlloc));
}

ProcessCounters MeasureProcess()
{
    static const int fileType = FileHandleType();
    ProcessCounters counters;
    const HandleCounts handles = CountHandlesInSystemList(fileType);
    DWORD reported = 0;
    counters.handles = GetProcessHandleCount(GetCurrentProcess(), &reported) && reported ? reported : handles.all;
    counters.fileHandles = handles.ofType;
    counters.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    counters.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    counters.committedBytes = CommittedPrivateBytes();
    HANDLE heap = GetProcessHeap();
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(heap);
    while (HeapWalk(heap, &entry)) {
        if (!(entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)) continue;
        ++counters.heapBlocks;
        counters.heapBytes += entry.cbData;
    }
    HeapUnlock(heap);
    counters.globalBlocks = liveGlobalBlocks;
    return counters;
}

bool GuiCountsReported(const ProcessCounters& counters) { return counters.gdiObjects || counters.userObjects; }
