// Texts to a console or to a redirected stream (see console.h).
#include "batch/console.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

namespace {

// The console behind `stream`, or nullptr when the stream goes to a file or a pipe (the console
// mode of those cannot be read).
HANDLE ConsoleOf(std::FILE* stream)
{
    const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
    return handle;
}

bool WriteToConsole(HANDLE console, const char* text)
{
    const int length = int(std::strlen(text));
    if (length == 0) return true;
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    if (wideLength <= 0) return false;
    std::unique_ptr<wchar_t[]> wide(new (std::nothrow) wchar_t[wideLength]);
    if (!wide || MultiByteToWideChar(CP_ACP, 0, text, length, wide.get(), wideLength) != wideLength) return false;
    DWORD written = 0;
    return WriteConsoleW(console, wide.get(), DWORD(wideLength), &written, nullptr) != 0;
}

}  // namespace

void WriteText(std::FILE* stream, const char* text)
{
    const HANDLE console = ConsoleOf(stream);
    // Whatever the stream holds goes out first, so the order of the texts is kept.
    std::fflush(stream);
    if (console && WriteToConsole(console, text)) return;
    std::fputs(text, stream);
    std::fflush(stream);
}
