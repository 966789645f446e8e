// Playback engine: plays the open WAV file through the wave output device, in streaming mode
// (two block buffers alternate on the device, each returned block is refilled, analysed and
// queued again) or in on-memory mode (one buffer holds the whole data and is analysed once, at
// the end or at Stop). Owns the start, the natural end, Stop and the clean-up of failed starts;
// EndRun and ReportHeaderFailure are shared with the monitor engine.
#include "audio/audio.h"

#include "analysis/analysis.h"
#include "display/display.h"
#include "shell/globals.h"
#include "shell/messages.h"
#include "shell/shell.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kLoadingNotice[] = "ファイル読み込み中";
constexpr char kStereoPlaybackNotice[] = "オンメモリ再生中(STEREO)";
constexpr char kMonoPlaybackNotice[] = "オンメモリ再生中(MONO)";
constexpr char kReadFailureText[] = "データ チャンクを読み取れません。";
constexpr char kHeaderFailureText[] = "ウェーブヘッダーの準備ができません";
constexpr char kWriteFailureText[] = "デバイスへの出力に失敗しました。";
constexpr char kPauseLabel[] = "Pause";
constexpr char kPositionFormat[] = "Pos:  %7lu kb %6lu sec";
constexpr int kPositionColumn = 9;
constexpr int kPositionRow = 7;
constexpr uint32_t kBytesPerKilobyte = 1024;
constexpr COLORREF kWhite = RGB(255, 255, 255);

// The run record of a start in progress, so that ReportReadFailure (which takes no arguments)
// can release it. Cleared once the run is under way or abandoned.
HGLOBAL startingRunRecord = nullptr;

bool OnMemory() { return state.bufferingMode == kOnMemoryMode; }

// The next block: the smaller of the block size and the bytes not yet read, taken off them.
uint32_t TakeNextBlockLength()
{
    const uint32_t length = std::min(run.blockSize, run.remainingBytes);
    run.remainingBytes -= length;
    return length;
}

bool ReadWholeBlock(int slot, uint32_t length)
{
    const LONG wanted = static_cast<LONG>(length);
    return mmioRead(state.file, reinterpret_cast<HPSTR>(app.block[slot]), wanted) == wanted;
}

void DrawWindowNotice(const char* text)
{
    HDC dc = GetDC(app.mainWindow);
    ClearLevelPanel(dc);
    DrawLevelPanelNotice(dc, text);
    ReleaseDC(app.mainWindow, dc);
}

// Takes every header back from the output device and closes it (reset first, as for input).
void CloseOutputDevice(int preparedHeaders)
{
    if (!app.waveOut) return;
    waveOutReset(app.waveOut);
    for (int slot = 0; slot < preparedHeaders; ++slot)
        waveOutUnprepareHeader(app.waveOut, app.header[slot], kWaveHeaderSize);
    waveOutClose(app.waveOut);
    app.waveOut = nullptr;
}

// The record is locked once for the whole run; locking again yields the same address.
void FreeRunRecordByHandle(HGLOBAL runRecordHandle)
{
    if (!runRecordHandle) return;
    RunRecord* record = static_cast<RunRecord*>(GlobalLock(runRecordHandle));
    if (!record) return;
    GlobalUnlock(runRecordHandle);
    FreeRunRecord(record);
}

// Undoes a start that failed after the run memory was allocated: the first `preparedHeaders`
// headers may be on the device and are taken back before the memory they point to is freed.
void AbandonStart(HGLOBAL runRecordHandle, int preparedHeaders)
{
    if (state.sourceKind == kSourceMonitor)
        CloseInputDevice(preparedHeaders);
    else
        CloseOutputDevice(preparedHeaders);
    FreeRunRecordByHandle(runRecordHandle);
    CloseWaveFile();   // without ascending out of its chunks
    startingRunRecord = nullptr;
    EnableIdleControls();
}

void FillHeader(int slot, uint32_t length, RunRecord* record)
{
    WAVEHDR* header = app.header[slot];
    header->lpData = reinterpret_cast<LPSTR>(app.block[slot]);
    header->dwBufferLength = length;
    header->dwFlags = 0;
    header->dwLoops = 0;
    header->dwUser = reinterpret_cast<DWORD_PTR>(record);
}

// Prepares and writes header `slot` at Start; a failure is reported and the start abandoned.
bool QueueStartHeader(int slot, HGLOBAL runRecordHandle)
{
    if (waveOutPrepareHeader(app.waveOut, app.header[slot], kWaveHeaderSize) != MMSYSERR_NOERROR) {
        ReportHeaderFailure(runRecordHandle, slot);
        return false;
    }
    if (waveOutWrite(app.waveOut, app.header[slot], kWaveHeaderSize) != MMSYSERR_NOERROR) {
        ShowWarning(app.mainWindow, kWriteFailureText);
        AbandonStart(runRecordHandle, slot + 1);
        return false;
    }
    return true;
}

