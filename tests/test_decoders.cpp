// The library decoders on files made by Debian's encoders (tests/make_codec_files.sh, run before
// this program): FLAC bit-exact with `flac -d`, Vorbis and Opus gapless and within 60 dB SNR of
// ffmpeg's decode, and damaged files that end their run with only the damage noted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "audio/decoders.h"
#include "tests/support/batch_run.h"
#include "resources/resource.h"
#include "support/support.h"

namespace {

constexpr uint32_t kReadChunkFrames = 1009;   // odd, so reads cut frames anywhere

std::string CodecFile(const char* name) { return ProgramFolder() + "codec_files\\" + name; }

// Reads the source to its end (bounded: a source that keeps giving frames past `limitFrames` fails).
std::vector<uint8_t> ReadAll(AudioSource& source, uint64_t limitFrames)
{
    const uint32_t frameBytes = source.Description().delivered.blockAlign;
    std::vector<uint8_t> all, chunk(size_t(kReadChunkFrames) * frameBytes);
    while (all.size() / frameBytes <= limitFrames) {
        const uint32_t frames = source.ReadFrames(chunk.data(), kReadChunkFrames);
        if (frames == 0) break;
        all.insert(all.end(), chunk.begin(), chunk.begin() + size_t(frames) * frameBytes);
    }
    return all;
}

// The codec name and delivered figures a source gives of itself.
void ExpectDelivery(const SourceDescription& description, const char* codec, uint32_t rate, uint16_t channels, uint16_t bits)
{
    EXPECT_STREQ(description.codecName, codec);
    EXPECT_EQ(description.delivered.samplesPerSec, rate);
    EXPECT_EQ(description.delivered.channels, channels);
    EXPECT_EQ(description.delivered.bitsPerSample, bits);
    EXPECT_TRUE(description.lengthKnown);
}

TEST(FlacDecoding, DeliversWhatTheReferenceDecoderGivesBitForBit)
{
    const struct { const char* name; uint32_t rate; uint16_t channels, bits; } files[] = {
        {"flac8_mono_44k", 44100, 1, 8}, {"flac16_stereo_44k", 44100, 2, 16},
        {"flac24_6ch_96k", 96000, 6, 24}, {"flac16_stereo_96k_odd_blocks", 96000, 2, 16}};
    for (const auto& c : files) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<AudioSource> source;
        ASSERT_EQ(OpenFlacSource(CodecFile((std::string(c.name) + ".flac").c_str()).c_str(), &source), ReaderResult::kOk);
        const SourceDescription& description = source->Description();
        const std::vector<uint8_t> reference = ReadFileBytes(CodecFile((std::string(c.name) + ".raw").c_str()));
        ASSERT_FALSE(reference.empty());
        ExpectDelivery(description, "FLAC", c.rate, c.channels, c.bits);
        EXPECT_EQ(description.lengthFrames, reference.size() / description.delivered.blockAlign);
        const std::vector<uint8_t> decoded = ReadAll(*source, description.lengthFrames);
        EXPECT_TRUE(decoded == reference) << decoded.size() << " bytes decoded, " << reference.size() << " expected";
        EXPECT_FALSE(source->SkippedDamage());
    }
}

TEST(LossyDecoding, IsGaplessAndWithin60DbOfTheReferenceDecode)
{
    // Each file with its codec, rate, channels and the length of the signal encoded.
    const struct { const char* name; const char* codec; uint32_t rate; uint16_t channels; uint64_t frames; } files[] = {
        {"vorbis_stereo_44k", "Ogg Vorbis", 44100, 2, 88200}, {"vorbis_6ch_48k", "Ogg Vorbis", 48000, 6, 96000},
        {"opus_stereo_48k", "Opus", 48000, 2, 96000}, {"opus_mono_48k", "Opus", 48000, 1, 96000}};
    for (const auto& c : files) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<AudioSource> source;
        ASSERT_EQ(OpenOggSource(CodecFile((std::string(c.name) + ".ogg").c_str()).c_str(), &source), ReaderResult::kOk);
        const SourceDescription& description = source->Description();
        ExpectDelivery(description, c.codec, c.rate, c.channels, 32);
        EXPECT_TRUE(description.delivered.floatSamples);
        EXPECT_GT(description.bitRate, 0u);
        EXPECT_EQ(description.lengthFrames, c.frames);
        const std::vector<uint8_t> decoded = ReadAll(*source, c.frames);
        const std::vector<uint8_t> reference = ReadFileBytes(CodecFile((std::string(c.name) + ".f32").c_str()));
        ASSERT_EQ(decoded.size(), size_t(c.frames) * c.channels * sizeof(float));
        ASSERT_EQ(reference.size(), decoded.size());
        const auto floats = [](const std::vector<uint8_t>& bytes) {
            std::vector<float> samples(bytes.size() / sizeof(float));
            std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
            return samples;
        };
        EXPECT_GE(SnrDb(floats(decoded), floats(reference)), 60.0);
    }
}

// ---- Damaged and foreign files ----

constexpr uint32_t kShortBlock = 256;     // the short FLAC's block size (8 kHz mono, 16-bit)
constexpr size_t kStreamInfoEnd = 42;     // "fLaC", the block header and its 34 bytes

