#pragma once

#include "framework/CLCtrl.h"

#include <windows.h>

// Wraps the status bar of a dialog template: divides it into parts and paints
// the help text of a highlighted menu command (or of the toolbar button under
// the cursor) over the whole bar. The parts keep their texts underneath; the
// next repaint brings them back.
class CLStatusWindow : public CLCtrl {
public:
    CLStatusWindow() = default;
    ~CLStatusWindow() override = default;

    // Takes the dialog's item; an object that already has a window keeps it.
    HWND Attach_Item(HWND parent, int itemId, HINSTANCE instance);
    // rightEdges: one client x-coordinate per part, -1 for "to the right border".
    void Set_Parts(const int* rightEdges, int count);
    // Fed with every WM_MENUSELECT the owner receives.
    void Menu_Select(UINT message, WPARAM wParam, LPARAM lParam);
    void Show_Help(const char* text);
    void Hide_Help();

    // Paints a help text across a window of the given outer size on its window DC.
    static void Paint_Help(HDC windowDc, HFONT font, SIZE windowSize, const char* text);

private:
    int partCount_ = 1;
    bool helpShown_ = false;
};
