// The lesson dialog run modally in this process, as start-up runs it, with
// recorders in place of the MIDI and MCI entry points. A message-only driver
// window runs the steps of a test from inside the dialog's modal loop: each
// step is a posted message, so it is handled before any WM_TIMER, and the
// question timer cannot end the first note before the first step looks at it.
// Owned dialogs (result, details, version box) are found by a polling timer
// and closed with IDOK.

#include "framework/CLDlg.h"
#include "lesson/CLDl1.h"
#include "lesson/CLDl2.h"
#include "lesson/MidiOut.h"
#include "media/MciSend.h"
#include "res/resource.h"
#include "util/ProgramValues.h"

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// Control ids of the note buttons, in note-index order.
const WORD kNoteButtonIds[kNoteCount] = {104, 103, 105, 111, 106, 107,
                                         112, 108, 113, 109, 114, 110};

const MCIDEVICEID kMediaDevice = 7;
const int kGaveUp = -2;

enum class Kind {
    MidiOpen,
    ShortMsg,
    MidiClose,
    Owned, // an owned dialog was found open and told to close
    Mark,  // a point in the test's own sequence
};

struct Event {
    Kind kind = Kind::Mark;
    HMIDIOUT device = nullptr;
    UINT deviceId = 0;
    DWORD_PTR callback = 0;
    DWORD flags = 0;
    DWORD message = 0;
    // The lesson as the call found it.
    int modelNote = -1;
    std::string questionText;
    int enabledButtons = -1;
    bool ownedWindowOpen = false;
    bool dialogVisible = false;
    bool duringSteps = false;
    // Owned dialogs: caption, result text, and whether the lesson was disabled.
    std::string caption;
    std::string text;
    bool lessonEnabled = true;
    std::int32_t resultMode = -1;
    bool resultCorrect = false;
    // Marks: their name.
    std::string name;
};

struct MciCall {
    MCIDEVICEID device = 0;
    UINT command = 0;
    DWORD_PTR flags = 0;
    bool hasDeviceType = false;
    std::string element;
    bool duringSteps = false;
    bool afterRun = false;
};

// Everything the recorders and the driver share while one dialog runs.
struct Session {
    CLDl2* lesson = nullptr;
    std::vector<Event> events;
    std::vector<MciCall> mci;
    bool midiAvailable = true;
    std::uintptr_t nextHandle = 0x100;
    bool stepsStarted = false;
    bool runReturned = false;
    std::vector<HWND> ownedClosed;
};

Session g_session;

HWND Lesson_Dialog() {
    return g_session.lesson != nullptr ? g_session.lesson->Get_Handle() : nullptr;
}

int Enabled_NoteButtons(HWND dialog) {
    int enabled = 0;
    for (WORD id : kNoteButtonIds) {
        enabled += IsWindowEnabled(GetDlgItem(dialog, id)) ? 1 : 0;
    }
    return enabled;
}

std::string Status_Text(HWND dialog, int part) {
    char text[512] = {};
    SendMessageA(GetDlgItem(dialog, IDC_STATUSBAR), SB_GETTEXTA, static_cast<WPARAM>(part),
                 reinterpret_cast<LPARAM>(text));
    return text;
}

