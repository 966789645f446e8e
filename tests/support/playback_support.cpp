// Test support for the audio engines: the logging message pump and client-area captures.
#include "tests/support/playback_support.h"

#include "display/display.h"
#include "shell/globals.h"

#include <cstring>

namespace {
std::vector<WaveMessage> waveLog;

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

// What came back is read before the handler runs, what it queued again after.
void DispatchLogged(const MSG& message)
{
    const WAVEHDR* header = reinterpret_cast<const WAVEHDR*>(message.lParam);
    WaveMessage entry;
    entry.slot = header == app.header[0] ? 0 : header == app.header[1] ? 1 : -1;
    entry.bytesRecorded = header->dwBytesRecorded;
    const double start = NowMs();
    DispatchMessageA(&message);
    entry.handlingMs = NowMs() - start;
    if (message.message == MM_WOM_DONE && entry.slot >= 0) entry.queued = QueuedBytes(entry.slot);
    waveLog.push_back(std::move(entry));
}
}  // namespace

void BeginWaveLog() { waveLog.clear(); }
const std::vector<WaveMessage>& WaveLog() { return waveLog; }

bool PumpWaveMessages(const std::function<bool()>& goal, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    MSG message;
    while (!goal()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        else if ((message.message == MM_WOM_DONE || message.message == MM_WIM_DATA) && message.hwnd == app.mainWindow)
            DispatchLogged(message);
        else
            DispatchMessageA(&message);
    }
    return true;
}

bool PumpUntilWaveMessages(size_t count, DWORD timeoutMs)
{
    return PumpWaveMessages([count] { return waveLog.size() >= count; }, timeoutMs);
}

bool PumpUntilRunEnds(DWORD timeoutMs)
{
    return PumpWaveMessages([] { return state.running == 0; }, timeoutMs);
}

std::vector<uint8_t> QueuedBytes(int slot)
{
    const WAVEHDR* header = app.header[slot];
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

bool ShowsText(HWND window, int x, int y, const char* text)
{
    const int length = int(std::strlen(text));
    MemoryCanvas shot, expected;
    bool same = CaptureClient(window, shot) && CreateCanvas(expected, 1024, 64);
    SelectObject(expected.dc, GetStockObject(OEM_FIXED_FONT));
    SIZE size = {};
    GetTextExtentPoint32A(expected.dc, text, length, &size);
    TextOutA(expected.dc, 0, 0, text, length);   // a new DC draws black on opaque white
    for (int row = 0; same && row < size.cy; ++row)
        for (int column = 0; same && column < size.cx; ++column)
            same = PixelAt(expected, column, row) == PixelAt(shot, x + column, y + row);
    DestroyCanvas(expected);
    DestroyCanvas(shot);
    return same;
}

int LitSegments(HWND window)
{
    MemoryCanvas shot;
    const bool captured = CaptureClient(window, shot);
    int lit = 0;
    for (int s = 0; captured && s < kLevelBarSegments; ++s) {
        const COLORREF on = LevelSegmentColour(s, true);
        lit += PixelAt(shot, LevelSegmentLeft(s, g.charWidth) + 1, Row(2) + 1) ==
               Rgb(GetRValue(on), GetGValue(on), GetBValue(on));
    }
    DestroyCanvas(shot);
    return lit;
}
