// WAV file reader: turns the current file name into an open, checked PCM source (RIFF walk,
// format checks, device query, buffering mode, block size, output device), closes the current
// source, and names the WAVE format tags. The header decisions live in small functions on plain
// inputs so that every limit is checked before a size from the file is trusted.
#include "audio/audio.h"
#include "shell/globals.h"
#include "shell/messages.h"
#include "shell/shell.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kNoFileName[] = "ファイル名が未入力。";
constexpr char kCannotOpenFile[] = "ファイルを開けません。";
constexpr char kNotWave[] = "指定したファイルは、WAVEファイルではありません。";
constexpr char kBrokenWave[] = "WAVEファイルが壊れています。";
constexpr char kNoMemory[] = "極度のメモリ不足です。";
constexpr char kLockFailed[] = "メモリのロックに失敗しました。";
constexpr char kUnreadableFormat[] = "形式チャンクを読み取れません。";
constexpr char kNotPcm[] = "指定したファイルは、PCMファイルではありません。";
constexpr char kUnplayable[] = "サウンドドライバは、この形式を再生できません。";
constexpr char kNoDataChunk[] = "WAVEファイルにデータ チャンクがありません。";
constexpr char kEmptyData[] = "データ チャンクが空です。";
constexpr char kCannotOpenOutput[] = "音声出力デバイスを開けません。";

constexpr uint32_t kTimeResolutionUnit = 11025;   // the time resolution counts 1/11025 s
constexpr int kKilobyteShift = 10;
constexpr int kTotalColumn = 9;
constexpr int kTotalRow = 10;

struct TagName {
    int16_t tag;
    const char* name;
};
constexpr std::array<TagName, 23> kTagNames = {{
    {1, "PCM"}, {2, "MS-ADPCM"}, {5, "IBM-CSVD"}, {6, "CCITT-A-Law"}, {7, "CCITT-u-Law"},
    {16, "OKI-ADPCM"}, {17, "IMA-ADPCM"}, {18, "MediaSpace-ADPCM"}, {19, "Sierra-ADPCM"},
    {20, "G.723-ADPCM"}, {32, "YAMAHA-ADPCM"}, {34, "TrueSpeech"}, {48, "DOLBY AC2"},
    {49, "GSM 6.10"}, {50, "MSN"}, {64, "G.721-ADPCM"}, {80, "MPEG"}, {112, "CELP"},
    {113, "SBC-8"}, {114, "SBC-12"}, {115, "SBC-16"}, {512, "CREATIVE ADPCM"},
    {768, "FM-TOWNS SND"},
}};

const char* VerdictText(FormatVerdict verdict)
{
    switch (verdict) {
    case kFormatUnreadable: return kUnreadableFormat;
    case kFormatNotPcm: return kNotPcm;
    case kFormatUnplayable: return kUnplayable;
    default: return nullptr;
    }
}

void ReleaseFormatRecord(HLOCAL handle)
{
    if (!handle) return;
    LocalUnlock(handle);
    LocalFree(handle);
}

// Every refusal of OpenWaveFile: release the record and the file first, so that nothing is
// held while the message box runs its modal loop, then show the message.
int Refuse(const char* text, HLOCAL record)
{
    ReleaseFormatRecord(record);
    CloseWaveFile();
    ShowWarning(app.mainWindow, text);
    return 0;
}

// Searches forward from the file's position for chunk `id` (of form type `form` unless 0) inside
// `parent` (null: the whole file) and leaves the file at its data, as the system's chunk search
// does. That search adds a chunk's size to its offset in 32 bits, so a size near 4 GB sends it
// back onto the same chunk for ever; this walk gives up on a chunk whose end is not ahead of it.
// Descending with a parent refuses a chunk that does not start inside it, which bounds the walk.
bool FindChunk(MMCKINFO* chunk, const MMCKINFO* parent, FOURCC id, FOURCC form)
{
    for (;;) {
        if (mmioDescend(state.file, chunk, parent, 0) != MMSYSERR_NOERROR) return false;
        if (chunk->ckid == id && (form == 0 || chunk->fccType == form)) return true;
        const uint64_t next = uint64_t(chunk->dwDataOffset) + chunk->cksize + (chunk->cksize & 1);
        if (next > uint64_t(INT32_MAX) || mmioSeek(state.file, LONG(next), SEEK_SET) != LONG(next)) return false;
    }
}

