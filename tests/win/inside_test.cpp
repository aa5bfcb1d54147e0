// What only the inside of the program shows: its paths, built in the system's
// code page (Wine cannot start a program whose name ends in a 0x5C trail byte);
// and the released executable as Windows' Properties show it.
#include "res/version.h"
#include "tools/drive/Drive.h"
#include "util/WinHelpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

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

// Explorer finds the texts under the translation the block names and shows
// them with the language (Windows XP's Version tab lists them all).
TEST(Inside, TheReleasedExecutableAsWindowsShowsIt) {
    const std::string exe = drive::Here() + "\\release\\tonarium.exe";
    std::vector<char> block(GetFileVersionInfoSizeA(exe.c_str(), nullptr));
    ASSERT_TRUE(!block.empty() &&
                GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(block.size()), &block[0]));
    const auto value = [&](const std::string& path) -> const void* {
        void* data = nullptr;
        UINT size = 0;
        return VerQueryValueA(&block[0], path.c_str(), &data, &size) && size > 0 ? data : nullptr;
    };
    const WORD* translation = static_cast<const WORD*>(value("\\VarFileInfo\\Translation"));
    ASSERT_NE(nullptr, translation);
    // Windows shows the language by its name, Wine in English: its number is compared.
    char strings[40] = {};
    std::snprintf(strings, sizeof strings, "%04x|\\StringFileInfo\\%04x%04x\\", translation[0],
                  translation[0], translation[1]);
    std::string texts(strings, 4);
    for (const char* name :
         {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
          "LegalTrademarks", "OriginalFilename", "ProductName", "ProductVersion"}) {
        const char* text = static_cast<const char*>(value(strings + 5 + std::string(name)));
        texts += std::string("|") + name + "=" + (text != nullptr ? text : "(none)");
    }
    EXPECT_EQ("0411|CompanyName=Tonarium developers|FileDescription=Tonarium"
              "|FileVersion=" TONARIUM_VERSION_TEXT "|InternalName=tonarium"
              "|LegalCopyright=Copyright (C) 2026 Tonarium developers"
              "|LegalTrademarks=No trademarks are registered|OriginalFilename=tonarium.exe"
              "|ProductName=Tonarium|ProductVersion=" TONARIUM_VERSION_TEXT,
              texts);
}

} // namespace
