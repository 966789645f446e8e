// Placeholder openers until the compression-manager decoders are built in: such files are refused.
#include "audio/decoders.h"

ReaderResult OpenMp3Source(const char*, std::unique_ptr<AudioSource>*) { return ReaderResult::kUnsupportedCodec; }
ReaderResult OpenAcmSource(const uint8_t*, uint32_t, std::unique_ptr<ByteInput>, uint64_t, std::unique_ptr<AudioSource>*)
{
    return ReaderResult::kNoCodec;
}
