#pragma once

#include <windows.h>

// Base of the control wrappers. A subclassed control's messages arrive at the
// virtual Wnd_Proc of the object found for its handle in the control table.
class CLCtrl {
public:
    CLCtrl() = default;
    CLCtrl(const CLCtrl&) = delete;
    CLCtrl& operator=(const CLCtrl&) = delete;
    virtual ~CLCtrl();

    HWND Get_Handle() const { return window_; }

    static LRESULT CALLBACK Wnd_ProcMain(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // A command's help text is the string-table entry under its id, at most 510 characters.
    static constexpr int kHelpTextSize = 512;

    virtual LRESULT Wnd_Proc(UINT message, WPARAM wParam, LPARAM lParam);

    void Subclass(HWND window, CLCtrl* object);
    void Unsubclass();
    // The help text of the command, empty when there is none.
    void Load_HelpText(UINT command, char (&text)[kHelpTextSize]) const;

    HWND window_ = nullptr; // null until a derived class creates or attaches one
    HWND parent_ = nullptr;
    HWND subclassedWindow_ = nullptr;
    HINSTANCE instance_ = nullptr; // where texts and images are loaded from
    bool subclassed_ = false;
    WNDPROC previousProc_ = nullptr; // derived classes pass messages on to it
};
