// The batch analyser's output: texts in the ANSI code page, written to a console as UTF-16 (so
// the console shows them right whatever its own code page, UTF-8 included) and as the same bytes
// to a file or pipe that the output is redirected to.
#pragma once

#include <cstdio>

// Writes `text` to `stream` (stdout or stderr).
void WriteText(std::FILE* stream, const char* text);
