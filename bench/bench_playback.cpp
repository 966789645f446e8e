// Playback benchmark: a 10-second 44.1 kHz 16-bit mono file played in streaming mode through the
// real window and wave output, from Start to the end of the run. If the analysis of a block takes
// longer than the other block plays, the device runs dry and the run lasts longer than the file.
// Prints one line per case: wall time against the file's length and the time spent per block.
#include "resources/resource.h"
#include "shell/mainwindow.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"
#include "tests/support/support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRate = 44100;
constexpr int kSeconds = 10;
constexpr DWORD kRunBound = 120000;

struct Case {
    const char* name;
    int32_t fftExponent;
    int32_t timeResolution;
    int view;   // the View menu command
};

constexpr Case kCases[] = {
    {"log spectrum, FFT 65536, deltatime 512 (hardest)", 16, 512, IDM_VIEW_LOG_SPECTRUM},
    {"linear spectrum, FFT 65536, deltatime 512", 16, 512, IDM_VIEW_LINEAR_SPECTRUM},
    {"log spectrum, FFT 4096, deltatime 2048 (defaults)", 12, 2048, IDM_VIEW_LOG_SPECTRUM},
};

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

// A sweep over a steady tone, so that every block has a spectrum worth drawing.
std::string MakeFile()
{
    const int count = kSeconds * int(kRate);
    std::vector<int> samples = Sine(8000, 1000.0, kRate, count);
    double phase = 0.0;
    for (int i = 0; i < count; ++i) {
        const double hz = 50.0 + 15000.0 * i / count;
        phase += 6.283185307179586 * hz / kRate;
        samples[size_t(i)] += int(16000.0 * std::sin(phase));
    }
    return WriteTempFile("bench-playback.wav", PcmFile(1, kRate, 16, Samples16(samples)));
}

bool RunCase(const Case& c, const std::string& path)
{
    MainWindow* app = OpenMainWindow();
    if (!app) return false;
    app->settings.fftExponent = c.fftExponent;
    app->settings.timeResolution = c.timeResolution;
    Command(c.view);
    std::snprintf(app->fileName, sizeof app->fileName, "%s", path.c_str());
    BeginBoxCapture();
    bool ok = SelectFileSource(*app);
    const double blockMs = 1000.0 * app->playback.BlockSize() / app->format.avgBytesPerSec;
    WaveLog log;
    const double start = NowMs();
    if (ok) Command(IDM_START);
    const double startMs = NowMs() - start;
    // The pump asks its goal again right after each message it dispatched: when the log has
    // grown since the previous ask, the time between the two asks is that message's handling.
    std::vector<double> handlingMs;
    double lastAsk = NowMs();
    ok = ok && app->Running() && PumpWaveMessages([&] {
        const double now = NowMs();
        if (log.size() > handlingMs.size()) handlingMs.push_back(now - lastAsk);
        lastAsk = now;
        return !app->Running();
    }, kRunBound, &log);
    const double wallMs = NowMs() - start;
    const bool quiet = EndBoxCapture().empty();
    CloseMainWindow();
    if (!ok || !quiet) {
        std::printf("%-52s  FAILED (%s)\n", c.name, ok ? "a message box appeared" : "the run did not end");
        return false;
    }
    double total = 0.0, longest = 0.0;
    int late = 0;
    for (double ms : handlingMs) {
        total += ms;
        longest = std::max(longest, ms);
        late += ms > blockMs;
    }
    const size_t blocks = handlingMs.size();
    std::printf("%-52s  wall %6.2f s for %d s (x%.3f)  block %5.1f ms  Start %5.1f ms  per block mean %5.1f"
                " max %5.1f ms  over a block: %d of %u\n",
                c.name, wallMs / 1000.0, kSeconds, wallMs / (1000.0 * kSeconds), blockMs, startMs,
                blocks ? total / double(blocks) : 0.0, longest, late, unsigned(blocks));
    return true;
}
}  // namespace

int main()
{
    const std::string path = MakeFile();
    if (path.empty()) {
        std::printf("cannot write the test file\n");
        return 1;
    }
    bool ok = true;
    for (const Case& c : kCases) ok = RunCase(c, path) && ok;
    return ok ? 0 : 1;
}
