// Drives the real program as its own process, as a user would, for the end-to-end playback test
// and for scripts/run:
//   playback_driver e2e <TRILVO.EXE> <shot.bmp>    play a tone file with /P, then again in the
//                                                  linear spectrum view; check the window
//   playback_driver tone <sink.raw> <hertz>        find the tone in a recording of the sound sink
//                                                  (raw 16-bit little-endian stereo, 44100 Hz)
//   playback_driver watch <TRILVO.EXE> <shot.bmp> <file.wav>
//                                                  play a file with /P, wait for the end of the run,
//                                                  save a picture of the window, close the program
// Exit status 0 when every check passed.
#include "tests/support/playback_support.h"
#include "tests/support/support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kPlayId = 201, kStopId = 202, kPauseId = 203;
constexpr int kViewLinearSpectrum = 108;
constexpr double kRate = 44100.0;
constexpr int kFftLength = 4096;                           // fftparam 12
constexpr int kToneBin = 93;                               // an exact bin: no leakage
constexpr double kToneHz = kToneBin * kRate / kFftLength;  // 1001.29 Hz
constexpr int kToneSamples = 8192;                         // one block at deltatime 2048
constexpr int kToneAmplitude = 32000;
constexpr DWORD kStartBound = 30000;
constexpr DWORD kRunBound = 30000;

int failures = 0;

void Check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok) ++failures;
}

struct Target {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
};

struct FindContext {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM lParam)
{
    FindContext* context = reinterpret_cast<FindContext*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner != context->processId || std::strcmp(name, "Trilvo") != 0) return TRUE;
    context->found = window;
    return FALSE;
}

bool Launch(const char* exe, const char* arguments, Target& target)
{
    std::string commandLine = std::string("\"") + exe + "\" " + arguments;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &target.process)) {
        std::printf("cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
        return false;
    }
    WaitForInputIdle(target.process.hProcess, kStartBound);
    const DWORD start = GetTickCount();
    FindContext context = {target.process.dwProcessId, nullptr};
    while (!context.found && GetTickCount() - start < kStartBound) {
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&context));
        if (!context.found) Sleep(50);   // polling another process: nothing to wait on
    }
    target.window = context.found;
    if (!target.window) std::printf("no main window appeared\n");
    return target.window != nullptr;
}

bool Enabled(const Target& target, int id) { return IsWindowEnabled(GetDlgItem(target.window, id)) != FALSE; }

bool ControlsIdle(const Target& target)
{
    return Enabled(target, kPlayId) && !Enabled(target, kStopId) && !Enabled(target, kPauseId);
}

// The run is over when the controls are back to idle (they are never idle during a run).
bool WaitForIdle(const Target& target, DWORD boundMs)
{
    const DWORD start = GetTickCount();
    while (!ControlsIdle(target)) {
        if (GetTickCount() - start >= boundMs) return false;
        if (WaitForSingleObject(target.process.hProcess, 20) == WAIT_OBJECT_0) return false;
    }
    return true;
}

bool Close(Target& target)
{
    PostMessageA(target.window, WM_CLOSE, 0, 0);
    const bool ended = WaitForSingleObject(target.process.hProcess, kStartBound) == WAIT_OBJECT_0;
    DWORD code = 1;
    GetExitCodeProcess(target.process.hProcess, &code);
    if (!ended) TerminateProcess(target.process.hProcess, 1);
    CloseHandle(target.process.hThread);
    CloseHandle(target.process.hProcess);
    return ended && code == 0;
}

// Layout units as the program measures them: the OEM fixed font's average width and half ascent.
struct Units {
    int column, row;
};

