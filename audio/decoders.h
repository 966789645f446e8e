// The decoders behind the source interface, one opener each. The file type has already been
// judged by its content; each opener reads its own header and refuses with a ReaderResult.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/source.h"

// Native FLAC streams ("fLaC").
[[nodiscard]] ReaderResult OpenFlacSource(const char* path, std::unique_ptr<AudioSource>* source);
// Ogg streams: Vorbis or Opus, judged by the first packet; any other codec is unsupported.
[[nodiscard]] ReaderResult OpenOggSource(const char* path, std::unique_ptr<AudioSource>* source);
// MPEG audio files (Layer III, tags skipped), decoded through the platform's compression manager.
[[nodiscard]] ReaderResult OpenMp3Source(const char* path, std::unique_ptr<AudioSource>* source);
// A compressed WAV's data (IMA ADPCM, MS ADPCM, mu-law, A-law, GSM 6.10, MPEG Layer-3) decoded
// through the platform's compression manager. `formatRecord` is the file's format chunk as read
// (`formatBytes` long); `exactFrames` the fact chunk's length (0 when the file has none).
[[nodiscard]] ReaderResult OpenAcmSource(const uint8_t* formatRecord, uint32_t formatBytes,
                                         std::unique_ptr<ByteInput> input, uint64_t exactFrames,
                                         std::unique_ptr<AudioSource>* source);
