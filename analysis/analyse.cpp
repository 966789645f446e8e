// Block analysis: the plan that owns every buffer of the analysis, and the pure steps from one
// block of sample bytes to its BlockResult (peak of each channel, waveform or windowed-FFT
// display bytes, the strongest bin with its power and frequency). Nothing here draws.
#include "analysis/analysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace {

constexpr uint32_t kSegmentUnit8 = 8, kSegmentUnit16 = 2048;

// Frame size in bytes of each sample format code.
constexpr std::array<int32_t, 4> kFrameStride = {1, 2, 2, 4};

constexpr int kZeroLevel8 = 128;

// Waveform bytes at doubled scale.
constexpr int kDoubledLow8 = 64, kDoubledHigh8 = 192, kDoubledOffset8 = 127;
constexpr int kDoubledLimit16 = 16384, kDoubledDivisor16 = 128, kDoubledZero16 = 129;
constexpr int kStandardDivisor16 = 256, kStandardZero16 = 128;

// Spectrum bytes: 25 natural-log units of power ratio span the standard scale.
constexpr double kPowerFloor = 1e-30;
constexpr double kLogUnitsPerScale = 25.0;
constexpr double kStandardSpan = 255.0;
constexpr double kDoubledLow = -0.75, kDoubledHigh = -0.25, kDoubledSpan = 510.0;
constexpr double kDoubledShift = 0.25;     // moves the clamped range to end at 0

// Nominal rates of the rate codes that have a peak frequency.
struct NominalRate {
    int rateCode;
    double hz;
};
constexpr std::array<NominalRate, 3> kNominalRates = {{{44, 44100.0}, {22, 22050.0}, {11, 11025.0}}};

// Window coefficients of the rising half (see BuildWindowTable).
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kHanningConstant = 0.5, kHanningCosine = 0.5;
constexpr double kHammingConstant = 0.54, kHammingCosine = 0.46;
constexpr double kBlackmanConstant = 0.42, kBlackmanCosine = 0.5, kBlackmanCosine2 = 0.08;

template <typename T>
T* Allocate(size_t count)
{
    return static_cast<T*>(std::malloc(sizeof(T) * count));
}

int16_t Sample16At(const uint8_t* p)
{
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

uint32_t Magnitude(int value)
{
    return static_cast<uint32_t>(value < 0 ? -value : value);
}

int32_t SampleCount(int32_t byteCount, bool sixteenBit)
{
    return std::max(sixteenBit ? byteCount / 2 : byteCount, 0);
}

// Types 0..3 are tabled windows; the rectangle (and anything unknown) leaves samples as they are.
bool WindowApplies(int type)
{
    return type >= kWindowHanning && type <= kWindowTriangle;
}

bool IsSpectrumView(ViewMode view)
{
    return view >= kViewLevelMeter && view <= kViewChart;
}

// Multiplies samples 0 .. 2m-1 by the window, rising over the first m and falling over the next.
void ApplyWindow(double* re, int m, int type, AnalysisPlan& plan)
{
    if (!WindowApplies(type)) return;
    double* table = plan.WindowTable();
    WindowKey& key = plan.Key();
    if (key.halfLength != m || key.type != type) {
        BuildWindowTable(type, m, table);
        key = {m, type};
    }
    for (int i = 0; i < m; ++i) {
        re[i] *= table[i];
        re[2 * m - 1 - i] *= table[i];
    }
}

void AnalyseWaveform(const uint8_t* block, int32_t byteCount, bool sixteenBit, const Settings& settings,
                     AnalysisPlan& plan, BlockResult& result)
{
    if (!plan.Bytes()) return;
    result.count = WaveformBytes(block, byteCount, sixteenBit, settings.amplitudeScale, plan.Bytes(),
                                 kWaveformMaxBytes);
    result.bytes = plan.Bytes();
    result.hasView = true;
}

void AnalyseSpectrum(const uint8_t* block, int32_t byteCount, const SourceFormat& format,
                     const Settings& settings, AnalysisPlan& plan, BlockResult& result)
{
    const int exponent = ClampFftExponent(settings.fftExponent);
    if (!IsSpectrumView(settings.view) || plan.Exponent() != exponent) return;
    const bool sixteenBit = format.SixteenBit();
    const int n = PowerOfTwo(exponent);
    const SpectrumPeak peak = ComputeSpectrum(block, byteCount, sixteenBit, settings.windowType, plan);
    PeakFrequencyFor(peak.bin, n, format.RateCode(), &result.peakFrequency);
    SpectrumBytes(plan.Re(), plan.Im(), n, sixteenBit, settings.slopeReference, settings.amplitudeScale,
                  plan.Bytes());
    result.hasView = true;
    result.bytes = plan.Bytes();
    result.count = n / 2;
    result.hasPeak = true;
    result.peakBin = peak.bin;
    result.peakPower = peak.power;
}

} // namespace