std::string Window_Text(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool Owned_WindowOpen() {
    for (HWND window : g_session.ownedClosed) {
        if (IsWindow(window)) {
            return true;
        }
    }
    return false;
}

Event Lesson_State(Kind kind) {
    Event event;
    event.kind = kind;
    event.duringSteps = g_session.stepsStarted;
    event.ownedWindowOpen = Owned_WindowOpen();
    const HWND dialog = Lesson_Dialog();
    if (dialog != nullptr) {
        event.modelNote = g_session.lesson->Lesson().Current_MidiNote();
        event.questionText = Status_Text(dialog, 0);
        event.enabledButtons = Enabled_NoteButtons(dialog);
        event.dialogVisible = IsWindowVisible(dialog) != FALSE;
    }
    return event;
}

// Stands in for winmm's MIDI output: the test machine has no MIDI device.
MMRESULT WINAPI Record_MidiOpen(LPHMIDIOUT device, UINT deviceId, DWORD_PTR callback, DWORD_PTR,
                                DWORD flags) {
    *device =
        g_session.midiAvailable ? reinterpret_cast<HMIDIOUT>(g_session.nextHandle++) : nullptr;
    Event event = Lesson_State(Kind::MidiOpen);
    event.device = *device;
    event.deviceId = deviceId;
    event.callback = callback;
    event.flags = flags;
    g_session.events.push_back(event);
    return *device != nullptr ? MMSYSERR_NOERROR : MIDIERR_INVALIDSETUP;
}

MMRESULT WINAPI Record_ShortMsg(HMIDIOUT device, DWORD message) {
    Event event = Lesson_State(Kind::ShortMsg);
    event.device = device;
    event.message = message;
    g_session.events.push_back(event);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI Record_MidiClose(HMIDIOUT device) {
    Event event = Lesson_State(Kind::MidiClose);
    event.device = device;
    g_session.events.push_back(event);
    return MMSYSERR_NOERROR;
}

// Stands in for winmm's MCI: "data.mid" opens as device 7, which reports
// itself stopped; commands to device 0 other than open fail as in winmm.
MCIERROR WINAPI Record_Mci(MCIDEVICEID device, UINT command, DWORD_PTR flags,
                           DWORD_PTR parameters) {
    MciCall call;
    call.device = device;
    call.command = command;
    call.flags = flags;
    call.duringSteps = g_session.stepsStarted;
    call.afterRun = g_session.runReturned;
    if (command == MCI_OPEN) {
        auto* open = reinterpret_cast<MCI_OPEN_PARMSA*>(parameters);
        call.hasDeviceType = open->lpstrDeviceType != nullptr;
        call.element = open->lpstrElementName != nullptr ? open->lpstrElementName : "";
        open->wDeviceID = kMediaDevice;
    }
    g_session.mci.push_back(call);
    if (command == MCI_OPEN) {
        return 0;
    }
    if (device == 0) {
        return MCIERR_INVALID_DEVICE_ID;
    }
    if (command == MCI_STATUS) {
        reinterpret_cast<MCI_STATUS_PARMS*>(parameters)->dwReturn = MCI_MODE_STOP;
    }
    return 0;
}

void Mark(const char* name) {
    Event event;
    event.kind = Kind::Mark;
    event.name = name;
    g_session.events.push_back(event);
}

size_t Index_OfMark(const std::string& name) {
    for (size_t i = 0; i < g_session.events.size(); ++i) {
        if (g_session.events[i].kind == Kind::Mark && g_session.events[i].name == name) {
            return i;
        }
    }
    ADD_FAILURE() << "no mark " << name;
    return g_session.events.size();
}

// The MIDI calls and owned windows between two marks (an empty name: the end).
std::vector<Event> Events_Between(const std::string& from, const std::string& to = "") {
    const size_t first = Index_OfMark(from) + 1;
    const size_t last = to.empty() ? g_session.events.size() : Index_OfMark(to);
    std::vector<Event> selected;
    for (size_t i = first; i < last && i < g_session.events.size(); ++i) {
        if (g_session.events[i].kind != Kind::Mark) {
            selected.push_back(g_session.events[i]);
        }
    }
    return selected;
}

std::vector<Event> Events_BeforeSteps() {
    std::vector<Event> selected;
    for (const Event& event : g_session.events) {
        if (!event.duringSteps && event.kind != Kind::Mark) {
            selected.push_back(event);
        }
    }
    return selected;
}

DWORD Note_On(int note) {
    return 0x90u | (static_cast<DWORD>(note) << 8) | (127u << 16);
}
DWORD Note_Off(int note) {
    return 0x80u | (static_cast<DWORD>(note) << 8) | (127u << 16);
}
bool Is_NoteOn(const Event& event) {
    return event.kind == Kind::ShortMsg && (event.message & 0xF0) == 0x90;
}

std::vector<Kind> Kinds_Of(const std::vector<Event>& events) {
    std::vector<Kind> kinds;
    for (const Event& event : events) {
        kinds.push_back(event.kind);
    }
    return kinds;
}

bool Menu_Checked(HWND dialog, UINT command) {
    const UINT state = GetMenuState(GetMenu(dialog), command, MF_BYCOMMAND);
    EXPECT_NE(static_cast<UINT>(-1), state) << command;
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

bool Toolbar_Checked(HWND dialog, int command) {
    return SendMessageA(GetDlgItem(dialog, IDC_TOOLBAR), TB_ISBUTTONCHECKED,
                        static_cast<WPARAM>(command), 0) != 0;
}

void Send_Command(HWND dialog, WORD command) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

// A click on the button of the note, the way the user answers.
void Click_Note(HWND dialog, int noteIndex) {
    SendMessageA(GetDlgItem(dialog, kNoteButtonIds[noteIndex]), BM_CLICK, 0, 0);
}

// The dialog procedure's own answer: whether the lesson handled the message.
bool Handled(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return CLDlg::Dlg_ProcMain(dialog, message, wParam, lParam) != FALSE;
}

const UINT kRunStep = WM_APP + 1;
const UINT_PTR kOwnedPollTimer = 1;
const UINT_PTR kWatchdogTimer = 2;

using Step = std::function<void(CLDl2& lesson, HWND dialog)>;

class LessonDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSA driverClass = {};
        driverClass.lpfnWndProc = &LessonDialogTest::Driver_Proc;
        driverClass.hInstance = GetModuleHandleA(nullptr);
        driverClass.lpszClassName = kDriverClass;
        RegisterClassA(&driverClass);
    }

    void SetUp() override {
        savedMidi_ = g_midiOut;
        savedMci_ = g_mciSendCommand;
        savedInstance_ = g_programInstance;
        std::memcpy(savedPath_, g_settingsPath, sizeof savedPath_);
        g_midiOut = {Record_MidiOpen, Record_ShortMsg, Record_MidiClose};
        g_mciSendCommand = Record_Mci;
        g_programInstance = GetModuleHandleA(nullptr);
        g_session = Session();

        char temp[MAX_PATH] = {};
        ASSERT_NE(0u, GetTempPathA(sizeof temp, temp));
        static int serial = 0;
        std::snprintf(folder_, sizeof folder_, "%stonarium-dl2-%lu-%d", temp, GetCurrentProcessId(),
                      ++serial);
        ASSERT_NE(FALSE, CreateDirectoryA(folder_, nullptr));
        std::snprintf(g_settingsPath, sizeof g_settingsPath, "%s\\tonarium.ini", folder_);
    }

    void TearDown() override {
        DeleteFileA(g_settingsPath);
        RemoveDirectoryA(folder_);
        g_midiOut = savedMidi_;
        g_mciSendCommand = savedMci_;
        g_programInstance = savedInstance_;
        std::memcpy(g_settingsPath, savedPath_, sizeof savedPath_);
    }

    static void Write_Setting(const char* section, const char* key, const char* value) {
        WritePrivateProfileStringA(section, key, value, g_settingsPath);
    }
    static std::string Read_Setting(const char* section, const char* key) {
        char value[256] = {};
        GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, g_settingsPath);
        return value;
    }
    static bool Settings_FileExists() {
        return GetFileAttributesA(g_settingsPath) != INVALID_FILE_ATTRIBUTES;
    }

    // Runs a lesson dialog as start-up does; the steps run one by one inside
    // its modal loop, and the last one is expected to end it. The result is
    // Run_Modal's.
    int Run(std::vector<Step> steps) {
        steps_ = std::move(steps);
        stepsRun_ = 0;
        current_ = this;
        driver_ = CreateWindowExA(0, kDriverClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(nullptr, driver_);
        PostMessageA(driver_, kRunStep, 0, 0);
        SetTimer(driver_, kOwnedPollTimer, 20, nullptr);
        SetTimer(driver_, kWatchdogTimer, 20000, nullptr);
        int result = 0;
        {
            CLDl2 lesson(nullptr, IDD_LESSON, g_programInstance);
            g_session.lesson = &lesson;
            result = lesson.Run_Modal();
            g_session.runReturned = true;
            Mark("run returned");
            g_session.lesson = nullptr;
        }
        DestroyWindow(driver_);
        driver_ = nullptr;
        current_ = nullptr;
        EXPECT_EQ(steps_.size(), stepsRun_) << "the dialog ended before every step had run";
        return result;
    }

private:
    static constexpr const char* kDriverClass = "TonariumLessonDialogTestDriver";

    static LRESULT CALLBACK Driver_Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (current_ != nullptr) {
            switch (message) {
            case kRunStep:
                current_->Run_Step(wParam);
                return 0;
            case WM_TIMER:
                if (wParam == kOwnedPollTimer) {
                    Close_OwnedDialogs();
                } else if (wParam == kWatchdogTimer) {
                    current_->Give_Up();
                }
                return 0;
            default:
                break;
            }
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void Run_Step(size_t index) {
        const HWND dialog = Lesson_Dialog();
        if (index >= steps_.size() || dialog == nullptr || !IsWindow(dialog)) {
            return;
        }
        g_session.stepsStarted = true;
        steps_[index](*g_session.lesson, dialog);
        ++stepsRun_;
        if (index + 1 < steps_.size()) {
            PostMessageA(driver_, kRunStep, index + 1, 0);
        }
    }

    void Give_Up() {
        KillTimer(driver_, kWatchdogTimer);
        ADD_FAILURE() << "the lesson dialog did not end";
        for (HWND window : g_session.ownedClosed) {
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        }
        if (Lesson_Dialog() != nullptr) {
            EndDialog(Lesson_Dialog(), kGaveUp);
        }
    }

    static BOOL CALLBACK Close_IfOwned(HWND window, LPARAM) {
        char className[32] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window) ||
            GetWindow(window, GW_OWNER) != Lesson_Dialog()) {
            return TRUE;
        }
        for (HWND closed : g_session.ownedClosed) {
            if (closed == window) {
                return TRUE; // told to close already
            }
        }
        Event event;
        event.kind = Kind::Owned;
        event.duringSteps = g_session.stepsStarted;
        event.caption = Window_Text(window);
        event.text = Window_Text(GetDlgItem(window, IDC_RESULT_TEXT));
        event.lessonEnabled = IsWindowEnabled(Lesson_Dialog()) != FALSE;
        event.resultMode = g_resultWindowMode;
        event.resultCorrect = g_resultCorrect;
        g_session.events.push_back(event);
        g_session.ownedClosed.push_back(window);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    }

    static void Close_OwnedDialogs() {
        if (Lesson_Dialog() != nullptr) {
            EnumThreadWindows(GetCurrentThreadId(), &LessonDialogTest::Close_IfOwned, 0);
        }
    }

    static LessonDialogTest* current_;

    MidiOutApi savedMidi_{};
    MciSendCommandFn savedMci_ = nullptr;
    HINSTANCE savedInstance_ = nullptr;
    char savedPath_[MAX_PATH] = {};
    char folder_[MAX_PATH] = {};
    HWND driver_ = nullptr;
    std::vector<Step> steps_;
    size_t stepsRun_ = 0;
};

