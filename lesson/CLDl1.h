#pragma once

#include "framework/CLDlg.h"
#include "lesson/ChartGeometry.h"
#include "lesson/NoteRecord.h"

#include <cstdint>
#include <windows.h>

// Inputs of the result and details window. The lesson dialog writes them just before it
// runs the window; the window only reads them.
constexpr std::int32_t kResultAnswerMode = 0;  // the result of one answer with its mark
constexpr std::int32_t kResultDetailsMode = 1; // the accuracy chart of every note
extern std::int32_t g_resultWindowMode;
extern const char* g_resultText; // answer mode: "正解" or "不正解", perhaps with a label
extern bool g_resultCorrect;     // answer mode: the verdict that picks the mark
extern NoteRecord g_noteSnapshot[kNoteCount]; // details mode: the lesson's notes

// The window of dialog template 2001: in answer mode the result text of an answer in a large
// bold face beside a green ring or a red cross; in details mode a bar chart of the share of
// correct answers of each note.
class CLDl1 : public CLDlg {
public:
    CLDl1(HWND owner, WORD templateId, HINSTANCE instance);
    ~CLDl1() override = default;

protected:
    bool Dlg_Proc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Init_AnswerMode();
    void Init_DetailsMode();
    void Fit_ResultText(HWND text);
    void Centre_OkButton();
    void Hide_Children();
    void Paint_Chart();
    bool On_Command(WPARAM wParam);
    void On_Destroy();

    HFONT font_ = nullptr;
    ChartGeometry chart_;
    // The mode the window was built for; painting follows it even if the input changes.
    std::int32_t mode_ = -1;
};
