// The batch analyser's three commands on one open input: its blocks read in file order and each
// analysed like a block the window shows (with a spectrum view, so every block has its spectrum),
// then written as rows, one spectrum CSV or the spectrogram's columns.
#include "batch/batch.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "analysis/analysis.h"
#include "analysis/loudness.h"
#include "audio/loudness_file.h"
#include "audio/wavreader.h"
#include "export/csv.h"
#include "export/image.h"
#include "export/spectrogram.h"
#include "resources/resource.h"
#include "texts/texts.h"

namespace {

const char kBlocksHeader[] = "block,time_s,peak_hz,peak_power,level_left,level_right\r\n";
constexpr size_t kRowBytes = 256;
constexpr size_t kTextBytes = 512;

// Without a sound device every format the reader can read is taken.
MMRESULT AcceptEveryFormat(const WAVEFORMATEX*)
{
    return MMSYSERR_NOERROR;
}

BatchOutcome Outcome(BatchStatus status, const char* file, const char* text)
{
    BatchOutcome outcome;
    outcome.status = status;
    std::snprintf(outcome.message, sizeof outcome.message, "%s: %s", file, text);
    return outcome;
}

// A file refused, in the words the window uses for the same refusal.
BatchOutcome Refused(const char* file, UINT textId)
{
    char text[kTextBytes];
    LoadText(textId, text, sizeof text);
    return Outcome(kBatchFileRefused, file, text);
}

BatchOutcome Written(const char* file, ExportResult result)
{
    return result == ExportResult::kOk ? BatchOutcome() : Refused(file, MessageIdOf(result));
}

struct FreeDeleter { void operator()(void* p) const { std::free(p); } };

// The open input: its reader, the block buffer and the analysis plan, and the blocks read so far.
class BlockSource {
public:
    // Opens the input and makes room for its blocks; a refusal fills `outcome`.
    bool Open(const BatchRequest& request, BatchOutcome* outcome)
    {
        settings_ = request.settings;
        settings_.view = kViewLinearSpectrum;
        const ReaderResult opened = reader_.Open(request.input, AcceptEveryFormat);
        if (opened != ReaderResult::kOk) {
            *outcome = Refused(request.input, MessageIdOf(opened));
            return false;
        }
        format_ = reader_.Format();
        frameBytes_ = std::max(FrameBytes(format_), 1u);
        blockFrames_ = std::max<uint64_t>(uint64_t(format_.samplesPerSec) * uint32_t(settings_.timeResolution) /
                                              kTimeResolutionUnit, 1);
        const uint64_t blockBytes = blockFrames_ * frameBytes_;
        if (blockBytes <= INT32_MAX) {
            blockBytes_ = uint32_t(blockBytes);
            buffer_.reset(static_cast<uint8_t*>(std::malloc(blockBytes_)));
        }
        if (!buffer_ || !plan_.Prepare(settings_.fftExponent)) {
            *outcome = Refused(request.input, IDS_EXPORT_NO_MEMORY);
            return false;
        }
        return true;
    }

    // Reads and analyses the next block; false when the data has ended.
    bool Next(BlockResult* result)
    {
        if (ended_) return false;
        const uint32_t length = reader_.TakeNextBlockLength(blockBytes_);
        const uint32_t got = length ? reader_.Read(buffer_.get(), length) : 0;
        ended_ = got < length || length == 0;   // a short read: the file holds no more
        if (got == 0) return false;
        *result = AnalyseBlock(buffer_.get(), int32_t(got), format_, settings_, plan_, 0.0);
        ++blocks_;
        return true;
    }

    // Reads past the first `bytes` bytes of the data; false when it holds fewer.
    bool Skip(uint64_t bytes)
    {
        while (bytes > 0) {
            const uint32_t length = reader_.TakeNextBlockLength(uint32_t(std::min<uint64_t>(bytes, blockBytes_)));
            if (length == 0 || reader_.Read(buffer_.get(), length) != length) return false;
            bytes -= length;
        }
        return true;
    }

