// The fuzzer's file maker: a base file as a list of chunks, chunk-level mutations on the list,
// then byte-level mutations (size fields, cuts, bit flips) on the bytes it serialises to.
#include "tools/fuzz/wav_fuzz.h"

#include "tests/support/support.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

// splitmix64: a small generator whose whole state is the seed, so each file stands alone.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint32_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return uint32_t((z ^ (z >> 31)) >> 32);
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
    template <typename T, size_t N>
    T Pick(const T (&values)[N]) { return values[Below(N)]; }

private:
    uint64_t state_;
};

using Chunks = std::vector<WavChunk>;
constexpr size_t kRiffHeaderBytes = 12, kChunkHeaderBytes = 8, kPcmFieldBytes = 16;
constexpr uint32_t kMaxDataBytes = 3000;
constexpr uint16_t kExtensibleTag = 0xFFFE;
constexpr uint16_t kExtensibleExtraBytes = 22;

struct BaseFormat {
    const char* name;
    uint16_t tag, channels;
    uint32_t rate;
    uint16_t bits;
};
constexpr BaseFormat kBases[] = {
    {"mono8", 1, 1, 11025, 8}, {"stereo16", 1, 2, 44100, 16}, {"mono16", 1, 1, 22050, 16},
    {"stereo8", 1, 2, 8000, 8}, {"6ch24", 1, 6, 48000, 24}, {"mono32", 1, 1, 44100, 32},
    {"float", 3, 2, 44100, 32}, {"extensible", kExtensibleTag, 2, 48000, 24},
};

// The sub-format GUIDs of extensible headers: PCM, float, and two that name nothing.
const uint8_t kSubFormats[][16] = {
    {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71},
    {3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71},
    {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
};

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", unsigned(value));
    return text;
}

void Put(std::vector<uint8_t>& bytes, size_t offset, uint32_t value, size_t width)
{
    for (size_t i = 0; i < width && offset + i < bytes.size(); ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
}

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t offset)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && offset + i < bytes.size(); ++i) value |= uint32_t(bytes[offset + i]) << (8 * i);
    return value;
}

std::vector<uint8_t> RandomBytes(Random& random, size_t count)
{
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) b = uint8_t(random.Next());
    return bytes;
}

// The 40-byte format chunk of an extensible header: cbSize 22, valid bits, channel mask, GUID.
std::vector<uint8_t> ExtensibleBody(uint16_t channels, uint32_t rate, uint16_t bits, const uint8_t* subFormat)
{
    std::vector<uint8_t> body = FmtBody(kExtensibleTag, channels, rate, bits, true);
    Put(body, kPcmFieldBytes, kExtensibleExtraBytes, 2);
    body.insert(body.end(), {uint8_t(bits), 0, 3, 0, 0, 0});
    body.insert(body.end(), subFormat, subFormat + 16);
    return body;
}

Chunks BaseChunks(Random& random, std::string& description)
{
    const BaseFormat& base = random.Pick(kBases);
    description = base.name;
    std::vector<uint8_t> fmt = base.tag == kExtensibleTag ? ExtensibleBody(base.channels, base.rate, base.bits, kSubFormats[0])
                                                          : FmtBody(base.tag, base.channels, base.rate, base.bits, random.Chance(30));
    const uint32_t dataBytes = random.Chance(10) ? random.Below(16) : random.Below(kMaxDataBytes);
    Chunks chunks = {{"fmt ", fmt}, {"data", RandomBytes(random, dataBytes)}};
    const char* extras[] = {"LIST", "fact", "junk", "cue "};
    for (uint32_t n = random.Below(3); n > 0; --n) {
        const auto at = chunks.begin() + random.Below(uint32_t(chunks.size() + 1));
        chunks.insert(at, {random.Pick(extras), RandomBytes(random, random.Below(40))});
    }
    return chunks;
}

WavChunk* FindFmt(Chunks& chunks)
{
    for (WavChunk& chunk : chunks)
        if (chunk.id == "fmt ") return &chunk;
    return nullptr;
}

// ---- Chunk-level mutations ----

struct FormatField {
    const char* name;
    size_t offset, width;
    std::vector<uint32_t> values;
};
const FormatField kFormatFields[] = {
    {"tag", 0, 2, {0, 1, 2, 3, kExtensibleTag, 0x8000, 0xFFFF}},
    {"channels", 2, 2, {0, 1, 2, 3, 6, 8, 32, 33, 255, 32767, 32768, 65535}},
    {"rate", 4, 4, {0, 1, 2, 1000, 8000, 11025, 22050, 44100, 96000, 192000, 384000, 384001, 0x7FFFFFFF, 0xFFFFFFFF}},
    {"avgbytes", 8, 4, {0, 1, 11024, 11025, 176400, 0x7FFFFFFF, 0xFFFFFFFF}},
    {"align", 12, 2, {0, 1, 2, 3, 4, 6, 0x7FFF, 0xFFFF}},
    {"bits", 14, 2, {0, 1, 4, 7, 8, 12, 16, 20, 24, 32, 33, 64, 0xFFFF}},
};