// Steps 1 to 4: the file opened and positioned inside its "fmt " chunk.
int OpenRiffAndFindFormat()
{
    if (g.fileName[0] == '\0') {
        ShowWarning(app.mainWindow, kNoFileName);
        return 0;
    }
    state.file = mmioOpenA(g.fileName, nullptr, MMIO_READ | MMIO_ALLOCBUF);
    if (!state.file) {
        ShowWarning(app.mainWindow, kCannotOpenFile);
        return 0;
    }
    std::memset(&run.riffChunk, 0, sizeof run.riffChunk);
    if (!FindChunk(&run.riffChunk, nullptr, FOURCC_RIFF, mmioFOURCC('W', 'A', 'V', 'E')))
        return Refuse(kNotWave, nullptr);
    std::memset(&run.subChunk, 0, sizeof run.subChunk);
    if (!FindChunk(&run.subChunk, &run.riffChunk, mmioFOURCC('f', 'm', 't', ' '), 0))
        return Refuse(kBrokenWave, nullptr);
    return 1;
}

// Steps 5 to 8: the format record read, checked and accepted by the output device.
int ReadFormatRecord(HLOCAL* handle, WAVEFORMATEX** record)
{
    const uint32_t size = run.subChunk.cksize;
    if (CheckFormatChunkSize(size) != kFormatAccepted) return Refuse(kUnreadableFormat, nullptr);
    if (AllocFormatRecord(handle, record) == 0) return 0;
    const LONG got = mmioRead(state.file, reinterpret_cast<HPSTR>(*record), LONG(size));
    const uint32_t bytesRead = got < 0 ? 0 : uint32_t(got);
    const FormatVerdict verdict = CheckFormatChunk(*record, size, bytesRead);
    if (verdict != kFormatAccepted) return Refuse(VerdictText(verdict), *handle);
    if (waveOutOpen(nullptr, WAVE_MAPPER, *record, 0, 0, WAVE_FORMAT_QUERY) != MMSYSERR_NOERROR)
        return Refuse(kUnplayable, *handle);
    return 1;
}

// Step 10: out of "fmt " and into "data", searching forward to the end of the RIFF chunk.
int FindDataChunk(HLOCAL record)
{
    mmioAscend(state.file, &run.subChunk, 0);
    if (!FindChunk(&run.subChunk, &run.riffChunk, mmioFOURCC('d', 'a', 't', 'a'), 0))
        return Refuse(kNoDataChunk, record);
    return 1;
}

// Step 15: the "Total:" line and the channel labels. Without a main window there is nothing
// to draw on (a null window would give the screen's device context).
void DrawTotalLine()
{
    if (!app.mainWindow) return;
    HDC dc = GetDC(app.mainWindow);
    if (!dc) return;
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    FormatTotalLine(g.textBuffer, sizeof g.textBuffer, run.totalDataBytes, source.avgBytesPerSec);
    TextOutA(dc, Col(kTotalColumn), Row(kTotalRow), g.textBuffer, int(std::strlen(g.textBuffer)));
    DrawChannelLabels(dc);
    SelectObject(dc, previousFont);
    ReleaseDC(app.mainWindow, dc);
}

}  // namespace

FormatVerdict CheckFormatChunkSize(uint32_t declaredSize)
{
    // A zero size passes here: its record cannot be locked, which gives the lock-failure message.
    return declaredSize > kMaxFormatChunkSize ? kFormatUnreadable : kFormatAccepted;
}

FormatVerdict CheckFormatChunk(const void* bytes, uint32_t declaredSize, uint32_t bytesRead)
{
    if (CheckFormatChunkSize(declaredSize) != kFormatAccepted) return kFormatUnreadable;
    // A chunk shorter than the PCM fields would leave fields undefined: refused as unreadable.
    if (!bytes || bytesRead != declaredSize || declaredSize < kMinFormatChunkSize) return kFormatUnreadable;
    PCMWAVEFORMAT format;
    static_assert(sizeof format == kMinFormatChunkSize, "the PCM fields are 16 bytes");
    std::memcpy(&format, bytes, sizeof format);
    if (format.wf.wFormatTag != WAVE_FORMAT_PCM) return kFormatNotPcm;
    // Some drivers accept any PCM header in their format query: refuse the impossible ones
    // here, and rates that make the real open abort inside the sound server. A frame (one
    // sample of every channel) larger than the 16-bit block align can hold is impossible too;
    // a converter that takes it aborts the process at the first write.
    const uint32_t frameBytes = uint32_t(format.wf.nChannels) * ((format.wBitsPerSample + 7u) / 8u);
    if (format.wf.nChannels == 0 || format.wBitsPerSample == 0 || format.wf.nBlockAlign == 0 ||
        frameBytes > UINT16_MAX || format.wf.nSamplesPerSec == 0 || format.wf.nSamplesPerSec > kMaxPlayableRate)
        return kFormatUnplayable;
    return kFormatAccepted;
}

