// The Wave Information dialog run for real in this process on generated files: the template's
// rows, the fields read front to back, the cbSize rule, the next chunk at 20 + f without a pad
// byte, the tag name, and what files too short, missing or too large show.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "audio/audio.h"
#include "shell/globals.h"
#include "tests/support/support.h"

namespace {

struct Child {
    int id;
    std::string className;
    std::string text;
    RECT rect;                      // client coordinates of the dialog
};

struct DialogView {
    INT_PTR result = -1;
    bool seen = false;
    bool timedOut = false;
    std::string caption;
    int baseX = 0, baseY = 0;       // pixels per 4 horizontal and 8 vertical dialog units
    std::vector<Child> children;
    std::map<int, std::string> text;
};

DialogView* view = nullptr;
HHOOK hook = nullptr;
WPARAM closeCommand = IDOK;

BOOL CALLBACK CollectChild(HWND child, LPARAM lParam)
{
    HWND dialog = reinterpret_cast<HWND>(lParam);
    Child c;
    c.id = int(int16_t(GetDlgCtrlID(child)));
    char buffer[128] = {};
    GetClassNameA(child, buffer, sizeof buffer);
    c.className = buffer;
    GetWindowTextA(child, buffer, sizeof buffer);
    c.text = buffer;
    GetWindowRect(child, &c.rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
    view->children.push_back(c);
    if (c.id > 0) view->text[c.id] = c.text;
    return TRUE;
}

// Reads the dialog once it is up (its fields were filled at WM_INITDIALOG), then closes it.
LRESULT CALLBACK DialogHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && view && !view->seen) {
        HWND dialog = reinterpret_cast<HWND>(wParam);
        char cls[32] = {};
        GetClassNameA(dialog, cls, sizeof cls);
        if (std::strcmp(cls, "#32770") == 0 && GetDlgItem(dialog, 116)) {
            view->seen = true;
            char caption[128] = {};
            GetWindowTextA(dialog, caption, sizeof caption);
            view->caption = caption;
            RECT units = {0, 0, 4, 8};
            MapDialogRect(dialog, &units);
            view->baseX = units.right;
            view->baseY = units.bottom;
            EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(dialog));
            PostMessageA(dialog, WM_COMMAND, closeCommand, 0);
        }
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

BOOL CALLBACK EndStrayDialog(HWND window, LPARAM)
{
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0) EndDialog(window, 0);
    return TRUE;
}

// A bound on the dialog's life should the hook never see it.
void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD)
{
    if (view) view->timedOut = true;
    EnumThreadWindows(GetCurrentThreadId(), EndStrayDialog, 0);
}

DialogView RunInfoBox(const std::string& path, WPARAM close = IDOK)
{
    ResetGlobals();
    lstrcpynA(g.fileName, path.c_str(), kPathBufferSize);
    DialogView result;
    view = &result;
    closeCommand = close;
    hook = SetWindowsHookExA(WH_CBT, DialogHook, nullptr, GetCurrentThreadId());
    const UINT_PTR timer = SetTimer(nullptr, 0, 10000, GiveUp);
    result.result = DialogBoxParamA(GetModuleHandleA(nullptr), "InfoBox", nullptr, INFOBOX, 0);
    KillTimer(nullptr, timer);
    UnhookWindowsHookEx(hook);
    view = nullptr;
    return result;
}

using Expected = std::vector<std::pair<int, std::string>>;

void ExpectFields(const DialogView& shown, const Expected& expected)
{
    ASSERT_TRUE(shown.seen);
    EXPECT_FALSE(shown.timedOut);
    EXPECT_EQ(1, shown.result);
    for (const auto& field : expected) {
        auto at = shown.text.find(field.first);
        ASSERT_NE(shown.text.end(), at) << "field " << field.first;
        EXPECT_EQ(field.second, at->second) << "field " << field.first;
    }
}

std::vector<uint8_t> Bytes(size_t count, uint8_t value) { return std::vector<uint8_t>(count, value); }

