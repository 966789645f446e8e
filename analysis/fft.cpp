// Numerical core of the analyser: the radix-2 complex FFT and the real-input FFT built on one
// complex transform of half length, with every table that depends only on the length (stage
// twiddles from rotation recurrences, the split step's cosines and sines) built once into an
// FftPlan. The transforms apply exactly the floating-point operations of the plain arrangement
// (bit reversal, stage after stage of butterflies, division by the length, split step, two
// halvings), in the same order per element, so their results are the same bit for bit; what
// differs is the order in which independent butterflies run, how many stages one pass over
// memory covers, and where the twiddles come from.
#include "analysis/fft.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr int kMaxPlanExponent = kMaxFftExponent + 1;

using Table = std::unique_ptr<double[]>;

Table NewTable(int count)
{
    return Table(new (std::nothrow) double[count]);
}

}  // namespace

// Stage twiddles: the stage of span m (m = 1, 2, 4, ...) reads entries m .. 2m-1, the rotation
// recurrence's values in order j = 0 .. m-1 (entry 0 is unused). They depend on m only, so one
// table serves every length up to the plan's. Split step: cos and sin of the angle added up
// bin by bin, one entry per bin of the plan's real transform.
struct FftPlan::Tables {
    Table twiddleRe, twiddleIm, splitCos, splitSin;
};