LessonDialogTest* LessonDialogTest::current_ = nullptr;

void End_Lesson(CLDl2&, HWND dialog) {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// ---------------------------------------------------------------------------------------------
// Start

TEST_F(LessonDialogTest, FirstRunAsksQuestionOneAndSoundsItsNoteWhileInitialising) {
    int pendingNote = -1;
    std::string question, accuracy, title;
    int enabled = -1;
    HWND found = nullptr, dialogHandle = nullptr;
    const int result = Run({[&](CLDl2& lesson, HWND dialog) {
                                pendingNote = lesson.Lesson().Current_MidiNote();
                                question = Status_Text(dialog, 0);
                                accuracy = Status_Text(dialog, 1);
                                enabled = Enabled_NoteButtons(dialog);
                                title = Window_Text(dialog);
                                found = FindWindowA("#32770", "Tonarium");
                                dialogHandle = dialog;
                            },
                            End_Lesson});
    EXPECT_EQ(0, result);

    EXPECT_EQ("問題 1", question);
    EXPECT_EQ("正解率 0％", accuracy);
    EXPECT_EQ(kNoteCount, enabled);
    EXPECT_EQ("Tonarium", title);
    EXPECT_EQ(dialogHandle, found);

    // The note sounded before the dialog's message loop ran a single step.
    const std::vector<Event> init = Events_BeforeSteps();
    ASSERT_EQ((std::vector<Kind>{Kind::MidiOpen, Kind::ShortMsg}), Kinds_Of(init));
    const Event& open = init[0];
    EXPECT_EQ(MIDI_MAPPER, open.deviceId);
    EXPECT_EQ(reinterpret_cast<DWORD_PTR>(dialogHandle), open.callback);
    EXPECT_EQ(static_cast<DWORD>(CALLBACK_WINDOW), open.flags);
    const Event& on = init[1];
    EXPECT_EQ(open.device, on.device);
    EXPECT_GE(pendingNote, 48);
    EXPECT_LE(pendingNote, 83);
    EXPECT_EQ(Note_On(pendingNote), on.message);
    EXPECT_EQ(pendingNote, on.modelNote);
    // Shown, numbered and with its buttons held off while the note starts.
    EXPECT_TRUE(on.dialogVisible);
    EXPECT_EQ("問題 1", on.questionText);
    EXPECT_EQ(0, on.enabledButtons);
}

TEST_F(LessonDialogTest, TheSystemMenuOffersMoveMinimiseAndCloseOnly) {
    UINT maximize = 0, restore = 0, size = 0, move = 0, minimize = 0, close = 0;
    Run({[&](CLDl2&, HWND dialog) {
             const HMENU menu = GetSystemMenu(dialog, FALSE);
             ASSERT_NE(nullptr, menu);
             maximize = GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND);
             restore = GetMenuState(menu, SC_RESTORE, MF_BYCOMMAND);
             size = GetMenuState(menu, SC_SIZE, MF_BYCOMMAND);
             move = GetMenuState(menu, SC_MOVE, MF_BYCOMMAND);
             minimize = GetMenuState(menu, SC_MINIMIZE, MF_BYCOMMAND);
             close = GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND);
         },
         End_Lesson});
    const UINT missing = static_cast<UINT>(-1);
    EXPECT_EQ(missing, maximize);
    EXPECT_EQ(missing, restore);
    EXPECT_EQ(missing, size);
    EXPECT_NE(missing, move);
    EXPECT_NE(missing, minimize);
    EXPECT_NE(missing, close);
}

