// The compression-manager stream: open, size, prepare, convert and the orderly release.
#include "audio/acm_decoder.h"

#include <algorithm>
#include <cstring>

namespace {
// Room for the output of at least this many MPEG-1 frames, whatever a driver's size estimate.
constexpr uint32_t kLeastOutputFrames = 4 * 1152;
// Conversions of no input that fetch held-back output, at most, before a driver is given up on.
constexpr int kMostDrainingCalls = 64;
}  // namespace

ReaderResult AcmDecoder::Open(const WAVEFORMATEX* input, uint32_t chunkBytes)
{
    Close();
    output_ = {};
    output_.wFormatTag = WAVE_FORMAT_PCM;
    output_.wBitsPerSample = kDecodedBits;
    if (acmFormatSuggest(nullptr, const_cast<WAVEFORMATEX*>(input), &output_, sizeof output_,
                         ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE) != MMSYSERR_NOERROR ||
        output_.wFormatTag != WAVE_FORMAT_PCM || output_.wBitsPerSample != kDecodedBits ||
        output_.nChannels != input->nChannels || output_.nSamplesPerSec == 0)
        return ReaderResult::kNoCodec;
    output_.cbSize = 0;
    if (acmStreamOpen(&stream_, nullptr, const_cast<WAVEFORMATEX*>(input), &output_, nullptr, 0, 0, 0) !=
        MMSYSERR_NOERROR) {
        stream_ = nullptr;
        return ReaderResult::kNoCodec;
    }
    blockBytes_ = std::max<uint32_t>(input->nBlockAlign, 1);
    chunkBytes_ = std::max<uint32_t>(chunkBytes / blockBytes_, 1) * blockBytes_;
    DWORD chunkOutput = 0, blockOutput = 0;
    if (acmStreamSize(stream_, chunkBytes_, &chunkOutput, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR) {
        Close();
        return ReaderResult::kNoCodec;
    }
    if (acmStreamSize(stream_, blockBytes_, &blockOutput, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR) blockOutput = 0;
    padsPartialBlock_ = blockOutput > output_.nBlockAlign;
    // One block's output more than the estimate: a block decoder then never fills the buffer, so
    // only a decoder that holds output back is asked again.
    const uint32_t outputBytes = std::max<uint32_t>(chunkOutput + blockOutput, kLeastOutputFrames * output_.nBlockAlign);
    source_.assign(chunkBytes_, 0);
    decoded_.assign(outputBytes, 0);
    header_ = {};
    header_.cbStruct = sizeof header_;
    header_.pbSrc = source_.data();
    header_.cbSrcLength = chunkBytes_;
    header_.pbDst = decoded_.data();
    header_.cbDstLength = outputBytes;
    if (acmStreamPrepareHeader(stream_, &header_, 0) != MMSYSERR_NOERROR) {
        Close();
        return ReaderResult::kNoCodec;
    }
    prepared_ = true;
    return ReaderResult::kOk;
}

bool AcmDecoder::Convert(const uint8_t* data, uint32_t length, bool last, std::vector<uint8_t>* pcm)
{
    if (!prepared_ || length > chunkBytes_) return false;
    const uint32_t whole = length / blockBytes_ * blockBytes_;
    const uint32_t used = last && whole < length && padsPartialBlock_ ? whole + blockBytes_ : whole;
    if (used == 0 && !last) return true;
    std::memcpy(source_.data(), data, std::min(length, used));
    if (used > length) std::memset(source_.data() + length, 0, used - length);
    const DWORD flags = (started_ ? 0 : ACM_STREAMCONVERTF_START) |
                        (last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN);
    started_ = true;
    return Run(used, flags, pcm);
}

bool AcmDecoder::Run(uint32_t length, DWORD flags, std::vector<uint8_t>* pcm)
{
    uint32_t remaining = length;
    for (int draining = 0; draining < kMostDrainingCalls;) {
        header_.cbSrcLength = remaining;
        header_.cbDstLength = DWORD(decoded_.size());
        if (acmStreamConvert(stream_, &header_, flags) != MMSYSERR_NOERROR) return remaining == 0;
        const uint32_t produced = std::min<uint32_t>(header_.cbDstLengthUsed, header_.cbDstLength);
        const uint32_t consumed = std::min<uint32_t>(header_.cbSrcLengthUsed, remaining);
        pcm->insert(pcm->end(), decoded_.data(), decoded_.data() + produced);
        flags &= ~ACM_STREAMCONVERTF_START;
        if (consumed < remaining) {
            if (consumed == 0 && produced == 0) return false;   // the driver takes no more of it
            std::memmove(source_.data(), source_.data() + consumed, remaining - consumed);
            remaining -= consumed;
            continue;
        }
        remaining = 0;
        // Output that filled the buffer may have more behind it: ask again with no input.
        if (produced < header_.cbDstLength) return true;
        ++draining;
    }
    return true;
}

void AcmDecoder::Close()
{
    if (prepared_) {
        // The driver checks the lengths against those it prepared.
        header_.cbSrcLength = chunkBytes_;
        header_.cbDstLength = DWORD(decoded_.size());
        acmStreamUnprepareHeader(stream_, &header_, 0);
        prepared_ = false;
    }
    if (stream_) acmStreamClose(stream_, 0);
    stream_ = nullptr;
    started_ = false;
}
