// Floors of the lesson's own times: what the platform costs for its DLLs and dialog template
// without the lesson's logic. "template" shows the lesson's template until it is closed; "note"
// also opens the MIDI mapper and sounds a note while the dialog initialises; "painted" shows and
// paints the window first, then sounds the note, as the lesson does; "click" sounds a note, shows
// the version box's template, and sounds another once its OK button is clicked.

#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <cstring>

namespace {

bool g_noteAtStart = false;
bool g_paintBeforeNote = false;

void Sound_Note(HWND window) {
    HMIDIOUT device = nullptr;
    midiOutOpen(&device, MIDI_MAPPER, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW);
    midiOutShortMsg(device, 0x7F3C90); // note-on, middle C, velocity 127
    midiOutShortMsg(device, 0x7F3C80);
    midiOutClose(device);
}

INT_PTR CALLBACK Floor_Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        // gdi32 and shell32 called: the program imports the lesson's DLLs; the loader works alike.
        GetStockObject(WHITE_BRUSH);
        DragAcceptFiles(dialog, FALSE);
        if (g_paintBeforeNote) {
            ShowWindow(dialog, SW_SHOW);
            UpdateWindow(dialog);
        }
        if (g_noteAtStart) {
            Sound_Note(dialog);
        }
        return TRUE;
    case WM_COMMAND:
    case WM_CLOSE:
        EndDialog(dialog, LOWORD(wParam) == IDOK);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const bool click = std::strcmp(commandLine, "click") == 0;
    g_paintBeforeNote = std::strcmp(commandLine, "painted") == 0;
    g_noteAtStart = g_paintBeforeNote || std::strcmp(commandLine, "note") == 0;
    const WORD id = click ? IDD_VERSION : IDD_LESSON;
    if (click) {
        Sound_Note(nullptr); // as the lesson's first question does before any answer
    }
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(id), nullptr, Floor_Proc, 0) == 1 && click) {
        Sound_Note(nullptr);
    }
    return 0;
}