TEST_F(LessonDialogTest, StoredScoreIsShownAndTheFirstQuestionContinuesItsNumbering) {
    // Ten questions put, nine of them answered, seven correctly.
    Write_Setting("data", "num_question", "10");
    Write_Setting("data", "num_answer", "7");
    std::string question, accuracy;
    Run({[&](CLDl2&, HWND dialog) {
             question = Status_Text(dialog, 0);
             accuracy = Status_Text(dialog, 1);
         },
         End_Lesson});
    EXPECT_EQ("問題 10", question);
    EXPECT_EQ("正解率 77％", accuracy);
}

// ---------------------------------------------------------------------------------------------
// Answers and questions

TEST_F(LessonDialogTest, EachAnswerShowsTheResultAndThenSoundsTheModelsNextNote) {
    const int kAnswers = 6;
    struct After {
        int askedNote = -1;
        bool answeredCorrectly = false;
        int pendingNote = -1;
        std::string question, accuracy;
        int enabled = -1;
    };
    std::vector<After> after(kAnswers);
    std::vector<Step> steps;
    for (int i = 0; i < kAnswers; ++i) {
        steps.push_back([&, i](CLDl2& lesson, HWND dialog) {
            const int asked = lesson.Lesson().Current_Note();
            // Every other answer is wrong; a wrong one may name a sharp.
            const bool correct = i % 2 == 0;
            after[i].askedNote = asked;
            after[i].answeredCorrectly = correct;
            Mark(("answer " + std::to_string(i)).c_str());
            Click_Note(dialog, correct ? asked : (asked + 1) % kNoteCount);
            after[i].pendingNote = lesson.Lesson().Current_MidiNote();
            after[i].question = Status_Text(dialog, 0);
            after[i].accuracy = Status_Text(dialog, 1);
            after[i].enabled = Enabled_NoteButtons(dialog);
        });
    }
    steps.push_back(End_Lesson);
    EXPECT_EQ(0, Run(steps));

    int correctSoFar = 0;
    for (int i = 0; i < kAnswers; ++i) {
        SCOPED_TRACE("answer " + std::to_string(i));
        correctSoFar += after[i].answeredCorrectly ? 1 : 0;
        const std::vector<Event> events =
            Events_Between("answer " + std::to_string(i),
                           i + 1 < kAnswers ? "answer " + std::to_string(i + 1) : "run returned");
        size_t owned = events.size();
        size_t noteOn = events.size();
        int ownedCount = 0, noteOnCount = 0;
        for (size_t e = 0; e < events.size(); ++e) {
            if (events[e].kind == Kind::Owned) {
                owned = e;
                ++ownedCount;
            } else if (Is_NoteOn(events[e])) {
                noteOn = e;
                ++noteOnCount;
            }
        }
        ASSERT_EQ(1, ownedCount);
        ASSERT_EQ(1, noteOnCount);
        EXPECT_LT(owned, noteOn) << "the next note sounded before the result window closed";

        const Event& result = events[owned];
        EXPECT_EQ("解答", result.caption);
        EXPECT_EQ(after[i].answeredCorrectly ? "正解" : "不正解", result.text);
        EXPECT_EQ(kResultAnswerMode, result.resultMode);
        EXPECT_EQ(after[i].answeredCorrectly, result.resultCorrect);
        EXPECT_FALSE(result.lessonEnabled);

        const Event& on = events[noteOn];
        EXPECT_FALSE(on.ownedWindowOpen);
        EXPECT_EQ(Note_On(after[i].pendingNote), on.message);
        EXPECT_EQ(after[i].pendingNote, on.modelNote);
        EXPECT_GE(after[i].pendingNote, 48);
        EXPECT_LE(after[i].pendingNote, 83);
        EXPECT_EQ(0, on.enabledButtons);
        EXPECT_EQ("問題 " + std::to_string(i + 2), on.questionText);

        EXPECT_EQ(kNoteCount, after[i].enabled);
        EXPECT_EQ("問題 " + std::to_string(i + 2), after[i].question);
        EXPECT_EQ("正解率 " + std::to_string(correctSoFar * 100 / (i + 1)) + "％",
                  after[i].accuracy);
    }
}

TEST_F(LessonDialogTest, WithShowAnswerOnTheResultNamesTheAskedNotesLabel) {
    const char* const labels[kNoteCount] = {"ド",    "ド#", "レ",  "レ#", "ミ",  "ファ",
                                            "ファ#", "ソ",  "ソ#", "ラ",  "ラ#", "シ"};
    for (int note = 0; note < kNoteCount; ++note) {
        Write_Setting("data", CLLesson::kKeyNames[note], labels[note]);
    }
    Write_Setting("data", "answer", "1");
    int askedWrong = -1, askedRight = -1;
    Run({[&](CLDl2& lesson, HWND dialog) {
             askedWrong = lesson.Lesson().Current_Note();
             Click_Note(dialog, (askedWrong + 5) % kNoteCount);
         },
         [&](CLDl2& lesson, HWND dialog) {
             askedRight = lesson.Lesson().Current_Note();
             Click_Note(dialog, askedRight);
         },
         End_Lesson});
    std::vector<Event> results;
    for (const Event& event : g_session.events) {
        if (event.kind == Kind::Owned) {
            results.push_back(event);
        }
    }
    ASSERT_EQ(2u, results.size());
    ASSERT_GE(askedWrong, 0);
    ASSERT_GE(askedRight, 0);
    EXPECT_EQ(std::string("不正解 (") + labels[askedWrong] + ")", results[0].text);
    EXPECT_FALSE(results[0].resultCorrect);
    EXPECT_EQ(std::string("正解 (") + labels[askedRight] + ")", results[1].text);
    EXPECT_TRUE(results[1].resultCorrect);
}

