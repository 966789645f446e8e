// Parsing the batch analyser's command line into a request.
#include "batch/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "analysis/fft.h"
#include "export/csv.h"
#include "resources/resource.h"
#include "texts/texts.h"

namespace {

struct CommandRow {
    const char* name;
    BatchCommand command;
};
constexpr CommandRow kCommands[] = {
    {"blocks", BatchCommand::kBlocks}, {"spectrum", BatchCommand::kSpectrum}, {"spectrogram", BatchCommand::kSpectrogram},
    {"loudness", BatchCommand::kLoudness}, {"bands", BatchCommand::kBands}};
constexpr long kDeltaTimes[] = {512, 1024, 2048, 4096, 8192};
constexpr int kDecimal = 10;
constexpr int kFormatBytes = 128;
const char kHelpOption[] = "--help";
const char kAtOption[] = "--at";
const char kCsvOption[] = "--csv";
const char kRangeOption[] = "--range";
constexpr size_t kTextBytes = 256;

// Options that belong to one command: with another command they are refused.
struct CommandOptionRow {
    const char* option;
    const char* commandName;
    BatchCommand command;
    bool flag;    // takes no value
};
constexpr CommandOptionRow kCommandOptions[] = {
    {"--bare", "spectrogram", BatchCommand::kSpectrogram, true},
    {"--log", "spectrogram", BatchCommand::kSpectrogram, true},
    {"--palette", "spectrogram", BatchCommand::kSpectrogram, false},
    {kRangeOption, "spectrogram", BatchCommand::kSpectrogram, false},
    {"--height", "spectrogram", BatchCommand::kSpectrogram, false},
    {"--width", "spectrogram", BatchCommand::kSpectrogram, false},
    {"--bands", "bands", BatchCommand::kBands, false},
};

bool Fail(char* message, size_t size, UINT formatId, const char* detail)
{
    char format[kFormatBytes];
    LoadText(formatId, format, sizeof format);
    std::snprintf(message, size, format, detail);
    return false;
}

// A failure in the words of string `textId`, a printf format of two strings.
bool FailWith(char* message, size_t size, UINT textId, const char* first, const char* second)
{
    char format[kTextBytes];
    LoadText(textId, format, sizeof format);
    std::snprintf(message, size, format, first, second);
    return false;
}

const CommandOptionRow* CommandOption(const char* option)
{
    for (const CommandOptionRow& row : kCommandOptions) {
        if (std::strcmp(option, row.option) == 0) return &row;
    }
    return nullptr;
}

// LO:HI in Hz, LO below HI.
bool ParseRange(const char* text, SpectrogramRequest* spectrogram)
{
    char* end = nullptr;
    spectrogram->low = std::strtod(text, &end);
    if (end == text || *end != ':') return false;
    const char* high = end + 1;
    spectrogram->high = std::strtod(high, &end);
    spectrogram->rangeGiven = true;
    return end != high && *end == '\0' && spectrogram->low >= 0.0 && spectrogram->low < spectrogram->high;
}

// A width or height of the picture.
bool ParseSize(const char* text, int* size)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, kDecimal);
    if (!*text || *end != '\0' || errno != 0 || value < kSpectrogramMinSize || value > kSpectrogramMaxSize) return false;
    *size = int(value);
    return true;
}

// The value of an option of the spectrogram or bands; false when it is not one the option takes.
bool ApplyPictureOption(const char* option, const char* value, BatchRequest* request)
{
    SpectrogramRequest& spectrogram = request->spectrogram;
    if (std::strcmp(option, kRangeOption) == 0) return ParseRange(value, &spectrogram);
    if (std::strcmp(option, "--height") == 0) return ParseSize(value, &spectrogram.height);
    if (std::strcmp(option, "--width") == 0) return ParseSize(value, &spectrogram.width);
    const struct { const char* option; const char* name; int value; } names[] = {
        {"--palette", "grey", int(SpectrogramPaletteKind::kGrey)}, {"--palette", "colour", int(SpectrogramPaletteKind::kColour)},
        {"--bands", "octave", int(BandKind::kOctave)}, {"--bands", "third", int(BandKind::kThird)}};
    for (const auto& row : names) {
        if (std::strcmp(option, row.option) != 0 || std::strcmp(value, row.name) != 0) continue;
        if (std::strcmp(option, "--palette") == 0) spectrogram.palette = SpectrogramPaletteKind(row.value);
        else request->bands = BandKind(row.value);
        return true;
    }
    return false;
}

// A whole decimal integer, nothing else.
bool ParseInteger(const char* text, long* value)
{
    char* end = nullptr;
    errno = 0;
    *value = std::strtol(text, &end, kDecimal);
    return *text && *end == '\0' && errno == 0;
}

