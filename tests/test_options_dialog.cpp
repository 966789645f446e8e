// The Options dialog driven in-process: its template, what it shows for the state record, what
// OK, Cancel and the radio groups write back, the memory size bounds and the on-memory switch.
#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/options.h"

namespace {

constexpr uint16_t kModernVersion = 0x0601;

class OptionDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGlobals();
        g.platformVersion = kModernVersion;
    }
    INT_PTR Run(DialogAction act, void* context, DialogEnd end)
    {
        return RunOptionDialog(TestDialogOwner(), act, context, end);
    }
};

// ---- The template as stored in the resources --------------------------------------------------

struct TemplateItem {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string className;   // ordinals mapped to their class names
};

struct ParsedTemplate {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring title, fontName;
    int pointSize = 0;
    std::vector<TemplateItem> items;
};

const WORD* SkipSzOrOrd(const WORD* p, std::wstring* text, int* ordinal)
{
    if (*p == 0) return p + 1;
    if (*p == 0xFFFF) {
        if (ordinal) *ordinal = p[1];
        return p + 2;
    }
    std::wstring s;
    while (*p) s.push_back(static_cast<wchar_t>(*p++));
    if (text) *text = s;
    return p + 1;
}

std::string ClassOfOrdinal(int ordinal)
{
    switch (ordinal) {
    case 0x80: return "BUTTON";
    case 0x81: return "EDIT";
    case 0x82: return "STATIC";
    case 0x85: return "COMBOBOX";
    default: return "ordinal " + std::to_string(ordinal);
    }
}

bool ParseOptionTemplate(ParsedTemplate& out)
{
    HRSRC resource = FindResourceA(nullptr, "Option", reinterpret_cast<LPCSTR>(RT_DIALOG));
    if (!resource) return false;
    const auto* header = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, resource)));
    if (!header) return false;
    out.style = header->style;
    out.x = header->x, out.y = header->y, out.cx = header->cx, out.cy = header->cy;
    const WORD* p = reinterpret_cast<const WORD*>(header + 1);
    p = SkipSzOrOrd(p, nullptr, nullptr);                 // menu
    p = SkipSzOrOrd(p, nullptr, nullptr);                 // class
    p = SkipSzOrOrd(p, &out.title, nullptr);
    if (out.style & DS_SETFONT) {
        out.pointSize = *p++;
        p = SkipSzOrOrd(p, &out.fontName, nullptr);
    }
    for (int i = 0; i < header->cdit; ++i) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3));
        const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        TemplateItem parsed;
        parsed.style = item->style;
        parsed.x = item->x, parsed.y = item->y, parsed.cx = item->cx, parsed.cy = item->cy;
        parsed.id = item->id;
        p = reinterpret_cast<const WORD*>(item + 1);
        std::wstring className;
        int ordinal = -1;
        p = SkipSzOrOrd(p, &className, &ordinal);
        if (ordinal >= 0) {
            parsed.className = ClassOfOrdinal(ordinal);
        } else {
            for (wchar_t c : className) parsed.className.push_back(static_cast<char>(towupper(c)));
        }
        p = SkipSzOrOrd(p, nullptr, nullptr);             // text: read from the live dialog
        const WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        out.items.push_back(parsed);
    }
    return true;
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kList = kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kLabel = kChild | SS_LEFT | WS_GROUP;
constexpr DWORD kGroupBox = kChild | BS_GROUPBOX | WS_GROUP;
constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON;

struct ExpectedItem {
    int id;
    const char* className;
    const char* text;          // Shift-JIS as the dialog returns it
    short x, y, cx, cy;
    DWORD style;
};

