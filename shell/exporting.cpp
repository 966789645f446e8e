// File > Export: the save dialog with its three file types, the spectrum CSV of the kept block
// (analysed again exactly as it was, with a spectrum view, so the CSV exists whatever the view
// showed) and the picture of the client area, captured before the dialog covers the window.
#include "shell/mainwindow.h"
#include "shell/messages.h"
#include "export/csv.h"
#include "export/image.h"
#include "resources/resource.h"

#include <cderr.h>
#include <commdlg.h>

namespace {
constexpr int kFilterBytes = 256;
const char kExportDefaultExtension[] = "csv";
const char kSoundInputName[] = "(sound input)";

// The name and file type chosen in the save dialog; false when cancelled or refused (a name too
// long for the buffer is said here).
bool ChooseExportName(MainWindow& app, char* path, int* filterIndex)
{
    char filter[kFilterBytes];
    LoadFilterText(IDS_EXPORT_FILTER, filter, sizeof filter);
    OPENFILENAMEA record = {};
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;   // the record every platform takes
    record.hwndOwner = app.window;
    record.lpstrFilter = filter;
    record.nFilterIndex = 1;
    record.lpstrFile = path;
    record.nMaxFile = kPathBufferSize;
    record.lpstrDefExt = kExportDefaultExtension;
    record.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (GetSaveFileNameA(&record)) {
        *filterIndex = int(record.nFilterIndex);
        return true;
    }
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) ShowMessage(app.window, IDS_EXPORT_NAME_TOO_LONG);
    return false;
}

ExportResult ExportSpectrum(MainWindow& app, const char* path)
{
    const KeptBlock& kept = app.keptBlock;
    Settings settings = kept.AnalysedWith();
    settings.view = kViewLinearSpectrum;
    if (!app.plan.Prepare(settings.fftExponent)) return ExportResult::kNoMemory;
    const BlockResult result =
        AnalyseBlock(kept.Bytes(), kept.ByteCount(), kept.Format(), settings, app.plan, app.peakFrequency);
    if (!result.hasPeak) return ExportResult::kNoSpectrum;
    const SpectrumCsvInfo info = {app.sourceKind == SourceKind::kMonitor ? kSoundInputName : app.fileName,
                                  kept.Format(), settings, kept.StartSeconds(),
                                  result.scale == SampleScale::kSixteenBit};
    return WriteSpectrumCsv(path, info, app.plan.Re(), app.plan.Im());
}
}  // namespace

void ExportLastBlock(MainWindow& app)
{
    if (!ExportAvailable(app)) return;
    Picture screen;
    const bool captured = CaptureClientArea(app.window, screen);
    char path[kPathBufferSize] = {};
    int filterIndex = 0;
    if (!ChooseExportName(app, path, &filterIndex)) return;
    ExportResult result = ExportResult::kNoMemory;
    switch (ExportKindFor(path, filterIndex)) {
    case ExportKind::kSpectrumCsv: result = ExportSpectrum(app, path); break;
    case ExportKind::kPng: result = captured ? WritePicture(screen, ImageKind::kPng, path) : result; break;
    case ExportKind::kBmp: result = captured ? WritePicture(screen, ImageKind::kBmp, path) : result; break;
    }
    if (result != ExportResult::kOk) ShowMessage(app.window, MessageIdOf(result));
}
