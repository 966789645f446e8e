// Shell decisions on plain inputs: the window size, the Shift-JIS aware split of a path into the
// directory and name lines, both lines padded and cut at 35 bytes, the stereo labels, the command
// line, the help file chosen, the stored settings kept, the memory size bounds, the monitor format
// taken from the input device's formats at startup and in the Monitor dialog, the query
// warning, and the status lines.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <tuple>

#include "resources/resource.h"
#include "shell/decisions.h"
#include "shell/help.h"
#include "shell/mainwindow.h"
#include "shell/messages.h"
#include "tests/support/support.h"

namespace {

TEST(SplitPath, CutsAtTheLastSingleByteSeparator)
{
    const struct { const char *path, *directory, *name; } cases[] = {
        {"C:\\take.wav", "C:\\", "take.wav"},                         // root of a drive
        {"take.wav", "", "take.wav"},                                  // no separator
        {"D:take.wav", "D:", "take.wav"},
        {"Z:\\tmp\\sounds/a b.wav", "Z:\\tmp\\sounds/", "a b.wav"},
        {"", "", ""},
        // 表 (95 5C) and ソ (83 5C) end in the backslash byte: never a separator.
        {"C:\\\x95\x5C\x83\x5C", "C:\\", "\x95\x5C\x83\x5C"},
        // Classified from the start: 81 81 is one character, so the 5C after it is a separator.
        {"\x81\x81\x5Cname", "\x81\x81\x5C", "name"},
    };
    for (const auto& c : cases) {
        char directory[kPathBufferSize] = "stale", name[kPathBufferSize] = "stale";
        SplitPath(c.path, directory, name);
        EXPECT_STREQ(c.directory, directory) << c.path;
        EXPECT_STREQ(c.name, name) << c.path;
    }
}

// Both lines are padded with blanks and show exactly 35 bytes, even when byte 35 is the lead byte
// of a character.
TEST(DrawFileName, DrawsThirtyFiveBytesOfEachLine)
{
    MainWindow app;
    std::tie(app.layout.charWidth, app.layout.lineHeight) = std::make_tuple(6, 5);
    const std::string name = std::string(34, 'n') + "表示.wav";
    std::strcpy(app.fileName, ("C:\\" + name).c_str());
    MemoryCanvas drawn, expected;
    ASSERT_TRUE(CreateCanvas(drawn, 400, 40));
    ASSERT_TRUE(CreateCanvas(expected, 400, 40));
    DrawFileName(app, drawn.dc);
    SelectObject(expected.dc, GetStockObject(OEM_FIXED_FONT));
    TextOutA(expected.dc, app.layout.Col(1), app.layout.Row(1), ("C:\\" + std::string(32, ' ')).c_str(), 35);
    TextOutA(expected.dc, app.layout.Col(1), app.layout.Row(4), name.c_str(), 35);
    GdiFlush();
    EXPECT_EQ(0, std::memcmp(drawn.bits, expected.bits, 400 * 40 * 4));
}

// From version 0x035F (every 32-bit Windows since 4.0) the labels are bold, one and a half lines
// high and one pixel higher than their rows. (The smaller labels of older versions are left
// untested: only Windows 3.x reports a lower version.)
TEST(DrawChannelLabels, TheStereoLabelsAreBoldOneAndAHalfLinesHighAndOnePixelHigher)
{
    MainWindow app;
    std::tie(app.layout.charWidth, app.layout.lineHeight, app.sourceKind, app.format.channels, app.platformVersion) =
        std::make_tuple(6, 5, SourceKind::kFile, 2, 0x035F);
    MemoryCanvas drawn, expected;
    ASSERT_TRUE(CreateCanvas(drawn, 444, 30, 0));
    ASSERT_TRUE(CreateCanvas(expected, 444, 30, 0));
    DrawChannelLabels(app, drawn.dc);
    LOGFONTA logFont = {-7, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, ""};
    HGDIOBJ font = SelectObject(expected.dc, CreateFontIndirectA(&logFont));
    SetTextColor(expected.dc, RGB(255, 255, 0));
    SetBkMode(expected.dc, TRANSPARENT);
    TextOutA(expected.dc, 384, 9, "ＬＥＦＴ", 8);        // column 64, rows 2 and 4 of 6 x 5 pixels, less 1
    TextOutA(expected.dc, 384, 19, "ＲＩＧＨＴ", 10);
    GdiFlush();
    EXPECT_EQ(0, std::memcmp(drawn.bits, expected.bits, 444 * 30 * 4));
    DeleteObject(SelectObject(expected.dc, font));
}

// 74 columns, or two beside the 512-pixel graph where that is wider; high enough for the
// non-client area, 16 rows and the 256-pixel graph. (The window measures its columns and rows
// from the OEM font; the end-to-end run finds its level bar where that font puts it.)
TEST(WindowSize, ColumnsRowsAndTheGraph)
{
    EXPECT_EQ(524, MainWindowWidth(6));
    EXPECT_EQ(592, MainWindowWidth(8));
    EXPECT_EQ(366, MainWindowHeight(30, 5));
}

TEST(CommandLine, AnOverlongFileIsRefusedWholeAndOnlySlashPStartsPlaying)
{
    const std::string fits = "C:\\" + std::string(252, 'b') + ".wav";     // 259 bytes and the zero
    char fileName[kPathBufferSize];
    EXPECT_TRUE(ApplyFileArgument(fits.c_str(), fileName));
    EXPECT_EQ(fits, fileName);
    EXPECT_FALSE(ApplyFileArgument((fits + "x").c_str(), fileName));
    EXPECT_STREQ("", fileName);                                             // nothing of it kept
    for (const char* on : {"/p", "/P", "/Play"}) EXPECT_TRUE(IsAutoplaySwitch(on)) << on;
    for (const char* off : {"/", "/x", "-p", "p"}) EXPECT_FALSE(IsAutoplaySwitch(off)) << off;
}

// The help file: WinHelp only where the rules name one that lies beside the program, else the help
// page beside it in the browser.
std::string present;                             // the one file the predicate finds
bool IsPresent(const char* path) { return present == path; }

TEST(HelpChoice, WinHelpOnlyWhereTheRulesHelpFileLiesOtherwiseTheBrowserOnThePageBesideTheProgram)
{
    constexpr HelpViewer kWinHelp = HelpViewer::kWinHelp, kBrowser = HelpViewer::kBrowser;
    const struct { uint16_t version; const char *module, *present; HelpViewer viewer; const char* path; } cases[] = {
        {0x040A, "C:\\APPS\\TRILVO.EXE", "C:\\APPS\\trilvo.hlp", kWinHelp, "C:\\APPS\\trilvo.hlp"},
        {0x0601, "C:\\APPS\\TRILVO.EXE", "", kBrowser, "C:\\APPS\\TRILVO.HTM"},
        // On version 4.0 the first upper-case ".EXE" of the path becomes ".HLP"; none: TRILVO.HLP.
        {0x0400, "C:\\apps\\trilvo.exe", "C:\\apps\\TRILVO.HLP", kWinHelp, "C:\\apps\\TRILVO.HLP"},
        {0x0400, "C:\\OLD.EXE\\TRILVO.EXE", "C:\\OLD.HLP", kWinHelp, "C:\\OLD.HLP"},
        {0x0400, "C:\\OLD.EXE\\TRILVO.EXE", "", kBrowser, "C:\\OLD.EXE\\TRILVO.HTM"},
        // Shift-JIS names whose trail bytes are '\': the folder ends at the true separator.
        {0x0601, "C:\\ソフト\\表.EXE", "", kBrowser, "C:\\ソフト\\TRILVO.HTM"},
    };
    for (const auto& c : cases) {
        present = c.present;
        const HelpRequest request = ChooseHelp(c.version, c.module, IsPresent);
        EXPECT_EQ(c.viewer, request.viewer) << c.module << " " << c.present;
        EXPECT_STREQ(c.path, request.path) << c.module << " " << c.present;
    }
}

// Stored settings the Options dialog would not offer, or no number at all, give the defaults.
TEST(StoredSettings, ValuesTheOptionsDoNotOfferGiveTheDefaults)
{
    for (auto [text, timeResolution] : {std::pair{"512", 512}, {"8192", 8192}, {"abc", 2048}, {"3000", 2048}, {"16384", 2048}})
        EXPECT_EQ(timeResolution, CheckedTimeResolution(ParseSettingText(text))) << text;
    for (auto [exponent, checked] : {std::pair{8, 8}, {16, 16}, {7, 12}, {17, 12}}) EXPECT_EQ(checked, CheckedFftExponent(exponent)) << exponent;
}

// The on-memory size typed into Options: 2 to 255 MB, at most 15 MB up to version 3.11.
TEST(MemorySize, BoundedByThePlatformVersion)
{
    for (auto [typed, version, bounded] : {std::tuple{-5, 0x030B, 2}, {999, 0x030B, 15}, {16, 0x030C, 16}, {999, 0x0601, 255}, {1, 0x0601, 2}})
        EXPECT_EQ(bounded, BoundedMemorySize(typed, uint16_t(version))) << typed << " at " << std::hex << version;
}

// Masks of each kind (capability bits 1M08 1S08 1M16 1S16 at 11, 22 and 44 kHz; 0: no input device)
// with the remembered format: the format startup keeps (stereo only with a stereo bit; the rate and
// width as the dialog shows them) and the dialog's plan: the checked rate and width buttons, and
// whether the rate group, the 44 kHz button and the width group can be used.
TEST(MonitorFormat, StartupAndTheDialogFollowTheInputMask)
{
    const auto tie = [](const MonitorDialogPlan& p) {
        return std::make_tuple(p.rate, p.bits, p.rateButton, p.widthButton, p.rateGroupEnabled, p.rate44Enabled, p.widthGroupEnabled);
    };
    const struct { DWORD mask; uint32_t rate; uint16_t bits; int channels; MonitorDialogPlan plan; } cases[] = {
        {0xFFF, 22050, 8, 2, {22050, 8, IDC_MON_RATE_22, IDC_MON_8_BIT, true, true, true}},
        {0x400, 44100, 16, 1, {44100, 16, IDC_MON_RATE_44, IDC_MON_16_BIT, true, true, true}},    // 4M16 only
        {0x333, 44100, 16, 2, {44100, 8, IDC_MON_RATE_44, IDC_MON_8_BIT, true, true, false}},    // no 16-bit format
        {0x00F, 22050, 8, 2, {11025, 8, IDC_MON_RATE_11, IDC_MON_8_BIT, false, false, true}},    // 11 kHz only
        {0x000, 44100, 16, 1, {11025, 8, IDC_MON_RATE_11, IDC_MON_8_BIT, false, false, false}},  // nothing at all
        {0x0FF, 44100, 16, 2, {22050, 16, IDC_MON_RATE_22, IDC_MON_16_BIT, true, false, true}},  // 22 but not 44 kHz
        {0x0FF, 11025, 8, 2, {11025, 8, IDC_MON_RATE_11, IDC_MON_8_BIT, true, false, true}},
    };
    for (const auto& c : cases) {
        const MonitorFormat format = AdjustMonitorFormat({c.rate, 2, c.bits}, c.mask);
        EXPECT_EQ(std::make_tuple(c.channels, c.plan.rate, c.plan.bits),
                  std::make_tuple(int(format.channels), format.rate, format.bits)) << std::hex << c.mask;
        EXPECT_EQ(tie(c.plan), tie(PlanMonitorDialog(c.mask, c.rate, c.bits))) << std::hex << c.mask;
    }
}

// An input format query answer with no text of its own still gets a warning that names its code.
TEST(MonitorQueryMessage, AnUndocumentedAnswerIsNamedByItsCode)
{
    char text[256];
    FormatQueryMessage(11, text, sizeof text);
    EXPECT_STREQ("サウンドドライバが録音形式を受け付けません。(エラー 11)", text);
}

// One writer for each figure line: a file's Total, the monitor's Free (what one run can record,
// the same at opening and on every repaint), and the zero line before any source.
TEST(StatusLines, TotalFreeAndPositionTexts)
{
    char line[kStatusTextSize];
    const struct { StatusSource source; uint32_t bytes, perSecond; const char* text; } totals[] = {
        {StatusSource::kFile, 10584000, 176400, "Total:  10335 kb     60 sec"}, {StatusSource::kFile, 300 * 1024 + 1023, 0, "Total:    300 kb      0 sec"},
        {StatusSource::kMonitor, 0, 22050, "Free: 2097151 kb  97391 sec"}, {StatusSource::kNone, 5, 5, "Total:      0 kb      0 sec"}};
    for (const auto& t : totals) {
        FormatTotalLine(line, sizeof line, t.source, t.bytes, t.perSecond);
        EXPECT_STREQ(t.text, line);
    }
    FormatPositionLine(line, sizeof line, 4294967295u, 12);
    EXPECT_STREQ("Pos:  4294967295 kb     12 sec", line);
}

}  // namespace