std::vector<uint8_t> Concat(std::vector<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
std::vector<uint8_t> Id(const char* id) { return std::vector<uint8_t>(id, id + 4); }

struct Row {
    const char* label;
    int id;
    const char* hint;               // nullptr: none
    int hintId;
};
const Row kRows[15] = {
    {"File Size", 116, nullptr, -1}, {"Riff ID", 101, nullptr, -1}, {"Riff Size", 102, "FileSize-8", -1},
    {"Riff Type", 103, nullptr, -1}, {"Chunk ID", 104, nullptr, -1}, {"Chunk Size", 105, nullptr, -1},
    {"WaveFmtType", 106, "PCM:1", 117}, {"Channels", 107, "1:M 2:S", -1},
    {"SamplePerSec", 108, nullptr, -1}, {"BytesPerSec", 109, "Samp*Block", -1},
    {"BlockSize", 110, "Ch * Bits / 8", -1}, {"SamplingBits", 111, nullptr, -1},
    {"cbSize", 112, "PCM:0 AD:32", -1}, {"Chunk ID", 113, nullptr, -1}, {"Chunk Size", 114, "RS-fCS-20", -1},
};

bool HasChild(const DialogView& shown, int id, const char* text, int x, int y, int w, int h)
{
    const RECT expected = {MulDiv(x, shown.baseX, 4), MulDiv(y, shown.baseY, 8),
                           MulDiv(x + w, shown.baseX, 4), MulDiv(y + h, shown.baseY, 8)};
    for (const Child& c : shown.children)
        if (c.id == id && c.text == text && EqualRect(&c.rect, &expected)) return true;
    return false;
}

// ---- The template, and a file that cannot be found ----

// Ended with Cancel (Esc or the close box), which ends it with 1 as OK does.
TEST(InfoBox, MissingFileShowsSizeZeroAndEveryRowAsTemplated)
{
    const DialogView shown = RunInfoBox(TempDirectory() + "not here.wav", IDCANCEL);
    Expected expected = {{116, "0"}, {117, "PCM:1"}};
    for (int row = 1; row < 15; ++row) expected.push_back({kRows[row].id, kRows[row].label});
    ExpectFields(shown, expected);

    EXPECT_EQ("Wave Information", shown.caption);
    EXPECT_TRUE(HasChild(shown, IDOK, "OK", 110, 7, 40, 14));
    for (int row = 0; row < 15; ++row) {
        SCOPED_TRACE(kRows[row].label);
        const int y = 7 + 10 * row;
        EXPECT_TRUE(HasChild(shown, -1, kRows[row].label, 8, y, 50, 8));
        if (row > 0) {
            EXPECT_TRUE(HasChild(shown, kRows[row].id, kRows[row].label, 60, y, 50, 8));
        }
        if (kRows[row].hint) {
            EXPECT_TRUE(HasChild(shown, kRows[row].hintId, kRows[row].hint, 110, y, 50, 8));
        }
    }
    // 15 labels, 15 values, 7 hints and the button.
    EXPECT_EQ(38u, shown.children.size());
}

// ---- Well-formed files ----

TEST(InfoBox, CanonicalFileShowsEveryHeaderField)
{
    const std::vector<uint8_t> file = PcmFile(2, 44100, 16, Bytes(100, 0));
    ExpectFields(RunInfoBox(WriteTempFile("info canonical.wav", file)),
                 {{116, "144"}, {101, "RIFF"}, {102, "136"}, {103, "WAVE"}, {104, "fmt "}, {105, "16"},
                  {106, "1"}, {117, "PCM"}, {107, "2"}, {108, "44100"}, {109, "176400"}, {110, "4"},
                  {111, "16"}, {112, ""}, {113, "data"}, {114, "100"}});
}

TEST(InfoBox, EighteenByteFormatShowsItsCbSize)
{
    std::vector<uint8_t> fmt = FmtBody(1, 1, 22050, 8, true);
    fmt[16] = 0x20;                 // cbSize 32
    const std::vector<uint8_t> file = RiffFile({{"fmt ", fmt}, {"data", Bytes(10, 128)}});
    ExpectFields(RunInfoBox(WriteTempFile("info 18.wav", file)),
                 {{105, "18"}, {107, "1"}, {108, "22050"}, {109, "22050"}, {110, "1"}, {111, "8"},
                  {112, "32"}, {113, "data"}, {114, "10"}});
}

TEST(InfoBox, ChunkAfterTheFormatIsShownWhateverItIs)
{
    const std::vector<uint8_t> file =
        RiffFile({{"fmt ", FmtBody(1, 2, 44100, 16)}, {"LIST", Bytes(26, 'x')}, {"data", Bytes(8, 0)}});
    ExpectFields(RunInfoBox(WriteTempFile("info list.wav", file)), {{113, "LIST"}, {114, "26"}});
}

// An odd format size: the next chunk is read at 20 + f itself, without skipping a pad byte.
TEST(InfoBox, OddFormatSizeReadsTheNextChunkWithoutPadByte)
{
    std::vector<uint8_t> fmt = FmtBody(1, 2, 44100, 16, true);
    fmt.push_back(0x33);            // 19 bytes, written without a pad byte
    const std::vector<uint8_t> file = Concat({Id("RIFF"), Le32(4 + 27 + 12), Id("WAVE"), Id("fmt "), Le32(19), fmt,
                                              Id("fact"), Le32(4), Le32(77)});
    ExpectFields(RunInfoBox(WriteTempFile("info odd.wav", file)),
                 {{105, "19"}, {112, "0"}, {113, "fact"}, {114, "4"}});
}

TEST(InfoBox, TagsFrom32768ShowNegativeAndUnknown)
{
    const std::vector<uint8_t> fmt = FmtBody(0x8000, 2, 44100, 16);
    ExpectFields(RunInfoBox(WriteTempFile("info tag.wav", RiffFile({{"fmt ", fmt}, {"data", Bytes(4, 0)}}))),
                 {{106, "-32768"}, {117, "unknown"}});
}

// ---- Files the fields do not fit ----

TEST(InfoBox, FileCutShortKeepsTheRowLabelsOfMissingFields)
{
    const std::vector<uint8_t> whole = PcmFile(2, 44100, 16, Bytes(100, 0));
    // Cut inside the average bytes per second: the fields before it show, the rest keep labels.
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + 30);
    ExpectFields(RunInfoBox(WriteTempFile("info cut30.wav", cut)),
                 {{116, "30"}, {101, "RIFF"}, {106, "1"}, {117, "PCM"}, {108, "44100"}, {109, "BytesPerSec"},
                  {110, "BlockSize"}, {111, "SamplingBits"}, {112, ""}, {113, "Chunk ID"}, {114, "Chunk Size"}});
    // Cut inside the first chunk's size: neither the cbSize rule nor the next chunk can be read.
    const std::vector<uint8_t> early(whole.begin(), whole.begin() + 18);
    ExpectFields(RunInfoBox(WriteTempFile("info cut18.wav", early)),
                 {{104, "fmt "}, {105, "Chunk Size"}, {106, "WaveFmtType"}, {117, "PCM:1"}, {112, "cbSize"},
                  {113, "Chunk ID"}, {114, "Chunk Size"}});
    // Cut inside the next chunk's size.
    const std::vector<uint8_t> late(whole.begin(), whole.begin() + 42);
    ExpectFields(RunInfoBox(WriteTempFile("info cut42.wav", late)),
                 {{111, "16"}, {113, "data"}, {114, "Chunk Size"}});
}

