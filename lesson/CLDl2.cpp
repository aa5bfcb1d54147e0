#include "lesson/CLDl2.h"

#include "framework/CLStatusWindow.h"
#include "framework/CLToolbar.h"
#include "lesson/CLDl1.h"
#include "lesson/Settings.h"
#include "media/CLMedia.h"
#include "res/resource.h"
#include "util/ProgramValues.h"
#include "util/WinHelpers.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace {

// Control id of each note's button, in note-index order.
const WORD kNoteButtonIds[kNoteCount] = {
    IDC_NOTE_C,  IDC_NOTE_CS, IDC_NOTE_D,  IDC_NOTE_DS, IDC_NOTE_E,  IDC_NOTE_F,
    IDC_NOTE_FS, IDC_NOTE_G,  IDC_NOTE_GS, IDC_NOTE_A,  IDC_NOTE_AS, IDC_NOTE_B,
};

int Note_IndexOfButton(WORD controlId) {
    for (int note = 0; note < kNoteCount; ++note) {
        if (kNoteButtonIds[note] == controlId) {
            return note;
        }
    }
    return -1;
}

const int kStatusPartEdges[] = {77, -1};
const DWORD kToolbarStyle =
    WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | CCS_ADJUSTABLE | CCS_NORESIZE;

} // namespace

CLDl2::CLDl2(HWND owner, WORD templateId, HINSTANCE instance)
    : CLDlg(owner, templateId, instance), lesson_(ReadLabels(g_settingsPath)) {}

CLDl2::~CLDl2() {
    // Their windows died with the dialog; the wrappers never destroy them.
    toolbar_.reset();
    statusBar_.reset();
}

bool CLDl2::Dlg_Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    switch (message) {
    case WM_INITDIALOG:
        On_InitDialog();
        handled = true;
        break;
    case WM_COMMAND:
        // Also the toolbar's clicks: its buttons carry the menu commands' ids.
        handled = On_Command(LOWORD(wParam));
        break;
    case WM_TIMER:
        On_QuestionTimer();
        handled = true;
        break;
    case WM_MENUSELECT:
        // Also how the toolbar reports the button under the cursor.
        if (statusBar_ != nullptr) {
            statusBar_->Menu_Select(message, wParam, lParam);
        }
        handled = true;
        break;
    case WM_CLOSE:
        handled = On_Close();
        break;
    case WM_QUERYENDSESSION:
        // Not handled: the default answer, TRUE, lets Windows end the session.
        break;
    case WM_ENDSESSION:
        if (wParam != FALSE) {
            On_EndSession();
        }
        handled = true;
        break;
    case WM_DESTROY:
        On_Destroy();
        break;
    case MM_MCINOTIFY:
        // The lesson never plays its media file: this runs only when something else ends a play.
        On_MciNotify(wParam, lParam);
        handled = true;
        break;
    default:
        break;
    }
    // Menu check marks and toolbar buttons follow the options after every
    // message, so a command never has to remember to update them.
    if (message != WM_CREATE && bound_) {
        Sync_OptionMarks();
    }
    return handled;
}

void CLDl2::On_InitDialog() {
    Remove_SizingCommands();
    player_.Set_Window(dialog_);
    Open_Media();
    SetWindowTextA(dialog_, "Tonarium");
    Take_NoteButtons();
    Set_NoteCaptions();
    Create_StatusBar();
    Create_Toolbar();

    lesson_.Set_Stored(ReadStoredLesson(g_settingsPath));
    lesson_.Start();
    Show_Score();

    ShowWindow(dialog_, SW_SHOW);
    UpdateWindow(dialog_);
    Ask_NextQuestion();
}

// The window has a fixed size: it can be moved, minimised and closed only.
void CLDl2::Remove_SizingCommands() {
    HMENU systemMenu = GetSystemMenu(dialog_, FALSE);
    if (systemMenu != nullptr) {
        DeleteMenu(systemMenu, SC_MAXIMIZE, MF_BYCOMMAND);
        DeleteMenu(systemMenu, SC_RESTORE, MF_BYCOMMAND);
        DeleteMenu(systemMenu, SC_SIZE, MF_BYCOMMAND);
    }
}

