// Placeholder openers until the library decoders are built in: every such file is refused.
#include "audio/decoders.h"

ReaderResult OpenFlacSource(const char*, std::unique_ptr<AudioSource>*) { return ReaderResult::kUnsupportedCodec; }
ReaderResult OpenOggSource(const char*, std::unique_ptr<AudioSource>*) { return ReaderResult::kUnsupportedCodec; }
