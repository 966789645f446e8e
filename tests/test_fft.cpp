// The transforms against a direct DFT, the worked constant and sine signals, PowerOfTwo and the
// exponent guard, and the window table of every window type.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/fft.h"
#include "shell/globals.h"

namespace {

const double kPi = 3.141592653589793;

// Deterministic pseudo-random values in [-1, 1).
struct Lcg {
    uint32_t s;
    double Next()
    {
        s = s * 1664525u + 1013904223u;
        return (s >> 8) / 8388608.0 - 1.0;
    }
};

// Direct DFT of bin k, X[k]/n, with exact twiddles from a table indexed by (j*k) mod n.
struct DirectDft {
    std::vector<double> c, s;
    explicit DirectDft(int n) : c(n), s(n)
    {
        for (int i = 0; i < n; ++i) {
            c[i] = std::cos(2 * kPi * i / n);
            s[i] = std::sin(2 * kPi * i / n);
        }
    }
    void Bin(const std::vector<double>& xr, const std::vector<double>& xi, int k, double* re,
             double* im) const
    {
        const int n = static_cast<int>(c.size());
        double sr = 0, si = 0;
        for (int j = 0; j < n; ++j) {
            const int t = static_cast<int>((static_cast<int64_t>(j) * k) % n);
            // x * e^(-i*angle)
            sr += xr[j] * c[t] + xi[j] * s[t];
            si += xi[j] * c[t] - xr[j] * s[t];
        }
        *re = sr / n;
        *im = si / n;
    }
};

// Worst absolute difference between RealFft and the direct DFT over `bins` (all when empty).
double RealFftWorstError(int exponent, uint32_t seed, int binStride)
{
    const int n = PowerOfTwo(exponent);
    Lcg rng{seed};
    std::vector<double> x(n), zero(n, 0.0), re(n), im(n, 123.0);
    for (double& v : x) v = rng.Next();
    re = x;
    RealFft(re.data(), im.data(), exponent);
    DirectDft dft(n);
    double worst = 0;
    for (int k = 0; k < n / 2; k += binStride) {
        double dr, di;
        dft.Bin(x, zero, k, &dr, &di);
        worst = std::max({worst, std::fabs(dr - re[k]), std::fabs(di - im[k])});
    }
    return worst;
}

// The transform written the straightforward way: bit reversal, then per stage each twiddle from
// the rotation recurrence applied across the whole array before the next one.
void ReferenceComplexFft(std::vector<double>& re, std::vector<double>& im, int exponent)
{
    const int n = 1 << exponent;
    for (int i = 0, j = 0; i <= n - 2; ++i) {
        if (j >= i) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        int k = n / 2;
        while (j >= k) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
    double theta = kPi;
    for (int m = 1; m <= n / 2; m *= 2) {
        const double cs = std::cos(theta), sn = -std::sin(theta);
        double wr = 1.0, wi = 0.0;
        for (int j = 0; j < m; ++j) {
            for (int k = j; k < n; k += 2 * m) {
                const int p = k + m;
                const double tr = re[p] * wr - im[p] * wi, ti = im[p] * wr + re[p] * wi;
                re[p] = re[k] - tr;
                im[p] = im[k] - ti;
                re[k] = re[k] + tr;
                im[k] = im[k] + ti;
            }
            const double w = cs * wr - sn * wi;
            wi = sn * wr + cs * wi;
            wr = w;
        }
        theta /= 2.0;
    }
    for (int i = 0; i < n; ++i) {
        re[i] /= n;
        im[i] /= n;
    }
}

}  // namespace

TEST(PowerOfTwo, DoublesForPositiveAndGivesOneOtherwise)
{
    EXPECT_EQ(1, PowerOfTwo(0));
    EXPECT_EQ(1, PowerOfTwo(-3));
    EXPECT_EQ(1, PowerOfTwo(-2147483647 - 1));
    EXPECT_EQ(2, PowerOfTwo(1));
    EXPECT_EQ(256, PowerOfTwo(8));
    EXPECT_EQ(65536, PowerOfTwo(16));
}

TEST(PowerOfTwo, ExponentGuardKeepsTheTableInRange)
{
    EXPECT_EQ(8, ClampFftExponent(7));
    EXPECT_EQ(8, ClampFftExponent(-20));
    EXPECT_EQ(12, ClampFftExponent(12));
    EXPECT_EQ(16, ClampFftExponent(17));
    EXPECT_EQ(16, ClampFftExponent(1000));
    EXPECT_LE(PowerOfTwo(ClampFftExponent(99)) / 2, kWindowTableSize);
}

// Random complex input in [-1, 1) at n = 2 .. 1024. Worst errors seen: 9.4e-16 forward (X/n)
// and 3.4e-14 after the round trip; the recurrence twiddles lose a few bits per stage.
TEST(ComplexFft, ForwardMatchesDirectDftAndUnscaledInverseRestoresInput)
{
    double worstForward = 0, worstRoundTrip = 0;
    for (int exponent : {1, 2, 5, 10}) {
        const int n = PowerOfTwo(exponent);
        Lcg rng{static_cast<uint32_t>(77 + exponent)};
        std::vector<double> xr(n), xi(n);
        for (int j = 0; j < n; ++j) {
            xr[j] = rng.Next();
            xi[j] = rng.Next();
        }
        std::vector<double> re = xr, im = xi;
        ComplexFft(re.data(), im.data(), exponent, -1);
        DirectDft dft(n);
        for (int k = 0; k < n; ++k) {
            double dr, di;
            dft.Bin(xr, xi, k, &dr, &di);
            worstForward = std::max({worstForward, std::fabs(dr - re[k]), std::fabs(di - im[k])});
        }
        // The non-negative direction is the unscaled transform with the opposite sign.
        ComplexFft(re.data(), im.data(), exponent, 1);
        for (int j = 0; j < n; ++j) {
            worstRoundTrip = std::max({worstRoundTrip, std::fabs(xr[j] - re[j]), std::fabs(xi[j] - im[j])});
        }
    }
    EXPECT_LT(worstForward, 1e-15);
    EXPECT_LT(worstRoundTrip, 4e-14);
}

// The butterflies run group by group for speed; the results must be those of the plain
// twiddle-by-twiddle order bit for bit (exponent 17 exceeds the stage twiddle store).
TEST(ComplexFft, GivesExactlyTheResultsOfTheTwiddleByTwiddleOrder)
{
    for (int exponent : {3, 9, 15, 16, 17}) {
        const int n = PowerOfTwo(exponent);
        Lcg rng{static_cast<uint32_t>(5 + exponent)};
        std::vector<double> re(n), im(n);
        for (int j = 0; j < n; ++j) {
            re[j] = rng.Next();
            im[j] = rng.Next();
        }
        std::vector<double> wantRe = re, wantIm = im;
        ReferenceComplexFft(wantRe, wantIm, exponent);
        ComplexFft(re.data(), im.data(), exponent, -1);
        EXPECT_TRUE(re == wantRe && im == wantIm) << "exponent " << exponent;
    }
}

// Random samples in [-1, 1): every bin up to N = 4096, every 61st bin at larger lengths (the
// direct sums grow with N squared). Worst absolute error of X[k]/N seen: 2.2e-16 at N = 256,
// 1.1e-15 at 4096, 2.7e-15 at 16384 and 3.9e-15 at 65536 (the recurrences add up rounding).
TEST(RealFft, AgreesWithDirectDftForRandomInput)
{
    struct Case { int exponent; int binStride; };
    for (Case c : {Case{2, 1}, Case{3, 1}, Case{8, 1}, Case{12, 1}, Case{14, 61}, Case{16, 61}}) {
        const double worst = RealFftWorstError(c.exponent, 1234u + c.exponent, c.binStride);
        EXPECT_LT(worst, 4e-15) << "exponent " << c.exponent;
    }
}

TEST(RealFft, ConstantSignalGivesOnlyBinZero)
{
    std::vector<double> re(256, 100.0), im(256, -7.0);
    RealFft(re.data(), im.data(), 8);
    EXPECT_NEAR(100.0, re[0], 1e-12);
    EXPECT_NEAR(0.0, im[0], 1e-12);
    for (int k = 1; k < 128; ++k) {
        EXPECT_NEAR(0.0, re[k], 1e-12) << k;
        EXPECT_NEAR(0.0, im[k], 1e-12) << k;
    }
}

TEST(RealFft, SineOnBinFiveGivesHalfItsAmplitude)
{
    std::vector<double> re(256), im(256);
    for (int j = 0; j < 256; ++j) re[j] = 1000.0 * std::sin(2 * kPi * 5 * j / 256);
    RealFft(re.data(), im.data(), 8);
    EXPECT_NEAR(0.0, re[5], 1e-9);
    EXPECT_NEAR(-500.0, im[5], 1e-9);
    for (int k = 0; k < 128; ++k) {
        if (k == 5) continue;
        EXPECT_NEAR(0.0, std::hypot(re[k], im[k]), 1e-9) << k;
    }
}

// ---- Window table ----------------------------------------------------------------------------

class WindowTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGlobals();
        std::fill(windowTable, windowTable + kWindowTableSize, -9.0);
    }
    void TearDown() override { ResetGlobals(); }
    std::vector<double> Build(int type, int m)
    {
        state.windowType = type;
        BuildWindowTable(m);
        return std::vector<double>(windowTable, windowTable + m);
    }
};