void MutateFields(Random& random, Chunks& chunks, std::string& description)
{
    WavChunk* fmt = FindFmt(chunks);
    if (!fmt || fmt->body.size() < kPcmFieldBytes) return;
    for (uint32_t n = 1 + random.Below(3); n > 0; --n) {
        const FormatField& field = kFormatFields[random.Below(uint32_t(std::size(kFormatFields)))];
        const uint32_t value = random.Chance(15) ? random.Next() : field.values[random.Below(uint32_t(field.values.size()))];
        Put(fmt->body, field.offset, value, field.width);
        description += " " + std::string(field.name) + "=" + Hex(value);
    }
}

void MutateFmtSize(Random& random, Chunks& chunks, std::string& description)
{
    WavChunk* fmt = FindFmt(chunks);
    if (!fmt) return;
    const uint32_t sizes[] = {0, 1, 2, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 38, 39, 40, 41, 42, 100, 65534, 65535, 65536, 65537};
    const uint32_t size = random.Pick(sizes);
    const size_t old = fmt->body.size();
    fmt->body.resize(size);
    for (size_t i = old; i < size; ++i) fmt->body[i] = random.Chance(50) ? 0 : uint8_t(random.Next());
    description += " fmtsize=" + std::to_string(size);
    if (random.Chance(30)) {
        fmt->declaredSize = int32_t(random.Pick(sizes));
        description += "(says " + std::to_string(fmt->declaredSize) + ")";
    }
}

void MutateExtensible(Random& random, Chunks& chunks, std::string& description)
{
    WavChunk* fmt = FindFmt(chunks);
    if (!fmt) return;
    const uint8_t* subFormat = kSubFormats[random.Below(uint32_t(std::size(kSubFormats)))];
    fmt->body = ExtensibleBody(uint16_t(1 + random.Below(8)), random.Pick({8000u, 44100u, 48000u, 96000u}),
                               random.Pick({uint16_t(8), uint16_t(16), uint16_t(24), uint16_t(32)}), subFormat);
    const uint32_t cbSizes[] = {0, 1, 21, 22, 23, 0xFFFF};
    const uint32_t cbSize = random.Chance(15) ? random.Below(0x10000) : random.Pick(cbSizes);
    Put(fmt->body, kPcmFieldBytes, cbSize, 2);
    const uint32_t sizes[] = {18, 24, 39, 40, 41};
    fmt->body.resize(random.Pick(sizes), 0);
    description += " extensible(cbSize=" + std::to_string(cbSize) + " size=" + std::to_string(fmt->body.size()) +
                   " sub=" + std::to_string(subFormat[0]) + ")";
}

void MutateChunkList(Random& random, Chunks& chunks, std::string& description)
{
    if (chunks.empty()) return;
    const uint32_t i = random.Below(uint32_t(chunks.size()));
    switch (random.Below(4)) {
    case 0:   // duplicated
        chunks.insert(chunks.begin() + random.Below(uint32_t(chunks.size() + 1)), chunks[i]);
        description += " duplicate(" + chunks[i].id + ")";
        break;
    case 1:   // missing
        description += " remove(" + chunks[i].id + ")";
        chunks.erase(chunks.begin() + i);
        break;
    case 2: { // swapped
        const uint32_t j = random.Below(uint32_t(chunks.size()));
        std::swap(chunks[i], chunks[j]);
        description += " swap(" + std::to_string(i) + "," + std::to_string(j) + ")";
        break;
    }
    default: { // nested: a run of chunks inside a LIST or RIFF chunk of its own
        const uint32_t end = i + 1 + random.Below(uint32_t(chunks.size() - i));
        const bool riff = random.Chance(50);
        std::vector<uint8_t> inner = RiffFile(Chunks(chunks.begin() + i, chunks.begin() + end), -1, riff ? "WAVE" : "INFO");
        inner.erase(inner.begin(), inner.begin() + kChunkHeaderBytes);   // keep the form type and chunks
        chunks.erase(chunks.begin() + i, chunks.begin() + end);
        chunks.insert(chunks.begin() + i, {riff ? "RIFF" : "LIST", inner});
        description += std::string(" nest(") + (riff ? "RIFF" : "LIST") + " " + std::to_string(end - i) + ")";
        break;
    }
    }
}

// ---- Byte-level mutations ----

