// The compression manager's decoders on files Debian's encoders made from one signal
// (tests/make_acm_files.sh, run before these tests, with the reference decode of each): every
// compressed WAV bit-exact with its reference to the fact chunk's length, a final block cut short
// still decoded, MP3s of every kind at the length the file states and within 60 dB of ffmpeg's
// decode at zero lag, tags that change nothing, damage that ends the run with its flag, and
// the refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "audio/decoders.h"
#include "audio/filesource.h"
#include "audio/mpeg_frames.h"
#include "tests/support/compressed_wave.h"
#include "tests/support/support.h"

namespace {

constexpr uint64_t kSignalFrames = 145530;   // 3.3 s at 44.1 kHz
constexpr uint64_t kSignal22kFrames = 72765;

std::string AcmFile(const std::string& name) { return ProgramFolder() + "acm_files\\" + name; }

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Every sample the source gives, read in blocks of an odd number of frames, at most `limit` frames.
std::vector<int16_t> DecodeAll(AudioSource& source, uint64_t limit = 4 * kSignalFrames)
{
    const uint32_t channels = source.Description().delivered.channels, block = 1001;
    std::vector<int16_t> all, buffer(block * channels);
    for (uint32_t n; all.size() < limit * channels && (n = source.ReadFrames(reinterpret_cast<uint8_t*>(buffer.data()), block)) > 0;)
        all.insert(all.end(), buffer.begin(), buffer.begin() + n * channels);
    return all;
}

// Each compressed WAV, and two with their data cut inside the last block (the fact chunk counting
// the frames its bytes hold: the drivers drop such a block, so it is padded, decoded and cut again).
TEST(AcmDecoders, CompressedWavsDecodeAsTheirReferenceToTheFactLengthAlsoWithAFinalBlockCutShort)
{
    const struct { const char* file; const char* codec; uint16_t channels; uint32_t rate; uint32_t keptBytes = 0, framesInThem = 0; } rows[] = {
        {"ima", "IMA ADPCM", 2, 44100}, {"ms", "MS ADPCM", 2, 44100}, {"mulaw", "mu-Law", 2, 44100},
        {"alaw", "A-Law", 2, 44100}, {"gsm", "GSM 6.10", 1, 8000},
        {"ima", "IMA ADPCM", 2, 44100, 100, 1 + 88},   // 8 header bytes, then 4-byte words of 8 samples, left and right in turn
        {"ms", "MS ADPCM", 2, 44100, 114, 2 + 100},    // 14 header bytes holding 2 frames, then a byte per frame
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.file << " cut to " << r.keptBytes);
        auto chunks = RiffChunks(ReadFileBytes(AcmFile(std::string(r.file) + ".wav")));
        if (r.keptBytes) {
            const uint32_t blockBytes = chunks["fmt "][12] | chunks["fmt "][13] << 8;
            const uint32_t blockFrames = chunks["fmt "][18] | chunks["fmt "][19] << 8;
            const uint32_t wholeBlocks = uint32_t(chunks["data"].size() / blockBytes) - 1;
            chunks["data"].resize(size_t(wholeBlocks) * blockBytes + r.keptBytes);
            const uint32_t frames = wholeBlocks * blockFrames + r.framesInThem;
            for (int i = 0; i < 4; ++i) chunks["fact"][i] = uint8_t(frames >> (8 * i));
        }
        const uint32_t fact = Little32(chunks["fact"].data());
        const uint32_t avgBytes = Little32(chunks["fmt "].data() + 8);
        std::unique_ptr<AudioSource> source;
        ASSERT_EQ(ReaderResult::kOk, OpenCompressedWave(chunks, &source));
        const SourceDescription& d = source->Description();
        EXPECT_STREQ(r.codec, d.codecName);
        EXPECT_EQ(r.channels, d.delivered.channels);
        EXPECT_EQ(r.rate, d.delivered.samplesPerSec);
        EXPECT_EQ(fact, d.lengthFrames);
        EXPECT_EQ(avgBytes * 8, d.bitRate);
        const std::vector<int16_t> decoded = DecodeAll(*source);
        std::vector<int16_t> reference = Samples(ReadFileBytes(AcmFile(std::string(r.file) + ".ref")));
        ASSERT_GE(reference.size(), size_t(fact) * r.channels);
        reference.resize(size_t(fact) * r.channels);
        EXPECT_TRUE(decoded == reference) << decoded.size() << " samples against " << reference.size();
        EXPECT_FALSE(source->SkippedDamage());
    }
}

