// The exports: the batch analyser on generated files (blocks, one spectrum, the spectrogram, every
// command's refusals and bad arguments), the file written under a temporary name, and File >
// Export of the real window (its menu item through a run, the CSV against the peak panel, the
// pictures against the client area).
#include <gtest/gtest.h>
#include <objidl.h>
#include <gdiplus.h>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <random>
#include <sstream>

#include "tests/support/batch_run.h"
#include "export/labelled.h"
#include "export/spectrogram.h"
#include "export/exportfile.h"
#include "resources/resource.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"

namespace {

constexpr int kRate = 44100;   // the frames of a second

// The lines of a CSV that ends each with CRLF, each split at its commas.
using Rows = std::vector<std::vector<std::string>>;
Rows CsvRows(const std::string& text)
{
    Rows rows;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::stringstream fields(text.substr(at, end - at) + ",");
        rows.emplace_back();
        for (std::string field; std::getline(fields, field, ',');) rows.back().push_back(field);
    }
    return rows;
}

// The row of the highest power among the spectrum rows from `first` on.
size_t PeakRow(const Rows& rows, size_t first)
{
    size_t peak = first;
    for (size_t r = first; r < rows.size(); ++r) peak = std::stod(rows[r][1]) > std::stod(rows[peak][1]) ? r : peak;
    return peak;
}

// A picture file decoded by the platform (GDI+) into 0xXXRRGGBB pixels (the top byte unused), top
// row first.
struct Decoded {
    UINT width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(UINT x, UINT y) const { return pixels[y * width + x]; }
};
Decoded Decode(const std::string& path)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    Decoded picture;
    {
        Gdiplus::Bitmap bitmap(std::wstring(path.begin(), path.end()).c_str());
        picture = {bitmap.GetWidth(), bitmap.GetHeight(), std::vector<uint32_t>(bitmap.GetWidth() * bitmap.GetHeight())};
        Gdiplus::BitmapData data = {picture.width, picture.height, INT(picture.width * 4), PixelFormat32bppRGB, picture.pixels.data(), 0};
        const Gdiplus::Rect all(0, 0, INT(picture.width), INT(picture.height));
        bitmap.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppRGB, &data);
        bitmap.UnlockBits(&data);
    }
    Gdiplus::GdiplusShutdown(token);
    return picture;
}

// The brightest row of column x.
UINT BrightestRow(const Decoded& picture, UINT x)
{
    UINT brightest = 0;
    for (UINT y = 0; y < picture.height; ++y) brightest = picture.At(x, y) > picture.At(x, brightest) ? y : brightest;
    return brightest;
}

// 16-bit mono, 440 Hz for a second, then 1000 Hz, then 3000 Hz.
const double kSteps[] = {440, 1000, 3000};
std::string StepToneFile()
{
    std::vector<int> samples;
    for (double hz : kSteps) {
        const std::vector<int> second = Sine(8000, hz, kRate, kRate);
        samples.insert(samples.end(), second.begin(), second.end());
    }
    return WriteTempFile("steps.wav", PcmFile(1, 44100, 16, Samples16(samples)));
}

// The tone of a block of 8192 frames whose first 4096 (what an FFT of 4096 reads) lie in one
// second; 0 for a block across a step.
double ToneOfBlock(size_t block)
{
    const size_t first = block * 8192, last = first + 4095;
    return first / kRate == last / kRate ? kSteps[first / kRate] : 0.0;
}

TEST(BatchBlocks, EveryBlockOfAStepToneHasItsSecondsFrequencyAndStartTime)
{
    const std::string out = TempDirectory() + "steps-blocks.csv";
    ASSERT_EQ(kBatchDone, Batch({"blocks", StepToneFile(), out}).status);
    const Rows rows = CsvRows(ReadText(out));
    ASSERT_EQ(18u, rows.size());                                       // header and ceil(3 s / 8192) blocks
    EXPECT_EQ((std::vector<std::string>{"block", "time_s", "peak_hz", "peak_power", "level_left", "level_right"}), rows[0]);
    for (size_t b = 0; b + 1 < rows.size(); ++b) {
        EXPECT_EQ(std::to_string(b), rows[b + 1][0]);
        EXPECT_NEAR(b * 8192.0 / kRate, std::stod(rows[b + 1][1]), 1e-6) << b;
        if (ToneOfBlock(b) > 0) {
            EXPECT_NEAR(ToneOfBlock(b), std::stod(rows[b + 1][2]), kRate / 4096.0) << b;
        }
    }
}

