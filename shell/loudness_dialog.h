// Operation > Loudness: the open file measured on a worker thread under a modal progress dialog
// (Cancel stops it), then its figures in a dialog that can copy them to the clipboard.
#pragma once

#include <windows.h>
#include <cstddef>

#include "analysis/loudness.h"
#include "audio/loudness_file.h"

struct MainWindow;

// One measurement: the file, the meter, what the thread and the dialog share, and the outcome.
struct LoudnessJob {
    const char* path = nullptr;
    LoudnessMeter meter;
    LoudnessWatch watch;
    LoudnessRun run;
    HANDLE thread = nullptr;       // open only while the progress dialog is up
    DWORD threadId = 0;
};

constexpr UINT kLoudnessPollMs = 50;   // the progress bar's refresh and the end check

// Measures job->path under the progress dialog; returns when the thread has ended (finished or
// cancelled), with its file closed and its handle released. False when no thread could start.
bool RunLoudnessProgress(HINSTANCE instance, HWND owner, LoudnessJob* job);
// The figures of a result as lines of label, value and unit (CRLF between lines).
void LoudnessFiguresText(const LoudnessResult& result, char* text, size_t size);
// Whether Operation > Loudness can be chosen: a file is open and no run goes.
bool LoudnessAvailable(const MainWindow& app);
void UpdateLoudnessItem(MainWindow& app);
// The command: measure, then show the figures (or the refusal).
void MeasureOpenFileLoudness(MainWindow& app);
