// A compressed WAV's chunks handed to the compression-manager opener, its data from memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "audio/decoders.h"
#include "tests/support/support.h"

// Bytes handed out at most `step` at a time.
class MemoryInput : public ByteInput {
public:
    explicit MemoryInput(std::vector<uint8_t> bytes, size_t step = SIZE_MAX) : bytes_(std::move(bytes)), step_(step) {}
    uint32_t Read(uint8_t* buffer, uint32_t length) override
    {
        const uint32_t n = uint32_t(std::min<size_t>({length, step_, bytes_.size() - at_}));
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::vector<uint8_t> bytes_;
    size_t step_;
    size_t at_ = 0;
};

// Opens the data of a WAV's chunks (RiffChunks) with its format and fact chunks.
inline ReaderResult OpenCompressedWave(std::map<std::string, std::vector<uint8_t>> chunks,
                                       std::unique_ptr<AudioSource>* source)
{
    const std::vector<uint8_t>& fmt = chunks["fmt "];
    const uint64_t fact = chunks["fact"].size() >= 4 ? Little32(chunks["fact"].data()) : 0;
    return OpenAcmSource(fmt.data(), uint32_t(fmt.size()), std::make_unique<MemoryInput>(chunks["data"]), fact, source);
}
