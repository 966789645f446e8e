// Test support for playback: the logging message pump and client-area captures.
#include "tests/support/playback_support.h"

#include "shell/globals.h"

#include <cstdio>
#include <cstring>

namespace {
std::vector<DoneRecord> doneLog;
bool keepQueuedBytes = false;

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

int SlotOf(const WAVEHDR* header)
{
    if (header && header == app.header[0]) return 0;
    if (header && header == app.header[1]) return 1;
    return -1;
}

void DispatchLogged(MSG& message)
{
    const bool done = message.message == MM_WOM_DONE && message.hwnd == app.mainWindow;
    if (!done) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
        return;
    }
    DoneRecord record;
    WAVEHDR* header = reinterpret_cast<WAVEHDR*>(message.lParam);
    record.slot = SlotOf(header);
    const double start = NowMs();
    DispatchMessageA(&message);
    record.handlingMs = NowMs() - start;
    record.requeued = record.slot >= 0 && (header->dwFlags & WHDR_INQUEUE) != 0;
    if (record.requeued && keepQueuedBytes)
        record.queued.assign(reinterpret_cast<uint8_t*>(header->lpData),
                             reinterpret_cast<uint8_t*>(header->lpData) + header->dwBufferLength);
    doneLog.push_back(std::move(record));
}

template <typename Goal>
bool PumpLogging(Goal goal, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!goal()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchLogged(message);
        else
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}
}  // namespace

void BeginDoneLog(bool keepBytes)
{
    doneLog.clear();
    keepQueuedBytes = keepBytes;
}

const std::vector<DoneRecord>& DoneLog() { return doneLog; }

std::vector<uint8_t> QueuedBytes(int slot)
{
    const WAVEHDR* header = app.header[slot];
    if (!header || !(header->dwFlags & WHDR_INQUEUE)) return {};
    const uint8_t* data = reinterpret_cast<const uint8_t*>(header->lpData);
    return std::vector<uint8_t>(data, data + header->dwBufferLength);
}

bool PumpUntilDoneCount(size_t count, DWORD timeoutMs)
{
    return PumpLogging([count] { return doneLog.size() >= count; }, timeoutMs);
}

bool PumpUntilRunEnds(DWORD timeoutMs)
{
    return PumpLogging([] { return state.running == 0; }, timeoutMs);
}

bool CaptureClient(HWND window, MemoryCanvas& canvas)
{
    RECT client;
    if (!GetClientRect(window, &client)) return false;
    if (!CreateCanvas(canvas, client.right, client.bottom, 0)) return false;
    HDC source = GetDC(window);
    const BOOL copied = BitBlt(canvas.dc, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
    ReleaseDC(window, source);
    GdiFlush();
    if (!copied) DestroyCanvas(canvas);
    return copied != FALSE;
}

bool CanvasShowsText(const MemoryCanvas& canvas, int x, int y, const char* text, std::string* why)
{
    const int length = int(std::strlen(text));
    MemoryCanvas expected;
    if (!CreateCanvas(expected, 1024, 64)) return false;
    HGDIOBJ previous = SelectObject(expected.dc, GetStockObject(OEM_FIXED_FONT));
    SetTextColor(expected.dc, RGB(0, 0, 0));
    SetBkColor(expected.dc, RGB(255, 255, 255));
    SetBkMode(expected.dc, OPAQUE);
    SIZE size = {};
    GetTextExtentPoint32A(expected.dc, text, length, &size);
    TextOutA(expected.dc, 0, 0, text, length);
    SelectObject(expected.dc, previous);
    bool same = true;
    for (int row = 0; row < size.cy && same; ++row) {
        for (int column = 0; column < size.cx && same; ++column) {
            const uint32_t want = PixelAt(expected, column, row);
            const uint32_t got = PixelAt(canvas, x + column, y + row);
            if (want == got) continue;
            same = false;
            if (why) {
                char note[160];
                std::snprintf(note, sizeof note, "\"%s\" differs at (%d, %d): %06X instead of %06X", text,
                              x + column, y + row, unsigned(got), unsigned(want));
                *why = note;
            }
        }
    }
    DestroyCanvas(expected);
    return same;
}

bool SaveCanvasBmp(const MemoryCanvas& canvas, const char* path)
{
    GdiFlush();
    const DWORD pixelBytes = DWORD(canvas.width) * DWORD(canvas.height) * 4;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;   // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + pixelBytes;
    info.biSize = sizeof info;
    info.biWidth = canvas.width;
    info.biHeight = -canvas.height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info, sizeof info, 1, out) == 1;
    // Opaque pixels: viewers that honour the fourth byte would show the capture as transparent.
    std::vector<uint32_t> row(size_t(canvas.width));
    for (int y = 0; ok && y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) row[size_t(x)] = canvas.bits[y * canvas.width + x] | 0xFF000000u;
        ok = std::fwrite(row.data(), 4, row.size(), out) == row.size();
    }
    ok = std::fclose(out) == 0 && ok;
    return ok;
}
