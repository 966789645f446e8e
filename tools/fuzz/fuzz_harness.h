// The fuzzer's harness: drives one generated file through the real main window in this process
// (the Wave Information dialog's fields, open, Start, the done messages to the end or a Stop
// part way, Pause and Continue, Stop, the source closed) and reports what went wrong: a message
// box whose text is not one of the program's own, a run that does not end, a queued buffer past
// its memory block, a file handle or global memory block left behind once the source is closed,
// Info fields that are neither the file's values nor their labels; over many files, handles, GDI
// and USER objects not back to where they were after the warm-up. Besides, every block the engine would
// hand to the analysis is analysed again at the very end of its own pages with an inaccessible
// page after it, so a read past the block faults at once. A crash or a call that never returns
// ends the process after printing the file it was handling.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/fuzz/process_counters.h"
#include "tools/fuzz/wav_fuzz.h"

struct FuzzReport {
    std::vector<std::string> messages;   // texts of the message boxes shown, in order
    std::vector<std::string> failures;   // empty when the file passed every check
    bool played = false;                 // a run started
    bool stopped = false;                // the harness stopped it part way
};

constexpr DWORD kFuzzPlayCapMs = 600;        // longer runs are stopped (their playing takes real time)
constexpr DWORD kFuzzFileDeadlineMs = 10000; // a file whose handling takes longer has hung
constexpr DWORD kFuzzCallDeadlineMs = 30000; // a call that has not returned by then never will
constexpr uint32_t kFuzzWarmUpFiles = 50;    // by then the window system's caches have filled

class FuzzHarness {
public:
    FuzzHarness();
    ~FuzzHarness();
    FuzzHarness(const FuzzHarness&) = delete;
    FuzzHarness& operator=(const FuzzHarness&) = delete;

    // Opens the main window and learns the program's texts and the dialog's labels.
    [[nodiscard]] bool Open();
    FuzzReport Run(const FuzzFile& file);
    // The counters after the warm-up files, and what is not back to them now (nothing while
    // the warm-up lasts).
    const ProcessCounters& Baseline() const { return baseline_; }
    std::vector<std::string> CountersNotBack() const;

private:
    void ShowInfo(const std::string& path, size_t fileBytes, FuzzReport& report);
    void PlayAndStop(const FuzzFile& file, FuzzReport& report);
    void AnalyseOverGuardPages(const std::string& path, const FuzzFile& file, FuzzReport& report);
    void CheckReleased(FuzzReport& report);
    static DWORD WINAPI WatchCalls(void* harness);
    static LONG WINAPI OnCrash(EXCEPTION_POINTERS* exception);

    std::set<std::string> programTexts_;
    std::map<int, std::string> infoLabels_;
    ProcessCounters baseline_;
    uint32_t files_ = 0;
    std::string name_, path_;
    char current_[1024] = {};            // the file being handled, for the crash and hang reports
    std::atomic<DWORD> callStart_{0};
    std::atomic<bool> busy_{false};
    std::atomic<bool> closing_{false};
    HANDLE watch_ = nullptr;
};
