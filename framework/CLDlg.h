#pragma once

#include <windows.h>

// Base of the dialog classes. Every dialog runs with Dlg_ProcMain, which finds
// the object bound to the dialog in the dialog table and calls its Dlg_Proc.
class CLDlg {
public:
    CLDlg(HWND owner, WORD templateId, HINSTANCE instance);
    CLDlg(const CLDlg&) = delete;
    CLDlg& operator=(const CLDlg&) = delete;
    virtual ~CLDlg();

    // The value given to EndDialog; -1 when the dialog cannot be created;
    // 0 without showing anything when the object is already bound.
    int Run_Modal();

    HWND Get_Handle() const { return dialog_; }

    static INT_PTR CALLBACK Dlg_ProcMain(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual bool Dlg_Proc(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_CLOSE of every dialog: a modal one ends with the stored result.
    bool On_Close();

    HWND dialog_ = nullptr; // from WM_INITDIALOG; kept after the dialog is gone
    HWND owner_ = nullptr;
    HINSTANCE instance_ = nullptr; // holds the template
    bool modal_ = false;           // set by Run_Modal: WM_CLOSE ends only a modal dialog
    bool bound_ = false;           // in the dialog table, from WM_INITDIALOG to WM_DESTROY
    signed char result_ = 0;       // given to EndDialog
    WORD templateId_ = 0;

private:
    // Enters the object in the dialog table at WM_INITDIALOG.
    static INT_PTR Bind(HWND dialog, CLDlg* object, WPARAM wParam, LPARAM lParam);

    // Handlers of the default Dlg_Proc.
    bool On_InitDialog();
    bool On_Command(WORD controlId, WORD notificationCode);
};