namespace {

// ---- Tables ------------------------------------------------------------------------------------

// Twiddles of every stage up to span maxSpan: cos and sin once per stage, then the recurrence.
void FillStageTwiddles(double* wre, double* wim, int maxSpan)
{
    double theta = kPi;
    for (int m = 1; m <= maxSpan; m *= 2, theta /= 2.0) {
        const double cs = std::cos(theta), sn = -std::sin(theta);
        double wr = 1.0, wi = 0.0;
        for (int j = 0; j < m; ++j) {
            wre[m + j] = wr;
            wim[m + j] = wi;
            const double nextWr = cs * wr - sn * wi;
            wi = sn * wr + cs * wi;
            wr = nextWr;
        }
    }
}

// Split step of an n-point real transform: the angle is added up bin by bin, not computed as
// k * step, and its cos and sin are taken per bin.
void FillSplit(double* c, double* s, int n)
{
    const double step = kTwoPi / n;
    double phi = 0.0;
    for (int k = 0; k < n / 2; ++k, phi += step) {
        c[k] = std::cos(phi);
        s[k] = std::sin(phi);
    }
}

// ---- Arithmetic on doubles and on pairs of doubles ----------------------------------------------

// Two doubles side by side (SSE2 on both targets). Each lane does exactly the scalar operations,
// so a pair gives the bits of two separate computations.
typedef double Pair __attribute__((vector_size(16)));
typedef long long PairMask __attribute__((vector_size(16)));

inline Pair Load(const double* p)
{
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void Store(double* p, Pair v)
{
    std::memcpy(p, &v, sizeof v);
}

inline Pair Swapped(Pair v)
{
    return __builtin_shuffle(v, PairMask{1, 0});
}

// Butterfly of x (top) and y (bottom) with twiddle (wr, wi).
template <typename T>
inline void Butterfly(T& xr, T& xi, T& yr, T& yi, T wr, T wi)
{
    const T tr = yr * wr - yi * wi;
    const T ti = yi * wr + yr * wi;
    yr = xr - tr;
    yi = xi - ti;
    xr = xr + tr;
    xi = xi + ti;
}

// ---- Bit reversal with the first three stages ---------------------------------------------------

// Index i of an array of 2^e entries is read as (a, b, c), a and c of kTileBits bits each (a the
// highest); its bit reversal is (rev c, rev b, rev a). So the tile of entries (*, b, *), eight
// rows of eight neighbours, goes whole into the tile (*, rev b, *), rows and columns exchanged.
// Moving tiles through a local copy touches each cache line once, where exchanging single
// entries strides through memory by large powers of two. Each row of a placed tile is a group
// of eight neighbours, which the stages of span 1, 2 and 4 use alone: they run on the row
// before it is stored.
constexpr int kTileBits = 3;
constexpr int kTile = 1 << kTileBits;
constexpr int kTileReversed[kTile] = {0, 4, 2, 6, 1, 5, 3, 7};
constexpr int kMinTiledExponent = 2 * kTileBits;

// Bit-reversed counter over `count` values (a power of two): from the reversal of i to that of
// i + 1 (the bits that flip from i to i + 1, mirrored).
inline int NextReversed(int reversed, int i, int count)
{
    return reversed ^ (count - (count >> (__builtin_ctz(i + 1) + 1)));
}

// Entries 1 .. 7 of the stage twiddles (spans 1, 2 and 4), each in both lanes of a pair.
struct FirstTwiddles {
    Pair re[kTile], im[kTile];
};

FirstTwiddles SplatFirstTwiddles(const double* wre, const double* wim)
{
    FirstTwiddles w = {};
    for (int j = 1; j < kTile; ++j) {
        w.re[j] = Pair{wre[j], wre[j]};
        w.im[j] = Pair{wim[j], wim[j]};
    }
    return w;
}

// The stages of span 1, 2 and 4 on a group of eight entries (two groups side by side).
inline void FirstThreeStages(Pair* r, Pair* i, const FirstTwiddles& w)
{
    Butterfly(r[0], i[0], r[1], i[1], w.re[1], w.im[1]);
    Butterfly(r[2], i[2], r[3], i[3], w.re[1], w.im[1]);
    Butterfly(r[4], i[4], r[5], i[5], w.re[1], w.im[1]);
    Butterfly(r[6], i[6], r[7], i[7], w.re[1], w.im[1]);
    Butterfly(r[0], i[0], r[2], i[2], w.re[2], w.im[2]);
    Butterfly(r[1], i[1], r[3], i[3], w.re[3], w.im[3]);
    Butterfly(r[4], i[4], r[6], i[6], w.re[2], w.im[2]);
    Butterfly(r[5], i[5], r[7], i[7], w.re[3], w.im[3]);
    Butterfly(r[0], i[0], r[4], i[4], w.re[4], w.im[4]);
    Butterfly(r[1], i[1], r[5], i[5], w.re[5], w.im[5]);
    Butterfly(r[2], i[2], r[6], i[6], w.re[6], w.im[6]);
    Butterfly(r[3], i[3], r[7], i[7], w.re[7], w.im[7]);
}

// Copies the tile whose rows start at `from` into `tile`, row by row.
void ReadTile(const double* from, int rowStride, double* tile)
{
    for (int a = 0; a < kTile; ++a) std::memcpy(tile + a * kTile, from + a * rowStride, sizeof(double) * kTile);
}

// Writes a copied tile (re and im) into its place at `to`: entry (a, c) goes to row rev c,
// column rev a. Column c of the copy is therefore destination row rev c; two columns side by
// side are two destination rows, which pass through the first three stages as a pair.
void WriteTile(const double* tileRe, const double* tileIm, double* toRe, double* toIm, int rowStride,
               const FirstTwiddles& w)
{
    for (int c = 0; c < kTile; c += 2) {
        Pair r[kTile], i[kTile];
#pragma GCC unroll 8
        for (int e = 0; e < kTile; ++e) {
            r[e] = Load(tileRe + kTileReversed[e] * kTile + c);
            i[e] = Load(tileIm + kTileReversed[e] * kTile + c);
        }
        FirstThreeStages(r, i, w);
        double* re0 = toRe + kTileReversed[c] * rowStride;
        double* re1 = toRe + kTileReversed[c + 1] * rowStride;
        double* im0 = toIm + kTileReversed[c] * rowStride;
        double* im1 = toIm + kTileReversed[c + 1] * rowStride;
#pragma GCC unroll 4
        for (int e = 0; e < kTile; e += 2) {
            Store(re0 + e, __builtin_shuffle(r[e], r[e + 1], PairMask{0, 2}));
            Store(re1 + e, __builtin_shuffle(r[e], r[e + 1], PairMask{1, 3}));
            Store(im0 + e, __builtin_shuffle(i[e], i[e + 1], PairMask{0, 2}));
            Store(im1 + e, __builtin_shuffle(i[e], i[e + 1], PairMask{1, 3}));
        }
    }
}

// Bit reversal of n = 2^exponent entries (exponent >= kMinTiledExponent) followed by the first
// three stages, tile pair by tile pair.
void ReverseWithFirstStages(double* re, double* im, int exponent, const double* wre, const double* wim)
{
    const int rowStride = 1 << (exponent - kTileBits), tiles = 1 << (exponent - 2 * kTileBits);
    const FirstTwiddles w = SplatFirstTwiddles(wre, wim);
    double ownRe[kTile * kTile], ownIm[kTile * kTile], partnerRe[kTile * kTile], partnerIm[kTile * kTile];
    for (int b = 0, r = 0; b < tiles; r = NextReversed(r, b, tiles), ++b) {
        if (b > r) continue;
        ReadTile(re + b * kTile, rowStride, ownRe);
        ReadTile(im + b * kTile, rowStride, ownIm);
        ReadTile(re + r * kTile, rowStride, partnerRe);
        ReadTile(im + r * kTile, rowStride, partnerIm);
        WriteTile(ownRe, ownIm, re + r * kTile, im + r * kTile, rowStride, w);
        if (b != r) WriteTile(partnerRe, partnerIm, re + b * kTile, im + b * kTile, rowStride, w);
    }
}

// ---- Stages -------------------------------------------------------------------------------------

// Stages of span m and 2m (m >= 2) in one pass: within each group of 4m entries, the two
// butterflies of stage m that feed a pair of stage-2m butterflies run just before them. Every
// butterfly still sees the inputs it sees when the stages run one after the other.
void TwoStages(double* re, double* im, int n, int m, const double* wre, const double* wim)
{
    for (int g = 0; g < n; g += 4 * m) {
        double* r = re + g;
        double* i = im + g;
        for (int j = 0; j < m; j += 2) {
            Pair r0 = Load(r + j), r1 = Load(r + m + j), r2 = Load(r + 2 * m + j), r3 = Load(r + 3 * m + j);
            Pair i0 = Load(i + j), i1 = Load(i + m + j), i2 = Load(i + 2 * m + j), i3 = Load(i + 3 * m + j);
            const Pair ar = Load(wre + m + j), ai = Load(wim + m + j);
            Butterfly(r0, i0, r1, i1, ar, ai);
            Butterfly(r2, i2, r3, i3, ar, ai);
            Butterfly(r0, i0, r2, i2, Load(wre + 2 * m + j), Load(wim + 2 * m + j));
            Butterfly(r1, i1, r3, i3, Load(wre + 3 * m + j), Load(wim + 3 * m + j));
            Store(r + j, r0), Store(r + m + j, r1), Store(r + 2 * m + j, r2), Store(r + 3 * m + j, r3);
            Store(i + j, i0), Store(i + m + j, i1), Store(i + 2 * m + j, i2), Store(i + 3 * m + j, i3);
        }
    }
}

// The stage of span m = n/2 (m >= 2): one group.
void LastStage(double* re, double* im, int m, const double* wre, const double* wim)
{
    for (int j = 0; j < m; j += 2) {
        Pair r0 = Load(re + j), r1 = Load(re + m + j), i0 = Load(im + j), i1 = Load(im + m + j);
        Butterfly(r0, i0, r1, i1, Load(wre + m + j), Load(wim + m + j));
        Store(re + j, r0), Store(re + m + j, r1), Store(im + j, i0), Store(im + m + j, i1);
    }
}

// Short transforms (fewer than two tiles' worth of index bits): plain bit reversal, then every
// stage one after the other.
void ShortTransform(double* re, double* im, int n, const double* wre, const double* wim)
{
    for (int i = 0, j = 0; i < n - 1; j = NextReversed(j, i, n), ++i) {
        if (j > i) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    for (int m = 1; m < n; m *= 2) {
        for (int g = 0; g < n; g += 2 * m) {
            for (int j = 0; j < m; ++j) Butterfly(re[g + j], im[g + j], re[g + j + m], im[g + j + m], wre[m + j], wim[m + j]);
        }
    }
}

// Unscaled forward transform of 2^exponent points.
void Transform(const FftPlan::Tables& tables, double* re, double* im, int exponent)
{
    const double* wre = tables.twiddleRe.get();
    const double* wim = tables.twiddleIm.get();
    const int n = 1 << exponent;
    if (exponent < kMinTiledExponent) {
        ShortTransform(re, im, n, wre, wim);
        return;
    }
    ReverseWithFirstStages(re, im, exponent, wre, wim);
    int m = kTile;
    for (; 4 * m <= n; m *= 4) TwoStages(re, im, n, m, wre, wim);
    if (m < n) LastStage(re, im, m, wre, wim);
}

// ---- Real transform -----------------------------------------------------------------------------

// Even samples into re, odd ones into im (n/2 of each); ascending order never overwrites a
// sample still to be read.
void Deinterleave(double* re, double* im, int half)
{
    int i = 0;
    for (; i + 2 <= half; i += 2) {
        const Pair a = Load(re + 2 * i), b = Load(re + 2 * i + 2);
        Store(re + i, __builtin_shuffle(a, b, PairMask{0, 2}));
        Store(im + i, __builtin_shuffle(a, b, PairMask{1, 3}));
    }
    for (; i < half; ++i) {
        re[i] = re[2 * i];
        im[i] = re[2 * i + 1];
    }
}

// One bin of the split step from the half-length transform's entries z[k] = (ar, ai) and
// z[m-k] = (br, bi), given as ar + br, ar - br, ai + bi, ai - bi, times `scale`. The same
// operations in the same order as (ar + br + cs (ai + bi) - sn (ar - br)) / 2 and
// ((ai - bi) - sn (ai + bi) - cs (ar - br)) / 2.
template <typename T>
inline void SplitBin(T sumR, T difR, T sumI, T difI, T cs, T sn, double scale, T& outRe, T& outIm)
{
    outRe = (sumR + cs * sumI - sn * difR) * scale;
    outIm = (difI - sn * sumI - cs * difR) * scale;
}

// Bins k, k+1 and their partners m-k, m-k-1 (all four distinct), two at a time.
inline void SplitFour(double* re, double* im, int k, int j, const double* c, const double* s, double scale)
{
    const Pair ar = Load(re + k), ai = Load(im + k), br = Swapped(Load(re + j - 1)), bi = Swapped(Load(im + j - 1));
    const Pair sumR = ar + br, sumI = ai + bi;
    Pair outRe, outIm;
    SplitBin(sumR, ar - br, sumI, ai - bi, Load(c + k), Load(s + k), scale, outRe, outIm);
    Store(re + k, outRe), Store(im + k, outIm);
    SplitBin(sumR, br - ar, sumI, bi - ai, Swapped(Load(c + j - 1)), Swapped(Load(s + j - 1)), scale, outRe, outIm);
    Store(re + j - 1, Swapped(outRe)), Store(im + j - 1, Swapped(outIm));
}

// Bin k with its partner j = m-k (k < j).
inline void SplitTwo(double* re, double* im, int k, int j, const double* c, const double* s, double scale)
{
    const double ar = re[k], ai = im[k], br = re[j], bi = im[j];
    const double sumR = ar + br, sumI = ai + bi;
    SplitBin(sumR, ar - br, sumI, ai - bi, c[k], s[k], scale, re[k], im[k]);
    SplitBin(sumR, br - ar, sumI, bi - ai, c[j], s[j], scale, re[j], im[j]);
}

// A bin that is its own partner (k = 0, whose partner z[m] is z[0], and k = m/2).
inline void SplitOne(double* re, double* im, int k, const double* c, const double* s, double scale)
{
    const double ar = re[k], ai = im[k];
    SplitBin(ar + ar, ar - ar, ai + ai, ai - ai, c[k], s[k], scale, re[k], im[k]);
}

// The split step in place: bins k and m-k read the same two entries, so they are computed
// together. The transform's 1/m and the two halvings are one multiply by 1/(4m): scaling by a
// power of two commutes with every rounding as long as no value falls into the subnormal range.
void Split(double* re, double* im, int m, const double* c, const double* s)
{
    const double scale = 1.0 / (4.0 * m);
    SplitOne(re, im, 0, c, s, scale);
    int k = 1;
    for (; k + 1 < m - k - 1; k += 2) SplitFour(re, im, k, m - k, c, s, scale);
    for (; k < m - k; ++k) SplitTwo(re, im, k, m - k, c, s, scale);
    if (m >= 2) SplitOne(re, im, m / 2, c, s, scale);
}

}  // namespace

FftPlan::FftPlan() = default;
FftPlan::~FftPlan() = default;
FftPlan::FftPlan(FftPlan&&) noexcept = default;
FftPlan& FftPlan::operator=(FftPlan&&) noexcept = default;

bool FftPlan::Build(int exponent)
{
    exponent_ = 0;
    tables_.reset();
    if (exponent < 1 || exponent > kMaxPlanExponent) return false;
    const int n = PowerOfTwo(exponent);
    std::unique_ptr<Tables> tables(new (std::nothrow) Tables);
    if (!tables) return false;
    tables->twiddleRe = NewTable(n);
    tables->twiddleIm = NewTable(n);
    tables->splitCos = NewTable(n / 2);
    tables->splitSin = NewTable(n / 2);
    if (!tables->twiddleRe || !tables->twiddleIm || !tables->splitCos || !tables->splitSin) return false;
    FillStageTwiddles(tables->twiddleRe.get(), tables->twiddleIm.get(), n / 2);
    FillSplit(tables->splitCos.get(), tables->splitSin.get(), n);
    tables_ = std::move(tables);
    exponent_ = exponent;
    return true;
}

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

void ComplexFft(const FftPlan& plan, double* re, double* im, int exponent)
{
    if (!plan.Ready() || exponent < 0 || exponent > plan.Exponent()) return;
    Transform(*plan.tables_, re, im, exponent);
    // Multiplying by 1/n gives the bits of dividing by n: both round the same exact value.
    const int n = PowerOfTwo(exponent);
    const double scale = 1.0 / n;
    for (int i = 0; i < n; ++i) {
        re[i] *= scale;
        im[i] *= scale;
    }
}

void RealFft(const FftPlan& plan, double* re, double* im)
{
    if (!plan.Ready()) return;
    const int m = PowerOfTwo(plan.Exponent()) / 2;
    Deinterleave(re, im, m);
    Transform(*plan.tables_, re, im, plan.Exponent() - 1);
    Split(re, im, m, plan.tables_->splitCos.get(), plan.tables_->splitSin.get());
}
