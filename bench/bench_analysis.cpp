// Cost of analysing and drawing one block (AnalyseBlock: peak scan, transform, display bytes;
// DrawBlockResult: level bar, peak panel, renderer) for every FFT length and view, into a memory
// DC and into a real window's DC, beside the playing time of one block; the same for a block of a
// 96 kHz 24-bit stereo file; and the real FFT alone with its accuracy against a straightforward
// complex DFT.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/fft.h"
#include "display/display.h"

namespace {

constexpr double kTimeUnitsPerSecond = 11025.0;
constexpr double kMinSecondsPerCase = 0.25;
constexpr int kMinRepeats = 5;
constexpr int kBlockSamples = 8192;          // a 186 ms block at 44100 Hz
const SourceFormat kMono16 = {1, 1, 44100, 88200, 2, 16};
// The high-rate case: 96 kHz 24-bit stereo, FFT 65536, logarithmic view, time resolution 512.
const SourceFormat kStereo24At96k = {1, 2, 96000, 576000, 6, 24};
constexpr int kHighRateExponent = 16;
constexpr int kHighRateTimeResolution = 512;

const char* const kViewNames[] = {"waveform", "level meter", "linear spectrum", "log spectrum", "chart"};

double Now()
{
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency.QuadPart;
}

// A 16-bit mono block: two tones and some noise, so every renderer has varied bytes to draw.
std::vector<uint8_t> MakeBlock(int samples)
{
    std::vector<uint8_t> block(2 * samples);
    uint32_t seed = 12345;
    for (int j = 0; j < samples; ++j) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = ((seed >> 16) / 65536.0 - 0.5) * 2000.0;
        const double v = 12000 * std::sin(2 * kPi * 1000.0 * j / 44100) +
                         6000 * std::sin(2 * kPi * 7350.0 * j / 44100) + noise;
        const int16_t s = static_cast<int16_t>(std::lround(v));
        block[2 * j] = static_cast<uint8_t>(s & 0xFF);
        block[2 * j + 1] = static_cast<uint8_t>((s >> 8) & 0xFF);
    }
    return block;
}

// A 24-bit stereo block of `frames` frames: the two tones and noise of MakeBlock at 96 kHz on the
// left, the same a little quieter on the right.
std::vector<uint8_t> MakeStereo24Block(int frames)
{
    std::vector<uint8_t> block;
    uint32_t seed = 12345;
    for (int j = 0; j < frames; ++j) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = ((seed >> 16) / 65536.0 - 0.5) * 2000.0 * 256;
        const double v = 256 * (12000 * std::sin(2 * kPi * 1000.0 * j / 96000) +
                                6000 * std::sin(2 * kPi * 7350.0 * j / 96000)) + noise;
        for (double channel : {v, 0.8 * v}) {
            const int32_t s = static_cast<int32_t>(std::lround(channel));
            for (int b = 0; b < 3; ++b) block.push_back(static_cast<uint8_t>(s >> (8 * b)));
        }
    }
    return block;
}

struct Timing {
    double meanMs;
    double maxMs;
};

// What one block needs besides its bytes: the source, the settings, the plan and the layout.
struct Run {
    SourceFormat format;
    Settings settings;
    AnalysisPlan plan;
    Layout layout;
    double peakFrequency = 0.0;
};

void AnalyseAndDraw(HDC dc, const std::vector<uint8_t>& block, Run& run)
{
    const BlockResult result = AnalyseBlock(block.data(), static_cast<int32_t>(block.size()), run.format,
                                            run.settings, run.plan, run.peakFrequency);
    run.peakFrequency = result.peakFrequency;
    DrawBlockResult(dc, run.layout, run.settings, run.format, result);
}

Timing TimeBlocks(HDC dc, const std::vector<uint8_t>& block, Run& run)
{
    AnalyseAndDraw(dc, block, run);   // warm up, builds the window table
    GdiFlush();
    double total = 0, worst = 0;
    int repeats = 0;
    while (repeats < kMinRepeats || total < kMinSecondsPerCase) {
        const double start = Now();
        AnalyseAndDraw(dc, block, run);
        GdiFlush();
        const double elapsed = Now() - start;
        total += elapsed;
        worst = std::max(worst, elapsed);
        ++repeats;
    }
    return Timing{1000.0 * total / repeats, 1000.0 * worst};
}