// Without a fact chunk the length is what the blocks decode to, counted when the file opens, so
// the Total line, the end of a run and a spectrogram's width know it: mu-law exactly the signal,
// IMA ADPCM and MP3 every frame their blocks hold.
TEST(AcmDecoders, WithoutAFactChunkTheFileSourceCountsTheFramesTheBlocksDecodeTo)
{
    for (const char* name : {"mulaw", "ima", "mp3"}) {
        SCOPED_TRACE(name);
        auto chunks = RiffChunks(ReadFileBytes(AcmFile(std::string(name) + ".wav")));
        chunks.erase("fact");
        std::unique_ptr<AudioSource> decoded;
        ASSERT_EQ(ReaderResult::kOk, OpenCompressedWave(chunks, &decoded));
        EXPECT_FALSE(decoded->Description().lengthKnown);
        const uint64_t frames = DecodeAll(*decoded).size() / decoded->Description().delivered.channels;
        FileSource source;
        const std::string path = WriteTempFile("nofact.wav", RiffFile({{"fmt ", chunks["fmt "]}, {"data", chunks["data"]}}));
        ASSERT_EQ(ReaderResult::kOk, source.Open(path.c_str(), AcceptEveryFormat));
        EXPECT_EQ(frames * source.Format().blockAlign, source.TotalBytes());
        EXPECT_GE(frames, kSignalFrames);
        if (std::string(name) == "mulaw") {
            EXPECT_EQ(kSignalFrames, frames);
        }
    }
}

TEST(AcmDecoders, Mp3sDecodeToTheLengthTheFileStatesCloseToTheReference)
{
    // Expected length: the signal's where an Info frame states it (0: whatever ffmpeg decodes,
    // which keeps every frame whole), the fact chunk's for MP3 in a WAV.
    const struct { const char* file; uint64_t frames; uint16_t channels; uint32_t rate; uint32_t bitRate; } rows[] = {
        {"cbr.mp3", kSignalFrames, 2, 44100, 128000},
        {"vbr.mp3", kSignalFrames, 2, 44100, 0},
        {"cbr-untagged.mp3", 0, 2, 44100, 128000},
        {"cbr-crc.mp3", kSignalFrames, 2, 44100, 128000},
        {"vbr-untagged.mp3", 0, 2, 44100, 0},
        {"mpeg2-mono.mp3", kSignal22kFrames, 1, 22050, 0},
        {"mpeg25-mono.mp3", 0, 1, 8000, 16000},
        {"mp3.wav", 0, 2, 44100, 128000},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        const std::string name = r.file, path = AcmFile(name);
        const bool wav = name.size() > 4 && name.substr(name.size() - 4) == ".wav";
        std::unique_ptr<AudioSource> source;
        ASSERT_EQ(ReaderResult::kOk, wav ? OpenCompressedWave(RiffChunks(ReadFileBytes(path)), &source) : OpenMp3Source(path.c_str(), &source));
        const SourceDescription& d = source->Description();
        EXPECT_STREQ("MPEG Layer-3", d.codecName);
        EXPECT_EQ(r.channels, d.delivered.channels);
        EXPECT_EQ(r.rate, d.delivered.samplesPerSec);
        const std::vector<int16_t> reference = Samples(ReadFileBytes(AcmFile(name.substr(0, name.rfind('.')) + ".ref")));
        const uint64_t expected = r.frames ? r.frames
                                  : wav ? Little32(RiffChunks(ReadFileBytes(path))["fact"].data()) : reference.size() / r.channels;
        EXPECT_TRUE(d.lengthKnown);
        EXPECT_EQ(expected, d.lengthFrames);
        const std::vector<int16_t> decoded = DecodeAll(*source);
        EXPECT_EQ(expected * r.channels, decoded.size());
        EXPECT_GE(reference.size(), decoded.size());
        EXPECT_GE(SnrDb(decoded, reference), 60.0);
        EXPECT_FALSE(source->SkippedDamage());
        // Constant rates as the frames say; a variable one averaged over the file's bytes.
        const double seconds = double(decoded.size()) / r.channels / r.rate;
        if (r.bitRate) EXPECT_EQ(r.bitRate, d.bitRate);
        else EXPECT_NEAR(ReadFileBytes(path).size() * 8 / seconds, d.bitRate, 0.05 * d.bitRate);
    }
}

// Offsets of the frames of an MPEG file without tags, and its end.
std::vector<size_t> FrameStarts(const std::vector<uint8_t>& file)
{
    std::vector<size_t> starts;
    MpegFrameHeader h;
    for (size_t at = 0; at + 4 <= file.size() && ParseMpegHeader(&file[at], &h); at += h.frameBytes) starts.push_back(at);
    return starts;
}