Units MeasureUnits()
{
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, GetStockObject(OEM_FIXED_FONT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return {metrics.tmAveCharWidth, metrics.tmAscent / 2};
}

bool IsBlack(const MemoryCanvas& shot, int x, int y) { return PixelAt(shot, x, y) == 0; }

// Topmost black pixel row of each graph column (256 when none).
std::vector<int> ColumnTops(const MemoryCanvas& shot, const Units& u)
{
    std::vector<int> tops(512, 256);
    for (int p = 0; p < 512; ++p)
        for (int y = 0; y < 256; ++y)
            if (IsBlack(shot, u.column + p, 13 * u.row + y)) {
                tops[p] = y;
                break;
            }
    return tops;
}

uint32_t Segment(const MemoryCanvas& shot, const Units& u, int s)
{
    return PixelAt(shot, 37 * u.column + ((2 + 3 * s) * u.column) / 2 + 1, 2 * u.row + 1);
}

void CheckLevelBar(const MemoryCanvas& shot, const Units& u)
{
    // Amplitude 32000 lights segments 0 to 15; the last one needs full scale.
    Check(Segment(shot, u, 0) == Rgb(0, 255, 0), "level bar: first segment lit green");
    Check(Segment(shot, u, 15) == Rgb(255, 0, 0), "level bar: segment 15 lit red");
    Check(Segment(shot, u, 16) == Rgb(128, 0, 0), "level bar: full-scale segment dim");
}

void CheckWaveform(const MemoryCanvas& shot, const Units& u)
{
    const std::vector<int> tops = ColumnTops(shot, u);
    int drawn = 0, high = 0;
    for (int top : tops) {
        drawn += top < 256;
        high += top < 16;
    }
    Check(drawn == 512, "waveform view: a line crosses every graph column");
    Check(high > 10, "waveform view: the tone swings close to the top");
}

void CheckSpectrum(const MemoryCanvas& shot, const Units& u)
{
    const std::vector<int> tops = ColumnTops(shot, u);
    int peak = 0;
    for (int p = 1; p < 512; ++p)
        if (tops[p] < tops[peak]) peak = p;
    const int expected = kToneBin * 512 / (kFftLength / 2);   // 2048 bins on 512 columns
    std::printf("      spectrum peak at graph column %d (row %d), tone column %d\n", peak, tops[peak], expected);
    Check(std::abs(peak - expected) <= 1, "linear spectrum: the peak stands at the tone's column");
    Check(tops[peak] <= 2, "linear spectrum: the peak reaches the top of the graph");
    bool quiet = true;
    for (int p = 0; p < 512; ++p)
        if (std::abs(p - expected) > 3 && tops[p] < 128) quiet = false;
    Check(quiet, "linear spectrum: nothing else rises above mid height");
}

void CheckPeakPanel(const MemoryCanvas& shot, const Units& u)
{
    const int x1 = 2 * u.column + 512, x2 = 74 * u.column;
    const int x = x1 < x2 ? x1 : x2, y = x1 < x2 ? 13 * u.row : u.row;
    std::string why;
    Check(CanvasShowsText(shot, x, y, "Peak Lv", &why), ("peak panel: label " + why).c_str());
    why.clear();
    Check(CanvasShowsText(shot, x, y + 3 * u.row, " 1001Hz", &why), ("peak panel: frequency 1001Hz " + why).c_str());
}

std::string ToneFile()
{
    const std::vector<int> tone = Sine(kToneAmplitude, kToneHz, kRate, kToneSamples);
    return WriteTempFile("e2e-tone.wav", PcmFile(1, uint32_t(kRate), 16, Samples16(tone)));
}

int RunEndToEnd(const char* exe, const char* shotPath)
{
    // The block and FFT lengths the checks assume (the defaults).
    WritePrivateProfileStringA("Trilvo", "deltatime", "2048", "TRILVO.INI");
    WritePrivateProfileStringA("Trilvo", "fftparam", "12", "TRILVO.INI");
    const std::string wav = ToneFile();
    Target target;
    if (wav.empty() || !Launch(exe, ("\"" + wav + "\" /P").c_str(), target)) return 1;
    const Units u = MeasureUnits();

    Check(WaitForIdle(target, kRunBound), "autoplay run ended with the controls idle");
    MemoryCanvas shot;
    Check(CaptureClient(target.window, shot), "window captured");
    CheckWaveform(shot, u);
    CheckLevelBar(shot, u);
    DestroyCanvas(shot);

    // Again in the linear spectrum view, started with the play button's command.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(target.window, WM_COMMAND, kViewLinearSpectrum, 0, SMTO_NORMAL, kStartBound, &result);
    SendMessageTimeoutA(target.window, WM_COMMAND, kPlayId, 0, SMTO_NORMAL, kStartBound, &result);
    Check(WaitForIdle(target, kRunBound), "second run ended with the controls idle");
    Check(CaptureClient(target.window, shot), "window captured");
    CheckSpectrum(shot, u);
    CheckPeakPanel(shot, u);
    CheckLevelBar(shot, u);
    Check(SaveCanvasBmp(shot, shotPath), "picture of the window saved");
    DestroyCanvas(shot);
    Check(Close(target), "program closed with exit status 0");
    std::printf("%d check(s) failed\n", failures);
    return failures ? 1 : 0;
}

// Power of `hz` in `samples` (Goertzel).
double PowerAt(const std::vector<double>& samples, double hz)
{
    const double coefficient = 2.0 * std::cos(2.0 * 3.141592653589793 * hz / kRate);
    double previous = 0.0, older = 0.0;
    for (double sample : samples) {
        const double current = sample + coefficient * previous - older;
        older = previous;
        previous = current;
    }
    return previous * previous + older * older - coefficient * previous * older;
}

int FindTone(const char* rawPath, double expectedHz)
{
    FILE* in = std::fopen(rawPath, "rb");
    if (!in) {
        std::printf("cannot read %s\n", rawPath);
        return 1;
    }
    std::vector<double> left;
    int16_t frame[2];
    while (std::fread(frame, sizeof frame, 1, in) == 1) left.push_back(frame[0]);
    std::fclose(in);
    // The loudest stretch of 4096 samples, then the strongest frequency in it.
    const size_t window = 4096, hop = 1024;
    size_t best = 0;
    double bestEnergy = -1.0;
    for (size_t start = 0; start + window <= left.size(); start += hop) {
        double energy = 0.0;
        for (size_t i = start; i < start + window; ++i) energy += left[i] * left[i];
        if (energy > bestEnergy) bestEnergy = energy, best = start;
    }
    const double rms = bestEnergy > 0 ? std::sqrt(bestEnergy / window) : 0.0;
    std::printf("recording: %u frames, loudest stretch rms %.0f\n", unsigned(left.size()), rms);
    Check(rms > 1000.0, "the sink heard the program");
    if (rms <= 1000.0) return 1;
    const std::vector<double> stretch(left.begin() + best, left.begin() + best + window);
    double peakHz = 0.0, peakPower = -1.0;
    for (double hz = 50.0; hz <= 15000.0; hz += 2.0) {
        const double power = PowerAt(stretch, hz);
        if (power > peakPower) peakPower = power, peakHz = hz;
    }
    std::printf("recording: strongest frequency %.0f Hz (tone %.1f Hz)\n", peakHz, expectedHz);
    Check(std::fabs(peakHz - expectedHz) <= 12.0, "the recording holds the tone");
    return failures ? 1 : 0;
}

struct BoxSearch {
    DWORD processId;
    HWND box;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM lParam)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner != search->processId || std::strcmp(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    search->box = window;
    return FALSE;
}

// Shows the text of every message box the program puts up (a refused file) and answers it.
void AnswerMessageBoxes(const Target& target)
{
    constexpr int kPolls = 20;   // a box follows the previous one at once, or not at all
    for (int quietPolls = 0; quietPolls < kPolls; ++quietPolls) {
        BoxSearch search = {target.process.dwProcessId, nullptr};
        EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
        if (!search.box) {
            Sleep(50);
            continue;
        }
        char text[512] = {};
        GetDlgItemTextA(search.box, 0xFFFF, text, sizeof text);
        std::printf("the program says: %s\n", text);
        PostMessageA(search.box, WM_COMMAND, IDOK, 0);
        quietPolls = 0;
        Sleep(50);
    }
}

// Plays a file with /P, waits for the run to end, saves the whole window, closes the program.
int Watch(const char* exe, const char* shotPath, const char* wav)
{
    Target target;
    if (!Launch(exe, ("\"" + std::string(wav) + "\" /P").c_str(), target)) return 1;
    constexpr DWORD kLongestRun = 3600 * 1000;
    if (!WaitForIdle(target, kLongestRun)) std::printf("the run did not end\n");
    AnswerMessageBoxes(target);
    WaitForIdle(target, kLongestRun);
    RECT frame;
    GetWindowRect(target.window, &frame);
    MemoryCanvas shot;
    bool saved = false;
    if (CreateCanvas(shot, frame.right - frame.left, frame.bottom - frame.top, 0)) {
        HDC source = GetWindowDC(target.window);
        BitBlt(shot.dc, 0, 0, shot.width, shot.height, source, 0, 0, SRCCOPY);
        ReleaseDC(target.window, source);
        saved = SaveCanvasBmp(shot, shotPath);
        DestroyCanvas(shot);
    }
    const bool closed = Close(target);
    return saved && closed ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "e2e") == 0) return RunEndToEnd(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "tone") == 0) return FindTone(argv[2], std::atof(argv[3]));
    if (argc == 5 && std::strcmp(argv[1], "watch") == 0) return Watch(argv[2], argv[3], argv[4]);
    std::printf("usage: playback_driver e2e EXE SHOT.bmp | tone RAW HZ | watch EXE SHOT.bmp FILE.wav\n");
    return 2;
}
