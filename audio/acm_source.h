// The source of the compression manager's decoders: compressed pieces from a feed (whole blocks
// of a WAV's data, or the MPEG frames of a stream), decoded to 16-bit PCM by an AcmDecoder, with
// the decoded frames cut to the stream's true length (the start the encoder and decoder add, the
// end beyond the length the file states).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/acm_decoder.h"
#include "audio/mpeg_frames.h"
#include "audio/source.h"

// A piece of compressed data for one conversion: whole blocks, or one MPEG frame.
struct CompressedPiece {
    const uint8_t* bytes = nullptr;   // valid until the feed is asked again
    uint32_t length = 0;
    bool last = false;                // the data ends with this piece
};

class CompressedFeed {
public:
    virtual ~CompressedFeed() = default;
    // The next piece; false when the data has ended.
    virtual bool Next(CompressedPiece* piece) = 0;
    virtual bool SkippedDamage() const = 0;
    virtual bool ReadFailed() const = 0;
};

// Which decoded frames the source hands out.
struct DecodedSpan {
    uint64_t skipFrames = 0;          // dropped at the start
    bool limited = false;             // at most limitFrames after them
    uint64_t limitFrames = 0;
    bool padToLimit = false;          // an intact stream that decodes short is made up with silence
};

class AcmSource : public AudioSource {
public:
    AcmSource(std::unique_ptr<CompressedFeed> feed, std::unique_ptr<AcmDecoder> decoder,
              const SourceDescription& description, const DecodedSpan& span);

    const SourceDescription& Description() const override { return description_; }
    uint32_t ReadFrames(uint8_t* buffer, uint32_t maxFrames) override;
    bool SkippedDamage() const override { return undecodable_ || feed_->SkippedDamage(); }
    bool ReadFailed() const override { return ended_ && feed_->ReadFailed(); }

private:
    bool Refill();   // decodes pieces until some PCM is pending; false at the end of the data
    uint32_t Silence(uint8_t* buffer, uint32_t maxFrames);

    std::unique_ptr<CompressedFeed> feed_;
    std::unique_ptr<AcmDecoder> decoder_;
    SourceDescription description_;
    DecodedSpan span_;
    uint32_t frameBytes_;
    std::vector<uint8_t> pending_;    // decoded PCM not yet handed out, from pendingOffset_
    size_t pendingOffset_ = 0;
    uint64_t skipLeft_;
    uint64_t delivered_ = 0;
    bool ended_ = false;
    bool undecodable_ = false;
};

// The source of an MPEG Layer III stream read from `input`: the first frame looked for in its
// first 64 KiB, an Info frame left out, the stream's length and bit rate worked out.
struct MpegStreamOptions {
    const char* container = "";
    bool gapless = false;             // drop the Info frame's encoder delay and padding
    uint64_t exactFrames = 0;         // the length the container states (0: none)
    ByteInput* countingInput = nullptr;   // the same bytes again, read to count the frames
    uint64_t streamBytes = 0;         // bytes of the stream (0: unknown), for the bit rate
    uint32_t statedBitRate = 0;       // the container's average (0: from the frames)
};
[[nodiscard]] ReaderResult OpenMpegStream(std::unique_ptr<ByteInput> input, const MpegStreamOptions& options,
                                          std::unique_ptr<AudioSource>* source);
