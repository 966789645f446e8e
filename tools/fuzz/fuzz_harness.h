// The fuzzer's harness: drives one generated file through the real main window in this process
// (the Wave Information dialog's fields, open, Start, the done messages to the end or a Stop
// part way, Pause and Continue, Stop, the source closed) and reports what went wrong: a message
// box whose text is not one of the program's own, a run that does not end, a queued buffer past
// its memory block, a handle or heap block left behind once the source is closed, Info fields
// that are neither the file's values nor their labels. Besides, every block the engine would
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
// The sound driver's threads open and close handles of their own at their own pace: the total
// may differ by this much from one file to the next without anything left behind.
constexpr uint32_t kDriverHandleSlack = 8;

class FuzzHarness {
public:
    FuzzHarness();
    ~FuzzHarness();
    FuzzHarness(const FuzzHarness&) = delete;
    FuzzHarness& operator=(const FuzzHarness&) = delete;

    // Opens the main window and learns the program's texts and the dialog's labels.
    [[nodiscard]] bool Open();
    FuzzReport Run(const FuzzFile& file);
    // The counters after the first file (the sound driver has started by then).
    const ProcessCounters& Baseline() const { return baseline_; }
    // Whether the total handle count is within the driver's slack of the baseline.
    bool HandlesSettled() const;

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
    bool measured_ = false;
    std::string name_, path_;
    char current_[1024] = {};            // the file being handled, for the crash and hang reports
    std::atomic<DWORD> callStart_{0};
    std::atomic<bool> busy_{false};
    std::atomic<bool> closing_{false};
    HANDLE watch_ = nullptr;
};
