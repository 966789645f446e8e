// The exports: the batch analyser on generated files (blocks, one spectrum, the spectrogram,
// refusals and bad arguments), the file written under a temporary name, and File > Export of the
// real window (its menu item through a run, the CSV against the peak panel, the pictures against
// the client area).
#include <gtest/gtest.h>
#include <objidl.h>
#include <gdiplus.h>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "batch/batch.h"
#include "export/exportfile.h"
#include "resources/resource.h"
#include "shell/mainwindow.h"
#include "tests/support/main_window.h"
#include "tests/support/playback_support.h"
#include "texts/texts.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kSecond = 44100;

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The rows of a CSV (comment lines left out), each split at its commas; `lines` gets every line.
std::vector<std::vector<std::string>> CsvRows(const std::string& text, std::vector<std::string>* lines = nullptr)
{
    std::vector<std::vector<std::string>> rows;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        const std::string line = text.substr(at, end - at);
        if (lines) lines->push_back(line);
        if (line[0] == '#') continue;
        rows.emplace_back();
        std::stringstream fields(line + ",");
        for (std::string field; std::getline(fields, field, ',');) rows.back().push_back(field);
    }
    return rows;
}

// A picture file decoded by the platform (GDI+) into 0x00RRGGBB pixels, top row first.
struct Decoded {
    UINT width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(UINT x, UINT y) const { return pixels[y * width + x] & 0xFFFFFF; }
};
Decoded Decode(const std::string& path)
{
    using namespace Gdiplus;
    Decoded picture;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    std::wstring wide(path.begin(), path.end());
    GpBitmap* bitmap = nullptr;
    if (DllExports::GdipCreateBitmapFromFile(wide.c_str(), &bitmap) == Ok) {
        DllExports::GdipGetImageWidth(bitmap, &picture.width);
        DllExports::GdipGetImageHeight(bitmap, &picture.height);
        picture.pixels.resize(size_t(picture.width) * picture.height);
        BitmapData data = {picture.width, picture.height, INT(picture.width * 4), PixelFormat32bppRGB,
                           picture.pixels.data(), 0};
        const GpRect all = {0, 0, INT(picture.width), INT(picture.height)};
        DllExports::GdipBitmapLockBits(bitmap, &all, ImageLockModeRead | ImageLockModeUserInputBuf,
                                       PixelFormat32bppRGB, &data);
        DllExports::GdipBitmapUnlockBits(bitmap, &data);
        DllExports::GdipDisposeImage(bitmap);
    }
    Gdiplus::GdiplusShutdown(token);
    return picture;
}

std::string Text(UINT id)
{
    char text[512];
    LoadText(id, text, sizeof text);
    return text;
}

BatchOutcome Batch(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "TRILVOC.EXE");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    return RunBatch(int(argv.size()), argv.data());
}

// 16-bit mono, 440 Hz for a second, then 1000 Hz, then 3000 Hz.
const double kSteps[] = {440, 1000, 3000};
std::string StepToneFile()
{
    std::vector<int> samples;
    for (double hz : kSteps) {
        const std::vector<int> second = Sine(8000, hz, kRate, kSecond);
        samples.insert(samples.end(), second.begin(), second.end());
    }
    return WriteTempFile("steps.wav", PcmFile(1, 44100, 16, Samples16(samples)));
}

// The tone of a block of 8192 frames whose first 4096 (what an FFT of 4096 reads) lie in one
// second; 0 for a block across a step.
double ToneOfBlock(size_t block)
{
    const size_t first = block * 8192, last = first + 4095;
    return first / kSecond == last / kSecond ? kSteps[first / kSecond] : 0.0;
}

