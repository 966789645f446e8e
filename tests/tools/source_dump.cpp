// Writes the PCM a file delivers, as the program opens and reads it, for the host-side checks
// against other decoders:
//   source_dump <file> <out.raw>
// prints one line "container codec rate channels bits float|int frames damaged|intact" and writes
// every delivered byte (little-endian, interleaved) to out.raw. No sound device is asked. Exit
// status 0 when the file opened, 2 with the reader's result number when it was refused.
#include "audio/filesource.h"

#include <cstdio>
#include <vector>

namespace {
constexpr uint32_t kPieceBytes = 1u << 20;
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: source_dump <file> <out.raw>\n");
        return 1;
    }
    FileSource source;
    const ReaderResult result = source.Open(argv[1], AcceptEveryFormat);
    if (result != ReaderResult::kOk) {
        std::printf("refused %d\n", static_cast<int>(result));
        return 2;
    }
    FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 1;
    std::vector<uint8_t> piece(kPieceBytes);
    uint64_t bytes = 0;
    for (uint32_t got; (got = source.Read(piece.data(), source.TakeNextBlockLength(kPieceBytes))) > 0;) {
        std::fwrite(piece.data(), 1, got, out);
        bytes += got;
    }
    std::fclose(out);
    const SourceDescription& description = source.Description();
    const SourceFormat& format = source.Format();
    std::printf("%s %s %u %u %u %s %llu %s\n", description.container, description.codecName,
                static_cast<unsigned>(format.samplesPerSec), static_cast<unsigned>(format.channels),
                static_cast<unsigned>(format.bitsPerSample), format.floatSamples ? "float" : "int",
                static_cast<unsigned long long>(bytes / (format.blockAlign ? format.blockAlign : 1)),
                source.SkippedDamage() ? "damaged" : "intact");
    return 0;
}
