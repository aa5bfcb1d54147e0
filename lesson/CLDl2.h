#pragma once

#include "framework/CLDlg.h"
#include "lesson/CLLesson.h"
#include "lesson/CLNotePlayer.h"

#include <memory>

class CLToolbar;
class CLStatusWindow;
class CLMedia;

// The lesson dialog, the program's only main window: twelve note buttons, a
// menu, a toolbar and a status bar bound to one CLLesson.
class CLDl2 : public CLDlg {
public:
    // Reads the note labels from the settings file.
    CLDl2(HWND owner, WORD templateId, HINSTANCE instance);
    ~CLDl2() override;

protected:
    bool Dlg_Proc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void On_InitDialog();
    bool On_Command(WORD command);
    void On_QuestionTimer();
    void On_MciNotify(WPARAM wParam, LPARAM lParam);
    void On_EndSession();
    void On_Destroy();
    void Keep_Lesson(const CLLesson::Stored& stored);

    void Remove_SizingCommands();
    void Open_Media();
    void Take_NoteButtons();
    void Set_NoteCaptions();
    void Create_StatusBar();
    void Create_Toolbar();

    void Answer(int noteIndex);
    void Ask_NextQuestion();
    void Listen_Again();
    void Reset_Score();
    void Show_Details();
    void Show_Version();
    void Open_HelpPage();

    void Show_Score();
    void Show_QuestionNumber();
    void Set_NoteButtons(bool enable);
    void Sync_OptionMarks();
    void Set_StatusText(int part, const char* text);

    CLLesson lesson_;
    // From WM_INITDIALOG to the destructor, after their windows have died with the dialog.
    std::unique_ptr<CLToolbar> toolbar_;
    std::unique_ptr<CLStatusWindow> statusBar_;
    HWND noteButtons_[kNoteCount] = {};
    CLNotePlayer player_;
    char mediaFileName_[MAX_PATH] = "";
    std::unique_ptr<CLMedia> media_; // from WM_INITDIALOG to WM_DESTROY
    // Read by the result window until its Run_Modal returns.
    char resultText_[sizeof(CLLesson::AnswerResult::text)] = "";
    bool resultOpen_ = false; // from an answer until its result window closes
};
