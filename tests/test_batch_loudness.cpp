// TRILVOC loudness on generated files: the figure lines and their format, the series CSV, and
// silence. (Its refusals and bad arguments are rows of every command's table in test_export.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/batch_run.h"
#include "tests/support/support.h"

namespace {

constexpr int kRate = 44100;

// A 16-bit stereo file: a 1 kHz sine of `peak` (16-bit units) on both channels for `seconds`.
std::string StereoToneFile(const char* name, double peak, int seconds)
{
    const std::vector<int> mono = Sine(peak, 1000, kRate, kRate * seconds);
    std::vector<int> stereo;
    for (int v : mono) stereo.insert(stereo.end(), {v, v});
    return WriteTempFile(name, PcmFile(2, kRate, 16, Samples16(stereo)));
}

std::vector<std::string> Lines(const std::string& text, const char* end)
{
    std::vector<std::string> lines;
    for (size_t at = 0, stop; (stop = text.find(end, at)) != std::string::npos; at = stop + std::strlen(end))
        lines.push_back(text.substr(at, stop - at));
    return lines;
}

TEST(BatchLoudness, PrintsEachFigureAsNameEqualsOneDecimalAndWritesTheSeriesEveryTenthSecond)
{
    const std::string in = StereoToneFile("loud.wav", 32768.0 * std::pow(10.0, -23.0 / 20.0), 10);
    const std::string csv = TempDirectory() + "loud_series.csv";
    const BatchOutcome outcome = Batch({"loudness", in, "--csv", csv});
    ASSERT_EQ(kBatchDone, outcome.status) << outcome.message;
    const std::vector<std::string> lines = Lines(outcome.report, "\n");
    const char* const names[] = {"integrated_lufs", "range_lu", "momentary_max_lufs", "short_term_max_lufs",
                                 "sample_peak_dbfs", "true_peak_dbtp", "true_peak_dbtp_ch1", "true_peak_dbtp_ch2"};
    ASSERT_EQ(std::size(names), lines.size()) << outcome.report;
    const std::regex oneDecimal("-?[0-9]+\\.[0-9]");
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t equals = lines[i].find('=');
        EXPECT_EQ(names[i], lines[i].substr(0, equals));
        EXPECT_TRUE(std::regex_match(lines[i].substr(equals + 1), oneDecimal)) << lines[i];
    }
    EXPECT_NEAR(-23.0, std::stod(lines[0].substr(lines[0].find('=') + 1)), 0.1);

    const std::vector<std::string> rows = Lines(ReadText(csv), "\r\n");
    ASSERT_EQ(101u, rows.size());
    EXPECT_EQ("time_s,momentary_lufs,short_term_lufs", rows[0]);
    EXPECT_EQ("0.1,", rows[1].substr(0, 4));
    EXPECT_EQ("10.0,-23.0,-23.0", rows[100]);
}

TEST(BatchLoudness, SilenceHasNoLoudnessNoRangeAndNoPeak)
{
    const BatchOutcome outcome = Batch({"loudness", StereoToneFile("silent.wav", 0.0, 2)});
    ASSERT_EQ(kBatchDone, outcome.status) << outcome.message;
    const std::string report = outcome.report;
    for (const char* line : {"integrated_lufs=-inf\n", "range_lu=0.0\n", "sample_peak_dbfs=-inf\n", "true_peak_dbtp=-inf\n"})
        EXPECT_NE(std::string::npos, report.find(line)) << line << report;
}

}  // namespace
