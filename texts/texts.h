// The texts of the program: which string of the string table (resources/strings.rc) says each
// reader refusal, run failure, refused input format and export outcome, and loading a string
// (a label, notice or list entry, a file-dialog filter).
// Shared by the window, which shows them in message boxes, and the batch analyser, which prints
// them, so both say the same thing.
#pragma once

#include <windows.h>

#include "audio/loudness_file.h"
#include "audio/playback.h"
#include "audio/wavreader.h"
#include "export/exportfile.h"

// Loads string `textId` of this program into `buffer` (empty when it is missing).
void LoadText(UINT textId, char* buffer, int size);

// Loads a file-dialog filter, written in the string table with '|' for each NUL: the buffer
// then holds the pairs of names and patterns, ending in two NULs.
void LoadFilterText(UINT textId, char* buffer, int size);

// One string-table text in a buffer of its own, for labels, notices and list entries.
class LoadedText {
public:
    explicit LoadedText(UINT textId) { LoadText(textId, text_, sizeof text_); }
    operator const char*() const { return text_; }
    const char* c_str() const { return text_; }
    int Length() const;

private:
    static constexpr int kBytes = 256;
    char text_[kBytes];
};

// The text of each refusal and failure (0 for kOk).
UINT MessageIdOf(ReaderResult result);
UINT MessageIdOf(ExportResult result);
UINT MessageIdOf(RunResult result);
UINT MessageIdOf(const LoudnessRun& run);
// The text of a refused input format query; unlisted codes get IDS_QUERY_OTHER with the number.
void FormatQueryMessage(MMRESULT result, char* buffer, int size);
