// The exports: the batch analyser on generated files (blocks, one spectrum, the spectrogram,
// refusals and bad arguments), the file written under a temporary name, and File > Export of the
// real window (its menu item through a run, the CSV against the peak panel, the pictures against
// the client area).
#include <gtest/gtest.h>
#include <objidl.h>
#include <gdiplus.h>
#include <algorithm>
#include <clocale>
#include <fstream>
#include <sstream>

#include "batch/batch.h"
#include "export/exportfile.h"
#include "resources/resource.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"

namespace {

constexpr int kRate = 44100;   // the frames of a second

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

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

BatchOutcome Batch(const std::vector<std::string>& arguments)
{
    std::vector<const char*> argv = {"TRILVOC.EXE"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    return RunBatch(int(argv.size()), argv.data());
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
    const Rows rows = CsvRows(ReadAll(out));
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
        const Rows rows = CsvRows(ReadAll(out));
        ASSERT_EQ(2u, rows.size());
        EXPECT_EQ(c.left, rows[1][4]);
        EXPECT_EQ(c.right, rows[1][5]);
    }
}

// What the analyser cannot run ends with one line saying why: bad arguments (and --at past the
// data) with status 1, files the reader refuses with status 2 and the window's text for them (the
// reader's table has every refusal; these two differ here: no device judges the format). --help
// asks for the usage.
TEST(BatchFailures, BadArgumentsGiveStatusOneAndRefusedFilesStatusTwoEachWithOneLine)
{
    const std::string in = WriteTempFile("args.wav", PcmFile(1, 44100, 16, Samples16(Sine(8000, 1000, kRate, 8192))));
    const std::string out = TempDirectory() + "args.csv", text = WriteTempFile("text.wav", {'t', 'e', 'x', 't'});
    const std::string speech = WriteTempFile("speech.wav", RiffFile({{"fmt ", FmtBody(0x22, 1, 44100, 16)}, {"data", std::vector<uint8_t>(64, 0)}}));
    const struct { std::vector<std::string> arguments; UINT refusal = 0; } cases[] = {
        {{}}, {{"analyse", in, out}}, {{"blocks", in}}, {{"blocks", in, out, "more"}}, {{"blocks", in, out, "--fft", "7"}},
        {{"blocks", in, out, "--fft", "17"}}, {{"blocks", in, out, "--fft"}}, {{"blocks", in, out, "--window", "kaiser"}},
        {{"blocks", in, out, "--deltatime", "1000"}}, {{"blocks", in, out, "--speed", "2"}}, {{"blocks", in, out, "--at", "0"}},
        {{"spectrum", in, out, "--at", "-1"}}, {{"spectrum", in, out, "--at", "1"}},
        {{"blocks", text, out}, IDS_NOT_WAVE}, {{"blocks", speech, out}, IDS_NOT_PCM},
        {{"spectrum", TempDirectory() + "missing.wav", out}, IDS_CANNOT_OPEN_FILE}};
    for (const auto& c : cases) {
        const BatchOutcome outcome = Batch(c.arguments);
        EXPECT_EQ(c.refusal ? kBatchFileRefused : kBatchBadArgument, outcome.status) << &c - cases;
        EXPECT_NE('\0', outcome.message[0]) << &c - cases;
        EXPECT_EQ(std::string::npos, std::string(outcome.message).find('\n')) << &c - cases;
        if (c.refusal) {
            EXPECT_NE(std::string::npos, std::string(outcome.message).find(Text(c.refusal))) << outcome.message;
        }
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
    const std::string text = ReadAll(out);
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
    ASSERT_EQ(kBatchDone, Batch({"spectrogram", StepToneFile(), out}).status);
    const Decoded picture = Decode(out);
    ASSERT_EQ(17u, picture.width);
    ASSERT_EQ(1024u, picture.height);                                // 2048 bins averaged in pairs
    for (UINT x = 0; x < picture.width; ++x) {
        if (ToneOfBlock(x) == 0) continue;
        UINT brightest = 0;
        for (UINT y = 0; y < picture.height; ++y) brightest = picture.At(x, y) > picture.At(x, brightest) ? y : brightest;
        EXPECT_NEAR(1023 - ToneOfBlock(x) * 2048 / kRate, brightest, 1.0) << x;   // a row per bin pair, the highest on top
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
        EXPECT_EQ("old", ReadAll(path));
        if (commit) {
            EXPECT_EQ(ExportResult::kOk, file.Commit());
        }
    }
    EXPECT_EQ("new", ReadAll(path));
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

TEST_F(ExportWindow, CsvOffersTheThreeTypesAndHasItsPeakRowWhereThePeakPanelSays)
{
    Command(IDM_VIEW_CHART);
    ChooseAndPlayAMoment();
    const std::string path = TempDirectory() + "window.csv";
    DeleteFileA(path.c_str());
    std::vector<std::string> types;
    ASSERT_TRUE(ExportTo(path, &types));
    EXPECT_EQ((std::vector<std::string>{"スペクトル CSV (*.csv)", "画像 PNG (*.png)", "画像 BMP (*.bmp)"}), types);
    const Rows rows = CsvRows(ReadAll(path));
    ASSERT_EQ(9u + 2048u, rows.size());                              // the comment lines and the header first
    EXPECT_NEAR(app->peakFrequency, std::stod(rows[PeakRow(rows, 9)][0]), 1e-6);
    EXPECT_TRUE(EndBoxCapture().empty());
}

TEST_F(ExportWindow, PicturesDecodeToTheClientAreaAsItShows)
{
    Command(IDM_VIEW_LINEAR_SPECTRUM);
    ChooseAndPlayAMoment();
    for (const char* name : {"window.png", "window.bmp"}) {
        const std::string path = TempDirectory() + name;
        DeleteFileA(path.c_str());
        MemoryCanvas screen;                                       // as it shows when Export is chosen
        ASSERT_TRUE(CaptureClient(app->window, screen));
        ASSERT_TRUE(ExportTo(path));
        const Decoded picture = Decode(path);
        ASSERT_EQ(UINT(screen.width), picture.width) << name;
        ASSERT_EQ(UINT(screen.height), picture.height) << name;
        GdiFlush();
        const auto same = [](uint32_t decoded, uint32_t shown) { return ((decoded ^ shown) & 0xFFFFFF) == 0; };
        EXPECT_TRUE(std::equal(picture.pixels.begin(), picture.pixels.end(), screen.bits, same)) << name;
    }
    EXPECT_TRUE(EndBoxCapture().empty());
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
    EXPECT_EQ("old", ReadAll(path));
}

}  // namespace
