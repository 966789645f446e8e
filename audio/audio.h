// Audio sources: the WAV reader and the memory of a run, playback and monitor engines, the
// Monitor and Wave Information dialogs.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <cstddef>
#include <cstdint>

// The run record: a 32-byte movable shared global block whose locked address travels in the
// dwUser field of every queued header, so whoever gets a finished header can free the run.
struct RunRecord {
    HGLOBAL self;
    HGLOBAL header0;
    HGLOBAL block0;
    uint32_t reserved[5];
};
static_assert(sizeof(RunRecord) == 32, "the run record is 32 bytes");

constexpr uint32_t kDisketteCapacity = 1457664;   // at most this: always on-memory mode
constexpr uint32_t kMegabyte = 1048576;

// ---- WAV file reader and run memory (wavfile.cpp, runmemory.cpp) ----
int OpenWaveFile();
uint32_t AllocFormatRecord(HLOCAL* handle, WAVEFORMATEX** record);
void ComputeBlockSize(const WAVEFORMATEX* format);
int AllocBlockBuffers();
int AllocRunRecord(HGLOBAL* handle, RunRecord** record);
void FreeRunRecord(RunRecord* record);
void CloseSource();
// Closes the WAV file where it stands (no ascent) and clears its handle; nothing when none is open.
void CloseWaveFile();
const char* FormatTagName(int tag);

// Header decisions of the reader, on plain inputs (wavfile.cpp). The verdicts name the refusal
// the reader shows; kFormatAccepted lets the file go on to the device query.
enum FormatVerdict : int {
    kFormatAccepted = 0,
    kFormatUnreadable,      // "形式チャンクを読み取れません。"
    kFormatNotPcm,          // "指定したファイルは、PCMファイルではありません。"
    kFormatUnplayable,      // "サウンドドライバは、この形式を再生できません。"
};
constexpr uint32_t kMaxFormatChunkSize = 65535;   // larger chunks are refused before allocation
constexpr uint32_t kMinFormatChunkSize = 16;      // the PCM fields the reader uses
constexpr uint32_t kMaxPlayableRate = 384000;     // above this some drivers abort the process
// Verdict on a format chunk's declared size, before any memory is taken for it.
FormatVerdict CheckFormatChunkSize(uint32_t declaredSize);
// Verdict on the chunk's bytes as read: `bytesRead` of `declaredSize` arrived in `bytes`.
FormatVerdict CheckFormatChunk(const void* bytes, uint32_t declaredSize, uint32_t bytesRead);
// Buffering mode for a file: on-memory when the option is set or the disk is diskette-sized.
int32_t ChooseBufferingMode(int32_t onMemoryOption, uint64_t diskCapacity);
// Block size for a buffering mode (the arithmetic behind ComputeBlockSize).
uint32_t BlockSizeFor(int32_t mode, uint32_t avgBytesPerSec, int32_t timeResolution,
                      int32_t memorySizeMB, uint32_t totalDataBytes);
// "Total:%7ld kb %6ld sec" for a data size; a rate of 0 bytes per second shows 0 seconds.
void FormatTotalLine(char* out, size_t size, uint32_t totalDataBytes, uint32_t avgBytesPerSec);

// ---- Playback engine (playback.cpp) ----
void StartPlayback();
void OnOutputDone(WAVEHDR* header);
void StopPlayback();
void EndRun(WAVEHDR* header);
void ReportReadFailure();
void ReportHeaderFailure(HGLOBAL runRecordHandle, int slot);
// "オンメモリ再生中(STEREO)" or "(MONO)" in the cleared level panel (also used by Continue).
void DrawOnMemoryPlaybackNotice();
// The "Pos:" line for `bytes` of data: kilobytes and seconds at the source's byte rate.
void DrawPositionLine(HDC dc, uint32_t bytes);
// Takes every buffer back from the input device (unpreparing the first `preparedHeaders`
// headers) and closes it; nothing when none is open.
void CloseInputDevice(int preparedHeaders);

// ---- Monitor engine and dialog (monitor.cpp, monitor_dialog.cpp) ----
INT_PTR CALLBACK NEWFILE(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int OpenMonitor();
void StartMonitor();
void OnInputData(WAVEHDR* header);
void StopMonitor();

// Input format mask groups the Monitor dialog tests (WAVE_FORMAT_ capability bits).
constexpr DWORD kAnyInput16Bit = 0xCCC;          // every 16-bit format
constexpr DWORD kAnyInput22Or44kHz = 0xFF0;      // every format at 22.05 or 44.1 kHz
constexpr DWORD kAnyInput44kHz = 0xF00;          // every format at 44.1 kHz

// What the Monitor dialog shows for an input format mask and the remembered monitor format:
// the format after the dialog's adjustment, the checked buttons (0: none) and which groups
// can be used.
struct MonitorDialogPlan {
    uint32_t rate;
    uint16_t bits;
    int rateButton;                 // 106, 107, 108 or 0
    int widthButton;                // 113, 114 or 0
    bool rateGroupEnabled;          // 105 to 108
    bool rate44Enabled;             // 106 alone
    bool widthGroupEnabled;         // 112 to 114
};
MonitorDialogPlan PlanMonitorDialog(DWORD inputFormats, uint32_t rate, uint16_t bits);

// The mono formats whose buttons the dialog leaves enabled for a mask.
struct MonitorFormat {
    uint32_t rate;
    uint16_t bits;
};
constexpr int kMaxOfferedMonitorFormats = 6;
int OfferedMonitorFormats(DWORD inputFormats, MonitorFormat* formats, int capacity);

// Asks the input device about one mono format; 0 means it can record it.
using MonitorFormatQuery = UINT (*)(uint32_t rate, uint16_t bits);
UINT QueryMonoInputFormat(uint32_t rate, uint16_t bits);
// False when the device refuses every format the dialog still offers (the dialog's way out).
bool AnyOfferedFormatAccepted(DWORD inputFormats, MonitorFormatQuery query);

// Fills the 16 bytes of a PCM format record (no cbSize) from a monitor format.
void FillMonitorFormat(WAVEFORMATEX* format, uint32_t rate, uint16_t channels, uint16_t bits);
// Warning text for a refused format query of OpenMonitor; unlisted codes are formatted into
// `buffer` (of `size` bytes) with their number.
const char* MonitorQueryMessage(UINT result, char* buffer, int size);

// What OnInputData does after analysing a returned buffer.
enum class MonitorBlockStep {
    kEndRecording,      // on-memory buffer full (or Stop while recording): end the run
    kEndAfterStop,      // Stop was requested: end the run
    kRequeue            // recording goes on
};
MonitorBlockStep DecideMonitorBlockStep(int32_t bufferingMode, int32_t paused, int32_t stopRequest,
                                        uint32_t blockSize, uint32_t bytesRecorded);

// ---- Wave Information dialog (infobox.cpp) ----
INT_PTR CALLBACK INFOBOX(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
