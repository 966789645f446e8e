// Monitor benchmark: the heaviest live input the Monitor dialog offers, 96 kHz 24-bit stereo,
// analysed at FFT length 65536 in the logarithmic view with blocks of time resolution 512
// (46.4 ms each), for a whole minute through the real window and wave input, while a tone and a
// sweep play into the sound output that the input records. It times the handling of every
// returned buffer (analysis, drawing and queuing it again) against a quarter of the block's
// duration, checks that every buffer came back full, and at Stop compares the bytes the monitor
// counted with the position the device reports (nothing lost when they agree within one buffer).
// Usage: bench_monitor.exe [seconds]  (default 60)
#include "resources/resource.h"
#include "shell/mainwindow.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"
#include "tests/support/support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint32_t kPlayRate = 44100;
constexpr uint32_t kRate = 96000;
constexpr uint16_t kBits = 24, kChannels = 2;
constexpr DWORD kStopBound = 15000;

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

// A steady 1 kHz tone on the left and a repeating sweep on the right, a little longer than the run.
std::vector<uint8_t> MakeSound(int seconds)
{
    const int count = (seconds + 2) * int(kPlayRate);
    std::vector<int> samples;
    samples.reserve(size_t(count) * 2);
    double phase = 0.0;
    for (int i = 0; i < count; ++i) {
        const double hz = 50.0 + 15000.0 * double(i % (5 * kPlayRate)) / (5 * kPlayRate);
        phase += 6.283185307179586 * hz / kPlayRate;
        samples.push_back(int(12000.0 * std::sin(6.283185307179586 * 1000.0 * i / kPlayRate)));
        samples.push_back(int(12000.0 * std::sin(phase)));
    }
    return PcmFile(kChannels, kPlayRate, 16, Samples16(samples));
}

struct Figures {
    std::vector<double> handlingMs;   // per returned buffer while recording
    int shortBuffers = 0;             // buffers that came back less than full before Stop
};

// Pumps the test window's messages for `seconds`, timing each MM_WIM_DATA's handling.
void Record(MainWindow& app, int seconds, Figures& figures)
{
    const double end = NowMs() + 1000.0 * seconds;
    MSG message;
    while (NowMs() < end) {
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            continue;
        }
        if (message.message != MM_WIM_DATA || message.hwnd != app.window) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        const DWORD recorded = reinterpret_cast<const WAVEHDR*>(message.lParam)->dwBytesRecorded;
        if (recorded != app.monitor.BlockSize()) ++figures.shortBuffers;
        const double start = NowMs();
        DispatchMessageA(&message);
        figures.handlingMs.push_back(NowMs() - start);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    BeginBoxCapture();
    MainWindow* app = OpenMainWindow();
    if (!app) {
        std::printf("the window did not open\n");
        return 1;
    }
    app->settings.fftExponent = 16;
    app->settings.timeResolution = 512;
    app->settings.onMemory = false;
    Command(IDM_VIEW_LOG_SPECTRUM);
    const std::vector<uint8_t> sound = MakeSound(seconds);
    PlaySoundA(reinterpret_cast<LPCSTR>(sound.data()), nullptr, SND_MEMORY | SND_ASYNC);
    if (!ChooseMonitorFormat(kRate, kBits, kChannels) || !app->monitor.DeviceOpen()) {
        std::printf("the input did not open at 96 kHz 24-bit stereo\n");
        return 1;
    }
    const uint32_t block = app->monitor.BlockSize();
    const double blockMs = 1000.0 * block / app->format.avgBytesPerSec;
    Figures figures;
    Command(IDM_START);
    const double started = NowMs();
    Record(*app, seconds, figures);
    Command(IDM_STOP);
    const bool ended = PumpUntilRunEnds(kStopBound);
    const double wallSeconds = (NowMs() - started) / 1000.0;
    PlaySoundA(nullptr, nullptr, 0);

    const std::vector<double>& ms = figures.handlingMs;
    double sum = 0.0, worst = 0.0;
    int over = 0;
    for (double t : ms) {
        sum += t;
        worst = std::max(worst, t);
        if (t > blockMs / 4) ++over;
    }
    const uint32_t recorded = app->monitor.RecordedBytes(), position = app->monitor.DevicePositionAtStop();
    const long long difference = (long long)position - (long long)recorded;
    std::printf("96000 Hz 24-bit stereo, FFT 65536, log spectrum, deltatime 512: %d s asked, %.1f s run\n", seconds,
                wallSeconds);
    std::printf("block %u bytes (%.1f ms, budget %.1f ms); %zu buffers handled, %d came back short\n", block, blockMs,
                blockMs / 4, ms.size(), figures.shortBuffers);
    std::printf("handling per buffer: mean %.3f ms, max %.3f ms, %d over the budget\n",
                ms.empty() ? 0.0 : sum / double(ms.size()), worst, over);
    for (size_t i = 0; i < ms.size(); ++i)
        if (ms[i] > blockMs / 4) std::printf("  buffer %zu took %.3f ms\n", i, ms[i]);
    std::printf("recorded %u bytes (%.2f s), device position at Stop %u bytes: difference %lld (%s one buffer)\n",
                recorded, double(recorded) / app->format.avgBytesPerSec, position, difference,
                std::llabs(difference) <= (long long)block ? "within" : "MORE than");
    std::printf("run ended after Stop: %s; message boxes: %zu\n", ended ? "yes" : "NO", EndBoxCapture().size());
    CloseMainWindow();
    return 0;
}