std::vector<size_t> FlacFrameStarts(const std::vector<uint8_t>& bytes)
{
    std::vector<size_t> starts;
    for (size_t i = kStreamInfoEnd; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xF8) starts.push_back(i);
    return starts;
}

TEST(DamagedFlac, TruncatedAtEachFrameStartDeliversTheWholeFramesBeforeIt)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(CodecFile("short.flac"));
    const std::vector<uint8_t> reference = ReadFileBytes(CodecFile("short.raw"));
    size_t frame = 0;
    for (size_t start : FlacFrameStarts(bytes)) {
        SCOPED_TRACE(start);
        const std::string path = WriteTempFile("cut.flac", std::vector<uint8_t>(bytes.begin(), bytes.begin() + start));
        std::unique_ptr<AudioSource> source;
        ASSERT_EQ(OpenFlacSource(path.c_str(), &source), ReaderResult::kOk);
        const std::vector<uint8_t> decoded = ReadAll(*source, reference.size());
        ASSERT_EQ(decoded.size(), size_t(frame) * kShortBlock * 2);
        EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), reference.begin()));
        ++frame;
    }
    EXPECT_GE(frame, 20u);
}

TEST(DamagedFlac, FlippedBytesInFramesAreSkippedWithTheRestIntact)
{
    std::vector<uint8_t> bytes = ReadFileBytes(CodecFile("short.flac"));
    const std::vector<uint8_t> reference = ReadFileBytes(CodecFile("short.raw"));
    const std::vector<size_t> starts = FlacFrameStarts(bytes);
    ASSERT_GE(starts.size(), 20u);
    const size_t damagedFrames[] = {3, 10, 11};
    for (size_t f : damagedFrames) bytes[(starts[f] + starts[f + 1]) / 2] ^= 0x5A;
    std::unique_ptr<AudioSource> source;
    ASSERT_EQ(OpenFlacSource(WriteTempFile("flipped.flac", bytes).c_str(), &source), ReaderResult::kOk);
    const std::vector<uint8_t> decoded = ReadAll(*source, reference.size());
    EXPECT_TRUE(source->SkippedDamage());
    // The lost frames come back as silence, so every other frame keeps its place (the decoder
    // may lose the frame after a damaged one while it finds the sync again).
    ASSERT_EQ(decoded.size(), reference.size());
    const size_t frameBytes = kShortBlock * 2;
    for (size_t f = 0; f < reference.size() / frameBytes; ++f) {
        const auto at = [&](const std::vector<uint8_t>& v) { return v.begin() + f * frameBytes; };
        const bool silent = std::all_of(at(decoded), at(decoded) + frameBytes, [](uint8_t b) { return b == 0; });
        const bool intact = std::equal(at(decoded), at(decoded) + frameBytes, at(reference));
        if (f == 3 || f == 10 || f == 11) EXPECT_TRUE(silent) << "frame " << f;
        else if (f == 4 || f == 12) EXPECT_TRUE(silent || intact) << "frame " << f;
        else EXPECT_TRUE(intact) << "frame " << f;
    }
}

std::vector<size_t> OggPageStarts(const std::vector<uint8_t>& bytes)
{
    std::vector<size_t> starts;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[i], "OggS", 4) == 0) starts.push_back(i);
    return starts;
}

// The file with a byte flipped inside the body of its middle page (whose CRC then fails).
std::vector<uint8_t> WithBadMiddlePage(std::vector<uint8_t> bytes)
{
    const std::vector<size_t> pages = OggPageStarts(bytes);
    EXPECT_GE(pages.size(), 5u);
    if (pages.size() < 5) return bytes;
    bytes[(pages[pages.size() / 2] + pages[pages.size() / 2 + 1]) / 2] ^= 0x5A;
    return bytes;
}

TEST(DamagedOgg, APageWithABadCrcIsLostAndTheRunReachesTheEnd)
{
    for (const char* file : {"short_vorbis.ogg", "short_opus.ogg"}) {
        SCOPED_TRACE(file);
        std::unique_ptr<AudioSource> intact;
        ASSERT_EQ(OpenOggSource(CodecFile(file).c_str(), &intact), ReaderResult::kOk);
        const uint64_t length = intact->Description().lengthFrames;
        const size_t intactBytes = ReadAll(*intact, length).size();
        std::unique_ptr<AudioSource> source;
        ASSERT_EQ(OpenOggSource(WriteTempFile("badcrc.ogg", WithBadMiddlePage(ReadFileBytes(CodecFile(file)))).c_str(), &source),
                  ReaderResult::kOk);
        const std::vector<uint8_t> decoded = ReadAll(*source, length);
        EXPECT_TRUE(source->SkippedDamage());
        EXPECT_LT(decoded.size(), intactBytes);
        EXPECT_GT(decoded.size(), intactBytes / 2);
    }
}

