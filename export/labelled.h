// The labelled spectrogram: the plain picture in a frame at a fixed offset, the frequency axis on
// the left (Hz, with a k for kHz; octaves of 1 kHz on a log axis), the time axis below (m:ss, or
// seconds with a tenth for files under a minute), a colour bar with its dB scale on the right and
// one title line above, drawn with GDI into an 8-bit picture of the same palette (its black and
// white draw the text and lines).
#pragma once

#include "export/image.h"
#include "export/spectrogram.h"

// The spectrogram's top-left pixel; the frame runs one pixel outside it.
constexpr int kLabelledPlotLeft = 72;
constexpr int kLabelledPlotTop = 40;

struct SpectrogramLabels {
    const char* title = "";           // the title line
    const char* frequencyUnit = "";   // above the frequency labels
    const char* levelUnit = "";       // above the colour bar's labels
    FrequencyAxis axis;
    double secondsPerColumn = 1.0;
    double totalSeconds = 0.0;
    bool sixteenBitScale = true;      // the dB of a display byte, as the spectrum CSV gives it
    int amplitudeScale = 0;
};

// Draws `plot` (an indexed picture of display bytes) with its labels into `labelled`; false
// without memory or a drawing surface.
[[nodiscard]] bool DrawLabelledSpectrogram(const Picture& plot, const SpectrogramLabels& labels, Picture* labelled);
