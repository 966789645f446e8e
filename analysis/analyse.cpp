// Block analysis: the plan that owns every buffer of the analysis, the readers that bring every
// sample format onto one scale, and the pure steps from one block of sample bytes to its
// BlockResult (peak of the first two channels, waveform or windowed-FFT display bytes of the
// frames' channel means, the strongest bin with its power and frequency). Nothing here draws.
#include "analysis/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kSegmentUnit8 = 8, kSegmentUnit16 = 2048;

constexpr int kZeroLevel8 = 128;

// Integer samples of 16 bits and more are read into the top bits of a 32-bit value, so one
// factor brings each of them onto the 16-bit scale (24-bit / 256, 32-bit / 65536); a power of
// two, so multiplying by its inverse is exact.
constexpr double kTopAlignedScale = 1.0 / 65536.0;
constexpr double kFloatFullScale = 32768.0;
constexpr double kBarLow = -32768.0, kBarHigh = 32767.0;   // the level bars' 16-bit range
constexpr int kContainerBits = 32, kContainerBytes = kContainerBits / kBitsPerByte;

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
constexpr double kDecibelFloorRatio = 1e-30;    // the views' floor of the power ratio
constexpr double kDecibelFloor = -300.0;
constexpr double kDecibelsPerDecade = 10.0;
constexpr int kEightBitToSixteen = 256;

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

// ---- Sample readers: each gives one sample on the analysis scale ----------------------------

// `mask` keeps the valid bits of an integer sample (in the reader's alignment); floats ignore it.
struct Unsigned8 {
    static double At(const uint8_t* p, uint32_t mask) { return int(p[0] & mask) - kZeroLevel8; }
};
template <int Bytes>
struct SignedInteger {
    static double At(const uint8_t* p, uint32_t mask)
    {
        uint32_t top = 0;
        for (int i = 0; i < Bytes; ++i) top |= uint32_t(p[i]) << (kBitsPerByte * (kContainerBytes - Bytes + i));
        return static_cast<int32_t>(top & mask) * kTopAlignedScale;
    }
};
template <typename Float>
struct FloatingPoint {
    static double At(const uint8_t* p, uint32_t)
    {
        Float value;
        std::memcpy(&value, p, sizeof value);
        return value * kFloatFullScale;
    }
};

// How the frames of a block are read.
struct FrameLayout {
    SampleEncoding encoding;
    int channels;
    int32_t sampleBytes;
    int32_t frameBytes;
    uint32_t mask;
};

FrameLayout FrameLayoutOf(const SourceFormat& format)
{
    const SampleEncoding encoding = format.Encoding();
    const int bits = format.bitsPerSample;
    const int valid = format.validBits ? format.validBits : bits;
    // 8-bit samples are masked in place, wider integers in the top bits where they are read.
    const uint32_t mask = encoding == SampleEncoding::kUnsigned8 ? (0xFFu << (bits - valid)) & 0xFFu
                        : valid >= kContainerBits ? ~0u : ~0u << (kContainerBits - valid);
    const int32_t sampleBytes = format.SampleBytes();
    return {encoding, format.channels, sampleBytes, sampleBytes * format.channels, mask};
}

// Calls `visit` with the reader of the layout's encoding; false when the analysis reads none.
template <typename Visit>
bool WithReader(SampleEncoding encoding, Visit&& visit)
{
    switch (encoding) {
    case SampleEncoding::kUnsigned8: visit(Unsigned8{}); return true;
    case SampleEncoding::kSigned16: visit(SignedInteger<2>{}); return true;
    case SampleEncoding::kSigned24: visit(SignedInteger<3>{}); return true;
    case SampleEncoding::kSigned32: visit(SignedInteger<4>{}); return true;
    case SampleEncoding::kFloat32: visit(FloatingPoint<float>{}); return true;
    case SampleEncoding::kFloat64: visit(FloatingPoint<double>{}); return true;
    default: return false;
    }
}

