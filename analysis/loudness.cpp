// The loudness meter: K-weighting filters derived for the rate, the 100 ms step energies, the
// gates of the integrated loudness and the loudness range, and the polyphase true-peak filter.
#include "analysis/loudness.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "analysis/analysis.h"

namespace {


// The analogue prototypes of the two K-weighting stages: a high shelf of about +4 dB above
// 1.5 kHz and a second-order high-pass near 38 Hz (the shelf's two gains set its shape).
constexpr double kShelfFrequency = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kShelfMidGainExponent = 0.4996667741545416;
constexpr double kHighPassFrequency = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;

// Loudness of a mean square: the K-weighting's 1 kHz gain is taken back by the offset.
constexpr double kLoudnessOffset = -0.691;
constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kIntegratedRelativeGateLu = -10.0;
constexpr double kRangeRelativeGateLu = -20.0;
constexpr double kRangeLowPercentile = 0.10, kRangeHighPercentile = 0.95;
// The range's short-term values are counted in a histogram of 0.01 LU bins from the absolute gate up.
constexpr double kRangeBinLu = 0.01;
constexpr double kRangeTopLufs = 30.0;
constexpr int kRangeBins = int((kRangeTopLufs - kAbsoluteGateLufs) / kRangeBinLu);

constexpr double kFrontWeight = 1.0, kSurroundWeight = 1.41, kLowFrequencyWeight = 0.0;
constexpr uint32_t kSpeakerLowFrequency = 0x8;
constexpr uint32_t kSpeakerSurrounds = 0x10 | 0x20 | 0x100 | 0x200 | 0x400;   // back and side
constexpr int kSpeakerBits = 18;

// The true-peak interpolator: a windowed sinc cut off at the input's half rate (Kaiser window),
// centred on a whole input sample so that phase 0 gives the samples themselves.
constexpr double kTruePeakKaiserBeta = 5.0;
constexpr int kTruePeakLength = kTruePeakOversampling * kTruePeakTapsPerPhase;
constexpr int kTruePeakCentre = kTruePeakLength / 2;

constexpr size_t kScratchFrames = 4096;
constexpr size_t kFirstStepCapacity = 4096;
constexpr double kDenormalLimit = 1e-25;   // filter states below this are set to zero

double LoudnessOf(double energy)
{
    return energy > 0.0 ? kLoudnessOffset + 10.0 * std::log10(energy) : -std::numeric_limits<double>::infinity();
}

double EnergyOf(double lufs)
{
    return std::pow(10.0, (lufs - kLoudnessOffset) / 10.0);
}

double DecibelsOf(double magnitude)
{
    return magnitude > 0.0 ? 20.0 * std::log10(magnitude) : -std::numeric_limits<double>::infinity();
}

// The zeroth-order modified Bessel function of the first kind, by its series.
double BesselI0(double x)
{
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 50 && term > sum * 1e-17; ++k) {
        const double half = x / (2.0 * k);
        term *= half * half;
        sum += term;
    }
    return sum;
}

double Sinc(double x)
{
    return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
}

// The interpolator's coefficient at oversampled position `k` of the prototype.
double TruePeakTap(int k)
{
    const int offset = k - kTruePeakCentre;
    if (std::abs(offset) >= kTruePeakCentre) return 0.0;
    const double ratio = double(offset) / kTruePeakCentre;
    const double window = BesselI0(kTruePeakKaiserBeta * std::sqrt(1.0 - ratio * ratio)) / BesselI0(kTruePeakKaiserBeta);
    return Sinc(double(offset) / kTruePeakOversampling) * window;
}

// The mean of the mean squares of the window of `steps` steps ending at `last` (steps before the
// first read as silence).
double MeanOf(const double* energies, size_t last, int steps)
{
    const size_t first = last + 1 >= size_t(steps) ? last + 1 - steps : 0;
    double sum = 0.0;
    for (size_t i = first; i <= last; ++i) sum += energies[i];
    return sum / steps;
}

// The mean energy of the windows whose energy lies above `gateEnergy`, and how many there are.
struct GatedMean {
    double energy;
    size_t count;
};
template <typename WindowEnergy>
GatedMean MeanAbove(size_t first, size_t end, double gateEnergy, WindowEnergy&& window)
{
    GatedMean mean = {0.0, 0};
    for (size_t i = first; i < end; ++i) {
        const double e = window(i);
        if (e <= gateEnergy) continue;
        mean.energy += e;
        ++mean.count;
    }
    if (mean.count) mean.energy /= double(mean.count);
    return mean;
}
}  // namespace

