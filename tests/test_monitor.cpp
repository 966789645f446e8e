// The Monitor dialog's decisions for every kind of input format mask (as plain functions and in
// the real dialog), the way out when the device refuses everything, the decision that follows
// each returned buffer, and opening the monitor (block sizes, "Free:" line, refusals).
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "shell/globals.h"
#include "tests/support/main_window.h"
#include "tests/support/monitor_support.h"
#include "tests/support/support.h"

namespace {

// Masks of each kind (WAVE_FORMAT_ capability bits: 1M08 1S08 1M16 1S16 at 11, 22, 44 kHz).
constexpr DWORD kAllFormats = 0xFFF;
constexpr DWORD kNo16Bit = 0x333;          // 8-bit only, every rate
constexpr DWORD kOnly11kHz = 0x00F;        // every width, 11.025 kHz only
constexpr DWORD k22Not44 = 0x0FF;          // 11.025 and 22.05 kHz
constexpr DWORD kOnlyMono8At11 = 0x001;

const char kCannotRecord[] = "サウンドドライバは、この形式を録音できません。";

// ---- plain decisions ----

// One row per kind of mask and remembered format: the format after the dialog's adjustment,
// the checked buttons and the usable groups (rate group, 44 kHz button, width group).
struct PlanCase {
    DWORD mask;
    uint32_t rate;
    uint16_t bits;
    MonitorDialogPlan expected;
};
const PlanCase kPlanCases[] = {
    {kAllFormats, 44100, 16, {44100, 16, 106, 113, true, true, true}},
    {kAllFormats, 22050, 8, {22050, 8, 107, 114, true, true, true}},
    {kNo16Bit, 44100, 16, {44100, 8, 106, 114, true, true, false}},          // rate untouched
    {kOnly11kHz, 44100, 16, {11025, 16, 108, 113, false, false, true}},
    {kOnly11kHz, 22050, 8, {11025, 8, 108, 114, false, false, true}},
    {kOnlyMono8At11, 44100, 16, {11025, 8, 108, 114, false, false, false}},
    {0, 44100, 16, {11025, 8, 108, 114, false, false, false}},               // no device
    {k22Not44, 44100, 16, {22050, 16, 107, 113, true, false, true}},
    {k22Not44, 11025, 8, {11025, 8, 108, 114, true, false, true}},
    {0x010, 22050, 8, {22050, 8, 107, 114, true, false, false}},             // one 22 kHz bit
};

TEST(MonitorDialogPlan, FollowsEachKindOfInputMask)
{
    for (const PlanCase& c : kPlanCases) {
        SCOPED_TRACE(testing::Message() << "mask 0x" << std::hex << c.mask << std::dec << ", " << c.rate << " Hz "
                                        << c.bits << " bit");
        const MonitorDialogPlan plan = PlanMonitorDialog(c.mask, c.rate, c.bits);
        EXPECT_EQ(c.expected.rate, plan.rate);
        EXPECT_EQ(c.expected.bits, plan.bits);
        EXPECT_EQ(c.expected.rateButton, plan.rateButton);
        EXPECT_EQ(c.expected.widthButton, plan.widthButton);
        EXPECT_EQ(c.expected.rateGroupEnabled, plan.rateGroupEnabled);
        EXPECT_EQ(c.expected.rate44Enabled, plan.rate44Enabled);
        EXPECT_EQ(c.expected.widthGroupEnabled, plan.widthGroupEnabled);
    }
}

std::vector<std::pair<uint32_t, int>> Offered(DWORD mask)
{
    MonitorFormat formats[kMaxOfferedMonitorFormats];
    const int count = OfferedMonitorFormats(mask, formats, kMaxOfferedMonitorFormats);
    std::vector<std::pair<uint32_t, int>> list;
    for (int i = 0; i < count; ++i) list.push_back({formats[i].rate, formats[i].bits});
    return list;
}

TEST(MonitorDialogWayOut, OfferedFormatsFollowTheEnabledButtons)
{
    using List = std::vector<std::pair<uint32_t, int>>;
    EXPECT_EQ((List{{44100, 16}, {44100, 8}, {22050, 16}, {22050, 8}, {11025, 16}, {11025, 8}}), Offered(kAllFormats));
    EXPECT_EQ((List{{44100, 8}, {22050, 8}, {11025, 8}}), Offered(kNo16Bit));
    EXPECT_EQ((List{{22050, 16}, {22050, 8}, {11025, 16}, {11025, 8}}), Offered(k22Not44));
    EXPECT_EQ((List{{11025, 16}, {11025, 8}}), Offered(kOnly11kHz));
    EXPECT_EQ((List{{11025, 8}}), Offered(0));
    // A short list is cut, never overrun.
    MonitorFormat two[2];
    EXPECT_EQ(2, OfferedMonitorFormats(kAllFormats, two, 2));
}

std::vector<std::pair<uint32_t, int>> asked;
UINT RefuseAll(uint32_t rate, uint16_t bits)
{
    asked.push_back({rate, bits});
    return WAVERR_BADFORMAT;
}
UINT AcceptOnly11kHz8Bit(uint32_t rate, uint16_t bits)
{
    asked.push_back({rate, bits});
    return rate == 11025 && bits == 8 ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

TEST(MonitorDialogWayOut, LeavesOnlyWhenEveryOfferedFormatIsRefused)
{
    asked.clear();
    EXPECT_FALSE(AnyOfferedFormatAccepted(k22Not44, RefuseAll));
    // Only what the dialog offers is asked about: never 44.1 kHz here.
    EXPECT_EQ(Offered(k22Not44), asked);

    asked.clear();
    EXPECT_TRUE(AnyOfferedFormatAccepted(kAllFormats, AcceptOnly11kHz8Bit));
    EXPECT_EQ(asked.back(), (std::pair<uint32_t, int>{11025, 8}));
    // A device that offers 16 bits only at 11 kHz, and takes nothing: the way out is taken.
    EXPECT_FALSE(AnyOfferedFormatAccepted(kOnly11kHz & kAnyInput16Bit, RefuseAll));
}

TEST(MonitorBlockStep, OnMemoryEndsUnlessPausedAndStreamingGoesOnUntilStop)
{
    using Step = MonitorBlockStep;
    // On-memory, recording: the buffer came back full, or Stop handed it back.
    EXPECT_EQ(Step::kEndRecording, DecideMonitorBlockStep(kOnMemoryMode, 0, kStopNone, 22050, 22050));
    EXPECT_EQ(Step::kEndRecording, DecideMonitorBlockStep(kOnMemoryMode, 0, kStopFinalBufferBack, 22050, 300));
    // On-memory, paused: a piece; the rest of the buffer is queued.
    EXPECT_EQ(Step::kRequeue, DecideMonitorBlockStep(kOnMemoryMode, 1, kStopNone, 22050, 5000));
    EXPECT_EQ(Step::kEndAfterStop, DecideMonitorBlockStep(kOnMemoryMode, 1, kStopFinalBufferBack, 22050, 0));
    // A piece that filled the buffer as Pause came leaves nothing to queue: the run ends.
    EXPECT_EQ(Step::kEndRecording, DecideMonitorBlockStep(kOnMemoryMode, 1, kStopNone, 22050, 22050));
    // Streaming: paused or not, it goes on until Stop.
    EXPECT_EQ(Step::kRequeue, DecideMonitorBlockStep(kStreamingMode, 0, kStopNone, 16384, 16384));
    EXPECT_EQ(Step::kRequeue, DecideMonitorBlockStep(kStreamingMode, 1, kStopNone, 16384, 700));
    EXPECT_EQ(Step::kEndAfterStop, DecideMonitorBlockStep(kStreamingMode, 0, kStopFinalBufferBack, 16384, 700));
    EXPECT_EQ(Step::kEndAfterStop, DecideMonitorBlockStep(kStreamingMode, 1, kStopFinalBufferBack, 16384, 0));
}

TEST(MonitorQueryMessages, UnlistedAnswersGetANumberedTextWithinTheBuffer)
{
    char buffer[kTextBufferSize];
    EXPECT_STREQ(kCannotRecord, MonitorQueryMessage(WAVERR_BADFORMAT, buffer, sizeof buffer));
    const std::string other = MonitorQueryMessage(11, buffer, sizeof buffer);
    EXPECT_NE(std::string::npos, other.find("11")) << other;
    EXPECT_EQ(buffer, other);
    char tiny[8];
    std::memset(tiny, 'x', sizeof tiny);
    MonitorQueryMessage(1234, tiny, 6);
    EXPECT_EQ('\0', tiny[5]);
    EXPECT_EQ('x', tiny[6]);
}

// ---- the real dialog ----

struct DialogRun {
    MonitorDialogView view;
    INT_PTR result = 0;
};

void ReadThenEscape(HWND dialog, void* context)
{
    static_cast<DialogRun*>(context)->view = ReadMonitorDialog(dialog);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);   // what the dialog manager sends for Esc
}

DialogRun RunDialog(MonitorDialogScript script)
{
    DialogRun dialogRun;
    ArmMonitorDialogScript(script, &dialogRun);
    dialogRun.result = DialogBoxParamA(app.instance, "RecOpen", app.mainWindow, NEWFILE, 0);
    const MonitorDialogOutcome outcome = DisarmMonitorDialogScript();
    EXPECT_TRUE(outcome.scriptRan);
    EXPECT_FALSE(outcome.forcedClosed);
    return dialogRun;
}

class MonitorDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenMainWindow()); }
    void TearDown() override
    {
        EndBoxCapture();
        CloseMainWindow();
    }
};

