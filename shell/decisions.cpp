// The shell's decisions on plain inputs (see decisions.h).
#include "shell/decisions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "analysis/fft.h"
#include "audio/monitor.h"
#include "resources/resource.h"
#include "texts/texts.h"

namespace {

constexpr int32_t kTimeResolutions[kTimeResolutionCount] = {8192, 4096, 2048, 1024, 512};

constexpr int kWindowColumns = 74;
constexpr int kWindowRows = 16;

const char kModuleHelpExtension[] = ".EXE";
const char kHelpExtension[] = ".HLP";
const char kHelpNameWin95[] = "TRILVO.HLP";
const char kHelpName[] = "trilvo.hlp";

constexpr int32_t kMemorySizeCeiling = 255;
constexpr int32_t kMemorySizeOldPlatformCeiling = 15;
constexpr int32_t kMemorySizeFloor = 2;

struct RateButton { int id; uint32_t rate; };
constexpr std::array<RateButton, 3> kRateButtons = {{
    {IDC_MON_RATE_44, kMonitorRate44}, {IDC_MON_RATE_22, kMonitorRate22}, {IDC_MON_RATE_11, kMonitorRate11}}};

constexpr uint32_t kKilobyte = 1024;

int RateButtonFor(uint32_t rate)
{
    for (const RateButton& button : kRateButtons)
        if (button.rate == rate) return button.id;
    return 0;
}

int WidthButtonFor(uint16_t bits)
{
    if (bits == kMonitorBits16) return IDC_MON_16_BIT;
    if (bits == kMonitorBits8) return IDC_MON_8_BIT;
    return 0;
}

void CopyBounded(char* destination, const char* text, size_t length)
{
    length = std::min(length, static_cast<size_t>(kPathBufferSize - 1));
    std::memcpy(destination, text, length);
    destination[length] = '\0';
}

}  // namespace

bool IsAutoplaySwitch(const char* argument)
{
    return argument && argument[0] == '/' && argument[1] &&
           std::toupper(static_cast<unsigned char>(argument[1])) == 'P';
}

bool ApplyFileArgument(const char* argument, char* fileName)
{
    fileName[0] = '\0';
    if (!argument) return true;
    if (std::strlen(argument) >= static_cast<size_t>(kPathBufferSize)) return false;
    std::strcpy(fileName, argument);
    return true;
}

int32_t ParseSettingText(const char* text)
{
    return static_cast<int32_t>(std::atol(text));
}

// The settings file may hold anything; only the values the Options dialog offers are kept,
// others fall back to the defaults (block sizes and FFT tables depend on them).
int32_t CheckedTimeResolution(int32_t value)
{
    for (int32_t allowed : kTimeResolutions)
        if (value == allowed) return value;
    return kDefaultTimeResolution;
}

int32_t CheckedFftExponent(int32_t value)
{
    return (value >= kMinFftExponent && value <= kMaxFftExponent) ? value : kDefaultFftExponent;
}

int MainWindowWidth(int charWidth)
{
    return std::max(kWindowColumns * charWidth, 2 * charWidth + kGraphWidth);
}

int MainWindowHeight(int nonClientHeight, int lineHeight)
{
    return nonClientHeight + kWindowRows * lineHeight + kGraphHeight;
}

void BuildHelpPath(uint16_t version, const char* modulePath, char* path, int size)
{
    if (!path || size <= 0) return;
    const char* name = kHelpName;
    if (version == kVersionWin95) {   // the help file beside the program
        const char* extension = modulePath ? std::strstr(modulePath, kModuleHelpExtension) : nullptr;
        if (extension) {
            // The first ".EXE" becomes ".HLP" and the path ends there.
            std::snprintf(path, static_cast<size_t>(size), "%.*s%s", static_cast<int>(extension - modulePath),
                          modulePath, kHelpExtension);
            return;
        }
        name = kHelpNameWin95;
    }
    std::snprintf(path, static_cast<size_t>(size), "%s", name);
}

int TimeResolutionIndex(int32_t timeResolution)
{
    for (int i = 0; i < kTimeResolutionCount; ++i)
        if (kTimeResolutions[i] == timeResolution) return i;
    return -1;
}

int32_t TimeResolutionAt(int index, int32_t unchanged)
{
    if (index < 0 || index >= kTimeResolutionCount) return unchanged;
    return kTimeResolutions[index];
}

UINT TimeResolutionTextId(int index)
{
    return (index >= 0 && index < kTimeResolutionCount) ? UINT(IDS_TIME_RESOLUTION_FIRST + index) : 0;
}

int32_t BoundedMemorySize(int32_t megabytes, uint16_t platformVersion)
{
    if (megabytes > kMemorySizeCeiling) megabytes = kMemorySizeCeiling;
    if (platformVersion <= kVersionOldMemoryLimit && megabytes > kMemorySizeOldPlatformCeiling)
        megabytes = kMemorySizeOldPlatformCeiling;
    if (megabytes < kMemorySizeFloor) megabytes = kMemorySizeFloor;
    return megabytes;
}

MonitorFormat AdjustMonitorFormat(MonitorFormat format, DWORD inputFormats)
{
    if (!(inputFormats & kAnyInputStereo)) format.channels = 1;
    if (!(inputFormats & kAnyInput16Bit)) format.bits = kMonitorBits8;
    if (!(inputFormats & kAnyInput22Or44kHz)) format.rate = kMonitorRate11;
    else if (!(inputFormats & kAnyInput44kHz) && format.rate == kMonitorRate44) format.rate = kMonitorRate22;
    return format;
}

