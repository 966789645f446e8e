// Test support for the audio engines: the logging message pump and client-area captures.
#include "tests/support/playback_support.h"

#include "display/display.h"
#include "tests/support/main_window.h"


std::vector<WaveMessage> waveLog;

// What a header held is read before the handler runs, what it queued again after.
bool PumpWaveMessages(const std::function<bool()>& goal, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    MSG message;
    while (!goal()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        const WAVEHDR* header = reinterpret_cast<const WAVEHDR*>(message.lParam);
        const bool done = message.message == MM_WOM_DONE;
        const bool logged = (done || message.message == MM_WIM_DATA) && TestWindow() && message.hwnd == TestWindow()->window;
        const DWORD recorded = logged ? header->dwBytesRecorded : 0;
        DispatchMessageA(&message);
        if (logged) waveLog.push_back({recorded, done ? QueuedBytes(header) : std::vector<uint8_t>()});
    }
    return true;
}

bool PumpUntilRunEnds(DWORD timeoutMs)
{
    return PumpWaveMessages([] { return !TestWindow() || !TestWindow()->Running(); }, timeoutMs);
}

std::vector<uint8_t> QueuedBytes(const WAVEHDR* header)
{
    if (!header || !(header->dwFlags & WHDR_INQUEUE)) return {};
    const uint8_t* data = reinterpret_cast<const uint8_t*>(header->lpData);
    return std::vector<uint8_t>(data, data + header->dwBufferLength);
}

bool CaptureClient(HWND window, MemoryCanvas& canvas)
{
    RECT client;
    if (!GetClientRect(window, &client) || !CreateCanvas(canvas, client.right, client.bottom, 0)) return false;
    HDC source = GetDC(window);
    const BOOL copied = BitBlt(canvas.dc, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
    ReleaseDC(window, source);
    return copied != FALSE;
}

// Segments are sampled one pixel into their left edge, on the first bar's top row.
bool SegmentLit(HWND window, int s)
{
    const Layout& layout = MainWindowOf(window)->layout;
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, LevelSegmentLeft(s, layout.charWidth) + 1, layout.Row(2) + 1);
    ReleaseDC(window, dc);
    return colour == LevelSegmentColour(s, true);
}