TEST_F(LessonDialogTest, ListenAgainReplaysThePendingNoteWithoutCounting) {
    int pendingNote = -1;
    CLLesson::Stored before, afterListen;
    std::string question, accuracy;
    int enabled = -1;
    Run({[&](CLDl2& lesson, HWND dialog) {
             pendingNote = lesson.Lesson().Current_MidiNote();
             before = lesson.Lesson().Get_Stored();
             Mark("listen while sounding");
             Send_Command(dialog, IDC_LISTEN);
             afterListen = lesson.Lesson().Get_Stored();
             question = Status_Text(dialog, 0);
             accuracy = Status_Text(dialog, 1);
             enabled = Enabled_NoteButtons(dialog);
             // The question timer runs out.
             Mark("timer");
             SendMessageA(dialog, WM_TIMER, CLNotePlayer::kQuestionTimer, 0);
             Mark("listen after the end");
             Send_Command(dialog, IDC_LISTEN);
             Mark("done");
         },
         End_Lesson});

    // The first note still sounded: it is ended and started again.
    const std::vector<Event> replay = Events_Between("listen while sounding", "timer");
    ASSERT_EQ((std::vector<Kind>{Kind::ShortMsg, Kind::MidiClose, Kind::MidiOpen, Kind::ShortMsg}),
              Kinds_Of(replay));
    const HMIDIOUT first = Events_BeforeSteps().at(0).device;
    EXPECT_EQ(Note_Off(pendingNote), replay[0].message);
    EXPECT_EQ(first, replay[0].device);
    EXPECT_EQ(first, replay[1].device);
    EXPECT_EQ(MIDI_MAPPER, replay[2].deviceId);
    EXPECT_EQ(Note_On(pendingNote), replay[3].message);
    EXPECT_EQ(replay[2].device, replay[3].device);

    const std::vector<Event> ended = Events_Between("timer", "listen after the end");
    ASSERT_EQ((std::vector<Kind>{Kind::ShortMsg, Kind::MidiClose}), Kinds_Of(ended));
    EXPECT_EQ(Note_Off(pendingNote), ended[0].message);
    EXPECT_EQ(replay[2].device, ended[1].device);

    const std::vector<Event> fresh = Events_Between("listen after the end", "done");
    ASSERT_EQ((std::vector<Kind>{Kind::MidiOpen, Kind::ShortMsg}), Kinds_Of(fresh));
    EXPECT_EQ(Note_On(pendingNote), fresh[1].message);

    EXPECT_EQ("問題 1", question);
    EXPECT_EQ("正解率 0％", accuracy);
    EXPECT_EQ(kNoteCount, enabled);
    EXPECT_EQ(before.totalQuestions, afterListen.totalQuestions);
    EXPECT_EQ(before.totalCorrect, afterListen.totalCorrect);
    for (int note = 0; note < kNoteCount; ++note) {
        EXPECT_EQ(before.asked[note], afterListen.asked[note]);
        EXPECT_EQ(before.correct[note], afterListen.correct[note]);
    }
}

TEST_F(LessonDialogTest, WithoutAMidiDeviceTheLessonRunsSilentlyWithItsButtonsEnabled) {
    g_session.midiAvailable = false;
    int enabledAtStart = -1, enabledAfterAnswer = -1, enabledAfterListen = -1;
    std::string question;
    Run({[&](CLDl2& lesson, HWND dialog) {
             enabledAtStart = Enabled_NoteButtons(dialog);
             Click_Note(dialog, lesson.Lesson().Current_Note());
             enabledAfterAnswer = Enabled_NoteButtons(dialog);
             question = Status_Text(dialog, 0);
             Mark("listen");
             Send_Command(dialog, IDC_LISTEN);
             enabledAfterListen = Enabled_NoteButtons(dialog);
         },
         End_Lesson});

    EXPECT_EQ(kNoteCount, enabledAtStart);
    EXPECT_EQ(kNoteCount, enabledAfterAnswer);
    EXPECT_EQ(kNoteCount, enabledAfterListen);
    EXPECT_EQ("問題 2", question);
    int opens = 0, others = 0, results = 0;
    for (const Event& event : g_session.events) {
        opens += event.kind == Kind::MidiOpen ? 1 : 0;
        others += event.kind == Kind::ShortMsg || event.kind == Kind::MidiClose ? 1 : 0;
        results += event.kind == Kind::Owned ? 1 : 0;
    }
    // The first question, the one after the answer, and the listen command
    // each try the device again.
    EXPECT_EQ(3, opens);
    EXPECT_EQ(0, others);
    EXPECT_EQ(1, results);
    EXPECT_EQ((std::vector<Kind>{Kind::MidiOpen}),
              Kinds_Of(Events_Between("listen", "run returned")));
}

TEST_F(LessonDialogTest, ResetZeroesTheScoreAndKeepsThePendingNote) {
    Write_Setting("data", "num_question", "10");
    Write_Setting("data", "num_answer", "7");
    Write_Setting("a", "4", "3");
    Write_Setting("q", "4", "5");
    int noteBefore = -1, noteAfter = -1, askedAfterReset = -1;
    std::string question, accuracy, questionAfterAnswer, accuracyAfterAnswer;
    CLLesson::Stored reset;
    Run({[&](CLDl2& lesson, HWND dialog) {
             noteBefore = lesson.Lesson().Current_MidiNote();
             Mark("reset");
             Send_Command(dialog, IDC_RESET);
             Mark("reset done");
             noteAfter = lesson.Lesson().Current_MidiNote();
             question = Status_Text(dialog, 0);
             accuracy = Status_Text(dialog, 1);
             reset = lesson.Lesson().Get_Stored();
             askedAfterReset = lesson.Lesson().Current_Note();
             Click_Note(dialog, askedAfterReset);
             questionAfterAnswer = Status_Text(dialog, 0);
             accuracyAfterAnswer = Status_Text(dialog, 1);
         },
         End_Lesson});

    EXPECT_EQ("問題 1", question);
    EXPECT_EQ("正解率 0％", accuracy);
    EXPECT_EQ(noteBefore, noteAfter);
    EXPECT_TRUE(Events_Between("reset", "reset done").empty()) << "reset sounded a note";
    EXPECT_EQ(1, reset.totalQuestions);
    EXPECT_EQ(0, reset.totalCorrect);
    EXPECT_EQ(0, reset.correct[4]);
    EXPECT_EQ(0, reset.asked[4]);
    // The pending question is the first of the new score.
    EXPECT_EQ("問題 2", questionAfterAnswer);
    EXPECT_EQ("正解率 100％", accuracyAfterAnswer);
    EXPECT_EQ("2", Read_Setting("data", "num_question"));
    EXPECT_EQ("1", Read_Setting("data", "num_answer"));
    const char* countOfNote4 = askedAfterReset == 4 ? "1" : "0";
    EXPECT_EQ(countOfNote4, Read_Setting("a", "4"));
    EXPECT_EQ(countOfNote4, Read_Setting("q", "4"));
}

// ---------------------------------------------------------------------------------------------
// Options: menu check marks and toolbar buttons

