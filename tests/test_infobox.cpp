// The Wave Information dialog run modally in this process on generated files: the fields read
// front to back, the cbSize rule, the next chunk at 20 + f without skipping a pad byte, the tag
// name, and what a missing file and a file cut short leave in the fields.
#include <gtest/gtest.h>

#include <map>

#include "audio/audio.h"
#include "shell/globals.h"
#include "tests/support/support.h"

namespace {

using Fields = std::map<int, std::string>;
Fields shown;
WPARAM closeWith = IDOK;
HHOOK hook = nullptr;

// Reads every value field once the dialog is up (WM_INITDIALOG has filled them), then closes it.
LRESULT CALLBACK ReadAndClose(int code, WPARAM wParam, LPARAM lParam)
{
    HWND dialog = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && shown.empty() && GetDlgItem(dialog, 116)) {
        char text[64];
        for (int id = 101; id <= 117; ++id)     // an empty text counts only where the field exists
            if (GetDlgItemTextA(dialog, id, text, sizeof text) || GetDlgItem(dialog, id)) shown[id] = text;
        PostMessageA(dialog, WM_COMMAND, closeWith, 0);
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

// The bound on a dialog that does not close: it ends with a result the test rejects.
void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { EndDialog(GetActiveWindow(), -2); }

TEST(InfoBox, ShowsTheHeaderFieldsAsTheyStandInTheFile)
{
    const std::vector<uint8_t> canonical = PcmFile(2, 44100, 16, std::vector<uint8_t>(100, 0));
    const struct {
        const char* name;
        std::vector<uint8_t> bytes; // empty: the file does not exist
        Fields expected;
    } cases[] = {
        {"canonical", canonical,
         {{116, "144"}, {101, "RIFF"}, {102, "136"}, {103, "WAVE"}, {104, "fmt "}, {105, "16"}, {106, "1"}, {117, "PCM"},
          {107, "2"}, {108, "44100"}, {109, "176400"}, {110, "4"}, {111, "16"}, {112, ""}, {113, "data"}, {114, "100"}}},
        {"18-byte fmt", RiffFile({{"fmt ", FmtBody(1, 1, 22050, 8, true)}, {"data", {1, 2}}}),
         {{105, "18"}, {107, "1"}, {108, "22050"}, {112, "0"}, {113, "data"}, {114, "2"}}},
        {"LIST between fmt and data", RiffFile({{"fmt ", FmtBody(1, 2, 44100, 16)}, {"LIST", {1, 2, 3}}, {"data", {1, 2}}}),
         {{113, "LIST"}, {114, "3"}}},
        // 19 bytes and a zero pad: the next chunk is read at 39, so its id starts with the pad
        // byte (an empty text) and its size is "t", 4, 0, 0 of the "fact" chunk behind it.
        {"odd fmt size", RiffFile({{"fmt ", std::vector<uint8_t>(19, 1)}, {"fact", {0, 0, 0, 0}}}),
         {{105, "19"}, {113, ""}, {114, "1140"}}},
        {"tag 32768", RiffFile({{"fmt ", FmtBody(0x8000, 2, 44100, 16)}, {"data", {1, 2}}}), {{106, "-32768"}, {117, "unknown"}}},
        // Cut inside the average bytes per second: the fields not wholly in the file keep their labels.
        {"cut short", {canonical.begin(), canonical.begin() + 30},
         {{116, "30"}, {108, "44100"}, {109, "BytesPerSec"}, {111, "SamplingBits"}, {112, ""}, {113, "Chunk ID"},
          {114, "Chunk Size"}}},
        {"missing", {},
         {{116, "0"}, {101, "Riff ID"}, {105, "Chunk Size"}, {106, "WaveFmtType"}, {117, "PCM:1"}, {110, "BlockSize"},
          {112, "cbSize"}, {113, "Chunk ID"}, {114, "Chunk Size"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.bytes.empty() ? TempDirectory() + "absent.wav" : WriteTempFile("info.wav", c.bytes);
        lstrcpynA(g.fileName, path.c_str(), kPathBufferSize);
        shown.clear();
        closeWith = closeWith == IDOK ? IDCANCEL : IDOK;    // OK and Cancel both end it with 1
        hook = SetWindowsHookExA(WH_CBT, ReadAndClose, nullptr, GetCurrentThreadId());
        const UINT_PTR timer = SetTimer(nullptr, 0, 5000, GiveUp);
        EXPECT_EQ(1, DialogBoxParamA(GetModuleHandleA(nullptr), "InfoBox", nullptr, INFOBOX, 0));
        KillTimer(nullptr, timer);
        UnhookWindowsHookEx(hook);
        for (const auto& field : c.expected)
            EXPECT_EQ(field.second, shown.count(field.first) ? shown[field.first] : "(no field)") << field.first;
    }
}

}  // namespace