const ExpectedItem kExpectedItems[] = {
    {101, "COMBOBOX", "", 5, 16, 42, 46, kList},
    {102, "STATIC", "時間分解能", 6, 7, 40, 8, kLabel},
    {103, "STATIC", "サンプル数", 57, 7, 55, 8, kLabel},
    {104, "COMBOBOX", "", 58, 16, 40, 44, kList},
    {108, "STATIC", "窓関数", 110, 7, 29, 8, kLabel},
    {109, "COMBOBOX", "", 110, 16, 45, 48, kList},
    {105, "BUTTON", "傾き", 5, 34, 150, 38, kGroupBox},
    {106, "BUTTON", "ホワイトノイズを基準(水平)にする", 12, 45, 139, 10, kRadio},
    {107, "BUTTON", "ピンクノイズを基準(水平)にする", 13, 57, 137, 10, kRadio},
    {110, "BUTTON", "振幅/パワー表示", 6, 76, 100, 28, kGroupBox},
    {111, "BUTTON", "標準", 11, 89, 29, 10, kRadio},
    {112, "BUTTON", "二倍に拡大", 44, 89, 54, 10, kRadio},
    {1, "BUTTON", "OK", 114, 84, 40, 14, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
    {114, "BUTTON", "オンメモリ解析", 8, 111, 68, 10, kChild | BS_AUTOCHECKBOX | WS_TABSTOP},
    {115, "EDIT", "", 113, 110, 23, 12, kChild | ES_LEFT | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP},
    {116, "STATIC", "MB", 141, 113, 14, 8, kLabel},
    {117, "STATIC", "ﾒﾓﾘｻｲｽﾞ", 83, 112, 30, 8, kLabel},
};

TEST(OptionTemplate, HeaderAndControlsAreAsTabled)
{
    ParsedTemplate parsed;
    ASSERT_TRUE(ParseOptionTemplate(parsed));
    EXPECT_EQ(DWORD(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT),
              parsed.style);
    EXPECT_EQ(7, parsed.x);
    EXPECT_EQ(17, parsed.y);
    EXPECT_EQ(160, parsed.cx);
    EXPECT_EQ(125, parsed.cy);
    EXPECT_EQ(12, parsed.pointSize);
    EXPECT_TRUE(parsed.fontName == L"System");
    ASSERT_EQ(std::size(kExpectedItems), parsed.items.size());
    for (size_t i = 0; i < parsed.items.size(); ++i) {
        const ExpectedItem& want = kExpectedItems[i];
        const TemplateItem& got = parsed.items[i];
        SCOPED_TRACE("control " + std::to_string(want.id));
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(want.className, got.className);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
        EXPECT_EQ(want.style, got.style) << std::hex << "got 0x" << got.style;
    }
}

// Title and control texts as the running dialog gives them in code page 932, and the lists.
TEST_F(OptionDialog, ShowsTheTabledTextsAndListEntries)
{
    const INT_PTR result = Run([](HWND dialog, void*) {
        char title[64] = {};
        GetWindowTextA(dialog, title, sizeof title);
        EXPECT_STREQ("オプション設定", title);
        for (const ExpectedItem& item : kExpectedItems) {
            if (item.text[0]) {
                EXPECT_EQ(item.text, ItemText(dialog, item.id)) << "control " << item.id;
            }
        }
        const std::vector<std::string> times = {"１秒", "1/3秒", "1/5秒", "1/11秒", "1/22秒"};
        const std::vector<std::string> lengths = {"  256", "  512", " 1024", " 2048", " 4096",
                                                  " 8192", "16384", "32768", "65536"};
        const std::vector<std::string> windows = {"ハニング", "ハミング", "ﾌﾞﾗｯｸﾏﾝ", "三角", "方形"};
        const struct { int id; const std::vector<std::string>* texts; } lists[] = {
            {101, &times}, {104, &lengths}, {109, &windows}};
        for (const auto& list : lists) {
            ASSERT_EQ(LRESULT(list.texts->size()), SendDlgItemMessageA(dialog, list.id, CB_GETCOUNT, 0, 0));
            for (size_t i = 0; i < list.texts->size(); ++i)
                EXPECT_EQ((*list.texts)[i], ListEntryText(dialog, list.id, int(i))) << "list " << list.id;
        }
    }, nullptr, DialogEnd::kEscape);
    EXPECT_EQ(0, result);
}

// ---- Opening: the controls show the state record -------------------------------------------

TEST_F(OptionDialog, OpensWithTheInitialSettings)
{
    const INT_PTR result = Run([](HWND dialog, void*) {
        EXPECT_EQ(2, ListSelection(dialog, 101));         // 2048: "1/5秒"
        EXPECT_EQ(4, ListSelection(dialog, 104));         // exponent 12: " 4096"
        EXPECT_EQ(0, ListSelection(dialog, 109));         // Hanning
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, 106));
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, 107));
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, 111));
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, 112));
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, 114));
        EXPECT_EQ("15", ItemText(dialog, 115));
        EXPECT_EQ(3, SendDlgItemMessageA(dialog, 115, EM_GETLIMITTEXT, 0, 0));
        for (int id : {115, 116, 117}) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
        EXPECT_EQ(GetDlgItem(dialog, 114), GetFocus());
    }, nullptr, DialogEnd::kEscape);
    EXPECT_EQ(0, result);
}

TEST_F(OptionDialog, OpensWithChangedSettings)
{
    state.timeResolution = 8192;
    state.fftExponent = 16;
    state.windowType = kWindowRectangle;
    state.slopeReference = kSlopePink;
    state.amplitudeScale = kScaleDoubled;
    state.onMemoryOption = 1;
    state.memorySizeMB = 200;
    const INT_PTR result = Run([](HWND dialog, void*) {
        EXPECT_EQ(0, ListSelection(dialog, 101));
        EXPECT_EQ(8, ListSelection(dialog, 104));
        EXPECT_EQ(4, ListSelection(dialog, 109));
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, 106));
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, 107));
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, 111));
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, 112));
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, 114));
        EXPECT_EQ("200", ItemText(dialog, 115));
        for (int id : {115, 116, 117}) EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
        EXPECT_EQ(GetDlgItem(dialog, 115), GetFocus());
    }, nullptr, DialogEnd::kEscape);
    EXPECT_EQ(0, result);
}

