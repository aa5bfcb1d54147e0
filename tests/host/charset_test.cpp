// The program's texts are compiled to code page 932 whatever the build.
#include <gtest/gtest.h>

TEST(Charset, LiteralsAreCodePage932) {
    EXPECT_STREQ("正解", "\x90\xb3\x89\xf0");
    EXPECT_STREQ("正解率 %d％", "\x90\xb3\x89\xf0\x97\xa6 %d\x81\x93");
    EXPECT_STREQ("ﾚｯｽﾝ", "\xda\xaf\xbd\xdd"); // half-width katakana stay single bytes
}