TEST(InfoBox, FormatSizeOutsideTheFileLeavesTheNextChunkRows)
{
    // Negative: below the start of the file; cbSize is then empty (signed comparison).
    std::vector<uint8_t> file = PcmFile(1, 11025, 8, Bytes(20, 128));
    file[16] = 0x9C; file[17] = 0xFF; file[18] = 0xFF; file[19] = 0xFF;          // -100
    ExpectFields(RunInfoBox(WriteTempFile("info negative.wav", file)),
                 {{105, "-100"}, {112, ""}, {113, "Chunk ID"}, {114, "Chunk Size"}});
    // Huge: 20 + f is past anything a seek reaches; cbSize is read from its place.
    file[16] = 0xF0; file[17] = 0xFF; file[18] = 0xFF; file[19] = 0x7F;
    ExpectFields(RunInfoBox(WriteTempFile("info huge.wav", file)),
                 {{105, "2147483632"}, {112, "24932"}, {113, "Chunk ID"}, {114, "Chunk Size"}});
}

TEST(InfoBox, FileLargerThan2GigabytesShowsANegativeSize)
{
    const std::string path = TempDirectory() + "info large.wav";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const std::vector<uint8_t> head = PcmFile(2, 44100, 16, Bytes(16, 0));
    DWORD written = 0;
    WriteFile(file, head.data(), DWORD(head.size()), &written, nullptr);
    LONG high = 0;                  // 2.5 GB = 0xA0000000: sparse on the host, nothing written
    SetFilePointer(file, LONG(0xA0000000u), &high, FILE_BEGIN);
    const bool extended = SetEndOfFile(file) != 0;
    CloseHandle(file);
    ASSERT_TRUE(extended);
    const DialogView shown = RunInfoBox(path);
    DeleteFileA(path.c_str());
    ExpectFields(shown, {{116, "-1610612736"}, {101, "RIFF"}, {113, "data"}, {114, "16"}});
}

}  // namespace