TEST_F(LessonDialogTest, OptionCommandsFlipMenuMarksAndToolbarButtonsAsTheyAreHandled) {
    Write_Setting("data", "derivation", "1");
    Write_Setting("data", "answer", "1");
    struct Marks {
        bool derivedMenu, derivedTool, answerMenu, answerTool, derived, showAnswer;
    };
    auto marks_of = [](CLDl2& lesson, HWND dialog) {
        return Marks{Menu_Checked(dialog, IDC_DERIVED),    Toolbar_Checked(dialog, IDC_DERIVED),
                     Menu_Checked(dialog, IDC_SHOWANSWER), Toolbar_Checked(dialog, IDC_SHOWANSWER),
                     lesson.Lesson().Derived_Tones(),      lesson.Lesson().Show_Answer()};
    };
    std::vector<Marks> seen;
    Run({[&](CLDl2& lesson, HWND dialog) {
             seen.push_back(marks_of(lesson, dialog)); // 0: from the settings file
             Send_Command(dialog, IDC_DERIVED);
             seen.push_back(marks_of(lesson, dialog)); // 1
             Send_Command(dialog, IDC_SHOWANSWER);
             seen.push_back(marks_of(lesson, dialog)); // 2
             // As an accelerator sends it: the notification code is not looked at.
             SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_DERIVED, 1), 0);
             seen.push_back(marks_of(lesson, dialog)); // 3
         },
         End_Lesson});

    ASSERT_EQ(4u, seen.size());
    EXPECT_TRUE(seen[0].derived && seen[0].showAnswer);
    EXPECT_TRUE(seen[0].derivedMenu && seen[0].derivedTool);
    EXPECT_TRUE(seen[0].answerMenu && seen[0].answerTool);

    EXPECT_FALSE(seen[1].derived);
    EXPECT_FALSE(seen[1].derivedMenu);
    EXPECT_FALSE(seen[1].derivedTool);
    EXPECT_TRUE(seen[1].answerMenu && seen[1].answerTool);

    EXPECT_FALSE(seen[2].showAnswer);
    EXPECT_FALSE(seen[2].answerMenu);
    EXPECT_FALSE(seen[2].answerTool);
    EXPECT_FALSE(seen[2].derivedMenu || seen[2].derivedTool);

    EXPECT_TRUE(seen[3].derived);
    EXPECT_TRUE(seen[3].derivedMenu);
    EXPECT_TRUE(seen[3].derivedTool);
    EXPECT_FALSE(seen[3].answerMenu || seen[3].answerTool);

    EXPECT_EQ("1", Read_Setting("data", "derivation"));
    EXPECT_EQ("0", Read_Setting("data", "answer"));
}

TEST_F(LessonDialogTest, ClickingAToolbarButtonSwitchesTheOptionAndItsMenuMark) {
    bool menuAfter = false, toolAfter = false, optionAfter = false;
    bool menuBefore = true;
    Run({[&](CLDl2& lesson, HWND dialog) {
             menuBefore = Menu_Checked(dialog, IDC_SHOWANSWER);
             const HWND toolbar = GetDlgItem(dialog, IDC_TOOLBAR);
             ASSERT_NE(nullptr, toolbar);
             RECT button = {};
             ASSERT_NE(0, SendMessageA(toolbar, TB_GETRECT, IDC_SHOWANSWER,
                                       reinterpret_cast<LPARAM>(&button)));
             const LPARAM centre =
                 MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
             SendMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, centre);
             SendMessageA(toolbar, WM_LBUTTONUP, 0, centre);
             optionAfter = lesson.Lesson().Show_Answer();
             menuAfter = Menu_Checked(dialog, IDC_SHOWANSWER);
             toolAfter = Toolbar_Checked(dialog, IDC_SHOWANSWER);
         },
         End_Lesson});
    EXPECT_FALSE(menuBefore);
    EXPECT_TRUE(optionAfter);
    EXPECT_TRUE(menuAfter);
    EXPECT_TRUE(toolAfter);
}

TEST_F(LessonDialogTest, AnyMessageBringsHandChangedMarksBackInLineWithTheOptions) {
    Write_Setting("data", "derivation", "1");
    bool handMenu = false, handTool = false, handDerived = true;
    bool menuAfter = true, toolAfter = true, derivedAfter = false, derivedToolAfter = false;
    Run({[&](CLDl2&, HWND dialog) {
             const HMENU menu = GetMenu(dialog);
             const HWND toolbar = GetDlgItem(dialog, IDC_TOOLBAR);
             CheckMenuItem(menu, IDC_SHOWANSWER, MF_BYCOMMAND | MF_CHECKED);
             SendMessageA(toolbar, TB_CHECKBUTTON, IDC_SHOWANSWER, TRUE);
             CheckMenuItem(menu, IDC_DERIVED, MF_BYCOMMAND | MF_UNCHECKED);
             // The changes hold until the dialog sees a message.
             handMenu = Menu_Checked(dialog, IDC_SHOWANSWER);
             handTool = Toolbar_Checked(dialog, IDC_SHOWANSWER);
             handDerived = Menu_Checked(dialog, IDC_DERIVED);

             SendMessageA(dialog, WM_NULL, 0, 0);
             menuAfter = Menu_Checked(dialog, IDC_SHOWANSWER);
             toolAfter = Toolbar_Checked(dialog, IDC_SHOWANSWER);
             derivedAfter = Menu_Checked(dialog, IDC_DERIVED);
             derivedToolAfter = Toolbar_Checked(dialog, IDC_DERIVED);
         },
         End_Lesson});
    ASSERT_TRUE(handMenu);
    ASSERT_TRUE(handTool);
    ASSERT_FALSE(handDerived);
    EXPECT_FALSE(menuAfter);
    EXPECT_FALSE(toolAfter);
    EXPECT_TRUE(derivedAfter);
    EXPECT_TRUE(derivedToolAfter);
}

// ---------------------------------------------------------------------------------------------
// Commands and ending

