// The Wave Information dialog created in this process on generated files: the fields read
// front to back, the cbSize rule, the next chunk at 20 + f without skipping a pad byte, the tag
// name, and what a missing file and a file cut short leave in the fields.
#include <gtest/gtest.h>

#include <map>

#include "audio/audio.h"
#include "shell/globals.h"
#include "tests/support/support.h"

namespace {

using Fields = std::map<int, std::string>;

TEST(InfoBox, ShowsTheHeaderFieldsAsTheyStandInTheFile)
{
    const std::vector<uint8_t> canonical = PcmFile(2, 44100, 16, std::vector<uint8_t>(100, 0));
    const struct { const char* name; std::vector<uint8_t> bytes; Fields expected; } cases[] = {  // no bytes: no file
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
    WPARAM closeWith = IDOK;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.bytes.empty() ? TempDirectory() + "absent.wav" : WriteTempFile("info.wav", c.bytes);
        lstrcpynA(g.fileName, path.c_str(), kPathBufferSize);
        HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "InfoBox", nullptr, INFOBOX, 0);   // fills it
        ASSERT_NE(nullptr, dialog);
        for (const auto& [id, expected] : c.expected) {     // an empty text counts only where the field exists
            char text[64] = "(no field)";
            if (GetDlgItem(dialog, id)) GetDlgItemTextA(dialog, id, text, sizeof text);
            EXPECT_EQ(expected, text) << id;
        }
        ShowWindow(dialog, SW_SHOW);
        closeWith = closeWith == IDOK ? IDCANCEL : IDOK;    // OK and Cancel both end it
        SendMessageA(dialog, WM_COMMAND, closeWith, 0);
        EXPECT_FALSE(IsWindowVisible(dialog));
        DestroyWindow(dialog);
    }
}

}  // namespace