KWeighting KWeightingFor(uint32_t rate)
{
    KWeighting k = {};
    const double shelfK = std::tan(kPi * kShelfFrequency / rate);
    const double highGain = std::pow(10.0, kShelfGainDb / 20.0);
    const double midGain = std::pow(highGain, kShelfMidGainExponent);
    const double shelfNorm = 1.0 + shelfK / kShelfQ + shelfK * shelfK;
    k.shelf.b0 = (highGain + midGain * shelfK / kShelfQ + shelfK * shelfK) / shelfNorm;
    k.shelf.b1 = 2.0 * (shelfK * shelfK - highGain) / shelfNorm;
    k.shelf.b2 = (highGain - midGain * shelfK / kShelfQ + shelfK * shelfK) / shelfNorm;
    k.shelf.a1 = 2.0 * (shelfK * shelfK - 1.0) / shelfNorm;
    k.shelf.a2 = (1.0 - shelfK / kShelfQ + shelfK * shelfK) / shelfNorm;
    const double highK = std::tan(kPi * kHighPassFrequency / rate);
    const double highNorm = 1.0 + highK / kHighPassQ + highK * highK;
    k.highPass.b0 = 1.0;
    k.highPass.b1 = -2.0;
    k.highPass.b2 = 1.0;
    k.highPass.a1 = 2.0 * (highK * highK - 1.0) / highNorm;
    k.highPass.a2 = (1.0 - highK / kHighPassQ + highK * highK) / highNorm;
    return k;
}

void ChannelWeights(uint32_t channelMask, int channels, double weights[kMaxAnalysedChannels])
{
    if (channelMask == 0) channelMask = UsualChannelMask(channels);
    int channel = 0;
    for (int bit = 0; bit < kSpeakerBits && channel < channels && channel < kMaxAnalysedChannels; ++bit) {
        const uint32_t speaker = 1u << bit;
        if (!(channelMask & speaker)) continue;
        weights[channel++] = speaker == kSpeakerLowFrequency ? kLowFrequencyWeight
                           : (speaker & kSpeakerSurrounds) ? kSurroundWeight : kFrontWeight;
    }
    for (; channel < kMaxAnalysedChannels; ++channel) weights[channel] = kFrontWeight;
}

void LoudnessMeter::FreeDeleter::operator()(void* p) const
{
    std::free(p);
}

LoudnessSetup LoudnessMeter::Prepare(uint32_t rate, int channels, uint32_t channelMask)
{
    if (channels < 1 || channels > kMaxAnalysedChannels || rate < kMinLoudnessRate || rate > kMaxLoudnessRate)
        return LoudnessSetup::kUnsupportedFormat;
    rate_ = rate;
    channels_ = channels;
    filter_ = KWeightingFor(rate);
    ChannelWeights(channelMask, channels, weights_);
    std::memset(state_, 0, sizeof state_);
    std::memset(shelfOut_, 0, sizeof shelfOut_);
    std::memset(stepSums_, 0, sizeof stepSums_);
    std::memset(history_, 0, sizeof history_);
    std::memset(truePeak_, 0, sizeof truePeak_);
    std::memset(samplePeak_, 0, sizeof samplePeak_);
    historyPos_ = 0;
    stepFrames_ = (rate + 5) / 10;
    framesInStep_ = 0;
    stepCount_ = 0;
    outOfMemory_ = false;
    for (int m = 0; m < kTruePeakTapsPerPhase; ++m) {
        for (int p = 0; p < kTruePeakOversampling; ++p)
            phases_[m][p] = float(TruePeakTap(kTruePeakOversampling * (kTruePeakTapsPerPhase - 1 - m) + p));
    }
    if (!scratch_) scratch_.reset(static_cast<double*>(std::malloc(sizeof(double) * kScratchFrames * kMaxAnalysedChannels)));
    if (!steps_) {
        steps_.reset(static_cast<double*>(std::malloc(sizeof(double) * kFirstStepCapacity)));
        stepCapacity_ = steps_ ? kFirstStepCapacity : 0;
    }
    return scratch_ && steps_ ? LoudnessSetup::kOk : LoudnessSetup::kNoMemory;
}

