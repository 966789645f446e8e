// Message boxes: every text the user is told lives in the string table (resources/strings.rc)
// and is shown through these helpers, owned by the main window or the dialog that asks. The
// results of the reader and the engines map to their texts here, in one place.
#pragma once

#include <windows.h>

#include "audio/playback.h"
#include "audio/wavreader.h"

enum class BoxIcon { kNone, kWarning };

// Loads string `textId` and shows it with the platform's default caption and an OK button.
void ShowMessage(HWND owner, UINT textId, BoxIcon icon = BoxIcon::kWarning);
// The same for a text formatted by the caller.
void ShowMessageText(HWND owner, const char* text, BoxIcon icon = BoxIcon::kWarning);
// Loads string `textId` into `buffer` (empty when it is missing).
void LoadText(UINT textId, char* buffer, int size);

// The text of each refusal and failure (0 for kOk).
UINT MessageIdOf(ReaderResult result);
UINT MessageIdOf(RunResult result);
// The text of a refused input format query; unlisted codes get IDS_QUERY_OTHER with the number.
void FormatQueryMessage(MMRESULT result, char* buffer, int size);