// ---- The plan --------------------------------------------------------------------------------

void AnalysisPlan::FreeDeleter::operator()(void* p) const
{
    std::free(p);
}

AnalysisPlan::AnalysisPlan() = default;
AnalysisPlan::~AnalysisPlan() = default;

bool AnalysisPlan::Prepare(int fftExponent)
{
    const int exponent = ClampFftExponent(fftExponent);
    const int n = PowerOfTwo(exponent);
    if (!windowTable_) {
        windowTable_.reset(Allocate<double>(kWindowTableSize));
        key_ = {0, kWindowRectangle};
    }
    if (n > capacity_) {
        // The loaded samples fill all n entries of re; the transform's results take n/2 + 1.
        re_.reset(Allocate<double>(n));
        im_.reset(Allocate<double>(n / 2 + 1));
        bytes_.reset(Allocate<uint8_t>(std::max(n / 2, kWaveformMaxBytes)));
        capacity_ = n;
    }
    const bool allocated = windowTable_ && re_ && im_ && bytes_;
    if (allocated && (fft_.Exponent() == exponent || fft_.Build(exponent))) return true;
    re_.reset();
    im_.reset();
    bytes_.reset();
    windowTable_.reset();
    capacity_ = 0;
    fft_ = FftPlan();
    return false;
}

// ---- Pure steps ------------------------------------------------------------------------------

bool ScanBlockPeaks(const uint8_t* block, int32_t byteCount, int sampleFormat, uint32_t peaks[2])
{
    peaks[0] = peaks[1] = 0;
    if (sampleFormat < kMono8 || sampleFormat > kStereo16) return false;
    const int32_t stride = kFrameStride[sampleFormat];
    const bool sixteenBit = (sampleFormat & kSampleFormat16BitFlag) != 0;
    const bool stereo = (sampleFormat & kSampleFormatStereoFlag) != 0;
    const int32_t channelBytes = sixteenBit ? 2 : 1;
    // Whole frames only: a trailing partial frame is never read.
    for (int32_t offset = 0; byteCount - offset >= stride; offset += stride) {
        for (int channel = 0; channel < (stereo ? 2 : 1); ++channel) {
            const uint8_t* p = block + offset + channel * channelBytes;
            const uint32_t magnitude = Magnitude(sixteenBit ? Sample16At(p) : p[0] - kZeroLevel8);
            if (magnitude > peaks[channel]) peaks[channel] = magnitude;
        }
    }
    return true;
}

uint8_t WaveformByte8(uint8_t b, int amplitudeScale)
{
    if (amplitudeScale != kScaleDoubled) return b;
    if (b <= kDoubledLow8) return 0;
    if (b >= kDoubledHigh8) return 255;
    return static_cast<uint8_t>(2 * b - kDoubledOffset8);
}

uint8_t WaveformByte16(int v, int amplitudeScale)
{
    if (amplitudeScale != kScaleDoubled) return static_cast<uint8_t>(v / kStandardDivisor16 + kStandardZero16);
    if (v <= -kDoubledLimit16) return 0;
    if (v >= kDoubledLimit16) return 255;
    return static_cast<uint8_t>(std::min(v / kDoubledDivisor16 + kDoubledZero16, 255));
}

int32_t WaveformBytes(const uint8_t* block, int32_t byteCount, bool sixteenBit, int amplitudeScale,
                      uint8_t* bytes, int32_t capacity)
{
    const int32_t samples = SampleCount(byteCount, sixteenBit);
    const int32_t count = std::min({samples, capacity, static_cast<int32_t>(kWaveformMaxBytes)});
    for (int32_t i = 0; i < count; ++i) {
        bytes[i] = sixteenBit ? WaveformByte16(Sample16At(block + 2 * i), amplitudeScale)
                              : WaveformByte8(block[i], amplitudeScale);
    }
    return count;
}

int HalfWindowLength(int32_t samples, int n)
{
    return samples >= n ? n / 2 : std::max(samples, 0) / 2;
}

