// Message boxes from the string table (which string says what is decided in texts/).
#include "shell/messages.h"

namespace {
constexpr int kMessageBytes = 512;
}  // namespace

void ShowMessageText(HWND owner, const char* text, BoxIcon icon)
{
    MessageBoxA(owner, text, nullptr, MB_OK | (icon == BoxIcon::kWarning ? MB_ICONWARNING : 0));
}

void ShowMessage(HWND owner, UINT textId, BoxIcon icon)
{
    char text[kMessageBytes];
    LoadText(textId, text, sizeof text);
    ShowMessageText(owner, text, icon);
}
