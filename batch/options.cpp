// Parsing the batch analyser's command line into a request.
#include "batch/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "analysis/fft.h"
#include "export/csv.h"

const char kBatchUsage[] =
    "使い方: TRILVOC.EXE コマンド 入力.wav 出力ファイル [オプション]\n"
    "        TRILVOC.EXE loudness 入力.wav [--csv 出力.csv]\n"
    "コマンド:\n"
    "  blocks       ブロックごとの時刻、ピーク周波数とパワー、左右のレベルを CSV に書き出す\n"
    "  spectrum     --at 秒 (既定 0) から始まるブロックのスペクトルを CSV に書き出す\n"
    "  spectrogram  ファイル全体のスペクトログラムを PNG に書き出す\n"
    "  loudness     ラウドネス (LUFS)、ラウドネスレンジ、サンプルピークとトゥルーピークを表示する\n"
    "オプション:\n"
    "  --fft 8..16                 FFT のサンプル数 2^n (既定 12: 4096)\n"
    "  --window hanning|hamming|blackman|triangle|rectangle   窓関数 (既定 hanning)\n"
    "  --slope white|pink          傾斜の基準 (既定 white)\n"
    "  --scale standard|doubled    振幅スケール (既定 standard)\n"
    "  --deltatime 512|1024|2048|4096|8192   ブロックの長さ、1/11025 秒単位 (既定 2048)\n"
    "  --at 秒                     spectrum のブロックの開始位置\n"
    "  --csv 出力.csv              loudness: 100 ms ごとのモーメンタリとショートタームを CSV に書き出す\n"
    "  --help                      この説明\n"
    "終了コード: 0 成功、1 引数の誤り、2 ファイルを読めない・書けない\n";

namespace {

struct CommandRow {
    const char* name;
    BatchCommand command;
};
constexpr CommandRow kCommands[] = {
    {"blocks", BatchCommand::kBlocks}, {"spectrum", BatchCommand::kSpectrum}, {"spectrogram", BatchCommand::kSpectrogram},
    {"loudness", BatchCommand::kLoudness}};
constexpr long kDeltaTimes[] = {512, 1024, 2048, 4096, 8192};
constexpr int kDecimal = 10;
const char kHelpOption[] = "--help";
const char kAtOption[] = "--at";
const char kCsvOption[] = "--csv";

bool Fail(char* message, size_t size, const char* format, const char* detail)
{
    std::snprintf(message, size, format, detail);
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
    if (argc < 2) return Fail(message, size, "コマンドがありません (%s で使い方を表示)", kHelpOption);
    for (const CommandRow& row : kCommands) {
        if (std::strcmp(argv[1], row.name) == 0) request->command = row.command;
    }
    if (request->command == BatchCommand::kHelp) return Fail(message, size, "不明なコマンドです: %s", argv[1]);
    const bool loudness = request->command == BatchCommand::kLoudness;
    bool atGiven = false;
    for (int i = 2; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] == '-' && argument[1] == '-') {
            if (!IsOption(argument)) return Fail(message, size, "不明なオプションです: %s", argument);
            if (i + 1 >= argc) return Fail(message, size, "%s の値がありません", argument);
            if (!ApplyOption(argument, argv[++i], request)) return Fail(message, size, "%s の値が正しくありません", argument);
            atGiven = atGiven || std::strcmp(argument, kAtOption) == 0;
        } else if (!request->input) {
            request->input = argument;
        } else if (!request->output && !loudness) {
            request->output = argument;
        } else {
            return Fail(message, size, "余分な引数です: %s", argument);
        }
    }
    if (loudness && !request->input) return Fail(message, size, "%s", "入力ファイルを指定してください");
    if (!loudness && !request->output) return Fail(message, size, "%s", "入力ファイルと出力ファイルを指定してください");
    if (request->csv && !loudness) return Fail(message, size, "%s は loudness でしか使えません", kCsvOption);
    if (atGiven && request->command != BatchCommand::kSpectrum)
        return Fail(message, size, "%s は spectrum でしか使えません", kAtOption);
    return true;
}