TEST(BatchBlocks, LevelsArePeakMagnitudesOnTheSixteenBitScaleAndTheRightOneOnlyForTwoChannels)
{
    // 11025 Hz at 44100 Hz samples the sine at its peaks exactly.
    const std::vector<int> tone16 = Sine(8000, 11025, kRate, 8192), tone8 = Sine(100, 11025, kRate, 8192);
    std::vector<int> leftOnly;
    for (int v : tone16) leftOnly.insert(leftOnly.end(), {v, 0});
    const struct { std::vector<uint8_t> file; const char* left; const char* right; } cases[] = {
        {PcmFile(1, 44100, 16, Samples16(tone16)), "8000", ""},
        {PcmFile(2, 44100, 16, Samples16(leftOnly)), "8000", "0"},
        {PcmFile(1, 44100, 8, Samples8(tone8)), "25600", ""},       // 100 x 256
    };
    for (const auto& c : cases) {
        const std::string out = TempDirectory() + "levels.csv";
        ASSERT_EQ(kBatchDone, Batch({"blocks", WriteTempFile("levels.wav", c.file), out}).status);
        const Rows rows = CsvRows(ReadText(out));
        ASSERT_EQ(2u, rows.size());
        EXPECT_EQ(c.left, rows[1][4]);
        EXPECT_EQ(c.right, rows[1][5]);
    }
}

// What the analyser cannot run ends with one line saying why and prints no figures: bad arguments
// (and --at past the data) with status 1, naming the option where one value is wrong (the picture's
// on a file of 8000 Hz: its frequencies end at 4000 Hz); files the reader refuses, and an output
// that cannot be written, with status 2 and the window's text for them (the reader's table has
// every refusal; these differ here: no device judges the format). --help asks for the usage.
TEST(BatchFailures, BadArgumentsGiveStatusOneAndRefusedFilesStatusTwoEachWithOneLine)
{
    const std::string in = WriteTempFile("args.wav", PcmFile(1, 44100, 16, Samples16(Sine(8000, 1000, kRate, 8192))));
    const std::string out = TempDirectory() + "args.csv", text = WriteTempFile("text.wav", {'t', 'e', 'x', 't'});
    const std::string speech = WriteTempFile("speech.wav", RiffFile({{"fmt ", FmtBody(0x22, 1, 44100, 16)}, {"data", std::vector<uint8_t>(64, 0)}}));
    const std::string twelveBit = WriteTempFile("12bit.wav", PcmFile(1, kRate, 12, Samples16(Sine(800, 1000, kRate, 4410))));
    const std::string in8k = WriteTempFile("bad8k.wav", PcmFile(1, 8000, 16, Samples16(Sine(8000, 1000, 8000, 4096))));
    const auto picture = [&](std::vector<std::string> options) {
        options.insert(options.begin(), {"spectrogram", in8k, TempDirectory() + "bad.png"});
        return options;
    };
    const struct { std::vector<std::string> arguments; UINT refusal = 0; const char* named = ""; } cases[] = {
        {{}}, {{"analyse", in, out}}, {{"blocks", in}}, {{"blocks", in, out, "more"}}, {{"blocks", in, out, "--fft", "7"}},
        {{"blocks", in, out, "--fft", "17"}}, {{"blocks", in, out, "--fft"}}, {{"blocks", in, out, "--window", "kaiser"}},
        {{"blocks", in, out, "--deltatime", "1000"}}, {{"blocks", in, out, "--speed", "2"}}, {{"blocks", in, out, "--at", "0"}},
        {{"spectrum", in, out, "--at", "-1"}}, {{"spectrum", in, out, "--at", "1"}},
        {{"loudness"}}, {{"loudness", in, "extra.csv"}}, {{"loudness", in, "--csv"}}, {{"blocks", in, out, "--csv", "series.csv"}},
        {{"blocks", text, out}, IDS_NOT_WAVE}, {{"blocks", speech, out}, IDS_NOT_PCM},
        {{"spectrum", TempDirectory() + "missing.wav", out}, IDS_CANNOT_OPEN_FILE},
        {{"loudness", text}, IDS_NOT_WAVE}, {{"loudness", twelveBit}, IDS_LOUDNESS_UNSUPPORTED},
        {{"loudness", in, "--csv", TempDirectory() + "no_such_folder\\series.csv"}, IDS_EXPORT_NOT_WRITABLE},
        {picture({"--range", "2000:1000"}), 0, "--range"}, {picture({"--range", "1000:1000"}), 0, "--range"},
        {picture({"--range", "0:4001"}), 0, "--range"}, {picture({"--range", "0:1000", "--log"}), 0, "--range"},
        {picture({"--range", "100"}), 0, "--range"}, {picture({"--width", "15"}), 0, "--width"}, {picture({"--width", "8193"}), 0, "--width"},
        {picture({"--height", "15"}), 0, "--height"}, {picture({"--height", "8193"}), 0, "--height"},
        {picture({"--palette", "red"}), 0, "--palette"}, {picture({"--bands", "third"}), 0, "--bands"}, {{"blocks", in8k, out, "--log"}, 0, "--log"}};
    for (const auto& c : cases) {
        const BatchOutcome outcome = Batch(c.arguments);
        EXPECT_EQ(c.refusal ? kBatchFileRefused : kBatchBadArgument, outcome.status) << &c - cases;
        EXPECT_NE('\0', outcome.message[0]) << &c - cases;
        EXPECT_EQ(std::string::npos, std::string(outcome.message).find('\n')) << &c - cases;
        EXPECT_NE(std::string::npos, std::string(outcome.message).find(c.refusal ? Text(c.refusal) : c.named)) << outcome.message;
        EXPECT_EQ('\0', outcome.report[0]) << &c - cases;
    }
    const BatchOutcome help = Batch({"blocks", "--help"});
    EXPECT_EQ(kBatchDone, help.status);
    EXPECT_TRUE(help.usage);
}

