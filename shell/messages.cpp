// Message boxes shared by every subsystem.
#include "shell/messages.h"

void ShowWarning(HWND owner, const char* text)
{
    MessageBoxA(owner, text, nullptr, MB_OK | MB_ICONWARNING);
}

void ShowNotice(HWND owner, const char* text)
{
    MessageBoxA(owner, text, nullptr, MB_OK);
}
