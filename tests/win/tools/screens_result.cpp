// Saves pictures of the result and details window for the documentation:
//   tool_screens_result <folder>
// writes result-correct.bmp (a correct answer), result-wrong.bmp (a wrong answer with the
// correct one shown) and details.bmp (the accuracy chart of a lesson with varied counts).
// Exit code 1 when a picture could not be saved, 2 for a wrong command line.

#include <windows.h>

#include "lesson/CLDl1.h"
#include "res/resource.h"
#include "tests/win/support/Screenshot.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr UINT_PTR kCaptureTimer = 1;

// The window of dialog 2001 that saves its own picture once it is painted, then closes.
class CapturedResultWindow : public CLDl1 {
public:
    explicit CapturedResultWindow(std::string path)
        : CLDl1(nullptr, IDD_RESULT, GetModuleHandleA(nullptr)), path_(std::move(path)) {}

    bool Saved() const { return saved_; }

protected:
    bool Dlg_Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_INITDIALOG: {
            const bool handled = CLDl1::Dlg_Proc(message, wParam, lParam);
            SetTimer(dialog_, kCaptureTimer, 300, nullptr);
            return handled;
        }
        case WM_TIMER:
            Capture_WhenPainted();
            return true;
        default:
            return CLDl1::Dlg_Proc(message, wParam, lParam);
        }
    }

private:
    void Capture_WhenPainted() {
        if (!IsWindowVisible(dialog_) || GetUpdateRect(dialog_, nullptr, FALSE)) {
            return;
        }
        KillTimer(dialog_, kCaptureTimer);
        saved_ = SaveWindowScreenshot(dialog_, path_.c_str());
        PostMessageA(dialog_, WM_COMMAND, IDOK, 0);
    }

    std::string path_;
    bool saved_ = false;
};

bool Capture(const std::string& path) {
    CapturedResultWindow window(path);
    window.Run_Modal();
    if (!window.Saved()) {
        std::fprintf(stderr, "screens_result: could not save %s\n", path.c_str());
    }
    return window.Saved();
}

void SetLessonSnapshot() {
    static const char* const kLabels[kNoteCount] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                    "F#", "G",  "G#", "A",  "A#", "B"};
    // Correct and asked counts of a lesson that has run a while; two derived notes never came.
    static const int kCounts[kNoteCount][2] = {{9, 10}, {1, 3}, {7, 9}, {0, 0}, {5, 8}, {4, 4},
                                               {2, 5},  {6, 7}, {0, 2}, {3, 6}, {0, 0}, {8, 11}};
    for (int note = 0; note < kNoteCount; ++note) {
        NoteRecord& record = g_noteSnapshot[note];
        std::memset(record.label, 0, sizeof record.label);
        std::strncpy(record.label, kLabels[note], kLabelSize - 1);
        record.correct = kCounts[note][0];
        record.asked = kCounts[note][1];
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tool_screens_result <folder>\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "\\";
    bool saved = true;

    g_resultWindowMode = kResultAnswerMode;
    g_resultText = "正解";
    g_resultCorrect = true;
    saved = Capture(folder + "result-correct.bmp") && saved;

    g_resultText = "不正解 (G)";
    g_resultCorrect = false;
    saved = Capture(folder + "result-wrong.bmp") && saved;

    g_resultWindowMode = kResultDetailsMode;
    SetLessonSnapshot();
    saved = Capture(folder + "details.bmp") && saved;

    return saved ? 0 : 1;
}
