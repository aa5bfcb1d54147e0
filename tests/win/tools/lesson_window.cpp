// Finds the lesson window of a running Tonarium for scripts:
//   tool_lesson_window wait <seconds>     exit 0 once the window exists, 1 on timeout
//   tool_lesson_window capture <file.bmp> save its screen area
//   tool_lesson_window close <seconds>    close it and wait until it is gone
// Exit code 2 for a wrong command line.

#include <windows.h>

#include "tests/win/support/Screenshot.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kLessonClass[] = "#32770";
constexpr char kLessonTitle[] = "Tonarium";

HWND FindLessonWindow() {
    return FindWindowA(kLessonClass, kLessonTitle);
}

bool WaitForLessonWindow(DWORD timeoutMs, bool present) {
    const DWORD start = GetTickCount();
    for (;;) {
        if ((FindLessonWindow() != nullptr) == present) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(50);
    }
}

DWORD SecondsArgument(const char* text) {
    const long seconds = std::strtol(text, nullptr, 10);
    return seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : 0;
}

int Usage() {
    std::fprintf(stderr, "usage: tool_lesson_window wait <seconds> | capture <file.bmp> | "
                         "close <seconds>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Usage();
    }
    const char* command = argv[1];
    if (std::strcmp(command, "wait") == 0) {
        if (!WaitForLessonWindow(SecondsArgument(argv[2]), true)) {
            std::fprintf(stderr, "lesson window: not found\n");
            return 1;
        }
        return 0;
    }
    if (std::strcmp(command, "capture") == 0) {
        HWND window = FindLessonWindow();
        if (window == nullptr) {
            std::fprintf(stderr, "lesson window: not found\n");
            return 1;
        }
        // The window may just have appeared: let it paint first.
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(300);
        if (!SaveWindowScreenshot(window, argv[2])) {
            std::fprintf(stderr, "lesson window: could not save %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if (std::strcmp(command, "close") == 0) {
        HWND window = FindLessonWindow();
        if (window != nullptr) {
            // As the caption's close box does: the lesson saves and the
            // program ends.
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        if (!WaitForLessonWindow(SecondsArgument(argv[2]), false)) {
            std::fprintf(stderr, "lesson window: still open\n");
            return 1;
        }
        return 0;
    }
    return Usage();
}