// Reads block 0 (the whole data in on-memory mode, under the hourglass) and, streaming, block 1.
bool ReadStartBlocks()
{
    run.blockLength[0] = static_cast<int32_t>(TakeNextBlockLength());
    run.blockLength[1] = 0;
    HCURSOR previous = OnMemory() ? SetCursor(LoadCursorA(nullptr, IDC_WAIT)) : nullptr;
    const bool whole = ReadWholeBlock(0, run.blockLength[0]);
    if (OnMemory()) SetCursor(previous);
    if (!whole || OnMemory()) return whole;
    run.blockLength[1] = static_cast<int32_t>(TakeNextBlockLength());
    return ReadWholeBlock(1, run.blockLength[1]);
}

bool QueueStartBlocks(HGLOBAL runRecordHandle, RunRecord* record)
{
    FillHeader(0, run.blockLength[0], record);
    if (!QueueStartHeader(0, runRecordHandle)) return false;
    if (!OnMemory() && run.blockLength[1] > 0) {
        FillHeader(1, run.blockLength[1], record);
        if (!QueueStartHeader(1, runRecordHandle)) return false;
    } else {
        run.lastBlock = 1;
    }
    return true;
}

// On-memory: the notice and the empty frame; the position timer counts from now.
void ShowOnMemoryRunStart()
{
    DrawOnMemoryPlaybackNotice();
    HDC dc = GetDC(app.mainWindow);
    DrawDisplayFrame(dc);
    ReleaseDC(app.mainWindow, dc);
    SetTimer(app.mainWindow, kElapsedTimerId, kElapsedTimerPeriodMs, nullptr);
    run.startTick = GetTickCount();
}

// Streaming: the empty frame, then block 0 analysed (block 1 plays without being analysed).
void ShowStreamingRunStart()
{
    HDC dc = GetDC(app.mainWindow);
    DrawDisplayFrame(dc);
    SetBkColor(dc, kWhite);
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    AnalyseBlock(dc, 0, run.blockLength[0]);
    SelectObject(dc, previousFont);
    ReleaseDC(app.mainWindow, dc);
}

// Refills buffer `slot` with the next `length` bytes, analyses them and queues the buffer again.
// A data chunk may claim more bytes than the file holds: a short read queues only the bytes that
// came (never the stale tail of the buffer) and a read of nothing ends the data.
void RefillAndQueue(HDC dc, int slot, uint32_t length)
{
    if (length == 0) {
        run.lastBlock = 1;
        return;
    }
    const LONG got = mmioRead(state.file, reinterpret_cast<HPSTR>(app.block[slot]), static_cast<LONG>(length));
    if (got <= 0) {
        run.blockLength[slot] = 0;
        run.remainingBytes = 0;
        run.lastBlock = 1;
        return;
    }
    if (static_cast<uint32_t>(got) < length) run.remainingBytes = 0;
    run.blockLength[slot] = got;
    WAVEHDR* header = app.header[slot];
    header->lpData = reinterpret_cast<LPSTR>(app.block[slot]);
    header->dwBufferLength = static_cast<DWORD>(got);
    header->dwFlags = 0;
    AnalyseBlock(dc, slot, got);
    waveOutPrepareHeader(app.waveOut, header, kWaveHeaderSize);
    waveOutWrite(app.waveOut, header, kWaveHeaderSize);
}

void FinishRun(WAVEHDR* header)
{
    if (OnMemory()) KillTimer(app.mainWindow, kElapsedTimerId);
    EndRun(header);
    CloseOutputDevice(0);   // both headers are back and unprepared by now
}

}  // namespace

void DrawPositionLine(HDC dc, uint32_t bytes)
{
    const int length = std::snprintf(g.textBuffer, kTextBufferSize, kPositionFormat,
                                      static_cast<unsigned long>(bytes / kBytesPerKilobyte),
                                      static_cast<unsigned long>(DivideOrZero(bytes, source.avgBytesPerSec)));
    TextOutA(dc, Col(kPositionColumn), Row(kPositionRow), g.textBuffer, std::max(length, 0));
}

// Under Wine a device closed with buffers still queued reports success and silently keeps them,
// so it is always reset first.
void CloseInputDevice(int preparedHeaders)
{
    if (!app.waveIn) return;
    waveInReset(app.waveIn);
    for (int slot = 0; slot < preparedHeaders; ++slot)
        waveInUnprepareHeader(app.waveIn, app.header[slot], kWaveHeaderSize);
    waveInClose(app.waveIn);
    app.waveIn = nullptr;
}

void DrawOnMemoryPlaybackNotice()
{
    const bool stereo = (source.sampleFormat & kSampleFormatStereoFlag) != 0;
    DrawWindowNotice(stereo ? kStereoPlaybackNotice : kMonoPlaybackNotice);
}

