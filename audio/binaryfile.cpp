// Reads at 64-bit offsets through the platform's file handle (shared, so a file another program
// writes can still be read).
#include "audio/binaryfile.h"

bool BinaryFile::Open(const char* path)
{
    Close();
    if (!path || !path[0]) return false;
    file_ = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_, &size)) {
        Close();
        return false;
    }
    size_ = uint64_t(size.QuadPart);
    return true;
}

void BinaryFile::Close()
{
    if (file_ == INVALID_HANDLE_VALUE) return;
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    size_ = 0;
}

uint32_t BinaryFile::ReadAt(uint64_t offset, void* buffer, uint32_t length)
{
    if (!IsOpen() || length == 0) return 0;
    LARGE_INTEGER position;
    position.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(file_, position, nullptr, FILE_BEGIN)) return 0;
    DWORD got = 0;
    if (!ReadFile(file_, buffer, length, &got, nullptr)) return 0;
    return got;
}
