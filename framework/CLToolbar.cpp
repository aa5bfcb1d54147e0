#include "framework/CLToolbar.h"

#include <commctrl.h>

#include <cstring>

namespace {

const int kMenuTextSize = 256;
const int kMaxLabel = 256;

// The report that makes the status bar hide its help text.
const WPARAM kNoCommandReport = MAKEWPARAM(0, MF_SEPARATOR);

// The menu text without its mnemonic suffix or accelerator: "音を聞く(&S)"
// becomes "音を聞く". Neither byte occurs inside a double-byte character.
void Cut_MenuText(char* text) {
    for (char* c = text; *c != '\0'; ++c) {
        if (*c == '(' || *c == '\t') {
            *c = '\0';
            return;
        }
    }
}

} // namespace

HWND CLToolbar::Create(HWND parent, int controlId, HINSTANCE instance, int x, int y, int width,
                       int height, DWORD style) {
    if (window_ != nullptr) {
        return window_;
    }
    instance_ = instance;
    parent_ = parent;
    window_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, style, x, y, width, height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance,
                              nullptr);
    if (window_ == nullptr) {
        return nullptr;
    }
    SendMessageA(window_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    Subclass(window_, this);
    return window_;
}

bool CLToolbar::Add_Button(BYTE style, UINT bitmapId, const char* label, int commandId,
                           const char* tip) {
    int image = -1;
    INT_PTR stringIndex = -1;
    if (style == TBSTYLE_BUTTON) {
        if (bitmapId != 0) {
            TBADDBITMAP bitmap = {instance_, bitmapId};
            image = static_cast<int>(
                SendMessageA(window_, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&bitmap)));
        }
        if (label != nullptr) {
            // The control reads a list of strings ended by an empty one; a
            // plain text needs its second zero, or the control reads past it.
            // Button labels are short: a longer one is cut.
            char list[kMaxLabel + 2] = {};
            std::strncpy(list, label, kMaxLabel);
            stringIndex = static_cast<INT_PTR>(
                SendMessageA(window_, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(list)));
        }
    }
    const bool hasFace = bitmapId != 0 || label != nullptr;
    TBBUTTON button = {};
    button.iBitmap = image;
    button.idCommand = hasFace ? commandId : 0;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = style;
    button.dwData = 0;
    button.iString = stringIndex;
    if (SendMessageA(window_, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button)) == 0) {
        return false;
    }
    if (hasFace && tip != nullptr) {
        TTTOOLINFOA tool = Tool_Record(Button_Count() - 1, tip);
        Fetch_ToolTips();
        Remove_OwnTool(commandId);
        SendMessageA(toolTips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return true;
}

void CLToolbar::Set_ToolTips(HMENU menu) {
    const int count = Button_Count();
    for (int index = 0; index < count; ++index) {
        const int command = Get_Command(index);
        if (command <= 0) {
            continue;
        }
        char menuText[kMenuTextSize] = "";
        if (menu != nullptr && GetMenuStringA(menu, static_cast<UINT>(command), menuText,
                                              kMenuTextSize - 1, MF_BYCOMMAND) <= 0) {
            menuText[0] = '\0';
        }
        Cut_MenuText(menuText);
        char helpText[kHelpTextSize] = "";
        Load_HelpText(static_cast<UINT>(command), helpText);
        TTTOOLINFOA tool = Tool_Record(index, menuText[0] != '\0' ? menuText : helpText);
        // Deleting first makes a second call replace the tool, with the
        // button's current rectangle, instead of adding another.
        Fetch_ToolTips();
        Remove_OwnTool(command);
        SendMessageA(toolTips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        SendMessageA(toolTips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void CLToolbar::Get_ButtonsRect(RECT* rect) const {
    *rect = RECT{0, 0, 0, 0};
    const int count = Button_Count();
    if (count <= 0) {
        return;
    }
    const RECT last = Item_Rect(count - 1);
    rect->right = last.right;
    rect->bottom = last.bottom;
}

int CLToolbar::Get_Command(int index) const {
    TBBUTTON button = {};
    SendMessageA(window_, TB_GETBUTTON, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&button));
    return button.idCommand;
}

void CLToolbar::Update_State(HMENU menu) {
    const int count = Button_Count();
    for (int index = 0; index < count; ++index) {
        const int command = Get_Command(index);
        if (command <= 0) {
            continue;
        }
        // A command missing from the menu answers -1: disabled and checked.
        const UINT state = GetMenuState(menu, static_cast<UINT>(command), MF_BYCOMMAND);
        const BOOL enabled = (state & (MF_GRAYED | MF_DISABLED)) == 0;
        const BOOL checked = (state & MF_CHECKED) != 0;
        SendMessageA(window_, TB_ENABLEBUTTON, static_cast<WPARAM>(command),
                     MAKELPARAM(enabled, 0));
        SendMessageA(window_, TB_CHECKBUTTON, static_cast<WPARAM>(command), MAKELPARAM(checked, 0));
    }
}

int CLToolbar::Hit_Test() const {
    const int count = Button_Count();
    if (count <= 0) {
        return 0;
    }
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(window_, &cursor);
    for (int index = 0; index < count; ++index) {
        const RECT item = Item_Rect(index);
        // Strictly inside: the outermost row and column count as outside.
        if (item.left < cursor.x && cursor.x < item.right && item.top < cursor.y &&
            cursor.y < item.bottom) {
            return Get_Command(index);
        }
    }
    return 0;
}

void CLToolbar::Report_Hover() {
    if (notifyWindow_ == nullptr) {
        return;
    }
    KillTimer(window_, kHoverTimer);
    const WORD command = static_cast<WORD>(Hit_Test());
    if (command == 0) {
        Report_NoCommand();
        return;
    }
    SendMessageA(notifyWindow_, WM_MENUSELECT, MAKEWPARAM(command, MF_CHECKED), 0);
    SetTimer(window_, kHoverTimer, kHoverMilliseconds, nullptr);
}

LRESULT CLToolbar::Wnd_Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        return On_MouseMove(wParam, lParam);
    case WM_TIMER:
        return On_Timer(wParam, lParam);
    default:
        return CallWindowProcA(previousProc_, window_, message, wParam, lParam);
    }
}

LRESULT CLToolbar::On_MouseMove(WPARAM wParam, LPARAM lParam) {
    // The control's own pressing and tool-tip relay come first.
    const LRESULT result = CallWindowProcA(previousProc_, window_, WM_MOUSEMOVE, wParam, lParam);
    Report_Hover();
    return result;
}

LRESULT CLToolbar::On_Timer(WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcA(previousProc_, window_, WM_TIMER, wParam, lParam);
    KillTimer(window_, kHoverTimer);
    // The toolbar gets no mouse move once the cursor has left it, so the tick
    // is what notices that the cursor is gone.
    if (Hit_Test() > 0) {
        Report_Hover();
    } else {
        Report_NoCommand();
    }
    return result;
}

int CLToolbar::Button_Count() const {
    return static_cast<int>(SendMessageA(window_, TB_BUTTONCOUNT, 0, 0));
}

RECT CLToolbar::Item_Rect(int index) const {
    RECT item = {};
    SendMessageA(window_, TB_GETITEMRECT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
    return item;
}

TTTOOLINFOA CLToolbar::Tool_Record(int index, const char* text) const {
    TTTOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = 0;
    tool.hwnd = window_;
    tool.uId = static_cast<UINT_PTR>(index);
    tool.rect = Item_Rect(index);
    tool.hinst = instance_;
    // The control keeps its own copy of the text.
    tool.lpszText = const_cast<char*>(text);
    return tool;
}

void CLToolbar::Fetch_ToolTips() {
    toolTips_ = reinterpret_cast<HWND>(SendMessageA(window_, TB_GETTOOLTIPS, 0, 0));
}

// The toolbar registers a tool of its own for every button it is given (id:
// the command), whose text it asks of its parent. The tool-tip control shows
// the first tool under the pointer, so with that one left in place the
// program's tip would never be seen.
void CLToolbar::Remove_OwnTool(int command) {
    TTTOOLINFOA own = {};
    own.cbSize = TTTOOLINFOA_V1_SIZE;
    own.hwnd = window_;
    own.uId = static_cast<UINT_PTR>(command);
    SendMessageA(toolTips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&own));
}

void CLToolbar::Report_NoCommand() {
    if (notifyWindow_ == nullptr) {
        return;
    }
    SendMessageA(notifyWindow_, WM_MENUSELECT, kNoCommandReport, 0);
}
