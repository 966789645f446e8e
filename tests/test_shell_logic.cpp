// Shell decisions on plain inputs: the Shift-JIS aware split of a path into the directory and
// name lines, both lines padded and cut at 35 bytes, the stereo labels of each platform version,
// the help file path, the command line, the monitor format taken from the input device's
// formats, and the status lines.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <tuple>

#include "shell/decisions.h"
#include "shell/mainwindow.h"
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
    DestroyCanvas(drawn);
    DestroyCanvas(expected);
}

// From version 0x035F the labels are larger (one and a half lines) and one pixel higher.
TEST(DrawChannelLabels, NewerPlatformsDrawTheStereoLabelsLargerAndOnePixelHigher)
{
    MainWindow app;
    std::tie(app.layout.charWidth, app.layout.lineHeight, app.sourceKind, app.format.channels) =
        std::make_tuple(6, 5, SourceKind::kFile, 2);
    for (auto [version, height, lift] : {std::tuple{0x035F, -7, 1}, {0x035E, -5, 0}}) {
        app.platformVersion = uint16_t(version);
        MemoryCanvas drawn, expected;
        ASSERT_TRUE(CreateCanvas(drawn, 444, 30, 0));
        ASSERT_TRUE(CreateCanvas(expected, 444, 30, 0));
        DrawChannelLabels(app, drawn.dc);
        LOGFONTA logFont = {height, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, ""};
        HGDIOBJ font = SelectObject(expected.dc, CreateFontIndirectA(&logFont));
        SetTextColor(expected.dc, RGB(255, 255, 0));
        SetBkMode(expected.dc, TRANSPARENT);
        TextOutA(expected.dc, 384, 10 - lift, "ＬＥＦＴ", 8);        // column 64, rows 2 and 4 of 6 x 5 pixels
        TextOutA(expected.dc, 384, 20 - lift, "ＲＩＧＨＴ", 10);
        GdiFlush();
        EXPECT_EQ(0, std::memcmp(drawn.bits, expected.bits, 444 * 30 * 4)) << std::hex << version;
        DeleteObject(SelectObject(expected.dc, font));
        DestroyCanvas(drawn);
        DestroyCanvas(expected);
    }
}

TEST(HelpPath, TheFirstUpperCaseExeOfTheModulePathBecomesHlpOnVersionFourZero)
{
    char path[kPathBufferSize];
    for (auto [version, module, help] : {std::tuple{0x0400, "C:\\OLD.EXE\\TRILVO.EXE", "C:\\OLD.HLP"},
                                         {0x0400, "C:\\apps\\trilvo.exe", "TRILVO.HLP"},
                                         {0x040A, "C:\\APPS\\TRILVO.EXE", "trilvo.hlp"}}) {
        BuildHelpPath(uint16_t(version), module, path, sizeof path);
        EXPECT_STREQ(help, path) << module;
    }
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

TEST(MonitorFormat, FollowsTheInputFormatMask)
{
    const struct { DWORD mask; uint32_t initialRate; int channels, bits; uint32_t rate; } cases[] = {
        {0xFFF, 44100, 2, 16, 44100}, {0, 44100, 1, 8, 11025},          // 0: no input device
        {WAVE_FORMAT_1M08, 44100, 1, 8, 11025}, {WAVE_FORMAT_4M16, 44100, 1, 16, 44100},
        {WAVE_FORMAT_4S08, 44100, 2, 8, 44100}, {WAVE_FORMAT_2S16, 44100, 2, 16, 22050},
        {WAVE_FORMAT_2S16, 11025, 2, 16, 11025},                         // only 44100 becomes 22050
    };
    for (const auto& c : cases) {
        const MonitorFormat format = AdjustMonitorFormat({c.initialRate, 2, 16}, c.mask);
        EXPECT_EQ(std::make_tuple(c.channels, c.bits, c.rate),
                  std::make_tuple(int(format.channels), int(format.bits), format.rate)) << c.mask;
    }
}

// One writer for each figure line: a file's Total, the monitor's Free (what one run can record,
// the same at opening and on every repaint), and the zero line before any source.
TEST(StatusLines, TotalFreeAndPositionTexts)
{
    char line[kStatusTextSize];
    FormatTotalLine(line, sizeof line, StatusSource::kFile, 10584000, 176400);
    EXPECT_STREQ("Total:  10335 kb     60 sec", line);
    FormatTotalLine(line, sizeof line, StatusSource::kFile, 300 * 1024 + 1023, 0);
    EXPECT_STREQ("Total:    300 kb      0 sec", line);
    FormatTotalLine(line, sizeof line, StatusSource::kMonitor, 0, 22050);
    EXPECT_STREQ("Free: 2097151 kb  97391 sec", line);
    FormatTotalLine(line, sizeof line, StatusSource::kNone, 5, 5);
    EXPECT_STREQ("Total:      0 kb      0 sec", line);
    FormatPositionLine(line, sizeof line, 4294967295u, 12);
    EXPECT_STREQ("Pos:  4294967295 kb     12 sec", line);
}

}  // namespace