LoudnessSetup LoudnessMeter::Prepare(const SourceFormat& format, uint32_t channelMask)
{
    if (format.Encoding() == SampleEncoding::kNotAnalysed) return LoudnessSetup::kUnsupportedFormat;
    format_ = format;
    return Prepare(format.samplesPerSec, format.channels, channelMask);
}

void LoudnessMeter::AddBytes(const uint8_t* block, size_t byteCount)
{
    const size_t frameBytes = size_t(format_.SampleBytes()) * format_.channels;
    if (!scratch_ || frameBytes == 0 || format_.channels != channels_) return;
    size_t frames = byteCount / frameBytes;
    while (frames > 0) {
        const size_t chunk = std::min(frames, kScratchFrames);
        if (!ReadFullScaleFrames(block, chunk, format_, scratch_.get())) return;
        AddFrames(scratch_.get(), chunk);
        block += chunk * frameBytes;
        frames -= chunk;
    }
}

void LoudnessMeter::AddFrames(const double* interleaved, size_t frames)
{
    if (channels_ == 0) return;
    while (frames > 0) {
        const size_t chunk = std::min<size_t>(frames, stepFrames_ - framesInStep_);
        for (int c = 0; c < channels_; ++c) FilterChannel(c, interleaved, chunk);
        historyPos_ = int((historyPos_ + chunk) % kTruePeakTapsPerPhase);
        framesInStep_ += uint32_t(chunk);
        if (framesInStep_ == stepFrames_) EndStep();
        interleaved += chunk * channels_;
        frames -= chunk;
    }
}

// Runs one channel of `frames` frames through the K-weighting (adding its squares to the step)
// and the true-peak interpolator.
void LoudnessMeter::FilterChannel(int channel, const double* interleaved, size_t frames)
{
    const Biquad s = filter_.shelf, h = filter_.highPass;
    double* st = state_[channel];
    double x1 = st[0], x2 = st[1], y1 = st[2], y2 = st[3];
    double z1 = shelfOut_[channel][0], z2 = shelfOut_[channel][1];
    double sum = 0.0, peak = samplePeak_[channel];
    float* history = history_[channel];
    int pos = historyPos_;
    __m128 peakVector = _mm_set1_ps(truePeak_[channel]);
    const __m128 magnitudeMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    for (size_t i = 0; i < frames; ++i) {
        const double x = interleaved[i * channels_ + channel];
        const double z = s.b0 * x + s.b1 * x1 + s.b2 * x2 - s.a1 * z1 - s.a2 * z2;
        const double y = h.b0 * z + h.b1 * z1 + h.b2 * z2 - h.a1 * y1 - h.a2 * y2;
        x2 = x1; x1 = x; z2 = z1; z1 = z; y2 = y1; y1 = y;
        sum += y * y;
        peak = std::max(peak, std::fabs(x));
        pos = pos + 1 == kTruePeakTapsPerPhase ? 0 : pos + 1;
        history[pos] = history[pos + kTruePeakTapsPerPhase] = float(x);
        const float* window = history + pos + 1;   // oldest first
        __m128 out = _mm_setzero_ps();
        for (int m = 0; m < kTruePeakTapsPerPhase; ++m)
            out = _mm_add_ps(out, _mm_mul_ps(_mm_set1_ps(window[m]), _mm_loadu_ps(phases_[m])));
        peakVector = _mm_max_ps(peakVector, _mm_and_ps(out, magnitudeMask));
    }
    float lanes[kTruePeakOversampling];
    _mm_storeu_ps(lanes, peakVector);
    truePeak_[channel] = *std::max_element(lanes, lanes + kTruePeakOversampling);
    samplePeak_[channel] = peak;
    const auto flush = [](double v) { return std::fabs(v) < kDenormalLimit ? 0.0 : v; };
    st[0] = flush(x1); st[1] = flush(x2); st[2] = flush(y1); st[3] = flush(y2);
    shelfOut_[channel][0] = flush(z1);
    shelfOut_[channel][1] = flush(z2);
    stepSums_[channel] += sum;
}