// Where each chunk header starts in the serialised file.
std::vector<size_t> ChunkOffsets(const Chunks& chunks)
{
    std::vector<size_t> offsets;
    size_t at = kRiffHeaderBytes;
    for (const WavChunk& chunk : chunks) {
        offsets.push_back(at);
        at += kChunkHeaderBytes + chunk.body.size() + (chunk.body.size() & 1);
    }
    return offsets;
}

void MutateSizeField(Random& random, const Chunks& chunks, std::vector<uint8_t>& bytes, std::string& description)
{
    const std::vector<size_t> offsets = ChunkOffsets(chunks);
    const uint32_t target = random.Below(uint32_t(offsets.size() + 1));   // the last: the RIFF size
    const size_t field = target < offsets.size() ? offsets[target] + 4 : 4;
    const uint32_t now = Get32(bytes, field);
    // Sizes that make the next chunk's offset wrap past 4 GB onto the chunk itself or before it.
    const uint32_t back = target < offsets.size() ? random.Below(uint32_t(offsets[target]) + 1) : 0;
    const uint32_t values[] = {0, 1, now | 1, now + 1, now - 1, now * 2, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                               0xFFFFFFFE, 0xFFFFFFF8, 0xFFFFFFF8 - back, random.Next()};
    const uint32_t value = random.Pick(values);
    Put(bytes, field, value, 4);
    description += " size@" + std::to_string(field) + "=" + Hex(value);
}

void MutateCut(Random& random, const Chunks& chunks, std::vector<uint8_t>& bytes, std::string& description)
{
    // The RIFF header's fields, then each chunk's size field, body and end.
    std::vector<size_t> boundaries = {0, 4, 8, kRiffHeaderBytes};
    const std::vector<size_t> offsets = ChunkOffsets(chunks);
    for (size_t i = 0; i < chunks.size(); ++i) {
        const size_t body = offsets[i] + kChunkHeaderBytes;
        boundaries.insert(boundaries.end(), {offsets[i] + 4, body, body + chunks[i].body.size()});
    }
    const int64_t at = int64_t(boundaries[random.Below(uint32_t(boundaries.size()))]) + int64_t(random.Below(5)) - 2;
    const size_t length = size_t(std::clamp<int64_t>(at, 0, int64_t(bytes.size())));
    bytes.resize(length);
    description += " cut=" + std::to_string(length);
}

void MutateBits(Random& random, std::vector<uint8_t>& bytes, std::string& description)
{
    if (bytes.empty()) return;
    constexpr uint32_t kHeaderArea = 64;
    const uint32_t flips = 1 + random.Below(8);
    for (uint32_t n = 0; n < flips; ++n) {
        const uint32_t area = random.Chance(75) ? std::min<uint32_t>(kHeaderArea, uint32_t(bytes.size())) : uint32_t(bytes.size());
        bytes[random.Below(area)] ^= uint8_t(1u << random.Below(8));
    }
    description += " flips=" + std::to_string(flips);
}

FuzzRun MakeRun(Random& random)
{
    FuzzRun run;
    run.onMemory = random.Chance(25);
    run.timeResolution = int32_t(512u << random.Below(5));
    run.fftExponent = int32_t(8 + random.Below(9));
    run.view = int(random.Below(5));
    run.windowType = int(random.Below(5));
    if (random.Chance(30)) run.stopAfterDone = int(random.Below(3));
    run.pauseOnce = random.Chance(20);
    return run;
}

}  // namespace

FuzzFile MakeFuzzFile(uint32_t seed, uint32_t index)
{
    Random random((uint64_t(seed) << 32) | index);
    FuzzFile file;
    Chunks chunks = BaseChunks(random, file.description);
    // About one file in twenty is left as made, a plausible file that plays.
    const uint32_t chunkMutations = random.Below(3), byteMutations = random.Below(3) + (chunkMutations == 0 && random.Chance(85));
    for (uint32_t n = 0; n < chunkMutations; ++n) {
        const uint32_t kind = random.Below(100);
        if (kind < 40) MutateFields(random, chunks, file.description);
        else if (kind < 60) MutateFmtSize(random, chunks, file.description);
        else if (kind < 75) MutateExtensible(random, chunks, file.description);
        else MutateChunkList(random, chunks, file.description);
    }
    file.bytes = RiffFile(chunks);
    for (uint32_t n = 0; n < byteMutations; ++n) {
        const uint32_t kind = random.Below(100);
        if (kind < 40) MutateSizeField(random, chunks, file.bytes, file.description);
        else if (kind < 65) MutateCut(random, chunks, file.bytes, file.description);
        else MutateBits(random, file.bytes, file.description);
    }
    file.run = MakeRun(random);
    return file;
}