TEST_F(LessonDialogTest, OkDoesNothingAndUnknownCommandsAreNotHandled) {
    bool okHandled = false, unknownHandled = true, placeholderHandled = true;
    bool fileBeforeEnd = true, stillShown = false;
    CLLesson::Stored before, after;
    int noteBefore = -1, noteAfter = -1;
    Run({[&](CLDl2& lesson, HWND dialog) {
             before = lesson.Lesson().Get_Stored();
             noteBefore = lesson.Lesson().Current_MidiNote();
             Mark("ok");
             okHandled = Handled(dialog, WM_COMMAND, IDOK, 0);
             unknownHandled = Handled(dialog, WM_COMMAND, 40000, 0);
             // 116 is the template's hidden toolbar, not a note button.
             placeholderHandled = Handled(dialog, WM_COMMAND, MAKEWPARAM(116, 0), 0);
             // Enter as the dialog manager delivers it; the dialog must live on.
             PostMessageA(dialog, WM_COMMAND, IDOK, 0);
         },
         [&](CLDl2& lesson, HWND dialog) {
             stillShown = IsWindowVisible(dialog) != FALSE;
             after = lesson.Lesson().Get_Stored();
             noteAfter = lesson.Lesson().Current_MidiNote();
             fileBeforeEnd = Settings_FileExists();
             Mark("ok done");
             PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
         }});
    EXPECT_TRUE(okHandled);
    EXPECT_FALSE(unknownHandled);
    EXPECT_FALSE(placeholderHandled);
    EXPECT_TRUE(stillShown);
    EXPECT_TRUE(Events_Between("ok", "ok done").empty());
    EXPECT_EQ(noteBefore, noteAfter);
    EXPECT_EQ(before.totalQuestions, after.totalQuestions);
    EXPECT_EQ(before.totalCorrect, after.totalCorrect);
    // Saved once, when the window goes.
    EXPECT_FALSE(fileBeforeEnd);
    EXPECT_TRUE(Settings_FileExists());
}

enum class Ending { Cancel, CloseMessage, ExitCommand };

class LessonDialogEndingTest : public LessonDialogTest,
                               public ::testing::WithParamInterface<Ending> {};

TEST_P(LessonDialogEndingTest, EndsWithZeroAndSavesTheScoreAndOptions) {
    int askedNote = -1;
    bool fileBeforeEnd = true;
    bool closeHandled = false;
    CLLesson::Stored stored;
    const int result = Run({[&](CLDl2& lesson, HWND dialog) {
                                Send_Command(dialog, IDC_DERIVED);
                                askedNote = lesson.Lesson().Current_Note();
                                Click_Note(dialog, askedNote);
                            },
                            [&](CLDl2& lesson, HWND dialog) {
                                fileBeforeEnd = Settings_FileExists();
                                stored = lesson.Lesson().Get_Stored();
                                switch (GetParam()) {
                                case Ending::Cancel:
                                    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                                    break;
                                case Ending::CloseMessage:
                                    // The close box; the dialog procedure must take it itself.
                                    closeHandled = Handled(dialog, WM_CLOSE, 0, 0);
                                    break;
                                case Ending::ExitCommand:
                                    PostMessageA(dialog, WM_COMMAND, IDC_EXIT, 0);
                                    break;
                                }
                            }});
    EXPECT_EQ(0, result);
    if (GetParam() == Ending::CloseMessage) {
        EXPECT_TRUE(closeHandled);
    }
    EXPECT_FALSE(fileBeforeEnd);
    ASSERT_GE(askedNote, 0);
    EXPECT_EQ(2, stored.totalQuestions);
    EXPECT_EQ("1", Read_Setting("data", "derivation"));
    EXPECT_EQ("0", Read_Setting("data", "answer"));
    EXPECT_EQ("1", Read_Setting("data", "num_answer"));
    EXPECT_EQ("2", Read_Setting("data", "num_question"));
    for (int note = 0; note < kNoteCount; ++note) {
        const std::string key = std::to_string(note);
        const char* expected = note == askedNote ? "1" : "0";
        EXPECT_EQ(expected, Read_Setting("a", key.c_str())) << key;
        EXPECT_EQ(expected, Read_Setting("q", key.c_str())) << key;
    }
    // Labels are never written back.
    EXPECT_EQ("<none>", Read_Setting("data", "C"));
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, LessonDialogEndingTest,
                         ::testing::Values(Ending::Cancel, Ending::CloseMessage,
                                           Ending::ExitCommand));

TEST_F(LessonDialogTest, DetailsAndVersionBoxRunOwnedAndLeaveTheQuestionAlone) {
    NoteRecord expected[kNoteCount];
    std::string questionBefore, questionAfter;
    Run({[&](CLDl2& lesson, HWND dialog) {
             const int asked = lesson.Lesson().Current_Note();
             Click_Note(dialog, asked);
         },
         [&](CLDl2& lesson, HWND dialog) {
             const int asked = lesson.Lesson().Current_Note();
             Click_Note(dialog, (asked + 1) % kNoteCount);
         },
         [&](CLDl2& lesson, HWND dialog) {
             lesson.Lesson().Copy_Notes(expected);
             questionBefore = Status_Text(dialog, 0);
             std::memset(g_noteSnapshot, 0x55, sizeof g_noteSnapshot);
             Mark("details");
             Send_Command(dialog, IDC_DETAILS);
             Mark("version");
             Send_Command(dialog, IDC_VERSION);
             Mark("done");
             questionAfter = Status_Text(dialog, 0);
         },
         End_Lesson});

    const std::vector<Event> details = Events_Between("details", "version");
    ASSERT_EQ(1u, details.size());
    EXPECT_EQ(Kind::Owned, details[0].kind);
    EXPECT_EQ("正解率詳細", details[0].caption);
    EXPECT_EQ(kResultDetailsMode, details[0].resultMode);
    EXPECT_FALSE(details[0].lessonEnabled);
    int asked = 0, correct = 0;
    for (int note = 0; note < kNoteCount; ++note) {
        EXPECT_STREQ(expected[note].label, g_noteSnapshot[note].label) << note;
        EXPECT_EQ(expected[note].correct, g_noteSnapshot[note].correct) << note;
        EXPECT_EQ(expected[note].asked, g_noteSnapshot[note].asked) << note;
        asked += g_noteSnapshot[note].asked;
        correct += g_noteSnapshot[note].correct;
    }
    EXPECT_EQ(2, asked);
    EXPECT_EQ(1, correct);

    const std::vector<Event> version = Events_Between("version", "done");
    ASSERT_EQ(1u, version.size());
    EXPECT_EQ(Kind::Owned, version[0].kind);
    EXPECT_EQ("ﾊﾞｰｼﾞｮﾝ情報", version[0].caption);
    EXPECT_FALSE(version[0].lessonEnabled);
    EXPECT_EQ("問題 3", questionBefore);
    EXPECT_EQ(questionBefore, questionAfter);
}

