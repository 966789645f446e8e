// The cursor readout: what lies under the mouse in the graph area of each view, computed from
// what the window kept of its last analysed blocks (ReadoutSource, plain figures and arrays),
// and drawn in place of the peak panel. CursorMemory owns those arrays: room made when a run
// starts, each analysed block copied in, nothing allocated per block or per mouse move.
#pragma once

#include <windows.h>
#include <cstdint>
#include <memory>

#include "analysis/analysis.h"
#include "core/types.h"

constexpr int kChartRows = kGraphHeight;   // rows of the chart, the newest at the bottom

// What the window kept, as far as the readout reads it.
struct ReadoutSource {
    uint32_t samplesPerSec = 0;
    int fftExponent = 0;              // the clamped exponent the data was analysed with
    int slopeReference = kSlopeWhite;
    bool sixteenBitScale = true;      // every format but 8-bit
    const double* power = nullptr;    // bins 0 .. bins-1 of the last spectrum (re^2 + im^2)
    int bins = 0;                     // 0: the last block had no spectrum
    const int16_t* samples = nullptr; // the last block's waveform values (16-bit scale)
    int sampleCount = 0;
    // The chart's rows: a ring of kChartRows rows of `chartCells` powers, `newestRow` the ring
    // index of the bottom row, `rowCount` rows analysed since the chart was cleared.
    const float* chartPower = nullptr;
    const double* rowSeconds = nullptr;   // where each row's block starts in the source
    int chartCells = 0;
    int newestRow = 0;
    int rowCount = 0;
};

enum class ReadoutKind : int { kNone = 0, kSpectrum, kChart, kBand, kWaveform };

// What lies under the cursor. kNone: nothing to read there (the panel shows the peak).
struct Readout {
    ReadoutKind kind = ReadoutKind::kNone;
    double frequency = 0.0;       // Hz: the column (spectra, chart) or the band's lower edge
    double upperFrequency = 0.0;  // Hz: the band's upper edge
    double seconds = 0.0;         // the chart row's age before the newest row
    double milliseconds = 0.0;    // the waveform sample's time within the block
    int sample = 0;               // the waveform sample's value on the 16-bit scale
    bool hasLevel = false;        // false: no bin (or no row yet) under the cursor
    double decibels = 0.0;        // the level as the views and the spectrum CSV give it
    double power = 0.0;
};

// The readout of `view` at graph pixel (x, y) (0, 0 at the graph area's top left corner).
// `graphLeft` is the client x of the graph area: the level meter's bands stand at client
// positions of their own.
Readout ComputeReadout(const ReadoutSource& source, ViewMode view, int graphLeft, int x, int y);

// ---- The mapping of each view, on plain inputs (tests call them) ----

// Frequency of graph column x on the linear axis (0 .. rate/2) and on the logarithmic axis
// (rate/N .. rate/2, N = 2m).
double LinearColumnFrequency(int x, uint32_t samplesPerSec);
double LogColumnFrequency(int x, int m, uint32_t samplesPerSec);

// Bins [first, end) of m that the spectrum views draw in column x; where no bin lies in the
// column (fewer bins than columns), the bin drawn at or left of it.
struct BinRange {
    int first;
    int end;
};
BinRange LinearColumnBins(int x, int m);
BinRange LogColumnBins(int x, int m);

// The level meter's band (1 .. 10) whose slot holds client x, or 0.
int BandAtClientX(int clientX);

// ---- Drawing ----

// The readout panel: the peak panel's place and font, taller and wider for its four lines.
RECT ReadoutPanelRect(const Layout& layout);
// Draws `readout` with `label` as its first line in the DC's current font.
void DrawReadoutPanel(HDC dc, const Layout& layout, const Readout& readout, const char* label);
// The texts of the panel's lines 2 to 4 (line 1 is the label); false for kNone.
constexpr int kReadoutLines = 3;
constexpr size_t kReadoutTextSize = 32;
bool FormatReadout(const Readout& readout, char lines[kReadoutLines][kReadoutTextSize]);

// ---- What the window keeps ----

class CursorMemory {
public:
    struct FreeDeleter { void operator()(void* p) const; };
    CursorMemory() = default;
    CursorMemory(const CursorMemory&) = delete;
    CursorMemory& operator=(const CursorMemory&) = delete;

    // Room for the spectra of 2^fftExponent points, the chart's rows and a waveform; forgets
    // what was kept. False when memory runs out.
    [[nodiscard]] bool Prepare(int fftExponent);
    // Keeps what the readout needs of one analysed block: its waveform values, its spectrum
    // (re/im of the plan, when the result has one), a chart row when the chart showed it, and
    // its peak. `startSeconds`: where the block starts in the source.
    void Keep(const BlockResult& result, const double* re, const double* im, const uint8_t* block, int32_t byteCount,
              const SourceFormat& format, const Settings& settings, double startSeconds);
    // The chart was cleared: its rows are gone.
    void ForgetChartRows() { rowCount_ = 0; }
    // A new source: nothing kept.
    void Forget();

    bool Kept() const { return kept_; }
    // The view the last block was drawn in: what the graph area shows.
    ViewMode View() const { return view_; }
    ReadoutSource Source() const;
    // The peak of the last block with a spectrum (false: none since Prepare).
    bool HasPeak() const { return hasPeak_; }
    double PeakFrequency() const { return peakFrequency_; }
    double PeakPower() const { return peakPower_; }

private:
    void KeepChartRow(double startSeconds);
    std::unique_ptr<double, FreeDeleter> power_;
    std::unique_ptr<float, FreeDeleter> chartPower_;
    std::unique_ptr<double, FreeDeleter> rowSeconds_;
    std::unique_ptr<int16_t, FreeDeleter> samples_;
    int binCapacity_ = 0;
    ReadoutSource source_;
    bool kept_ = false;
    ViewMode view_ = kViewWaveform;
    int rowCount_ = 0;
    int newestRow_ = 0;
    bool hasPeak_ = false;
    double peakFrequency_ = 0.0;
    double peakPower_ = 0.0;
};
