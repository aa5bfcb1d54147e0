#include "framework/CLCtrl.h"

#include "framework/HandleTable.h"

namespace {

// The control table: every subclassed control window and the object it reports to.
HandleTable controlTable;

} // namespace

CLCtrl::~CLCtrl() {
    // Normally the window has died first and Wnd_ProcMain has already undone the
    // subclassing. A wrapper deleted before its window must not leave its address
    // behind in the table, so the window gets its own procedure back.
    if (subclassed_) {
        const HWND unsubclassed = subclassedWindow_;
        Unsubclass();
        if (window_ == unsubclassed) {
            return;
        }
    }
    controlTable.Remove(window_);
}

LRESULT CLCtrl::Wnd_Proc(UINT, WPARAM, LPARAM) {
    return 0;
}

void CLCtrl::Subclass(HWND window, CLCtrl* object) {
    if (subclassed_) {
        return;
    }
    if (!controlTable.Add(window, object)) {
        return;
    }
    const LONG_PTR previous =
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CLCtrl::Wnd_ProcMain));
    if (previous == 0) {
        // Not a window of ours (or no window at all): it keeps its procedure.
        controlTable.Remove(window);
        return;
    }
    subclassedWindow_ = window;
    previousProc_ = reinterpret_cast<WNDPROC>(previous);
    subclassed_ = true;
}

void CLCtrl::Unsubclass() {
    if (!subclassed_) {
        return;
    }
    SetWindowLongPtrA(subclassedWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
    controlTable.Remove(subclassedWindow_);
    subclassedWindow_ = nullptr;
    subclassed_ = false;
}

void CLCtrl::Load_HelpText(UINT command, char (&text)[kHelpTextSize]) const {
    if (LoadStringA(instance_, command, text, kHelpTextSize - 1) <= 0) {
        text[0] = '\0';
    }
}

LRESULT CALLBACK CLCtrl::Wnd_ProcMain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CLCtrl* object = static_cast<CLCtrl*>(controlTable.Find(window));
    if (object == nullptr) {
        MessageBeep(0xFFFFFFFF);
        return 0;
    }
    const LRESULT result = object->Wnd_Proc(message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        // After the object has seen WM_DESTROY, the window's last messages
        // (WM_NCDESTROY) go to its own procedure.
        object->Unsubclass();
        break;
    default:
        break;
    }
    return result;
}
