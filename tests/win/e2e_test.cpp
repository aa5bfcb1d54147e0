// The real tonarium.exe as a user meets it: commands given through its menus
// from the keyboard and its toolbar with the mouse, notes heard through the MIDI
// recorder, and its settings file checked after every run against the driver's
// own tally. Each test installs the program in a folder of its own.
#include "tests/win/Outside.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

using namespace drive;
using namespace outside;

namespace {

// One started copy of the program and the driver's tally of it.
struct Copy : Lesson {
    Tally tally;
    bool silent = false; // no MIDI device: the notes asked are read from the results
};

// The question number counts the pending question, the accuracy those
// answered; the options' toolbar buttons show pressed while they are on.
void Expect_Shown(const Copy& copy) {
    const Tally& tally = copy.tally;
    const int answered = tally.totalQuestions - 1;
    const long long accuracy = answered > 0 ? tally.totalCorrect * 100LL / answered : 0;
    EXPECT_EQ("問題 " + std::to_string(tally.totalQuestions), Status(copy, 0));
    EXPECT_EQ("正解率 " + std::to_string(accuracy) + "％", Status(copy, 1));
    EXPECT_EQ(tally.derived, Pressed(copy, IDM_DERIVED));
    EXPECT_EQ(tally.showAnswer, Pressed(copy, IDM_SHOWANSWER));
}

// A note sounds 1.2 s: bounds that hold on a loaded machine and fail at 1.5 s.
void Expect_Length(const MidiEvent& on, const MidiEvent& off) {
    EXPECT_TRUE(on.Note_On() && off.Note_Off() && off.ms - on.ms >= 1190 && off.ms - on.ms <= 1450)
        << off.ms - on.ms << " ms";
}

// Answers the pending question by ear, or, in a silent copy, with C and the note
// asked read from the answer shown. Returns the note asked. The tally counts
// the next question once the answer is given; close: its result window closes.
int Answer(Copy& copy, bool right, bool close = true) {
    const std::vector<int> heard = copy.Heard();
    const int midiNote = heard.empty() ? -1 : heard.back();
    if (!copy.silent && (midiNote < 48 || midiNote > 83)) {
        // Ends the test: nothing below makes sense without the note.
        throw std::runtime_error("heard no note of the lesson: " + std::to_string(midiNote));
    }
    Tally& tally = copy.tally;
    const HWND result = copy.Press(copy.silent ? 0 : (midiNote + (right ? 0 : 7)) % 12);
    const std::string text = Text_Of(GetDlgItem(result, IDC_RESULT_TEXT));
    int asked = midiNote % 12;
    if (copy.silent) {
        const std::string label = text.substr(text.find('(') + 1, text.size() - text.find('(') - 2);
        asked = static_cast<int>(std::find(tally.labels, tally.labels + 12, label) - tally.labels);
        right = asked == 0;
    }
    if (result == nullptr || asked > 11) {
        throw std::runtime_error("no result window naming the note asked: " + text);
    }
    const std::string shown = tally.showAnswer ? " (" + tally.labels[asked] + ")" : "";
    EXPECT_EQ((right ? "正解" : "不正解") + shown, text);
    EXPECT_EQ(right, IsWindowVisible(GetDlgItem(result, IDC_MARK_CORRECT)) != FALSE);
    EXPECT_EQ(!right, IsWindowVisible(GetDlgItem(result, IDC_MARK_WRONG)) != FALSE);
    ++tally.asked[asked];
    tally.correct[asked] += right;
    tally.totalCorrect += right;
    ++tally.totalQuestions;
    if (!close) {
        return asked;
    }
    EXPECT_TRUE(copy.Close_Result(result));
    EXPECT_EQ(heard.size() + !copy.silent, copy.Heard().size()) << "the next question sounds";
    Expect_Shown(copy);
    return asked;
}

// An option switched through its menu item or with a click on its toolbar
// button; the help either showed goes again.
void Toggle(Copy& copy, WORD command, bool byToolbar) {
    const HWND bar = copy.Item(IDC_STATUSBAR);
    const Picture parts = Capture_Settled(bar);
    if (byToolbar) {
        copy.Point_At(command == IDM_DERIVED ? 3 : 4);
        INPUT click[2] = {{INPUT_MOUSE, {{0, 0, 0, MOUSEEVENTF_LEFTDOWN, 0, 0}}},
                          {INPUT_MOUSE, {{0, 0, 0, MOUSEEVENTF_LEFTUP, 0, 0}}}};
        SendInput(2, click, sizeof(INPUT));
    } else {
        copy.Menu('O', command == IDM_DERIVED ? 'D' : 'S');
    }
    bool& option = command == IDM_DERIVED ? copy.tally.derived : copy.tally.showAnswer;
    option = !option;
    EXPECT_TRUE(Wait_Until([&] { return Pressed(copy, command) == option; }));
    Move_Pointer({0, 0});
    EXPECT_TRUE(Wait_Until([&] { return Capture(bar) == parts; }, 2000)) << "help stays";
    Expect_Shown(copy);
}

// Opens the window of a menu's item "(&A)" (details, version) and closes it the given way.
void Open_Owned(const Copy& copy, char menu, int close) {
    copy.Menu(menu, 'A');
    const HWND window = copy.Wait_Dialog(copy.window);
    ASSERT_NE(nullptr, window) << menu;
    if (close == IDOK) {
        Click(GetDlgItem(window, IDOK));
    } else if (close == IDCANCEL) {
        Tap_Key(VK_ESCAPE);
    } else {
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    EXPECT_TRUE(Wait_Until([&] { return !IsWindow(window); })) << menu;
    Expect_Shown(copy);
}

// The help that highlighting the lesson menu's first item, 音を聞く, paints
// over the status bar; it goes when the menu closes.
Picture Menu_Help(const Copy& copy) {
    const HWND bar = copy.Item(IDC_STATUSBAR);
    const Picture parts = Capture(bar);
    copy.Menu('L');
    EXPECT_TRUE(Wait_Until([&] { return Capture(bar) != parts; }, 2000)) << "no menu help";
    const Picture help = Capture_Settled(bar);
    Tap_Key(VK_MENU);
    EXPECT_TRUE(Wait_Until([&] { return Capture(bar) == parts; }, 2000)) << "menu help stays";
    return help;
}

// Pointing at the listen button shows the help of its menu item; pointing
// past the buttons takes it off again.
void Hover(const Copy& copy, const Picture& listenHelp) {
    const HWND bar = copy.Item(IDC_STATUSBAR);
    copy.Point_At(1);
    EXPECT_TRUE(Wait_Until([&] { return Capture(bar) == listenHelp; }, 2000)) << "no hover help";
    copy.Point_At(5);
    EXPECT_TRUE(Wait_Until([&] { return Capture(bar) != listenHelp; }, 2000)) << "hover help stays";
}

// Listening again while the note sounds ends it at once and sounds it anew,
// for the full 1.2 s from its own note-on.
void Listen_Again(const Copy& copy) {
    const size_t heard = copy.Heard().size();
    const double asked = Now_Ms();
    copy.Menu('L', 'S');
    ASSERT_TRUE(
        Wait_Until([&] { return copy.Heard().size() > heard && copy.Device_Closed(); }, 5000));
    const std::vector<MidiEvent> events = copy.Midi();
    ASSERT_GE(events.size(), 8u);
    const MidiEvent* last = &events[events.size() - 8];
    std::string kinds;
    for (int i = 0; i < 8; ++i) {
        kinds += last[i].kind + " ";
    }
    EXPECT_EQ("open data data close open data data close ", kinds);
    EXPECT_EQ(last[1].value, last[5].value) << "the same note again";
    EXPECT_TRUE(last[2].ms > asked && last[2].ms - asked < 500) << "not ended at once";
    Expect_Length(last[5], last[6]);
}

// Ends the lesson the given way (a command, the close box, or the end of the
// Windows session): no note is left sounding and no device open;
// every note went out on channel 1 with velocity 127, each note-off naming its note.
void Leave(const Copy& copy, WORD how) {
    const size_t heard = copy.Heard().size();
    if (how == IDCANCEL) {
        ASSERT_TRUE(copy.Activate());
        Tap_Key(VK_ESCAPE);
    } else if (how == IDM_EXIT) {
        copy.Menu('L', 'X');
    } else if (how == WM_ENDSESSION) {
        // As Windows ends a session: it asks, announces the end, and ends the process.
        DWORD_PTR allowed = 0;
        ASSERT_TRUE(SendMessageTimeoutA(copy.window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG,
                                        5000, &allowed));
        EXPECT_TRUE(allowed) << "the lesson refuses the end of the session";
        ASSERT_TRUE(SendMessageTimeoutA(copy.window, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000,
                                        nullptr));
        TerminateProcess(copy.info.hProcess, 0);
    } else {
        PostMessageA(copy.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    ASSERT_TRUE(copy.Ended());
    int sounding = -1;
    int open = 0;
    for (const MidiEvent& event : copy.Midi()) {
        EXPECT_FALSE(event.kind == "data" && (event.value & 0xFF000F) != 0x7F0000) << event.value;
        if (event.Note_On()) {
            EXPECT_EQ(-1, sounding) << "a note-on while a note sounds";
            sounding = event.Note();
        } else if (event.Note_Off()) {
            EXPECT_EQ(sounding, event.Note()) << "the note-off names the sounding note";
            sounding = -1;
        }
        open += event.kind == "open" ? 1 : event.kind == "close" ? -1 : 0;
    }
    EXPECT_EQ(heard, copy.Heard().size());
    EXPECT_EQ(-1, sounding) << "a note left sounding";
    EXPECT_EQ(0, open) << "a device left open";
}

class EndToEnd : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Install(folder_.path)); }

    // Starts a copy in the folder; its bars show what it read.
    void Open(Copy& copy, bool recording) {
        copy.silent = !recording;
        ASSERT_TRUE(copy.Open(folder_.path, recording)) << "no lesson window";
        Expect_Shown(copy);
    }
    bool Write_Settings(const Tally& tally) const {
        return Write_File(folder_.File("tonarium.ini"), tally.Settings_File());
    }
    std::string Settings() const { return Read_File(folder_.File("tonarium.ini")); }

    Folder folder_{"e2e"};
};

// No settings file and no MIDI device, and still a lesson, with its help page.
TEST_F(EndToEnd, FirstRunIsSilentButUsableAndOpensItsHelp) {
    Copy copy;
    copy.tally.totalQuestions = 1;
    Open(copy, false);
    Toggle(copy, IDM_SHOWANSWER, false);
    Answer(copy, true);
    const std::string opened = folder_.File("opened.log");
    copy.Menu('H', 'C');
    EXPECT_TRUE(Wait_Until([&] { return Read_File(opened) == folder_.File("index.htm") + "\n"; }));
    // Without the page nothing opens and nothing is shown: the lesson goes on.
    ASSERT_TRUE(DeleteFileA(folder_.File("index.htm").c_str()));
    copy.Menu('H', 'C');
    Answer(copy, false);
    EXPECT_EQ(copy.window, copy.Find_Dialog(nullptr)) << "a window was shown";
    EXPECT_EQ(folder_.File("index.htm") + "\n", Read_File(opened));
    Leave(copy, IDCLOSE);
    EXPECT_EQ(copy.tally.Settings_File(), Settings());
}

TEST_F(EndToEnd, AnswersByEarUntilEveryNoteWasRight) {
    Copy copy;
    Tally& tally = copy.tally;
    // Labels and lines the user put into the file.
    tally.labels[0] = "ド";
    tally.labels[7] = "ソ";
    tally.userData = "C=ド\r\nG=ソ\r\nmemo=表示は毎朝ﾁｪｯｸ\r\n";
    tally.userSection = "[user]\r\nname=山田 太郎\r\nlevel=3\r\n";
    ASSERT_TRUE(Write_Settings(tally));
    tally.totalQuestions = 1;
    Open(copy, true);
    // The lesson holds its media file open, so no other program may write it meanwhile.
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(folder_.File("data.mid").c_str(), GENERIC_WRITE, 0,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    Toggle(copy, IDM_DERIVED, true);
    Toggle(copy, IDM_SHOWANSWER, false);
    const Picture listenHelp = Menu_Help(copy);

    // Everything a user can draw again and again, drawn between two samples of
    // what the program holds, taken once its note has ended on its own. Wine's
    // cache of device contexts grows over the first rounds, and now and then
    // later by four (twelve objects).
    const int kEarly = 12;
    const int kLate = kEarly + 30;
    bool rightOnce[12] = {};
    Resources early;
    for (int answer = 1; answer <= kLate ||
                         !std::all_of(rightOnce, rightOnce + 12, [](bool right) { return right; });
         ++answer) {
        ASSERT_LT(answer, 400) << "some note is never asked";
        const int asked = Answer(copy, answer % 5 != 0);
        rightOnce[asked] = rightOnce[asked] || answer % 5 != 0;
        if (answer == 1) {
            Listen_Again(copy); // while the note of the next question sounds
        }
        if (answer > kLate) {
            continue;
        }
        Hover(copy, listenHelp);
        Open_Owned(copy, 'L', answer % 2 ? IDCANCEL : IDOK);
        Open_Owned(copy, 'H', answer % 2 ? IDCLOSE : IDOK);
        if (answer == kEarly || answer == kLate) {
            ASSERT_TRUE(Wait_Until([&] { return copy.Device_Closed(); }, 3000));
            const std::vector<MidiEvent> events = copy.Midi();
            Expect_Length(events[events.size() - 3], events[events.size() - 2]);
            const Resources now = copy.Sample();
            ASSERT_TRUE(now.gdiObjects > 0 && now.handles > 0) << "the counts cannot be read";
            if (answer == kEarly) {
                early = now;
            }
            EXPECT_LT(now.gdiObjects, early.gdiObjects + kLate - kEarly)
                << "GDI objects leak: " << early.gdiObjects << " -> " << now.gdiObjects;
            EXPECT_LT(now.handles, early.handles + kLate - kEarly)
                << "handles leak: " << early.handles << " -> " << now.handles;
        }
    }
    // Escape while the note of the next question sounds.
    Leave(copy, IDCANCEL);
    EXPECT_EQ(tally.Settings_File(), Settings());
}

TEST_F(EndToEnd, OptionsGoOffByTheOtherRouteAndResetStartsAgain) {
    Copy copy;
    Tally& tally = copy.tally;
    // A lesson that has run before: four questions answered, one pending.
    tally.derived = tally.showAnswer = true;
    tally.totalQuestions = 5;
    tally.totalCorrect = tally.correct[2] = 3;
    tally.asked[2] = 4;
    ASSERT_TRUE(Write_Settings(tally));
    Open(copy, true);
    Toggle(copy, IDM_DERIVED, false);
    Toggle(copy, IDM_SHOWANSWER, true);
    for (int answer = 1; answer <= 8; ++answer) {
        const int asked = Answer(copy, answer % 3 == 0);
        // Only the pending question was drawn with derived tones still on; the
        // bits of 0xAB5 are the natural notes C, D, E, F, G, A and B.
        EXPECT_TRUE(answer == 1 || (0xAB5 >> asked & 1)) << asked;
    }
    const size_t heard = copy.Heard().size();
    copy.Menu('L', 'R');
    EXPECT_TRUE(Wait_Until([&] { return Status(copy, 0) == "問題 1"; }));
    std::fill_n(tally.correct, 12, 0);
    std::fill_n(tally.asked, 12, 0);
    tally.totalCorrect = 0;
    tally.totalQuestions = 1;
    Expect_Shown(copy);
    Open_Owned(copy, 'L', IDCLOSE);
    Open_Owned(copy, 'H', IDCANCEL);
    EXPECT_EQ(heard, copy.Heard().size()) << "the same question stays";
    // A shutdown with the result window open, the note still sounding, keeps the
    // lesson as closing the window would have after it.
    Answer(copy, true, false);
    Leave(copy, WM_ENDSESSION);
    EXPECT_EQ(tally.Settings_File(), Settings());
}

// Two copies at once in one folder, without the media file: both sound and
// answer, the notes they ask differ, and the file is what the last one wrote,
// the second as Windows ends the session.
TEST_F(EndToEnd, TwoCopiesWithoutTheMediaFileShareOneSettingsFile) {
    ASSERT_TRUE(DeleteFileA(folder_.File("data.mid").c_str()));
    Copy first;
    Copy second;
    first.tally.totalQuestions = second.tally.totalQuestions = 1;
    Open(first, true);
    // The second starts a second later, so its questions are drawn anew.
    const std::time_t firstStarted = std::time(nullptr);
    ASSERT_TRUE(Wait_Until([&] { return std::time(nullptr) > firstStarted; }, 2000));
    Open(second, true);
    for (int answer = 1; answer <= 6; ++answer) {
        Answer(first, answer % 2 == 0);
        Answer(second, answer % 3 == 0);
    }
    EXPECT_NE(first.Heard(), second.Heard()) << "two runs ask the same notes";
    Leave(first, IDM_EXIT);
    Leave(second, WM_ENDSESSION);
    EXPECT_EQ(second.tally.Settings_File(), Settings());
}

} // namespace
