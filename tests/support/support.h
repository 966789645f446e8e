// Test support shared by every test program: WAV files made on the fly, a memory device context
// with readable pixels, message-box capture, waiting for window messages with a bound.
#pragma once

#include <windows.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// ---- WAV files ----
struct WavChunk {
    std::string id;                 // four characters
    std::vector<uint8_t> body;
    int32_t declaredSize = -1;      // -1: the body's size
};

// Format chunk body (16 bytes, or 18 with cbSize when withCbSize).
std::vector<uint8_t> FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                             bool withCbSize = false);
// Extensible format chunk body (40 bytes): `subTag` 1 (PCM) or 3 (float) in the sub-format GUID.
std::vector<uint8_t> ExtensibleFmtBody(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t validBits,
                                       uint16_t subTag, uint16_t cbSize = 22);
// Interleaved samples: 8-bit values are stored as unsigned bytes (value + 128).
std::vector<uint8_t> Samples8(const std::vector<int>& values);
std::vector<uint8_t> Samples16(const std::vector<int>& values);
// A sine of `amplitude` at `frequency` Hz, `count` samples at `rate`, rounded to integers.
std::vector<int> Sine(double amplitude, double frequency, double rate, int count);
// RIFF/WAVE file from chunks (pad bytes added after odd chunks); riffSize -1: computed.
std::vector<uint8_t> RiffFile(const std::vector<WavChunk>& chunks, int32_t riffSize = -1,
                              const char* form = "WAVE");
// Canonical PCM file: "fmt " (16 bytes) then "data".
std::vector<uint8_t> PcmFile(uint16_t channels, uint32_t rate, uint16_t bits,
                             const std::vector<uint8_t>& data);
// Writes bytes to a file in the test's temporary directory and returns its full path.
std::string WriteTempFile(const char* name, const std::vector<uint8_t>& bytes);
std::string TempDirectory();
// The folder of this test program, with its final separator.
std::string ProgramFolder();
// A whole file's bytes (empty when it cannot be read).
std::vector<uint8_t> ReadFileBytes(const std::string& path);
// The chunks of a RIFF file by id (the first of each), bodies cut to the bytes the file holds.
std::map<std::string, std::vector<uint8_t>> RiffChunks(const std::vector<uint8_t>& file);
uint32_t Little32(const uint8_t* p);

// ---- Decoded sound ----
// The ratio in dB of the reference's power to that of the difference, over the samples both have
// (minus infinity for a silent reference).
template <typename Sample>
double SnrDb(const std::vector<Sample>& decoded, const std::vector<Sample>& reference)
{
    double signal = 0, noise = 0;
    for (size_t i = 0; i < std::min(decoded.size(), reference.size()); ++i) {
        signal += double(reference[i]) * reference[i];
        noise += (double(decoded[i]) - reference[i]) * (double(decoded[i]) - reference[i]);
    }
    return 10 * std::log10(signal / std::max(noise, 1e-30));
}

// ---- Pixels ----
// A memory DC with a 32-bpp top-down DIB section selected, both released with it; pixels read as
// 0x00RRGGBB.
struct MemoryCanvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* bits = nullptr;
    int width = 0, height = 0;
    MemoryCanvas() = default;
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    ~MemoryCanvas();
};
bool CreateCanvas(MemoryCanvas& canvas, int width, int height, DWORD fillRgb = 0xFFFFFF);
uint32_t PixelAt(const MemoryCanvas& canvas, int x, int y);    // flushes GDI first

// ---- Message boxes ----
// Captures every message box the current thread shows and closes it with OK.
struct CapturedBox {
    std::string text;
    HWND owner = nullptr;
    bool warningIcon = false;
};
void BeginBoxCapture();
std::vector<CapturedBox> EndBoxCapture();
const std::vector<CapturedBox>& CapturedBoxes();
// String `id` of this program's string table (empty when missing): what a box should say.
std::string Text(UINT id);

// ---- Messages ----
// Pumps this thread's messages until `done()` is true or `timeoutMs` passes; returns done().
// `dispatch`, when given, handles each message instead of translating and dispatching it.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs,
               const std::function<void(MSG&)>& dispatch = nullptr);