void ExpectDialogMatchesPlan(DWORD mask, uint32_t rate, uint16_t bits)
{
    SCOPED_TRACE(testing::Message() << "mask 0x" << std::hex << mask << std::dec << " rate " << rate << " bits " << bits);
    g.inputFormats = mask;
    state.monitorRate = rate;
    state.monitorBits = bits;
    state.monitorChannels = 2;
    const MonitorDialogPlan plan = PlanMonitorDialog(mask, rate, bits);
    const DialogRun shown = RunDialog(ReadThenEscape);

    EXPECT_EQ(1, shown.result);                          // Esc acts as OK
    EXPECT_EQ(plan.rateButton, shown.view.rateButton);
    EXPECT_EQ(plan.widthButton, shown.view.widthButton);
    EXPECT_EQ(111, shown.view.channelButton);            // always mono
    for (int id : {109, 110, 111}) EXPECT_FALSE(shown.view.enabled[id]) << id;
    for (int id : {105, 107, 108}) EXPECT_EQ(plan.rateGroupEnabled, shown.view.enabled[id]) << id;
    EXPECT_EQ(plan.rate44Enabled, shown.view.enabled[106]);
    for (int id : {112, 113, 114}) EXPECT_EQ(plan.widthGroupEnabled, shown.view.enabled[id]) << id;
    EXPECT_EQ(plan.rate, state.monitorRate);
    EXPECT_EQ(plan.bits, state.monitorBits);
    EXPECT_EQ(1, state.monitorChannels);
}

