// What only the inside of the program shows: its paths, built in the system's code page (Wine
// cannot start a program whose name ends in a 0x5C trail byte).
#include "tools/drive/Drive.h"
#include "util/SystemLibraries.h"
#include "util/WinHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

extern "C" __declspec(dllimport) BOOL WINAPI GetProcessDEPPolicy(HANDLE, DWORD*, BOOL*); // XP SP3

TEST(Inside, PathsBesideTheExecutable) {
    struct Row {
        std::string module, settings, help; // help: the path of index.htm beside it
    };
    const std::string deep = "C:\\" + std::string(246, 'd'); // index.htm in it: 259 bytes
    const Row rows[] = {
        {"C:\\Lessons\\app.exe", "C:\\Lessons\\app.ini", "C:\\Lessons\\index.htm"},
        {"C:\\app.exe", "C:\\app.ini", "C:\\index.htm"},
        {"C:\\a.b\\app", "C:\\a.b\\app.ini", "C:\\a.b\\index.htm"},
        {"C:\\ソ表\\表.exe", "C:\\ソ表\\表.ini", "C:\\ソ表\\index.htm"},
        {"C:\\x\\app.表", "C:\\x\\app.ini", "C:\\x\\index.htm"},
        {"C:\\x\\app.tar.gz", "C:\\x\\app.tar.ini", "C:\\x\\index.htm"},
        {"app.exe", "app.ini", ""}, // no folder to put it in
        {deep + "\\app.exe", deep + "\\app.ini", deep + "\\index.htm"},
        {deep + "d\\app.exe", deep + "d\\app.ini", ""}, // the help page's path does not fit
    };
    for (const Row& row : rows) {
        char settings[MAX_PATH] = "junk";
        EXPECT_EQ(!row.settings.empty(), MakeSettingsPath(row.module.c_str(), settings, MAX_PATH));
        EXPECT_EQ(row.settings, settings) << row.module;
        char help[MAX_PATH] = "index.htm";
        EXPECT_EQ(row.help, JoinBesideModulePath(help, row.module.c_str())) << row.module;
    }
}

// XP's MIDI driver from the system folder (a plant kept there, WOW64's if 32-bit), no bare name
// from this or the current folder (Vista's keeps this one, Wine's the current), DEP if 32-bit.
TEST(Inside, LibrariesOnlyFromTheSystemFolder) {
    CopyFileA((drive::Here() + "\\beside.dll").c_str(), "C:\\windows\\system32\\wdmaud.drv", TRUE);
    ASSERT_TRUE(Load_SystemLibraries() && GetModuleHandleA("wdmaud.drv") &&
                SetCurrentDirectoryA((drive::Here() + "\\plants").c_str()));
    const bool vista = LOWORD(GetVersion()) == 6; // 6.0, whose search keeps this folder
    EXPECT_TRUE(!!LoadLibraryA("beside.dll") == vista && (vista || !LoadLibraryA("current.dll")));
    EXPECT_TRUE(LoadLibraryA((drive::Here() + "\\beside.dll").c_str()) &&
                LoadLibraryA((drive::Here() + "\\plants\\current.dll").c_str()));
#ifndef _WIN64
    DWORD dep = 0;
    BOOL permanent = FALSE;
    EXPECT_TRUE(GetProcessDEPPolicy(GetCurrentProcess(), &dep, &permanent) && dep == 1) << "no DEP";
#endif
}

// Fonts as Windows draws the face named (a fixed pitch outranks the name), smoothed, in Japanese.
TEST(Inside, FontsAskForTheFaceNamed) {
    for (int kind = 0; kind < 4; ++kind) { // bold, italic, both or neither
        LOGFONTA font = {};
        const HFONT made = MakeFont(17 + kind, kind & 1, kind & 2, "ＭＳ Ｐゴシック");
        EXPECT_TRUE(GetObjectA(made, sizeof font, &font) && DeleteObject(made) &&
                    font.lfQuality == DEFAULT_QUALITY && font.lfPitchAndFamily == DEFAULT_PITCH &&
                    (font.lfCharSet == DEFAULT_CHARSET || font.lfCharSet == SHIFTJIS_CHARSET))
            << kind;
    }
}

} // namespace
