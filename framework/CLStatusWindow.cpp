#include "framework/CLStatusWindow.h"

#include "util/SystemLibraries.h"
#include "util/WinHelpers.h"

#include <commctrl.h>

namespace {

// Menu-select flags for which no command help exists: a submenu title (whose
// low word is an index), a separator, the system menu, a bitmap item, and the
// closing of the menu (all flags set).
const UINT kNoHelpFlags = MF_BITMAP | MF_POPUP | MF_SEPARATOR | MF_SYSMENU;

} // namespace

HWND CLStatusWindow::Attach_Item(HWND parent, int itemId, HINSTANCE instance) {
    if (window_ != nullptr) {
        return window_;
    }
    instance_ = instance;
    parent_ = parent;
    window_ = GetDlgItem(parent, itemId);
    return window_;
}

void CLStatusWindow::Set_Parts(const int* rightEdges, int count) {
    if (count <= 0) {
        return;
    }
    partCount_ = count;
    SendMessageA(window_, SB_SETPARTS, static_cast<WPARAM>(count),
                 reinterpret_cast<LPARAM>(rightEdges));
    for (int part = 0; part < count; ++part) {
        SendMessageA(window_, SB_SETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(""));
    }
}

void CLStatusWindow::Menu_Select(UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_MENUSELECT) {
        return;
    }
    const UINT flags = HIWORD(wParam);
    const UINT command = LOWORD(wParam);
    if ((flags & kNoHelpFlags) != 0) {
        Hide_Help();
        return;
    }
    char text[kHelpTextSize] = "";
    Load_HelpText(command, text);
    Show_Help(text);
}

void CLStatusWindow::Show_Help(const char* text) {
    if (window_ == nullptr) {
        return;
    }
    RECT outer;
    GetWindowRect(window_, &outer);
    const SIZE size = {outer.right - outer.left, outer.bottom - outer.top};
    const HFONT font = reinterpret_cast<HFONT>(SendMessageA(window_, WM_GETFONT, 0, 0));
    Paint_Help(WindowDc(window_, WindowDc::kWholeWindow).Get_Handle(), font, size, text);
    helpShown_ = true;
}

void CLStatusWindow::Paint_Help(HDC windowDc, HFONT font, SIZE windowSize, const char* text) {
    // Without a font of its own the bar draws with the DC's default one.
    const ObjectSelection selection(windowDc, font);
    // One pixel beyond the window on every side, so nothing of the parts' frames
    // is left at the edges.
    RECT area = {-1, -1, windowSize.cx + 1, windowSize.cy + 1};
    System_Libraries().DrawStatusTextA(windowDc, &area, text != nullptr ? text : "", SBT_NOBORDERS);
}

void CLStatusWindow::Hide_Help() {
    if (window_ == nullptr || !helpShown_) {
        return;
    }
    // The parts repaint over the help text; no erase, so the bar does not flicker.
    InvalidateRect(window_, nullptr, FALSE);
    SetWindowPos(window_, nullptr, 0, 0, 1, 1,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    helpShown_ = false;
}
