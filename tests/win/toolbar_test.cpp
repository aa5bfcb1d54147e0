#include "framework/CLToolbar.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

const DWORD kLessonToolbarStyle = 0x50000124;
const WPARAM kNoCommandReport = 0x08000000;

struct MenuSelect {
    WPARAM wParam;
    LPARAM lParam;
};

// The WM_MENUSELECT reports that reached the dialog, in order.
std::vector<MenuSelect> g_reports;

INT_PTR CALLBACK Recording_DialogProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_MENUSELECT:
        g_reports.push_back({wParam, lParam});
        return TRUE;
    default:
        return FALSE;
    }
}

WPARAM Hover_Report(int command) {
    return MAKEWPARAM(static_cast<WORD>(command), static_cast<WORD>(MF_CHECKED));
}

void Pump_Messages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Runs the message loop until the toolbar's hover timer ticks (the tick is
// dispatched); returns the milliseconds waited, or -1 when no tick came.
int Run_UntilHoverTick(HWND toolbar, DWORD limitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= limitMs) {
            return -1;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, limitMs - elapsed, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
            if (message.hwnd == toolbar && message.message == WM_TIMER &&
                message.wParam == CLToolbar::kHoverTimer) {
                return static_cast<int>(GetTickCount() - start);
            }
        }
    }
}