bool CreateMemoryDc(HDC* dc, HBITMAP* bitmap)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 640;
    info.bmiHeader.biHeight = -400;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    *dc = CreateCompatibleDC(nullptr);
    *bitmap = *dc ? CreateDIBSection(*dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!*bitmap) return false;
    SelectObject(*dc, *bitmap);
    return true;
}

HWND CreatePlainWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "BenchAnalysisWindow";
    if (!RegisterClassA(&wc)) return nullptr;
    HWND window = CreateWindowA(wc.lpszClassName, "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                660, 440, nullptr, nullptr, wc.hInstance, nullptr);
    if (window) UpdateWindow(window);
    return window;
}

void PrepareDc(HDC dc)
{
    SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
}

bool BenchBlocks(HDC memoryDc, HDC windowDc, Run& run)
{
    std::printf("Per-block cost of AnalyseBlock and DrawBlockResult, 16-bit mono 44100 Hz, block of max(N, %d) samples\n",
                kBlockSamples);
    std::printf("Block playing time: %.1f ms at time resolution 512, %.1f ms at 2048; target < %.1f ms\n",
                1000.0 * 512 / kTimeUnitsPerSecond, 1000.0 * 2048 / kTimeUnitsPerSecond,
                1000.0 * 512 / kTimeUnitsPerSecond / 4);
    std::printf("%6s  %-16s %10s %10s %10s %10s\n", "N", "view", "mem mean", "mem max", "win mean", "win max");
    for (int exponent = kMinFftExponent; exponent <= kMaxFftExponent; ++exponent) {
        const int n = PowerOfTwo(exponent);
        const std::vector<uint8_t> block = MakeBlock(std::max(n, kBlockSamples));
        run.settings.fftExponent = exponent;
        if (!run.plan.Prepare(exponent)) return false;
        for (int view = kViewWaveform; view < kViewCount; ++view) {
            run.settings.view = static_cast<ViewMode>(view);
            const Timing memory = TimeBlocks(memoryDc, block, run);
            const Timing window = windowDc ? TimeBlocks(windowDc, block, run) : Timing{-1, -1};
            std::printf("%6d  %-16s %10.3f %10.3f %10.3f %10.3f\n", n, kViewNames[view], memory.meanMs,
                        memory.maxMs, window.meanMs, window.maxMs);
        }
    }
    return true;
}

// One block of the high-rate case as the program reads it in streaming mode: the whole frames of
// rate x time resolution / 11025 samples.
bool BenchHighRate(HDC memoryDc, HDC windowDc, Run& run)
{
    run.format = kStereo24At96k;
    run.settings.fftExponent = kHighRateExponent;
    run.settings.view = kViewLogSpectrum;
    if (!run.plan.Prepare(kHighRateExponent)) return false;
    const int frames = static_cast<int>(int64_t(run.format.samplesPerSec) * kHighRateTimeResolution /
                                        static_cast<int64_t>(kTimeUnitsPerSecond));
    const std::vector<uint8_t> block = MakeStereo24Block(frames);
    const double playMs = 1000.0 * frames / run.format.samplesPerSec;
    std::printf("\n96000 Hz 24-bit stereo, FFT %d, log spectrum, time resolution %d: block of %d frames "
                "(%d bytes) plays %.1f ms; target < %.1f ms\n", PowerOfTwo(kHighRateExponent),
                kHighRateTimeResolution, frames, static_cast<int>(block.size()), playMs, playMs / 4);
    const Timing memory = TimeBlocks(memoryDc, block, run);
    const Timing window = windowDc ? TimeBlocks(windowDc, block, run) : Timing{-1, -1};
    std::printf("%10s %10s %10s %10s\n%10.3f %10.3f %10.3f %10.3f\n", "mem mean", "mem max", "win mean", "win max",
                memory.meanMs, memory.maxMs, window.meanMs, window.maxMs);
    return true;
}