TEST_F(LessonDialogTest, LabelsFromTheSettingsFileBecomeTheButtonCaptions) {
    Write_Setting("data", "C", "ﾄﾞ");
    Write_Setting("data", "E", "");
    Write_Setting("data", "G", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    Write_Setting("data", "A#", "ﾗ#");
    std::vector<std::string> captions;
    Run({[&](CLDl2&, HWND dialog) {
             for (WORD id : kNoteButtonIds) {
                 captions.push_back(Window_Text(GetDlgItem(dialog, id)));
             }
         },
         End_Lesson});
    const std::vector<std::string> expected = {"ﾄﾞ", "C#", "D",  "D#",
                                               "",   "F",  "F#", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012",
                                               "G#", "A",  "ﾗ#", "B"};
    EXPECT_EQ(expected, captions);
    // The file keeps the labels as they were.
    EXPECT_EQ("ﾄﾞ", Read_Setting("data", "C"));
    EXPECT_EQ("", Read_Setting("data", "E"));
}

// ---------------------------------------------------------------------------------------------
// Media player and the end of the window

TEST_F(LessonDialogTest, MediaFileIsHeldOpenWhileTheLessonRunsAndClosedAtTheEnd) {
    bool notifyHandled = false;
    int disabledByHand = -1, enabledAfterNotify = -1, enabledAfterSentNotify = -1;
    size_t mciBeforeNotify = 0, mciAfterNotify = 0;
    int closesWhileRunning = -1;
    Run({[&](CLDl2&, HWND dialog) {
             for (WORD id : kNoteButtonIds) {
                 EnableWindow(GetDlgItem(dialog, id), FALSE);
             }
             disabledByHand = Enabled_NoteButtons(dialog);
             mciBeforeNotify = g_session.mci.size();
             notifyHandled = Handled(dialog, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, kMediaDevice);
             enabledAfterNotify = Enabled_NoteButtons(dialog);
             // The same through the dialog manager, as MCI posts it.
             for (WORD id : kNoteButtonIds) {
                 EnableWindow(GetDlgItem(dialog, id), FALSE);
             }
             SendMessageA(dialog, MM_MCINOTIFY, MCI_NOTIFY_SUPERSEDED, kMediaDevice);
             enabledAfterSentNotify = Enabled_NoteButtons(dialog);
             mciAfterNotify = g_session.mci.size();
             closesWhileRunning = 0;
             for (const MciCall& call : g_session.mci) {
                 closesWhileRunning +=
                     call.command == MCI_CLOSE && call.device == kMediaDevice ? 1 : 0;
             }
         },
         End_Lesson});

    ASSERT_FALSE(g_session.mci.empty());
    // The first open is that of the media file, while the dialog initialises.
    const MciCall* open = nullptr;
    for (const MciCall& call : g_session.mci) {
        if (call.command == MCI_OPEN) {
            open = &call;
            break;
        }
    }
    ASSERT_NE(nullptr, open);
    EXPECT_FALSE(open->duringSteps);
    EXPECT_EQ(0u, open->device);
    EXPECT_EQ(static_cast<DWORD_PTR>(MCI_WAIT | MCI_OPEN_ELEMENT), open->flags); // 514
    EXPECT_EQ("data.mid", open->element);
    EXPECT_FALSE(open->hasDeviceType);

    EXPECT_TRUE(notifyHandled);
    EXPECT_EQ(0, disabledByHand);
    EXPECT_EQ(kNoteCount, enabledAfterNotify);
    EXPECT_EQ(kNoteCount, enabledAfterSentNotify);
    // With repeat off the notification plays nothing.
    for (size_t i = mciBeforeNotify; i < mciAfterNotify; ++i) {
        EXPECT_NE(static_cast<UINT>(MCI_PLAY), g_session.mci[i].command);
        EXPECT_NE(static_cast<UINT>(MCI_SEEK), g_session.mci[i].command);
    }

    // Opened once, never played, stopped and closed when the window went.
    int opens = 0, plays = 0, closes = 0;
    const MciCall* close = nullptr;
    const MciCall* stop = nullptr;
    for (const MciCall& call : g_session.mci) {
        opens += call.command == MCI_OPEN ? 1 : 0;
        plays += call.command == MCI_PLAY ? 1 : 0;
        if (call.command == MCI_CLOSE && call.device == kMediaDevice) {
            ++closes;
            close = &call;
        }
        if (call.command == MCI_STOP && call.device == kMediaDevice) {
            stop = &call;
        }
    }
    EXPECT_EQ(1, opens);
    EXPECT_EQ(0, plays);
    ASSERT_NE(nullptr, close);
    EXPECT_EQ(static_cast<DWORD_PTR>(MCI_WAIT), close->flags);
    EXPECT_FALSE(close->afterRun) << "closed only after Run_Modal returned";
    ASSERT_NE(nullptr, stop);
    EXPECT_LT(stop, close);
    EXPECT_EQ(0, closesWhileRunning);
    EXPECT_EQ(1, closes);
}

TEST_F(LessonDialogTest, ANoteStillSoundingAtTheEndGetsItsNoteOffAndClose) {
    int pendingNote = -1;
    Run({[&](CLDl2& lesson, HWND dialog) {
        pendingNote = lesson.Lesson().Current_MidiNote();
        Mark("end");
        // Ending the dialog alone does not silence it; destroying it does.
        Send_Command(dialog, IDCANCEL);
        Mark("ended");
    }});
    const std::vector<Event> init = Events_BeforeSteps();
    ASSERT_EQ((std::vector<Kind>{Kind::MidiOpen, Kind::ShortMsg}), Kinds_Of(init));
    const std::vector<Event> destroyed = Events_Between("ended", "run returned");
    ASSERT_EQ((std::vector<Kind>{Kind::ShortMsg, Kind::MidiClose}), Kinds_Of(destroyed));
    EXPECT_EQ(Note_Off(pendingNote), destroyed[0].message);
    EXPECT_EQ(init[0].device, destroyed[0].device);
    EXPECT_EQ(init[0].device, destroyed[1].device);
    EXPECT_TRUE(Events_Between("run returned").empty());
}

} // namespace
