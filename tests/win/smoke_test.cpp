#include <windows.h>
#include <gtest/gtest.h>
TEST(Smoke, AnsiCodePage) { EXPECT_EQ(932u, GetACP()); }
TEST(Smoke, String) {
    char text[512] = {};
    LoadStringA(GetModuleHandleA(nullptr), 55535, text, 511);
    EXPECT_STREQ("問題の音を聞きます。", text);
}