TEST(BatchBlocks, EveryBlockOfAStepToneHasItsSecondsFrequencyAndStartTime)
{
    const std::string out = TempDirectory() + "steps-blocks.csv";
    ASSERT_EQ(kBatchDone, Batch({"blocks", StepToneFile(), out}).status);
    const auto rows = CsvRows(ReadAll(out));
    ASSERT_EQ(18u, rows.size());                                       // header and ceil(3 s / 8192) blocks
    EXPECT_EQ((std::vector<std::string>{"block", "time_s", "peak_hz", "peak_power", "level_left", "level_right"}), rows[0]);
    for (size_t b = 0; b + 1 < rows.size(); ++b) {
        EXPECT_EQ(std::to_string(b), rows[b + 1][0]);
        EXPECT_NEAR(b * 8192 / kRate, std::stod(rows[b + 1][1]), 1e-6) << b;
        if (ToneOfBlock(b) > 0) {
            EXPECT_NEAR(ToneOfBlock(b), std::stod(rows[b + 1][2]), kRate / 4096) << b;
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
        const auto rows = CsvRows(ReadAll(out));
        ASSERT_EQ(2u, rows.size());
        EXPECT_EQ(c.left, rows[1][4]);
        EXPECT_EQ(c.right, rows[1][5]);
    }
}

TEST(BatchRefusals, FilesTheReaderRefusesGiveStatusTwoAndTheWindowsText)
{
    const std::vector<uint8_t> silence(64, 0);
    const struct { std::vector<uint8_t> file; UINT text; } cases[] = {
        {{'t', 'e', 'x', 't'}, IDS_NOT_WAVE},
        {RiffFile({{"fmt ", FmtBody(0x55, 1, 44100, 16)}, {"data", silence}}), IDS_NOT_PCM},
        {RiffFile({{"fmt ", FmtBody(1, 1, 44100, 16)}}), IDS_NO_DATA_CHUNK},
        {PcmFile(1, 44100, 16, {}), IDS_EMPTY_DATA},
    };
    for (const auto& c : cases) {
        const BatchOutcome outcome = Batch({"blocks", WriteTempFile("refused.wav", c.file), TempDirectory() + "r.csv"});
        EXPECT_EQ(kBatchFileRefused, outcome.status) << Text(c.text);
        EXPECT_NE(std::string::npos, std::string(outcome.message).find(Text(c.text))) << outcome.message;
    }
    EXPECT_EQ(kBatchFileRefused, Batch({"spectrum", TempDirectory() + "missing.wav", TempDirectory() + "r.csv"}).status);
}

TEST(BatchArguments, BadOnesGiveStatusOneWithOneLineAndHelpTheUsage)
{
    const std::string in = WriteTempFile("args.wav", PcmFile(1, 44100, 16, Samples16(Sine(8000, 1000, kRate, 8192))));
    const std::string out = TempDirectory() + "args.csv";
    const std::vector<std::string> cases[] = {
        {}, {"analyse", in, out}, {"blocks", in}, {"blocks", in, out, "more"}, {"blocks", in, out, "--fft", "7"},
        {"blocks", in, out, "--fft", "17"}, {"blocks", in, out, "--fft"}, {"blocks", in, out, "--window", "kaiser"},
        {"blocks", in, out, "--slope", "blue"}, {"blocks", in, out, "--scale", "loud"},
        {"blocks", in, out, "--deltatime", "1000"}, {"blocks", in, out, "--speed", "2"},
        {"blocks", in, out, "--at", "0"}, {"spectrum", in, out, "--at", "-1"}, {"spectrum", in, out, "--at", "1"},
    };
    for (const auto& c : cases) {
        const BatchOutcome outcome = Batch(c);
        EXPECT_EQ(kBatchBadArgument, outcome.status) << c.size();
        EXPECT_NE('\0', outcome.message[0]);
        EXPECT_EQ(nullptr, std::strchr(outcome.message, '\n'));
    }
    const BatchOutcome help = Batch({"blocks", "--help"});
    EXPECT_EQ(kBatchDone, help.status);
    EXPECT_TRUE(help.usage);
}

// The spectrum CSV of the block at 1 s: its comment lines, one ASCII row per bin with CRLF, the
// bin frequencies at the actual rate, and the peak at the tone; the same under a comma locale.
TEST(BatchSpectrum, TheBlockAtTheGivenSecondIsWrittenWithItsAnalysisInPlainAscii)
{
    const std::string in = WriteTempFile("音.wav", PcmFile(1, 44100, 16, Samples16(Sine(8000, 1000, kRate, 2 * kSecond))));
    const std::string out = TempDirectory() + "spectrum.csv";
    for (const char* locale : {"C", "French"}) {
        ASSERT_NE(nullptr, std::setlocale(LC_ALL, locale));
        const BatchOutcome outcome = Batch({"spectrum", in, out, "--at", "1", "--fft", "13", "--window", "blackman",
                                            "--slope", "pink", "--scale", "doubled"});
        std::setlocale(LC_ALL, "C");
        ASSERT_EQ(kBatchDone, outcome.status) << outcome.message;
        const std::string text = ReadAll(out);
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; })) << locale;
        std::vector<std::string> lines;
        const auto rows = CsvRows(text, &lines);
        ASSERT_EQ(9u + 4096u, lines.size());
        EXPECT_NE(std::string::npos, lines[0].find("%89%B9.wav"));    // 音 in code page 932
        EXPECT_EQ((std::vector<std::string>{"# rate_hz: 44100", "# channels: 1", "# fft_length: 8192", "# window: blackman",
                                            "# slope: pink", "# scale: doubled", "# block_start_s: 1.000000",
                                            "frequency_hz,power,db"}),
                  std::vector<std::string>(lines.begin() + 1, lines.begin() + 9));
        size_t peak = 1;
        for (size_t r = 1; r < rows.size(); ++r) {
            ASSERT_EQ(3u, rows[r].size()) << locale << " row " << r;
            if (std::stod(rows[r][1]) > std::stod(rows[peak][1])) peak = r;
        }
        EXPECT_EQ("5.383301", rows[2][0]);                           // bin 1: 44100 / 8192
        EXPECT_NEAR(1000.0, std::stod(rows[peak][0]), kRate / 8192);
    }
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
        const double bin = ToneOfBlock(x) * 4096 / kRate;
        EXPECT_NEAR(1023 - bin / 2, brightest, 1.0) << x;             // highest frequency on top
    }
}

