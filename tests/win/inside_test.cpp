// What only the inside of the program shows: its paths, built in the system's code page (Wine
// cannot start a program whose name ends in a 0x5C trail byte).
#include "tools/drive/Drive.h"
#include "util/SystemLibraries.h"
#include "util/WinHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The program's lookups through this executable's imports: XP has no SetDefaultDllDirectories (Wine
// has); Wine takes SetDllDirectoryA(NULL), Windows' current folder back, for "": its argument kept.
std::string g_directory = "none";
BOOL WINAPI Set_Directory(LPCSTR path) {
    g_directory = path ? path : "NULL";
    return TRUE;
}
decltype(&GetProcAddress) g_real = nullptr; // the real one, taken before the imports change
FARPROC WINAPI Look_Up(HMODULE dll, LPCSTR name) {
    const std::string asked = HIWORD(name) ? name : "";
    return asked == "SetDllDirectoryA"
               ? reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&Set_Directory))
           : asked == "SetDefaultDllDirectories" && LOBYTE(GetVersion()) == 5 ? nullptr
                                                                              : g_real(dll, name);
}

// XP's MIDI driver from the system folder (a plant there, WOW64's if 32-bit), no bare name from
// this folder (XP and Vista search it) or the current one (Wine's search does), DEP if 32-bit.
TEST(Inside, LibrariesOnlyFromTheSystemFolder) {
    CopyFileA((drive::Here() + "\\beside.dll").c_str(), "C:\\windows\\system32\\wdmaud.drv", TRUE);
    const bool kept = LOBYTE(GetVersion()) == 5 || LOWORD(GetVersion()) == 6; // XP, Vista (6.0)
    // The slot of GetProcAddress among this executable's imports made Look_Up's.
    const auto base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + PIMAGE_DOS_HEADER(base)->e_lfanew);
    const auto slots = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
    const auto first = reinterpret_cast<ULONG_PTR*>(base + slots.VirtualAddress);
    DWORD was = 0;
    g_real = &GetProcAddress;
    ASSERT_TRUE(slots.Size && VirtualProtect(first, slots.Size, PAGE_EXECUTE_READWRITE, &was));
    std::replace(first, first + slots.Size / sizeof *first, reinterpret_cast<ULONG_PTR>(g_real),
                 reinterpret_cast<ULONG_PTR>(&Look_Up));
    ASSERT_TRUE(Load_SystemLibraries() && GetModuleHandleA("wdmaud.drv") &&
                SetCurrentDirectoryA((drive::Here() + "\\plants").c_str()));
    EXPECT_TRUE(!!LoadLibraryA("beside.dll") == kept && (kept || !LoadLibraryA("current.dll")));
    EXPECT_EQ(kept ? "" : "none", g_directory) << "SetDllDirectoryA's folder";
    EXPECT_TRUE(LoadLibraryA((drive::Here() + "\\beside.dll").c_str()) &&
                LoadLibraryA((drive::Here() + "\\plants\\current.dll").c_str()));
#ifndef _WIN64
    DWORD dep = 0;
    BOOL permanent = FALSE;
    EXPECT_TRUE(GetProcessDEPPolicy(GetCurrentProcess(), &dep, &permanent) && dep == 1) << "no DEP";
#endif
}

} // namespace
