#pragma once

#include <windows.h>

// Small helpers over the Windows interfaces, shared by the dialogs. None keeps state.

// buffer (at least MAX_PATH bytes) holds a bare file name on entry and, on return, the full
// path of that file in the directory of the module's executable. When the result would not
// fit in MAX_PATH bytes, or the module's path cannot be had, the buffer is left empty.
char* PathBesideModule(char* buffer, HINSTANCE instance);

// The joining step of PathBesideModule: buffer (at least MAX_PATH bytes) holds a bare file
// name and receives the directory part of modulePath (up to its last backslash) followed by
// that name. Empty when modulePath has no backslash or the result does not fit.
char* JoinBesideModulePath(char* buffer, const char* modulePath);

// A font of the given cell height in the default character set; the caller deletes it.
HFONT MakeFont(int height, bool bold, bool italic, const char* faceName);

// Converts a rectangle in screen coordinates into the client coordinates of window.
void ScreenToClientRect(HWND window, RECT* rect);