TEST(ExportFile, WritesOnlyAtCommitAndLeavesNoTemporaryFileBehind)
{
    const std::string folder = TempDirectory() + "atomic\\", path = folder + "out.csv";
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteTempFile("atomic\\out.csv", {'o', 'l', 'd'});
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
    HANDLE search = FindFirstFileA((folder + "*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    AtomicFile refused;
    EXPECT_EQ(ExportResult::kNotWritable, refused.Open((folder + "missing\\out.csv").c_str()));
    EXPECT_EQ(ExportResult::kNameTooLong, refused.Open((folder + std::string(300, 'a') + ".csv").c_str()));
}

// ---- File > Export in the real window ----

constexpr int kFileNameBox = 0x47C, kFileTypeList = 0x470;   // cmb13 and cmb1 of the save dialog
constexpr int kTickMs = 20, kTicksBound = 500;

// File > Export with `path` typed into the save dialog and OK pressed, from inside its own loop;
// `types` gets the dialog's file types. Message boxes shown after OK are captured. False when the
// dialog did not show or stayed open for 10 s.
struct { std::string path; std::vector<std::string>* types; HWND dialog; int ticks; } script;
void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (script.dialog && ++script.ticks == kTicksBound) EndDialog(script.dialog, IDCANCEL);
    HWND dialog = FindWindowA("#32770", nullptr);
    if (script.dialog || !dialog || !IsWindowVisible(dialog) || GetWindowThreadProcessId(dialog, nullptr) != GetCurrentThreadId())
        return;
    script.dialog = dialog;
    char text[128];
    for (LRESULT i = 0; script.types && SendDlgItemMessageA(dialog, kFileTypeList, CB_GETLBTEXT, i, LPARAM(text)) > 0; ++i)
        script.types->push_back(text);
    SetDlgItemTextA(dialog, kFileNameBox, script.path.c_str());
    BeginBoxCapture();
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}
bool ExportTo(const std::string& path, std::vector<std::string>* types = nullptr)
{
    script = {path, types, nullptr, 0};
    const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, ScriptTick);
    Command(IDM_EXPORT);
    KillTimer(nullptr, timer);
    return script.dialog && script.ticks < kTicksBound;
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
        const std::vector<int> tone = Sine(8000, 1000, kRate, seconds * kSecond);
        std::snprintf(app->fileName, sizeof app->fileName, "%s", WriteTempFile("export.wav", PcmFile(1, 44100, 16, Samples16(tone))).c_str());
        return SelectFileSource(*app);
    }
    // Plays the file a moment: block 0 is analysed at Start, then Stop ends the run.
    void PlayAndStop()
    {
        Command(IDM_START);
        Command(IDM_STOP);
        ASSERT_TRUE(PumpUntilRunEnds(15000));
    }
    bool ItemEnabled() const { return !(GetMenuState(app->menu, IDM_EXPORT, MF_BYCOMMAND) & MF_GRAYED); }
    MainWindow* app = nullptr;
};

