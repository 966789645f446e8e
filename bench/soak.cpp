// The soak's runs, one function per kind, and the comparison of the counters.
#include "bench/soak.h"

#include "resources/resource.h"
#include "shell/decisions.h"
#include "shell/mainwindow.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"

#include <cstdio>

namespace {

constexpr uint32_t kRate = 11025;                // 8-bit mono: one byte a sample
constexpr uint32_t kFileBytes = kRate / 5;       // 0.2 s of sound
constexpr uint32_t kOnMemoryRecordBytes = kRate / 4;
constexpr DWORD kRunBound = 15000;
constexpr DWORD kPausedMs = 100, kSettleMs = 300;
// Wine's sound driver keeps an 18-byte heap block per format query (about nine a cycle), so over
// 200 cycles the process heap may commit a step more.
constexpr uint64_t kCommitSlack = 128 * 1024;
constexpr uint32_t kSampleCycles = 20;
const int32_t kSoakTimeResolutions[] = {512, 1024};

struct Soak {
    MainWindow& app;
    std::string file;
    std::vector<std::string>& problems;
    uint32_t cycle;
    bool compared;     // the first or the last cycle: the same options
};

void Problem(Soak& soak, const char* run, const char* what)
{
    char text[256];
    std::snprintf(text, sizeof text, "cycle %u, %s: %s", soak.cycle, run, what);
    soak.problems.push_back(text);
}

bool SelectFile(Soak& soak, bool onMemory)
{
    soak.app.settings.onMemory = onMemory;
    std::snprintf(soak.app.fileName, sizeof soak.app.fileName, "%s", soak.file.c_str());
    return SelectFileSource(soak.app);
}

bool CountDone(WaveLog& log, size_t count) { return log.size() >= count; }

void Play(Soak& soak, bool onMemory, bool stopPartWay, bool pause)
{
    const char* name = onMemory ? "on-memory playback" : "streaming playback";
    if (!SelectFile(soak, onMemory)) return Problem(soak, name, "the file did not open");
    WaveLog log;
    Command(IDM_START);
    if (!soak.app.Running()) return Problem(soak, name, "Start did not start");
    if (stopPartWay || pause) {
        if (onMemory) PumpUntil([] { return false; }, kPausedMs);
        else if (!PumpWaveMessages([&] { return CountDone(log, 1); }, kRunBound, &log)) Problem(soak, name, "no block came back");
        if (pause) {
            Command(IDM_PAUSE);
            PumpUntil([] { return false; }, kPausedMs);
            Command(IDM_PAUSE);
        } else {
            Command(IDM_STOP);
        }
    }
    if (!PumpUntilRunEnds(kRunBound, &log)) Problem(soak, name, "the run did not end");
}

void Monitor(Soak& soak, bool onMemory)
{
    const char* name = onMemory ? "on-memory monitoring" : "live monitoring";
    MainWindow& app = soak.app;
    app.settings.onMemory = onMemory;
    if (!ChooseMonitorFormat(kRate, 8) || !app.monitor.DeviceOpen()) return Problem(soak, name, "the input did not open");
    if (onMemory && app.monitor.OpenDevice(app.settings.monitor, app.window, kOnMemoryMode, kOnMemoryRecordBytes))
        return Problem(soak, name, "the input did not open for a short recording");
    WaveLog log;
    Command(IDM_START);
    if (!app.Running()) return Problem(soak, name, "Start did not start");
    if (!onMemory) {
        if (!PumpWaveMessages([&] { return CountDone(log, 2); }, kRunBound, &log)) Problem(soak, name, "no data came");
        Command(IDM_STOP);
    }
    if (!PumpUntilRunEnds(kRunBound, &log)) Problem(soak, name, "the run did not end");
}

// The Options dialog, answered from a timer its modal loop runs: the next time resolution and
// FFT length of the cycle, then OK (which closes the source). What the analysis holds depends on
// the FFT length (its arrays stay at the longest prepared, its tables follow the current one), so
// the first and the last cycle, whose counters are compared, both take the longest.
struct OptionsChoice {
    int timeIndex, fftIndex;
    bool answered;
} choice;

void CALLBACK AnswerOptions(HWND, UINT, UINT_PTR, DWORD)
{
    // The Options dialog is the dialog box that has the time resolution list.
    HWND dialog = FindWindowA("#32770", nullptr);
    if (!dialog || !GetDlgItem(dialog, IDC_OPT_TIME_RESOLUTION) || choice.answered) return;
    SendDlgItemMessageA(dialog, IDC_OPT_TIME_RESOLUTION, CB_SETCURSEL, choice.timeIndex, 0);
    SendDlgItemMessageA(dialog, IDC_OPT_FFT_LENGTH, CB_SETCURSEL, choice.fftIndex, 0);
    choice.answered = true;
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

void ChangeOptions(Soak& soak)
{
    constexpr UINT kAnswerPeriodMs = 20;
    constexpr int kFftLengths = 9;
    const int cycle = soak.compared ? 0 : int(soak.cycle);
    choice = {TimeResolutionIndex(kSoakTimeResolutions[cycle % 2]), kFftLengths - 1 - cycle % kFftLengths, false};
    const UINT_PTR timer = SetTimer(nullptr, 0, kAnswerPeriodMs, AnswerOptions);
    Command(IDM_OPTIONS);
    KillTimer(nullptr, timer);
    if (!choice.answered) Problem(soak, "Options", "the dialog did not show");
}

void RunCycle(Soak& soak)
{
    using Step = void (*)(Soak&);
    const Step steps[] = {
        [](Soak& s) { Play(s, false, false, false); }, [](Soak& s) { Play(s, false, true, false); },
        [](Soak& s) { Play(s, true, false, false); },  [](Soak& s) { Play(s, true, true, false); },
        [](Soak& s) { Play(s, false, false, true); },  [](Soak& s) { Monitor(s, false); },
        [](Soak& s) { Monitor(s, true); },
    };
    ChangeOptions(soak);
    int view = int(soak.cycle);
    for (Step step : steps) {
        Command(IDM_VIEW_WAVEFORM + view++ % kViewCount);
        step(soak);
        for (const CapturedBox& box : CapturedBoxes()) Problem(soak, "a run", ("it said " + box.text).c_str());
        BeginBoxCapture();
    }
}

ProcessCounters Settled()
{
    PumpUntil([] { return false; }, kSettleMs);
    return MeasureProcess();
}

}  // namespace

SoakResult RunSoak(uint32_t cycles)
{
    SoakResult result;
    std::vector<uint8_t> data(kFileBytes);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(128 + int(i * 7 % 61) - 30);
    const std::string file = WriteTempFile("soak.wav", PcmFile(1, kRate, 8, data));
    MainWindow* app = (CountGlobalBlocks() && !file.empty()) ? OpenMainWindow() : nullptr;
    if (!app) {
        result.problems.push_back("the main window could not be opened");
        return result;
    }
    BeginBoxCapture();
    const DWORD start = GetTickCount();
    // Cycle 0 warms up: the window system's caches fill (Wine's DC cache takes one more entry, a
    // DC with its region and bitmap, the second time the Options dialog shows). Cycles 1 to
    // `cycles` are counted.
    for (uint32_t cycle = 0; cycle <= cycles; ++cycle) {
        Soak soak = {*app, file, result.problems, cycle, cycle == 1 || cycle == cycles};
        RunCycle(soak);
        if (cycle == 0) continue;
        if (cycle == 1) result.afterFirst = Settled();
        if (cycle % kSampleCycles == 0) result.everyTwenty.push_back(Settled());
        ++result.cycles;
    }
    result.afterLast = Settled();
    result.seconds = (GetTickCount() - start) / 1000.0;
    result.runs = result.cycles * 7;
    EndBoxCapture();
    CloseMainWindow();
    return result;
}

std::vector<std::string> SoakCountersNotBack(const ProcessCounters& first, const ProcessCounters& last)
{
    std::vector<std::string> notBack = CountersNotBack(first, last);
    if (last.committedBytes > first.committedBytes + kCommitSlack)
        notBack.push_back("committed bytes " + std::to_string(first.committedBytes) + " -> " +
                          std::to_string(last.committedBytes));
    return notBack;
}
