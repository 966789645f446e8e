// Message boxes: every text the user is told lives in the string table (resources/strings.rc)
// and is shown through these helpers, owned by the main window or the dialog that asks. Which
// text each result of the lower layers gets is decided in texts/, which the batch analyser shares.
#pragma once

#include <windows.h>

#include "audio/playback.h"
#include "audio/wavreader.h"
#include "texts/texts.h"

enum class BoxIcon { kNone, kWarning };

// Loads string `textId` and shows it with the platform's default caption and an OK button.
void ShowMessage(HWND owner, UINT textId, BoxIcon icon = BoxIcon::kWarning);
// The same for a text formatted by the caller.
void ShowMessageText(HWND owner, const char* text, BoxIcon icon = BoxIcon::kWarning);
