// Test support for the audio engines: the logging message pump and client-area captures.
#include "tests/support/playback_support.h"

#include "display/display.h"
#include "tests/support/main_window.h"

// What a header held is read before the handler runs, what it queued again after.
bool PumpWaveMessages(const std::function<bool()>& goal, DWORD timeoutMs, WaveLog* log)
{
    return PumpUntil(goal, timeoutMs, [log](MSG& message) {
        const WAVEHDR* header = reinterpret_cast<const WAVEHDR*>(message.lParam);
        const bool done = message.message == MM_WOM_DONE;
        const bool wave = done || message.message == MM_WIM_DATA;
        const bool logged = log && wave && TestWindow() && message.hwnd == TestWindow()->window;
        const DWORD recorded = logged ? header->dwBytesRecorded : 0;
        DispatchMessageA(&message);
        if (logged) log->push_back({recorded, done ? QueuedBytes(header) : std::vector<uint8_t>()});
    });
}

bool PumpUntilRunEnds(DWORD timeoutMs, WaveLog* log)
{
    return PumpWaveMessages([] { return !TestWindow() || !TestWindow()->Running(); }, timeoutMs, log);
}

std::vector<uint8_t> QueuedBytes(const WAVEHDR* header)
{
    if (!header || !(header->dwFlags & WHDR_INQUEUE)) return {};
    const uint8_t* data = reinterpret_cast<const uint8_t*>(header->lpData);
    return std::vector<uint8_t>(data, data + header->dwBufferLength);
}

uint32_t RecordedBytes(const WaveLog& log)
{
    uint32_t sum = 0;
    for (const WaveMessage& message : log) sum += message.bytesRecorded;
    return sum;
}

bool RecordingBufferHasData()
{
    const MainWindow* app = TestWindow();
    if (!app || !app->Running()) return false;
    for (int slot : {0, 1})
        if ((app->headers[slot]->dwFlags & WHDR_INQUEUE) &&
            app->headers[slot]->dwBytesRecorded >= app->headers[slot]->dwBufferLength / 2)
            return true;
    return false;
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

// Segments are sampled one pixel into their left edge, one pixel below the bar's top.
bool SegmentLit(HWND window, const Layout& layout, int s, int barTopRow)
{
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, LevelSegmentLeft(s, layout.charWidth) + 1, layout.Row(barTopRow) + 1);
    ReleaseDC(window, dc);
    return colour == LevelSegmentColour(s, true);
}