TEST_F(OptionDialog, TimeResolutionNotOfferedIsLeftUnselectedAndKept)
{
    state.timeResolution = 3000;
    const INT_PTR result = Run([](HWND dialog, void*) {
        EXPECT_EQ(CB_ERR, ListSelection(dialog, 101));
        ChooseListEntry(dialog, 104, " 1024");            // the rest is still written
    }, nullptr, DialogEnd::kOk);
    EXPECT_EQ(1, result);
    EXPECT_EQ(3000, state.timeResolution);
    EXPECT_EQ(10, state.fftExponent);
}

// An exponent outside 8..16 can only come from a hand-edited settings file; OK must not turn
// the missing selection into exponent 7.
TEST_F(OptionDialog, FftExponentOutsideTheListIsKeptOnOk)
{
    state.fftExponent = 20;
    const INT_PTR result = Run([](HWND dialog, void*) {
        EXPECT_EQ(CB_ERR, ListSelection(dialog, 104));
    }, nullptr, DialogEnd::kOk);
    EXPECT_EQ(1, result);
    EXPECT_EQ(20, state.fftExponent);
}

// ---- OK writes everything back -------------------------------------------------------------

struct Choice {
    const char* time;
    const char* length;
    const char* window;
    int32_t wantTime, wantExponent, wantWindow;
};

TEST_F(OptionDialog, OkStoresTheChosenListEntries)
{
    const Choice choices[] = {
        {"1/22秒", "65536", "方形", 512, 16, kWindowRectangle},
        {"１秒", "  256", "ハミング", 8192, 8, kWindowHamming},
        {"1/11秒", " 8192", "三角", 1024, 13, kWindowTriangle},
        {"1/3秒", "32768", "ﾌﾞﾗｯｸﾏﾝ", 4096, 15, kWindowBlackman},
    };
    for (const Choice& choice : choices) {
        SCOPED_TRACE(choice.length);
        ResetGlobals();
        g.platformVersion = kModernVersion;
        const INT_PTR result = Run([](HWND dialog, void* context) {
            const auto* c = static_cast<const Choice*>(context);
            EXPECT_NE(CB_ERR, ChooseListEntry(dialog, 101, c->time));
            EXPECT_NE(CB_ERR, ChooseListEntry(dialog, 104, c->length));
            EXPECT_NE(CB_ERR, ChooseListEntry(dialog, 109, c->window));
        }, const_cast<Choice*>(&choice), DialogEnd::kOk);
        EXPECT_EQ(1, result);
        EXPECT_EQ(choice.wantTime, state.timeResolution);
        EXPECT_EQ(choice.wantExponent, state.fftExponent);
        EXPECT_EQ(choice.wantWindow, state.windowType);
    }
}

TEST_F(OptionDialog, OkStoresTheOnMemorySwitchAndSize)
{
    INT_PTR result = Run([](HWND dialog, void*) {
        Click(dialog, 114);
        TypeInto(dialog, 115, "100");
    }, nullptr, DialogEnd::kOk);
    EXPECT_EQ(1, result);
    EXPECT_EQ(1, state.onMemoryOption);
    EXPECT_EQ(100, state.memorySizeMB);

    result = Run([](HWND dialog, void*) { Click(dialog, 114); }, nullptr, DialogEnd::kOk);
    EXPECT_EQ(1, result);
    EXPECT_EQ(0, state.onMemoryOption);
    EXPECT_EQ(100, state.memorySizeMB);
}

// ---- Memory size bounds ----------------------------------------------------------------------

struct SizeCase {
    uint16_t version;
    const char* typed;
    int32_t want;
};

TEST_F(OptionDialog, MemorySizeTextIsBroughtIntoBounds)
{
    const SizeCase cases[] = {
        {kModernVersion, "1", 2},      {kModernVersion, "999", 255}, {kModernVersion, "", 2},
        {kModernVersion, "-5", 2},     {kModernVersion, "0", 2},     {kModernVersion, "abc", 2},
        {kModernVersion, "256", 255},  {kModernVersion, "2", 2},     {kModernVersion, " 40", 40},
        {kModernVersion, "1234", 123},  // typing stops at three characters
        {0x030B, "999", 15},           {0x030B, "16", 15},           {0x030A, "255", 15},
        {0x030B, "1", 2},              {0x030C, "16", 16},           {0x030C, "999", 255},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(std::string("typed \"") + c.typed + "\" at version " + std::to_string(c.version));
        ResetGlobals();
        g.platformVersion = c.version;
        state.onMemoryOption = 1;
        const INT_PTR result = Run([](HWND dialog, void* context) {
            TypeInto(dialog, 115, static_cast<const SizeCase*>(context)->typed);
        }, const_cast<SizeCase*>(&c), DialogEnd::kOk);
        EXPECT_EQ(1, result);
        EXPECT_EQ(c.want, state.memorySizeMB);
    }
}

