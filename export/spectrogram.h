// The spectrogram of a whole file as the batch analyser draws it: rows of a frequency axis
// (linear or logarithmic, over a chosen range) mapped onto the FFT's bins, columns mapped onto
// the blocks, each pixel the display byte the chart view computes (0 the strongest, 255 the
// floor), coloured through a palette of 256 entries (the chart view's grey ramp or a colour map
// ordered by lightness).
//
// Row mapping: with H rows over LO..HI, row r (0 = top) covers f(H-1-r) .. f(H-r), where
// f(i) = LO + (HI-LO) i/H on a linear axis and LO (HI/LO)^(i/H) on a log axis, each row half
// open at its top edge except the top row. A row shows the highest power of the bins whose centre
// (k rate/N) lies in it, or, when none does, the bin nearest to its centre frequency f(i + 1/2).
// Column mapping: with W columns over B blocks, block b shows in the columns from ceil(bW/B) up to
// (not including) ceil((b+1)W/B), or in column floor(bW/B) when that span is empty, so each column
// shows the highest power of the blocks it covers.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kSpectrogramMaxRows = 1024;    // the default height's limit
constexpr int kSpectrogramMinSize = 16;      // the limits of an explicit width or height
constexpr int kSpectrogramMaxSize = 8192;
constexpr uint8_t kSpectrogramFloorByte = 255;

enum class SpectrogramPaletteKind : int { kGrey = 0, kColour };

struct FrequencyAxis {
    double low = 0.0, high = 0.0;   // Hz
    bool log = false;
};

// Frequency at `position` along the axis (0 = low, 1 = high), and the reverse.
double AxisFrequency(const FrequencyAxis& axis, double position);
double AxisPosition(const FrequencyAxis& axis, double hz);

// The first bin of an n-point FFT at `rate` whose centre (k rate/n) lies at or above `hz` (a
// centre within rounding of `hz` counts).
int FirstBinFrom(double hz, int n, double rate);

// The rows' bins for one axis, FFT length and rate.
class RowBins {
public:
    // Maps `rows` rows; false without memory.
    [[nodiscard]] bool Map(const FrequencyAxis& axis, int rows, int n, double rate);
    int Rows() const { return rows_; }
    // Bins first .. end-1 of row `row` (0 = top).
    int First(int row) const { return spans_[size_t(row) * 2]; }
    int End(int row) const { return spans_[size_t(row) * 2 + 1]; }

private:
    std::vector<int> spans_;
    int rows_ = 0;
};

// Bins 0 .. n/2-1 whose centre lies on the axis (the default height before its limit).
int BinsOnAxis(const FrequencyAxis& axis, int n, double rate);

// The columns block `block` of `blocks` shows in a picture `width` columns wide.
void BlockColumns(uint64_t block, uint64_t blocks, int width, int* first, int* end);

// What a column needs of the analysis besides the spectrum.
struct ColumnScale {
    int n = 0;
    bool sixteenBitScale = true;
    int slopeReference = 0;
    int amplitudeScale = 0;
};

// Lowers each row of one column of an 8-bit picture (top row at `top`, `stride` bytes between
// rows) to the byte of its strongest bin in re/im, so columns that cover several blocks keep the
// highest power. The picture starts filled with kSpectrogramFloorByte.
void SpectrogramColumn(const double* re, const double* im, const ColumnScale& scale, const RowBins& rows,
                       uint8_t* top, int stride);

// The 256 palette entries (0x00RRGGBB) of the display bytes: byte 0 the brightest.
void SpectrogramPalette(SpectrogramPaletteKind kind, uint32_t* palette);
