// The temporary-then-rename file of every export, and what each failed file call means to the user.
#include "export/exportfile.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kWriteBufferBytes = 65536;
constexpr size_t kTemporaryNameRoom = 14;   // the folder of a temporary name leaves this much of MAX_PATH
const char kTemporaryPrefix[] = "trv";
const char kCurrentFolder[] = ".";

struct ErrorRow {
    DWORD error;
    ExportResult result;
};
constexpr ErrorRow kErrorRows[] = {
    {ERROR_DISK_FULL, ExportResult::kDiskFull},
    {ERROR_HANDLE_DISK_FULL, ExportResult::kDiskFull},
    {ERROR_ACCESS_DENIED, ExportResult::kNotWritable},
    {ERROR_WRITE_PROTECT, ExportResult::kNotWritable},
    {ERROR_PATH_NOT_FOUND, ExportResult::kNotWritable},
    {ERROR_SHARING_VIOLATION, ExportResult::kNotWritable},
    {ERROR_NETWORK_ACCESS_DENIED, ExportResult::kNotWritable},
    {ERROR_DIRECTORY, ExportResult::kNotWritable},
    {ERROR_FILENAME_EXCED_RANGE, ExportResult::kNameTooLong},
    {ERROR_BUFFER_OVERFLOW, ExportResult::kNameTooLong},
    {ERROR_NOT_ENOUGH_MEMORY, ExportResult::kNoMemory},
    {ERROR_OUTOFMEMORY, ExportResult::kNoMemory},
};

// The folder part of `path` ("." when it names none). Walks by characters, so the trail byte of
// a double-byte character is never taken for a separator.
bool FolderOf(const char* path, char* folder, size_t size)
{
    const char* end = nullptr;
    for (const char* p = path; *p; p = CharNextA(p)) {
        if (std::strchr(kPathSeparators, *p)) end = p + 1;
    }
    if (!end) {
        std::strcpy(folder, kCurrentFolder);
        return true;
    }
    const size_t length = size_t(end - path);
    if (length + kTemporaryNameRoom >= size) return false;
    std::memcpy(folder, path, length);
    folder[length] = '\0';
    return true;
}
}  // namespace

ExportResult ExportResultOfError(DWORD error)
{
    for (const ErrorRow& row : kErrorRows) {
        if (row.error == error) return row.result;
    }
    return ExportResult::kWriteFailed;
}

void AtomicFile::FreeDeleter::operator()(void* p) const
{
    std::free(p);
}

ExportResult AtomicFile::Open(const char* path)
{
    Discard();
    failure_ = ExportResult::kOk;
    used_ = 0;
    char folder[kPathBufferSize];
    if (std::strlen(path) >= sizeof path_ || !FolderOf(path, folder, sizeof folder))
        return failure_ = ExportResult::kNameTooLong;
    std::strcpy(path_, path);
    buffer_.reset(static_cast<uint8_t*>(std::malloc(kWriteBufferBytes)));
    if (!buffer_) return failure_ = ExportResult::kNoMemory;
    // GetTempFileName creates the file, so the name is ours until it is renamed or removed.
    if (!GetTempFileNameA(folder, kTemporaryPrefix, 0, temporary_)) {
        temporary_[0] = '\0';
        Fail(GetLastError());
        return failure_;
    }
    file_ = CreateFileA(temporary_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) Fail(GetLastError());
    return failure_;
}

bool AtomicFile::Fail(DWORD error)
{
    if (failure_ == ExportResult::kOk) failure_ = ExportResultOfError(error);
    Discard();
    return false;
}

bool AtomicFile::Flush()
{
    if (failure_ != ExportResult::kOk || file_ == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    if (used_ && !WriteFile(file_, buffer_.get(), DWORD(used_), &written, nullptr)) return Fail(GetLastError());
    if (written != used_) return Fail(ERROR_DISK_FULL);   // a short write leaves no room
    used_ = 0;
    return true;
}

bool AtomicFile::Write(const void* data, size_t size)
{
    if (failure_ != ExportResult::kOk || file_ == INVALID_HANDLE_VALUE) return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        if (used_ == kWriteBufferBytes && !Flush()) return false;
        const size_t part = size < kWriteBufferBytes - used_ ? size : kWriteBufferBytes - used_;
        std::memcpy(buffer_.get() + used_, bytes, part);
        used_ += part;
        bytes += part;
        size -= part;
    }
    return true;
}

bool AtomicFile::WriteText(const char* text)
{
    return Write(text, std::strlen(text));
}

ExportResult AtomicFile::Commit()
{
    if (!Flush()) return failure_ == ExportResult::kOk ? ExportResult::kWriteFailed : failure_;
    const bool closed = CloseHandle(file_) != 0;
    file_ = INVALID_HANDLE_VALUE;
    if (!closed) {
        Fail(GetLastError());
        return failure_;
    }
    bool renamed = MoveFileExA(temporary_, path_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    // Platforms without MoveFileEx replace in two steps.
    if (!renamed && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        DeleteFileA(path_);
        renamed = MoveFileA(temporary_, path_) != 0;
    }
    if (!renamed) {
        Fail(GetLastError());
        return failure_;
    }
    temporary_[0] = '\0';
    return ExportResult::kOk;
}

void AtomicFile::Discard()
{
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    if (temporary_[0]) DeleteFileA(temporary_);
    temporary_[0] = '\0';
    used_ = 0;
}