// The mean of a frame's channels (a mono frame's one sample as it is).
template <typename Reader>
double FrameMean(const uint8_t* frame, const FrameLayout& layout)
{
    if (layout.channels == 1) return Reader::At(frame, layout.mask);
    double sum = 0.0;
    for (int c = 0; c < layout.channels; ++c) sum += Reader::At(frame + c * layout.sampleBytes, layout.mask);
    return sum / layout.channels;
}

}  // namespace

bool ReadFullScaleFrames(const uint8_t* block, size_t frames, const SourceFormat& format, double* samples)
{
    const FrameLayout layout = FrameLayoutOf(format);
    const double toFullScale = 1.0 / (layout.encoding == SampleEncoding::kUnsigned8 ? kZeroLevel8 : kFloatFullScale);
    return WithReader(layout.encoding, [&](auto reader) {
        using Reader = decltype(reader);
        const size_t count = frames * size_t(layout.channels);
        for (size_t i = 0; i < count; ++i) samples[i] = Reader::At(block + i * layout.sampleBytes, layout.mask) * toFullScale;
    });
}

namespace {

// A value on the 16-bit scale, clipped to its range and truncated toward zero.
int SixteenBitValue(double value)
{
    return static_cast<int>(std::min(std::max(value, kBarLow), kBarHigh));
}

uint32_t Magnitude(int value)
{
    return static_cast<uint32_t>(value < 0 ? -value : value);
}

int32_t FrameCount(int32_t byteCount, const FrameLayout& layout)
{
    return layout.frameBytes > 0 ? std::max(byteCount / layout.frameBytes, 0) : 0;
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

void AnalyseWaveform(const uint8_t* block, int32_t byteCount, const SourceFormat& format, const Settings& settings,
                     AnalysisPlan& plan, BlockResult& result)
{
    if (!plan.Bytes()) return;
    result.count = WaveformBytes(block, byteCount, format, settings.amplitudeScale, plan.Bytes(),
                                 kWaveformMaxBytes);
    result.bytes = plan.Bytes();
    result.hasView = true;
}

void AnalyseSpectrum(const uint8_t* block, int32_t byteCount, const SourceFormat& format,
                     const Settings& settings, AnalysisPlan& plan, BlockResult& result)
{
    const int exponent = ClampFftExponent(settings.fftExponent);
    if (!IsSpectrumView(settings.view) || plan.Exponent() != exponent) return;
    const bool sixteenBit = format.Encoding() != SampleEncoding::kUnsigned8;
    const int n = PowerOfTwo(exponent);
    const SpectrumPeak peak = ComputeSpectrum(block, byteCount, format, settings.windowType, plan);
    PeakFrequencyFor(peak.bin, n, format.samplesPerSec, &result.peakFrequency);
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

bool ScanBlockPeaks(const uint8_t* block, int32_t byteCount, const SourceFormat& format, uint32_t peaks[2])
{
    peaks[0] = peaks[1] = 0;
    const FrameLayout layout = FrameLayoutOf(format);
    const int bars = layout.channels >= 2 ? 2 : 1;
    // Whole frames only: a trailing partial frame is never read.
    const int32_t frames = FrameCount(byteCount, layout);
    return WithReader(layout.encoding, [&](auto reader) {
        for (int32_t i = 0; i < frames; ++i) {
            const uint8_t* frame = block + i * layout.frameBytes;
            for (int c = 0; c < bars; ++c) {
                const double value = decltype(reader)::At(frame + c * layout.sampleBytes, layout.mask);
                peaks[c] = std::max(peaks[c], Magnitude(SixteenBitValue(value)));
            }
        }
    });
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

int32_t WaveformBytes(const uint8_t* block, int32_t byteCount, const SourceFormat& format, int amplitudeScale,
                      uint8_t* bytes, int32_t capacity)
{
    const FrameLayout layout = FrameLayoutOf(format);
    const bool eightBit = layout.encoding == SampleEncoding::kUnsigned8;
    const int32_t count = std::min({FrameCount(byteCount, layout), capacity, static_cast<int32_t>(kWaveformMaxBytes)});
    const bool read = WithReader(layout.encoding, [&](auto reader) {
        for (int32_t i = 0; i < count; ++i) {
            const int value = SixteenBitValue(FrameMean<decltype(reader)>(block + i * layout.frameBytes, layout));
            bytes[i] = eightBit ? WaveformByte8(static_cast<uint8_t>(value + kZeroLevel8), amplitudeScale)
                                : WaveformByte16(value, amplitudeScale);
        }
    });
    return read ? count : 0;
}

int32_t WaveformValues(const uint8_t* block, int32_t byteCount, const SourceFormat& format, int16_t* values,
                       int32_t capacity)
{
    const FrameLayout layout = FrameLayoutOf(format);
    const int scale = layout.encoding == SampleEncoding::kUnsigned8 ? kEightBitToSixteen : 1;
    const int32_t count = std::min({FrameCount(byteCount, layout), capacity, static_cast<int32_t>(kWaveformMaxBytes)});
    const bool read = WithReader(layout.encoding, [&](auto reader) {
        for (int32_t i = 0; i < count; ++i) {
            const int value = SixteenBitValue(FrameMean<decltype(reader)>(block + i * layout.frameBytes, layout));
            values[i] = static_cast<int16_t>(value * scale);
        }
    });
    return read ? count : 0;
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

SpectrumPeak ComputeSpectrum(const uint8_t* block, int32_t byteCount, const SourceFormat& format, int windowType,
                             AnalysisPlan& plan)
{
    const int n = PowerOfTwo(plan.Exponent());
    const FrameLayout layout = FrameLayoutOf(format);
    const int32_t samples = FrameCount(byteCount, layout);
    int loaded = std::min(samples, n);
    double* re = plan.Re();
    // The transform reads real samples from re only; im receives its results.
    const bool read = WithReader(layout.encoding, [&](auto reader) {
        for (int i = 0; i < loaded; ++i) re[i] = FrameMean<decltype(reader)>(block + i * layout.frameBytes, layout);
    });
    if (!read) loaded = 0;
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

double BinDecibels(double power, int k, int n, bool sixteenBitScale, int slopeReference)
{
    // The same weighting, in the same order, as the display bytes of the spectrum views.
    double r = power / (sixteenBitScale ? kReferencePower16 : kReferencePower8);
    if (slopeReference == kSlopePink) {
        r *= k;
        r /= n;
        r *= 2.0;
    }
    return r > kDecibelFloorRatio ? kDecibelsPerDecade * std::log10(r) : kDecibelFloor;
}

void SpectrumBytes(const double* re, const double* im, int n, bool sixteenBit, int slopeReference,
                   int amplitudeScale, uint8_t* bytes)
{
    for (int k = 0; k < n / 2; ++k) {
        const double power = re[k] * re[k] + im[k] * im[k];
        bytes[k] = SpectrumByte(power, k, n, sixteenBit, slopeReference, amplitudeScale);
    }
}

bool PeakFrequencyFor(int p, int n, uint32_t samplesPerSec, double* hz)
{
    if (samplesPerSec == 0) return false;
    *hz = p * static_cast<double>(samplesPerSec) / n;
    return true;
}

// ---- One block -------------------------------------------------------------------------------

BlockResult AnalyseBlock(const uint8_t* block, int32_t byteCount, const SourceFormat& format,
                         const Settings& settings, AnalysisPlan& plan, double previousPeakFrequency)
{
    BlockResult result;
    result.peakFrequency = previousPeakFrequency;
    // A source whose samples the analysis does not read is played, not shown.
    if (!ScanBlockPeaks(block, block ? byteCount : 0, format, result.peaks)) return result;
    result.analysed = true;
    result.segmentUnit = format.Encoding() == SampleEncoding::kUnsigned8 ? kSegmentUnit8 : kSegmentUnit16;
    result.barCount = format.TwoBars() ? 2 : 1;
    result.view = settings.view;
    // A non-positive count (or no block) has no view.
    if (byteCount <= 0 || !block) return result;
    if (settings.view == kViewWaveform) AnalyseWaveform(block, byteCount, format, settings, plan, result);
    else AnalyseSpectrum(block, byteCount, format, settings, plan, result);
    return result;
}
