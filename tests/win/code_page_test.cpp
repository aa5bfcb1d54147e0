// The tests run in a Japanese Wine: the ANSI functions speak code page 932.
#include <windows.h>

#include <gtest/gtest.h>

TEST(CodePage, AnsiCodePageIs932) {
    EXPECT_EQ(932u, GetACP());
}

TEST(CodePage, StringTableTextsComeBackInCodePage932) {
    char text[512] = {};
    LoadStringA(GetModuleHandleA(nullptr), 55535, text, 511);
    EXPECT_STREQ("問題の音を聞きます。", text);
}