// Worst |RealFft - DFT| over every bin (N <= 4096) or every 97th bin (larger N).
double FftError(const FftPlan& plan, const std::vector<double>& x)
{
    const int n = PowerOfTwo(plan.Exponent());
    std::vector<double> re(x.begin(), x.begin() + n), im(n, 0.0);
    RealFft(plan, re.data(), im.data());
    const int stride = n <= 4096 ? 1 : 97;
    double worst = 0;
    for (int k = 0; k < n / 2; k += stride) {
        double sr = 0, si = 0;
        for (int j = 0; j < n; ++j) {
            const double angle = 2 * kPi * static_cast<double>((static_cast<int64_t>(j) * k) % n) / n;
            sr += x[j] * std::cos(angle);
            si -= x[j] * std::sin(angle);
        }
        worst = std::max({worst, std::fabs(sr / n - re[k]), std::fabs(si / n - im[k])});
    }
    return worst;
}

// The analysis without any drawing: loading, windowing, transform, peak search, display bytes.
double AnalysisOnlyMs(AnalysisPlan& plan, const std::vector<uint8_t>& block)
{
    const int n = PowerOfTwo(plan.Exponent());
    int repeats = 0;
    const double start = Now();
    while (repeats < kMinRepeats || Now() - start < kMinSecondsPerCase) {
        ComputeSpectrum(block.data(), static_cast<int32_t>(block.size()), kMono16, kWindowHanning, plan);
        SpectrumBytes(plan.Re(), plan.Im(), n, true, kSlopeWhite, kScaleStandard, plan.Bytes());
        ++repeats;
    }
    return 1000.0 * (Now() - start) / repeats;
}

bool BenchFft()
{
    std::printf("\nRealFft alone (random samples in [-1, 1)), the whole analysis without drawing\n"
                "(Hanning window, transform, peak search, display bytes), and the error of X[k]/N\n"
                "against a direct DFT\n");
    std::printf("%6s %12s %14s %12s\n", "N", "ms per call", "analysis ms", "max error");
    std::vector<double> x(65536);
    uint32_t seed = 99;
    for (double& v : x) {
        seed = seed * 1664525u + 1013904223u;
        v = (seed >> 8) / 8388608.0 - 1.0;
    }
    AnalysisPlan plan;
    for (int exponent = kMinFftExponent; exponent <= kMaxFftExponent; ++exponent) {
        if (!plan.Prepare(exponent)) return false;
        const int n = PowerOfTwo(exponent);
        std::vector<double> re(n), im(n);
        int repeats = 0;
        const double start = Now();
        while (repeats < kMinRepeats || Now() - start < kMinSecondsPerCase) {
            std::copy(x.begin(), x.begin() + n, re.begin());
            RealFft(plan.Fft(), re.data(), im.data());
            ++repeats;
        }
        const double ms = 1000.0 * (Now() - start) / repeats;
        const std::vector<uint8_t> block = MakeBlock(n);
        std::printf("%6d %12.3f %14.3f %12.2e\n", n, ms, AnalysisOnlyMs(plan, block), FftError(plan.Fft(), x));
    }
    return true;
}

}  // namespace

int main()
{
    Run run;
    run.format = kMono16;
    run.settings.windowType = kWindowHanning;

    HDC memoryDc = nullptr;
    HBITMAP bitmap = nullptr;
    if (!CreateMemoryDc(&memoryDc, &bitmap)) {
        std::printf("no memory DC\n");
        return 1;
    }
    PrepareDc(memoryDc);
    TEXTMETRICA tm;
    GetTextMetricsA(memoryDc, &tm);
    run.layout.charWidth = tm.tmAveCharWidth;
    run.layout.lineHeight = tm.tmAscent / 2;

    HWND window = CreatePlainWindow();
    HDC windowDc = window ? GetDC(window) : nullptr;
    if (windowDc) {
        PrepareDc(windowDc);
        run.layout.colourDepth = GetDeviceCaps(windowDc, PLANES) * GetDeviceCaps(windowDc, BITSPIXEL);
    } else {
        std::printf("no window: window DC columns show -1\n");
        run.layout.colourDepth = 32;
    }
    std::printf("Column %d px, row %d px, colour depth %d\n", run.layout.charWidth, run.layout.lineHeight,
                run.layout.colourDepth);

    const bool ran = BenchBlocks(memoryDc, windowDc, run) && BenchHighRate(memoryDc, windowDc, run) && BenchFft();
    if (!ran) std::printf("out of memory\n");

    if (windowDc) ReleaseDC(window, windowDc);
    if (window) DestroyWindow(window);
    DeleteDC(memoryDc);
    DeleteObject(bitmap);
    return ran ? 0 : 1;
}
