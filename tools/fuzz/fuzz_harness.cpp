// The fuzzer's harness: one file through the real main window, the checks after it, the analysis
// over guard pages, and the crash and hang reports.
#include "tools/fuzz/fuzz_harness.h"

#include "audio/filesource.h"
#include "resources/resource.h"
#include "shell/dialogs.h"
#include "shell/mainwindow.h"
#include "tests/support/main_window.h"
#include "tests/support/support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr UINT kFirstTextId = 1000, kLastTextId = 1099;   // the string table's range
constexpr int kTextBytes = 512;
constexpr DWORD kWatchPeriodMs = 200;
constexpr DWORD kPausedMs = 30;
constexpr UINT kCrashExitCode = 3, kHangExitCode = 4;
constexpr int kNumericInfoFields[] = {IDC_INFO_FILE_SIZE, IDC_INFO_RIFF_SIZE, IDC_INFO_CHUNK_SIZE, IDC_INFO_FORMAT_TAG,
                                      IDC_INFO_CHANNELS, IDC_INFO_RATE, IDC_INFO_AVG_BYTES, IDC_INFO_BLOCK_ALIGN,
                                      IDC_INFO_BITS, IDC_INFO_CB_SIZE, IDC_INFO_NEXT_SIZE};

// The harness the crash filter reports for, and the inaccessible page after the block being
// analysed (this file's own; one harness runs at a time).
FuzzHarness* crashTarget = nullptr;
const uint8_t* guardPage = nullptr;

// The codec names the format field shows for a decoded (or converted) file, and the bit rate of
// a lossy one in the bytes-per-second field.
const char* const kCodecNames[] = {"AIFF", "AIFF-C", "RF64", "IMA ADPCM", "MS ADPCM", "mu-Law", "A-Law",
                                   "GSM 6.10", "MPEG Layer-3", "FLAC", "Ogg Vorbis", "Opus"};

bool IsCodecName(const char* text)
{
    for (const char* name : kCodecNames)
        if (std::strcmp(text, name) == 0) return true;
    return false;
}

bool IsBitRate(const char* text)
{
    const char* unit = std::strstr(text, " kbps");
    return unit && unit[5] == '\0' && unit > text && std::string(text, unit).find_first_not_of("0123456789") == std::string::npos;
}

bool IsInteger(const char* text)
{
    if (*text == '-') ++text;
    if (!*text) return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

// `size` bytes that end exactly where an inaccessible page begins.
class GuardedBlock {
public:
    explicit GuardedBlock(uint32_t size)
    {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        const size_t page = system.dwPageSize, pages = (size + page - 1) / page;
        base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, (pages + 1) * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD previous;
        if (base_ && VirtualProtect(base_ + pages * page, page, PAGE_NOACCESS, &previous)) {
            data_ = base_ + pages * page - size;
            guardPage = base_ + pages * page;
        }
    }
    ~GuardedBlock()
    {
        guardPage = nullptr;
        if (base_) VirtualFree(base_, 0, MEM_RELEASE);
    }
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;
    uint8_t* Data() const { return data_; }

private:
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
};

// Every queued header lies inside the memory block its data points into.
void CheckQueuedBuffers(const MainWindow& app, FuzzReport& report)
{
    for (int slot : {0, 1}) {
        const WAVEHDR* header = app.headers[slot];
        if (!(header->dwFlags & WHDR_INQUEUE)) continue;
        HGLOBAL block = GlobalHandle(header->lpData);
        const uint8_t* start = block ? static_cast<const uint8_t*>(GlobalLock(block)) : nullptr;
        const uint8_t* data = reinterpret_cast<const uint8_t*>(header->lpData);
        const bool inside = start && data >= start && size_t(data - start) + header->dwBufferLength <= GlobalSize(block);
        if (block) GlobalUnlock(block);
        if (!inside) report.failures.push_back("a buffer was queued past its memory block");
    }
}

}  // namespace

FuzzHarness::FuzzHarness()
{
    crashTarget = this;
    SetUnhandledExceptionFilter(OnCrash);
    watch_ = CreateThread(nullptr, 0, WatchCalls, this, 0, nullptr);
}

FuzzHarness::~FuzzHarness()
{
    if (!path_.empty()) DeleteFileA(path_.c_str());
    closing_ = true;
    if (watch_) {
        WaitForSingleObject(watch_, INFINITE);
        CloseHandle(watch_);
    }
    CloseMainWindow();
    EndBoxCapture();
    crashTarget = nullptr;
}