TEST_F(MonitorDialog, ShowsWhatTheDeviceMaskAndEachKindOfMaskAllow)
{
    const DWORD deviceMask = g.inputFormats;
    ASSERT_NE(0u, deviceMask) << "the test needs an input device";
    ExpectDialogMatchesPlan(deviceMask, 44100, 16);
    ExpectDialogMatchesPlan(kAllFormats, 22050, 8);
    ExpectDialogMatchesPlan(kNo16Bit, 44100, 16);
    ExpectDialogMatchesPlan(kOnly11kHz, 44100, 16);
    ExpectDialogMatchesPlan(k22Not44, 44100, 16);
    ExpectDialogMatchesPlan(k22Not44, 11025, 8);
}

// The device refuses a width of 0 bits: both OK and Esc keep the dialog open with a warning
// owned by the dialog; choosing a width then lets Esc through.
struct RefusalRun {
    DialogRun dialog;
    size_t boxesAfterOk = 0, boxesAfterEsc = 0;
    bool openAfterOk = false, openAfterEsc = false;
    HWND window = nullptr;
};

void RefusedThenChosen(HWND dialog, void* context)
{
    RefusalRun* refusal = static_cast<RefusalRun*>(context);
    refusal->window = dialog;
    refusal->dialog.view = ReadMonitorDialog(dialog);
    ClickDialogButton(dialog, IDOK);
    refusal->boxesAfterOk = CapturedBoxes().size();
    refusal->openAfterOk = IsWindow(dialog) && IsWindowVisible(dialog);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    refusal->boxesAfterEsc = CapturedBoxes().size();
    refusal->openAfterEsc = IsWindow(dialog) && IsWindowVisible(dialog);
    ClickDialogButton(dialog, 113);
    // The real Esc key, through the dialog manager (the template has no Cancel button).
    PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
}

