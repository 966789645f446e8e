// The one mapping from the results the lower layers report (reader refusals, run failures,
// refused input formats, export outcomes) to their string-table texts.
#include "texts/texts.h"

#include <cstdio>

#include "resources/resource.h"

namespace {
constexpr int kFormatBytes = 512;
}  // namespace

void LoadText(UINT textId, char* buffer, int size)
{
    if (size <= 0) return;
    if (LoadStringA(GetModuleHandleA(nullptr), textId, buffer, size) <= 0) buffer[0] = '\0';
}

UINT MessageIdOf(ReaderResult result)
{
    switch (result) {
    case ReaderResult::kOk: return 0;
    case ReaderResult::kNoFileName: return IDS_NO_FILE_NAME;
    case ReaderResult::kCannotOpenFile: return IDS_CANNOT_OPEN_FILE;
    case ReaderResult::kNotWave: return IDS_NOT_WAVE;
    case ReaderResult::kBrokenWave: return IDS_BROKEN_WAVE;
    case ReaderResult::kUnreadableFormat: return IDS_UNREADABLE_FORMAT;
    case ReaderResult::kNoMemory: return IDS_NO_MEMORY;
    case ReaderResult::kLockFailed: return IDS_LOCK_FAILED;
    case ReaderResult::kNotPcm: return IDS_NOT_PCM;
    case ReaderResult::kUnplayable: return IDS_UNPLAYABLE;
    case ReaderResult::kNoDataChunk: return IDS_NO_DATA_CHUNK;
    case ReaderResult::kEmptyData: return IDS_EMPTY_DATA;
    case ReaderResult::kUnsupportedCodec: return IDS_UNSUPPORTED_CODEC;
    case ReaderResult::kNoCodec: return IDS_NO_CODEC;
    case ReaderResult::kUnreadableHeader: return IDS_UNREADABLE_HEADER;
    }
    return 0;
}

UINT MessageIdOf(ExportResult result)
{
    switch (result) {
    case ExportResult::kOk: return 0;
    case ExportResult::kNameTooLong: return IDS_EXPORT_NAME_TOO_LONG;
    case ExportResult::kNotWritable: return IDS_EXPORT_NOT_WRITABLE;
    case ExportResult::kDiskFull: return IDS_EXPORT_DISK_FULL;
    case ExportResult::kWriteFailed: return IDS_EXPORT_FAILED;
    case ExportResult::kNoMemory: return IDS_EXPORT_NO_MEMORY;
    case ExportResult::kEncoderFailed: return IDS_EXPORT_ENCODER_FAILED;
    case ExportResult::kNoSpectrum: return IDS_EXPORT_NO_SPECTRUM;
    }
    return 0;
}

UINT MessageIdOf(const LoudnessRun& run)
{
    if (run.opened != ReaderResult::kOk) return MessageIdOf(run.opened);
    switch (run.failure) {
    case LoudnessFailure::kNone: return 0;
    case LoudnessFailure::kUnsupportedFormat: return IDS_LOUDNESS_UNSUPPORTED;
    case LoudnessFailure::kNoMemory: return IDS_LOUDNESS_NO_MEMORY;
    case LoudnessFailure::kStopped: return IDS_LOUDNESS_STOPPED;
    }
    return 0;
}

UINT MessageIdOf(RunResult result)
{
    switch (result) {
    case RunResult::kOk: return 0;
    case RunResult::kNoBlockMemory: return IDS_NO_BLOCK_MEMORY;
    case RunResult::kBlockLockFailed: return IDS_BLOCK_LOCK_FAILED;
    case RunResult::kReadFailed: return IDS_READ_FAILED;
    case RunResult::kHeaderFailed: return IDS_HEADER_FAILED;
    case RunResult::kWriteFailed: return IDS_WRITE_FAILED;
    case RunResult::kDeviceFailed: return IDS_DEVICE_FAILED;
    }
    return 0;
}

void FormatQueryMessage(MMRESULT result, char* buffer, int size)
{
    UINT id = 0;
    switch (result) {
    case MMSYSERR_BADDEVICEID: id = IDS_QUERY_BAD_DEVICE; break;
    case MMSYSERR_ALLOCATED: id = IDS_QUERY_ALLOCATED; break;
    case MMSYSERR_NODRIVER: id = IDS_QUERY_NO_DRIVER; break;
    case MMSYSERR_NOMEM: id = IDS_QUERY_NO_MEMORY; break;
    case WAVERR_BADFORMAT: id = IDS_CANNOT_RECORD; break;
    case WAVERR_SYNC: id = IDS_QUERY_SYNC; break;
    default: break;
    }
    if (id) {
        LoadText(id, buffer, size);
        return;
    }
    // Not one of the documented answers: say so and keep the code for whoever investigates.
    char format[kFormatBytes];
    LoadText(IDS_QUERY_OTHER, format, sizeof format);
    std::snprintf(buffer, size_t(size), format, static_cast<unsigned>(result));
}
