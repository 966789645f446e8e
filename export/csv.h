// CSV of a block's spectrum, as the window's export and the batch analyser write it: comment
// lines naming the source and the analysis, the header `frequency_hz,power,db`, then one row per
// bin. Plain ASCII, CRLF line ends and "." as the decimal point whatever the locale. Also the
// names of the Options' choices as the comments and the batch analyser's options spell them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "analysis/analysis.h"
#include "core/types.h"
#include "export/exportfile.h"

// The choices of the Options dialog that the comments name.
enum class Choice : int { kWindow = 0, kSlope, kScale };
// The name of `value` ("unknown" for a value without one).
const char* ChoiceName(Choice choice, int32_t value);
// The value named `name`; false for a name the choice does not have.
bool ChoiceValue(Choice choice, const char* name, int32_t* value);

// printf of one number, with "." as the decimal point whatever the C locale says.
void FormatNumber(char* text, size_t size, const char* format, double value);

// `name` with every byte outside printable ASCII (and '%') written as %XX.
void AsciiName(const char* name, char* text, size_t size);

// One sixteenth of the 16-bit full scale: a BlockResult of this segment unit read its samples on
// the 16-bit scale; the level bars of 8-bit data count in units of 8.
constexpr uint32_t kSixteenBitSegmentUnit = 2048;

// Whole-frame size in bytes: the format's block align, or its channels' samples if larger.
uint32_t FrameBytes(const SourceFormat& format);

// What the comment lines name besides the spectrum itself.
struct SpectrumCsvInfo {
    const char* source;          // the file as named, or a word for the sound input
    SourceFormat format;
    Settings settings;           // FFT length, window, slope and scale of the analysis
    double startSeconds;         // where the block starts in the source
    bool sixteenBitScale;        // the samples were read on the 16-bit scale
};

// The comment lines and the header row (CRLF after each); returns the length, or 0 when they do
// not fit.
size_t SpectrumCsvPreamble(const SpectrumCsvInfo& info, char* text, size_t size);

// Writes the CSV of bins 0 .. N/2-1 of the spectrum in re/im (N from info.settings) to `path`.
[[nodiscard]] ExportResult WriteSpectrumCsv(const char* path, const SpectrumCsvInfo& info, const double* re,
                                            const double* im);