bool FuzzHarness::Open()
{
    if (!CountGlobalBlocks() || !OpenMainWindow()) return false;
    for (UINT id = kFirstTextId; id <= kLastTextId; ++id) {
        char text[kTextBytes];
        if (LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text) > 0) programTexts_.insert(text);
    }
    // The dialog for a file that is not there keeps every field at its label.
    const std::string missing = TempDirectory() + "fuzz-missing.wav";
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "InfoBox", TestWindow()->window, InfoDialogProc,
                                     reinterpret_cast<LPARAM>(missing.c_str()));
    if (!dialog) return false;
    for (int id : kNumericInfoFields) {
        char text[kTextBytes] = {};
        GetDlgItemTextA(dialog, id, text, sizeof text);
        infoLabels_[id] = text;
    }
    DestroyWindow(dialog);
    // A name of this process's own: fuzzers and tests may run side by side in one Wine prefix.
    name_ = "fuzz-" + std::to_string(GetCurrentProcessId()) + ".wav";
    path_ = TempDirectory() + name_;
    BeginBoxCapture();
    return true;
}

std::vector<std::string> FuzzHarness::CountersNotBack() const
{
    return files_ < kFuzzWarmUpFiles ? std::vector<std::string>() : ::CountersNotBack(baseline_, MeasureProcess());
}

FuzzReport FuzzHarness::Run(const FuzzFile& file)
{
    FuzzReport report;
    std::snprintf(current_, sizeof current_, "%s", file.description.c_str());
    callStart_ = GetTickCount();
    busy_ = true;
    if (WriteTempFile(name_.c_str(), file.bytes).empty()) report.failures.push_back("the file could not be written");
    const ProcessCounters before = MeasureProcess();
    (void)EndBoxCapture();   // the dialog is no message box, though the capture would take it for one
    ShowInfo(path_, file.bytes.size(), report);
    BeginBoxCapture();
    PlayAndStop(file, report);
    if (report.played) AnalyseOverGuardPages(path_, file, report);
    for (const CapturedBox& box : CapturedBoxes()) {
        report.messages.push_back(box.text);
        if (!programTexts_.count(box.text)) report.failures.push_back("a message that is not the program's own: " + box.text);
    }
    BeginBoxCapture();
    const ProcessCounters after = MeasureProcess();
    CheckReleased(report);
    // The sound driver's threads open and close handles of their own at their own pace, and the
    // window system's caches fill over the first files: file handles and the program's global
    // blocks are exact for each file, the rest is checked over a run (CountersNotBack).
    if (after.fileHandles != before.fileHandles)
        report.failures.push_back("file handles " + std::to_string(before.fileHandles) + " -> " +
                                  std::to_string(after.fileHandles));
    if (after.globalBlocks != before.globalBlocks)
        report.failures.push_back("global memory blocks " + std::to_string(before.globalBlocks) + " -> " +
                                  std::to_string(after.globalBlocks));
    if (++files_ == kFuzzWarmUpFiles) baseline_ = after;
    busy_ = false;
    return report;
}

// Each numeric field shows its label or a number (cbSize may be empty); the file size is exact.
void FuzzHarness::ShowInfo(const std::string& path, size_t fileBytes, FuzzReport& report)
{
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "InfoBox", TestWindow()->window, InfoDialogProc,
                                     reinterpret_cast<LPARAM>(path.c_str()));
    if (!dialog) {
        report.failures.push_back("the Wave Information dialog did not open");
        return;
    }
    // Another container than RIFF leaves the RIFF-only fields empty.
    char head[4] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file) {
        (void)std::fread(head, 1, sizeof head, file);
        std::fclose(file);
    }
    const bool riff = std::memcmp(head, "RIFF", sizeof head) == 0;
    for (const auto& [id, label] : infoLabels_) {
        char text[kTextBytes] = {};
        GetDlgItemTextA(dialog, id, text, sizeof text);
        const bool right = id == IDC_INFO_FILE_SIZE ? std::to_string(int32_t(fileBytes)) == text
                                                    : text == label || IsInteger(text) || ((id == IDC_INFO_CB_SIZE || !riff) && !*text) ||
                                                      (id == IDC_INFO_FORMAT_TAG && IsCodecName(text)) ||
                                                      (id == IDC_INFO_AVG_BYTES && IsBitRate(text));
        if (!right) report.failures.push_back("Wave Information field " + std::to_string(id) + " shows \"" + text + "\"");
    }
    DestroyWindow(dialog);
}