// The spectrum CSV of the block at 1 s under a comma locale: its comment lines, one ASCII row per
// bin with CRLF and "." decimal points, the bin frequencies at the actual rate, the peak at the tone.
TEST(BatchSpectrum, TheBlockAtTheGivenSecondIsWrittenWithItsAnalysisInPlainAscii)
{
    const std::string in = WriteTempFile("音.wav", PcmFile(1, 44100, 16, Samples16(Sine(8000, 1000, kRate, 2 * kRate))));
    const std::string out = TempDirectory() + "spectrum.csv";
    ASSERT_NE(nullptr, std::setlocale(LC_ALL, "French"));
    const BatchOutcome outcome = Batch({"spectrum", in, out, "--at", "1", "--fft", "13", "--window", "blackman",
                                        "--slope", "pink", "--scale", "doubled"});
    std::setlocale(LC_ALL, "C");
    ASSERT_EQ(kBatchDone, outcome.status) << outcome.message;
    const std::string text = ReadText(out);
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; }));
    const Rows rows = CsvRows(text);
    ASSERT_EQ(9u + 4096u, rows.size());
    EXPECT_NE(std::string::npos, rows[0][0].find("%89%B9.wav"));    // 音 in code page 932
    EXPECT_EQ((Rows{{"# rate_hz: 44100"}, {"# channels: 1"}, {"# fft_length: 8192"}, {"# window: blackman"}, {"# slope: pink"},
                    {"# scale: doubled"}, {"# block_start_s: 1.000000"}, {"frequency_hz", "power", "db"}}),
              Rows(rows.begin() + 1, rows.begin() + 9));
    EXPECT_TRUE(std::all_of(rows.begin() + 9, rows.end(), [](const std::vector<std::string>& row) { return row.size() == 3; }));
    EXPECT_EQ("5.383301", rows[10][0]);                              // bin 1: 44100 / 8192
    EXPECT_NEAR(1000.0, std::stod(rows[PeakRow(rows, 9)][0]), kRate / 8192.0);
}

