// PLACEHOLDER (path and text utilities): empty bodies so the tree links while the real code is written.
// The owner replaces this whole file.
#include "shell/shell.h"

char* PadToWidth(char* text, int) { return text; }
void SplitPath(const char*, char*, char*) {}
const char* FindLastSeparator(const char*, const char*) { return nullptr; }
