// Block analysis as a pure step: one block of sample bytes, the source's format, the settings and
// the analysis plan in; a BlockResult out (peak of the first two channels, display bytes of the
// current view from the mean of every frame's channels, the strongest bin with its power and
// frequency). Every sample format is read on one scale: 8-bit as its distance from 128, all
// others on the 16-bit scale. Nothing here draws or allocates per block: the plan owns every
// buffer and is prepared when a run starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "analysis/fft.h"
#include "core/types.h"

constexpr int kWaveformMaxBytes = 512;           // display bytes of the waveform view
constexpr double kReferencePower16 = 70000000.0; // bin power shown at the top, 16-bit data
constexpr double kReferencePower8 = 1000.0;      // the same for 8-bit data
constexpr int kWindowTableSize = 32768;          // half of the largest FFT length

// What the window table holds: half length m and window type of the last build.
struct WindowKey {
    int halfLength;
    int type;
};

// Everything the analysis of one block needs besides its bytes: the FFT plan, the window table
// with its key, the transform's arrays and the display bytes. Built when a run starts (or the
// FFT length changes); one per main window.
class AnalysisPlan {
public:
    AnalysisPlan();
    ~AnalysisPlan();
    AnalysisPlan(const AnalysisPlan&) = delete;
    AnalysisPlan& operator=(const AnalysisPlan&) = delete;

    // Makes the plan fit 2^ClampFftExponent(fftExponent) points; keeps what already fits (arrays
    // of a longer length, the window table with its key). False when memory runs out (the plan
    // is then empty: Exponent() is 0 and AnalyseBlock gives no view with it).
    [[nodiscard]] bool Prepare(int fftExponent);
    int Exponent() const { return fft_.Exponent(); }

    const FftPlan& Fft() const { return fft_; }
    double* Re() { return re_.get(); }
    double* Im() { return im_.get(); }
    uint8_t* Bytes() { return bytes_.get(); }
    double* WindowTable() { return windowTable_.get(); }
    WindowKey& Key() { return key_; }

private:
    struct FreeDeleter { void operator()(void* p) const; };
    FftPlan fft_;
    std::unique_ptr<double, FreeDeleter> re_, im_, windowTable_;
    std::unique_ptr<uint8_t, FreeDeleter> bytes_;
    int capacity_ = 0;              // points the transform's arrays hold
    WindowKey key_ = {0, kWindowRectangle};
};

// The analysis of one block.
struct BlockResult {
    bool analysed = false;          // false: the format is not analysed, nothing is drawn
    int barCount = 0;               // 1 (mono) or 2 (left, right: the first two channels)
    uint32_t peaks[2] = {0, 0};     // peak magnitude of each bar's channel
    uint32_t segmentUnit = 0;       // one sixteenth of full scale: 8 (8-bit) or 2048 (16-bit scale)
    bool hasView = false;           // blocks with bytes draw the view
    ViewMode view = kViewWaveform;
    const uint8_t* bytes = nullptr; // display bytes of the view (in the plan), `count` of them
    int32_t count = 0;
    bool hasPeak = false;           // the spectrum views write the peak panel
    int peakBin = 0;
    double peakPower = 0.0;
    double peakFrequency = 0.0;     // Hz; the previous block's where the source has no rate or
                                    // the block has no spectrum, so the caller can always keep it
};

// Analyses `byteCount` bytes of `block` (whole frames only are read). `previousPeakFrequency` is
// kept where the format has no rate. The plan must be prepared for settings.fftExponent:
// with a plan of another length (or an empty one) the block gets its bars but no view.
BlockResult AnalyseBlock(const uint8_t* block, int32_t byteCount, const SourceFormat& format,
                         const Settings& settings, AnalysisPlan& plan, double previousPeakFrequency);

// ---- The steps of AnalyseBlock, on plain inputs -----------------------------------------------

// Peak magnitude of the first two channels over the whole frames of a block (peaks[1] is 0 for
// mono), on the analysis scale with float values clipped to the 16-bit range. Returns false (peaks
// 0) for a format the analysis does not read.
bool ScanBlockPeaks(const uint8_t* block, int32_t byteCount, const SourceFormat& format, uint32_t peaks[2]);

// Reads `frames` whole frames of a block as interleaved samples on the full scale (+-1.0);
// false for a format the analysis does not read.
bool ReadFullScaleFrames(const uint8_t* block, size_t frames, const SourceFormat& format, double* samples);

// One waveform display byte of an 8-bit sample byte / a 16-bit sample value.
uint8_t WaveformByte8(uint8_t b, int amplitudeScale);
uint8_t WaveformByte16(int v, int amplitudeScale);

// Waveform display bytes of a block, one per frame from the mean of its channels (at most
// `capacity`, at most 512); returns the count.
int32_t WaveformBytes(const uint8_t* block, int32_t byteCount, const SourceFormat& format, int amplitudeScale,
                      uint8_t* bytes, int32_t capacity);

// What the waveform view draws of each frame before scaling it to a byte: the mean of the
// frame's channels on the 16-bit scale, clipped to its range (8-bit data times 256), for at most
// `capacity` (at most 512) frames; returns the count.
int32_t WaveformValues(const uint8_t* block, int32_t byteCount, const SourceFormat& format, int16_t* values,
                       int32_t capacity);

// Half-window length m for a block of `samples` frames and an FFT of n points.
int HalfWindowLength(int32_t samples, int n);

// Fills entries 0 .. m-1 of `table` with the rising half of window `type` (nothing for the
// rectangle or an unknown type; at most kWindowTableSize entries).
void BuildWindowTable(int type, int m, double* table);

struct SpectrumPeak {
    int bin;          // lowest bin of the greatest power; 0 when no bin has positive power
    double power;     // re^2 + im^2 of that bin
};

// Bin of the greatest power re^2 + im^2 among bins 0 .. bins-1 (the lowest one on a tie).
SpectrumPeak FindPeak(const double* re, const double* im, int bins);

// Loads the mean of each of the first N frames of a block into the plan's arrays (zero padded),
// windows them over 2m samples (rebuilding the window table only when its key changes),
// transforms them and finds the peak bin. On return bins 0 .. N/2-1 of plan.Re()/Im() are valid.
SpectrumPeak ComputeSpectrum(const uint8_t* block, int32_t byteCount, const SourceFormat& format, int windowType,
                             AnalysisPlan& plan);

// Display byte of one bin of power `power` (bin k of an n-point FFT); `sixteenBit`: the samples
// are on the 16-bit scale (every format but 8-bit).
uint8_t SpectrumByte(double power, int k, int n, bool sixteenBit, int slopeReference, int amplitudeScale);

// The level the spectrum views draw for a bin, in dB: 10 log10 of the bin's power relative to
// the display's full scale, weighted like the view for the pink slope; -300 at and below the
// views' floor.
double BinDecibels(double power, int k, int n, bool sixteenBitScale, int slopeReference);

// Display bytes of bins 0 .. n/2-1 into `bytes` (room for n/2).
void SpectrumBytes(const double* re, const double* im, int n, bool sixteenBit, int slopeReference,
                   int amplitudeScale, uint8_t* bytes);

// Peak frequency of bin p of an n-point FFT at `samplesPerSec`: p x rate / n; false (and *hz
// untouched) without a rate.
bool PeakFrequencyFor(int p, int n, uint32_t samplesPerSec, double* hz);
