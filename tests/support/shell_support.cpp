// Shell test support: reading what the main window shows, and a stand-in help viewer.
#include "tests/support/shell_support.h"

#include <cstring>

#include "shell/globals.h"

bool CaptureMainWindow(MemoryCanvas& canvas)
{
    if (!app.mainWindow) return false;
    UpdateWindow(app.mainWindow);
    PumpPending(20);
    RECT client;
    GetClientRect(app.mainWindow, &client);
    if (!CreateCanvas(canvas, client.right, client.bottom)) return false;
    HDC dc = GetDC(app.mainWindow);
    const BOOL copied = BitBlt(canvas.dc, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    ReleaseDC(app.mainWindow, dc);
    GdiFlush();
    return copied != FALSE;
}

int TextMismatch(const MemoryCanvas& shot, int x, int y, const char* text, HGDIOBJ font,
                 COLORREF textColour, COLORREF background)
{
    const int length = static_cast<int>(std::strlen(text));
    HDC probe = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(probe, font);
    SIZE extent = {};
    GetTextExtentPoint32A(probe, text, length, &extent);
    SelectObject(probe, old);
    DeleteDC(probe);
    if (extent.cx <= 0 || x + extent.cx > shot.width || y + extent.cy > shot.height) return -1;

    MemoryCanvas reference;
    const DWORD fill = (GetRValue(background) << 16) | (GetGValue(background) << 8) | GetBValue(background);
    if (!CreateCanvas(reference, extent.cx, extent.cy, fill)) return -1;
    old = SelectObject(reference.dc, font);
    SetTextColor(reference.dc, textColour);
    SetBkColor(reference.dc, background);
    SetBkMode(reference.dc, OPAQUE);
    TextOutA(reference.dc, 0, 0, text, length);
    SelectObject(reference.dc, old);
    int mismatches = 0;
    for (int j = 0; j < extent.cy; ++j)
        for (int i = 0; i < extent.cx; ++i)
            if (PixelAt(reference, i, j) != PixelAt(shot, x + i, y + j)) ++mismatches;
    DestroyCanvas(reference);
    return mismatches;
}

int CountColour(const MemoryCanvas& canvas, const RECT& area, uint32_t rgb)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (PixelAt(canvas, x, y) == rgb) ++count;
    return count;
}

bool SameCanvas(const MemoryCanvas& a, const MemoryCanvas& b)
{
    GdiFlush();
    return a.width == b.width && a.height == b.height &&
           std::memcmp(a.bits, b.bits, size_t(a.width) * a.height * 4) == 0;
}

namespace {
HWND helpViewer = nullptr;
HelpRequests helpRequests;

// The help call sends a WM_COPYDATA whose block starts with: size, command (16 bits each),
// data, reserved (32 bits each), offset of the file name, offset of the data (16 bits each).
LRESULT CALLBACK FakeHelpViewer(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA) return DefWindowProcA(window, message, wParam, lParam);
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const BYTE* bytes = static_cast<const BYTE*>(data->lpData);
    WORD fileOffset = 0;
    std::memcpy(&helpRequests.command, bytes + 2, 2);
    std::memcpy(&fileOffset, bytes + 12, 2);
    helpRequests.file = fileOffset ? reinterpret_cast<const char*>(bytes + fileOffset) : "";
    ++helpRequests.count;
    return TRUE;
}
}  // namespace

bool OpenFakeHelpViewer()
{
    WNDCLASSA viewerClass = {};
    viewerClass.lpfnWndProc = FakeHelpViewer;
    viewerClass.hInstance = GetModuleHandleA(nullptr);
    viewerClass.lpszClassName = "MS_WINHELP";
    RegisterClassA(&viewerClass);
    helpRequests = HelpRequests();
    helpViewer = CreateWindowExA(0, "MS_WINHELP", "help", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    return helpViewer != nullptr;
}

HelpRequests CloseFakeHelpViewer()
{
    if (helpViewer) DestroyWindow(helpViewer);
    helpViewer = nullptr;
    return helpRequests;
}
