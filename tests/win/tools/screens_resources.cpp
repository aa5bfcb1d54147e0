// Saves pictures of the three dialog templates as they stand, for the
// documentation:
//   tool_screens_resources <folder>
// writes version-box.bmp (the version box, run as a plain CLDlg),
// lesson-template.bmp and result-template.bmp (the lesson dialog and result
// window templates, run without the code that fills them in).
// Exit code 1 when a picture could not be saved, 2 for a wrong command line.

#include <windows.h>
#include <commctrl.h>

#include "framework/CLDlg.h"
#include "res/resource.h"
#include "tests/win/support/Screenshot.h"

#include <cstdio>
#include <string>

namespace {

constexpr UINT kCaptureDelayMs = 300;

// What the capture timer is to save, and whether it did.
struct PendingCapture {
    std::string path;
    bool saved = false;
};

PendingCapture pending;

BOOL CALLBACK FindShownDialog(HWND window, LPARAM found) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (IsWindowVisible(window) && std::string(name) == "#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// A thread timer reaches the dialog's modal loop once the dialog is up and its
// painting is done (WM_TIMER comes after WM_PAINT).
void CALLBACK CaptureShownDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindShownDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) {
        return; // not shown yet
    }
    KillTimer(nullptr, timer);
    // Active, as a user sees it just opened: the first window of a process
    // may be active with its caption still drawn inactive.
    SendMessageA(dialog, WM_NCACTIVATE, TRUE, 0);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    pending.saved = SaveWindowScreenshot(dialog, pending.path.c_str());
    // The close box's message: the version box ends on it by itself, the
    // plain templates through TemplateProc.
    PostMessageA(dialog, WM_CLOSE, 0, 0);
}

INT_PTR CALLBACK TemplateProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

void Arm(const std::string& path) {
    pending = {path, false};
    SetTimer(nullptr, 0, kCaptureDelayMs, &CaptureShownDialog);
}

bool CaptureVersionBox(const std::string& path) {
    Arm(path);
    CLDlg versionBox(nullptr, IDD_VERSION, GetModuleHandleA(nullptr));
    versionBox.Run_Modal();
    return pending.saved;
}

bool CaptureTemplate(WORD templateId, const std::string& path) {
    Arm(path);
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), nullptr, &TemplateProc,
                    0);
    return pending.saved;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tool_screens_resources <folder>\n");
        return 2;
    }
    // The status bar and toolbar of the lesson template need their classes.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    // The result template opens centred on the mouse cursor: keep it on screen.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);

    const std::string folder = std::string(argv[1]) + "\\";
    int status = 0;
    const auto report = [&status](bool saved, const std::string& path) {
        if (!saved) {
            std::fprintf(stderr, "could not save %s\n", path.c_str());
            status = 1;
        }
    };
    report(CaptureVersionBox(folder + "version-box.bmp"), folder + "version-box.bmp");
    report(CaptureTemplate(IDD_LESSON, folder + "lesson-template.bmp"),
           folder + "lesson-template.bmp");
    report(CaptureTemplate(IDD_RESULT, folder + "result-template.bmp"),
           folder + "result-template.bmp");
    return status;
}
