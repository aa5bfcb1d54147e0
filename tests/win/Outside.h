#pragma once

// What the tests expect of the program, kept as they drive it.
#include "res/resource.h"
#include "tools/drive/Drive.h"

#include <string>

namespace outside {

struct Score { // what a reset clears
    int correct[12] = {}, asked[12] = {};
    int totalCorrect = 0, totalQuestions = 1; // the questions counting the pending one
};

// A driver's count of every answer, and what the settings file must hold.
struct Tally : Score {
    bool derived = false, showAnswer = false;
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

// As Windows ends a session: it asks each top-level window (a window the lesson opened first),
// tells each of the end, and ends the process. False when a window refuses or does not answer.
inline bool End_Session(const drive::Lesson& lesson, LPARAM reasons) {
    bool agreed = true;
    for (const UINT message : {WM_QUERYENDSESSION, WM_ENDSESSION}) {
        for (const HWND window : {lesson.Find_Dialog(lesson.window), lesson.window}) {
            DWORD_PTR allowed = 0; // told of the end, a window may have gone
            agreed &= !window || (message == WM_ENDSESSION && !IsWindow(window)) ||
                      (SendMessageTimeoutA(window, message, message == WM_ENDSESSION, reasons,
                                           SMTO_ABORTIFHUNG, 5000, &allowed) &&
                       (allowed || message == WM_ENDSESSION));
        }
    }
    return TerminateProcess(lesson.info.hProcess, 0) && agreed;
}

} // namespace outside
