// The loudness meter against the published minimum-requirement signals of the broadcast loudness
// meters (generated here from their descriptions), across rates, layouts, gating and true peak.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "analysis/fft.h"
#include "analysis/loudness.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr double kToneHz = 1000.0;
constexpr double kSilence = -1000.0;   // a level that stands for no signal at all

// A stretch of a sine of `dbfs` peak level on the channels given, lasting `seconds`.
struct Segment {
    double dbfs;
    double seconds;
};

double Amplitude(double dbfs)
{
    return dbfs <= kSilence ? 0.0 : std::pow(10.0, dbfs / 20.0);
}

// Feeds one continuous sine through the segments, `repeats` times over; `channelGains` scales each
// channel (0: silent).
void FeedTone(LoudnessMeter& meter, uint32_t rate, const std::vector<double>& channelGains,
              std::initializer_list<Segment> segments, int repeats = 1, double hz = kToneHz)
{
    constexpr size_t kChunk = 4410;   // not a whole 100 ms step at any rate tested
    const size_t channels = channelGains.size();
    std::vector<double> block(kChunk * channels);
    uint64_t sample = 0;
    for (int r = 0; r < repeats; ++r)
        for (const Segment& segment : segments) {
            const double amplitude = Amplitude(segment.dbfs);
            for (size_t frames = size_t(std::lround(segment.seconds * rate)), chunk = 0; frames > 0; frames -= chunk) {
                chunk = std::min(frames, kChunk);
                for (size_t i = 0; i < chunk; ++i, ++sample) {
                    const double value = amplitude * std::sin(2.0 * kPi * hz * double(sample) / rate);
                    for (size_t c = 0; c < channels; ++c) block[i * channels + c] = channelGains[c] * value;
                }
                meter.AddFrames(block.data(), chunk);
            }
        }
}

LoudnessResult MeasureStereo(std::initializer_list<Segment> segments, int repeats = 1, uint32_t rate = kRate)
{
    LoudnessMeter meter;
    EXPECT_EQ(meter.Prepare(rate, 2, 0), LoudnessSetup::kOk);
    FeedTone(meter, rate, {1.0, 1.0}, segments, repeats);
    return meter.Result();
}

