// Numerical core: the radix-2 complex FFT and the real-input FFT built on one complex transform
// of half length. An FftPlan holds everything that depends only on the length (twiddles, the
// split step's cosines and sines); it is built once when a run starts and reused for every block.
#pragma once

#include <cstddef>
#include <memory>

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 2.0 * kPi;          // exact: doubling only moves the exponent

constexpr int kMinFftExponent = 8;
constexpr int kMaxFftExponent = 16;

// 2^n for n >= 1, 1 for every n <= 0.
int PowerOfTwo(int n);

// Brings an FFT size exponent into kMinFftExponent .. kMaxFftExponent.
int ClampFftExponent(int exponent);

// Tables for one transform length. Not copyable; moving hands the tables over.
class FftPlan {
public:
    FftPlan();
    ~FftPlan();
    FftPlan(FftPlan&&) noexcept;
    FftPlan& operator=(FftPlan&&) noexcept;
    FftPlan(const FftPlan&) = delete;
    FftPlan& operator=(const FftPlan&) = delete;

    // Tables for 2^exponent real samples (1 <= exponent <= kMaxFftExponent + 1); false when
    // memory runs out, leaving the plan empty.
    [[nodiscard]] bool Build(int exponent);
    int Exponent() const { return exponent_; }
    bool Ready() const { return exponent_ > 0; }

    struct Tables;
private:
    int exponent_ = 0;
    std::unique_ptr<Tables> tables_;
    friend void RealFft(const FftPlan& plan, double* re, double* im);
    friend void ComplexFft(const FftPlan& plan, double* re, double* im, int exponent);
};

// In-place forward complex transform of length n = 2^exponent, scaled by 1/n (0 <= exponent <=
// the plan's exponent; otherwise nothing is done). Allocates nothing.
void ComplexFft(const FftPlan& plan, double* re, double* im, int exponent);

// Transform of 2^plan.Exponent() real samples in re; on return re[k], im[k] (k < N/2) hold
// X[k]/N. Both arrays need at least N/2 + 1 entries. Allocates nothing; does nothing with a plan
// that is not ready.
void RealFft(const FftPlan& plan, double* re, double* im);
