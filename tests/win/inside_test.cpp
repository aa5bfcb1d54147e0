// What only the inside of the program shows: its menus, which Wine does not
// read across processes, and its paths, built in the system's code page.
#include "lesson/CLDl2.h"
#include "res/resource.h"
#include "util/ProgramValues.h"
#include "util/WinHelpers.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

bool Checked(HMENU menu, UINT command) {
    return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// The lesson runs modally on this thread; a thread timer looks at it from
// inside its loop and then ends it.
VOID CALLBACK Inspect_Lesson(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    const HWND lesson = FindWindowA("#32770", "Tonarium");
    ASSERT_NE(nullptr, lesson);
    // The window cannot be sized: move, minimise and close stay.
    const HMENU system = GetSystemMenu(lesson, FALSE);
    for (UINT gone : {SC_MAXIMIZE, SC_RESTORE, SC_SIZE}) {
        EXPECT_EQ(UINT(-1), GetMenuState(system, gone, MF_BYCOMMAND)) << gone;
    }
    for (UINT kept : {SC_MOVE, SC_MINIMIZE, SC_CLOSE}) {
        EXPECT_NE(UINT(-1), GetMenuState(system, kept, MF_BYCOMMAND)) << kept;
    }
    // Each option's check mark follows it as soon as the command is handled. (The
    // toolbar's buttons, which the tests outside see, copy their state from the marks.)
    const HMENU menu = GetMenu(lesson);
    EXPECT_FALSE(Checked(menu, IDM_DERIVED) || Checked(menu, IDM_SHOWANSWER));
    SendMessageA(lesson, WM_COMMAND, IDM_DERIVED, 0);
    EXPECT_TRUE(Checked(menu, IDM_DERIVED));
    EXPECT_FALSE(Checked(menu, IDM_SHOWANSWER));
    SendMessageA(lesson, WM_COMMAND, IDM_SHOWANSWER, 0);
    EXPECT_TRUE(Checked(menu, IDM_SHOWANSWER));
    // A mark set by hand is put right by the next message the lesson handles.
    CheckMenuItem(menu, IDM_DERIVED, MF_BYCOMMAND | MF_UNCHECKED);
    SendMessageA(lesson, WM_NULL, 0, 0);
    EXPECT_TRUE(Checked(menu, IDM_DERIVED));
    SendMessageA(lesson, WM_COMMAND, IDM_DERIVED, 0);
    SendMessageA(lesson, WM_COMMAND, IDM_SHOWANSWER, 0);
    EXPECT_FALSE(Checked(menu, IDM_DERIVED) || Checked(menu, IDM_SHOWANSWER));
    PostMessageA(lesson, WM_COMMAND, IDCANCEL, 0);
}

TEST(Inside, MenuMarksFollowTheOptionsAndTheWindowCannotBeSized) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    g_programInstance = GetModuleHandleA(nullptr);
    g_settingsPath[0] = '\0'; // a lesson without a settings file
    SetTimer(nullptr, 0, 200, Inspect_Lesson);
    CLDl2 lesson(nullptr, IDD_LESSON, g_programInstance);
    EXPECT_EQ(0, lesson.Run_Modal());
}

TEST(Inside, PathsBesideTheExecutable) {
    struct Row {
        std::string module, settings, help; // help: the path of index.htm beside it
    };
    const Row rows[] = {
        {"C:\\Lessons\\app.exe", "C:\\Lessons\\app.ini", "C:\\Lessons\\index.htm"},
        {"C:\\app.exe", "C:\\app.ini", "C:\\index.htm"},
        {"C:\\a.b\\app", "C:\\a.b\\app.ini", "C:\\a.b\\index.htm"},
        {"C:\\ソ表\\表.exe", "C:\\ソ表\\表.ini", "C:\\ソ表\\index.htm"},
        {"C:\\x\\app.表", "C:\\x\\app.ini", "C:\\x\\index.htm"},
        {"C:\\x\\app.tar.gz", "C:\\x\\app.tar.ini", "C:\\x\\index.htm"},
        {"app.exe", "app.ini", ""}, // no folder to put it in
    };
    for (const Row& row : rows) {
        char settings[MAX_PATH] = "junk";
        EXPECT_EQ(!row.settings.empty(), MakeSettingsPath(row.module.c_str(), settings, MAX_PATH));
        EXPECT_EQ(row.settings, settings) << row.module;
        char help[MAX_PATH] = "index.htm";
        EXPECT_EQ(row.help, JoinBesideModulePath(help, row.module.c_str())) << row.module;
    }
}

} // namespace
