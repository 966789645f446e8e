// The Wave Information dialog created in this process on generated files: the fields read
// front to back, the cbSize rule, the next chunk at 20 + f without skipping a pad byte, the tag
// name, and what a missing file and a file cut short leave in the fields.
#include <gtest/gtest.h>

#include <map>

#include "resources/resource.h"
#include "shell/dialogs.h"
#include "tests/support/support.h"

namespace {

using Fields = std::map<int, std::string>;

TEST(InfoBox, ShowsTheHeaderFieldsAsTheyStandInTheFile)
{
    const std::vector<uint8_t> canonical = PcmFile(2, 44100, 16, std::vector<uint8_t>(100, 0));
    const struct { const char* name; std::vector<uint8_t> bytes; Fields expected; } cases[] = {  // no bytes: no file
        {"canonical", canonical,
         {{IDC_INFO_FILE_SIZE, "144"}, {IDC_INFO_RIFF_ID, "RIFF"}, {IDC_INFO_RIFF_SIZE, "136"}, {IDC_INFO_RIFF_TYPE, "WAVE"}, {IDC_INFO_CHUNK_ID, "fmt "}, {IDC_INFO_CHUNK_SIZE, "16"}, {IDC_INFO_FORMAT_TAG, "1"}, {IDC_INFO_TAG_NAME, "PCM"},
          {IDC_INFO_CHANNELS, "2"}, {IDC_INFO_RATE, "44100"}, {IDC_INFO_AVG_BYTES, "176400"}, {IDC_INFO_BLOCK_ALIGN, "4"}, {IDC_INFO_BITS, "16"}, {IDC_INFO_CB_SIZE, ""}, {IDC_INFO_NEXT_ID, "data"}, {IDC_INFO_NEXT_SIZE, "100"}}},
        {"18-byte fmt", RiffFile({{"fmt ", FmtBody(1, 1, 22050, 8, true)}, {"data", {1, 2}}}), {{IDC_INFO_CB_SIZE, "0"}}},
        // 19 bytes and a zero pad: the next chunk is read at 39, so its id starts with the pad
        // byte (an empty text) and its size is "t", 4, 0, 0 of the "fact" chunk behind it.
        {"odd fmt size", RiffFile({{"fmt ", std::vector<uint8_t>(19, 1)}, {"fact", {0, 0, 0, 0}}}),
         {{IDC_INFO_CHUNK_SIZE, "19"}, {IDC_INFO_NEXT_ID, ""}, {IDC_INFO_NEXT_SIZE, "1140"}}},
        {"extensible", RiffFile({{"fmt ", ExtensibleFmtBody(2, 48000, 24, 24, 1)}, {"data", {1, 2}}}),
         {{IDC_INFO_CHUNK_SIZE, "40"}, {IDC_INFO_FORMAT_TAG, "-2"}, {IDC_INFO_TAG_NAME, "Extensible"}, {IDC_INFO_CB_SIZE, "22"}}},
        {"tag 32768", RiffFile({{"fmt ", FmtBody(0x8000, 2, 44100, 16)}, {"data", {1, 2}}}), {{IDC_INFO_FORMAT_TAG, "-32768"}, {IDC_INFO_TAG_NAME, "unknown"}}},
        // Cut inside the average bytes per second: the fields not wholly in the file keep their labels.
        {"cut short", {canonical.begin(), canonical.begin() + 30},
         {{IDC_INFO_FILE_SIZE, "30"}, {IDC_INFO_RATE, "44100"}, {IDC_INFO_AVG_BYTES, "BytesPerSec"}, {IDC_INFO_BITS, "SamplingBits"}, {IDC_INFO_CB_SIZE, ""}, {IDC_INFO_NEXT_ID, "Chunk ID"},
          {IDC_INFO_NEXT_SIZE, "Chunk Size"}}},
        {"missing", {},
         {{IDC_INFO_FILE_SIZE, "0"}, {IDC_INFO_RIFF_ID, "Riff ID"}, {IDC_INFO_CHUNK_SIZE, "Chunk Size"}, {IDC_INFO_FORMAT_TAG, "WaveFmtType"}, {IDC_INFO_TAG_NAME, "PCM:1"}, {IDC_INFO_BLOCK_ALIGN, "BlockSize"},
          {IDC_INFO_CB_SIZE, "cbSize"}, {IDC_INFO_NEXT_ID, "Chunk ID"}, {IDC_INFO_NEXT_SIZE, "Chunk Size"}}},
    };
    WPARAM closeWith = IDOK;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.bytes.empty() ? TempDirectory() + "absent.wav" : WriteTempFile("info.wav", c.bytes);
        HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "InfoBox", nullptr, InfoDialogProc,
                                         reinterpret_cast<LPARAM>(path.c_str()));   // fills it
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
