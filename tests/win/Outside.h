#pragma once

// What a test reads from the windows of the program, another process, and the
// keys it presses there.
#include "res/resource.h"
#include "tools/drive/Drive.h"

#include <commctrl.h>

#include <string>

namespace outside {

// WM_GETTEXT, which the system carries across processes.
inline std::string Text_Of(HWND window) {
    char text[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 10000, &length);
    return text;
}

// The answer to a message whose pointer the system does not carry across
// processes, written by the program into a buffer in its own memory.
template <typename Answer>
Answer Remote(const drive::Program& program, HWND window, UINT message, WPARAM wParam) {
    Answer answer = {};
    void* buffer = VirtualAllocEx(program.info.hProcess, nullptr, sizeof answer,
                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE); // zero-filled
    DWORD_PTR result = 0;
    if (buffer != nullptr &&
        SendMessageTimeoutA(window, message, wParam, reinterpret_cast<LPARAM>(buffer),
                            SMTO_ABORTIFHUNG, 10000, &result)) {
        ReadProcessMemory(program.info.hProcess, buffer, &answer, sizeof answer, nullptr);
    }
    VirtualFreeEx(program.info.hProcess, buffer, 0, MEM_RELEASE);
    return answer;
}

// A part of the status bar. Wine's SB_GETTEXTLENGTHA counts characters, not
// bytes, so a fixed span is read.
inline std::string Status(const drive::Lesson& lesson, int part) {
    struct Text {
        char bytes[512];
    } text = Remote<Text>(lesson, lesson.Item(IDC_STATUSBAR), SB_GETTEXTA, part);
    text.bytes[sizeof text.bytes - 1] = '\0';
    return text.bytes;
}

// A key as the keyboard sends it to the focused control.
inline void Press_Key(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

} // namespace outside
