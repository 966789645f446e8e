// Plain types shared by every folder: the user's settings, the figures of the open source's
// format, and the enums that name them. No state lives here; each value has one owner (the main
// window) and travels as a parameter. Platform-free: nothing here includes a system header.
#pragma once

#include <cstdint>

constexpr int kPathBufferSize = 260;          // file names as the platform's ANSI calls take them
const char kPathSeparators[] = "\\/:";        // the characters that end a folder in a path

constexpr int kGraphWidth = 512;              // graph area, pixels
constexpr int kGraphHeight = 256;

enum WindowType : int32_t {
    kWindowHanning = 0, kWindowHamming = 1, kWindowBlackman = 2, kWindowTriangle = 3, kWindowRectangle = 4
};
enum SlopeReference : int32_t { kSlopeWhite = 0, kSlopePink = 1 };
enum AmplitudeScale : int32_t { kScaleStandard = 0, kScaleDoubled = 1 };

// The five views, in the order of the View menu.
enum ViewMode : int32_t {
    kViewWaveform = 0, kViewLevelMeter = 1, kViewLinearSpectrum = 2, kViewLogSpectrum = 3, kViewChart = 4
};
constexpr int kViewCount = 5;

enum BufferingMode : int32_t { kOnMemoryMode = 1, kStreamingMode = 2 };

// The wave input mapper's device id: the platform's default input.
constexpr uint32_t kDefaultInputDevice = 0xFFFFFFFFu;

// The monitor's recording format (rate in Hz, channels, bits per sample) and the input device
// that records it (a wave input device id, or the mapper).
struct MonitorFormat {
    uint32_t rate;
    uint16_t channels;
    uint16_t bits;
    uint32_t device = kDefaultInputDevice;
};

// What the user chose in the Options dialog and the View menu, and the monitor format.
// "deltatime" (time resolution) and "fftparam" (FFT exponent) are kept in the settings file.
struct Settings {
    int32_t timeResolution = 2048;     // block length in 1/11025 s
    int32_t fftExponent = 12;          // FFT length is 2^fftExponent
    WindowType windowType = kWindowHanning;
    SlopeReference slopeReference = kSlopeWhite;
    AmplitudeScale amplitudeScale = kScaleStandard;
    bool onMemory = false;
    int32_t memorySizeMB = 15;
    ViewMode view = kViewWaveform;
    MonitorFormat monitor = {44100, 1, 16};
};

// How the samples of a source are stored, as far as the analysis reads them.
enum class SampleEncoding : int32_t {
    kNotAnalysed = 0,   // played, not shown (e.g. 12-bit PCM, more than eight channels)
    kUnsigned8,         // offset binary, zero level 128
    kSigned16, kSigned24, kSigned32,
    kFloat32, kFloat64  // IEEE float, full scale +-1.0
};
constexpr uint16_t kMaxAnalysedChannels = 8;
// The usual speaker assignment (a channel mask) of 1 to 8 channels, mono as front centre; 0 for
// any other count.
inline uint32_t UsualChannelMask(uint32_t channels)
{
    constexpr uint32_t kMasks[kMaxAnalysedChannels] = {0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};
    return channels >= 1 && channels <= kMaxAnalysedChannels ? kMasks[channels - 1] : 0;
}
constexpr int kBitsPerByte = 8;

// Bytes of one sample of every channel, each sample in whole bytes.
constexpr uint32_t ChannelFrameBytes(uint16_t channels, uint16_t bitsPerSample)
{
    return uint32_t(channels) * ((bitsPerSample + kBitsPerByte - 1u) / kBitsPerByte);
}

// The format figures of the open source (file or monitor): the first 16 bytes of its format
// record, and whether its samples are floating point and how many of their bits are valid (from
// the float tag or the extensible record). A default-constructed value means "no source yet".
struct SourceFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    bool floatSamples = false;
    uint16_t validBits = 0;            // bits of each sample that carry the signal; 0: all of them

    int32_t RateCode() const { return int32_t(samplesPerSec / 1000u); }   // kHz, truncated
    // Two level bars (LEFT and RIGHT: the first two channels) for two channels or more.
    bool TwoBars() const { return channels >= 2; }
    int SampleBytes() const { return (bitsPerSample + kBitsPerByte - 1) / kBitsPerByte; }
    // One sample of every channel: what the channels and sample width make.
    uint32_t SampleFrameBytes() const { return ChannelFrameBytes(channels, bitsPerSample); }
    // Whole-frame size in bytes: the block align, or the channels' samples if larger.
    uint32_t FrameBytes() const { return blockAlign > SampleFrameBytes() ? blockAlign : SampleFrameBytes(); }
    SampleEncoding Encoding() const
    {
        if (channels < 1 || channels > kMaxAnalysedChannels || validBits > bitsPerSample)
            return SampleEncoding::kNotAnalysed;
        if (floatSamples) {
            if (bitsPerSample == 32) return SampleEncoding::kFloat32;
            return bitsPerSample == 64 ? SampleEncoding::kFloat64 : SampleEncoding::kNotAnalysed;
        }
        switch (bitsPerSample) {
        case 8: return SampleEncoding::kUnsigned8;
        case 16: return SampleEncoding::kSigned16;
        case 24: return SampleEncoding::kSigned24;
        case 32: return SampleEncoding::kSigned32;
        default: return SampleEncoding::kNotAnalysed;
        }
    }
};

// Texts divide by the average bytes per second, which a file may give as 0: show 0 then.
inline uint32_t DivideOrZero(uint32_t dividend, uint32_t divisor) { return divisor ? dividend / divisor : 0; }
