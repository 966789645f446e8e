// Writing an export safely: the bytes go to a temporary file in the chosen folder, which replaces
// the chosen name only when every byte is on the disk. A failed or abandoned write removes the
// temporary file, so the chosen name never holds half a file. Every outcome of an export is one
// ExportResult; the window and the batch analyser turn it into the same text.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/types.h"

enum class ExportResult : int {
    kOk = 0,
    kNameTooLong,         // the name is too long for the temporary name or the platform
    kNotWritable,         // the folder cannot be written
    kDiskFull,            // the disk is full
    kWriteFailed,         // any other failed write or rename
    kNoMemory,            // no memory for the export
    kEncoderFailed,       // the picture encoder failed
    kNoSpectrum,          // the block has no spectrum (a format not analysed)
};

// The outcome a failed file call's error code stands for.
ExportResult ExportResultOfError(DWORD error);

// One file written under a temporary name and renamed at Commit. Writes are buffered; the first
// failure is kept and every later call returns it.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile() { Discard(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside `path` (nothing is written under `path` yet).
    [[nodiscard]] ExportResult Open(const char* path);
    // Appends bytes; false once anything has failed.
    bool Write(const void* data, size_t size);
    bool WriteText(const char* text);
    // Flushes, closes and renames the temporary file over `path`; on any failure it is removed.
    [[nodiscard]] ExportResult Commit();
    // Removes the temporary file (nothing after a Commit).
    void Discard();

private:
    struct FreeDeleter { void operator()(void* p) const; };
    bool Flush();
    bool Fail(DWORD error);

    HANDLE file_ = INVALID_HANDLE_VALUE;
    char path_[kPathBufferSize] = {};
    char temporary_[kPathBufferSize] = {};
    std::unique_ptr<uint8_t, FreeDeleter> buffer_;
    size_t used_ = 0;
    ExportResult failure_ = ExportResult::kOk;
};
