// Plain types shared by every folder: the user's settings, the figures of the open source's
// format, the layout units of the main window, and the enums that name them. No state lives
// here; each value has one owner (the main window) and travels as a parameter.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int kPathBufferSize = 260;          // file names as the platform's ANSI calls take them

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

// The monitor's recording format (rate in Hz, channels, bits per sample).
struct MonitorFormat {
    uint32_t rate;
    uint16_t channels;
    uint16_t bits;
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
    MonitorFormat monitor = {44100, 2, 16};
};

// Sample format codes of the analysable formats: bit 0 set means 16-bit samples, bit 1 stereo.
enum SampleFormat : int32_t { kMono8 = 0, kMono16 = 1, kStereo8 = 2, kStereo16 = 3 };
constexpr int32_t kSampleFormat16BitFlag = 1;
constexpr int32_t kSampleFormatStereoFlag = 2;

// The format figures of the open source (file or monitor), from the first 16 bytes of its format
// record. A default-constructed value means "no source yet".
struct SourceFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;

    int32_t RateCode() const { return int32_t(samplesPerSec / 1000u); }   // kHz, truncated
    bool Analysable() const { return Code() >= 0; }
    bool Stereo() const { return channels == 2; }
    bool SixteenBit() const { return bitsPerSample == 16; }
    // The sample format code, -1 for channel/bit pairs the analysis does not handle.
    int32_t Code() const
    {
        if ((channels != 1 && channels != 2) || (bitsPerSample != 8 && bitsPerSample != 16)) return -1;
        return (channels == 2 ? kSampleFormatStereoFlag : 0) | (bitsPerSample == 16 ? kSampleFormat16BitFlag : 0);
    }
};

// Layout units of the main window, measured once from the OEM fixed font, and the screen's
// colour depth with the grey palette the chart selects on 256-colour screens (owned by the main
// window; borrowed here).
struct Layout {
    int charWidth = 0;                 // one column: the font's average width
    int lineHeight = 0;                // one row: half the font's ascent
    int colourDepth = 0;               // planes * bits per pixel
    HPALETTE palette = nullptr;
    uint16_t platformVersion = 0;      // major * 256 + minor: newer platforms draw bolder labels

    int Col(int n) const { return n * charWidth; }
    int Row(int n) const { return n * lineHeight; }
};

// Texts divide by the average bytes per second, which a file may give as 0: show 0 then.
inline uint32_t DivideOrZero(uint32_t dividend, uint32_t divisor) { return divisor ? dividend / divisor : 0; }
