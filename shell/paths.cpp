// Path and text utilities of the status panel: blank padding to a fixed field, splitting a path
// into directory and name, and the Shift-JIS aware search for the last separator.
#include "shell/shell.h"
#include "shell/globals.h"
#include "shell/messages.h"

#include <algorithm>
#include <cstring>

namespace {
const char kPathSeparators[] = "\\/:";

void CopyBounded(char* destination, const char* text, size_t length)
{
    length = std::min(length, static_cast<size_t>(kPathBufferSize - 1));
    std::memcpy(destination, text, length);
    destination[length] = '\0';
}
}  // namespace

char* PadToWidth(char* text, int width)
{
    if (!text || width <= 0) return text;
    const size_t field = static_cast<size_t>(width);
    const size_t length = strnlen(text, field);
    if (length >= field) {
        ShowWarning(app.mainWindow, "bugbug!!");
    } else {
        std::memset(text + length, ' ', field - length);
    }
    text[field - 1] = '\0';
    return text;
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
