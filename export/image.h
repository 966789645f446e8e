// Pictures of an export: the window's client area captured as it shows, or a picture the batch
// analyser fills (the spectrogram), encoded as PNG or BMP by the platform's own encoders (GDI+)
// and written through an AtomicFile.
#pragma once

#include <windows.h>
#include <cstdint>
#include <memory>

#include "export/exportfile.h"

enum class ImageKind : int { kPng = 0, kBmp = 1 };

constexpr int kPaletteSize = 256;

// Pixels in memory, top row first: 32-bit 0x00RRGGBB values, or (indexed) 8-bit entries of a
// 256-colour palette of 0x00RRGGBB values.
class Picture {
public:
    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Makes room for width x height pixels (any earlier pixels are dropped); false without memory.
    [[nodiscard]] bool Allocate(int width, int height, bool indexed);
    // Narrows the picture to its first `width` columns (rows keep their length).
    void KeepColumns(int width);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Indexed() const { return indexed_; }
    int Stride() const { return stride_; }           // bytes from one row to the next
    uint8_t* Bits() const { return bits_.get(); }
    uint32_t* Palette() { return palette_; }
    const uint32_t* Palette() const { return palette_; }

private:
    struct FreeDeleter { void operator()(void* p) const; };
    std::unique_ptr<uint8_t, FreeDeleter> bits_;
    int width_ = 0, height_ = 0, stride_ = 0;
    bool indexed_ = false;
    uint32_t palette_[kPaletteSize] = {};
};

// Copies the client area of `window` as it shows now into a 32-bit picture.
[[nodiscard]] bool CaptureClientArea(HWND window, Picture& picture);

// Encodes the picture (GDI+) and writes it to `path` under a temporary name first.
[[nodiscard]] ExportResult WritePicture(const Picture& picture, ImageKind kind, const char* path);
