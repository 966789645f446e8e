// The texts of the results the lower layers report: which string of the string table
// (resources/strings.rc) says each reader refusal, run failure, refused input format and export
// outcome, and loading a string.
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

// The text of each refusal and failure (0 for kOk).
UINT MessageIdOf(ReaderResult result);
UINT MessageIdOf(ExportResult result);
UINT MessageIdOf(RunResult result);
UINT MessageIdOf(const LoudnessRun& run);
// The text of a refused input format query; unlisted codes get IDS_QUERY_OTHER with the number.
void FormatQueryMessage(MMRESULT result, char* buffer, int size);
