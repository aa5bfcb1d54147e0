#include <gtest/gtest.h>
TEST(Smoke, Charset) { EXPECT_STREQ("正解", "\x90\xb3\x89\xf0"); }
