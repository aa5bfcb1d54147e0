#pragma once

// What a test reads from the windows of the program, another process, and the
// keys it presses there.
#include "res/resource.h"
#include "tools/drive/Drive.h"

#include <commctrl.h>

#include <cstddef>
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

// The tool tip a toolbar button shows, asked of the toolbar's tool-tip control
// (Wine shows no tool tip without a window manager).
inline std::string Tool_Tip(const drive::Lesson& lesson, int index) {
    struct Query {
        TTTOOLINFOA tool;
        char text[256];
    } query = {};
    const HANDLE process = lesson.info.hProcess;
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof query, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    query.tool.cbSize = TTTOOLINFOA_V1_SIZE;
    query.tool.hwnd = lesson.Item(IDC_TOOLBAR);
    query.tool.uId = static_cast<UINT_PTR>(index);
    query.tool.lpszText = remote + offsetof(Query, text);
    const HWND tips = reinterpret_cast<HWND>(SendMessageA(query.tool.hwnd, TB_GETTOOLTIPS, 0, 0));
    DWORD_PTR result = 0;
    if (remote != nullptr && WriteProcessMemory(process, remote, &query, sizeof query, nullptr) &&
        SendMessageTimeoutA(tips, TTM_GETTEXTA, sizeof query.text, reinterpret_cast<LPARAM>(remote),
                            SMTO_ABORTIFHUNG, 10000, &result)) {
        ReadProcessMemory(process, remote, &query, sizeof query, nullptr);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    query.text[sizeof query.text - 1] = '\0';
    return query.text;
}

// A key as the keyboard sends it to the focused control.
inline void Press_Key(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

} // namespace outside
