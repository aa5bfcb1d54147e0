#pragma once

// What a test reads from the windows of the program, another process.
#include "res/resource.h"
#include "tools/drive/Drive.h"

#include <commctrl.h>

#include <cstddef>
#include <string>

namespace outside {

// WM_GETTEXT, which the system carries across processes.
inline std::string Text_Of(HWND window) {
    char text[1024] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 10000, nullptr);
    return text;
}

// A message whose pointer the system does not carry across processes: the
// question is written into a buffer in the program's memory (prepare() points
// it into that buffer where it needs to), and the program writes its answer there.
template <typename Data, typename Prepare>
Data Remote(const drive::Program& program, HWND window, UINT message, WPARAM wParam,
            Prepare prepare) {
    Data data = {};
    const HANDLE process = program.info.hProcess;
    char* buffer = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof data, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    prepare(data, buffer);
    DWORD_PTR result = 0;
    if (buffer != nullptr && WriteProcessMemory(process, buffer, &data, sizeof data, nullptr) &&
        SendMessageTimeoutA(window, message, wParam, reinterpret_cast<LPARAM>(buffer),
                            SMTO_ABORTIFHUNG, 10000, &result)) {
        ReadProcessMemory(process, buffer, &data, sizeof data, nullptr);
    }
    VirtualFreeEx(process, buffer, 0, MEM_RELEASE);
    return data;
}

// Whether the toolbar shows the button of a command pressed.
inline bool Pressed(const drive::Lesson& lesson, WORD command) {
    return SendMessageA(lesson.Item(IDC_TOOLBAR), TB_ISBUTTONCHECKED, command, 0) != 0;
}

// Room for a text, after a tool tip's question where one is asked.
struct Text {
    TTTOOLINFOA tool;
    char text[512];
};

// A part of the status bar. Wine's SB_GETTEXTLENGTHA counts characters, not
// bytes, so a fixed span is read.
inline std::string Status(const drive::Lesson& lesson, int part) {
    // The bar writes the text from the start of the buffer.
    const Text answer =
        Remote<Text>(lesson, lesson.Item(IDC_STATUSBAR), SB_GETTEXTA, part, [](Text&, char*) {});
    return std::string(reinterpret_cast<const char*>(&answer), sizeof answer).c_str();
}

// The tool tip of a toolbar button, asked of the toolbar's tool-tip control
// (Wine shows no tool tip without a window manager).
inline std::string Tool_Tip(const drive::Lesson& lesson, int index) {
    const HWND toolbar = lesson.Item(IDC_TOOLBAR);
    const HWND tips = reinterpret_cast<HWND>(SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    const Text answer = Remote<Text>(lesson, tips, TTM_GETTEXTA, 511, [&](Text& query, char* at) {
        query.tool.cbSize = TTTOOLINFOA_V1_SIZE;
        query.tool.hwnd = toolbar;
        query.tool.uId = static_cast<UINT_PTR>(index);
        query.tool.lpszText = at + offsetof(Text, text);
    });
    return std::string(answer.text, sizeof answer.text).c_str();
}

// A driver's count of every answer, and what the settings file must hold.
struct Tally {
    int correct[12] = {};
    int asked[12] = {};
    int totalCorrect = 0;
    int totalQuestions = 0; // counting the pending question
    bool derived = false;
    bool showAnswer = false;
    std::string labels[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    // Lines of the user's own; ソ and 表 end in the byte of a backslash.
    std::string userData, userSection;

    std::string Settings_File() const {
        std::string file = "[data]\r\n" + userData + "derivation=" + (derived ? "1" : "0") +
                           "\r\nanswer=" + (showAnswer ? "1" : "0") +
                           "\r\nnum_answer=" + std::to_string(totalCorrect) +
                           "\r\nnum_question=" + std::to_string(totalQuestions) + "\r\n";
        for (const int* counts : {correct, asked}) {
            file += counts == correct ? "[a]\r\n" : "[q]\r\n";
            for (int note = 0; note < 12; ++note) {
                file += std::to_string(note) + "=" + std::to_string(counts[note]) + "\r\n";
            }
        }
        return file + userSection;
    }
};

} // namespace outside