TEST(ClampMemorySize, AppliesCeilingOldPlatformCeilingAndFloorInOrder)
{
    const struct { uint16_t version; int32_t before, after; } cases[] = {
        {0x0601, 255, 255}, {0x0601, 256, 255}, {0x0601, 0x7FFFFFFF, 255}, {0x0601, 16, 16},
        {0x0601, 2, 2},     {0x0601, 1, 2},     {0x0601, 0, 2},            {0x0601, -40, 2},
        {0x030B, 16, 15},   {0x030B, 15, 15},   {0x030B, 1000, 15},        {0x030B, 1, 2},
        {0x0300, 200, 15},  {0x030C, 200, 200}, {0x0400, 300, 255},
    };
    for (const auto& c : cases) {
        ResetGlobals();
        g.platformVersion = c.version;
        state.memorySizeMB = c.before;
        ClampMemorySize();
        EXPECT_EQ(c.after, state.memorySizeMB) << c.before << " at version " << c.version;
    }
}

TEST(TimeResolutionList, MapsValuesToEntriesAndBack)
{
    const int32_t offered[] = {8192, 4096, 2048, 1024, 512};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(i, TimeResolutionIndex(offered[i]));
        EXPECT_EQ(offered[i], TimeResolutionAt(i, -7));
    }
    for (int32_t value : {0, -1, 3000, 256, 16384}) EXPECT_EQ(-1, TimeResolutionIndex(value)) << value;
    for (int index : {-1, 5, 100}) EXPECT_EQ(3000, TimeResolutionAt(index, 3000)) << index;
}

// ---- Radio groups, Cancel and the on-memory switch -------------------------------------------

TEST_F(OptionDialog, RadioGroupsWriteAtTheClickAndCancelKeepsThem)
{
    const INT_PTR result = Run([](HWND dialog, void*) {
        Click(dialog, 107);
        EXPECT_EQ(kSlopePink, state.slopeReference);
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, 106));
        Click(dialog, 112);
        EXPECT_EQ(kScaleDoubled, state.amplitudeScale);
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, 111));
        Click(dialog, 111);
        EXPECT_EQ(kScaleStandard, state.amplitudeScale);
        // Everything else waits for OK, so Cancel drops it.
        ChooseListEntry(dialog, 101, "1/22秒");
        ChooseListEntry(dialog, 104, "65536");
        ChooseListEntry(dialog, 109, "方形");
        Click(dialog, 114);
        TypeInto(dialog, 115, "99");
    }, nullptr, DialogEnd::kEscape);
    EXPECT_EQ(0, result);
    EXPECT_EQ(kSlopePink, state.slopeReference);
    EXPECT_EQ(kScaleStandard, state.amplitudeScale);
    EXPECT_EQ(2048, state.timeResolution);
    EXPECT_EQ(12, state.fftExponent);
    EXPECT_EQ(kWindowHanning, state.windowType);
    EXPECT_EQ(0, state.onMemoryOption);
    EXPECT_EQ(15, state.memorySizeMB);
}

TEST_F(OptionDialog, CloseBoxCancelsToo)
{
    state.slopeReference = kSlopePink;
    const INT_PTR result = Run([](HWND dialog, void*) {
        Click(dialog, 106);
        ChooseListEntry(dialog, 104, "  512");
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }, nullptr, DialogEnd::kByAction);
    EXPECT_EQ(0, result);
    EXPECT_EQ(kSlopeWhite, state.slopeReference);
    EXPECT_EQ(12, state.fftExponent);
}

TEST_F(OptionDialog, OnMemorySwitchGraysAndEnablesTheSizeField)
{
    state.onMemoryOption = 1;
    const INT_PTR result = Run([](HWND dialog, void*) {
        Click(dialog, 114);
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, 114));
        for (int id : {115, 116, 117}) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
        Click(dialog, 114);
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, 114));
        for (int id : {115, 116, 117}) EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
        // The switch alone writes nothing before OK.
        EXPECT_EQ(1, state.onMemoryOption);
    }, nullptr, DialogEnd::kOk);
    EXPECT_EQ(1, result);
    EXPECT_EQ(1, state.onMemoryOption);
}

}  // namespace