TEST(BatchSpectrogram, HasAColumnPerBlockAndARowPerBinPairWithEachStepsToneBrightest)
{
    const std::string out = TempDirectory() + "steps.png";
    ASSERT_EQ(kBatchDone, Batch({"spectrogram", StepToneFile(), out, "--bare"}).status);
    const Decoded picture = Decode(out);
    ASSERT_EQ(17u, picture.width);
    ASSERT_EQ(1024u, picture.height);                                // 2048 bins in pairs
    for (UINT x = 0; x < picture.width; ++x) {
        if (ToneOfBlock(x) == 0) continue;
        EXPECT_NEAR(1023 - ToneOfBlock(x) * 2048 / kRate, BrightestRow(picture, x), 1.0) << x;   // a row per bin pair, the highest on top
    }
}

// 8000 Hz 16-bit mono for 1.5 s: 1000 Hz (bin 128 of 1024) loud, 2750 Hz softer, a little
// deterministic noise. tests/data holds the plain pictures the batch analyser made of it before
// rows could combine bins by their highest power.
std::string BareReferenceFile()
{
    std::vector<int> samples = Sine(6000, 1000, 8000, 12000);
    const std::vector<int> second = Sine(1500, 2750, 8000, 12000);
    uint32_t seed = 12345;
    for (size_t i = 0; i < samples.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        samples[i] += second[i] + int(seed >> 24) - 128;
    }
    return WriteTempFile("reference.wav", PcmFile(1, 8000, 16, Samples16(samples)));
}

TEST(BatchSpectrogram, BareIsByteForByteThePictureOfBeforeWhereEachRowHoldsOneBin)
{
    const struct { const char* expected; std::vector<std::string> options; } cases[] = {
        {"bare-fft10.png", {"--fft", "10", "--deltatime", "512"}},
        {"bare-fft8-pink.png", {"--fft", "8", "--deltatime", "1024", "--window", "blackman", "--slope", "pink", "--scale", "doubled"}},
    };
    const std::string in = BareReferenceFile();
    for (const auto& c : cases) {
        const std::string out = TempDirectory() + "bare.png";
        ASSERT_EQ(kBatchDone, Batch({"spectrogram", in, out, "--bare"}, c.options).status) << c.expected;
        const std::string expected = ReadText(ProgramFolder() + "data\\" + c.expected);
        ASSERT_FALSE(expected.empty()) << c.expected;
        EXPECT_TRUE(expected == ReadText(out)) << c.expected;
    }
}

// A 1000 Hz tone on bin 128 of an FFT of 1024 at 8000 Hz lands in row H-1-floor(H p), where p
// is its place on the axis (linear or log) between the range's ends, and keeps the level of its
// bin where the row combines several bins.
TEST(BatchSpectrogram, AToneLandsInTheRowTheAxisMappingGivesAtItsBinsLevel)
{
    const std::string in = WriteTempFile("tone8k.wav", PcmFile(1, 8000, 16, Samples16(Sine(8000, 1000, 8000, 8000))));
    const struct { std::vector<std::string> options; double low, high; bool log; int rows; } cases[] = {
        {{}, 0, 4000, false, 512},                                          // a row per bin
        {{"--log"}, 7.8125, 4000, true, 511},                              // bins 1 .. 511
        {{"--range", "500:1500"}, 500, 1500, false, 129},                  // bins 64 .. 192
        {{"--range", "500:1500", "--log", "--height", "64"}, 500, 1500, true, 64},
        {{"--range", "900:3000", "--height", "16"}, 900, 3000, false, 16},  // 17 bins a row
    };
    uint32_t toneLevel = 0;   // of the first case, a row per bin
    for (const auto& c : cases) {
        const std::string out = TempDirectory() + "rows.png";
        ASSERT_EQ(kBatchDone, Batch({"spectrogram", in, out, "--bare", "--fft", "10", "--deltatime", "2048"}, c.options).status) << &c - cases;
        const Decoded picture = Decode(out);
        ASSERT_EQ(UINT(c.rows), picture.height) << &c - cases;
        const double place = c.log ? std::log(1000 / c.low) / std::log(c.high / c.low) : (1000 - c.low) / (c.high - c.low);
        const UINT expected = UINT(c.rows - 1 - int(std::floor(c.rows * place)));
        for (UINT x = 0; x + 1 < picture.width; ++x) EXPECT_EQ(expected, BrightestRow(picture, x)) << &c - cases << " column " << x;
        if (&c == cases) toneLevel = picture.At(1, expected);
        EXPECT_EQ(toneLevel, picture.At(1, expected)) << &c - cases;
    }
}