    const SourceFormat& Format() const { return format_; }
    const Settings& AnalysedWith() const { return settings_; }
    AnalysisPlan& Plan() { return plan_; }
    int N() const { return PowerOfTwo(plan_.Exponent()); }
    uint32_t FrameSize() const { return frameBytes_; }
    uint32_t TotalBytes() const { return reader_.TotalBytes(); }
    uint32_t BlockBytes() const { return blockBytes_; }
    // Seconds from the start of the data to the block last read.
    double LastBlockSeconds() const { return double(blockFrames_ * (blocks_ - 1)) / format_.samplesPerSec; }

private:
    WaveReader reader_;
    AnalysisPlan plan_;
    Settings settings_;
    SourceFormat format_;
    std::unique_ptr<uint8_t, FreeDeleter> buffer_;
    uint32_t frameBytes_ = 1, blockBytes_ = 0;
    uint64_t blockFrames_ = 1, blocks_ = 0;
    bool ended_ = false;
};

bool SixteenBitScale(const BlockResult& result)
{
    return result.segmentUnit == kSixteenBitSegmentUnit;
}

// One field of a blocks row: the number, or nothing where the block has none.
void AppendField(char* row, size_t size, bool present, const char* format, double value)
{
    const size_t length = std::strlen(row);
    if (length + 2 >= size) return;
    row[length] = ',';
    row[length + 1] = '\0';
    if (present) FormatNumber(row + length + 1, size - length - 1, format, value);
}

// The row of a block: index, start time, peak frequency and power (where the block has a
// spectrum) and the levels of its bars on the 16-bit scale (the right one only for two bars).
void FormatBlockRow(BlockSource& source, const BlockResult& result, uint64_t index, char* row, size_t size)
{
    std::snprintf(row, size, "%llu", static_cast<unsigned long long>(index));
    AppendField(row, size, true, "%.6f", source.LastBlockSeconds());
    const double hz = double(result.peakBin) * source.Format().samplesPerSec / source.N();
    AppendField(row, size, result.hasPeak, "%.6f", hz);
    AppendField(row, size, result.hasPeak, "%.9g", result.peakPower);
    const uint32_t scale = result.analysed ? kSixteenBitSegmentUnit / std::max(result.segmentUnit, 1u) : 0;
    for (int bar = 0; bar < 2; ++bar) AppendField(row, size, result.barCount > bar, "%.0f", double(result.peaks[bar]) * scale);
    std::snprintf(row + std::strlen(row), size - std::strlen(row), "\r\n");
}

BatchOutcome WriteBlocks(BlockSource& source, const BatchRequest& request)
{
    AtomicFile file;
    const ExportResult opened = file.Open(request.output);
    if (opened != ExportResult::kOk) return Written(request.output, opened);
    (void)file.WriteText(kBlocksHeader);
    BlockResult result;
    for (uint64_t index = 0; source.Next(&result); ++index) {
        char row[kRowBytes];
        FormatBlockRow(source, result, index, row, sizeof row);
        if (!file.WriteText(row)) break;
    }
    return Written(request.output, file.Commit());
}

BatchOutcome WriteSpectrum(BlockSource& source, const BatchRequest& request)
{
    const double rate = source.Format().samplesPerSec;
    const double totalFrames = double(source.TotalBytes() / source.FrameSize());
    const double startFrame = std::floor(request.atSeconds * rate + 0.5);
    BlockResult result;
    if (startFrame >= totalFrames || !source.Skip(uint64_t(startFrame) * source.FrameSize()) || !source.Next(&result)) {
        char text[kTextBytes];
        std::snprintf(text, sizeof text, "--at がデータの長さ (%.6f 秒) を超えています", totalFrames / rate);
        return Outcome(kBatchBadArgument, request.input, text);
    }
    if (!result.hasPeak) return Refused(request.input, IDS_EXPORT_NO_SPECTRUM);
    const SpectrumCsvInfo info = {request.input, source.Format(), source.AnalysedWith(), startFrame / rate,
                                  SixteenBitScale(result)};
    return Written(request.output, WriteSpectrumCsv(request.output, info, source.Plan().Re(), source.Plan().Im()));
}

BatchOutcome WriteSpectrogram(BlockSource& source, const BatchRequest& request)
{
    const uint64_t columns = (uint64_t(source.TotalBytes()) + source.BlockBytes() - 1) / source.BlockBytes();
    Picture picture;
    if (columns > INT_MAX || !picture.Allocate(int(columns), SpectrogramRows(source.N()), true))
        return Refused(request.output, IDS_EXPORT_NO_MEMORY);
    SpectrogramPalette(picture.Palette());
    const Settings& s = source.AnalysedWith();
    BlockResult result;
    int x = 0;
    for (; x < picture.Width() && source.Next(&result); ++x) {
        if (!result.hasPeak) return Refused(request.input, IDS_EXPORT_NO_SPECTRUM);
        SpectrogramColumn(source.Plan().Re(), source.Plan().Im(), source.N(), SixteenBitScale(result),
                          s.slopeReference, s.amplitudeScale, picture.Bits() + x, picture.Stride());
    }
    picture.KeepColumns(x);
    return Written(request.output, WritePicture(picture, ImageKind::kPng, request.output));
}

// A loudness figure with one decimal, or "-inf" where there is none.
void FormatLoudnessValue(double value, char* text, size_t size)
{
    if (std::isinf(value) && value < 0) std::snprintf(text, size, "-inf");
    else std::snprintf(text, size, "%.1f", value);
}

void AppendFigure(char* report, size_t size, const char* name, double value)
{
    char text[kRowBytes];
    FormatLoudnessValue(value, text, sizeof text);
    const size_t length = std::strlen(report);
    std::snprintf(report + length, size - length, "%s=%s\n", name, text);
}

BatchOutcome WriteLoudnessSeries(const LoudnessMeter& meter, const char* path)
{
    AtomicFile file;
    const ExportResult opened = file.Open(path);
    if (opened != ExportResult::kOk) return Written(path, opened);
    bool written = file.WriteText("time_s,momentary_lufs,short_term_lufs\r\n");
    for (size_t i = 0; written && i < meter.StepCount(); ++i) {
        const LoudnessStep step = meter.Step(i);
        char momentary[kRowBytes], shortTerm[kRowBytes], row[kRowBytes];
        FormatLoudnessValue(step.momentaryLufs, momentary, sizeof momentary);
        FormatLoudnessValue(step.shortTermLufs, shortTerm, sizeof shortTerm);
        std::snprintf(row, sizeof row, "%.1f,%s,%s\r\n", step.endSeconds, momentary, shortTerm);
        written = file.WriteText(row);
    }
    return Written(path, file.Commit());
}

BatchOutcome MeasureLoudness(const BatchRequest& request)
{
    auto meter = std::make_unique<LoudnessMeter>();
    LoudnessWatch watch;
    const LoudnessRun run = MeasureFileLoudness(request.input, meter.get(), &watch);
    if (!run.Ok()) return Refused(request.input, MessageIdOf(run));
    if (request.csv) {
        const BatchOutcome series = WriteLoudnessSeries(*meter, request.csv);
        if (series.status != kBatchDone) return series;
    }
    const LoudnessResult r = meter->Result();
    BatchOutcome outcome;
    const size_t size = sizeof outcome.report;
    AppendFigure(outcome.report, size, "integrated_lufs", r.integratedLufs);
    AppendFigure(outcome.report, size, "range_lu", r.rangeLu);
    AppendFigure(outcome.report, size, "momentary_max_lufs", r.momentaryMaxLufs);
    AppendFigure(outcome.report, size, "short_term_max_lufs", r.shortTermMaxLufs);
    AppendFigure(outcome.report, size, "sample_peak_dbfs", r.samplePeakDbfs);
    AppendFigure(outcome.report, size, "true_peak_dbtp", r.truePeakDbtp);
    for (int c = 0; c < r.channels; ++c) {
        char name[kRowBytes];
        std::snprintf(name, sizeof name, "true_peak_dbtp_ch%d", c + 1);
        AppendFigure(outcome.report, size, name, r.truePeakChannelDbtp[c]);
    }
    return outcome;
}
}  // namespace

BatchOutcome RunBatchRequest(const BatchRequest& request)
{
    if (request.command == BatchCommand::kLoudness) return MeasureLoudness(request);   // reads the file its own way
    BlockSource source;
    BatchOutcome outcome;
    if (!source.Open(request, &outcome)) return outcome;
    switch (request.command) {
    case BatchCommand::kBlocks: return WriteBlocks(source, request);
    case BatchCommand::kSpectrum: return WriteSpectrum(source, request);
    case BatchCommand::kSpectrogram: return WriteSpectrogram(source, request);
    case BatchCommand::kLoudness:
    case BatchCommand::kHelp: break;
    }
    outcome.usage = true;
    return outcome;
}

BatchOutcome RunBatch(int argc, const char* const* argv)
{
    BatchRequest request;
    BatchOutcome outcome;
    if (!ParseBatchArguments(argc, argv, &request, outcome.message, sizeof outcome.message)) {
        outcome.status = kBatchBadArgument;
        return outcome;
    }
    if (request.command == BatchCommand::kHelp) {
        outcome.usage = true;
        return outcome;
    }
    return RunBatchRequest(request);
}
