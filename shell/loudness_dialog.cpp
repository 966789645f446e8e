// The loudness command: its worker thread, the progress dialog that watches it, and the
// result dialog with the figures and the Copy button.
#include "shell/loudness_dialog.h"

#include <commctrl.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "resources/resource.h"
#include "shell/mainwindow.h"
#include "shell/messages.h"
#include "texts/texts.h"

namespace {

constexpr UINT_PTR kPollTimerId = 1;
constexpr size_t kLabelBytes = 128;
constexpr size_t kFiguresBytes = 2048;

DWORD WINAPI MeasureThread(LPVOID parameter)
{
    LoudnessJob* job = static_cast<LoudnessJob*>(parameter);
    job->run = MeasureFileLoudness(job->path, &job->meter, &job->watch);
    return 0;
}

// Waits for the thread to end and releases its handle.
void JoinThread(LoudnessJob* job)
{
    if (!job->thread) return;
    WaitForSingleObject(job->thread, INFINITE);
    CloseHandle(job->thread);
    job->thread = nullptr;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    LoudnessJob* job = reinterpret_cast<LoudnessJob*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        job = reinterpret_cast<LoudnessJob*>(lParam);
        SendDlgItemMessageA(dialog, IDC_LOUDNESS_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, kPermille));
        job->thread = CreateThread(nullptr, 0, MeasureThread, job, 0, &job->threadId);
        if (!job->thread) EndDialog(dialog, IDABORT);
        else SetTimer(dialog, kPollTimerId, kLoudnessPollMs, nullptr);
        return TRUE;
    case WM_TIMER:
        SendDlgItemMessageA(dialog, IDC_LOUDNESS_PROGRESS_BAR, PBM_SETPOS, job->watch.permilleRead.load(), 0);
        if (WaitForSingleObject(job->thread, 0) == WAIT_OBJECT_0) {
            KillTimer(dialog, kPollTimerId);
            JoinThread(job);
            EndDialog(dialog, IDOK);
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL) return FALSE;
        // The reader checks the request between reads of 64 KiB: the thread ends at once.
        KillTimer(dialog, kPollTimerId);
        job->watch.stop.store(true);
        JoinThread(job);
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

// Puts `text` on the clipboard as ANSI text; false when the clipboard cannot take it.
bool CopyText(HWND owner, const char* text)
{
    const size_t bytes = std::strlen(text) + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return false;
    void* locked = GlobalLock(memory);
    if (locked) std::memcpy(locked, text, bytes);
    GlobalUnlock(memory);
    if (!locked || !OpenClipboard(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool taken = SetClipboardData(CF_TEXT, memory) != nullptr;
    CloseClipboard();
    if (!taken) GlobalFree(memory);
    return taken;
}

INT_PTR CALLBACK ResultDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_LOUDNESS_FIGURES, reinterpret_cast<const char*>(lParam));
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_LOUDNESS_COPY) {
            if (!CopyText(dialog, reinterpret_cast<const char*>(GetWindowLongPtrA(dialog, DWLP_USER))))
                ShowMessage(dialog, IDS_EXPORT_FAILED);
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// One line: label, the value with one decimal (or minus infinity) and the unit.
void AppendLine(char* text, size_t size, const char* label, double value, UINT unitId)
{
    char number[kLabelBytes], unit[kLabelBytes], format[kLabelBytes];
    if (std::isinf(value) && value < 0) LoadText(IDS_LOUDNESS_MINUS_INFINITY, number, sizeof number);
    else std::snprintf(number, sizeof number, "%.1f", value);
    LoadText(unitId, unit, sizeof unit);
    LoadText(IDS_LOUDNESS_LINE, format, sizeof format);
    const size_t length = std::strlen(text);
    if (length) std::snprintf(text + length, size - length, "\r\n");
    const size_t start = std::strlen(text);
    std::snprintf(text + start, size - start, format, label, number, unit);
}

void AppendFigure(char* text, size_t size, UINT labelId, double value, UINT unitId)
{
    char label[kLabelBytes];
    LoadText(labelId, label, sizeof label);
    AppendLine(text, size, label, value, unitId);
}
}  // namespace

bool RunLoudnessProgress(HINSTANCE instance, HWND owner, LoudnessJob* job)
{
    const INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    const INT_PTR ended = DialogBoxParamA(instance, "LoudnessProgress", owner, ProgressDialogProc,
                                          reinterpret_cast<LPARAM>(job));
    JoinThread(job);   // a dialog that could not be shown still leaves no thread behind
    return ended == IDOK || ended == IDCANCEL;
}

void LoudnessFiguresText(const LoudnessResult& r, char* text, size_t size)
{
    text[0] = '\0';
    AppendFigure(text, size, IDS_LOUDNESS_INTEGRATED, r.integratedLufs, IDS_LOUDNESS_UNIT_LUFS);
    AppendFigure(text, size, IDS_LOUDNESS_RANGE, r.rangeLu, IDS_LOUDNESS_UNIT_LU);
    AppendFigure(text, size, IDS_LOUDNESS_MOMENTARY_MAX, r.momentaryMaxLufs, IDS_LOUDNESS_UNIT_LUFS);
    AppendFigure(text, size, IDS_LOUDNESS_SHORT_TERM_MAX, r.shortTermMaxLufs, IDS_LOUDNESS_UNIT_LUFS);
    AppendFigure(text, size, IDS_LOUDNESS_SAMPLE_PEAK, r.samplePeakDbfs, IDS_LOUDNESS_UNIT_DBFS);
    AppendFigure(text, size, IDS_LOUDNESS_TRUE_PEAK, r.truePeakDbtp, IDS_LOUDNESS_UNIT_DBTP);
    char format[kLabelBytes], label[kLabelBytes];
    LoadText(IDS_LOUDNESS_CHANNEL_PEAK, format, sizeof format);
    for (int c = 0; c < r.channels; ++c) {
        std::snprintf(label, sizeof label, format, c + 1);
        AppendLine(text, size, label, r.truePeakChannelDbtp[c], IDS_LOUDNESS_UNIT_DBTP);
    }
}

bool LoudnessAvailable(const MainWindow& app)
{
    return app.sourceKind == SourceKind::kFile && app.fileName[0] != '\0' && !app.Running();
}

void UpdateLoudnessItem(MainWindow& app)
{
    EnableMenuItem(app.menu, IDM_LOUDNESS, MF_BYCOMMAND | (LoudnessAvailable(app) ? MF_ENABLED : MF_GRAYED));
}

void MeasureOpenFileLoudness(MainWindow& app)
{
    if (!LoudnessAvailable(app)) return;
    CloseSource(app);   // the measurement reads the file with a reader of its own; Start opens it again
    auto job = std::make_unique<LoudnessJob>();
    job->path = app.fileName;
    if (!RunLoudnessProgress(app.instance, app.window, job.get())) {
        ShowMessage(app.window, IDS_LOUDNESS_NO_MEMORY);
        return;
    }
    if (job->run.failure == LoudnessFailure::kStopped) return;
    if (!job->run.Ok()) {
        ShowMessage(app.window, MessageIdOf(job->run));
        return;
    }
    char figures[kFiguresBytes];
    LoudnessFiguresText(job->meter.Result(), figures, sizeof figures);
    DialogBoxParamA(app.instance, "LoudnessResult", app.window, ResultDialogProc, reinterpret_cast<LPARAM>(figures));
}
