// File types by their signatures. An MPEG audio frame header is told from an ADTS (AAC) one by
// its layer bits, which ADTS keeps at zero.
#include "audio/filetype.h"

#include <array>
#include <cstring>

namespace {

struct Signature {
    size_t offset;
    const char* bytes;     // four bytes
    size_t formOffset;     // a second four bytes that must follow (0: none)
    const char* form;
    FileType type;
};

constexpr std::array<Signature, 10> kSignatures = {{
    {0, "RIFF", 0, nullptr, FileType::kWave},
    {0, "RF64", 8, "WAVE", FileType::kRf64},
    {0, "BW64", 8, "WAVE", FileType::kRf64},
    {0, "FORM", 8, "AIFF", FileType::kAiff},
    {0, "FORM", 8, "AIFC", FileType::kAiff},
    {0, "fLaC", 0, nullptr, FileType::kFlac},
    {0, "OggS", 0, nullptr, FileType::kOgg},
    {4, "ftyp", 0, nullptr, FileType::kUnsupported},
    {0, "wvpk", 0, nullptr, FileType::kUnsupported},
    {0, "MAC ", 0, nullptr, FileType::kUnsupported},
}};
constexpr size_t kIdBytes = 4;

bool Holds(const uint8_t* head, size_t length, size_t offset, const char* bytes)
{
    return offset + kIdBytes <= length && std::memcmp(head + offset, bytes, kIdBytes) == 0;
}

constexpr uint8_t kSyncByte = 0xFF;
constexpr uint8_t kSyncHighBits = 0xE0;         // the eleven sync bits' last three
constexpr uint8_t kAdtsMask = 0xF6, kAdtsBits = 0xF0;   // twelve sync bits and layer 0
constexpr int kReservedVersion = 1, kReservedLayer = 0, kFreeOrBadBitrate = 15, kReservedRate = 3;

// An MPEG audio frame header: sync, and no reserved version, layer, bit rate or sample rate.
bool MpegFrameHeader(const uint8_t* p)
{
    if (p[0] != kSyncByte || (p[1] & kSyncHighBits) != kSyncHighBits) return false;
    const int version = (p[1] >> 3) & 3, layer = (p[1] >> 1) & 3;
    const int bitrate = p[2] >> 4, rate = (p[2] >> 2) & 3;
    return version != kReservedVersion && layer != kReservedLayer && bitrate != kFreeOrBadBitrate && rate != kReservedRate;
}

bool AdtsHeader(const uint8_t* p) { return p[0] == kSyncByte && (p[1] & kAdtsMask) == kAdtsBits; }

constexpr size_t kFrameHeaderBytes = 4;

}  // namespace

FileType JudgeFileType(const uint8_t* head, size_t length)
{
    if (!head) return FileType::kUnknown;
    for (const Signature& s : kSignatures)
        if (Holds(head, length, s.offset, s.bytes) && (!s.form || Holds(head, length, s.formOffset, s.form)))
            return s.type;
    if (length >= 3 && std::memcmp(head, "ID3", 3) == 0) return FileType::kMpeg;
    if (length < kFrameHeaderBytes) return FileType::kUnknown;
    if (AdtsHeader(head)) return FileType::kUnsupported;
    if (MpegFrameHeader(head)) return FileType::kMpeg;
    return FileType::kUnknown;
}