// Fewer columns than blocks: a column shows the strongest of its blocks, so a tone in one block
// of four does not fade.
TEST(BatchSpectrogram, ANarrowPictureKeepsATonePresentInOneOfAColumnsBlocks)
{
    std::vector<int> samples(16 * 2048, 0);
    const std::vector<int> burst = Sine(8000, 1000, 8000, 2048);
    std::copy(burst.begin(), burst.end(), samples.begin() + 5 * 2048);   // blocks 6 to 8 of 23 (1486 frames each)
    const std::string in = WriteTempFile("burst.wav", PcmFile(1, 8000, 16, Samples16(samples)));
    const std::string wide = TempDirectory() + "wide.png", narrow = TempDirectory() + "narrow.png";
    ASSERT_EQ(kBatchDone, Batch({"spectrogram", in, wide, "--bare", "--fft", "10"}).status);
    ASSERT_EQ(kBatchDone, Batch({"spectrogram", in, narrow, "--bare", "--fft", "10", "--width", "16"}).status);
    const Decoded all = Decode(wide), few = Decode(narrow);
    ASSERT_EQ(16u, few.width);
    uint32_t loudest = 0, loudestNarrow = 0;
    for (UINT x = 0; x < all.width; ++x) loudest = std::max(loudest, all.At(x, 383) & 0xFF);
    for (UINT x = 0; x < few.width; ++x) loudestNarrow = std::max(loudestNarrow, few.At(x, 383) & 0xFF);
    EXPECT_GT(loudest, 128u);
    EXPECT_EQ(loudest, loudestNarrow);
}

// The labelled picture holds the plain one unchanged inside a black frame whose corner lies at a
// fixed offset.
TEST(BatchSpectrogram, LabelledPictureHasThePlainOneInsideAFrameAtAFixedOffset)
{
    const std::string in = BareReferenceFile(), bare = TempDirectory() + "plain.png", labelled = TempDirectory() + "labelled.png";
    for (const char* palette : {"grey", "colour"}) {
        ASSERT_EQ(kBatchDone, Batch({"spectrogram", in, bare, "--bare", "--fft", "10", "--deltatime", "512", "--palette", palette}).status);
        ASSERT_EQ(kBatchDone, Batch({"spectrogram", in, labelled, "--fft", "10", "--deltatime", "512", "--palette", palette}).status);
        const Decoded plot = Decode(bare), picture = Decode(labelled);
        const UINT left = kLabelledPlotLeft, top = kLabelledPlotTop;
        ASSERT_GT(picture.width, left + plot.width + 1) << palette;
        ASSERT_GT(picture.height, top + plot.height + 1) << palette;
        for (UINT y = top - 1; y <= top + plot.height; ++y)
            for (UINT x = left - 1; x <= left + plot.width; ++x) {   // the plot's pixels, and black around them
                const bool inPlot = x >= left && x < left + plot.width && y >= top && y < top + plot.height;
                ASSERT_EQ(inPlot ? plot.At(x - left, y - top) & 0xFFFFFF : 0u, picture.At(x, y) & 0xFFFFFF) << palette << " " << x << "," << y;
            }
    }
}

