// Memory device contexts whose pixels tests can read back exactly.
#include "tests/support/support.h"

bool CreateCanvas(MemoryCanvas& canvas, int width, int height, DWORD fillRgb)
{
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};   // top-down rows
    void* bits = nullptr;
    canvas.dc = CreateCompatibleDC(nullptr);
    if (!canvas.dc) return false;
    canvas.bitmap = CreateDIBSection(canvas.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!canvas.bitmap) { DeleteDC(canvas.dc); canvas.dc = nullptr; return false; }
    canvas.previous = SelectObject(canvas.dc, canvas.bitmap);
    canvas.bits = static_cast<uint32_t*>(bits);
    canvas.width = width;
    canvas.height = height;
    for (int i = 0; i < width * height; ++i) canvas.bits[i] = fillRgb;
    return true;
}

MemoryCanvas::~MemoryCanvas()
{
    if (!dc) return;
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

uint32_t PixelAt(const MemoryCanvas& canvas, int x, int y)
{
    GdiFlush();
    if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return 0xFFFFFFFFu;
    return canvas.bits[y * canvas.width + x] & 0xFFFFFF;
}
