// Monitor engine: records the sound input into the run's block buffers and analyses every
// buffer the device hands back (MM_WIM_DATA). Streaming mode records without end into two
// alternating buffers; on-memory mode fills one buffer (in pieces when paused) and ends by
// itself. Nothing is written to disk.
#include "audio/audio.h"
#include "analysis/analysis.h"
#include "display/display.h"
#include "shell/globals.h"
#include "shell/messages.h"
#include "shell/shell.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr DWORD kMonitorFormatBytes = 16;             // PCM format record without cbSize
constexpr uint32_t kMonitorCapacity = 2147483647u;    // the figures of the "Free:" line
constexpr uint32_t kMonitorTotalBytes = 2147483603u;  // 2^31 - 1 - 44: bounds the on-memory block
constexpr uint32_t kKilobyte = 1024;
constexpr int kFreeLineColumn = 9;
constexpr int kFreeLineRow = 10;

struct QueryMessage {
    UINT result;
    const char* text;
};
constexpr std::array<QueryMessage, 6> kQueryMessages = {{
    {MMSYSERR_BADDEVICEID, "デバイスIDがおかしい"},
    {MMSYSERR_ALLOCATED, "すでに割り当てられている"},
    {MMSYSERR_NODRIVER, "ドライバが無い"},
    {MMSYSERR_NOMEM, "メモリの割り当てやロックができない"},
    {WAVERR_BADFORMAT, "サウンドドライバは、この形式を録音できません。"},
    {WAVERR_SYNC, "WAVE_ALLOWSYNCフラグを指定してない"}}};

const char kCannotOpenInput[] = "音声入力デバイスを開けません。";

void ReleaseFormatRecord(HLOCAL handle)
{
    LocalUnlock(handle);
    LocalFree(handle);
}

void DrawFreeLine()
{
    HDC dc = GetDC(app.mainWindow);
    HGDIOBJ font = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    const int length = std::snprintf(g.textBuffer, sizeof g.textBuffer, "Free: %7ld kb %6ld sec",
                                     long(run.remainingBytes / kKilobyte),
                                     long(DivideOrZero(run.remainingBytes, source.avgBytesPerSec)));
    TextOutA(dc, Col(kFreeLineColumn), Row(kFreeLineRow), g.textBuffer, std::max(length, 0));
    DrawChannelLabels(dc);
    SelectObject(dc, font);
    ReleaseDC(app.mainWindow, dc);
}

void SetInputHeader(int slot, uint32_t length)
{
    WAVEHDR* header = app.header[slot];
    header->lpData = reinterpret_cast<LPSTR>(app.block[slot]);
    header->dwBufferLength = length;
    header->dwBytesRecorded = 0;
    header->dwFlags = 0;
}

// Queues header `slot` over its whole block buffer at Start. A failed preparation (or a buffer
// the device will not take, which would never come back) ends the start through
// ReportHeaderFailure, which takes back the headers already queued, releases the run and closes
// the device.
bool QueueStartHeader(int slot, RunRecord* record, HGLOBAL recordHandle)
{
    SetInputHeader(slot, run.blockSize);
    app.header[slot]->dwLoops = 0;
    app.header[slot]->dwUser = reinterpret_cast<DWORD_PTR>(record);
    bool queued = waveInPrepareHeader(app.waveIn, app.header[slot], kWaveHeaderSize) == MMSYSERR_NOERROR;
    if (queued && waveInAddBuffer(app.waveIn, app.header[slot], kWaveHeaderSize) != MMSYSERR_NOERROR) {
        waveInUnprepareHeader(app.waveIn, app.header[slot], kWaveHeaderSize);
        queued = false;
    }
    if (!queued) ReportHeaderFailure(recordHandle, slot);
    return queued;
}

void RequeueBuffer(int slot, uint32_t recorded)
{
    uint32_t length = run.blockSize;
    if (state.bufferingMode == kOnMemoryMode) {
        // Reached only while paused: the next piece goes to the start of the same buffer, for
        // the capacity that is left, so the run never records more than the buffer holds.
        slot = 0;
        length = run.blockSize - recorded;
        run.nextHeader = 0;
    }
    SetInputHeader(slot, length);
    run.blockSize = length;
    waveInPrepareHeader(app.waveIn, app.header[slot], kWaveHeaderSize);
    waveInAddBuffer(app.waveIn, app.header[slot], kWaveHeaderSize);
}

void FinishRun(WAVEHDR* header)
{
    EndRun(header);
    CloseInputDevice(0);   // every header is back and unprepared by now
}

}  // namespace

const char* MonitorQueryMessage(UINT result, char* buffer, int size)
{
    for (const QueryMessage& entry : kQueryMessages)
        if (entry.result == result) return entry.text;
    // Not one of the documented answers: say so and keep the code for whoever investigates.
    std::snprintf(buffer, size_t(size), "サウンドドライバが録音形式を受け付けません。(エラー %u)", result);
    return buffer;
}

MonitorBlockStep DecideMonitorBlockStep(int32_t bufferingMode, int32_t paused, int32_t stopRequest,
                                        uint32_t blockSize, uint32_t bytesRecorded)
{
    const bool onMemory = bufferingMode == kOnMemoryMode;
    if (onMemory && !paused) return MonitorBlockStep::kEndRecording;
    if (stopRequest != kStopNone) return MonitorBlockStep::kEndAfterStop;
    // A piece that filled the buffer just as Pause came: queuing an empty remainder would
    // leave nothing to come back, and the run could never end, so it ends here.
    if (onMemory && bytesRecorded >= blockSize) return MonitorBlockStep::kEndRecording;
    return MonitorBlockStep::kRequeue;
}