TEST_F(WindowTable, WorkedValuesOfEachTypeForHalfLengthFour)
{
    struct Case { int type; double values[4]; };
    const Case cases[] = {
        {kWindowHanning, {0.0, 0.1464466, 0.5, 0.8535534}},
        {kWindowHamming, {0.08, 0.2147309, 0.54, 0.8652691}},
        {kWindowBlackman, {0.0, 0.0664466, 0.34, 0.7735534}},
        {kWindowTriangle, {0.0, 0.25, 0.5, 0.75}},
    };
    for (const Case& c : cases) {
        const std::vector<double> table = Build(c.type, 4);
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(c.values[i], table[i], 5e-8) << "type " << c.type << " i " << i;
        EXPECT_EQ(-9.0, windowTable[4]) << "wrote past m, type " << c.type;
    }
}

TEST_F(WindowTable, RisesToJustBelowThePeakAtTheLargestHalfLength)
{
    const std::vector<double> table = Build(kWindowHanning, kWindowTableSize);
    EXPECT_EQ(0.0, table[0]);
    EXPECT_NEAR(0.5, table[kWindowTableSize / 2], 1e-15);
    EXPECT_LT(table.back(), 1.0);
    EXPECT_GT(table.back(), 0.999999);
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end()));
}

TEST_F(WindowTable, RectangleAndEmptyLengthsWriteNothingAndKeyIsLeftAlone)
{
    windowKey = {77, kWindowBlackman};
    Build(kWindowRectangle, 1024);
    state.windowType = kWindowHanning;
    BuildWindowTable(0);
    BuildWindowTable(-5);
    EXPECT_TRUE(std::all_of(windowTable, windowTable + kWindowTableSize, [](double v) { return v == -9.0; }));
    Build(kWindowTriangle, 8);
    EXPECT_EQ(77, windowKey.halfLength);
    EXPECT_EQ(kWindowBlackman, windowKey.type);
}

TEST_F(WindowTable, ReadsTheTypeFromStateOnEveryCall)
{
    Build(kWindowHanning, 16);
    const std::vector<double> hamming = Build(kWindowHamming, 8);
    EXPECT_NEAR(0.08, hamming[0], 1e-15);
    // Entries at and above m keep the earlier, longer build.
    EXPECT_NEAR(0.5 - 0.5 * std::cos(12 * kPi / 16), windowTable[12], 1e-15);
}