void BuildWindowTable(int type, int m, double* table)
{
    if (!WindowApplies(type)) return;
    // Never write past the table, whatever the caller passes.
    const int count = std::min(m, kWindowTableSize);
    for (int i = 0; i < count; ++i) {
        const double angle = i * kPi / m;
        double w = 0.0;
        switch (type) {
        case kWindowHanning: w = kHanningConstant - kHanningCosine * std::cos(angle); break;
        case kWindowHamming: w = kHammingConstant - kHammingCosine * std::cos(angle); break;
        case kWindowBlackman:
            w = kBlackmanConstant - kBlackmanCosine * std::cos(angle) + kBlackmanCosine2 * std::cos(i * kTwoPi / m);
            break;
        default: w = static_cast<double>(i) / m; break;   // triangle
        }
        table[i] = w;
    }
}

SpectrumPeak FindPeak(const double* re, const double* im, int bins)
{
    SpectrumPeak peak = {0, 0.0};
    for (int k = 0; k < bins; ++k) {
        const double power = re[k] * re[k] + im[k] * im[k];
        if (power > peak.power) peak = {k, power};
    }
    return peak;
}

SpectrumPeak ComputeSpectrum(const uint8_t* block, int32_t byteCount, bool sixteenBit, int windowType,
                             AnalysisPlan& plan)
{
    const int n = PowerOfTwo(plan.Exponent());
    const int32_t samples = SampleCount(byteCount, sixteenBit);
    const int loaded = std::min(samples, n);
    double* re = plan.Re();
    // The transform reads real samples from re only; im receives its results.
    for (int i = 0; i < loaded; ++i) re[i] = sixteenBit ? Sample16At(block + 2 * i) : block[i] - kZeroLevel8;
    std::fill(re + loaded, re + n, 0.0);
    ApplyWindow(re, HalfWindowLength(samples, n), windowType, plan);
    RealFft(plan.Fft(), re, plan.Im());
    return FindPeak(re, plan.Im(), n / 2);
}

uint8_t SpectrumByte(double power, int k, int n, bool sixteenBit, int slopeReference, int amplitudeScale)
{
    double r = power / (sixteenBit ? kReferencePower16 : kReferencePower8);
    if (slopeReference == kSlopePink) {
        r *= k;
        r /= n;
        r *= 2.0;
    }
    double t = r > kPowerFloor ? std::log(r) / kLogUnitsPerScale : -1.0;
    if (amplitudeScale == kScaleDoubled) {
        t = std::min(std::max(t, kDoubledLow), kDoubledHigh) + kDoubledShift;
        return static_cast<uint8_t>(-t * kDoubledSpan);
    }
    t = std::min(std::max(t, -1.0), 0.0);
    return static_cast<uint8_t>(-t * kStandardSpan);
}

void SpectrumBytes(const double* re, const double* im, int n, bool sixteenBit, int slopeReference,
                   int amplitudeScale, uint8_t* bytes)
{
    for (int k = 0; k < n / 2; ++k) {
        const double power = re[k] * re[k] + im[k] * im[k];
        bytes[k] = SpectrumByte(power, k, n, sixteenBit, slopeReference, amplitudeScale);
    }
}

bool PeakFrequencyFor(int p, int n, int rateCode, double* hz)
{
    for (const NominalRate& rate : kNominalRates) {
        if (rate.rateCode == rateCode) {
            *hz = p * rate.hz / n;
            return true;
        }
    }
    return false;
}

// ---- One block -------------------------------------------------------------------------------

BlockResult AnalyseBlock(const uint8_t* block, int32_t byteCount, const SourceFormat& format,
                         const Settings& settings, AnalysisPlan& plan, double previousPeakFrequency)
{
    BlockResult result;
    result.peakFrequency = previousPeakFrequency;
    // A source whose channel/bit pair is none of the four formats (code -1) is played, not shown.
    const int code = format.Code();
    if (!ScanBlockPeaks(block, block ? byteCount : 0, code, result.peaks)) return result;
    result.analysed = true;
    const bool sixteenBit = (code & kSampleFormat16BitFlag) != 0;
    result.segmentUnit = sixteenBit ? kSegmentUnit16 : kSegmentUnit8;
    result.barCount = (code & kSampleFormatStereoFlag) ? 2 : 1;
    result.view = settings.view;
    // Stereo blocks show their bars only; a non-positive count (or no block) has no view.
    if (result.barCount == 2 || byteCount <= 0 || !block) return result;
    if (settings.view == kViewWaveform) AnalyseWaveform(block, byteCount, sixteenBit, settings, plan, result);
    else AnalyseSpectrum(block, byteCount, format, settings, plan, result);
    return result;
}
