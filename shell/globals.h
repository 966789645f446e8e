// The program's shared records: the application record, the state record (eighteen 32-bit
// slots, in their fixed order), the run counters, the source format figures and the other
// shared globals. Every subsystem includes this header; globals.cpp defines the records with
// their initial values.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>

// ---- Fixed sizes and codes ------------------------------------------------------------------

constexpr int kPathBufferSize = 260;          // file name, previous file name, file title
constexpr int kTextBufferSize = 260;          // the one scratch buffer for formatted texts
constexpr int kWaveHeaderSize = 32;           // sizeof(WAVEHDR) on 32-bit Windows

constexpr int kGraphWidth = 512;              // graph area, pixels
constexpr int kGraphHeight = 256;

constexpr UINT kElapsedTimerId = 1;
constexpr UINT kElapsedTimerPeriodMs = 1000;

enum SourceKind : int32_t { kSourceNone = 0, kSourceFile = 1, kSourceMonitor = 2 };
enum BufferingMode : int32_t { kOnMemoryMode = 1, kStreamingMode = 2 };
enum StopRequest : int32_t { kStopNone = 0, kStopRequested = 1, kStopFinalBufferBack = 2 };
enum WindowType : int32_t {
    kWindowHanning = 0, kWindowHamming = 1, kWindowBlackman = 2, kWindowTriangle = 3, kWindowRectangle = 4
};
enum SlopeReference : int32_t { kSlopeWhite = 0, kSlopePink = 1 };
enum AmplitudeScale : int32_t { kScaleStandard = 0, kScaleDoubled = 1 };

// Sample format codes: bit 0 set means 16-bit samples, bit 1 set means stereo.
enum SampleFormat : int32_t {
    kMono8 = 0, kMono16 = 1, kStereo8 = 2, kStereo16 = 3
};
constexpr int32_t kSampleFormat16BitFlag = 1;
constexpr int32_t kSampleFormatStereoFlag = 2;

// Menu command ids; the three buttons carry the ids of Start, Stop and Pause.
enum CommandId : int {
    kCmdAbout = 100, kCmdMonitor = 101, kCmdOpen = 102, kCmdInfo = 103, kCmdExit = 104,
    kCmdHelp = 105,
    kCmdViewWaveform = 106, kCmdViewLevelMeter = 107, kCmdViewLinearSpectrum = 108,
    kCmdViewLogSpectrum = 109, kCmdViewChart = 110,
    kCmdOptions = 200, kCmdStart = 201, kCmdStop = 202, kCmdPause = 203
};

// Platform version words that change behaviour.
constexpr uint16_t kVersionWin95 = 0x0400;
constexpr uint16_t kVersionBoldLabels = 0x035F;
constexpr uint16_t kVersionOldMemoryLimit = 0x030B;

// ---- Application record ---------------------------------------------------------------------

struct AppRecord {
    char className[8];                 // "Trilvo": class name, window title and icon name
    HINSTANCE instance;
    HWND mainWindow;                   // still null while WM_CREATE runs
    HWND playButton;
    HWND stopButton;
    HWND pauseButton;
    HWAVEOUT waveOut;
    HWAVEIN waveIn;
    WAVEHDR* header[2];                // locked 32-byte headers, owned by the main window
    UINT inputDeviceCount;
    BYTE* block[2];                    // locked pointers of block buffers 0 and 1
};

// ---- State record: eighteen 32-bit slots in this order --------------------------------------

struct StateRecord {
    HGLOBAL blockHandle[2];            // slots 0, 1
    HMMIO file;                        // slot 2
    int32_t stopRequest;               // slot 3: StopRequest
    int32_t paused;                    // slot 4
    int32_t sourceKind;                // slot 5: SourceKind
    int32_t running;                   // slot 6
    uint16_t monitorBits;              // slot 7, low half
    uint16_t monitorChannels;          // slot 7, high half
    uint32_t monitorRate;              // slot 8
    int32_t onMemoryOption;            // slot 9
    int32_t memorySizeMB;              // slot 10
    int32_t bufferingMode;             // slot 11: BufferingMode
    int32_t viewMode;                  // slot 12: kCmdViewWaveform .. kCmdViewChart
    int32_t timeResolution;            // slot 13: "deltatime", block length in 1/11025 s
    int32_t fftExponent;               // slot 14: "fftparam", FFT length is 2^fftExponent
    int32_t slopeReference;            // slot 15: SlopeReference
    int32_t amplitudeScale;            // slot 16: AmplitudeScale
    int32_t windowType;                // slot 17: WindowType
};

// ---- Run counters (audio sources) -----------------------------------------------------------

struct RunCounters {
    int32_t nextHeader;                // 0 or 1: the header whose done message comes next
    int32_t lastBlock;                 // 1 once the final block is queued
    uint32_t remainingBytes;           // file: not yet read; monitor: recorded so far
    uint32_t totalDataBytes;
    uint32_t blockSize;
    int32_t blockLength[2];
    HGLOBAL headerHandle[2];
    MMCKINFO riffChunk;
    MMCKINFO subChunk;
    DWORD startTick;                   // elapsed timer of on-memory runs
    DWORD pauseTick;
};

// ---- Source format figures (ShowSourceFormat) -----------------------------------------------

struct SourceFormatFigures {
    int32_t sampleFormat;              // SampleFormat
    uint32_t avgBytesPerSec;
    int32_t rateCode;                  // samples per second / 1000, truncated
    int32_t bitsPerSample;
    uint32_t samplesPerSec;            // the exact rate, for labels of unusual rates
    int32_t analysable;                // 0 when channels/bits are not one of the four formats
};

// ---- Other shared globals -------------------------------------------------------------------

struct SharedGlobals {
    char textBuffer[kTextBufferSize];
    char fileName[kPathBufferSize];
    char previousFileName[kPathBufferSize];
    char fileTitle[kPathBufferSize];
    uint16_t platformVersion;          // major * 256 + minor
    int colourDepth;                   // planes * bits per pixel at startup
    HPALETTE displayPalette;
    HMENU menu;
    uint64_t diskCapacity;             // bytes; 64 bits so large disks compare truly
    uint64_t diskFree;                 // bytes; 64 bits so large disks show their true space
    int charWidth;                     // one column: OEM fixed font average width
    int lineHeight;                    // one row: OEM fixed font ascent / 2
    DWORD inputFormats;                // dwFormats of the wave input mapper, 0 without device
};

extern AppRecord app;
extern StateRecord state;
extern RunCounters run;
extern SourceFormatFigures source;
extern SharedGlobals g;

static_assert(sizeof(StateRecord) == 18 * 4, "the state record has eighteen 32-bit slots");

// Restores every record to its initial value (program start; tests call it between cases).
void ResetGlobals();

// Texts divide by the average bytes per second, which a file may give as 0: show 0 then.
inline uint32_t DivideOrZero(uint32_t dividend, uint32_t divisor) { return divisor ? dividend / divisor : 0; }

// Layout helpers: positions in the main window are multiples of columns and rows.
inline int Col(int n) { return n * g.charWidth; }
inline int Row(int n) { return n * g.lineHeight; }
