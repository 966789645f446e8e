// A file opened for reading with 64-bit offsets (the containers whose sizes pass 4 GB), and the
// byte-order helpers of the containers read with it.
#pragma once

#include <windows.h>
#include <cstdint>

class BinaryFile {
public:
    BinaryFile() = default;
    ~BinaryFile() { Close(); }
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    [[nodiscard]] bool Open(const char* path);
    void Close();
    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    uint64_t Size() const { return size_; }
    // Reads up to `length` bytes at `offset`; returns how many came (0 on failure).
    uint32_t ReadAt(uint64_t offset, void* buffer, uint32_t length);
    // Whether the whole of `length` bytes at `offset` came.
    bool ReadExactly(uint64_t offset, void* buffer, uint32_t length) { return ReadAt(offset, buffer, length) == length; }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    uint64_t size_ = 0;
};

inline uint16_t LittleEndian16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t LittleEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t LittleEndian64(const uint8_t* p) { return uint64_t(LittleEndian32(p)) | uint64_t(LittleEndian32(p + 4)) << 32; }
inline uint16_t BigEndian16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t BigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
