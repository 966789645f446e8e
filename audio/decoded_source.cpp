// The compressed file the library decoders read, and the hand-out of their decoded chunks.
#include "audio/decoded_source.h"

#include <algorithm>
#include <cstring>

CompressedFile::~CompressedFile()
{
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

bool CompressedFile::Open(const char* path)
{
    handle_ = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return handle_ != INVALID_HANDLE_VALUE;
}

uint32_t CompressedFile::Read(void* buffer, uint32_t length)
{
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, length, &got, nullptr)) {
        readFailed_ = true;
        return 0;
    }
    return got;
}

bool CompressedFile::Seek(int64_t offset, DWORD origin)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(handle_, distance, nullptr, origin) != 0;
}

int64_t CompressedFile::Tell() const
{
    LARGE_INTEGER zero = {}, position = {};
    if (!SetFilePointerEx(handle_, zero, &position, FILE_CURRENT)) return -1;
    return position.QuadPart;
}

int64_t CompressedFile::Size() const
{
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(handle_, &size)) return -1;
    return size.QuadPart;
}

SourceFormat DeliveredFormat(uint32_t rate, uint16_t channels, uint16_t bits, bool floatSamples)
{
    SourceFormat format;
    format.formatTag = floatSamples ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
    format.channels = channels;
    format.samplesPerSec = rate;
    format.bitsPerSample = bits;
    format.blockAlign = uint16_t(channels * (bits / kBitsPerByte));
    format.avgBytesPerSec = rate * format.blockAlign;
    format.floatSamples = floatSamples;
    return format;
}

uint32_t DecodedSource::ReadFrames(uint8_t* buffer, uint32_t maxFrames)
{
    const uint32_t frameBytes = description_.delivered.blockAlign;
    if (description_.lengthKnown) {
        const uint64_t left = description_.lengthFrames - std::min(delivered_, description_.lengthFrames);
        maxFrames = uint32_t(std::min<uint64_t>(maxFrames, left));
    }
    uint32_t frames = 0;
    while (frames < maxFrames) {
        if (pendingOffset_ >= pending_.size()) {
            pending_.clear();
            pendingOffset_ = 0;
            if (ended_ || !DecodeMore()) {
                ended_ = true;
                break;
            }
            continue;
        }
        const uint32_t available = uint32_t((pending_.size() - pendingOffset_) / frameBytes);
        const uint32_t take = std::min(available, maxFrames - frames);
        std::memcpy(buffer + size_t(frames) * frameBytes, pending_.data() + pendingOffset_, size_t(take) * frameBytes);
        pendingOffset_ += size_t(take) * frameBytes;
        frames += take;
    }
    delivered_ += frames;
    return frames;
}

const uint8_t* WaveOrderOfVorbisChannels(int channels)
{
    static const uint8_t kOrders[9][8] = {
        {}, {0}, {0, 1}, {0, 2, 1}, {0, 1, 2, 3}, {0, 2, 1, 3, 4}, {0, 2, 1, 5, 3, 4},
        {0, 2, 1, 6, 5, 3, 4}, {0, 2, 1, 7, 5, 6, 3, 4},
    };
    return kOrders[channels];
}
