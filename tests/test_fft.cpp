// The transforms: accuracy against a direct DFT, and bit-for-bit equality with the plain
// step-by-step arrangement at every length, transform after transform through one plan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

#include "analysis/fft.h"

namespace {

using Doubles = std::vector<double>;

// Deterministic pseudo-random values in [-1, 1).
Doubles Noise(int n, uint32_t seed)
{
    Doubles v(n);
    for (double& x : v) x = ((seed = seed * 1664525u + 1013904223u) >> 8) / 8388608.0 - 1.0;
    return v;
}

// Worst difference between (re, im) and X[k]/n of (xr, xi) by the direct sum, over every
// `stride`-th of the first `bins` bins; exact twiddles from a table indexed by j*k mod n.
double WorstDftError(const Doubles& xr, const Doubles& xi, const Doubles& re, const Doubles& im, int bins, int stride)
{
    const int n = static_cast<int>(xr.size());
    Doubles c(n), s(n);
    for (int i = 0; i < n; ++i) c[i] = std::cos(2 * kPi * i / n), s[i] = std::sin(2 * kPi * i / n);
    double worst = 0;
    for (int k = 0; k < bins; k += stride) {
        double sr = 0, si = 0;
        for (int j = 0, t = 0; j < n; ++j, t = (t + k) % n) sr += xr[j] * c[t] + xi[j] * s[t], si += xi[j] * c[t] - xr[j] * s[t];
        worst = std::max({worst, std::fabs(sr / n - re[k]), std::fabs(si / n - im[k])});
    }
    return worst;
}

// The transforms written down step by step: bit reversal, stages whose twiddles come from one
// rotation per butterfly group (sine and cosine once per stage), division by n; the split step
// with its angle added up, then two halvings.
void ReferenceComplexFft(double* re, double* im, int exponent)
{
    const int n = 1 << exponent, half = n / 2;
    for (int i = 0, j = 0, k; i < n - 1; ++i, j += k) {
        if (j >= i) std::swap(re[i], re[j]), std::swap(im[i], im[j]);
        for (k = half; j >= k; k /= 2) j -= k;
    }
    double theta = kPi;
    for (int m = 1; m <= half; m *= 2, theta /= 2.0) {
        const double cs = std::cos(theta), sn = -std::sin(theta);
        double wr = 1.0, wi = 0.0;
        for (int j = 0; j < m; ++j, std::tie(wr, wi) = std::make_pair(cs * wr - sn * wi, sn * wr + cs * wi))
            for (int k = j; k < n; k += 2 * m) {
                const double tr = re[k + m] * wr - im[k + m] * wi, ti = im[k + m] * wr + re[k + m] * wi;
                re[k + m] = re[k] - tr; im[k + m] = im[k] - ti; re[k] = re[k] + tr; im[k] = im[k] + ti;
            }
    }
    for (int i = 0; i < n; ++i) re[i] /= n, im[i] /= n;
}

void ReferenceRealFft(Doubles& re, Doubles& im, int exponent)
{
    const int m = (1 << exponent) / 2;
    for (int i = 0; i < m; ++i) re[i] = re[2 * i], im[i] = re[2 * i + 1];
    ReferenceComplexFft(re.data(), im.data(), exponent - 1);
    const Doubles zr = re, zi = im;   // z[m] is z[0]
    double phi = 0.0;
    for (int k = 0; k < m; ++k, phi += 2 * kPi / (2 * m)) {
        const double cs = std::cos(phi), sn = std::sin(phi), x = zr[k], y = zi[k], x2 = zr[(m - k) % m], y2 = zi[(m - k) % m];
        re[k] = (x + x2 + cs * (y + y2) - sn * (x - x2)) / 2.0 / 2.0;
        im[k] = ((y - y2) - sn * (y + y2) - cs * (x - x2)) / 2.0 / 2.0;
    }
}

// The transform through `plan` and the step-by-step one, each on a copy of (x, y): the first
// output entry whose bits differ (-0.0 differs from 0.0), counting re's N/2 or n entries, then
// im's; -1 if none does.
int FirstDifferenceFromReference(const FftPlan& plan, const Doubles& x, const Doubles& y, int exponent, bool real)
{
    Doubles re = x, im = y, refRe = x, refIm = y;
    if (real) RealFft(plan, re.data(), im.data()), ReferenceRealFft(refRe, refIm, exponent);
    else ComplexFft(plan, re.data(), im.data(), exponent), ReferenceComplexFft(refRe.data(), refIm.data(), exponent);
    const int count = real ? (1 << exponent) / 2 : 1 << exponent;
    for (int i = 0; i < 2 * count; ++i)
        if (std::memcmp(&(i < count ? re : im)[i % count], &(i < count ? refRe : refIm)[i % count], sizeof(double))) return i;
    return -1;
}

}  // namespace

// Random input against the direct sum; each bound is just above the worst error seen (the
// recurrences add up rounding with the length): complex 1.1e-16, 8.1e-16 and 8.6e-15 at 2^5,
// 2^10 and 2^17 points; real 2.8e-17, 1.9e-16, 1.0e-15 and 3.8e-15 at N = 4, 256, 4096 and
// 65536. Large lengths check every (n/512 + 1)-th bin: the direct sums grow with n squared.
TEST(Fft, AgreesWithDirectDftWithinTheWorstErrorSeen)
{
    struct Case { bool real; int exponent; double bound; };
    for (const Case& c : {Case{false, 5, 1.5e-16}, {false, 10, 1e-15}, {false, 17, 1e-14},
                          {true, 2, 5e-17}, {true, 8, 2.5e-16}, {true, 12, 1.2e-15}, {true, 16, 4e-15}}) {
        const int n = 1 << c.exponent;
        const Doubles xr = Noise(n, 77 + c.exponent), xi = c.real ? Doubles(n) : Noise(n, 99 + c.exponent);
        Doubles re = xr, im = c.real ? Doubles(n, 123.0) : xi;   // the imaginary input is ignored if real
        FftPlan plan;
        ASSERT_TRUE(plan.Build(c.exponent));
        if (c.real) RealFft(plan, re.data(), im.data());
        else ComplexFft(plan, re.data(), im.data(), c.exponent);
        EXPECT_LT(WorstDftError(xr, xi, re, im, c.real ? n / 2 : n, n > 4096 ? n / 512 + 1 : 1), c.bound)
            << (c.real ? "real" : "complex") << ", exponent " << c.exponent;
    }
}

// Every length from 2 to 2^17, complex over all n entries and real over the N/2 bins, for noise
// and for zeros of random signs: every result is then a zero whose sign depends on the exact
// operations, which a rearrangement that is equal only for nonzero values gets wrong (each sign
// pattern catches such a fault at some lengths only, hence several). Each length's plan serves all
// ten transforms, so none may keep state from the one before.
TEST(Fft, KeepsTheOperationOrderBitForBit)
{
    constexpr int kZeroPatterns = 4;
    for (int exponent = 1; exponent <= kMaxFftExponent + 1; ++exponent) {
        FftPlan plan;
        ASSERT_TRUE(plan.Build(exponent));
        for (int input = 0; input <= kZeroPatterns; ++input) {
            Doubles x = Noise(1 << exponent, 7 + input), y = Noise((1 << exponent) + 1, 20 + input);
            for (Doubles* v : {&x, &y}) for (double& e : *v) e = input ? std::copysign(0.0, e) : e;
            for (bool real : {false, true})
                EXPECT_EQ(-1, FirstDifferenceFromReference(plan, x, y, exponent, real))
                    << "exponent " << exponent << (real ? " real" : " complex") << " input " << input;
        }
    }
}