void LoudnessMeter::EndStep()
{
    double energy = 0.0;
    for (int c = 0; c < channels_; ++c) {
        energy += weights_[c] * stepSums_[c] / stepFrames_;
        stepSums_[c] = 0.0;
    }
    framesInStep_ = 0;
    if (outOfMemory_) return;
    if (stepCount_ == stepCapacity_) {
        const size_t capacity = stepCapacity_ * 2;
        void* grown = std::realloc(steps_.get(), sizeof(double) * capacity);
        if (!grown) {
            outOfMemory_ = true;
            return;
        }
        (void)steps_.release();
        steps_.reset(static_cast<double*>(grown));
        stepCapacity_ = capacity;
    }
    steps_.get()[stepCount_++] = energy;
}

LoudnessStep LoudnessMeter::Step(size_t index) const
{
    const double* e = steps_.get();
    return {double(index + 1) * stepFrames_ / rate_, LoudnessOf(MeanOf(e, index, kMomentarySteps)),
            LoudnessOf(MeanOf(e, index, kShortTermSteps))};
}

LoudnessResult LoudnessMeter::Result() const
{
    LoudnessResult r = {};
    const double minusInfinity = -std::numeric_limits<double>::infinity();
    const double* e = steps_.get();
    const size_t n = stepCount_;
    const auto momentary = [e](size_t i) { return MeanOf(e, i, kMomentarySteps); };
    const auto shortTerm = [e](size_t i) { return MeanOf(e, i, kShortTermSteps); };
    double momentaryMax = 0.0, shortTermMax = 0.0;
    for (size_t i = 0; i < n; ++i) {
        momentaryMax = std::max(momentaryMax, momentary(i));
        shortTermMax = std::max(shortTermMax, shortTerm(i));
    }
    r.momentaryMaxLufs = LoudnessOf(momentaryMax);
    r.shortTermMaxLufs = LoudnessOf(shortTermMax);

    // Integrated: the whole 400 ms blocks above the absolute gate, then above the relative one.
    const double absoluteGate = EnergyOf(kAbsoluteGateLufs);
    const size_t firstBlock = kMomentarySteps - 1;
    const GatedMean loud = MeanAbove(firstBlock, n, absoluteGate, momentary);
    r.integratedLufs = minusInfinity;
    if (loud.count) {
        const double relativeGate = EnergyOf(LoudnessOf(loud.energy) + kIntegratedRelativeGateLu);
        const GatedMean gated = MeanAbove(firstBlock, n, std::max(relativeGate, absoluteGate), momentary);
        r.integratedLufs = LoudnessOf(gated.energy);
    }

    // Range: the whole 3 s windows above both gates, between two percentiles of their loudness.
    const size_t firstWindow = kShortTermSteps - 1;
    const GatedMean loudWindows = MeanAbove(firstWindow, n, absoluteGate, shortTerm);
    if (loudWindows.count) {
        const double rangeGateLufs = std::max(LoudnessOf(loudWindows.energy) + kRangeRelativeGateLu, kAbsoluteGateLufs);
        static_assert(kRangeBins < 20000, "the histogram lives on the stack");
        uint32_t histogram[kRangeBins] = {};
        size_t counted = 0;
        for (size_t i = firstWindow; i < n; ++i) {
            const double lufs = LoudnessOf(shortTerm(i));
            if (!(lufs > rangeGateLufs)) continue;
            const int bin = std::min(kRangeBins - 1, int((lufs - kAbsoluteGateLufs) / kRangeBinLu));
            ++histogram[bin];
            ++counted;
        }
        const auto percentile = [&](double fraction) {
            const size_t rank = size_t(std::lround(double(counted - 1) * fraction));
            size_t seen = 0;
            int bin = 0;
            for (; bin < kRangeBins; ++bin) {
                seen += histogram[bin];
                if (seen > rank) break;
            }
            return kAbsoluteGateLufs + (bin + 0.5) * kRangeBinLu;
        };
        if (counted) r.rangeLu = percentile(kRangeHighPercentile) - percentile(kRangeLowPercentile);
    }

    r.channels = channels_;
    double samplePeak = 0.0, truePeak = 0.0;
    for (int c = 0; c < channels_; ++c) {
        const double channelTrue = std::max<double>(truePeak_[c], samplePeak_[c]);
        r.truePeakChannelDbtp[c] = DecibelsOf(channelTrue);
        samplePeak = std::max(samplePeak, samplePeak_[c]);
        truePeak = std::max(truePeak, channelTrue);
    }
    r.samplePeakDbfs = DecibelsOf(samplePeak);
    r.truePeakDbtp = DecibelsOf(truePeak);
    return r;
}