int32_t ChooseBufferingMode(int32_t onMemoryOption, uint64_t diskCapacity)
{
    return (onMemoryOption != 0 || diskCapacity <= kDisketteCapacity) ? kOnMemoryMode : kStreamingMode;
}

uint32_t BlockSizeFor(int32_t mode, uint32_t avgBytesPerSec, int32_t timeResolution,
                      int32_t memorySizeMB, uint32_t totalDataBytes)
{
    // Computed in 64 bits and capped: a product beyond 32 bits becomes a size no allocation can
    // satisfy (a clear memory message) instead of a small wrapped one.
    uint64_t size;
    if (mode == kOnMemoryMode) {
        const uint64_t limit = uint64_t(std::max(memorySizeMB, 0)) * kMegabyte;
        size = std::min<uint64_t>(limit, totalDataBytes);
    } else {
        size = uint64_t(avgBytesPerSec / kTimeResolutionUnit) * uint64_t(std::max(timeResolution, 0));
    }
    return uint32_t(std::min<uint64_t>(size, UINT32_MAX));
}

void FormatTotalLine(char* out, size_t size, uint32_t totalDataBytes, uint32_t avgBytesPerSec)
{
    std::snprintf(out, size, "Total:%7ld kb %6ld sec", long(totalDataBytes >> kKilobyteShift),
                  long(DivideOrZero(totalDataBytes, avgBytesPerSec)));
}

uint32_t AllocFormatRecord(HLOCAL* handle, WAVEFORMATEX** record)
{
    const uint32_t size = run.subChunk.cksize;
    // The record holds at least a whole WAVEFORMATEX, zero-filled, so a 16-byte chunk gives the
    // device a cbSize of 0 instead of two bytes past its end. A zero size stays zero: such a
    // block cannot be locked.
    const uint32_t bytes = size ? std::max<uint32_t>(size, sizeof(WAVEFORMATEX)) : 0;
    HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, bytes);
    if (!block) {
        CloseWaveFile();
        ShowWarning(app.mainWindow, kNoMemory);
        return 0;
    }
    void* locked = LocalLock(block);
    if (!locked) {
        LocalFree(block);
        CloseWaveFile();
        ShowWarning(app.mainWindow, kLockFailed);
        return 0;
    }
    *handle = block;
    *record = static_cast<WAVEFORMATEX*>(locked);
    return size;
}

int OpenWaveFile()
{
    if (!OpenRiffAndFindFormat()) return 0;
    HLOCAL recordHandle = nullptr;
    WAVEFORMATEX* record = nullptr;
    if (!ReadFormatRecord(&recordHandle, &record)) return 0;
    ShowSourceFormat(record);
    if (!FindDataChunk(recordHandle)) return 0;

    MeasureDisk(g.fileName);
    state.bufferingMode = ChooseBufferingMode(state.onMemoryOption, g.diskCapacity);
    run.totalDataBytes = run.subChunk.cksize;
    run.remainingBytes = run.subChunk.cksize;
    if (run.subChunk.cksize == 0) return Refuse(kEmptyData, recordHandle);
    DrawTotalLine();

    if (waveOutOpen(&app.waveOut, WAVE_MAPPER, record, reinterpret_cast<DWORD_PTR>(app.mainWindow), 0,
                    CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        app.waveOut = nullptr;
        return Refuse(kCannotOpenOutput, recordHandle);
    }
    ComputeBlockSize(record);
    ReleaseFormatRecord(recordHandle);
    return 1;
}

void ComputeBlockSize(const WAVEFORMATEX* format)
{
    run.blockSize = BlockSizeFor(state.bufferingMode, format->nAvgBytesPerSec, state.timeResolution,
                                 state.memorySizeMB, run.totalDataBytes);
}

void CloseWaveFile()
{
    if (!state.file) return;
    mmioClose(state.file, 0);
    state.file = nullptr;
}

void CloseSource()
{
    CloseWaveFile();
    // The output device belongs to a file source; it is closed even when the file is already
    // gone, so no path leaves it open behind a closed file.
    if (app.waveOut && state.sourceKind == kSourceFile) {
        waveOutClose(app.waveOut);
        app.waveOut = nullptr;
    }
    if (app.waveIn && state.sourceKind == kSourceMonitor) {
        waveInClose(app.waveIn);
        app.waveIn = nullptr;
    }
}

const char* FormatTagName(int tag)
{
    const int16_t key = int16_t(uint16_t(tag));
    for (const TagName& entry : kTagNames)
        if (entry.tag == key) return entry.name;
    return "unknown";
}