TEST_F(ExportWindow, ItemFollowsInfoAndIsUsableOnceABlockIsAnalysedOutsideARunOrWhilePaused)
{
    HMENU file = GetSubMenu(app->menu, 0);
    char label[64] = {};
    GetMenuStringA(app->menu, IDM_EXPORT, label, sizeof label, MF_BYCOMMAND);
    EXPECT_STREQ("書き出し(\x1E" "E\x1F" "ｶ)...", label);
    EXPECT_EQ(UINT(IDM_EXPORT), GetMenuItemID(file, 4));
    EXPECT_EQ(UINT(IDM_INFO), GetMenuItemID(file, 3));
    const struct { std::function<void()> step; bool enabled; } steps[] = {
        {[] {}, false},
        {[this] { ASSERT_TRUE(Choose(3)); }, false},
        {[] { Command(IDM_START); }, false},                       // block 0 analysed, running
        {[] { Command(IDM_PAUSE); }, true},
        {[] { Command(IDM_PAUSE); }, false},                       // Continue
        {[] { Command(IDM_STOP); ASSERT_TRUE(PumpUntilRunEnds(15000)); }, true},
        {[this] { ASSERT_TRUE(Choose(3)); }, false},               // opened again: nothing analysed yet
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].step();
        EXPECT_EQ(steps[i].enabled, ItemEnabled()) << "step " << i;
    }
}

TEST_F(ExportWindow, CsvOffersTheThreeTypesAndHasItsPeakRowWhereThePeakPanelSays)
{
    Command(IDM_VIEW_CHART);
    ASSERT_TRUE(Choose(1));
    PlayAndStop();
    const std::string path = TempDirectory() + "window.csv";
    DeleteFileA(path.c_str());
    std::vector<std::string> types;
    ASSERT_TRUE(ExportTo(path, &types));
    EXPECT_EQ((std::vector<std::string>{"スペクトル CSV (*.csv)", "画像 PNG (*.png)", "画像 BMP (*.bmp)"}), types);
    const auto rows = CsvRows(ReadAll(path));
    ASSERT_EQ(1u + 2048u, rows.size());
    size_t peak = 1;
    for (size_t r = 1; r < rows.size(); ++r) peak = std::stod(rows[r][1]) > std::stod(rows[peak][1]) ? r : peak;
    EXPECT_NEAR(app->peakFrequency, std::stod(rows[peak][0]), 1e-6);
    EXPECT_TRUE(EndBoxCapture().empty());
}

TEST_F(ExportWindow, PicturesDecodeToTheClientAreaAsItShows)
{
    Command(IDM_VIEW_LINEAR_SPECTRUM);
    ASSERT_TRUE(Choose(1));
    PlayAndStop();
    for (const char* name : {"window.png", "window.bmp"}) {
        const std::string path = TempDirectory() + name;
        DeleteFileA(path.c_str());
        MemoryCanvas screen;                                       // as it shows when Export is chosen
        ASSERT_TRUE(CaptureClient(app->window, screen));
        ASSERT_TRUE(ExportTo(path));
        const Decoded picture = Decode(path);
        ASSERT_EQ(UINT(screen.width), picture.width) << name;
        ASSERT_EQ(UINT(screen.height), picture.height) << name;
        int differing = 0;
        for (int y = 0; y < screen.height; ++y)
            for (int x = 0; x < screen.width; ++x) differing += picture.At(x, y) != (PixelAt(screen, x, y) & 0xFFFFFF);
        EXPECT_EQ(0, differing) << name;
    }
    EXPECT_TRUE(EndBoxCapture().empty());
}

TEST_F(ExportWindow, AFailedWriteSaysWhyInABoxOwnedByTheWindowAndKeepsTheOldFile)
{
    ASSERT_TRUE(Choose(1));
    PlayAndStop();
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