void StartPlayback()
{
    // A window without wave headers cannot play; a second start over a running one would
    // orphan its memory. The shell keeps both from happening; refuse them here as well.
    if (!app.header[0] || !app.header[1] || state.running) return;
    if (!app.waveOut && !OpenWaveFile()) return;
    HGLOBAL runRecordHandle = nullptr;
    RunRecord* record = nullptr;
    if (!AllocBlockBuffers() || !AllocRunRecord(&runRecordHandle, &record)) {
        CloseOutputDevice(0);   // the failing routine has reported and closed the file
        return;
    }
    startingRunRecord = runRecordHandle;
    DisableSourceControls();
    if (OnMemory()) DrawWindowNotice(kLoadingNotice);
    run.nextHeader = 0;
    run.lastBlock = 0;
    state.paused = 0;
    SetWindowTextA(app.pauseButton, kPauseLabel);
    if (!ReadStartBlocks()) {
        ReportReadFailure();
        return;
    }
    if (!QueueStartBlocks(runRecordHandle, record)) return;
    startingRunRecord = nullptr;
    EnableRunControls();
    state.stopRequest = kStopNone;
    state.running = 1;
    if (OnMemory())
        ShowOnMemoryRunStart();
    else
        ShowStreamingRunStart();
}

void OnOutputDone(WAVEHDR* header)
{
    // After Stop the reset device hands back its headers: those messages are ignored. A header
    // not marked done is a late message of an earlier run whose header is queued again now.
    if (state.stopRequest != kStopNone || !state.running) return;
    if (!header || !(header->dwFlags & WHDR_DONE)) return;
    HDC dc = GetDC(app.mainWindow);
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    const int slot = run.nextHeader;
    run.nextHeader = 1 - slot;
    const uint32_t length = std::min(run.blockSize, run.remainingBytes);
    run.blockLength[slot] = static_cast<int32_t>(length);
    waveOutUnprepareHeader(app.waveOut, app.header[slot], kWaveHeaderSize);
    run.remainingBytes -= length;
    // Streaming: what has been read so far, queued blocks included; on-memory: the loaded data.
    DrawPositionLine(dc, OnMemory() ? run.blockSize : run.totalDataBytes - run.remainingBytes);
    if (OnMemory()) {
        ClearLevelPanel(dc);
        AnalyseBlock(dc, slot, static_cast<int32_t>(run.blockSize));
        DrawChannelLabels(dc);
    }
    if (run.lastBlock == 0)
        RefillAndQueue(dc, slot, length);
    else
        FinishRun(header);
    SelectObject(dc, previousFont);
    ReleaseDC(app.mainWindow, dc);
}

void StopPlayback()
{
    if (!state.running) return;
    if (OnMemory()) KillTimer(app.mainWindow, kElapsedTimerId);
    DisableRunControls();
    state.stopRequest = kStopRequested;
    waveOutReset(app.waveOut);
    waveOutUnprepareHeader(app.waveOut, app.header[0], kWaveHeaderSize);
    if (!OnMemory()) waveOutUnprepareHeader(app.waveOut, app.header[1], kWaveHeaderSize);
    if (OnMemory()) {
        // The whole loaded data is analysed, however much of it was heard.
        HDC dc = GetDC(app.mainWindow);
        HGDIOBJ previousFont = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
        ClearLevelPanel(dc);
        AnalyseBlock(dc, 0, static_cast<int32_t>(run.blockSize));
        DrawChannelLabels(dc);
        SelectObject(dc, previousFont);
        ReleaseDC(app.mainWindow, dc);
    }
    waveOutClose(app.waveOut);
    app.waveOut = nullptr;
    EnableIdleControls();
    CloseWaveFile();   // without ascending out of its chunks
    FreeRunRecord(reinterpret_cast<RunRecord*>(app.header[0]->dwUser));
    SetFocus(app.playButton);
    state.running = 0;
}

void EndRun(WAVEHDR* header)
{
    DisableRunControls();
    if (header && header->dwUser) FreeRunRecord(reinterpret_cast<RunRecord*>(header->dwUser));
    SetFocus(app.playButton);
    state.running = 0;
    if (state.file) {
        mmioAscend(state.file, &run.subChunk, 0);
        mmioAscend(state.file, &run.riffChunk, 0);
        mmioClose(state.file, 0);
        state.file = nullptr;
    }
    EnableIdleControls();
}

void ReportReadFailure()
{
    ShowWarning(app.mainWindow, kReadFailureText);
    AbandonStart(startingRunRecord, 0);
}

void ReportHeaderFailure(HGLOBAL runRecordHandle, int slot)
{
    ShowWarning(app.mainWindow, kHeaderFailureText);
    AbandonStart(runRecordHandle, slot);   // headers before `slot` are already on the device
}
