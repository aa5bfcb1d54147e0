#include "util/WinHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A MAX_PATH buffer with guard bytes behind it, to see that nothing is written past its end.
struct GuardedPath {
    static constexpr int kGuard = 64;
    char bytes[MAX_PATH + kGuard];

    explicit GuardedPath(const std::string& name) {
        std::memset(bytes, '#', sizeof bytes);
        std::memcpy(bytes, name.c_str(), name.size() + 1);
    }
    bool GuardIntact() const {
        for (int i = MAX_PATH; i < MAX_PATH + kGuard; ++i) {
            if (bytes[i] != '#') {
                return false;
            }
        }
        return true;
    }
};

std::string Join(const std::string& name, const char* modulePath) {
    GuardedPath path(name);
    const char* result = JoinBesideModulePath(path.bytes, modulePath);
    EXPECT_EQ(path.bytes, result);
    EXPECT_TRUE(path.GuardIntact()) << "written past the buffer for " << modulePath;
    return path.bytes;
}

TEST(PathBesideModule, JoinsTheNameToTheModulesDirectory) {
    EXPECT_EQ("C:\\Lessons\\index.htm", Join("index.htm", "C:\\Lessons\\app.exe"));
    EXPECT_EQ("C:\\index.htm", Join("index.htm", "C:\\app.exe"));
    EXPECT_EQ("\\\\server\\share\\x.ini", Join("x.ini", "\\\\server\\share\\app.exe"));
    EXPECT_EQ("C:\\a\\b\\c\\", Join("", "C:\\a\\b\\c\\app.exe"));
}

TEST(PathBesideModule, DoubleByteCharactersEndingIn0x5CAreNoSeparators) {
    // The second byte of ソ and 表 in code page 932 is the backslash's code.
    ASSERT_EQ('\\', "ソ"[1]);
    EXPECT_EQ("C:\\Lessons\\index.htm", Join("index.htm", "C:\\Lessons\\ソフト.exe"));
    EXPECT_EQ("C:\\表\\index.htm", Join("index.htm", "C:\\表\\app.exe"));
    EXPECT_EQ("", Join("index.htm", "表.exe"));
}

TEST(PathBesideModule, NoSeparatorLeavesAnEmptyPath) {
    EXPECT_EQ("", Join("index.htm", "app.exe"));
    EXPECT_EQ("", Join("index.htm", ""));
}

TEST(PathBesideModule, APathThatDoesNotFitLeavesAnEmptyPath) {
    const std::string name = "index.htm";
    // Directory, separator, name and terminator take exactly MAX_PATH bytes: it fits.
    const std::string fittingDirectory =
        "C:\\" + std::string(MAX_PATH - 3 - 1 - name.size() - 1, 'd');
    const std::string joined = Join(name, (fittingDirectory + "\\app.exe").c_str());
    EXPECT_EQ(fittingDirectory + "\\" + name, joined);
    EXPECT_EQ(static_cast<size_t>(MAX_PATH - 1), joined.size());

    // One byte more does not.
    const std::string longDirectory = fittingDirectory + "d";
    EXPECT_EQ("", Join(name, (longDirectory + "\\app.exe").c_str()));

    // A long name in a short directory, and a module path far longer than the buffer.
    EXPECT_EQ("", Join(std::string(MAX_PATH - 3, 'n'), "C:\\app.exe"));
    EXPECT_EQ("", Join(name, ("C:\\" + std::string(4 * MAX_PATH, 'd') + "\\app.exe").c_str()));
}

TEST(PathBesideModule, AnUnterminatedNameLeavesAnEmptyPath) {
    char buffer[MAX_PATH];
    std::memset(buffer, 'n', sizeof buffer);
    EXPECT_STREQ("", JoinBesideModulePath(buffer, "C:\\app.exe"));
}

TEST(PathBesideModule, TheRealModule) {
    char modulePath[MAX_PATH] = {};
    ASSERT_NE(0u, GetModuleFileNameA(nullptr, modulePath, MAX_PATH));
    std::string expected = modulePath;
    expected = expected.substr(0, expected.rfind('\\') + 1) + "index.htm";

    GuardedPath path("index.htm");
    EXPECT_EQ(path.bytes, PathBesideModule(path.bytes, GetModuleHandleA(nullptr)));
    EXPECT_EQ(expected, path.bytes);
    EXPECT_TRUE(path.GuardIntact());
}

LOGFONTA FontDescription(HFONT font) {
    LOGFONTA description = {};
    EXPECT_EQ(static_cast<int>(sizeof description),
              GetObjectA(font, sizeof description, &description));
    return description;
}

TEST(MakeFont, AsksForHeightWeightAndFace) {
    const HFONT plain = MakeFont(17, false, false, "ＭＳ Ｐゴシック");
    const HFONT bold = MakeFont(20, true, false, "ＭＳ Ｐ明朝");
    const HFONT italic = MakeFont(12, false, true, "Arial");
    ASSERT_NE(nullptr, plain);
    ASSERT_NE(nullptr, bold);
    ASSERT_NE(nullptr, italic);

    const LOGFONTA plainFont = FontDescription(plain);
    EXPECT_EQ(17, plainFont.lfHeight);
    EXPECT_EQ(FW_NORMAL, plainFont.lfWeight);
    EXPECT_EQ(0, plainFont.lfItalic);
    EXPECT_EQ(0, plainFont.lfUnderline);
    EXPECT_EQ(0, plainFont.lfStrikeOut);
    EXPECT_EQ(DEFAULT_CHARSET, plainFont.lfCharSet);
    EXPECT_STREQ("ＭＳ Ｐゴシック", plainFont.lfFaceName);

    const LOGFONTA boldFont = FontDescription(bold);
    EXPECT_EQ(20, boldFont.lfHeight);
    EXPECT_EQ(FW_BOLD, boldFont.lfWeight);
    EXPECT_EQ(0, boldFont.lfItalic);
    EXPECT_EQ(0, boldFont.lfUnderline);
    EXPECT_EQ(0, boldFont.lfStrikeOut);
    EXPECT_STREQ("ＭＳ Ｐ明朝", boldFont.lfFaceName);

    EXPECT_NE(0, FontDescription(italic).lfItalic);

    for (HFONT font : {plain, bold, italic}) {
        EXPECT_TRUE(DeleteObject(font));
    }
}

TEST(ScreenToClientRect, ClientOriginBecomesZero) {
    const HWND window = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 120, 80, 300, 200,
                                        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    // The window's frame puts the client origin away from the screen origin.
    EXPECT_NE(0, origin.x);
    EXPECT_NE(0, origin.y);

    RECT rect = {origin.x, origin.y, origin.x + 40, origin.y + 25};
    ScreenToClientRect(window, &rect);
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(40, rect.right);
    EXPECT_EQ(25, rect.bottom);

    RECT above = {origin.x - 10, origin.y - 5, origin.x + 7, origin.y + 9};
    ScreenToClientRect(window, &above);
    EXPECT_EQ(-10, above.left);
    EXPECT_EQ(-5, above.top);
    EXPECT_EQ(7, above.right);
    EXPECT_EQ(9, above.bottom);
    DestroyWindow(window);
}

} // namespace