// The media file is only held open while the lesson runs; nothing is played.
void CLDl2::Open_Media() {
    std::strcpy(mediaFileName_, "data.mid");
    media_ = std::make_unique<CLMedia>(dialog_);
    media_->SetRepeat(false);
    media_->Open(mediaFileName_, nullptr, 1, 1);
}

void CLDl2::Take_NoteButtons() {
    for (int note = 0; note < kNoteCount; ++note) {
        noteButtons_[note] = GetDlgItem(dialog_, kNoteButtonIds[note]);
    }
}

void CLDl2::Set_NoteCaptions() {
    for (int note = 0; note < kNoteCount; ++note) {
        SetWindowTextA(noteButtons_[note], lesson_.Label(note));
    }
}

void CLDl2::Create_StatusBar() {
    statusBar_ = std::make_unique<CLStatusWindow>();
    statusBar_->Attach_Item(dialog_, IDC_STATUSBAR, instance_);
    statusBar_->Set_Parts(kStatusPartEdges, 2);
    Set_StatusText(0, "");
    Set_StatusText(1, "正解率 0％");
}

void CLDl2::Create_Toolbar() {
    toolbar_ = std::make_unique<CLToolbar>();
    HWND bar = toolbar_->Create(dialog_, IDC_TOOLBAR, instance_, 0, 0, 1, 1, kToolbarStyle);
    toolbar_->Add_Button(TBSTYLE_SEP, 0, nullptr, 0, nullptr);
    toolbar_->Add_Button(TBSTYLE_BUTTON, IDB_LISTEN, nullptr, IDM_LISTEN, nullptr);
    toolbar_->Add_Button(TBSTYLE_SEP, 0, nullptr, 0, nullptr);
    toolbar_->Add_Button(TBSTYLE_BUTTON, IDB_DERIVED, nullptr, IDM_DERIVED, nullptr);
    toolbar_->Add_Button(TBSTYLE_BUTTON, IDB_SHOWANSWER, nullptr, IDM_SHOWANSWER, nullptr);
    toolbar_->Set_NotifyWindow(dialog_);
    toolbar_->Set_ToolTips(GetMenu(dialog_));

    RECT buttons;
    toolbar_->Get_ButtonsRect(&buttons);
    RECT client;
    GetClientRect(dialog_, &client);
    SetWindowPos(bar, nullptr, 0, 0, client.right - client.left, buttons.bottom + 2, SWP_NOZORDER);
}

bool CLDl2::On_Command(WORD command) {
    const int note = Note_IndexOfButton(command);
    if (note >= 0) {
        Answer(note);
        return true;
    }
    switch (command) {
    case IDOK: // Enter with no push button focused: nothing to do
        return true;
    case IDCANCEL:
    case IDM_EXIT:
        EndDialog(dialog_, 0);
        return true;
    case IDM_VERSION:
        Show_Version();
        return true;
    case IDM_CONTENTS:
        Open_HelpPage();
        return true;
    case IDM_RESET:
        Reset_Score();
        return true;
    case IDM_DERIVED:
        lesson_.Toggle_DerivedTones();
        return true;
    case IDM_LISTEN:
        Listen_Again();
        return true;
    case IDM_SHOWANSWER:
        lesson_.Toggle_ShowAnswer();
        return true;
    case IDM_DETAILS:
        Show_Details();
        return true;
    default:
        return false;
    }
}

void CLDl2::On_QuestionTimer() {
    player_.Question_TimerExpired();
}

void CLDl2::On_MciNotify(WPARAM wParam, LPARAM lParam) {
    if (media_ != nullptr) {
        media_->OnNotify(wParam, lParam);
        Set_NoteButtons(true);
    }
}

// Windows ends the process right after a shutdown, log-off or restart has
// been announced, and no WM_DESTROY comes: the lesson is kept now, as closing
// the window keeps it.
void CLDl2::On_EndSession() {
    // While the result window is open, the question answered is counted and
    // the next one not drawn yet. Closing would have drawn and counted it,
    // and the next run takes one off for it: without it, a question is lost.
    Keep_Lesson(resultOpen_ ? lesson_.Stored_WithNextQuestion() : lesson_.Get_Stored());
}

