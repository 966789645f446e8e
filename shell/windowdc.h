// A device context of the main window with the OEM fixed font selected, for the status lines that
// opening a source and running it draw outside WM_PAINT.
#pragma once

#include <windows.h>

// Released, with the previous font selected again, at scope end.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window))
    {
        previousFont_ = SelectObject(dc_, GetStockObject(OEM_FIXED_FONT));
    }
    ~WindowDc()
    {
        SelectObject(dc_, previousFont_);
        ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    operator HDC() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ previousFont_;
};