// Relative luminance of an sRGB colour 0x00RRGGBB.
double Luminance(uint32_t rgb)
{
    const double weights[] = {0.0722, 0.7152, 0.2126};   // blue, green, red
    double y = 0.0;
    for (int c = 0; c < 3; ++c) {
        const double v = ((rgb >> (8 * c)) & 0xFF) / 255.0;
        y += weights[c] * (v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
    }
    return y;
}

TEST(SpectrogramPalette, ColourMapRunsFromBlackToWhiteEverStepLighter)
{
    uint32_t palette[256];
    SpectrogramPalette(SpectrogramPaletteKind::kColour, palette);
    EXPECT_EQ(0xFFFFFFu, palette[0]);     // byte 0 is the strongest
    EXPECT_EQ(0u, palette[255]);
    for (int v = 1; v < 256; ++v) EXPECT_LT(Luminance(palette[v]), Luminance(palette[v - 1])) << v;
    int coloured = 0;
    for (uint32_t entry : palette) coloured += ((entry >> 16) & 0xFF) != (entry & 0xFF);
    EXPECT_GT(coloured, 128);
}

// The bands CSV of a file: the header's band names and each band's level averaged in power over
// the blocks that lie wholly in the file (the last, partial one left out).
struct BandLevels {
    std::vector<std::string> names;
    std::vector<double> db;
};
BandLevels AverageBands(const std::string& in, const std::vector<std::string>& options)
{
    const std::string out = TempDirectory() + "bands.csv";
    EXPECT_EQ(kBatchDone, Batch({"bands", in, out}, options).status);
    const Rows rows = CsvRows(ReadText(out));
    BandLevels levels;
    if (rows.size() < 2) return levels;
    levels.names.assign(rows[0].begin() + 1, rows[0].end());
    std::vector<double> power(levels.names.size(), 0.0);
    const size_t blocks = rows.size() > 2 ? rows.size() - 2 : 1;
    for (size_t r = 1; r <= blocks; ++r) {
        for (size_t b = 0; b < power.size() && b + 1 < rows[r].size(); ++b) {
            if (!rows[r][b + 1].empty()) power[b] += std::pow(10.0, std::stod(rows[r][b + 1]) / 10.0) / blocks;
        }
    }
    for (double p : power) levels.db.push_back(p > 0 ? 10.0 * std::log10(p) : -999.0);
    return levels;
}

double LevelOf(const BandLevels& levels, const std::string& name)
{
    const auto at = std::find(levels.names.begin(), levels.names.end(), name);
    return at == levels.names.end() ? -999.0 : levels.db[size_t(at - levels.names.begin())];
}

TEST(BatchBands, AKilohertzToneFillsTheKilohertzBandWithItsNeighboursFortyDecibelsBelow)
{
    const std::string in = WriteTempFile("1k.wav", PcmFile(1, 44100, 16, Samples16(Sine(8000, 1000, kRate, kRate))));
    const struct { const char* kind; const char* below; const char* above; } cases[] = {
        {"octave", "500", "2k"}, {"third", "800", "1.25k"}};
    for (const auto& c : cases) {
        const BandLevels levels = AverageBands(in, {"--bands", c.kind});
        const double tone = LevelOf(levels, "1k");
        EXPECT_EQ(tone, *std::max_element(levels.db.begin(), levels.db.end())) << c.kind;
        EXPECT_LE(LevelOf(levels, c.below), tone - 40.0) << c.kind;
        EXPECT_LE(LevelOf(levels, c.above), tone - 40.0) << c.kind;
    }
}

// 20 s of noise, white or through a pink filter (-3 dB per octave within 0.05 dB above 10 Hz).
std::string NoiseFile(bool pink)
{
    std::mt19937 generator(2024);
    std::normal_distribution<double> white(0.0, 2000.0);
    std::vector<int> samples(20 * kRate);
    double b[7] = {};
    for (int& v : samples) {
        const double w = white(generator);
        if (!pink) {
            v = int(std::lround(w));
            continue;
        }
        b[0] = 0.99886 * b[0] + w * 0.0555179;
        b[1] = 0.99332 * b[1] + w * 0.0750759;
        b[2] = 0.96900 * b[2] + w * 0.1538520;
        b[3] = 0.86650 * b[3] + w * 0.3104856;
        b[4] = 0.55000 * b[4] + w * 0.5329522;
        b[5] = -0.7616 * b[5] - w * 0.0168980;
        v = int(std::lround((b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362) * 0.25));
        b[6] = w * 0.115926;
    }
    return WriteTempFile(pink ? "pink.wav" : "white.wav", PcmFile(1, 44100, 16, Samples16(samples)));
}

// Octave bands from 63 Hz: white noise rises 3 dB per octave, pink noise stays level, each band
// within 1 dB of that line through their mean.
TEST(BatchBands, NoiseOctaveLevelsRiseThreeDecibelsPerOctaveForWhiteAndStayLevelForPink)
{
    for (bool pink : {false, true}) {
        const BandLevels levels = AverageBands(NoiseFile(pink), {"--fft", "14", "--deltatime", "8192"});
        const std::vector<std::string> octaves = {"63", "125", "250", "500", "1k", "2k", "4k", "8k"};
        std::vector<double> flattened;
        for (size_t o = 0; o < octaves.size(); ++o)
            flattened.push_back(LevelOf(levels, octaves[o]) - (pink ? 0.0 : 10.0 * std::log10(2.0) * o));
        double mean = 0.0;
        for (double level : flattened) mean += level / flattened.size();
        for (size_t o = 0; o < octaves.size(); ++o) EXPECT_NEAR(mean, flattened[o], 1.0) << (pink ? "pink " : "white ") << octaves[o];
    }
}

// Only bands whose upper edge lies below half the rate are columns; a band without a bin is empty.
TEST(BatchBands, BandsAboveHalfTheRateAreAbsentAndBandsWithoutBinsEmpty)
{
    const struct { uint32_t rate; const char* kind; const char* fft; const char* last; std::vector<std::string> empty; } cases[] = {
        {48000, "octave", "12", "16k", {}}, {44100, "octave", "12", "8k", {}}, {44100, "third", "12", "16k", {"25"}},
        {32000, "octave", "12", "8k", {}}, {32000, "third", "12", "12.5k", {}},
        {44100, "octave", "8", "8k", {"31.5", "63"}}};   // bins 172 Hz apart
    for (const auto& c : cases) {
        const std::string in = WriteTempFile("rate.wav", PcmFile(1, c.rate, 16, Samples16(Sine(8000, 1000, c.rate, 8192))));
        const std::string out = TempDirectory() + "edges.csv";
        ASSERT_EQ(kBatchDone, Batch({"bands", in, out, "--bands", c.kind, "--fft", c.fft}).status);
        const Rows rows = CsvRows(ReadText(out));
        ASSERT_GE(rows.size(), 2u);
        EXPECT_EQ("time_s", rows[0].front());
        EXPECT_EQ(c.last, rows[0].back()) << c.rate << " " << c.kind;
        EXPECT_EQ(rows[0].size(), rows[1].size());
        for (size_t b = 1; b < rows[0].size() && b < rows[1].size(); ++b)
            EXPECT_EQ(std::count(c.empty.begin(), c.empty.end(), rows[0][b]) == 1, rows[1][b].empty()) << rows[0][b];
    }
}

TEST(ExportFile, WritesOnlyAtCommitAndLeavesNoTemporaryFileBehind)
{
    // A folder of this run's own, so no file an interrupted earlier run left can count.
    const std::string name = "atomic" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    const std::string folder = TempDirectory() + name + "\\", path = folder + "out.csv";
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteTempFile((name + "\\out.csv").c_str(), {'o', 'l', 'd'});
    for (bool commit : {false, true}) {
        AtomicFile file;
        ASSERT_EQ(ExportResult::kOk, file.Open(path.c_str()));
        EXPECT_TRUE(file.WriteText("new"));
        EXPECT_EQ("old", ReadText(path));
        if (commit) {
            EXPECT_EQ(ExportResult::kOk, file.Commit());
        }
    }
    EXPECT_EQ("new", ReadText(path));
    WIN32_FIND_DATAA found;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA((folder + "*.tmp").c_str(), &found));
    AtomicFile refused;
    EXPECT_EQ(ExportResult::kNotWritable, refused.Open((folder + "missing\\out.csv").c_str()));
    EXPECT_EQ(ExportResult::kNameTooLong, refused.Open((folder + std::string(300, 'a') + ".csv").c_str()));
}

