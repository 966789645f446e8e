// The octave and third-octave band table, the bins of each band and the rows of band levels.
#include "export/bands.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "export/csv.h"
#include "export/spectrogram.h"

namespace {

// Nominal centres of the third-octave bands from 25 Hz (x = -16) to 20 kHz (x = 13); every third
// one from 31.5 Hz (x = -15) is an octave band.
const char* const kThirdNames[] = {"25",   "31.5", "40",   "50",   "63",  "80",   "100", "125",  "160", "200",
                                   "250",  "315",  "400",  "500",  "630", "800",  "1k",  "1.25k", "1.6k", "2k",
                                   "2.5k", "3.15k", "4k",  "5k",   "6.3k", "8k",  "10k", "12.5k", "16k", "20k"};
constexpr int kFirstThirdIndex = -16;
constexpr int kThirdsPerOctave = 3;
constexpr int kFirstOctaveOffset = 1;     // 31.5 Hz among the thirds
constexpr double kReferenceHz = 1000.0;
constexpr double kOctaveRatioExponent = 0.3;   // log10 of the base-10 octave ratio
}  // namespace

BandSet BandsBelowNyquist(BandKind kind, int n, double rate)
{
    BandSet set;
    const int step = kind == BandKind::kOctave ? kThirdsPerOctave : 1;
    const double halfWidth = kOctaveRatioExponent * step / kThirdsPerOctave / 2.0;   // decades from centre to edge
    const int names = int(sizeof kThirdNames / sizeof kThirdNames[0]);
    for (int t = kind == BandKind::kOctave ? kFirstOctaveOffset : 0; t < names; t += step) {
        const double centre = kReferenceHz * std::pow(10.0, kOctaveRatioExponent * (t + kFirstThirdIndex) / kThirdsPerOctave);
        Band band = {kThirdNames[t], centre * std::pow(10.0, -halfWidth), centre * std::pow(10.0, halfWidth), 0, 0};
        if (band.upper >= rate / 2.0) break;
        band.first = FirstBinFrom(band.lower, n, rate);
        band.end = FirstBinFrom(band.upper, n, rate);
        if (band.end < band.first) band.end = band.first;
        set.bands[set.count++] = band;
    }
    return set;
}

void FormatBandHeader(const BandSet& set, char* text, size_t size)
{
    std::snprintf(text, size, "time_s");
    for (int b = 0; b < set.count; ++b) {
        const size_t length = std::strlen(text);
        std::snprintf(text + length, size - length, ",%s", set.bands[b].name);
    }
    const size_t length = std::strlen(text);
    std::snprintf(text + length, size - length, "\r\n");
}

void FormatBandRow(const BandSet& set, const BandScale& scale, double seconds, const double* re, const double* im,
                   char* text, size_t size)
{
    FormatNumber(text, size, "%.6f", seconds);
    const bool pink = scale.slopeReference == kSlopePink;
    for (int b = 0; b < set.count; ++b) {
        size_t length = std::strlen(text);
        if (length + 1 >= size) return;
        text[length++] = ',';
        text[length] = '\0';
        const Band& band = set.bands[b];
        if (band.first == band.end) continue;
        // The pink slope weights each power by its bin, as the view does; the dB of bin 1 then
        // applies the rest of the weight.
        double sum = 0.0;
        for (int k = band.first; k < band.end; ++k) sum += (re[k] * re[k] + im[k] * im[k]) * (pink ? k : 1);
        FormatNumber(text + length, size - length, "%.4f",
                     BinDecibels(sum, 1, scale.n, scale.sixteenBitScale, scale.slopeReference));
    }
    const size_t length = std::strlen(text);
    std::snprintf(text + length, size - length, "\r\n");
}
