// The cursor readout: the column mapping of the two spectrum axes against what the renderers
// draw, the readout of each view from plain kept data, the panel's pixels, and mouse moves sent
// to the real window over a known tone during, between and after runs.
#include <gtest/gtest.h>
#include <windowsx.h>

#include <cmath>
#include <cstring>

#include "display/display.h"
#include "display/readout.h"
#include "resources/resource.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"

namespace {

constexpr int kLeft = 6, kTop = 65;                 // graph area at character width 6, line height 5
constexpr uint32_t kBlackPixel = 0x000000;

const Layout kLayout = {6, 5, 32, nullptr};

// The graph column where a spectrum with only bin k at full height reaches the top row.
int DrawnColumn(const MemoryCanvas& canvas)
{
    for (int x = 0; x < kGraphWidth; ++x)
        if (PixelAt(canvas, kLeft + x, kTop) == kBlackPixel) return x;
    return -1;
}

// A spectrum with one bin at full height: the column the renderer draws it in holds that bin,
// for fewer, as many and more bins than columns, on both axes.
TEST(ReadoutMapping, TheColumnOfEachBinIsWhereTheRendererDrawsIt)
{
    MemoryCanvas canvas;
    ASSERT_TRUE(CreateCanvas(canvas, 600, 400));
    for (int m : {128, 512, 2048, 32768})
        for (int k : {1, 2, 3, 7, 100, m / 3, m - 2, m - 1}) {
            if (k >= m) continue;
            std::vector<uint8_t> bytes(m, 255);
            bytes[k] = 0;
            for (bool log : {false, true}) {
                if (!log && k == m - 1) continue;          // a polyline leaves out its very last point
                if (log) DrawLogSpectrum(canvas.dc, kLayout, 44100, bytes.data(), m);
                else DrawLinearSpectrum(canvas.dc, kLayout, 44100, bytes.data(), m);
                const int x = DrawnColumn(canvas);
                ASSERT_GE(x, 0) << m << " " << k << " " << log;
                const BinRange bins = log ? LogColumnBins(x, m) : LinearColumnBins(x, m);
                EXPECT_TRUE(bins.first <= k && k < bins.end) << "m " << m << " bin " << k << " log " << log
                                                             << " column " << x << " [" << bins.first << ", " << bins.end << ")";
            }
        }
}

// Kept data of an FFT of 1024 points at 44100 Hz: bin 23 strong (1 kHz), a waveform ramp, and
// three chart rows whose blocks start 0.1 s apart.
struct KeptData {
    std::vector<double> power = std::vector<double>(512, 1.0);
    std::vector<int16_t> samples;
    std::vector<float> chart = std::vector<float>(kChartRows * 512, 1.0f);
    std::vector<double> rowSeconds = std::vector<double>(kChartRows, 0.0);
    ReadoutSource source;
    KeptData()
    {
        power[23] = 7e7;
        for (int i = 0; i < 512; ++i) samples.push_back(int16_t(i * 64 - 16384));
        for (int r = 0; r < 3; ++r) rowSeconds[r] = 2.0 + 0.1 * r;
        chart[1 * 512 + 23] = 7e5f;                       // the middle row, 20 dB down
        // 44.1 kHz, 1024 points; 512 bins; 512 samples; chart rows of 512 cells, the newest at 2 of 3.
        source = {44100, 10, kSlopeWhite, true, power.data(), 512, samples.data(), 512,
                  chart.data(), rowSeconds.data(), 512, 2, 3};
    }
};

TEST(ReadoutOfEachView, NamesWhatLiesUnderItsPixel)
{
    const KeptData kept;
    const double bin = 44100.0 / 1024;
    const struct { ViewMode view; int x, y; ReadoutKind kind; double frequency, other, decibels; bool level; } rows[] = {
        {kViewLinearSpectrum, 23, 100, ReadoutKind::kSpectrum, 23 * bin, 0, 0.0, true},
        {kViewLinearSpectrum, 24, 0, ReadoutKind::kSpectrum, 24 * bin, 0, -78.45, true},
        {kViewLogSpectrum, 257, 5, ReadoutKind::kSpectrum, 44100.0 / 1024 * std::pow(512.0, 257.0 / 512), 0, 0.0, true},
        {kViewLogSpectrum, 256, 5, ReadoutKind::kSpectrum, 44100.0 / 1024 * std::sqrt(512.0), 0, -78.45, true},  // no bin: 22's
        {kViewChart, 23, 255, ReadoutKind::kChart, 23 * bin, 0.0, -78.45, true},     // the newest row
        {kViewChart, 23, 254, ReadoutKind::kChart, 23 * bin, 0.1, -20.0, true},      // a block older
        {kViewChart, 23, 200, ReadoutKind::kChart, 23 * bin, 0.0, 0.0, false},       // no row there yet
        {kViewLevelMeter, 170 - kLeft, 9, ReadoutKind::kBand, 4 * bin, 8 * bin, -78.45, true},   // band 4's slot
        {kViewLevelMeter, 30 - kLeft, 9, ReadoutKind::kNone, 0, 0, 0, false},   // band 1: not drawn at 1024 points
        {kViewWaveform, 300, 7, ReadoutKind::kWaveform, 0, 300 * 1000.0 / 44100, 0, false},
    };
    for (const auto& r : rows) {
        const Readout readout = ComputeReadout(kept.source, r.view, kLeft, r.x, r.y);
        const std::string where = std::to_string(r.view) + " at " + std::to_string(r.x) + "," + std::to_string(r.y);
        EXPECT_EQ(r.kind, readout.kind) << where;
        EXPECT_EQ(r.level, readout.hasLevel) << where;
        if (r.kind == ReadoutKind::kWaveform) {
            EXPECT_NEAR(r.other, readout.milliseconds, 1e-9) << where;
            EXPECT_EQ(300 * 64 - 16384, readout.sample) << where;
            continue;
        }
        if (r.kind == ReadoutKind::kNone) continue;
        EXPECT_NEAR(r.frequency, readout.frequency, 1e-6) << where;
        if (r.kind == ReadoutKind::kBand) {
            EXPECT_NEAR(r.other, readout.upperFrequency, 1e-6) << where;
        }
        if (r.kind == ReadoutKind::kChart && r.level) {
            EXPECT_NEAR(r.other, readout.seconds, 1e-9) << where;
        }
        if (r.level) {
            EXPECT_NEAR(r.decibels, readout.decibels, 0.01) << where;
        }
    }
    EXPECT_DOUBLE_EQ(7e7, ComputeReadout(kept.source, kViewLinearSpectrum, kLeft, 23, 100).power);
}

// The panel: a white box of 9 columns by 12 rows at the peak panel's place, the label then three
// lines three rows apart, in the DC's font.
TEST(ReadoutPanel, DrawsTheLabelAndThreeLinesOfEachKindInAWhiteBox)
{
    // kind, frequency, upper frequency, seconds, milliseconds, sample, has level, decibels, power
    const struct { Readout readout; const char* lines[3]; } rows[] = {
        {{ReadoutKind::kSpectrum, 1001.29, 0, 0, 0, 0, true, -12.34, 6.7e7}, {" 1001Hz", " -12.3dB", "6.7e+07"}},
        {{ReadoutKind::kChart, 1001.29, 0, 1.5, 0, 0, true, -12.34, 6.7e7}, {" 1001Hz", "  1.50s", " -12.3dB"}},
        {{ReadoutKind::kBand, 1001.29, 2002.4, 0, 0, 0, true, -12.34, 6.7e7}, {" 1001Hz", " 2002Hz", " -12.3dB"}},
        {{ReadoutKind::kWaveform, 0, 0, 0, 6.8, -32768, false, 0, 0}, {"  6.80ms", "-32768", ""}},
    };
    for (const auto& r : rows) {
        MemoryCanvas drawn, expected;
        for (MemoryCanvas* canvas : {&drawn, &expected}) {
            ASSERT_TRUE(CreateCanvas(*canvas, 600, 100, 0x123456));
            SelectObject(canvas->dc, GetStockObject(OEM_FIXED_FONT));
        }
        DrawReadoutPanel(drawn.dc, kLayout, r.readout, "Cursor");
        PatBlt(expected.dc, 444, 5, 54, 60, WHITENESS);
        TextOutA(expected.dc, 444, 5, "Cursor", 6);
        for (int i = 0; i < 3; ++i) TextOutA(expected.dc, 444, 5 + 15 * (i + 1), r.lines[i], int(std::strlen(r.lines[i])));
        GdiFlush();
        EXPECT_TRUE(std::equal(drawn.bits, drawn.bits + 600 * 100, expected.bits)) << r.lines[0];
    }
}

// ---- The real window ----

constexpr int kRate = 44100;
constexpr double kTone = 1000.0;
constexpr int kFftExponent = 10;                       // 1024 points: one bin per column
constexpr double kBlockSeconds = 8192.0 / kRate;       // time resolution 2048 at 44.1 kHz

class ReadoutWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetCursorPos(0, 0);                            // the real pointer away from the graph
        ASSERT_NE(nullptr, app = OpenMainWindow());
        app->settings.fftExponent = kFftExponent;
    }
    void TearDown() override { CloseMainWindow(); }
    // Opens `seconds` of a 16-bit mono 1 kHz tone, in `view`.
    void Choose(int seconds, int viewCommand)
    {
        Command(viewCommand);
        const std::vector<int> tone = Sine(8000, kTone, kRate, seconds * kRate);
        std::snprintf(app->fileName, sizeof app->fileName, "%s",
                      WriteTempFile("readout.wav", PcmFile(1, kRate, 16, Samples16(tone))).c_str());
        ASSERT_TRUE(SelectFileSource(*app));
    }
    void MoveTo(int graphX, int graphY)
    {
        SendMessageA(app->window, WM_MOUSEMOVE, 0, MAKELPARAM(kLeft + graphX, kTop + graphY));
    }
    // The peak power of the block the window kept, analysed again on its own.
    double KeptPeakPower()
    {
        AnalysisPlan plan;
        Settings settings = app->keptBlock.AnalysedWith();
        settings.view = kViewLinearSpectrum;
        if (!plan.Prepare(settings.fftExponent)) return -1.0;
        return AnalyseBlock(app->keptBlock.Bytes(), app->keptBlock.ByteCount(), app->keptBlock.Format(), settings, plan, 0.0)
            .peakPower;
    }
    MainWindow* app = nullptr;
};