// Each opener refuses what it cannot read, making no source: another codec in Ogg, a first Ogg
// page cut short or damaged, a FLAC stream info block cut anywhere.
TEST(HeaderJudgement, RefusesOtherCodecsAndHeadersCutShortOrDamaged)
{
    const std::vector<uint8_t> vorbis = ReadFileBytes(CodecFile("short_vorbis.ogg")), flac = ReadFileBytes(CodecFile("short.flac"));
    std::vector<uint8_t> badFirstPage = vorbis, noStreamInfo = flac;
    badFirstPage[30] ^= 0x5A;
    noStreamInfo[4] = uint8_t((noStreamInfo[4] & 0x80) | 1);   // the stream's figures made a padding block
    struct Row { std::string what; ReaderResult (*open)(const char*, std::unique_ptr<AudioSource>*); std::vector<uint8_t> bytes; ReaderResult expected; };
    std::vector<Row> rows = {
        {"FLAC in Ogg", OpenOggSource, ReadFileBytes(CodecFile("flac_in_ogg.ogg")), ReaderResult::kUnsupportedCodec},
        {"first page cut short", OpenOggSource, {vorbis.begin(), vorbis.begin() + 40}, ReaderResult::kUnreadableHeader},
        {"first page with a bad CRC", OpenOggSource, badFirstPage, ReaderResult::kUnreadableHeader},
        {"the magic alone", OpenOggSource, {'O', 'g', 'g', 'S'}, ReaderResult::kUnreadableHeader},
        {"FLAC without its stream's figures", OpenFlacSource, noStreamInfo, ReaderResult::kUnreadableHeader}};
    for (size_t cut = 4; cut < kStreamInfoEnd; cut += 5)
        rows.push_back({"FLAC cut at " + std::to_string(cut), OpenFlacSource, {flac.begin(), flac.begin() + long(cut)}, ReaderResult::kUnreadableHeader});
    for (const Row& row : rows) {
        std::unique_ptr<AudioSource> source;
        EXPECT_EQ(row.open(WriteTempFile("judged.bin", row.bytes).c_str(), &source), row.expected) << row.what;
        EXPECT_FALSE(source) << row.what;
    }
}

// ---- The batch analyser on compressed files ----

// Also for a FLAC whose header states no length (written to a pipe): its length is counted, so
// the spectrogram, which sizes its picture by it, is the WAV's too.
TEST(BatchOnFlac, BlocksAndSpectrogramAreByteForByteThoseOfTheWavItWasEncodedFrom)
{
    const struct { const char* wav; const char* flac; const char* command; const char* extension; } rows[] = {
        {"batch16.wav", "batch16.flac", "blocks", ".csv"}, {"batch24.wav", "batch24.flac", "blocks", ".csv"},
        {"batch16.wav", "batch16_piped.flac", "spectrogram", ".png"}};   // bare: the title names the file
    for (const auto& r : rows) {
        SCOPED_TRACE(r.flac);
        const std::string fromWav = TempDirectory() + "wav-out" + r.extension, fromFlac = TempDirectory() + "flac-out" + r.extension;
        const std::vector<std::string> options = r.extension == std::string(".png") ? std::vector<std::string>{"--bare"}
                                                                                     : std::vector<std::string>{};
        ASSERT_EQ(kBatchDone, Batch({r.command, CodecFile(r.wav), fromWav}, options).status);
        ASSERT_EQ(kBatchDone, Batch({r.command, CodecFile(r.flac), fromFlac}, options).status);
        const std::vector<uint8_t> wavOutput = ReadFileBytes(fromWav);
        EXPECT_GT(wavOutput.size(), 500u);   // three seconds of blocks (850 bytes of CSV)
        EXPECT_TRUE(wavOutput == ReadFileBytes(fromFlac));
    }
}

// A damaged file is analysed to its end: the output written, status 0, and one line saying that
// damaged data was skipped.
TEST(BatchOnDamagedFiles, WritesItsOutputAndEndsWithTheDamagedDataLine)
{
    std::vector<uint8_t> flac = ReadFileBytes(CodecFile("short.flac"));
    const std::vector<size_t> frames = FlacFrameStarts(flac);
    ASSERT_GE(frames.size(), 20u);
    flac[(frames[5] + frames[6]) / 2] ^= 0x5A;
    const struct { const char* name; std::vector<uint8_t> bytes; } rows[] = {
        {"flipped.flac", flac},
        {"badcrc_vorbis.ogg", WithBadMiddlePage(ReadFileBytes(CodecFile("short_vorbis.ogg")))},
        {"badcrc_opus.ogg", WithBadMiddlePage(ReadFileBytes(CodecFile("short_opus.ogg")))}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string out = TempDirectory() + "damaged-blocks.csv";
        DeleteFileA(out.c_str());
        const BatchOutcome outcome = Batch({"blocks", WriteTempFile(row.name, row.bytes), out});
        EXPECT_EQ(kBatchDone, outcome.status);
        const std::string message = outcome.message;
        EXPECT_NE(std::string::npos, message.find(Text(IDS_DAMAGED_DATA))) << message;
        EXPECT_EQ(std::string::npos, message.find('\n'));
        const std::vector<uint8_t> csv = ReadFileBytes(out);
        EXPECT_GE(std::count(csv.begin(), csv.end(), '\n'), 3) << "header and blocks";
    }
}

}  // namespace
