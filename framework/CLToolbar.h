#pragma once

#include "framework/CLCtrl.h"

#include <windows.h>
#include <commctrl.h>

// A toolbar whose buttons mirror menu commands: tool tips from the menu texts,
// enabled and checked state copied from the menu, and, while the cursor rests
// on a button, WM_MENUSELECT reports to a notify window so that its status bar
// shows the command's help as for a highlighted menu item.
class CLToolbar : public CLCtrl {
public:
    static constexpr UINT_PTR kHoverTimer = 1;
    static constexpr UINT kHoverMilliseconds = 300;

    CLToolbar() = default;
    ~CLToolbar() override = default;

    HWND Create(HWND parent, int controlId, HINSTANCE instance, int x, int y, int width, int height,
                DWORD style);
    // style: TBSTYLE_BUTTON (0) or TBSTYLE_SEP (1). A button without bitmap and
    // label carries command 0, like a separator.
    bool Add_Button(BYTE style, UINT bitmapId, const char* label, int commandId, const char* tip);
    void Set_NotifyWindow(HWND window) { notifyWindow_ = window; }
    // One tool per command button; the menu may be null.
    void Set_ToolTips(HMENU menu);
    // From (0, 0) to the bottom-right corner of the last button; empty without buttons.
    void Get_ButtonsRect(RECT* rect) const;
    int Get_Command(int index) const;
    // Runs after every message of the owner, so it allocates nothing.
    void Update_State(HMENU menu);
    // The command of the button under the cursor, 0 when none.
    int Hit_Test() const;
    void Report_Hover();

protected:
    LRESULT Wnd_Proc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int Button_Count() const;
    RECT Item_Rect(int index) const;
    TTTOOLINFOA Tool_Record(int index, const char* text) const;
    // Keeps the handle of the tool-tip control the toolbar owns in toolTips_.
    void Fetch_ToolTips();
    void Remove_OwnTool(int command);
    void Report_NoCommand();
    LRESULT On_MouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT On_Timer(WPARAM wParam, LPARAM lParam);

    HWND toolTips_ = nullptr;
    HWND notifyWindow_ = nullptr;
};
