// Wave Information dialog: shows the header fields of the current WAV file as they stand in the
// file. It searches no chunks: it reads the file front to back with the plain file functions,
// taking the "fmt " chunk to follow the RIFF header and the next chunk to follow "fmt ".
#include "audio/audio.h"
#include "shell/globals.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstring>

namespace {

enum InfoFieldId : int {
    kIdRiffId = 101, kIdRiffSize = 102, kIdRiffType = 103, kIdChunkId = 104, kIdChunkSize = 105,
    kIdFormatTag = 106, kIdChannels = 107, kIdRate = 108, kIdAvgBytes = 109, kIdBlockAlign = 110,
    kIdBits = 111, kIdCbSize = 112, kIdNextId = 113, kIdNextSize = 114, kIdFileSize = 116,
    kIdTagName = 117,
};

// How a field's bytes are shown. Four-byte numbers are signed ("%ld"); of the two-byte ones
// only the format tag is signed, the others are shown as the unsigned words they are.
enum FieldKind { kFourCharacters, kSigned32, kSigned16, kUnsigned16 };

struct InfoField {
    int offset;          // from the start of the block the field is read from
    int id;
    FieldKind kind;
};

constexpr int kHeadBytes = 38;                  // RIFF header, first chunk header, 18 format bytes
constexpr std::array<InfoField, 11> kHeadFields = {{
    {0, kIdRiffId, kFourCharacters}, {4, kIdRiffSize, kSigned32}, {8, kIdRiffType, kFourCharacters},
    {12, kIdChunkId, kFourCharacters}, {16, kIdChunkSize, kSigned32}, {20, kIdFormatTag, kSigned16},
    {22, kIdChannels, kUnsigned16}, {24, kIdRate, kSigned32}, {28, kIdAvgBytes, kSigned32},
    {32, kIdBlockAlign, kUnsigned16}, {34, kIdBits, kUnsigned16},
}};
constexpr InfoField kFirstChunkSize = kHeadFields[4];
constexpr InfoField kFormatTag = kHeadFields[5];
constexpr InfoField kCbSize = {36, kIdCbSize, kUnsigned16};
constexpr int32_t kMinChunkWithCbSize = 18;     // signed comparison with the first chunk size

constexpr int kNextChunkBase = 20;              // the next chunk stands at 20 + first chunk size
constexpr int kNextBytes = 8;
constexpr std::array<InfoField, 2> kNextFields = {{
    {0, kIdNextId, kFourCharacters}, {4, kIdNextSize, kSigned32},
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
    switch (field.kind) {
    case kFourCharacters: {
        char id[5] = {};
        std::memcpy(id, p, 4);               // a zero byte among the four ends the text early
        std::snprintf(g.textBuffer, sizeof g.textBuffer, "%s", id);
        break;
    }
    case kSigned32: std::snprintf(g.textBuffer, sizeof g.textBuffer, "%ld", long(Read32(p))); break;
    case kSigned16: std::snprintf(g.textBuffer, sizeof g.textBuffer, "%d", int(int16_t(Read16(p)))); break;
    case kUnsigned16: std::snprintf(g.textBuffer, sizeof g.textBuffer, "%d", int(Read16(p))); break;
    }
    SetDlgItemTextA(dialog, field.id, g.textBuffer);
}

// The size as the run-time's stat gives it, low 32 bits shown signed; 0 when it fails.
void ShowFileSize(HWND dialog)
{
    struct _stati64 status;
    int32_t size = 0;
    if (_stati64(g.fileName, &status) == 0) size = int32_t(uint32_t(uint64_t(status.st_size)));
    std::snprintf(g.textBuffer, sizeof g.textBuffer, "%ld", long(size));
    SetDlgItemTextA(dialog, kIdFileSize, g.textBuffer);
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
        SetDlgItemTextA(dialog, kIdTagName, FormatTagName(int16_t(Read16(head + kFormatTag.offset))));
    if (!FieldPresent(count, kFirstChunkSize)) return;
    if (Read32(head + kFirstChunkSize.offset) < kMinChunkWithCbSize)
        SetDlgItemTextA(dialog, kIdCbSize, "");
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

void FillInfoFields(HWND dialog)
{
    ShowFileSize(dialog);
    HFILE file = _lopen(g.fileName, OF_READ);
    if (file == HFILE_ERROR) return;
    uint8_t head[kHeadBytes] = {};
    const int count = int(ReadBytes(file, head, kHeadBytes));
    ShowHeadFields(dialog, head, count);
    if (FieldPresent(count, kFirstChunkSize)) ShowNextChunk(dialog, file, Read32(head + kFirstChunkSize.offset));
    _lclose(file);
}

}  // namespace

INT_PTR CALLBACK INFOBOX(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillInfoFields(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}
