// Loudness of a whole programme as broadcast and streaming meters measure it: K-weighted power
// per channel, weighted by speaker position, summed into 100 ms steps; from them the momentary
// (400 ms) and short-term (3 s) loudness at every step, the gated integrated loudness, the
// loudness range, and the sample and 4x-oversampled true peaks. A LoudnessMeter is prepared once
// for a rate and a channel layout and then fed the frames of a file in any block sizes; all it
// keeps growing is the list of 100 ms step energies (amortised). Nothing here reads a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/types.h"

constexpr double kLoudnessStepSeconds = 0.1;   // one step of the momentary and short-term series
constexpr int kMomentarySteps = 4;             // 400 ms
constexpr int kShortTermSteps = 30;            // 3 s
constexpr int kTruePeakOversampling = 4;
constexpr int kTruePeakTapsPerPhase = 12;
constexpr uint32_t kMinLoudnessRate = 8000;
constexpr uint32_t kMaxLoudnessRate = 384000;

// One second-order section: y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2.
struct Biquad {
    double b0, b1, b2, a1, a2;
};
// The two stages of the K-weighting for a sampling rate: the high-frequency shelf and the
// low-frequency high-pass, each derived from its analogue prototype.
struct KWeighting {
    Biquad shelf;
    Biquad highPass;
};
KWeighting KWeightingFor(uint32_t rate);

// The weight of each channel from a speaker mask (0: the usual layout of the channel count):
// front channels 1.0, side and back channels 1.41, the low-frequency channel 0. Channels beyond
// the mask's speakers count as front channels.
void ChannelWeights(uint32_t channelMask, int channels, double weights[kMaxAnalysedChannels]);

// The figures of a whole measurement. Loudness in LUFS, range in LU, peaks in dBFS / dBTP; an
// integrated value with every block gated out (or none measured) is -infinity, its range 0.
struct LoudnessResult {
    double integratedLufs;
    double rangeLu;
    double momentaryMaxLufs;
    double shortTermMaxLufs;
    double samplePeakDbfs;
    double truePeakDbtp;
    int channels;
    double truePeakChannelDbtp[kMaxAnalysedChannels];
};

// The momentary and short-term loudness at the end of one 100 ms step (windows reaching before
// the start read silence there).
struct LoudnessStep {
    double endSeconds;
    double momentaryLufs;
    double shortTermLufs;
};

enum class LoudnessSetup : int { kOk = 0, kUnsupportedFormat, kNoMemory };

class LoudnessMeter {
public:
    LoudnessMeter() = default;
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Starts a measurement of frames of `channels` channels (1 to 8) at `rate` Hz; the speaker
    // positions come from `channelMask` (0: the usual ones for the channel count).
    [[nodiscard]] LoudnessSetup Prepare(uint32_t rate, int channels, uint32_t channelMask);
    // The same for the samples of a source format (its encoding must be one the analysis reads).
    [[nodiscard]] LoudnessSetup Prepare(const SourceFormat& format, uint32_t channelMask);

    // Adds `frames` interleaved frames of full-scale +-1.0 samples.
    void AddFrames(const double* interleaved, size_t frames);
    // Adds the whole frames of a block of sample bytes in the prepared source format.
    void AddBytes(const uint8_t* block, size_t byteCount);
    // False when the step list could not grow: the measurement stopped counting there.
    bool Complete() const { return !outOfMemory_; }

    // Whole 100 ms steps measured so far, and the loudness at the end of step `index`.
    size_t StepCount() const { return stepCount_; }
    LoudnessStep Step(size_t index) const;
    LoudnessResult Result() const;

private:
    struct FreeDeleter { void operator()(void* p) const; };
    void FilterChannel(int channel, const double* interleaved, size_t frames);
    void EndStep();

    uint32_t rate_ = 0;
    int channels_ = 0;
    SourceFormat format_;
    KWeighting filter_ = {};
    double weights_[kMaxAnalysedChannels] = {};
    double state_[kMaxAnalysedChannels][4] = {};      // shelf x1 x2, high-pass y1 y2 of each channel
    double shelfOut_[kMaxAnalysedChannels][2] = {};   // the shelf's last two outputs
    double stepSums_[kMaxAnalysedChannels] = {};      // squares of the step so far
    uint32_t stepFrames_ = 0, framesInStep_ = 0;
    std::unique_ptr<double, FreeDeleter> steps_;      // weighted mean square of each whole step
    size_t stepCount_ = 0, stepCapacity_ = 0;
    bool outOfMemory_ = false;
    // True peak: each channel's last taps (twice over, so every window is contiguous) and the
    // greatest magnitudes found; the polyphase filter as [tap][phase].
    float history_[kMaxAnalysedChannels][2 * kTruePeakTapsPerPhase] = {};
    int historyPos_ = 0;
    float phases_[kTruePeakTapsPerPhase][kTruePeakOversampling] = {};
    float truePeak_[kMaxAnalysedChannels] = {};
    double samplePeak_[kMaxAnalysedChannels] = {};
    std::unique_ptr<double, FreeDeleter> scratch_;    // a block of bytes read as doubles
};
