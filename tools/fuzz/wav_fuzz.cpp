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

// ---- The same figures and data in the other containers read by the project's own code ----

void PutBig(std::vector<uint8_t>& bytes, uint32_t value, size_t width)
{
    for (size_t i = width; i > 0; --i) bytes.push_back(uint8_t(value >> (8 * (i - 1))));
}
void PutLittle(std::vector<uint8_t>& bytes, uint64_t value, size_t width)
{
    for (size_t i = 0; i < width; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
}
void Append(std::vector<uint8_t>& to, const char* id) { to.insert(to.end(), id, id + 4); }

// An RF64 file of the chunks: ds64 first (its data size random among the telling ones), the data
// chunk's size 0xFFFFFFFF, so the 64-bit size is the one that counts.
std::vector<uint8_t> Rf64Bytes(Random& random, const Chunks& chunks, std::string& description)
{
    uint64_t dataBytes = 0;
    for (const WavChunk& chunk : chunks)
        if (chunk.id == "data") dataBytes = chunk.body.size();
    const uint64_t sizes[] = {dataBytes, 0, dataBytes + 1, dataBytes * 2, 0xFFFFFFFFull, 0x100000000ull + dataBytes,
                              0x7FFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull};
    const uint64_t ds64Data = random.Chance(70) ? dataBytes : random.Pick(sizes);
    std::vector<uint8_t> bytes;
    Append(bytes, random.Chance(80) ? "RF64" : "BW64");
    PutLittle(bytes, 0xFFFFFFFF, 4);
    Append(bytes, "WAVE");
    if (random.Chance(95)) {
        Append(bytes, "ds64");
        const uint32_t ds64Size = random.Chance(90) ? 28 : random.Pick({0u, 8u, 23u, 24u, 0xFFFFFFFFu});
        PutLittle(bytes, ds64Size, 4);
        PutLittle(bytes, ds64Data + 100, 8);
        PutLittle(bytes, ds64Data, 8);
        PutLittle(bytes, random.Next(), 8);
        PutLittle(bytes, 0, 4);
    }
    std::vector<uint8_t> riff = RiffFile(chunks);
    for (size_t at = kRiffHeaderBytes; at + kChunkHeaderBytes <= riff.size();) {
        const uint32_t size = Get32(riff, at + 4);
        if (riff[at] == 'd' && riff[at + 1] == 'a' && riff[at + 2] == 't' && riff[at + 3] == 'a') Put(riff, at + 4, 0xFFFFFFFF, 4);
        at += kChunkHeaderBytes + size + (size & 1);
    }
    bytes.insert(bytes.end(), riff.begin() + kRiffHeaderBytes, riff.end());
    description += " rf64(ds64 data=" + std::to_string(ds64Data) + ")";
    return bytes;
}

// An AIFF or AIFF-C file of the base format's figures and data, in one of the layouts the reader
// converts (or one it refuses), with its header fields mutated now and then.
std::vector<uint8_t> AiffBytes(Random& random, const Chunks& chunks, std::string& description)
{
    uint16_t channels = 2, bits = 16;
    uint32_t rate = 44100;
    std::vector<uint8_t> data;
    for (const WavChunk& chunk : chunks) {
        if (chunk.id == "fmt " && chunk.body.size() >= kPcmFieldBytes) {
            channels = uint16_t(chunk.body[2] | chunk.body[3] << 8);
            rate = Get32(chunk.body, 4);
            bits = uint16_t(chunk.body[14] | chunk.body[15] << 8);
        }
        if (chunk.id == "data") data = chunk.body;
    }
    const char* compressions[] = {nullptr, "NONE", "sowt", "fl32", "fl64", "ulaw", "alaw", "ima4", "\0\0\0\0"};
    const char* compression = random.Pick(compressions);
    const uint32_t frameBytes = std::max<uint32_t>(1, channels * ((bits + 7u) / 8u));
    uint32_t frames = uint32_t(data.size() / frameBytes);
    if (random.Chance(20)) frames = random.Pick({0u, 1u, frames + 1, frames * 2, 0xFFFFFFFFu, random.Next()});
    if (random.Chance(20)) channels = uint16_t(random.Pick({0u, 1u, 3u, 8u, 9u, 255u, 65535u}));
    if (random.Chance(20)) bits = uint16_t(random.Pick({0u, 1u, 7u, 12u, 33u, 64u, 65535u}));
    std::vector<uint8_t> comm;
    PutBig(comm, channels, 2);
    PutBig(comm, frames, 4);
    PutBig(comm, bits, 2);
    // The rate as an 80-bit float; now and then an exponent far out, a sign or a zero mantissa.
    uint16_t exponent = 16383 + 31;
    uint32_t mantissa = rate;
    while (mantissa && !(mantissa & 0x80000000u)) {
        mantissa <<= 1;
        --exponent;
    }
    if (random.Chance(15)) exponent = uint16_t(random.Pick({0u, 0x3FFFu, 0x4040u, 0x7FFFu, 0x8000u | exponent, 0xFFFFu}));
    if (random.Chance(5)) mantissa = 0;
    PutBig(comm, exponent, 2);
    PutBig(comm, mantissa, 4);
    PutBig(comm, 0, 4);
    if (compression) {
        comm.insert(comm.end(), compression, compression + 4);
        comm.insert(comm.end(), {0, 0});
    }
    const uint32_t offsets[] = {0, 0, 0, 1, 7, 0xFFFFFFF0u};
    const uint32_t soundOffset = random.Pick(offsets);
    std::vector<uint8_t> sound;
    PutBig(sound, soundOffset, 4);
    PutBig(sound, 0, 4);
    sound.insert(sound.end(), data.begin(), data.end());
    std::vector<uint8_t> form;
    Append(form, compression ? "AIFC" : "AIFF");
    const bool soundFirst = random.Chance(15);
    for (int part = 0; part < 2; ++part) {
        const bool isComm = (part == 0) != soundFirst;
        const std::vector<uint8_t>& body = isComm ? comm : sound;
        Append(form, isComm ? "COMM" : "SSND");
        uint32_t size = uint32_t(body.size());
        if (random.Chance(10)) size = random.Pick({0u, 7u, 17u, size + 1, size * 2, 0xFFFFFFFFu});
        PutBig(form, size, 4);
        form.insert(form.end(), body.begin(), body.end());
        if (body.size() & 1) form.push_back(0);
    }
    std::vector<uint8_t> bytes;
    Append(bytes, "FORM");
    PutBig(bytes, uint32_t(form.size()), 4);
    bytes.insert(bytes.end(), form.begin(), form.end());
    description += std::string(" aiff(") + (compression ? compression : "plain") + " frames=" + std::to_string(frames) +
                   " offset=" + Hex(soundOffset) + ")";
    return bytes;
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
    // One file in four is an RF64 or an AIFF of the same figures: those get bit flips and cuts.
    const uint32_t container = random.Below(8);
    if (container < 6) {
        file.bytes = RiffFile(chunks);
    } else {
        file.bytes = container == 6 ? Rf64Bytes(random, chunks, file.description) : AiffBytes(random, chunks, file.description);
        for (uint32_t n = 0; n < byteMutations; ++n) {
            if (random.Chance(60)) MutateBits(random, file.bytes, file.description);
            else {
                file.bytes.resize(random.Below(uint32_t(file.bytes.size() + 1)));
                file.description += " cut=" + std::to_string(file.bytes.size());
            }
        }
        file.run = MakeRun(random);
        return file;
    }
    for (uint32_t n = 0; n < byteMutations; ++n) {
        const uint32_t kind = random.Below(100);
        if (kind < 40) MutateSizeField(random, chunks, file.bytes, file.description);
        else if (kind < 65) MutateCut(random, chunks, file.bytes, file.description);
        else MutateBits(random, file.bytes, file.description);
    }
    file.run = MakeRun(random);
    return file;
}
