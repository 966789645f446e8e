// Definitions of the shared records and their initial values.
#include "shell/globals.h"

#include <cstring>

namespace {

const StateRecord kInitialState = {
    {nullptr, nullptr},     // block buffer handles
    nullptr,                // file handle
    kStopNone, 0, kSourceNone, 0,
    16, 2, 44100,           // monitor: 16 bits, 2 channels, 44100 Hz
    0, 15,                  // on-memory option off, 15 MB
    kStreamingMode,
    kCmdViewWaveform,
    2048, 12,               // "deltatime", "fftparam"
    kSlopeWhite, kScaleStandard, kWindowHanning,
};

const AppRecord kInitialApp = {"Trilvo", nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, {nullptr, nullptr}, 0, {nullptr, nullptr}};

}  // namespace

AppRecord app = kInitialApp;
StateRecord state = kInitialState;
RunCounters run;
SourceFormatFigures source;
SharedGlobals g;

void ResetGlobals()
{
    app = kInitialApp;
    state = kInitialState;
    std::memset(&run, 0, sizeof run);
    std::memset(&source, 0, sizeof source);
    std::memset(&g, 0, sizeof g);
}
