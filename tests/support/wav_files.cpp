// WAV files for tests, built byte by byte so that malformed files can be made too, written into
// the tests' temporary folder; the folder of the test program.
#include "tests/support/support.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {
void Put16(std::vector<uint8_t>& out, uint32_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); }
void Put32(std::vector<uint8_t>& out, uint32_t v) { Put16(out, v & 0xFFFF); Put16(out, v >> 16); }
void PutId(std::vector<uint8_t>& out, const std::string& id)
{
    for (int i = 0; i < 4; ++i) out.push_back(i < int(id.size()) ? uint8_t(id[i]) : uint8_t(' '));
}
}  // namespace

std::vector<uint8_t> FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, bool withCbSize)
{
    std::vector<uint8_t> b;
    const uint16_t align = uint16_t(channels * (bits / 8));
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * align);
    Put16(b, align);
    Put16(b, bits);
    if (withCbSize) Put16(b, 0);
    return b;
}

std::vector<uint8_t> ExtensibleFmtBody(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t validBits,
                                       uint16_t subTag, uint16_t cbSize)
{
    std::vector<uint8_t> b = FmtBody(0xFFFE, channels, rate, bits);
    for (uint32_t v : {uint32_t(cbSize) | uint32_t(validBits) << 16, channels == 2 ? 3u : 0u, uint32_t(subTag), 0x00100000u})
        Put32(b, v);
    for (uint8_t v : {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) b.push_back(v);   // the common GUID tail
    return b;
}

std::vector<uint8_t> Samples8(const std::vector<int>& values)
{
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(uint8_t(v + 128));
    return out;
}

std::vector<uint8_t> Samples16(const std::vector<int>& values)
{
    std::vector<uint8_t> out;
    for (int v : values) Put16(out, uint16_t(int16_t(v)));
    return out;
}

std::vector<int> Sine(double amplitude, double frequency, double rate, int count)
{
    std::vector<int> out(count);
    for (int j = 0; j < count; ++j)
        out[j] = int(std::lround(amplitude * std::sin(6.283185307179586 * frequency * j / rate)));
    return out;
}

std::vector<uint8_t> RiffFile(const std::vector<WavChunk>& chunks, int32_t riffSize, const char* form)
{
    std::vector<uint8_t> body;
    PutId(body, form);
    for (const WavChunk& c : chunks) {
        PutId(body, c.id);
        Put32(body, c.declaredSize >= 0 ? uint32_t(c.declaredSize) : uint32_t(c.body.size()));
        body.insert(body.end(), c.body.begin(), c.body.end());
        if (c.body.size() % 2) body.push_back(0);
    }
    std::vector<uint8_t> file;
    PutId(file, "RIFF");
    Put32(file, riffSize >= 0 ? uint32_t(riffSize) : uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::vector<uint8_t> PcmFile(uint16_t channels, uint32_t rate, uint16_t bits, const std::vector<uint8_t>& data)
{
    return RiffFile({{"fmt ", FmtBody(1, channels, rate, bits)}, {"data", data}});
}

std::string TempDirectory()
{
    char path[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof path, path);
    const std::string dir = std::string(n > 0 && n < sizeof path ? path : ".\\") + "trilvo-tests\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, std::strrchr(path, '\\') + 1);
}

std::string WriteTempFile(const char* name, const std::vector<uint8_t>& bytes)
{
    const std::string path = TempDirectory() + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

uint32_t Little32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16) | uint32_t(p[3]) << 24; }

std::map<std::string, std::vector<uint8_t>> RiffChunks(const std::vector<uint8_t>& file)
{
    std::map<std::string, std::vector<uint8_t>> chunks;
    for (size_t at = 12; at + 8 <= file.size();) {
        const size_t size = std::min<size_t>(Little32(&file[at + 4]), file.size() - at - 8);
        chunks.emplace(std::string(file.begin() + long(at), file.begin() + long(at) + 4),
                       std::vector<uint8_t>(file.begin() + long(at) + 8, file.begin() + long(at + 8 + size)));
        at += 8 + size + (size & 1);
    }
    return chunks;
}
