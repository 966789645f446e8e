// Wave Information dialog ("InfoBox"): shows the header fields of the file named in lParam as
// they stand in the file. It searches no chunks: it reads the file front to back with the plain file functions,
// taking the "fmt " chunk to follow the RIFF header and the next chunk to follow "fmt ". A file
// that is decoded (or converted) shows its codec and the format it delivers instead.
#include "shell/dialogs.h"

#include "audio/filesource.h"
#include "texts/texts.h"
#include "resources/resource.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstring>

namespace {

// How a field's bytes are shown. Four-byte numbers are signed ("%ld"); of the two-byte ones
// only the format tag is signed, the others are shown as the unsigned words they are.
enum FieldKind { kFourCharacters, kSigned32, kSigned16, kUnsigned16 };

struct InfoField {
    int offset;          // from the start of the block the field is read from
    int id;
    FieldKind kind;
};

constexpr int kFieldTextSize = 32;
constexpr int kHeadBytes = 38;                  // RIFF header, first chunk header, 18 format bytes
constexpr std::array<InfoField, 11> kHeadFields = {{
    {0, IDC_INFO_RIFF_ID, kFourCharacters}, {4, IDC_INFO_RIFF_SIZE, kSigned32}, {8, IDC_INFO_RIFF_TYPE, kFourCharacters},
    {12, IDC_INFO_CHUNK_ID, kFourCharacters}, {16, IDC_INFO_CHUNK_SIZE, kSigned32}, {20, IDC_INFO_FORMAT_TAG, kSigned16},
    {22, IDC_INFO_CHANNELS, kUnsigned16}, {24, IDC_INFO_RATE, kSigned32}, {28, IDC_INFO_AVG_BYTES, kSigned32},
    {32, IDC_INFO_BLOCK_ALIGN, kUnsigned16}, {34, IDC_INFO_BITS, kUnsigned16},
}};
constexpr InfoField kFirstChunkSize = kHeadFields[4];
constexpr InfoField kFormatTag = kHeadFields[5];
constexpr InfoField kCbSize = {36, IDC_INFO_CB_SIZE, kUnsigned16};
constexpr int32_t kMinChunkWithCbSize = 18;     // signed comparison with the first chunk size

constexpr int kNextChunkBase = 20;              // the next chunk stands at 20 + first chunk size
constexpr int kNextBytes = 8;
constexpr std::array<InfoField, 2> kNextFields = {{
    {0, IDC_INFO_NEXT_ID, kFourCharacters}, {4, IDC_INFO_NEXT_SIZE, kSigned32},
}};

int FieldBytes(FieldKind kind) { return (kind == kFourCharacters || kind == kSigned32) ? 4 : 2; }

bool FieldPresent(int count, const InfoField& field) { return field.offset + FieldBytes(field.kind) <= count; }

int32_t Read32(const uint8_t* p) { return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24); }
uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Shows a field whose bytes were all read. A field the file is too short to hold keeps its
// initial text (its row label), so only the file's bytes or the dialog's own texts appear.
void ShowField(HWND dialog, const uint8_t* block, int count, const InfoField& field)
{
    if (!FieldPresent(count, field)) return;
    const uint8_t* p = block + field.offset;
    char text[kFieldTextSize];
    switch (field.kind) {
    case kFourCharacters: {
        char id[5] = {};
        std::memcpy(id, p, 4);               // a zero byte among the four ends the text early
        std::snprintf(text, sizeof text, "%s", id);
        break;
    }
    case kSigned32: std::snprintf(text, sizeof text, "%ld", long(Read32(p))); break;
    case kSigned16: std::snprintf(text, sizeof text, "%d", int(int16_t(Read16(p)))); break;
    case kUnsigned16: std::snprintf(text, sizeof text, "%d", int(Read16(p))); break;
    }
    SetDlgItemTextA(dialog, field.id, text);
}

// The size as the run-time's stat gives it, low 32 bits shown signed; 0 when it fails.
void ShowFileSize(HWND dialog, const char* path)
{
    char text[kFieldTextSize];
    struct _stati64 status;
    int32_t size = 0;
    if (_stati64(path, &status) == 0) size = int32_t(uint32_t(uint64_t(status.st_size)));
    std::snprintf(text, sizeof text, "%ld", long(size));
    SetDlgItemTextA(dialog, IDC_INFO_FILE_SIZE, text);
}

UINT ReadBytes(HFILE file, uint8_t* buffer, UINT size)
{
    const UINT count = _lread(file, buffer, size);
    return count == UINT(HFILE_ERROR) ? 0 : count;
}