void CLDl2::On_Destroy() {
    Keep_Lesson(lesson_.Get_Stored());
    media_.reset();
}

void CLDl2::Keep_Lesson(const CLLesson::Stored& stored) {
    WriteStoredLesson(g_settingsPath, stored);
    // No note may hang on a synthesizer after the lesson is gone.
    player_.Release_Device();
}

void CLDl2::Answer(int noteIndex) {
    CLLesson::AnswerResult result = lesson_.Answer(noteIndex);
    if (!result.handled) {
        return;
    }
    Show_Score();

    std::memcpy(resultText_, result.text, sizeof resultText_);
    g_resultWindowMode = kResultAnswerMode;
    g_resultText = resultText_;
    g_resultCorrect = result.correct;
    {
        CLDl1 resultWindow(dialog_, IDD_RESULT, instance_);
        resultOpen_ = true;
        resultWindow.Run_Modal();
        resultOpen_ = false;
    }
    UpdateWindow(dialog_);
    Ask_NextQuestion();
}

// The buttons are disabled only while the note is being started. Disabling the
// focused one leaves the window without keyboard focus, and Escape, Tab and the
// arrow keys with nothing to act on: the focus is given back.
void CLDl2::Ask_NextQuestion() {
    const HWND focus = GetFocus();
    int midiNote = lesson_.Next_Question();
    Show_QuestionNumber();
    Set_NoteButtons(false);
    player_.Play_Note(midiNote);
    Set_NoteButtons(true);
    if (focus != nullptr) {
        SetFocus(focus);
    }
}

void CLDl2::Listen_Again() {
    player_.Play_Note(lesson_.Current_MidiNote());
    Set_NoteButtons(true);
}

void CLDl2::Reset_Score() {
    lesson_.Reset_Score();
    Show_Score();
}

void CLDl2::Show_Details() {
    g_resultWindowMode = kResultDetailsMode;
    lesson_.Copy_Notes(g_noteSnapshot);
    CLDl1 details(dialog_, IDD_RESULT, instance_);
    details.Run_Modal();
}

void CLDl2::Show_Version() {
    CLDlg box(dialog_, IDD_VERSION, instance_);
    box.Run_Modal();
}

void CLDl2::Open_HelpPage() {
    char path[MAX_PATH] = "index.htm";
    PathBesideModule(path, instance_);
    if (path[0] != '\0') {
        ShellExecuteA(nullptr, nullptr, path, nullptr, nullptr, SW_SHOW);
    }
}

void CLDl2::Show_Score() {
    char text[64];
    std::snprintf(text, sizeof text, "正解率 %d％", lesson_.Accuracy_Percent());
    Set_StatusText(1, text);
    Show_QuestionNumber();
}

void CLDl2::Show_QuestionNumber() {
    char text[64];
    std::snprintf(text, sizeof text, "問題 %d", static_cast<int>(lesson_.Total_Questions()));
    Set_StatusText(0, text);
}

void CLDl2::Set_StatusText(int part, const char* text) {
    if (statusBar_ != nullptr) {
        SendMessageA(statusBar_->Get_Handle(), SB_SETTEXTA, static_cast<WPARAM>(part),
                     reinterpret_cast<LPARAM>(text));
    }
}

void CLDl2::Set_NoteButtons(bool enable) {
    for (HWND button : noteButtons_) {
        EnableWindow(button, enable ? TRUE : FALSE);
        UpdateWindow(button);
    }
}

void CLDl2::Sync_OptionMarks() {
    HMENU menu = GetMenu(dialog_);
    if (toolbar_ == nullptr || statusBar_ == nullptr || menu == nullptr) {
        return;
    }
    CheckMenuItem(menu, IDM_DERIVED,
                  MF_BYCOMMAND | (lesson_.Derived_Tones() ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, IDM_SHOWANSWER,
                  MF_BYCOMMAND | (lesson_.Show_Answer() ? MF_CHECKED : MF_UNCHECKED));
    toolbar_->Update_State(menu);
}