// The value of one option; false when it is not one the option takes.
bool ApplyOption(const char* option, const char* value, BatchRequest* request)
{
    Settings& s = request->settings;
    long number = 0;
    int32_t choice = 0;
    if (std::strcmp(option, "--fft") == 0) {
        if (!ParseInteger(value, &number) || number < kMinFftExponent || number > kMaxFftExponent) return false;
        s.fftExponent = int32_t(number);
        return true;
    }
    if (std::strcmp(option, "--deltatime") == 0) {
        if (!ParseInteger(value, &number)) return false;
        for (long allowed : kDeltaTimes) {
            if (number != allowed) continue;
            s.timeResolution = int32_t(number);
            return true;
        }
        return false;
    }
    if (CommandOption(option)) return ApplyPictureOption(option, value, request);
    if (std::strcmp(option, kCsvOption) == 0) {
        request->csv = value;
        return *value != '\0';
    }
    if (std::strcmp(option, kAtOption) == 0) {
        char* end = nullptr;
        request->atSeconds = std::strtod(value, &end);
        return *value && *end == '\0' && request->atSeconds >= 0.0;
    }
    const struct { const char* name; Choice choice; } choices[] = {
        {"--window", Choice::kWindow}, {"--slope", Choice::kSlope}, {"--scale", Choice::kScale}};
    for (const auto& row : choices) {
        if (std::strcmp(option, row.name) != 0) continue;
        if (!ChoiceValue(row.choice, value, &choice)) return false;
        if (row.choice == Choice::kWindow) s.windowType = WindowType(choice);
        if (row.choice == Choice::kSlope) s.slopeReference = SlopeReference(choice);
        if (row.choice == Choice::kScale) s.amplitudeScale = AmplitudeScale(choice);
        return true;
    }
    return false;
}

bool IsOption(const char* option)
{
    const char* const known[] = {"--fft", "--window", "--slope", "--scale", "--deltatime", kAtOption, kCsvOption};
    for (const char* name : known) {
        if (std::strcmp(option, name) == 0) return true;
    }
    return false;
}
}  // namespace

bool ParseBatchArguments(int argc, const char* const* argv, BatchRequest* request, char* message, size_t size)
{
    *request = BatchRequest();
    message[0] = '\0';
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kHelpOption) == 0) return true;
    }
    if (argc < 2) return Fail(message, size, IDS_BATCH_NO_COMMAND, kHelpOption);
    for (const CommandRow& row : kCommands) {
        if (std::strcmp(argv[1], row.name) == 0) request->command = row.command;
    }
    if (request->command == BatchCommand::kHelp) return Fail(message, size, IDS_BATCH_UNKNOWN_COMMAND, argv[1]);
    const bool loudness = request->command == BatchCommand::kLoudness;
    bool atGiven = false;
    for (int i = 2; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] == '-' && argument[1] == '-') {
            const CommandOptionRow* owned = CommandOption(argument);
            if (!IsOption(argument) && !owned) return Fail(message, size, IDS_BATCH_UNKNOWN_OPTION, argument);
            if (owned && owned->command != request->command)
                return FailWith(message, size, IDS_BATCH_ONLY_FOR, argument, owned->commandName);
            if (owned && owned->flag) {
                (std::strcmp(argument, "--log") == 0 ? request->spectrogram.log : request->spectrogram.bare) = true;
                continue;
            }
            if (i + 1 >= argc) return Fail(message, size, IDS_BATCH_NO_VALUE, argument);
            if (!ApplyOption(argument, argv[++i], request)) return Fail(message, size, IDS_BATCH_BAD_VALUE, argument);
            atGiven = atGiven || std::strcmp(argument, kAtOption) == 0;
        } else if (!request->input) {
            request->input = argument;
        } else if (!request->output && !loudness) {
            request->output = argument;
        } else {
            return Fail(message, size, IDS_BATCH_EXTRA_ARGUMENT, argument);
        }
    }
    if (loudness && !request->input) {
        LoadText(IDS_BATCH_NO_INPUT, message, int(size));
        return false;
    }
    if (!loudness && !request->output) {
        LoadText(IDS_BATCH_NO_FILES, message, int(size));
        return false;
    }
    if (request->csv && !loudness) return Fail(message, size, IDS_BATCH_CSV_NOT_LOUDNESS, kCsvOption);
    if (atGiven && request->command != BatchCommand::kSpectrum)
        return Fail(message, size, IDS_BATCH_AT_NOT_SPECTRUM, kAtOption);
    const SpectrogramRequest& spectrogram = request->spectrogram;
    if (spectrogram.log && spectrogram.rangeGiven && spectrogram.low <= 0.0)
        return FailWith(message, size, IDS_BATCH_LOG_RANGE, "", "");
    return true;
}
