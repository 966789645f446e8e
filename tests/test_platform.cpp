// The build and run environment the program's texts rely on: string literals compiled to
// Shift-JIS, and code page 932 for the ANSI calls that draw them.
#include <gtest/gtest.h>
#include <cstring>
#include <windows.h>

TEST(Platform, JapaneseLiteralsAreShiftJis)
{
    EXPECT_EQ(8u, std::strlen("ＬＥＦＴ"));
    EXPECT_EQ(0, std::memcmp("ＬＥＦＴ", "\x82\x6B\x82\x64\x82\x65\x82\x73", 8));
    EXPECT_EQ(932u, GetACP());
}
