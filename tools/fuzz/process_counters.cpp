// Process counters. GetProcessHandleCount and GetGuiResources report 0 under Wine 8. The handles
// are then counted in the system's handle list (NtQuerySystemInformation, class 16), which Wine does fill; it also
// gives each handle's object type, so the handles of open files can be told apart. Global memory
// blocks are counted by replacing the entries of GlobalAlloc and GlobalFree in this program's
// import table.
#include "tools/fuzz/process_counters.h"

#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

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

// Wine's GDI handle table, where the 32-bit PEB's GdiSharedHandleTable field points: 24-byte
// entries, a nonzero type marking an object in use.
constexpr size_t kPebGdiTableOffset = 0x94;
constexpr uint32_t kWineGdiEntries = 0x10000;
struct WineGdiEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t user;
};
static_assert(sizeof(WineGdiEntry) == 24, "Wine's GDI handle entry");

using QueryProcessInformation = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

uint32_t CountWineGdiObjects()
{
    const auto query = reinterpret_cast<QueryProcessInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return 0;
    const uint8_t* peb = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress);
    const auto* table = *reinterpret_cast<const WineGdiEntry* const*>(peb + kPebGdiTableOffset);
    if (!table) return 0;
    uint32_t count = 0;
    for (uint32_t i = 0; i < kWineGdiEntries; ++i) count += table[i].type != 0;
    return count;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<uint32_t*>(count);
    return TRUE;
}

BOOL CALLBACK CountOwnWindows(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<uint32_t*>(count);
    EnumChildWindows(window, CountWindow, count);
    return TRUE;
}

uint32_t CountThreads()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    uint32_t count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
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
    counters.threads = CountThreads();
    counters.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    counters.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    counters.guiCountsReported = counters.gdiObjects || counters.userObjects;
    if (!counters.guiCountsReported) {
        counters.gdiObjects = CountWineGdiObjects();
        EnumWindows(CountOwnWindows, reinterpret_cast<LPARAM>(&counters.userObjects));
    }
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

std::vector<std::string> CountersNotBack(const ProcessCounters& first, const ProcessCounters& last)
{
    std::vector<std::string> notBack;
    const auto check = [&](bool back, const char* what, int64_t before, int64_t after) {
        if (!back) notBack.push_back(std::string(what) + " " + std::to_string(before) + " -> " + std::to_string(after));
    };
    check(last.fileHandles == first.fileHandles, "file handles", first.fileHandles, last.fileHandles);
    check(last.globalBlocks == first.globalBlocks, "global memory blocks", first.globalBlocks, last.globalBlocks);
    check(last.handles <= first.handles + kDriverHandleSlack, "handles", first.handles, last.handles);
    check(last.gdiObjects <= first.gdiObjects, "GDI objects", first.gdiObjects, last.gdiObjects);
    check(last.userObjects <= first.userObjects, "USER objects", first.userObjects, last.userObjects);
    return notBack;
}
