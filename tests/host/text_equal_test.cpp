#include "media/TextEqual.h"

#include <gtest/gtest.h>

namespace {

TEST(TextEqualTest, DeviceTypeIgnoresLetterCase) {
    EXPECT_TRUE(TextEqual("cdaudio", "cdaudio", false));
    EXPECT_TRUE(TextEqual("CDAUDIO", "cdaudio", false));
    EXPECT_TRUE(TextEqual("CDAudio", "cdaudio", false));
    EXPECT_TRUE(TextEqual("cdaudio", "CdAuDiO", false));
    // The ends of the folded range: 'A' 65 / 'a' 97 and 'Z' 90 / 'z' 122.
    EXPECT_TRUE(TextEqual("AZ", "az", false));
    EXPECT_TRUE(TextEqual("az", "AZ", false));
}

TEST(TextEqualTest, LengthDecidesFirst) {
    EXPECT_FALSE(TextEqual("cdaudio2", "cdaudio", false));
    EXPECT_FALSE(TextEqual("cdaudi", "cdaudio", false));
    EXPECT_FALSE(TextEqual("cd audio", "cdaudio", false));
    EXPECT_FALSE(TextEqual("", "cdaudio", false));
    EXPECT_FALSE(TextEqual("cdaudio", "", true));
    EXPECT_TRUE(TextEqual("", "", false));
    EXPECT_TRUE(TextEqual("", "", true));
}

TEST(TextEqualTest, NullEqualsNothing) {
    EXPECT_FALSE(TextEqual(nullptr, "cdaudio", false));
    EXPECT_FALSE(TextEqual("cdaudio", nullptr, false));
    EXPECT_FALSE(TextEqual(nullptr, "", true));
    EXPECT_FALSE(TextEqual(nullptr, nullptr, false));
    EXPECT_FALSE(TextEqual(nullptr, nullptr, true));
}

TEST(TextEqualTest, ExactFlagKeepsCase) {
    EXPECT_TRUE(TextEqual("cdaudio", "cdaudio", true));
    EXPECT_FALSE(TextEqual("CDAUDIO", "cdaudio", true));
    EXPECT_FALSE(TextEqual("cdaudiO", "cdaudio", true));
}

TEST(TextEqualTest, OnlyLettersFold) {
    // Inside 'A'..'z' (65..122) the only pairs 32 apart are the letters
    // (65..90 with 97..122); every other pair 32 apart has one side outside.
    EXPECT_FALSE(TextEqual("[", "{", false)); // 91 / 123
    EXPECT_FALSE(TextEqual("@", "`", false)); // 64 / 96
    EXPECT_FALSE(TextEqual("^", "~", false)); // 94 / 126
    EXPECT_FALSE(TextEqual("?", "_", false)); // 63 / 95
    EXPECT_FALSE(TextEqual("1", "Q", false)); // 49 / 81
    // Letters that differ by other amounts stay different.
    EXPECT_FALSE(TextEqual("a", "b", false));
    EXPECT_FALSE(TextEqual("A", "b", false));
    EXPECT_FALSE(TextEqual("[", "z", false));
    // The mismatch may come after a folded pair.
    EXPECT_FALSE(TextEqual("Ab", "aB2", false));
    EXPECT_FALSE(TextEqual("Abc", "aBd", false));
}

TEST(TextEqualTest, HighBytesCompareExactly) {
    // Half-width katakana ｱ (0xB1) and ﾑ (0xD1) are 32 apart, as are the
    // bytes 0xE1 and 0xC1; none of them may fold.
    EXPECT_FALSE(TextEqual("ｱ", "ﾑ", false));
    EXPECT_FALSE(TextEqual("\xB1", "\xD1", false));
    EXPECT_FALSE(TextEqual("\xE1", "\xC1", false));
    EXPECT_FALSE(TextEqual("\xC1", "\xE1", false));
    // 0xC1 and 0xDA would be 'A' and 'Z' plus 128: still not letters.
    EXPECT_FALSE(TextEqual("\xC1\xDA", "\xE1\xFA", false));
    EXPECT_TRUE(TextEqual("\x83\x5C", "\x83\x5C", false)); // ソ
    EXPECT_FALSE(TextEqual("\x83\x5C", "\x84\x5C", false));
    EXPECT_TRUE(TextEqual("ﾄﾞ", "ﾄﾞ", false));
    EXPECT_FALSE(TextEqual("ﾄﾞ", "ﾚ ", false));
}

} // namespace
