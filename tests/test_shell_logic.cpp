// Path and text utilities of the status panel: the last separator in Shift-JIS text, splitting
// a path into the directory and name lines, and blank padding to a fixed field.
#include <gtest/gtest.h>
#include <cstring>
#include <string>

#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/support.h"

namespace {

struct Split {
    std::string directory;
    std::string name;
};

Split SplitOf(const char* path)
{
    char directory[kPathBufferSize];
    char name[kPathBufferSize];
    std::memset(directory, 'x', sizeof directory);
    std::memset(name, 'x', sizeof name);
    SplitPath(path, directory, name);
    return {directory, name};
}

TEST(FindLastSeparator, FindsTheLastOfAnySeparator)
{
    const char path[] = "C:\\wave/sub\\take.wav";
    EXPECT_EQ(path + 11, FindLastSeparator(path, "\\/:"));
    const char drive[] = "D:take.wav";
    EXPECT_EQ(drive + 1, FindLastSeparator(drive, "\\/:"));
    EXPECT_EQ(nullptr, FindLastSeparator("take.wav", "\\/:"));
    EXPECT_EQ(nullptr, FindLastSeparator("", "\\/:"));
    EXPECT_EQ(nullptr, FindLastSeparator(nullptr, "\\/:"));
    EXPECT_EQ(nullptr, FindLastSeparator(path, ""));
    EXPECT_EQ(nullptr, FindLastSeparator(path, nullptr));
}

TEST(FindLastSeparator, NeverTakesTheTrailByteOfADoubleByteCharacter)
{
    // "ソ" is 83 5C and "表" is 95 5C in Shift-JIS: both end in the backslash byte.
    const char path[] = "C:\\\x83\x5C\x95\x5C";
    EXPECT_EQ(path + 2, FindLastSeparator(path, "\\"));
    // Classification runs from the start: 81 5C 5C is one character then a true backslash.
    const char tricky[] = "\x81\x5C\x5Cname";
    EXPECT_EQ(tricky + 2, FindLastSeparator(tricky, "\\"));
    // Half-width katakana (A1..DF) are single-byte characters.
    const char kana[] = "\xB1\\\xB2";
    EXPECT_EQ(kana + 1, FindLastSeparator(kana, "\\"));
}

TEST(SplitPath, SeparatesDirectoryAndName)
{
    struct Case {
        const char* path;
        const char* directory;
        const char* name;
    };
    const Case cases[] = {
        {"C:\\take.wav", "C:\\", "take.wav"},                       // root of a drive
        {"take.wav", "", "take.wav"},                                // no separator
        {"Z:\\tmp/sounds\\a b.wav", "Z:\\tmp/sounds\\", "a b.wav"},
        {"C:\\dir\\", "C:\\dir\\", ""},
        {"", "", ""},
        {"C:\\\x95\x5C\x8E\xA6\x83\x5C\\x.wav", "C:\\\x95\x5C\x8E\xA6\x83\x5C\\", "x.wav"},   // 表示ソ
        {"\x83\x5C.wav", "", "\x83\x5C.wav"},                        // ソ.wav: no separator
    };
    for (const Case& c : cases) {
        const Split split = SplitOf(c.path);
        EXPECT_EQ(c.directory, split.directory) << c.path;
        EXPECT_EQ(c.name, split.name) << c.path;
    }
}

TEST(PadToWidth, FillsWithBlanksToOneByteShortOfTheField)
{
    char text[40] = "abc";
    EXPECT_EQ(text, PadToWidth(text, 36));
    EXPECT_EQ(std::string("abc") + std::string(32, ' '), text);
    char empty[8] = "";
    PadToWidth(empty, 8);
    EXPECT_STREQ("       ", empty);
    char untouched[8] = "abc";
    EXPECT_EQ(untouched, PadToWidth(untouched, 0));
    EXPECT_STREQ("abc", untouched);
    EXPECT_EQ(nullptr, PadToWidth(nullptr, 10));
}

TEST(PadToWidth, WarnsAndCutsATextThatFillsItsField)
{
    app.mainWindow = nullptr;
    char exact[16] = "abcdefgh";
    BeginBoxCapture();
    PadToWidth(exact, 8);                   // 8 bytes of text in an 8-byte field
    std::vector<CapturedBox> boxes = EndBoxCapture();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("bugbug!!", boxes[0].text);
    EXPECT_TRUE(boxes[0].warningIcon);
    EXPECT_STREQ("abcdefg", exact);

    // One byte shorter than the field fits without a warning.
    char fits[16] = "abcdefg";
    BeginBoxCapture();
    PadToWidth(fits, 8);
    EXPECT_TRUE(EndBoxCapture().empty());
    EXPECT_STREQ("abcdefg", fits);
}

TEST(HelpPath, UsesTheModulePathOnlyOnVersionFourZero)
{
    char path[kPathBufferSize];
    BuildHelpPath(0x0400, "C:\\APPS\\TRILVO.EXE", path, sizeof path);
    EXPECT_STREQ("C:\\APPS\\TRILVO.HLP", path);
    // The first ".EXE" wins, even inside a directory name; the path ends after it.
    BuildHelpPath(0x0400, "C:\\OLD.EXE\\TRILVO.EXE", path, sizeof path);
    EXPECT_STREQ("C:\\OLD.HLP", path);
    // The search is case-sensitive: a lower-case extension gives the bare name.
    BuildHelpPath(0x0400, "C:\\apps\\trilvo.exe", path, sizeof path);
    EXPECT_STREQ("TRILVO.HLP", path);
    for (uint16_t version : {0x030A, 0x0333, 0x040A, 0x0601}) {
        BuildHelpPath(version, "C:\\APPS\\TRILVO.EXE", path, sizeof path);
        EXPECT_STREQ("trilvo.hlp", path) << std::hex << version;
    }
}

}  // namespace