// ID3v2 (version 4, with a footer), APE (with a header) and ID3v1 tags around a file without an
// Info frame, each holding two of its frames: found as sound, they would play or count as frames.
TEST(AcmDecoders, TagsAroundTheFramesChangeNothing)
{
    const std::vector<uint8_t> plain = ReadFileBytes(AcmFile("cbr-untagged.mp3"));
    const std::vector<size_t> starts = FrameStarts(plain);
    ASSERT_GT(starts.size(), 12u);
    const std::vector<uint8_t> two(plain.begin() + long(starts[10]), plain.begin() + long(starts[12]));
    const uint32_t twoBytes = uint32_t(two.size());
    auto apeBlock = [&](bool footer) {
        std::vector<uint8_t> b = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0, 0};
        for (uint32_t v : {twoBytes + 32, 1u, footer ? 0x80000000u : 0xA0000000u, 0u, 0u})
            for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
        return b;
    };
    const uint8_t size[2] = {uint8_t(twoBytes >> 7), uint8_t(twoBytes & 0x7F)};
    const std::vector<uint8_t> id3Header = {'I', 'D', '3', 4, 0, 0x10, 0, 0, size[0], size[1]},
                               id3Footer = {'3', 'D', 'I', 4, 0, 0x10, 0, 0, size[0], size[1]};
    std::vector<uint8_t> id3v1(128, 0);
    std::memcpy(id3v1.data(), "TAG", 3);
    std::vector<uint8_t> tagged;
    for (const std::vector<uint8_t>& part : {id3Header, two, id3Footer, plain, apeBlock(false), two, apeBlock(true), id3v1})
        tagged.insert(tagged.end(), part.begin(), part.end());

    std::unique_ptr<AudioSource> bare, withTags;
    ASSERT_EQ(ReaderResult::kOk, OpenMp3Source(AcmFile("cbr-untagged.mp3").c_str(), &bare));
    ASSERT_EQ(ReaderResult::kOk, OpenMp3Source(WriteTempFile("tagged.mp3", tagged).c_str(), &withTags));
    EXPECT_EQ(bare->Description().lengthFrames, withTags->Description().lengthFrames);
    EXPECT_TRUE(DecodeAll(*bare) == DecodeAll(*withTags));
    EXPECT_FALSE(withTags->SkippedDamage());
}

TEST(AcmDecoders, DamagedMp3sPlayWhatIsLeftAndSaySo)
{
    const std::vector<uint8_t> file = ReadFileBytes(AcmFile("short.mp3"));
    const std::vector<size_t> starts = FrameStarts(file);
    ASSERT_GT(starts.size(), 20u);
    std::vector<std::pair<std::string, std::vector<uint8_t>>> damaged;
    for (size_t i = 1; i < starts.size(); ++i)
        damaged.emplace_back("cut at frame " + std::to_string(i), std::vector<uint8_t>(file.begin(), file.begin() + long(starts[i])));
    damaged.emplace_back("cut inside a frame", std::vector<uint8_t>(file.begin(), file.begin() + long(starts[15] + 200)));
    std::vector<uint8_t> flipped = file;
    for (size_t i = 3; i < starts.size(); i += 4) flipped[starts[i] + 1 + i % 3] ^= uint8_t(1 << (i % 8));
    damaged.emplace_back("header bits flipped", flipped);
    std::vector<uint8_t> spliced(file.begin(), file.begin() + long(starts[12] + 100));
    spliced.insert(spliced.end(), file.begin() + long(starts[6]), file.end());
    damaged.emplace_back("frames spliced mid-frame", spliced);
    for (const auto& [name, bytes] : damaged) {
        SCOPED_TRACE(name);
        std::unique_ptr<AudioSource> source;
        ASSERT_EQ(ReaderResult::kOk, OpenMp3Source(WriteTempFile("damaged.mp3", bytes).c_str(), &source));
        const std::vector<int16_t> decoded = DecodeAll(*source);
        EXPECT_LE(decoded.size(), source->Description().lengthFrames * 2);
        EXPECT_TRUE(source->SkippedDamage());
        uint8_t frame[4];
        EXPECT_EQ(0u, source->ReadFrames(frame, 1));
    }
}

TEST(AcmDecoders, FilesTheyCannotDecodeAreRefusedWithTheirResult)
{
    std::vector<uint8_t> noFrame = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    noFrame.resize(70000, 0x5A);
    const struct { const char* name; std::string path; ReaderResult result; } files[] = {
        {"Layer II", AcmFile("layer2.mp3"), ReaderResult::kUnsupportedCodec},
        {"no frame after the tag", WriteTempFile("noframe.mp3", noFrame), ReaderResult::kUnreadableHeader},
        {"absent", AcmFile("absent.mp3"), ReaderResult::kCannotOpenFile},
    };
    for (const auto& f : files) {
        std::unique_ptr<AudioSource> source;
        EXPECT_EQ(f.result, OpenMp3Source(f.path.c_str(), &source)) << f.name;
    }
    std::vector<uint8_t> gsmStereo = FmtBody(0x0031, 2, 8000, 0, true), noChannels = FmtBody(0x0011, 0, 44100, 4, true);
    gsmStereo[12] = noChannels[12] = 65;   // block align
    const struct { const char* name; std::vector<uint8_t> fmt; ReaderResult result; } formats[] = {
        {"WMA", FmtBody(0x0160, 2, 44100, 16), ReaderResult::kUnsupportedCodec},
        {"GSM in stereo", gsmStereo, ReaderResult::kNoCodec},
        {"no channels", noChannels, ReaderResult::kUnreadableFormat},
        {"cut short", std::vector<uint8_t>(10, 0x11), ReaderResult::kUnreadableFormat},
    };
    for (const auto& f : formats) {
        std::unique_ptr<AudioSource> source;
        EXPECT_EQ(f.result, OpenCompressedWave({{"fmt ", f.fmt}, {"data", std::vector<uint8_t>(4096, 0x33)}}, &source)) << f.name;
    }
}

}  // namespace
