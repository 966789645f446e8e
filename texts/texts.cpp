// The one mapping from reader refusals and export outcomes to their string-table texts.
#include "texts/texts.h"

#include "resources/resource.h"

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