std::string Tip_Text(HWND toolbar, UINT_PTR id) {
    const HWND tips = reinterpret_cast<HWND>(SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    char text[1024] = "";
    TTTOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = toolbar;
    tool.uId = id;
    tool.lpszText = text;
    SendMessageA(tips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    return text;
}

// Ids of the tools that the toolbar's tool-tip control holds for button indices.
std::set<UINT_PTR> Index_Tools(HWND toolbar) {
    const HWND tips = reinterpret_cast<HWND>(SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    std::set<UINT_PTR> ids;
    const int count = static_cast<int>(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[1024] = "";
        TTTOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V1_SIZE;
        tool.lpszText = text;
        if (SendMessageA(tips, TTM_ENUMTOOLSA, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&tool)) != 0 &&
            tool.hwnd == toolbar && (tool.uFlags & TTF_IDISHWND) == 0 && tool.uId < 100) {
            ids.insert(tool.uId);
        }
    }
    return ids;
}

int Tool_Count(HWND toolbar) {
    const HWND tips = reinterpret_cast<HWND>(SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    return static_cast<int>(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0));
}

TBBUTTON Button_At(HWND toolbar, int index) {
    TBBUTTON button = {};
    SendMessageA(toolbar, TB_GETBUTTON, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&button));
    return button;
}

// The lesson dialog's template with the toolbar built as the lesson builds it.
class ToolbarTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
        g_reports.clear();
        instance_ = GetModuleHandleA(nullptr);
        dialog_ = CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_LESSON), nullptr,
                                     Recording_DialogProc, 0);
        ASSERT_NE(nullptr, dialog_);
        menu_ = GetMenu(dialog_);
        ASSERT_NE(nullptr, menu_);
    }

    void TearDown() override {
        DestroyWindow(dialog_);
        g_reports.clear();
    }

    void Build_LessonToolbar(bool withNotifyWindow = true) {
        toolbar_ =
            toolbarObject_.Create(dialog_, IDC_TOOLBAR, instance_, 0, 0, 1, 1, kLessonToolbarStyle);
        ASSERT_NE(nullptr, toolbar_);
        ASSERT_TRUE(toolbarObject_.Add_Button(TBSTYLE_SEP, 0, nullptr, 0, nullptr));
        ASSERT_TRUE(
            toolbarObject_.Add_Button(TBSTYLE_BUTTON, IDB_LISTEN, nullptr, IDC_LISTEN, nullptr));
        ASSERT_TRUE(toolbarObject_.Add_Button(TBSTYLE_SEP, 0, nullptr, 0, nullptr));
        ASSERT_TRUE(
            toolbarObject_.Add_Button(TBSTYLE_BUTTON, IDB_DERIVED, nullptr, IDC_DERIVED, nullptr));
        ASSERT_TRUE(toolbarObject_.Add_Button(TBSTYLE_BUTTON, IDB_SHOWANSWER, nullptr,
                                              IDC_SHOWANSWER, nullptr));
        if (withNotifyWindow) {
            toolbarObject_.Set_NotifyWindow(dialog_);
        }
        toolbarObject_.Set_ToolTips(menu_);
        RECT buttons;
        toolbarObject_.Get_ButtonsRect(&buttons);
        RECT client;
        GetClientRect(dialog_, &client);
        SetWindowPos(toolbar_, nullptr, 0, 0, client.right, buttons.bottom + 2, SWP_NOZORDER);
        UpdateWindow(dialog_);
        Pump_Messages();
        g_reports.clear();
    }

    RECT Item_Rect(int index) const {
        RECT rect = {};
        SendMessageA(toolbar_, TB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&rect));
        return rect;
    }

    // Puts the cursor on a toolbar client point and reports it as the mouse would.
    void Move_Cursor(int x, int y, bool sendMouseMove = true) {
        POINT point = {x, y};
        ClientToScreen(toolbar_, &point);
        ASSERT_TRUE(SetCursorPos(point.x, point.y));
        if (sendMouseMove) {
            SendMessageA(toolbar_, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        }
    }

    void Move_CursorToCentre(int index) {
        const RECT item = Item_Rect(index);
        Move_Cursor((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    }

    // True when the hover timer was running (it is stopped by the check).
    bool Hover_TimerRunning() { return KillTimer(toolbar_, CLToolbar::kHoverTimer) != FALSE; }

    HINSTANCE instance_ = nullptr;
    HWND dialog_ = nullptr;
    HMENU menu_ = nullptr;
    HWND toolbar_ = nullptr;
    CLToolbar toolbarObject_;
};

TEST_F(ToolbarTest, SeparatorsCarryNoCommandAndNoImage) {
    Build_LessonToolbar();
    ASSERT_EQ(5, SendMessageA(toolbar_, TB_BUTTONCOUNT, 0, 0));
    const int commands[] = {0, IDC_LISTEN, 0, IDC_DERIVED, IDC_SHOWANSWER};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(commands[i], toolbarObject_.Get_Command(i)) << i;
    }
    EXPECT_EQ(-1, Button_At(toolbar_, 0).iBitmap);
    EXPECT_EQ(-1, Button_At(toolbar_, 2).iBitmap);
    EXPECT_EQ(TBSTYLE_SEP, Button_At(toolbar_, 2).fsStyle);
    EXPECT_EQ(0, Button_At(toolbar_, 1).iBitmap);
    EXPECT_EQ(1, Button_At(toolbar_, 3).iBitmap);
    EXPECT_EQ(2, Button_At(toolbar_, 4).iBitmap);
    EXPECT_EQ(0, toolbarObject_.Get_Command(5));
    // Only the command buttons have tools.
    EXPECT_EQ((std::set<UINT_PTR>{1, 3, 4}), Index_Tools(toolbar_));
}

TEST_F(ToolbarTest, CreateAnnouncesTheRecordSizeAndKeepsItsWindow) {
    Build_LessonToolbar();
    EXPECT_EQ(IDC_TOOLBAR, GetDlgCtrlID(toolbar_));
    EXPECT_EQ(GetDlgItem(dialog_, IDC_TOOLBAR), toolbar_);
    EXPECT_EQ(kLessonToolbarStyle,
              static_cast<DWORD>(GetWindowLongA(toolbar_, GWL_STYLE)) & kLessonToolbarStyle);
    EXPECT_EQ(toolbar_, toolbarObject_.Create(dialog_, 999, instance_, 0, 0, 5, 5, 0));
    EXPECT_EQ(nullptr, GetDlgItem(dialog_, 999));
    EXPECT_TRUE(toolbarObject_.Subclassed());
}

TEST_F(ToolbarTest, TipsAreTheMenuTextsWithoutMnemonic) {
    Build_LessonToolbar();
    EXPECT_EQ("音を聞く", Tip_Text(toolbar_, 1));
    EXPECT_EQ("派生音", Tip_Text(toolbar_, 3));
    EXPECT_EQ("正解を表示", Tip_Text(toolbar_, 4));

    // An accelerator after a tab is cut off as well.
    ModifyMenuA(menu_, IDC_DERIVED, MF_BYCOMMAND | MF_STRING, IDC_DERIVED, "派生音\tCtrl+D");
    toolbarObject_.Set_ToolTips(menu_);
    EXPECT_EQ("派生音", Tip_Text(toolbar_, 3));
}

TEST_F(ToolbarTest, WithoutAMenuItemTheTipIsTheHelpText) {
    Build_LessonToolbar();
    toolbarObject_.Set_ToolTips(nullptr);
    EXPECT_EQ("問題の音を聞きます。", Tip_Text(toolbar_, 1));
    EXPECT_EQ("問題に派生音も含めます。", Tip_Text(toolbar_, 3));

    DeleteMenu(menu_, IDC_SHOWANSWER, MF_BYCOMMAND);
    toolbarObject_.Set_ToolTips(menu_);
    EXPECT_EQ("音を聞く", Tip_Text(toolbar_, 1));
    EXPECT_EQ("問題に解答した後に正解を表示します。", Tip_Text(toolbar_, 4));

    // Neither menu item nor help text: the tool exists with an empty text.
    ASSERT_TRUE(toolbarObject_.Add_Button(TBSTYLE_BUTTON, IDB_LISTEN, nullptr, 40000, nullptr));
    toolbarObject_.Set_ToolTips(menu_);
    EXPECT_EQ((std::set<UINT_PTR>{1, 3, 4, 5}), Index_Tools(toolbar_));
    EXPECT_EQ("", Tip_Text(toolbar_, 5));
}

TEST_F(ToolbarTest, SetToolTipsAgainReplacesTheTools) {
    Build_LessonToolbar();
    const int count = Tool_Count(toolbar_);
    toolbarObject_.Set_ToolTips(menu_);
    toolbarObject_.Set_ToolTips(nullptr);
    EXPECT_EQ(count, Tool_Count(toolbar_));
    EXPECT_EQ("問題の音を聞きます。", Tip_Text(toolbar_, 1));
}

TEST_F(ToolbarTest, AddButtonWithLabelAndTip) {
    toolbar_ =
        toolbarObject_.Create(dialog_, IDC_TOOLBAR, instance_, 0, 0, 1, 1, kLessonToolbarStyle);
    ASSERT_NE(nullptr, toolbar_);
    // A caller's text followed by more text must still be one label.
    const char twoTexts[] = "Play\0Extra\0";
    ASSERT_TRUE(toolbarObject_.Add_Button(TBSTYLE_BUTTON, 0, twoTexts, 41000, "tip one"));
    ASSERT_TRUE(toolbarObject_.Add_Button(TBSTYLE_BUTTON, 0, "Stop", 41001, nullptr));
    EXPECT_EQ(0, Button_At(toolbar_, 0).iString);
    EXPECT_EQ(1, Button_At(toolbar_, 1).iString);
    EXPECT_EQ(-1, Button_At(toolbar_, 0).iBitmap);
    EXPECT_EQ(41000, toolbarObject_.Get_Command(0));
    char text[64] = "";
    SendMessageA(toolbar_, TB_GETBUTTONTEXTA, 41000, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("Play", text);
    // Only the button given a tip has a tool, under its index.
    EXPECT_EQ((std::set<UINT_PTR>{0}), Index_Tools(toolbar_));
    EXPECT_EQ("tip one", Tip_Text(toolbar_, 0));

    // A button with neither bitmap nor label counts as a separator.
    ASSERT_TRUE(toolbarObject_.Add_Button(TBSTYLE_BUTTON, 0, nullptr, 41002, "tip two"));
    EXPECT_EQ(0, toolbarObject_.Get_Command(2));
    EXPECT_EQ((std::set<UINT_PTR>{0}), Index_Tools(toolbar_));
}

TEST_F(ToolbarTest, UpdateStateCopiesTheMenuState) {
    Build_LessonToolbar();
    toolbarObject_.Update_State(menu_);
    EXPECT_FALSE(SendMessageA(toolbar_, TB_ISBUTTONCHECKED, IDC_DERIVED, 0));
    EXPECT_TRUE(SendMessageA(toolbar_, TB_ISBUTTONENABLED, IDC_SHOWANSWER, 0));

    CheckMenuItem(menu_, IDC_DERIVED, MF_BYCOMMAND | MF_CHECKED);
    EnableMenuItem(menu_, IDC_SHOWANSWER, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(menu_, IDC_LISTEN, MF_BYCOMMAND | MF_DISABLED);
    toolbarObject_.Update_State(menu_);
    EXPECT_TRUE(SendMessageA(toolbar_, TB_ISBUTTONCHECKED, IDC_DERIVED, 0));
    EXPECT_TRUE(SendMessageA(toolbar_, TB_ISBUTTONENABLED, IDC_DERIVED, 0));
    EXPECT_FALSE(SendMessageA(toolbar_, TB_ISBUTTONENABLED, IDC_SHOWANSWER, 0));
    EXPECT_FALSE(SendMessageA(toolbar_, TB_ISBUTTONCHECKED, IDC_SHOWANSWER, 0));
    EXPECT_FALSE(SendMessageA(toolbar_, TB_ISBUTTONENABLED, IDC_LISTEN, 0));

    // And back again.
    CheckMenuItem(menu_, IDC_DERIVED, MF_BYCOMMAND | MF_UNCHECKED);
    EnableMenuItem(menu_, IDC_SHOWANSWER, MF_BYCOMMAND | MF_ENABLED);
    EnableMenuItem(menu_, IDC_LISTEN, MF_BYCOMMAND | MF_ENABLED);
    toolbarObject_.Update_State(menu_);
    EXPECT_FALSE(SendMessageA(toolbar_, TB_ISBUTTONCHECKED, IDC_DERIVED, 0));
    EXPECT_TRUE(SendMessageA(toolbar_, TB_ISBUTTONENABLED, IDC_SHOWANSWER, 0));
    EXPECT_TRUE(SendMessageA(toolbar_, TB_ISBUTTONENABLED, IDC_LISTEN, 0));

    // A command missing from the menu shows disabled and checked.
    DeleteMenu(menu_, IDC_SHOWANSWER, MF_BYCOMMAND);
    toolbarObject_.Update_State(menu_);
    EXPECT_FALSE(SendMessageA(toolbar_, TB_ISBUTTONENABLED, IDC_SHOWANSWER, 0));
    EXPECT_TRUE(SendMessageA(toolbar_, TB_ISBUTTONCHECKED, IDC_SHOWANSWER, 0));
}

TEST_F(ToolbarTest, ButtonsRectSpansToTheLastButton) {
    Build_LessonToolbar();
    RECT buttons = {1, 1, 1, 1};
    toolbarObject_.Get_ButtonsRect(&buttons);
    const RECT third = Item_Rect(4);
    EXPECT_EQ(0, buttons.left);
    EXPECT_EQ(0, buttons.top);
    EXPECT_EQ(third.right, buttons.right);
    EXPECT_EQ(third.bottom, buttons.bottom);
    EXPECT_GT(third.right, Item_Rect(3).right);
    RECT window;
    GetWindowRect(toolbar_, &window);
    EXPECT_EQ(buttons.bottom + 2, window.bottom - window.top);

    CLToolbar empty;
    ASSERT_NE(nullptr, empty.Create(dialog_, 118, instance_, 0, 0, 1, 1, kLessonToolbarStyle));
    RECT none = {1, 1, 1, 1};
    empty.Get_ButtonsRect(&none);
    EXPECT_EQ(0, none.left);
    EXPECT_EQ(0, none.top);
    EXPECT_EQ(0, none.right);
    EXPECT_EQ(0, none.bottom);
}

TEST_F(ToolbarTest, HitTestCountsTheOutermostPixelsAsOutside) {
    Build_LessonToolbar();
    const RECT item = Item_Rect(1);
    const int midX = (item.left + item.right) / 2;
    const int midY = (item.top + item.bottom) / 2;
    struct Probe {
        int x;
        int y;
        int command;
    };
    const Probe probes[] = {
        {midX, midY, IDC_LISTEN},
        {item.left, midY, 0},
        {item.left + 1, midY, IDC_LISTEN},
        {midX, item.top, 0},
        {midX, item.top + 1, IDC_LISTEN},
        {item.right - 1, midY, IDC_LISTEN},
        {item.right, midY, 0},
        {midX, item.bottom - 1, IDC_LISTEN},
        {midX, item.bottom, 0},
    };
    for (const Probe& probe : probes) {
        Move_Cursor(probe.x, probe.y, false);
        EXPECT_EQ(probe.command, toolbarObject_.Hit_Test()) << probe.x << ", " << probe.y;
    }
    const RECT separator = Item_Rect(2);
    Move_Cursor((separator.left + separator.right) / 2, midY, false);
    EXPECT_EQ(0, toolbarObject_.Hit_Test());
    Move_CursorToCentre(4);
    EXPECT_EQ(IDC_SHOWANSWER, toolbarObject_.Hit_Test());
}

TEST_F(ToolbarTest, HoverReportsTheCommandUntilTheCursorLeaves) {
    Build_LessonToolbar();
    Move_CursorToCentre(1);
    ASSERT_FALSE(g_reports.empty());
    EXPECT_EQ(Hover_Report(IDC_LISTEN), g_reports.back().wParam);
    EXPECT_EQ(0, g_reports.back().lParam);

    // The timer re-checks while the cursor rests on the button.
    const int waited = Run_UntilHoverTick(toolbar_, 1500);
    EXPECT_GE(waited, 250);
    EXPECT_LT(waited, 1000);
    EXPECT_EQ(Hover_Report(IDC_LISTEN), g_reports.back().wParam);
    EXPECT_TRUE(Hover_TimerRunning());

    // Onto a separator: the help is cleared at once and the timer stops.
    Move_CursorToCentre(2);
    EXPECT_EQ(kNoCommandReport, g_reports.back().wParam);
    EXPECT_EQ(0, g_reports.back().lParam);
    EXPECT_FALSE(Hover_TimerRunning());

    // Off the toolbar no mouse move arrives; the next tick clears the help.
    Move_CursorToCentre(3);
    EXPECT_EQ(Hover_Report(IDC_DERIVED), g_reports.back().wParam);
    // One tick with the cursor still there, so that the mouse move the cursor
    // jump itself causes is handled before the cursor leaves.
    ASSERT_GE(Run_UntilHoverTick(toolbar_, 1500), 0);
    EXPECT_EQ(Hover_Report(IDC_DERIVED), g_reports.back().wParam);
    const size_t reportsBeforeLeaving = g_reports.size();
    RECT dialogWindow;
    GetWindowRect(dialog_, &dialogWindow);
    ASSERT_TRUE(SetCursorPos(dialogWindow.right + 40, dialogWindow.bottom + 40));
    const int leftAfter = Run_UntilHoverTick(toolbar_, 1500);
    EXPECT_GE(leftAfter, 0);
    EXPECT_LT(leftAfter, 1000);
    ASSERT_EQ(reportsBeforeLeaving + 1, g_reports.size());
    EXPECT_EQ(kNoCommandReport, g_reports.back().wParam);
    EXPECT_FALSE(Hover_TimerRunning());
}

TEST_F(ToolbarTest, WithoutNotifyWindowHoverSendsNothing) {
    Build_LessonToolbar(false);
    Move_CursorToCentre(1);
    toolbarObject_.Report_Hover();
    Pump_Messages();
    EXPECT_TRUE(g_reports.empty());
    EXPECT_FALSE(Hover_TimerRunning());
}

} // namespace
