// The type of a file judged by its first bytes (never its name): which opener reads it, or that
// it is a known type whose codec is not supported.
#pragma once

#include <cstddef>
#include <cstdint>

enum class FileType : int {
    kUnknown = 0,     // no known signature: the WAV reader says whether it is a WAV after all
    kWave,            // "RIFF"
    kRf64,            // "RF64" / "BW64" with form "WAVE"
    kAiff,            // "FORM" with form "AIFF" or "AIFC"
    kFlac,            // "fLaC"
    kOgg,             // "OggS"
    kMpeg,            // an ID3v2 tag or an MPEG audio frame header
    kUnsupported,     // MP4/M4A, ADTS AAC, WavPack, Monkey's Audio
};

constexpr size_t kFileTypeHeadBytes = 12;   // the bytes JudgeFileType looks at

// The type of a file whose first `length` bytes (at most kFileTypeHeadBytes are read) are `head`.
FileType JudgeFileType(const uint8_t* head, size_t length);