MonitorDialogPlan PlanMonitorDialog(DWORD inputFormats, uint32_t rate, uint16_t bits)
{
    MonitorDialogPlan plan = {rate, bits, 0, 0, true, true, true};
    if (!(inputFormats & kAnyInput16Bit)) {
        plan.bits = kMonitorBits8;
        plan.widthGroupEnabled = false;
    }
    plan.widthButton = WidthButtonFor(plan.bits);
    if (!(inputFormats & kAnyInput22Or44kHz)) {
        plan.rate = kMonitorRate11;
        plan.rateGroupEnabled = false;
        plan.rate44Enabled = false;
    } else if (!(inputFormats & kAnyInput44kHz)) {
        if (plan.rate == kMonitorRate44) plan.rate = kMonitorRate22;
        plan.rate44Enabled = false;
    }
    plan.rateButton = RateButtonFor(plan.rate);
    return plan;
}

int OfferedMonitorFormats(DWORD inputFormats, MonitorFormat* formats, int capacity)
{
    const MonitorDialogPlan plan = PlanMonitorDialog(inputFormats, kMonitorRate44, kMonitorBits16);
    int count = 0;
    for (const RateButton& button : kRateButtons) {
        const bool rateOffered = button.rate == kMonitorRate11 ||
            (plan.rateGroupEnabled && (button.rate != kMonitorRate44 || plan.rate44Enabled));
        if (!rateOffered) continue;
        for (uint16_t bits : {kMonitorBits16, kMonitorBits8}) {
            if (bits == kMonitorBits16 && !plan.widthGroupEnabled) continue;
            if (count < capacity) formats[count] = {button.rate, 1, bits};
            ++count;
        }
    }
    return std::min(count, capacity);
}

void FormatRateLine(char* out, size_t size, uint32_t samplesPerSec)
{
    std::snprintf(out, size, LoadedText(IDS_RATE_LINE), static_cast<int>(samplesPerSec / 1000u));
}

void FormatBitsLine(char* out, size_t size, uint16_t bitsPerSample)
{
    std::snprintf(out, size, LoadedText(IDS_BITS_LINE), static_cast<int>(bitsPerSample));
}

void FormatPositionLine(char* out, size_t size, uint32_t kilobytes, uint32_t seconds)
{
    std::snprintf(out, size, LoadedText(IDS_POSITION_LINE), static_cast<unsigned long>(kilobytes),
                  static_cast<unsigned long>(seconds));
}

void FormatTotalLine(char* out, size_t size, StatusSource source, uint64_t totalBytes, uint32_t avgBytesPerSec)
{
    switch (source) {
    case StatusSource::kNone:
        std::snprintf(out, size, "%s", LoadedText(IDS_TOTAL_LINE_EMPTY).c_str());
        return;
    case StatusSource::kMonitor:
        // Monitoring writes nothing to disk: the line shows what one run can record.
        std::snprintf(out, size, LoadedText(IDS_FREE_LINE), static_cast<unsigned long>(kMonitorCapacity / kKilobyte),
                      static_cast<unsigned long>(DivideOrZero(kMonitorCapacity, avgBytesPerSec)));
        return;
    case StatusSource::kFile:
        std::snprintf(out, size, LoadedText(IDS_TOTAL_LINE), static_cast<unsigned long>(totalBytes / kKilobyte),
                      static_cast<unsigned long>(avgBytesPerSec ? totalBytes / avgBytesPerSec : 0));
        return;
    }
}

bool PadToWidth(char* text, int width)
{
    if (!text || width <= 0) return true;
    const size_t field = static_cast<size_t>(width);
    const size_t length = strnlen(text, field);
    const bool fits = length < field;
    if (fits) std::memset(text + length, ' ', field - length);
    text[field - 1] = '\0';
    return fits;
}

// Classifies the text from its first byte: a lead byte and the byte after it form one
// double-byte character, so a trail byte equal to '\' is never taken for a separator.
const char* FindLastSeparator(const char* text, const char* separators)
{
    if (!text || !*text || !separators || !*separators) return nullptr;
    const char* last = nullptr;
    for (const char* p = text; *p; ++p) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p))) {
            if (!p[1]) break;
            ++p;                                   // skip the trail byte
            continue;
        }
        if (std::strchr(separators, *p)) last = p;
    }
    return last;
}

void SplitPath(const char* path, char* directory, char* name)
{
    directory[0] = '\0';
    name[0] = '\0';
    if (!path || !*path) return;
    const char* separator = FindLastSeparator(path, kPathSeparators);
    if (!separator) {
        CopyBounded(name, path, std::strlen(path));
        return;
    }
    const size_t directoryLength = static_cast<size_t>(separator - path) + 1;
    CopyBounded(directory, path, directoryLength);
    CopyBounded(name, separator + 1, std::strlen(separator + 1));
}

ExportKind ExportKindFor(const char* path, int filterIndex)
{
    struct KindRow {
        const char* extension;
        ExportKind kind;
    };
    static constexpr KindRow kKinds[] = {
        {".csv", ExportKind::kSpectrumCsv}, {".png", ExportKind::kPng}, {".bmp", ExportKind::kBmp}};
    const char* dot = FindLastSeparator(path, ".");
    const char* folder = FindLastSeparator(path, kPathSeparators);
    for (const KindRow& row : kKinds) {
        if (dot && (!folder || dot > folder) && lstrcmpiA(dot, row.extension) == 0) return row.kind;
    }
    for (const KindRow& row : kKinds) {
        if (int(row.kind) == filterIndex) return row.kind;
    }
    return ExportKind::kSpectrumCsv;
}
