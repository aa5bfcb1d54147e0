#include "framework/CLDlg.h"

#include "framework/HandleTable.h"

namespace {

// The dialog table: every open dialog and the object it reports to.
HandleTable dialogTable;

} // namespace

CLDlg::CLDlg(HWND owner, WORD templateId, HINSTANCE instance)
    : owner_(owner), instance_(instance), templateId_(templateId) {}

CLDlg::~CLDlg() {
    if (!bound_) {
        return;
    }
    // Dlg_ProcMain unbinds the object when WM_DESTROY passes through it; the
    // window itself stays.
    SendMessageA(dialog_, WM_DESTROY, 0, 0);
    if (bound_) {
        // The message never reached Dlg_ProcMain: the table must not keep a
        // pointer to an object that is going away.
        dialogTable.Remove(dialog_);
        bound_ = false;
    }
}

int CLDlg::Run_Modal() {
    if (bound_) {
        return 0; // already open
    }
    modal_ = true;
    if (instance_ == nullptr) {
        return -1;
    }
    return static_cast<int>(DialogBoxParamA(instance_, MAKEINTRESOURCEA(templateId_), owner_,
                                            &CLDlg::Dlg_ProcMain, reinterpret_cast<LPARAM>(this)));
}

INT_PTR CALLBACK CLDlg::Dlg_ProcMain(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    CLDlg* object = static_cast<CLDlg*>(dialogTable.Find(dialog));
    if (object == nullptr) {
        // Messages sent before WM_INITDIALOG (WM_SETFONT) and after the object
        // let go of its dialog get the dialog manager's default processing.
        switch (message) {
        case WM_INITDIALOG:
            return Bind(dialog, reinterpret_cast<CLDlg*>(lParam), wParam, lParam);
        default:
            return FALSE;
        }
    }
    const bool handled = object->Dlg_Proc(message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        object->bound_ = false;
        dialogTable.Remove(dialog);
        break;
    default:
        break;
    }
    return handled ? TRUE : FALSE;
}

INT_PTR CLDlg::Bind(HWND dialog, CLDlg* object, WPARAM wParam, LPARAM lParam) {
    // Without an object, or with a full table, the dialog runs on its own.
    if (object == nullptr || !dialogTable.Add(dialog, object)) {
        return TRUE;
    }
    object->bound_ = true;
    object->dialog_ = dialog;
    return object->Dlg_Proc(WM_INITDIALOG, wParam, lParam) ? TRUE : FALSE;
}

bool CLDlg::Dlg_Proc(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return On_InitDialog();
    case WM_COMMAND:
        return On_Command(LOWORD(wParam), HIWORD(wParam));
    case WM_CLOSE:
        return On_Close();
    default:
        return false;
    }
}

bool CLDlg::On_InitDialog() {
    result_ = 0; // what the close box ends the dialog with
    return true;
}

bool CLDlg::On_Command(WORD controlId, WORD notificationCode) {
    if (controlId != IDOK && controlId != IDCANCEL) {
        return false;
    }
    // A non-zero code (an accelerator, for one) is taken but does nothing.
    if (notificationCode == 0) {
        result_ = controlId == IDOK ? 1 : 0;
        PostMessageA(dialog_, WM_CLOSE, 0, 0);
    }
    return true;
}

bool CLDlg::On_Close() {
    if (!modal_) {
        return false;
    }
    EndDialog(dialog_, result_);
    return true;
}