// ---- File > Export in the real window ----

constexpr int kFileNameBox = 0x47C, kFileTypeList = 0x470;   // cmb13 and cmb1 of the save dialog

// File > Export with `path` typed into the save dialog and OK pressed; `types` gets the dialog's
// file types. Message boxes shown after OK are captured. False when the dialog did not show or
// stayed open for 10 s.
bool ExportTo(const std::string& path, std::vector<std::string>* types = nullptr)
{
    return WithDialog(IDM_EXPORT, [&](HWND dialog) {
        char text[128];
        for (LRESULT i = 0; types && SendDlgItemMessageA(dialog, kFileTypeList, CB_GETLBTEXT, i, LPARAM(text)) > 0; ++i)
            types->push_back(text);
        SetDlgItemTextA(dialog, kFileNameBox, path.c_str());
        BeginBoxCapture();   // not before: the save dialog's own labels would pass for a message box
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
}

class ExportWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, app = OpenMainWindow()); }
    void TearDown() override
    {
        CloseMainWindow();
        EndBoxCapture();
    }
    // Opens a 16-bit mono file of `seconds` of a 1 kHz tone as the Open command does.
    bool Choose(int seconds)
    {
        const std::vector<int> tone = Sine(8000, 1000, kRate, seconds * kRate);
        std::snprintf(app->fileName, sizeof app->fileName, "%s", WriteTempFile("export.wav", PcmFile(1, 44100, 16, Samples16(tone))).c_str());
        return SelectFileSource(*app);
    }
    // Opens a second of the tone and plays a moment of it: block 0 is analysed at Start, then
    // Stop ends the run.
    void ChooseAndPlayAMoment()
    {
        ASSERT_TRUE(Choose(1));
        Command(IDM_START);
        Command(IDM_STOP);
        ASSERT_TRUE(PumpUntilRunEnds(15000));
    }
    MainWindow* app = nullptr;
};