TEST_F(MonitorDialog, RefusedFormatKeepsTheDialogOpenForOkAndEsc)
{
    g.inputFormats = kAllFormats;
    state.monitorBits = 0;
    BeginBoxCapture();
    RefusalRun refusal;
    ArmMonitorDialogScript(RefusedThenChosen, &refusal);
    const INT_PTR result = DialogBoxParamA(app.instance, "RecOpen", app.mainWindow, NEWFILE, 0);
    const MonitorDialogOutcome outcome = DisarmMonitorDialogScript();
    const std::vector<CapturedBox> boxes = EndBoxCapture();

    ASSERT_TRUE(outcome.scriptRan);
    EXPECT_FALSE(outcome.forcedClosed);
    EXPECT_EQ(0, refusal.dialog.view.widthButton);       // no button for a width of 0
    EXPECT_EQ(1u, refusal.boxesAfterOk);
    EXPECT_TRUE(refusal.openAfterOk);
    EXPECT_EQ(2u, refusal.boxesAfterEsc);
    EXPECT_TRUE(refusal.openAfterEsc);
    EXPECT_EQ(1, result);
    EXPECT_EQ(16, state.monitorBits);
    ASSERT_EQ(2u, boxes.size());
    for (const CapturedBox& box : boxes) {
        EXPECT_EQ(kCannotRecord, box.text);
        EXPECT_EQ(refusal.window, box.owner);
        EXPECT_TRUE(box.warningIcon);
    }
}

// ---- the Monitor command and OpenMonitor ----

class MonitorSource : public MonitorDialog {};

TEST_F(MonitorSource, ChoosingTheMonitorOpensTheDeviceWithTheBlockSizeOfEachFormat)
{
    struct Case {
        uint32_t rate;
        uint16_t bits;
        uint32_t block;
    };
    const Case cases[] = {{44100, 16, 16384}, {44100, 8, 8192}, {22050, 16, 8192},
                          {22050, 8, 4096},   {11025, 16, 4096}, {11025, 8, 2048}};
    MonitorFormat offered[kMaxOfferedMonitorFormats];
    const int count = OfferedMonitorFormats(g.inputFormats, offered, kMaxOfferedMonitorFormats);
    int tried = 0;
    for (const Case& c : cases) {
        bool isOffered = false;
        for (int i = 0; i < count; ++i) isOffered |= offered[i].rate == c.rate && offered[i].bits == c.bits;
        if (!isOffered) continue;
        SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.bits << " bit");
        std::strcpy(g.fileName, "C:\\some\\earlier.wav");
        const MonitorDialogOutcome outcome = ChooseMonitorFormat(c.rate, c.bits);
        ASSERT_TRUE(outcome.scriptRan);
        EXPECT_EQ(kSourceMonitor, state.sourceKind);
        EXPECT_STREQ("", g.fileName);
        EXPECT_NE(nullptr, app.waveIn);
        EXPECT_EQ(kStreamingMode, state.bufferingMode);
        EXPECT_EQ(c.block, run.blockSize);
        EXPECT_EQ(0u, run.remainingBytes);               // the recorded count starts
        EXPECT_EQ(2147483603u, run.totalDataBytes);
        EXPECT_EQ(c.rate * c.bits / 8, source.avgBytesPerSec);
        char freeLine[64];
        std::snprintf(freeLine, sizeof freeLine, "Free: %7ld kb %6ld sec", 2097151L,
                      long(2147483647u / (c.rate * c.bits / 8)));
        std::string why;
        EXPECT_TRUE(WindowShowsText(Col(9), Row(10), freeLine, &why)) << freeLine << ": " << why;
        ++tried;
    }
    EXPECT_GT(tried, 0);
}

TEST_F(MonitorSource, RefusedFormatIsReportedAndLeavesNothingOpen)
{
    state.sourceKind = kSourceMonitor;
    state.monitorChannels = 1;
    state.monitorBits = 16;
    state.monitorRate = 0;                            // a rate no device records
    BeginBoxCapture();
    EXPECT_EQ(0, OpenMonitor());
    const std::vector<CapturedBox> boxes = EndBoxCapture();
    EXPECT_EQ(nullptr, app.waveIn);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_TRUE(boxes[0].warningIcon);
    EXPECT_EQ(app.mainWindow, boxes[0].owner);
    EXPECT_FALSE(boxes[0].text.empty());
    EXPECT_EQ(0, source.avgBytesPerSec);             // the format was not taken as the source's
}

}  // namespace