void ShowHeadFields(HWND dialog, const uint8_t* head, int count)
{
    for (const InfoField& field : kHeadFields) ShowField(dialog, head, count, field);
    if (FieldPresent(count, kFormatTag))
        SetDlgItemTextA(dialog, IDC_INFO_TAG_NAME, FormatTagName(int16_t(Read16(head + kFormatTag.offset))));
    if (!FieldPresent(count, kFirstChunkSize)) return;
    if (Read32(head + kFirstChunkSize.offset) < kMinChunkWithCbSize)
        SetDlgItemTextA(dialog, IDC_INFO_CB_SIZE, "");
    else
        ShowField(dialog, head, count, kCbSize);
}

// The chunk after "fmt ": no pad byte is skipped for an odd size. An offset outside the range
// a seek can reach (a negative or huge size) leaves both fields at their initial texts.
void ShowNextChunk(HWND dialog, HFILE file, int32_t firstChunkSize)
{
    const int64_t offset = int64_t(kNextChunkBase) + firstChunkSize;
    if (offset < 0 || offset > INT32_MAX) return;
    if (_llseek(file, LONG(offset), FILE_BEGIN) != LONG(offset)) return;
    uint8_t next[kNextBytes] = {};
    const int count = int(ReadBytes(file, next, kNextBytes));
    for (const InfoField& field : kNextFields) ShowField(dialog, next, count, field);
}


void SetNumber(HWND dialog, int id, unsigned long value)
{
    char text[kFieldTextSize];
    std::snprintf(text, sizeof text, "%lu", value);
    SetDlgItemTextA(dialog, id, text);
}

// The rows a header of another layout than the canonical WAV's leaves empty.
constexpr std::array<int, 6> kCanonicalOnlyIds = {{IDC_INFO_RIFF_SIZE, IDC_INFO_CHUNK_ID, IDC_INFO_CHUNK_SIZE,
                                                   IDC_INFO_CB_SIZE, IDC_INFO_NEXT_ID, IDC_INFO_NEXT_SIZE}};

// A file whose samples are decoded or converted: the codec by name and the format it delivers
// (the bit rate for lossy codecs). A plain WAV keeps the fields as they stand in the file; a
// compressed WAV keeps its RIFF fields.
void ShowDecodedFormat(HWND dialog, const char* path)
{
    std::unique_ptr<AudioSource> source;
    if (OpenAudioSource(path, &source, AcceptEveryFormat) != ReaderResult::kOk) return;
    const SourceDescription& description = source->Description();
    const bool riff = std::strcmp(description.container, "WAVE") == 0;
    if (riff && source->DeviceRecord()) return;
    const SourceFormat& format = description.delivered;
    SetDlgItemTextA(dialog, IDC_INFO_FORMAT_TAG, description.codecName);
    SetDlgItemTextA(dialog, IDC_INFO_TAG_NAME, description.container);
    SetNumber(dialog, IDC_INFO_CHANNELS, format.channels);
    SetNumber(dialog, IDC_INFO_RATE, format.samplesPerSec);
    SetNumber(dialog, IDC_INFO_BLOCK_ALIGN, format.blockAlign);
    SetNumber(dialog, IDC_INFO_BITS, format.bitsPerSample);
    if (description.bitRate) {
        char unit[kFieldTextSize], text[kFieldTextSize];
        LoadText(IDS_INFO_KBPS, unit, sizeof unit);
        std::snprintf(text, sizeof text, unit, static_cast<unsigned long>((description.bitRate + 500) / 1000));
        SetDlgItemTextA(dialog, IDC_INFO_AVG_BYTES, text);
    } else {
        SetNumber(dialog, IDC_INFO_AVG_BYTES, format.avgBytesPerSec);
    }
    if (riff) return;
    for (int id : kCanonicalOnlyIds) SetDlgItemTextA(dialog, id, "");
    if (std::strcmp(description.container, "RF64") != 0 && std::strcmp(description.container, "AIFF") != 0)
        SetDlgItemTextA(dialog, IDC_INFO_RIFF_TYPE, "");
}

void FillInfoFields(HWND dialog, const char* path)
{
    if (!path) return;
    ShowFileSize(dialog, path);
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return;
    uint8_t head[kHeadBytes] = {};
    const int count = int(ReadBytes(file, head, kHeadBytes));
    ShowHeadFields(dialog, head, count);
    if (FieldPresent(count, kFirstChunkSize)) ShowNextChunk(dialog, file, Read32(head + kFirstChunkSize.offset));
    _lclose(file);
    ShowDecodedFormat(dialog, path);
}

}  // namespace

INT_PTR CALLBACK InfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FillInfoFields(dialog, reinterpret_cast<const char*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}
