// The platform's floor for showing a window: a program that links nothing but
// the system's core and shows the version box's template until it is closed.

#include "res/resource.h"

#include <windows.h>

namespace {

INT_PTR CALLBACK Close_OnCommand(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_COMMAND || message == WM_CLOSE) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_VERSION), nullptr, Close_OnCommand, 0);
    return 0;
}
