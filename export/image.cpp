// Pictures: the client-area capture (a memory bitmap read back as a 32-bit DIB) and the PNG and
// BMP files, encoded by GDI+ into memory and written through an AtomicFile.
#include "export/image.h"

#include <objidl.h>
#include <gdiplus.h>
#include <cstdlib>
#include <cwchar>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr int kBitsPerPixel = 32;
constexpr int kPixelBytes = 4;
constexpr ARGB kOpaque = 0xFF000000u;
const WCHAR* const kMimeTypes[] = {L"image/png", L"image/bmp"};   // by ImageKind

// GDI+ for the life of one encoding.
class GdiplusSession {
public:
    GdiplusSession()
    {
        GdiplusStartupInput input;
        started_ = GdiplusStartup(&token_, &input, nullptr) == Ok;
    }
    ~GdiplusSession()
    {
        if (started_) GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool Started() const { return started_; }

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

struct BitmapDeleter { void operator()(GpBitmap* bitmap) const { GdipDisposeImage(bitmap); } };
struct StreamDeleter { void operator()(IStream* stream) const { stream->Release(); } };
struct FreeDeleter { void operator()(void* p) const { std::free(p); } };

// The class id of the encoder for `mime`; false when the platform has none.
bool EncoderFor(const WCHAR* mime, CLSID* clsid)
{
    UINT count = 0, bytes = 0;
    if (GdipGetImageEncodersSize(&count, &bytes) != Ok || bytes == 0) return false;
    std::unique_ptr<ImageCodecInfo, FreeDeleter> codecs(static_cast<ImageCodecInfo*>(std::malloc(bytes)));
    if (!codecs || GdipGetImageEncoders(count, bytes, codecs.get()) != Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wcscmp(codecs.get()[i].MimeType, mime) == 0) {
            *clsid = codecs.get()[i].Clsid;
            return true;
        }
    }
    return false;
}

// The picture as a GDI+ bitmap over its own pixels (with its palette when indexed).
std::unique_ptr<GpBitmap, BitmapDeleter> BitmapOf(const Picture& picture)
{
    GpBitmap* bitmap = nullptr;
    const PixelFormat format = picture.Indexed() ? PixelFormat8bppIndexed : PixelFormat32bppRGB;
    if (GdipCreateBitmapFromScan0(picture.Width(), picture.Height(), picture.Stride(), format, picture.Bits(),
                                  &bitmap) != Ok)
        return nullptr;
    std::unique_ptr<GpBitmap, BitmapDeleter> owned(bitmap);
    if (!picture.Indexed()) return owned;
    std::unique_ptr<ColorPalette, FreeDeleter> palette(
        static_cast<ColorPalette*>(std::malloc(sizeof(ColorPalette) + (kPaletteSize - 1) * sizeof(ARGB))));
    if (!palette) return nullptr;
    palette->Flags = 0;
    palette->Count = kPaletteSize;
    for (int i = 0; i < kPaletteSize; ++i) palette->Entries[i] = kOpaque | picture.Palette()[i];
    if (GdipSetImagePalette(bitmap, palette.get()) != Ok) return nullptr;
    return owned;
}

// Writes the bytes an encoder left in a memory stream.
ExportResult WriteStream(IStream* stream, const char* path)
{
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    if (GetHGlobalFromStream(stream, &memory) != S_OK || stream->Stat(&stat, STATFLAG_NONAME) != S_OK)
        return ExportResult::kEncoderFailed;
    const void* bytes = GlobalLock(memory);
    if (!bytes) return ExportResult::kNoMemory;
    AtomicFile file;
    ExportResult result = file.Open(path);
    if (result == ExportResult::kOk) {
        (void)file.Write(bytes, size_t(stat.cbSize.QuadPart));
        result = file.Commit();
    }
    GlobalUnlock(memory);
    return result;
}
}  // namespace

void Picture::FreeDeleter::operator()(void* p) const
{
    std::free(p);
}

bool Picture::Allocate(int width, int height, bool indexed)
{
    bits_.reset();
    width_ = height_ = stride_ = 0;
    if (width <= 0 || height <= 0) return false;
    // Rows of whole 32-bit words, as GDI and GDI+ want them.
    const int stride = indexed ? (width + 3) / 4 * 4 : width * kPixelBytes;
    bits_.reset(static_cast<uint8_t*>(std::calloc(size_t(height), size_t(stride))));
    if (!bits_) return false;
    width_ = width;
    height_ = height;
    stride_ = stride;
    indexed_ = indexed;
    return true;
}

void Picture::KeepColumns(int width)
{
    if (width > 0 && width < width_) width_ = width;
}

bool CaptureClientArea(HWND window, Picture& picture)
{
    RECT client = {};
    GetClientRect(window, &client);
    if (!picture.Allocate(client.right, client.bottom, false)) return false;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, client.right, client.bottom);
    bool copied = false;
    if (memoryDc && bitmap) {
        HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        copied = BitBlt(memoryDc, 0, 0, client.right, client.bottom, windowDc, 0, 0, SRCCOPY) != 0;
        SelectObject(memoryDc, previous);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = client.right;
        info.bmiHeader.biHeight = -client.bottom;   // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = kBitsPerPixel;
        info.bmiHeader.biCompression = BI_RGB;
        copied = copied && GetDIBits(memoryDc, bitmap, 0, UINT(client.bottom), picture.Bits(), &info,
                                     DIB_RGB_COLORS) == client.bottom;
    }
    if (bitmap) DeleteObject(bitmap);
    if (memoryDc) DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return copied;
}

ExportResult WritePicture(const Picture& picture, ImageKind kind, const char* path)
{
    GdiplusSession session;
    CLSID encoder;
    if (!session.Started() || !EncoderFor(kMimeTypes[int(kind)], &encoder)) return ExportResult::kEncoderFailed;
    std::unique_ptr<GpBitmap, BitmapDeleter> bitmap = BitmapOf(picture);
    IStream* stream = nullptr;
    if (!bitmap || CreateStreamOnHGlobal(nullptr, TRUE, &stream) != S_OK) return ExportResult::kEncoderFailed;
    std::unique_ptr<IStream, StreamDeleter> owned(stream);
    if (GdipSaveImageToStream(bitmap.get(), stream, &encoder, nullptr) != Ok) return ExportResult::kEncoderFailed;
    return WriteStream(stream, path);
}