int OpenMonitor()
{
    run.subChunk.cksize = kMonitorFormatBytes;
    HLOCAL recordHandle = nullptr;
    WAVEFORMATEX* record = nullptr;
    if (!AllocFormatRecord(&recordHandle, &record)) return 0;
    FillMonitorFormat(record, state.monitorRate, state.monitorChannels, state.monitorBits);

    const UINT answer = waveInOpen(nullptr, WAVE_MAPPER, record, 0, 0, WAVE_FORMAT_QUERY);
    if (answer != MMSYSERR_NOERROR) {
        ShowWarning(app.mainWindow, MonitorQueryMessage(answer, g.textBuffer, sizeof g.textBuffer));
        ReleaseFormatRecord(recordHandle);
        return 0;
    }
    ShowSourceFormat(record);
    run.remainingBytes = kMonitorCapacity;
    run.totalDataBytes = kMonitorTotalBytes;
    state.bufferingMode = state.onMemoryOption ? kOnMemoryMode : kStreamingMode;
    DrawFreeLine();
    run.remainingBytes = 0;

    if (waveInOpen(&app.waveIn, WAVE_MAPPER, record, reinterpret_cast<DWORD_PTR>(app.mainWindow), 0,
                   CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        app.waveIn = nullptr;
        ShowWarning(app.mainWindow, kCannotOpenInput);
        ReleaseFormatRecord(recordHandle);
        return 0;
    }
    ComputeBlockSize(record);
    ReleaseFormatRecord(recordHandle);
    return 1;
}

void StartMonitor()
{
    // A window whose headers could not be allocated has reported it at creation; without
    // headers there is nothing to record into. A second start over a running one would orphan
    // its memory.
    if (!app.header[0] || !app.header[1] || state.running) return;
    if (!app.waveIn && !OpenMonitor()) return;
    HGLOBAL recordHandle = nullptr;
    RunRecord* record = nullptr;
    if (!AllocBlockBuffers() || !AllocRunRecord(&recordHandle, &record)) {
        CloseInputDevice(0);
        return;
    }
    DisableSourceControls();
    run.nextHeader = 0;
    run.lastBlock = 0;
    state.paused = 0;
    SetWindowTextA(app.pauseButton, "Pause");
    if (!QueueStartHeader(0, record, recordHandle)) return;
    if (state.bufferingMode == kStreamingMode && !QueueStartHeader(1, record, recordHandle)) return;

    EnableRunControls();
    state.stopRequest = kStopNone;
    state.running = 1;
    if (state.bufferingMode == kOnMemoryMode) {
        DrawOnMemoryMonitorLabel();
        SetTimer(app.mainWindow, kElapsedTimerId, kElapsedTimerPeriodMs, nullptr);
        run.startTick = GetTickCount();
    }
    HDC dc = GetDC(app.mainWindow);
    DrawDisplayFrame(dc);
    ReleaseDC(app.mainWindow, dc);
    waveInStart(app.waveIn);
}

void OnInputData(WAVEHDR* header)
{
    // Messages of a run that has ended (Stop's second buffer, a failed start) are ignored.
    if (state.stopRequest > kStopRequested || !state.running) return;
    if (state.stopRequest == kStopRequested) state.stopRequest = kStopFinalBufferBack;
    const bool onMemory = state.bufferingMode == kOnMemoryMode;
    if (onMemory) KillTimer(app.mainWindow, kElapsedTimerId);

    HDC dc = GetDC(app.mainWindow);
    HGDIOBJ font = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    const int slot = run.nextHeader;
    run.nextHeader = 1 - slot;
    waveInUnprepareHeader(app.waveIn, app.header[slot], kWaveHeaderSize);
    const uint32_t recorded = app.header[slot]->dwBytesRecorded;
    if (onMemory) ClearLevelPanel(dc);
    AnalyseBlock(dc, slot, int32_t(recorded));
    if (onMemory) {
        DrawChannelLabels(dc);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, OPAQUE);
    }
    run.remainingBytes += recorded;
    DrawPositionLine(dc, run.remainingBytes);   // the recorded count

    switch (DecideMonitorBlockStep(state.bufferingMode, state.paused, state.stopRequest, run.blockSize,
                                   recorded)) {
    case MonitorBlockStep::kEndRecording:
        if (state.stopRequest == kStopNone) state.stopRequest = kStopFinalBufferBack;
        FinishRun(header);
        break;
    case MonitorBlockStep::kEndAfterStop:
        // The other streaming buffer was handed back by Stop's reset; its message comes later
        // and is ignored. A paused on-memory run has only the buffer just analysed.
        if (!onMemory || !state.paused)
            waveInUnprepareHeader(app.waveIn, app.header[run.nextHeader], kWaveHeaderSize);
        FinishRun(header);
        break;
    case MonitorBlockStep::kRequeue:
        RequeueBuffer(slot, recorded);
        break;
    }
    SelectObject(dc, font);
    ReleaseDC(app.mainWindow, dc);
}

void StopMonitor()
{
    if (!state.running || state.stopRequest != kStopNone) return;
    DisableRunControls();
    waveInStop(app.waveIn);
    waveInReset(app.waveIn);
    state.stopRequest = kStopRequested;
}
