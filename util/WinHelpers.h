#pragma once

#include <windows.h>

#include <cstddef>

// Small helpers over the Windows interfaces, shared by start-up and the dialogs. None keeps
// state. Paths are in the ANSI code page: a backslash is a separator only where it is not the
// second byte of a double-byte character (as in "ソ" or "表").

// The full path of the module's executable; false (and an empty path) when it cannot be had
// or would not fit, since a path cut short names the wrong file.
bool ModulePath(HINSTANCE instance, char (&path)[MAX_PATH]);

// The settings file's path: modulePath with the extension of its file name replaced by "ini",
// or ".ini" appended when the name has none. False, and out empty, when it does not fit.
bool MakeSettingsPath(const char* modulePath, char* out, std::size_t outSize);

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

// Selects a GDI object (a font, a pen) into a device context for as long as the guard lives;
// a null object leaves the context's own.
class ObjectSelection {
public:
    ObjectSelection(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ObjectSelection(const ObjectSelection&) = delete;
    ObjectSelection& operator=(const ObjectSelection&) = delete;
    ~ObjectSelection() {
        if (previous_ != nullptr) {
            SelectObject(dc_, previous_);
        }
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A window's device context for as long as the guard lives: its client area's, or with
// kWholeWindow the whole window's, frame and caption included.
class WindowDc {
public:
    enum Area { kClientArea, kWholeWindow };
    explicit WindowDc(HWND window, Area area = kClientArea)
        : window_(window), dc_(area == kWholeWindow ? GetWindowDC(window) : GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    HDC Get_Handle() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The length of the text in a field of size bytes, or size when it is not terminated there.
std::size_t BoundedLength(const char* text, std::size_t size);

// Converts a rectangle in screen coordinates into the client coordinates of window.
void ScreenToClientRect(HWND window, RECT* rect);

// Moves a top-level window that runs past the work area of the monitor its corner is on back
// inside it; one that fits stays where it is. A window larger than the area keeps its left and top
// edges, its caption, on the screen.
void KeepInWorkArea(HWND window);