// The published stereo sine sequences, each read in the figure it is published for: the
// integrated loudness, the maxima of bursts between silences (a 3 s one starting between two
// 100 ms steps, a 400 ms one on a step), the loudness range of level steps.
TEST(LoudnessMeter, StereoSineSequencesReadTheirPublishedFigures)
{
    using R = LoudnessResult;
    const struct { const char* signal; std::initializer_list<Segment> segments; double R::*figure; double expected; } cases[] = {
        {"-23 dBFS 20 s", {{-23, 20}}, &R::integratedLufs, -23.0},
        {"-72/-36/-23/-36/-72 dBFS", {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, &R::integratedLufs, -23.0},
        {"-26/-20/-26 dBFS", {{-26, 20}, {-20, 20.1}, {-26, 20}}, &R::integratedLufs, -23.0},
        {"3 s burst", {{kSilence, 2.05}, {-23, 3.0}, {kSilence, 3.0}}, &R::shortTermMaxLufs, -23.0},
        {"400 ms burst", {{kSilence, 1.0}, {-23, 0.4}, {kSilence, 1.0}}, &R::momentaryMaxLufs, -23.0},
        {"20 s -20, 20 s -30 dBFS", {{-20, 20}, {-30, 20}}, &R::rangeLu, 10.0},
        {"20 s -20, 20 s -15 dBFS", {{-20, 20}, {-15, 20}}, &R::rangeLu, 5.0},
        {"20 s -40, 20 s -20 dBFS", {{-40, 20}, {-20, 20}}, &R::rangeLu, 20.0},
        {"-50/-35/-20/-35/-50 dBFS, 20 s each", {{-50, 20}, {-35, 20}, {-20, 20}, {-35, 20}, {-50, 20}}, &R::rangeLu, 15.0},
    };
    for (const auto& c : cases) EXPECT_NEAR(MeasureStereo(c.segments).*c.figure, c.expected, 0.1) << c.signal;
}

TEST(LoudnessMeter, AlternatingLevelsOverOneWindowKeepItsLoudnessConstant)
{
    struct Case {
        const char* signal;
        std::initializer_list<Segment> period;
        bool shortTerm;
        double windowSeconds;
    } const cases[] = {
        {"1.34 s -20 / 1.66 s -30 dBFS (short-term)", {{-20, 1.34}, {-30, 1.66}}, true, 3.0},
        {"0.18 s -20 / 0.22 s -30 dBFS (momentary)", {{-20, 0.18}, {-30, 0.22}}, false, 0.4},
    };
    for (const Case& c : cases) {
        LoudnessMeter meter;
        ASSERT_EQ(meter.Prepare(kRate, 2, 0), LoudnessSetup::kOk);
        FeedTone(meter, kRate, {1.0, 1.0}, c.period, 20);
        for (size_t i = 0; i < meter.StepCount(); ++i) {   // every step once the first window is full
            const LoudnessStep step = meter.Step(i);
            if (step.endSeconds < c.windowSeconds - 1e-9) continue;
            EXPECT_NEAR(c.shortTerm ? step.shortTermLufs : step.momentaryLufs, -23.0, 0.1) << c.signal << " at " << step.endSeconds;
        }
    }
}

TEST(LoudnessMeter, SineReadsTheSameLoudnessAtEveryRate)
{
    const double at48k = MeasureStereo({{-23, 10}}, 1, 48000).integratedLufs;
    for (uint32_t rate : {44100u, 96000u, 32000u, 192000u}) {
        EXPECT_NEAR(MeasureStereo({{-23, 10}}, 1, rate).integratedLufs, at48k, 0.05) << rate;
    }
}

TEST(LoudnessMeter, FilterAt48kHzIsThePublishedOne)
{
    const KWeighting k = KWeightingFor(48000);
    const double published[] = {1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241,
                                0.73248077421585, 1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};
    const double derived[] = {k.shelf.b0, k.shelf.b1, k.shelf.b2, k.shelf.a1, k.shelf.a2,
                              k.highPass.b0, k.highPass.b1, k.highPass.b2, k.highPass.a1, k.highPass.a2};
    for (size_t i = 0; i < std::size(published); ++i) EXPECT_NEAR(derived[i], published[i], 1e-8) << i;
}

// Multichannel sines: 5.0 with L, R at -28 dBFS, C at -24, Ls and Rs at -30 reads -23 LUFS only
// with the surround weight; 5.1 in the usual order (L R C LFE Ls Rs) and with side surrounds named
// by the mask, a full-scale tone in the low-frequency channel, reads as L and R alone.
TEST(LoudnessMeter, SurroundsWeighAboveFrontsAndTheLowFrequencyChannelIsLeftOut)
{
    const double frontsAlone = MeasureStereo({{-23, 20}}).integratedLufs;
    const struct { const char* layout; uint32_t mask; std::vector<double> gains; double expected, tolerance; } cases[] = {
        {"5.0", 0, {Amplitude(-28), Amplitude(-28), Amplitude(-24), Amplitude(-30), Amplitude(-30)}, -23.0, 0.1},
        {"5.1", 0, {Amplitude(-23), Amplitude(-23), 0.0, 1.0, 0.0, 0.0}, frontsAlone, 1e-9},
        {"5.1 side", 0x60F, {Amplitude(-23), Amplitude(-23), 0.0, 1.0, 0.0, 0.0}, frontsAlone, 1e-9},
    };
    for (const auto& c : cases) {
        LoudnessMeter meter;
        ASSERT_EQ(meter.Prepare(kRate, int(c.gains.size()), c.mask), LoudnessSetup::kOk) << c.layout;
        FeedTone(meter, kRate, c.gains, {{0.0, 20}});
        EXPECT_NEAR(meter.Result().integratedLufs, c.expected, c.tolerance) << c.layout;
    }
}

TEST(LoudnessMeter, NothingAboveTheGateGivesMinusInfinityAndNoRange)
{
    for (const LoudnessResult& r : {MeasureStereo({{kSilence, 10}}), MeasureStereo({{-80, 10}}), MeasureStereo({{-20, 0.3}})}) {
        EXPECT_TRUE(std::isinf(r.integratedLufs) && r.integratedLufs < 0);
        EXPECT_EQ(r.rangeLu, 0.0);
    }
}

TEST(LoudnessMeter, TruePeakFindsThePeakBetweenSamples)
{
    // A quarter-rate sine whose samples fall 45 degrees off its crests, on the second channel,
    // faded in and out with raised-cosine edges.
    constexpr double kAmplitude = 0.5;
    constexpr size_t kFrames = kRate, kFade = kRate / 10;
    std::vector<double> frames(2 * kFrames, 0.0);
    for (size_t i = 0; i < kFrames; ++i) {
        const size_t edge = std::min(i, kFrames - 1 - i);
        const double fade = edge >= kFade ? 1.0 : 0.5 - 0.5 * std::cos(kPi * double(edge) / kFade);
        frames[2 * i + 1] = kAmplitude * fade * std::sin(kPi / 2.0 * double(i) + kPi / 4.0);
    }
    LoudnessMeter meter;
    ASSERT_EQ(meter.Prepare(kRate, 2, 0), LoudnessSetup::kOk);
    meter.AddFrames(frames.data(), kFrames);
    const LoudnessResult r = meter.Result();
    const double peakDb = 20.0 * std::log10(kAmplitude);
    EXPECT_NEAR(r.truePeakDbtp, peakDb, 0.3);
    EXPECT_NEAR(r.truePeakChannelDbtp[1], peakDb, 0.3);
    EXPECT_TRUE(std::isinf(r.truePeakChannelDbtp[0]));
    EXPECT_NEAR(r.samplePeakDbfs, peakDb - 3.01, 0.05);
}

TEST(LoudnessMeter, SixteenBitBytesInAnyBlockSizesMeasureAsTheirSamples)
{
    const SourceFormat format = {1, 2, 44100, 44100 * 4, 4, 16};   // PCM, stereo, 16-bit
    constexpr size_t kFrames = 44100 * 5;
    std::vector<int16_t> pcm(2 * kFrames);
    std::vector<double> samples(2 * kFrames);
    for (size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = int16_t(std::lround(8000.0 * std::sin(2.0 * kPi * 997.0 * double(i / 2) / 44100.0 + double(i % 2))));
        samples[i] = pcm[i] / 32768.0;
    }
    LoudnessMeter fromSamples, fromBytes;
    ASSERT_EQ(fromSamples.Prepare(44100, 2, 0), LoudnessSetup::kOk);
    ASSERT_EQ(fromBytes.Prepare(format, 0), LoudnessSetup::kOk);
    fromSamples.AddFrames(samples.data(), kFrames);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
    constexpr size_t kFrameBytes = 4;
    for (size_t frame = 0, chunk = 1; frame < kFrames; chunk = chunk * 3 % 9973 + 4) {
        const size_t count = std::min(chunk, kFrames - frame);
        fromBytes.AddBytes(bytes + frame * kFrameBytes, count * kFrameBytes);
        frame += count;
    }
    const LoudnessResult a = fromSamples.Result(), b = fromBytes.Result();
    EXPECT_NEAR(b.integratedLufs, a.integratedLufs, 1e-9);
    EXPECT_NEAR(b.truePeakDbtp, a.truePeakDbtp, 1e-6);
    EXPECT_EQ(fromBytes.StepCount(), fromSamples.StepCount());
}
}  // namespace