TEST_F(ExportWindow, ItemIsUsableOnceABlockIsAnalysedOutsideARunOrWhilePaused)
{
    // The item's state ('+' usable, '-' grayed) after opening a file (nothing analysed yet), Start
    // (block 0 analysed, running), Pause, Continue and Stop, and opening the file again.
    const auto state = [this] { return (GetMenuState(app->menu, IDM_EXPORT, MF_BYCOMMAND) & MF_GRAYED) ? '-' : '+'; };
    ASSERT_TRUE(Choose(3));
    std::string states(1, state());
    for (int command : {IDM_START, IDM_PAUSE, IDM_PAUSE, IDM_STOP}) {
        Command(command);
        ASSERT_TRUE(command != IDM_STOP || PumpUntilRunEnds(15000));
        states += state();
    }
    ASSERT_TRUE(Choose(3));
    EXPECT_EQ("--+-+-", states + state());
}

// The dialog offers the three types; in the chart view (the CSV analyses the kept block again with
// a spectrum) the CSV's peak row stands where the peak panel says, and the pictures decode to the
// client area as it shows when Export is chosen.
TEST_F(ExportWindow, OffersThreeTypesAndWritesTheCsvOfThePeakPanelAndPicturesOfTheClientArea)
{
    Command(IDM_VIEW_CHART);
    ChooseAndPlayAMoment();
    std::vector<std::string> types;
    for (const char* name : {"window.csv", "window.png", "window.bmp"}) {
        const std::string path = TempDirectory() + name;
        DeleteFileA(path.c_str());
        MemoryCanvas screen;
        ASSERT_TRUE(CaptureClient(app->window, screen));
        ASSERT_TRUE(ExportTo(path, types.empty() ? &types : nullptr));
        EXPECT_TRUE(CapturedBoxes().empty()) << name;
        if (path.substr(path.size() - 4) == ".csv") {
            const Rows rows = CsvRows(ReadText(path));
            ASSERT_EQ(9u + 2048u, rows.size());                      // the comment lines and the header first
            EXPECT_NEAR(app->peakFrequency, std::stod(rows[PeakRow(rows, 9)][0]), 1e-6);
            continue;
        }
        const Decoded picture = Decode(path);
        ASSERT_EQ(UINT(screen.width), picture.width) << name;
        ASSERT_EQ(UINT(screen.height), picture.height) << name;
        GdiFlush();
        const auto same = [](uint32_t decoded, uint32_t shown) { return ((decoded ^ shown) & 0xFFFFFF) == 0; };
        EXPECT_TRUE(std::equal(picture.pixels.begin(), picture.pixels.end(), screen.bits, same)) << name;
    }
    EXPECT_EQ((std::vector<std::string>{"スペクトル CSV (*.csv)", "画像 PNG (*.png)", "画像 BMP (*.bmp)"}), types);
}

TEST_F(ExportWindow, AFailedWriteSaysWhyInABoxOwnedByTheWindowAndKeepsTheOldFile)
{
    ChooseAndPlayAMoment();
    const std::string path = WriteTempFile("locked.csv", {'o', 'l', 'd'});
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(ExportTo(path));
    CloseHandle(lock);
    const std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(Text(IDS_EXPORT_NOT_WRITABLE), boxes.back().text);
    EXPECT_EQ(app->window, boxes.back().owner);
    EXPECT_EQ("old", ReadText(path));
}

}  // namespace