void FuzzHarness::PlayAndStop(const FuzzFile& file, FuzzReport& report)
{
    MainWindow& app = *TestWindow();
    app.settings.onMemory = file.run.onMemory;
    app.settings.timeResolution = file.run.timeResolution;
    app.settings.fftExponent = file.run.fftExponent;
    app.settings.windowType = static_cast<WindowType>(file.run.windowType);
    Command(IDM_VIEW_WAVEFORM + file.run.view);
    std::snprintf(app.fileName, sizeof app.fileName, "%s", path_.c_str());
    if (SelectFileSource(app)) Command(IDM_START);
    report.played = app.Running();
    const DWORD start = GetTickCount();
    int doneMessages = 0;
    while (app.Running()) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed > kFuzzFileDeadlineMs) {
            report.failures.push_back("the run did not end, not even at Stop");
            break;
        }
        if (!report.stopped && (elapsed > kFuzzPlayCapMs || doneMessages == file.run.stopAfterDone)) {
            report.stopped = true;
            Command(IDM_STOP);
            continue;
        }
        MSG message;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        DispatchMessageA(&message);
        if (message.message != MM_WOM_DONE || message.hwnd != app.window) continue;
        CheckQueuedBuffers(app, report);
        if (++doneMessages == 1 && file.run.pauseOnce) {
            Command(IDM_PAUSE);
            PumpUntil([] { return false; }, kPausedMs);
            Command(IDM_PAUSE);
        }
    }
    Command(IDM_STOP);
    CloseSource(app);
}

// The blocks as the engine reads them (its block size, each read as long as the file allows),
// each analysed at the end of its own pages.
void FuzzHarness::AnalyseOverGuardPages(const std::string& path, const FuzzFile& file, FuzzReport& report)
{
    const MainWindow& app = *TestWindow();
    FileSource reader;
    AnalysisPlan plan;
    if (reader.Open(path.c_str(), AcceptEveryFormat) != ReaderResult::kOk || !plan.Prepare(app.settings.fftExponent)) {
        report.failures.push_back("the file played but could not be opened again for the analysis check");
        return;
    }
    for (;;) {
        const uint32_t length = reader.TakeNextBlockLength(app.playback.BlockSize());
        std::vector<uint8_t> bytes(std::min<size_t>(length, file.bytes.size()));
        const uint32_t got = bytes.empty() ? 0 : reader.Read(bytes.data(), uint32_t(bytes.size()));
        if (got == 0) break;
        GuardedBlock block(got);
        if (!block.Data()) break;
        std::memcpy(block.Data(), bytes.data(), got);
        (void)AnalyseBlock(block.Data(), int32_t(got), app.format, app.settings, plan, 0.0);
    }
}

void FuzzHarness::CheckReleased(FuzzReport& report)
{
    const MainWindow& app = *TestWindow();
    if (app.Running()) report.failures.push_back("the run was still going after Stop and Close");
    if (app.reader.IsOpen()) report.failures.push_back("the file stayed open after Close");
    if (app.playback.DeviceOpen()) report.failures.push_back("the output device stayed open after Close");
    if (app.playback.Block(0) || app.playback.Block(1)) report.failures.push_back("run memory stayed allocated");
}

DWORD WINAPI FuzzHarness::WatchCalls(void* context)
{
    FuzzHarness* harness = static_cast<FuzzHarness*>(context);
    while (!harness->closing_) {
        Sleep(kWatchPeriodMs);
        if (harness->busy_ && GetTickCount() - harness->callStart_ > kFuzzCallDeadlineMs) {
            std::printf("HANG: a call did not return within %lu ms on file: %s\n", kFuzzCallDeadlineMs, harness->current_);
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), kHangExitCode);
        }
    }
    return 0;
}

LONG WINAPI FuzzHarness::OnCrash(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    const uint8_t* address = record.NumberParameters >= 2
                                 ? reinterpret_cast<const uint8_t*>(record.ExceptionInformation[1]) : nullptr;
    const bool guard = record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && guardPage && address >= guardPage &&
                       address < guardPage + 4096;
    std::printf("CRASH: exception %08lX at %p%s on file: %s\n", record.ExceptionCode, record.ExceptionAddress,
                guard ? " (the analysis read past the end of its block)" : "", crashTarget ? crashTarget->current_ : "?");
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), kCrashExitCode);
    return EXCEPTION_EXECUTE_HANDLER;
}
