#include "lesson/SettingsPath.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr std::size_t kPathSize = 260;

// The settings path of a module path, or "<none>" when it does not fit.
std::string Settings_Path(const std::string& modulePath) {
    char out[kPathSize + 8];
    std::memset(out, '#', sizeof out);
    const bool made = MakeSettingsPath(modulePath.c_str(), out, kPathSize);
    for (std::size_t i = kPathSize; i < sizeof out; ++i) {
        EXPECT_EQ('#', out[i]) << "byte " << i << " written past the buffer";
    }
    EXPECT_EQ(made, out[0] != '\0');
    return made ? std::string(out) : std::string("<none>");
}

} // namespace

TEST(SettingsPath, ReplacesOrAddsTheExtension) {
    EXPECT_EQ("C:\\Tonarium\\tonarium.ini", Settings_Path("C:\\Tonarium\\tonarium.exe"));
    EXPECT_EQ("C:\\Tonarium\\tonarium.ini", Settings_Path("C:\\Tonarium\\tonarium"));
    EXPECT_EQ("C:\\a.b\\c.d\\tonarium.ini", Settings_Path("C:\\a.b\\c.d\\tonarium"));
    EXPECT_EQ("C:\\a.b\\tonarium.ini", Settings_Path("C:\\a.b\\tonarium.exe"));
    EXPECT_EQ("C:/a.b/tonarium.ini", Settings_Path("C:/a.b/tonarium"));
    EXPECT_EQ("C:tonarium.ini", Settings_Path("C:tonarium"));
    EXPECT_EQ("a.b:tonarium.ini", Settings_Path("a.b:tonarium")); // a colon ends the folder part
    EXPECT_EQ("C:\\x\\ear.training.ini", Settings_Path("C:\\x\\ear.training.exe"));
    EXPECT_EQ("C:\\x\\tonarium.ini", Settings_Path("C:\\x\\tonarium."));
    EXPECT_EQ("C:\\x\\tonarium.ini", Settings_Path("C:\\x\\tonarium.longextension"));
    // A Japanese folder name in code page 932 (音感 = 89 b9 8a b4).
    EXPECT_EQ("C:\\\x89\xb9\x8a\xb4\\tonarium.ini",
              Settings_Path("C:\\\x89\xb9\x8a\xb4\\tonarium.exe"));
    EXPECT_EQ("tonarium.ini", Settings_Path("tonarium.exe"));
}

TEST(SettingsPath, ConvertsInPlace) {
    char path[kPathSize] = "C:\\Tonarium\\tonarium.exe";
    EXPECT_TRUE(MakeSettingsPath(path, path, sizeof path));
    EXPECT_STREQ("C:\\Tonarium\\tonarium.ini", path);
}

TEST(SettingsPath, TooLongLeavesThePathEmpty) {
    const std::string folder = "C:\\" + std::string(240, 'f') + "\\"; // 244 bytes
    // Exactly at the limit: 259 bytes and the terminating zero.
    const std::string fitsWithDot = folder + std::string(11, 'n') + ".exe";
    EXPECT_EQ(folder + std::string(11, 'n') + ".ini", Settings_Path(fitsWithDot));
    const std::string fitsWithoutDot = folder + std::string(11, 'n');
    EXPECT_EQ(fitsWithoutDot + ".ini", Settings_Path(fitsWithoutDot));
    // One byte more does not fit.
    EXPECT_EQ("<none>", Settings_Path(folder + std::string(12, 'n') + ".exe"));
    EXPECT_EQ("<none>", Settings_Path(folder + std::string(12, 'n')));
    // A short extension grows into "ini": the module path fits, the result does not.
    EXPECT_EQ("<none>", Settings_Path(folder + std::string(13, 'n') + ".x"));
    EXPECT_EQ("<none>", Settings_Path(std::string(400, 'p')));

    char small[4] = "abc";
    EXPECT_FALSE(MakeSettingsPath("a.exe", small, 0));
    EXPECT_STREQ("abc", small);
    EXPECT_FALSE(MakeSettingsPath(nullptr, small, sizeof small));
    EXPECT_STREQ("", small);
}
