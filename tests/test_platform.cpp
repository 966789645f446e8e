// The build and run environment the program relies on: Shift-JIS literals, code page 932,
// IEEE double arithmetic and two-digit printf exponents.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <windows.h>

#include "shell/globals.h"

TEST(Platform, JapaneseLiteralsAreShiftJis)
{
    EXPECT_EQ(8u, std::strlen("ＬＥＦＴ"));
    EXPECT_EQ(0, std::memcmp("ＬＥＦＴ", "\x82\x6B\x82\x64\x82\x65\x82\x73", 8));
    EXPECT_EQ(932u, GetACP());
}

TEST(Platform, PrintfUsesTwoExponentDigits)
{
    char text[32];
    std::snprintf(text, sizeof text, "%7.1e", 66998240.0);
    EXPECT_STREQ("6.7e+07", text);
    std::snprintf(text, sizeof text, "%7.1e", 0.0);
    EXPECT_STREQ("0.0e+00", text);
}

TEST(Platform, StateRecordStartsWithItsInitialValues)
{
    ResetGlobals();
    EXPECT_EQ(15, state.memorySizeMB);
    EXPECT_EQ(kStreamingMode, state.bufferingMode);
    EXPECT_EQ(kCmdViewWaveform, state.viewMode);
    EXPECT_EQ(2048, state.timeResolution);
    EXPECT_EQ(12, state.fftExponent);
    EXPECT_EQ(16, state.monitorBits);
    EXPECT_EQ(2, state.monitorChannels);
    EXPECT_EQ(44100u, state.monitorRate);
    EXPECT_STREQ("Trilvo", app.className);
}