TEST_F(ReadoutWindow, ATonesColumnShowsItsFrequencyAndLevelWhileRunningAndLeavingBringsThePeakBack)
{
    Choose(3, IDM_VIEW_LINEAR_SPECTRUM);
    Command(IDM_START);
    ASSERT_TRUE(app->Running());
    const int column = int(kTone * kGraphWidth / (kRate / 2.0));
    MoveTo(column, 128);
    ASSERT_TRUE(app->cursor.shown);
    EXPECT_EQ(ReadoutKind::kSpectrum, app->cursor.readout.kind);
    EXPECT_NEAR(kTone, app->cursor.readout.frequency, double(kRate) / 1024);
    EXPECT_DOUBLE_EQ(KeptPeakPower(), app->cursor.readout.power);   // the kept block's spectrum, no other
    ASSERT_TRUE(app->cursor.readout.hasLevel);
    const double toneDecibels = app->cursor.readout.decibels;
    MoveTo(column + 40, 128);                          // far from the tone: a low level
    EXPECT_LT(app->cursor.readout.decibels, toneDecibels - 40.0);

    SendMessageA(app->window, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(app->cursor.shown);
    Command(IDM_STOP);
    ASSERT_TRUE(PumpUntilRunEnds(15000));
}

TEST_F(ReadoutWindow, TheChartNamesEachRowsAgeAfterTheRun)
{
    Choose(2, IDM_VIEW_CHART);
    Command(IDM_START);
    ASSERT_TRUE(PumpWaveMessages([this] { return app->cursorMemory.Source().rowCount >= 4; }, 15000));
    Command(IDM_STOP);
    ASSERT_TRUE(PumpUntilRunEnds(15000));
    ASSERT_FALSE(app->Running());
    // Tone bin 23 at one cell per 1024-point bin (a 512 pixel wide chart of 512 bins).
    for (int age = 0; age < 3; ++age) {
        MoveTo(23, kGraphHeight - 1 - age);
        ASSERT_TRUE(app->cursor.shown) << age;
        EXPECT_EQ(ReadoutKind::kChart, app->cursor.readout.kind);
        EXPECT_NEAR(age * kBlockSeconds, app->cursor.readout.seconds, 1e-6) << age;
        EXPECT_NEAR(23 * double(kRate) / 1024, app->cursor.readout.frequency, 1e-6);
        EXPECT_GT(app->cursor.readout.decibels, -40.0) << age;
    }
    MoveTo(23, 10);                                    // above every row: the frequency, no level
    EXPECT_FALSE(app->cursor.readout.hasLevel);
    SendMessageA(app->window, WM_MOUSEMOVE, 0, MAKELPARAM(kLeft + 10, kTop - 10));   // out of the graph
    EXPECT_FALSE(app->cursor.shown);
}

TEST_F(ReadoutWindow, NothingIsReadBeforeABlockIsAnalysedAndTheWaveformAfterTheRun)
{
    Choose(1, IDM_VIEW_WAVEFORM);
    MoveTo(100, 100);
    EXPECT_FALSE(app->cursor.shown);
    Command(IDM_START);
    Command(IDM_STOP);
    ASSERT_TRUE(PumpUntilRunEnds(15000));
    MoveTo(11, 100);                                   // 11 samples in: a quarter period of 1 kHz
    ASSERT_TRUE(app->cursor.shown);
    EXPECT_EQ(ReadoutKind::kWaveform, app->cursor.readout.kind);
    EXPECT_NEAR(11 * 1000.0 / kRate, app->cursor.readout.milliseconds, 1e-9);
    EXPECT_EQ(Sine(8000, kTone, kRate, 12)[11], app->cursor.readout.sample);
}

}  // namespace
