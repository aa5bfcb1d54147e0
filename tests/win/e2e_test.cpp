// The real tonarium.exe over several runs in one folder, as a user meets it:
// driven through its windows, heard through the MIDI recorder, and its
// settings file checked after every run against the driver's own tally.
#include "tests/win/Outside.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

using namespace drive;
using namespace outside;

namespace {

bool Is_Natural(int note) {
    return note != 1 && note != 3 && note != 6 && note != 8 && note != 10;
}

class EndToEnd : public testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new Folder("e2e");
        ASSERT_TRUE(Install(folder_->path));
    }
    static void TearDownTestSuite() { delete folder_; }

    std::string Settings_Path() const { return folder_->File("tonarium.ini"); }

    void Open(bool recording) {
        ASSERT_TRUE(lesson_.Open(folder_->path, recording)) << "no lesson window";
        for (int note = 0; note < 12; ++note) {
            EXPECT_EQ(tally_.labels[note], Text_Of(lesson_.Button(note))) << note;
        }
        Expect_Toolbar();
        Expect_Status();
    }

    // The question number counts the pending question; the accuracy, those answered.
    void Expect_Status() const {
        const int answered = tally_.totalQuestions - 1;
        const long long accuracy = answered > 0 ? tally_.totalCorrect * 100LL / answered : 0;
        EXPECT_EQ("問題 " + std::to_string(tally_.totalQuestions), Status(lesson_, 0));
        EXPECT_EQ("正解率 " + std::to_string(accuracy) + "％", Status(lesson_, 1));
    }

    bool Pressed(WORD command) const {
        return SendMessageA(lesson_.Item(IDC_TOOLBAR), TB_ISBUTTONCHECKED, command, 0) != 0;
    }

    // The toolbar's buttons show the options pressed, as the menu's check marks do.
    void Expect_Toolbar() const {
        EXPECT_EQ(tally_.derived, Pressed(IDM_DERIVED));
        EXPECT_EQ(tally_.showAnswer, Pressed(IDM_SHOWANSWER));
    }

    // Answers the pending question by ear; returns the note index asked.
    int Answer(bool right) {
        int midiNote = -1;
        const int heard = lesson_.Note_Ons(&midiNote);
        if (midiNote < 48 || midiNote > 83) {
            // Ends the test: nothing below makes sense without the note.
            throw std::runtime_error("heard no note of the lesson: " + std::to_string(midiNote));
        }
        const int asked = midiNote % 12;
        const HWND result = lesson_.Press(right ? asked : (asked + 7) % 12);
        EXPECT_NE(nullptr, result) << "no result window";
        const std::string expected = std::string(right ? "正解" : "不正解") +
                                     (tally_.showAnswer ? " (" + tally_.labels[asked] + ")" : "");
        EXPECT_EQ(expected, Text_Of(GetDlgItem(result, IDC_RESULT_TEXT)));
        EXPECT_EQ(right, IsWindowVisible(GetDlgItem(result, IDC_MARK_CORRECT)) != FALSE);
        EXPECT_EQ(!right, IsWindowVisible(GetDlgItem(result, IDC_MARK_WRONG)) != FALSE);
        ++tally_.asked[asked];
        tally_.correct[asked] += right;
        tally_.totalCorrect += right;
        ++tally_.totalQuestions;
        EXPECT_TRUE(lesson_.Close_Result(result));
        EXPECT_EQ(heard + 1, lesson_.Note_Ons()) << "closing the result sounds the next question";
        Expect_Status();
        return asked;
    }

    // Puts the mouse cursor on a toolbar button, as a user does; returns the
    // button's centre in the toolbar's coordinates.
    LPARAM Point_AtButton(int index) const {
        const HWND toolbar = lesson_.Item(IDC_TOOLBAR);
        const RECT item =
            Remote<RECT>(lesson_, toolbar, TB_GETITEMRECT, index, [](RECT&, char*) {});
        POINT point = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
        const LPARAM centre = MAKELPARAM(point.x, point.y);
        ClientToScreen(toolbar, &point);
        SetCursorPos(point.x, point.y);
        return centre;
    }

    // An option switched from its menu item or with a mouse click on its toolbar button.
    void Toggle(WORD command, bool byToolbar) {
        if (byToolbar) {
            Point_AtButton(command == IDM_DERIVED ? 3 : 4);
            INPUT click[2] = {};
            click[0].type = click[1].type = INPUT_MOUSE;
            click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
            click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
            SendInput(2, click, sizeof(INPUT));
        } else {
            lesson_.Command(command);
        }
        bool& option = command == IDM_DERIVED ? tally_.derived : tally_.showAnswer;
        option = !option;
        // The mouse's click arrives in its own time.
        EXPECT_TRUE(Wait_Until([&] { return Pressed(command) == option; }));
        SetCursorPos(0, 0); // away from the toolbar, so that no hover help stays
        lesson_.Sync();
        Expect_Toolbar();
    }

    // Opens a window that the lesson owns, checks it and closes it the given way.
    void Open_Owned(WORD command, const char* caption, int close) {
        lesson_.Command(command);
        const HWND window = lesson_.Wait_Dialog(lesson_.window);
        ASSERT_NE(nullptr, window) << caption;
        EXPECT_EQ(caption, Text_Of(window));
        if (close == IDOK) {
            Click(GetDlgItem(window, IDOK));
        } else if (close == IDCANCEL) {
            Press_Key(window, VK_ESCAPE);
        } else {
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        EXPECT_TRUE(Wait_Until([&] { return !IsWindow(window); })) << caption;
        lesson_.Sync();
        Expect_Status();
    }

    // A highlighted menu item paints its help over the status bar; the toolbar
    // button of the same command, pointed at, the same help. Both go again.
    void Expect_HelpTexts() {
        const HWND bar = lesson_.Item(IDC_STATUSBAR);
        const HWND toolbar = lesson_.Item(IDC_TOOLBAR);
        const Picture parts = Capture(bar);
        PostMessageA(lesson_.window, WM_MENUSELECT, MAKEWPARAM(IDM_LISTEN, MF_HILITE), 0);
        lesson_.Sync();
        EXPECT_TRUE(Wait_Until([&] { return Capture(bar) != parts; }, 2000)) << "no menu help";
        const Picture listenHelp = Capture(bar); // its text: tests/pictures/status-help.png
        PostMessageA(lesson_.window, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0); // the menu closes
        EXPECT_TRUE(Wait_Until([&] { return Capture(bar) == parts; }, 2000)) << "menu help stays";
        PostMessageA(toolbar, WM_MOUSEMOVE, 0, Point_AtButton(1));
        EXPECT_TRUE(Wait_Until([&] { return Capture(bar) == listenHelp; }, 2000))
            << "no hover help";
        // The tool tips are the menu's texts without their mnemonics.
        EXPECT_EQ("音を聞く|派生音|正解を表示",
                  Tool_Tip(lesson_, 1) + "|" + Tool_Tip(lesson_, 3) + "|" + Tool_Tip(lesson_, 4));
        SetCursorPos(0, 0);
        EXPECT_TRUE(Wait_Until([&] { return Capture(bar) == parts; }, 2000)) << "hover help stays";
    }

    // Ends the lesson and checks that no note is left sounding and no device open.
    void Leave(WORD how) {
        const int notes = lesson_.Note_Ons();
        if (how == IDCANCEL) {
            Press_Key(lesson_.Button(0), VK_ESCAPE);
        } else if (how == IDM_EXIT) {
            lesson_.Command(IDM_EXIT);
        } else {
            PostMessageA(lesson_.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        DWORD exitCode = 1;
        ASSERT_TRUE(lesson_.Wait_Exit(20000, &exitCode));
        EXPECT_EQ(0u, exitCode);
        const std::vector<MidiEvent> events = lesson_.Midi();
        int sounding = -1;
        int open = 0;
        for (const MidiEvent& event : events) {
            EXPECT_FALSE(event.kind == "data" && (event.value & 0x0F) != 0) << "channel 1";
            if (event.Note_On()) {
                EXPECT_EQ(-1, sounding) << "a note-on while a note sounds";
                EXPECT_EQ(0x7F0090u, event.value & 0xFF00FF) << "velocity 127";
                sounding = event.Note();
            } else if (event.Note_Off()) {
                EXPECT_EQ(sounding, event.Note()) << "the note-off names the sounding note";
                sounding = -1;
            }
            open += event.kind == "open" ? 1 : event.kind == "close" ? -1 : 0;
        }
        EXPECT_EQ(notes, lesson_.Note_Ons());
        EXPECT_EQ(-1, sounding) << "a note left sounding";
        EXPECT_EQ(0, open) << "a device left open";
    }

    void Expect_Settings() const { EXPECT_EQ(tally_.Settings_File(), Read_File(Settings_Path())); }

    static Folder* folder_;
    static Tally tally_;
    Lesson lesson_;
};

Folder* EndToEnd::folder_ = nullptr;
Tally EndToEnd::tally_;

// A first run: no settings file and no MIDI device, and still a lesson.
TEST_F(EndToEnd, FirstRunIsSilentButUsableAndCreatesTheSettingsFile) {
    tally_.totalQuestions = 1;
    Open(false);
    const HWND result = lesson_.Press(0);
    ASSERT_NE(nullptr, result);
    const bool right = Text_Of(GetDlgItem(result, IDC_RESULT_TEXT)) == "正解";
    EXPECT_EQ(right ? "正解" : "不正解", Text_Of(GetDlgItem(result, IDC_RESULT_TEXT)));
    EXPECT_EQ(right, IsWindowVisible(GetDlgItem(result, IDC_MARK_CORRECT)) != FALSE);
    EXPECT_TRUE(lesson_.Close_Result(result));
    tally_.totalQuestions = 2;
    tally_.totalCorrect = right;
    Expect_Status();
    Open_Owned(IDM_VERSION, "ﾊﾞｰｼﾞｮﾝ情報", IDCLOSE);
    Leave(IDCLOSE);
    // The asked note was not heard: a right answer was C, a wrong one any other.
    const std::string written = Read_File(Settings_Path());
    for (int asked = 0; asked < 12; ++asked) {
        tally_.asked[asked] = 1;
        tally_.correct[asked] = right;
        if ((asked == 0) == right && written == tally_.Settings_File()) {
            break;
        }
        tally_.asked[asked] = tally_.correct[asked] = 0;
    }
    Expect_Settings();
}

TEST_F(EndToEnd, AnswersByEarUntilEveryNoteWasRight) {
    // Labels and lines the user put into the file.
    tally_.labels[0] = "ド";
    tally_.labels[7] = "ソ";
    tally_.userData = "C=ド\r\nG=ソ\r\nmemo=表示は毎朝ﾁｪｯｸ\r\n";
    tally_.userSection = "[user]\r\nname=山田 太郎\r\nlevel=3\r\n";
    ASSERT_TRUE(Write_File(Settings_Path(), tally_.Settings_File()));
    Open(true);
    // The lesson holds its media file open, so no other program may write it meanwhile.
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(folder_->File("data.mid").c_str(), GENERIC_WRITE, 0,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    Toggle(IDM_DERIVED, true);
    Toggle(IDM_SHOWANSWER, false);

    bool rightOnce[12] = {};
    Resources early;
    bool everyNote = false;
    for (int answer = 1; answer <= 80 || !everyNote; ++answer) {
        ASSERT_LT(answer, 400) << "some note is never asked";
        const int asked = Answer(answer % 5 != 0);
        rightOnce[asked] = rightOnce[asked] || answer % 5 != 0;
        everyNote = std::all_of(rightOnce, rightOnce + 12, [](bool right) { return right; });
        if (answer == 10 || answer == 80) {
            // Sampled in the same state: the note has ended on its own. Wine's
            // cache of window DCs grows by up to 15 objects over a run's first
            // answers; a leak of one object an answer grows by 70.
            ASSERT_TRUE(Wait_Until([&] { return lesson_.Device_Closed(); }, 3000));
            const std::vector<MidiEvent> events = lesson_.Midi();
            ASSERT_GE(events.size(), 3u);
            const double length = events[events.size() - 2].ms - events[events.size() - 3].ms;
            EXPECT_TRUE(length >= 1190 && length < 3000) << length << " ms";
            const Resources now = lesson_.Sample();
            if (answer == 10) {
                early = now;
            } else {
                EXPECT_LE(now.gdiObjects, early.gdiObjects + 20) << "GDI objects leak";
                EXPECT_LE(now.handles, early.handles + 20) << "handles leak";
            }
        }
        if (answer == 20) {
            // Listening again while the note sounds starts it anew, for the full 1.2 s.
            const int heard = lesson_.Note_Ons();
            lesson_.Command(IDM_LISTEN);
            ASSERT_TRUE(Wait_Until(
                [&] { return lesson_.Note_Ons() > heard && lesson_.Device_Closed(); }, 5000));
            const std::vector<MidiEvent> events = lesson_.Midi();
            ASSERT_GE(events.size(), 8u);
            const MidiEvent* last = &events[events.size() - 8];
            std::string kinds;
            for (int i = 0; i < 8; ++i) {
                kinds += last[i].kind + " ";
            }
            EXPECT_EQ("open data data close open data data close ", kinds);
            EXPECT_EQ(last[1].value, last[5].value) << "the same note again";
            EXPECT_TRUE(last[2].Note_Off() && last[6].Note_Off());
            EXPECT_LT(last[2].ms - last[1].ms, 1000) << "listening again ends the note at once";
            EXPECT_GE(last[6].ms - last[5].ms, 1190) << "the replay is cut short";
            Expect_Status();
        }
        if (answer == 30) {
            Expect_HelpTexts();
        }
    }
    Open_Owned(IDM_DETAILS, "正解率詳細", IDCANCEL);
    Open_Owned(IDM_VERSION, "ﾊﾞｰｼﾞｮﾝ情報", IDOK);
    // Escape while the note of the next question sounds.
    Leave(IDCANCEL);
    Expect_Settings();
}

TEST_F(EndToEnd, OptionsGoOffByTheOtherRouteAndResetStartsAgain) {
    Open(true);
    Toggle(IDM_DERIVED, false);
    Toggle(IDM_SHOWANSWER, true);
    for (int answer = 1; answer <= 8; ++answer) {
        const int asked = Answer(answer % 3 == 0);
        // Only the pending question was drawn with derived tones still on.
        EXPECT_TRUE(answer == 1 || Is_Natural(asked)) << asked;
    }
    const int heard = lesson_.Note_Ons();
    lesson_.Command(IDM_RESET);
    lesson_.Sync();
    for (int note = 0; note < 12; ++note) {
        tally_.correct[note] = tally_.asked[note] = 0;
    }
    tally_.totalCorrect = 0;
    tally_.totalQuestions = 1;
    Expect_Status();
    Open_Owned(IDM_DETAILS, "正解率詳細", IDCLOSE);
    Open_Owned(IDM_VERSION, "ﾊﾞｰｼﾞｮﾝ情報", IDCANCEL);
    EXPECT_EQ(heard, lesson_.Note_Ons()) << "the same question stays";
    Answer(true);
    Leave(IDM_EXIT);
    Expect_Settings();
}

} // namespace
