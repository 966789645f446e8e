// Native benchmark of the real-input transform against FFTW (double, real to complex,
// FFTW_MEASURE plans), built with the host compiler by scripts/bench-fft; not part of the Windows
// build. For N = 256 .. 65536 both transforms run in interleaved rounds (which one goes first
// alternates); each round times a batch of transforms of each and keeps microseconds per
// transform. Both sides copy the same samples into their input buffer before every transform
// (RealFft works in place and needs it; FFTW gets the same copy so the two are timed alike).
// Prints minimum and median per transform and the ratio RealFft / FFTW, plus the largest
// difference between the two spectra as a check that both computed the same transform.
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "analysis/fft.h"

namespace {

constexpr int kRounds = 201;
constexpr int kFirstExponent = 8;
constexpr int kLastExponent = 16;
constexpr int kPointsPerBatch = 1 << 19;   // transforms per batch: this many points in all
constexpr size_t kAlignment = 64;
// Every buffer starts 2 KiB past a 4 KiB boundary of its own slot: a copy whose source and
// destination lie a few bytes apart modulo 4 KiB runs many times slower (4K aliasing).
constexpr size_t kPage = 4096;
constexpr size_t kStagger = 2048;

struct Result {
    double minUs, medianUs;
};

double Seconds()
{
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

Result Summarise(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    return {us.front(), us[us.size() / 2]};
}

// Buffers of one length, each in its own slot of a single aligned block.
struct Buffers {
    double* block;
    double *source, *re, *im, *fftwIn;
    fftw_complex* fftwOut;
    explicit Buffers(int n)
    {
        const size_t slot = ((n + 2) * sizeof(double) * 2 + kPage - 1) / kPage * kPage + kPage;
        block = static_cast<double*>(std::aligned_alloc(kAlignment, slot * 5));
        auto at = [&](int i) { return reinterpret_cast<char*>(block) + slot * i + kStagger * (i % 2); };
        source = reinterpret_cast<double*>(at(0));
        re = reinterpret_cast<double*>(at(1));
        im = reinterpret_cast<double*>(at(2));
        fftwIn = reinterpret_cast<double*>(at(3));
        fftwOut = reinterpret_cast<fftw_complex*>(at(4));
    }
    ~Buffers() { std::free(block); }
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;
};

// Largest |RealFft - FFTW / n| over bins 0 .. n/2-1 for the samples in b.source.
double Disagreement(const FftPlan& plan, fftw_plan fftw, Buffers& b, int n)
{
    std::memcpy(b.re, b.source, n * sizeof(double));
    RealFft(plan, b.re, b.im);
    std::memcpy(b.fftwIn, b.source, n * sizeof(double));
    fftw_execute(fftw);
    double worst = 0;
    for (int k = 0; k < n / 2; ++k) {
        worst = std::max({worst, std::fabs(b.re[k] - b.fftwOut[k][0] / n), std::fabs(b.im[k] - b.fftwOut[k][1] / n)});
    }
    return worst;
}

void Row(int exponent)
{
    const int n = 1 << exponent, batch = std::max(1, kPointsPerBatch / n);
    Buffers b(n);
    uint32_t seed = 12345;
    for (int i = 0; i < n; ++i) b.source[i] = ((seed = seed * 1664525u + 1013904223u) >> 8) / 8388608.0 - 1.0;
    FftPlan plan;
    if (!plan.Build(exponent)) std::exit(1);
    fftw_plan fftw = fftw_plan_dft_r2c_1d(n, b.fftwIn, b.fftwOut, FFTW_MEASURE);
    auto timeOurs = [&] {
        const double start = Seconds();
        for (int r = 0; r < batch; ++r) {
            std::memcpy(b.re, b.source, n * sizeof(double));
            RealFft(plan, b.re, b.im);
        }
        return (Seconds() - start) * 1e6 / batch;
    };
    auto timeFftw = [&] {
        const double start = Seconds();
        for (int r = 0; r < batch; ++r) {
            std::memcpy(b.fftwIn, b.source, n * sizeof(double));
            fftw_execute(fftw);
        }
        return (Seconds() - start) * 1e6 / batch;
    };
    std::vector<double> ours, theirs;
    for (int round = 0; round < kRounds; ++round) {
        if (round % 2 == 0) ours.push_back(timeOurs());
        theirs.push_back(timeFftw());
        if (round % 2 == 1) ours.push_back(timeOurs());
    }
    const Result a = Summarise(ours), f = Summarise(theirs);
    std::printf("| %d | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.1e |\n", n, a.minUs, a.medianUs, f.minUs,
                f.medianUs, a.minUs / f.minUs, a.medianUs / f.medianUs, Disagreement(plan, fftw, b, n));
    fftw_destroy_plan(fftw);
}

}  // namespace

int main()
{
    std::printf("Microseconds per transform (input copy included), %d interleaved rounds\n\n", kRounds);
    std::printf("| N | RealFft min | RealFft median | FFTW min | FFTW median | ratio min | ratio median | "
                "largest difference |\n|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int exponent = kFirstExponent; exponent <= kLastExponent; ++exponent) Row(exponent);
    fftw_cleanup();
    return 0;
}
