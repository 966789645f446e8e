// The spectrum CSV: its comment lines, its rows, the locale-proof numbers and the choice names.
#include "export/csv.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/analysis.h"

namespace {

struct ChoiceRow {
    Choice choice;
    const char* name;
    int32_t value;
};
constexpr ChoiceRow kChoiceRows[] = {
    {Choice::kWindow, "hanning", kWindowHanning},   {Choice::kWindow, "hamming", kWindowHamming},
    {Choice::kWindow, "blackman", kWindowBlackman}, {Choice::kWindow, "triangle", kWindowTriangle},
    {Choice::kWindow, "rectangle", kWindowRectangle},
    {Choice::kSlope, "white", kSlopeWhite},         {Choice::kSlope, "pink", kSlopePink},
    {Choice::kScale, "standard", kScaleStandard},   {Choice::kScale, "doubled", kScaleDoubled},
};
const char kUnknownName[] = "unknown";

constexpr size_t kRowBytes = 128;
constexpr size_t kPreambleBytes = 2048;
constexpr size_t kNumberBytes = 64;
constexpr unsigned char kFirstPrintable = 0x20, kLastPrintable = 0x7E;
const char kHexDigits[] = "0123456789ABCDEF";
const char kHeaderRow[] = "frequency_hz,power,db\r\n";

// One number of a row, appended to `text` at `length` with a separator before all but the first.
size_t AppendNumber(char* text, size_t size, size_t length, const char* format, double value)
{
    if (length + 1 >= size) return length;
    if (length > 0) text[length++] = ',';
    FormatNumber(text + length, size - length, format, value);
    return length + std::strlen(text + length);
}
}  // namespace

const char* ChoiceName(Choice choice, int32_t value)
{
    for (const ChoiceRow& row : kChoiceRows) {
        if (row.choice == choice && row.value == value) return row.name;
    }
    return kUnknownName;
}

bool ChoiceValue(Choice choice, const char* name, int32_t* value)
{
    for (const ChoiceRow& row : kChoiceRows) {
        if (row.choice == choice && std::strcmp(row.name, name) == 0) {
            *value = row.value;
            return true;
        }
    }
    return false;
}

void FormatNumber(char* text, size_t size, const char* format, double value)
{
    if (size == 0) return;
    std::snprintf(text, size, format, value);
    const std::lconv* conventions = std::localeconv();
    const char point = conventions && conventions->decimal_point ? conventions->decimal_point[0] : '.';
    if (point == '.' || point == '\0') return;
    for (char* p = text; *p; ++p) {
        if (*p == point) *p = '.';
    }
}

void AsciiName(const char* name, char* text, size_t size)
{
    size_t length = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p && length + 4 <= size; ++p) {
        if (*p >= kFirstPrintable && *p <= kLastPrintable && *p != '%') {
            text[length++] = char(*p);
            continue;
        }
        text[length++] = '%';
        text[length++] = kHexDigits[*p >> 4];
        text[length++] = kHexDigits[*p & 0xF];
    }
    if (size > 0) text[length < size ? length : size - 1] = '\0';
}

uint32_t FrameBytes(const SourceFormat& format)
{
    const uint32_t samples = uint32_t(format.channels) * ((format.bitsPerSample + 7u) / 8u);
    return format.blockAlign > samples ? format.blockAlign : samples;
}

size_t SpectrumCsvPreamble(const SpectrumCsvInfo& info, char* text, size_t size)
{
    char source[kPathBufferSize * 3];
    AsciiName(info.source, source, sizeof source);
    char start[kNumberBytes];
    FormatNumber(start, sizeof start, "%.6f", info.startSeconds);
    const Settings& s = info.settings;
    const int written = std::snprintf(
        text, size,
        "# file: %s\r\n# rate_hz: %lu\r\n# channels: %u\r\n# fft_length: %d\r\n# window: %s\r\n"
        "# slope: %s\r\n# scale: %s\r\n# block_start_s: %s\r\n%s",
        source, static_cast<unsigned long>(info.format.samplesPerSec), unsigned(info.format.channels),
        PowerOfTwo(ClampFftExponent(s.fftExponent)), ChoiceName(Choice::kWindow, s.windowType),
        ChoiceName(Choice::kSlope, s.slopeReference), ChoiceName(Choice::kScale, s.amplitudeScale), start,
        kHeaderRow);
    return written > 0 && size_t(written) < size ? size_t(written) : 0;
}

ExportResult WriteSpectrumCsv(const char* path, const SpectrumCsvInfo& info, const double* re, const double* im)
{
    char text[kPreambleBytes];
    const size_t preamble = SpectrumCsvPreamble(info, text, sizeof text);
    AtomicFile file;
    ExportResult result = file.Open(path);
    if (result != ExportResult::kOk) return result;
    if (preamble == 0) return ExportResult::kNameTooLong;
    (void)file.Write(text, preamble);
    const int n = PowerOfTwo(ClampFftExponent(info.settings.fftExponent));
    const double rate = info.format.samplesPerSec;
    for (int k = 0; k < n / 2; ++k) {
        const double power = re[k] * re[k] + im[k] * im[k];
        char row[kRowBytes];
        size_t length = AppendNumber(row, sizeof row, 0, "%.6f", k * rate / n);
        length = AppendNumber(row, sizeof row, length, "%.9g", power);
        length = AppendNumber(row, sizeof row, length,
                              "%.4f", BinDecibels(power, k, n, info.sixteenBitScale, info.settings.slopeReference));
        std::snprintf(row + length, sizeof row - length, "\r\n");
        if (!file.WriteText(row)) break;
    }
    return file.Commit();
}
