// Message boxes from the string table, and the texts of the engines' results and of the input
// format queries (the reader's and the export's texts are in texts/).
#include "shell/messages.h"

#include <cstdio>

#include "resources/resource.h"

namespace {
constexpr int kMessageBytes = 512;
}  // namespace

void ShowMessageText(HWND owner, const char* text, BoxIcon icon)
{
    MessageBoxA(owner, text, nullptr, MB_OK | (icon == BoxIcon::kWarning ? MB_ICONWARNING : 0));
}

void ShowMessage(HWND owner, UINT textId, BoxIcon icon)
{
    char text[kMessageBytes];
    LoadText(textId, text, sizeof text);
    ShowMessageText(owner, text, icon);
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
    char format[kMessageBytes];
    LoadText(IDS_QUERY_OTHER, format, sizeof format);
    std::snprintf(buffer, size_t(size), format, static_cast<unsigned>(result));
}
