// MPEG audio frames as the project reads them itself: the four header bytes (MPEG-1, 2 and 2.5,
// Layers I-III), the tags around the frames (ID3v2 at the front, APE and ID3v1 at the end), the
// Xing/Info frame and its LAME extension (frame count, encoder delay and padding), the length a
// stream decodes to without the encoder's and decoder's extra samples, and a frame reader that
// pulls whole frames from a byte input, finding the stream again after damaged bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/source.h"

enum class MpegVersion : uint8_t { kMpeg1, kMpeg2, kMpeg25 };

struct MpegFrameHeader {
    MpegVersion version = MpegVersion::kMpeg1;
    int layer = 0;                   // 1, 2 or 3
    bool crc = false;                // a 16-bit check word follows the header
    uint32_t bitRate = 0;            // bits per second
    uint32_t sampleRate = 0;         // Hz
    bool padding = false;
    uint16_t channels = 0;           // 1 (single channel) or 2
    uint32_t frameBytes = 0;         // header included
    uint32_t samplesPerFrame = 0;    // per channel
};

constexpr uint32_t kMpegHeaderBytes = 4;
constexpr uint32_t kMpegMaxFrameBytes = 1729;      // Layer II, 384 kbit/s at 32 kHz, padded
constexpr uint32_t kMpegFirstFrameSearch = 65536;  // a file with no frame this far in is not read
constexpr uint32_t kMp3DecoderDelay = 529;         // samples a Layer III decoder adds at the start

// The header at `bytes` (at least four bytes); false when they are no valid header: no sync word,
// a reserved version, layer, rate or emphasis, or a free-format or forbidden bit rate.
bool ParseMpegHeader(const uint8_t* bytes, MpegFrameHeader* header);
// Whether two frames belong to one stream: same version, layer, rate and channel count.
bool SameMpegStream(const MpegFrameHeader& a, const MpegFrameHeader& b);

// Bytes of the ID3v2 tag at the start of `bytes` (footer included); 0 when none starts there.
uint64_t Id3v2TagBytes(const uint8_t* bytes, size_t length);
constexpr size_t kId3v2HeaderBytes = 10;
// Bytes of the tags that end a file (an APE tag, an ID3v1 tag after it, or either alone), given
// the file's last `length` bytes in `tail` and the bytes the file holds before them.
constexpr size_t kTrailingTagSearch = 160;         // an ID3v1 tag and an APE tag footer
uint64_t TrailingTagBytes(const uint8_t* tail, size_t length, uint64_t bytesBefore);

// What a stream's first frame says when it is a Xing/Info frame rather than sound.
struct MpegInfoFrame {
    bool present = false;            // the frame carries a Xing or Info tag: it is not decoded
    bool constantBitRate = false;    // "Info": every frame has the same bit rate
    bool hasFrameCount = false;
    uint32_t frameCount = 0;         // audio frames after the Info frame
    bool hasByteCount = false;
    uint32_t byteCount = 0;
    bool hasEncoderGap = false;      // a LAME extension gave the delay and padding
    uint32_t encoderDelay = 0;
    uint32_t padding = 0;
};
MpegInfoFrame ParseInfoFrame(const uint8_t* frame, uint32_t length, const MpegFrameHeader& header);

// Which decoded samples a stream keeps: the first `skipFrames` go (encoder delay plus the
// decoder's own), then `lengthFrames` are the signal.
struct MpegTrim {
    uint64_t skipFrames = 0;
    uint64_t lengthFrames = 0;
};
// The trim of a stream from its Info frame (when present) and the audio frames counted in it.
MpegTrim MpegTrimOf(const MpegInfoFrame& info, uint32_t samplesPerFrame, uint64_t countedFrames);

// One frame found by the reader: its bytes stay valid until the reader is called again.
struct MpegFrame {
    const uint8_t* bytes = nullptr;
    MpegFrameHeader header;
};

// Pulls whole frames of one stream from a byte input. A frame counts only when the next frame's
// header follows where it ends (or the data ends there); anything else is damage, skipped byte by
// byte until the stream is found again.
class MpegFrameReader {
public:
    explicit MpegFrameReader(ByteInput* input) : input_(input) {}

    // Finds the first frame within the first `searchBytes` and stays on it; false when none.
    [[nodiscard]] bool FindFirst(uint32_t searchBytes, MpegFrame* first);
    // The next frame of the stream, the reader moved past it; false at the end of the data.
    [[nodiscard]] bool Next(MpegFrame* frame);
    // Bytes read from the input so far that lie before the current frame.
    uint64_t Offset() const { return consumed_ + position_; }
    bool SkippedDamage() const { return damaged_; }
    bool ReadFailed() const { return input_->ReadFailed(); }

private:
    bool Fill(size_t needed);   // at least `needed` bytes from the position, unless the data ends
    size_t Available() const { return end_ - position_; }
    bool FrameAt(size_t offset, const MpegFrameHeader* stream, MpegFrameHeader* header);

    ByteInput* input_;
    std::vector<uint8_t> buffer_;
    size_t position_ = 0, end_ = 0;
    uint64_t consumed_ = 0;          // bytes dropped from the front of the buffer
    bool inputEnded_ = false;
    bool damaged_ = false;
    bool found_ = false;
    MpegFrameHeader stream_;
};
