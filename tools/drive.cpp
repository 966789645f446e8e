// Driving the real TRILVO.EXE from outside: process start and end, window search by class and
// process, bounded waits by polling (the other process's windows need no message loop here),
// and window pictures copied out of the program's device contexts into BMP files.
#include "tools/drive.h"

#include <cstdio>
#include <cstring>

#include "resources/resource.h"

namespace {

constexpr DWORD kPollMs = 20;
constexpr char kMainClass[] = "Trilvo";
constexpr char kDialogClass[] = "#32770";
constexpr WORD kBmpSignature = 0x4D42;           // "BM"
constexpr int kBytesPerPixel = 3;
constexpr int kRowAlignment = 4;                 // bytes; BMP rows are padded to it

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner != search->processId || std::strcmp(className, search->className) != 0 || !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

// Polls `done` every few milliseconds until it holds or `boundMs` passes.
template <typename Condition>
bool WaitFor(Condition done, DWORD boundMs)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(kPollMs))
        if (GetTickCount() - start > boundMs) return false;
    return true;
}

// A 24-bit top-down bitmap selected into a memory device context.
class Picture {
public:
    Picture(int width, int height) : width_(width), height_(height), stride_((width * kBytesPerPixel + kRowAlignment - 1) / kRowAlignment * kRowAlignment)
    {
        BITMAPINFO info = {};
        info.bmiHeader = Header();
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        if (bitmap_) previous_ = SelectObject(dc_, bitmap_);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture()
    {
        if (previous_) SelectObject(dc_, previous_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }

    bool CopyFrom(HDC source) const
    {
        const bool copied = bitmap_ && BitBlt(dc_, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
        GdiFlush();
        return copied;
    }

    bool Save(const char* path) const
    {
        const BITMAPINFOHEADER header = Header();
        const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof header;
        const DWORD imageBytes = DWORD(stride_) * DWORD(height_);
        const BITMAPFILEHEADER file = {kBmpSignature, offset + imageBytes, 0, 0, offset};
        FILE* out = std::fopen(path, "wb");
        if (!out) return false;
        const bool written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1 &&
                             std::fwrite(bits_, imageBytes, 1, out) == 1;
        return std::fclose(out) == 0 && written;
    }

private:
    BITMAPINFOHEADER Header() const
    {
        return {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 8 * kBytesPerPixel, BI_RGB, 0, 0, 0, 0, 0};
    }

    int width_, height_, stride_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    BYTE* bits_ = nullptr;
};

}  // namespace

DrivenProgram::~DrivenProgram()
{
    if (process_.hThread) CloseHandle(process_.hThread);
    if (process_.hProcess) CloseHandle(process_.hProcess);
}

bool DrivenProgram::Start(const char* exe, const char* arguments, const char* folder)
{
    char line[4 * MAX_PATH];
    std::snprintf(line, sizeof line, "\"%s\" %s", exe, arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &process_)) return false;
    return WaitFor([this] { return (window_ = FindOwnWindow(kMainClass)) != nullptr; }, kDriveBoundMs);
}

HWND DrivenProgram::FindOwnWindow(const char* className) const
{
    WindowSearch search = {process_.dwProcessId, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool DrivenProgram::Command(int id) const
{
    return SendMessageTimeoutA(window_, WM_COMMAND, WPARAM(id), 0, SMTO_NORMAL, kDriveBoundMs, nullptr) != 0;
}

void DrivenProgram::PostCommand(int id) const { PostMessageA(window_, WM_COMMAND, WPARAM(id), 0); }

bool DrivenProgram::Settle() const
{
    return SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, kDriveBoundMs, nullptr) != 0;
}

HWND DrivenProgram::WaitForDialog(DWORD boundMs) const
{
    HWND dialog = nullptr;
    WaitFor([&] { return (dialog = FindOwnWindow(kDialogClass)) != nullptr; }, boundMs);
    return dialog;
}

bool DrivenProgram::WaitForNoDialog(DWORD boundMs) const
{
    return WaitFor([this] { return FindOwnWindow(kDialogClass) == nullptr; }, boundMs);
}

bool DrivenProgram::WaitForControl(int id, bool enabled, DWORD boundMs) const
{
    return WaitFor([&] { return (IsWindowEnabled(GetDlgItem(window_, id)) != FALSE) == enabled; }, boundMs);
}

bool DrivenProgram::Exit()
{
    if (!process_.hProcess) return false;
    PostCommand(IDM_EXIT);
    DWORD code = 1;
    if (WaitForSingleObject(process_.hProcess, kDriveBoundMs) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, code);
        return false;
    }
    return GetExitCodeProcess(process_.hProcess, &code) && code == 0;
}

bool SaveWindowPicture(HWND window, bool wholeWindow, const char* path)
{
    RECT area = {};
    if (wholeWindow) {
        GetWindowRect(window, &area);
        OffsetRect(&area, -area.left, -area.top);
    } else {
        GetClientRect(window, &area);
    }
    if (area.right <= 0 || area.bottom <= 0) return false;
    const Picture picture(area.right, area.bottom);
    HDC source = wholeWindow ? GetWindowDC(window) : GetDC(window);
    if (!source) return false;
    const bool copied = picture.CopyFrom(source);
    ReleaseDC(window, source);
    return copied && picture.Save(path);
}

bool Report(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    std::fflush(stdout);
    return ok;
}
