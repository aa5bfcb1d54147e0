#pragma once

// What a test reads from the windows of the program, another process.
#include "res/resource.h"
#include "tools/drive/Drive.h"

#include <commctrl.h>

#include <string>

namespace outside {

// WM_GETTEXT, which the system carries across processes.
inline std::string Text_Of(HWND window) {
    char text[1024] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 10000, nullptr);
    return text;
}

// Whether the toolbar shows the button of a command pressed.
inline bool Pressed(const drive::Lesson& lesson, WORD command) {
    return SendMessageA(lesson.Item(IDC_TOOLBAR), TB_ISBUTTONCHECKED, command, 0) != 0;
}

// A part of the status bar. Wine's SB_GETTEXTLENGTHA counts characters, not bytes, so a fixed span
// is read.
inline std::string Status(const drive::Lesson& lesson, int part) {
    struct Text {
        char text[512];
    };
    const Text answer = drive::Remote<Text>(lesson, lesson.Item(IDC_STATUSBAR), SB_GETTEXTA, part);
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
