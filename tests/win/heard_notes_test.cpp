// Hears the real tonarium.exe end to end: the program runs in a folder of its
// own with the MIDI recorder (winex.drv) as the MIDI mapper's device, and this
// driver plays lessons through its windows while it listens to the log. Every
// note that sounds is matched with what the user was doing at that moment:
// the question it asks (the result window names the note), the command that
// started it and the command or timer that ended it.
//
// How a note ends is decided from what the log said just before the driver
// acted: a note whose note-off is already logged ended on its own; a note still
// sounding when the driver posts a command must be cut short by that command,
// since a posted message is handled before a timer that is not yet due.

#include "res/resource.h"
#include "tests/win/support/AudioDriverSetting.h"
#include "tests/win/support/MidiLog.h"
#include "tests/win/support/ProgramDriver.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using program_driver::ChildProcess;
using program_driver::Now_Ms;
using program_driver::Send_WithTimeout;
using program_driver::TempFolder;

constexpr DWORD kStartTimeoutMs = 30000; // a cold Wine start can take many seconds
constexpr DWORD kWaitTimeoutMs = 10000;
constexpr DWORD kExitTimeoutMs = 20000;
constexpr DWORD kPollMs = 5;

// The question timer is 1.2 s; a note that ends on its own must not end
// earlier, and a generous bound catches one that hangs.
constexpr double kNoteMs = 1200;
constexpr double kNoteLatestMs = 3000;
// A command posted this long after the note-on is queued before the question
// timer is due, so it must be the command that ends the note.
constexpr double kSurelyBeforeTimerMs = 1100;
// Note-off, close, open and note-on of one command come in one burst.
constexpr double kBurstMs = 500;

constexpr int kNoteCount = 12;
constexpr int kAnswers = 30;
constexpr int kAnswersBeforeDerivedTones = 12;
// Answers beyond kAnswers while no derived note has been asked yet.
constexpr int kMoreAnswersForASharp = 30;
constexpr int kLowestNote = 48;
constexpr int kHighestNote = 83;
constexpr std::uint32_t kNoteOnStatus = 0x90;  // channel 1
constexpr std::uint32_t kNoteOffStatus = 0x80; // channel 1
constexpr int kVelocity = 127;

const char kLogVariable[] = "TONARIUM_MIDI_LOG";
const char kLogName[] = "midi.log";

const char* const kKeyNames[kNoteCount] = {"C",  "C#", "D",  "D#", "E",  "F",
                                           "F#", "G",  "G#", "A",  "A#", "B"};
// Control ids of the note buttons by note index.
const int kNoteButtonIds[kNoteCount] = {IDC_NOTE_C,  IDC_NOTE_CS, IDC_NOTE_D,  IDC_NOTE_DS,
                                        IDC_NOTE_E,  IDC_NOTE_F,  IDC_NOTE_FS, IDC_NOTE_G,
                                        IDC_NOTE_GS, IDC_NOTE_A,  IDC_NOTE_AS, IDC_NOTE_B};

bool Is_Sharp(int noteIndex) {
    return noteIndex == 1 || noteIndex == 3 || noteIndex == 6 || noteIndex == 8 || noteIndex == 10;
}

int Note_IndexOfLabel(const std::string& label) {
    for (int note = 0; note < kNoteCount; ++note) {
        if (label == kKeyNames[note]) {
            return note;
        }
    }
    return -1;
}

enum class NoteStart { StartUp, NextQuestion, ListenAgain };
enum class NoteEnd { Timer, NextQuestion, ListenAgain, Exit, Unclear };

const char* Name_Of(NoteStart start) {
    switch (start) {
    case NoteStart::StartUp:
        return "start-up";
    case NoteStart::NextQuestion:
        return "next question";
    case NoteStart::ListenAgain:
        return "listen again";
    }
    return "?";
}

const char* Name_Of(NoteEnd end) {
    switch (end) {
    case NoteEnd::Timer:
        return "timer";
    case NoteEnd::NextQuestion:
        return "next question";
    case NoteEnd::ListenAgain:
        return "listen again";
    case NoteEnd::Exit:
        return "exit";
    case NoteEnd::Unclear:
        return "timer or command";
    }
    return "?";
}

// What the driver knows about one note it made sound.
struct HeardNote {
    NoteStart start = NoteStart::StartUp;
    double startActionMs = 0; // when the driver posted the command that starts it
    NoteEnd end = NoteEnd::Timer;
    double endActionMs = 0; // when the driver posted the command that ends it
    int question = 0;       // 0 for the question asked at start-up
    bool drawnWithDerivedTones = false;
};

struct AnswerSeen {
    int question = 0;
    int pressed = -1;
    bool ringShown = false;
    int revealedNote = -1; // the note index the result window names
};

std::string Describe(const MidiEvent& event) {
    const char* kind = "?";
    switch (event.kind) {
    case MidiEventKind::Load:
        kind = "load";
        break;
    case MidiEventKind::Open:
        kind = "open";
        break;
    case MidiEventKind::Data:
        kind = "data";
        break;
    case MidiEventKind::LongData:
        kind = "long";
        break;
    case MidiEventKind::Reset:
        kind = "reset";
        break;
    case MidiEventKind::Close:
        kind = "close";
        break;
    case MidiEventKind::Other:
        kind = "other";
        break;
    case MidiEventKind::Exit:
        kind = "exit";
        break;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%s 0x%08lx at %.1f ms", kind,
                  static_cast<unsigned long>(event.value), event.timeMs);
    return text;
}

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};

Spread Spread_Of(std::vector<double> values) {
    Spread spread;
    if (values.empty()) {
        return spread;
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    spread.median =
        values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    spread.min = values.front();
    spread.max = values.back();
    return spread;
}

// One run of the program with the recorder as its MIDI device; the driver
// acts only through the program's windows and keeps an account of every
// note it should hear.
class HeardLesson {
public:
    HeardLesson() : folder_("heard"), audio_("x") {}

    // Installs the program with the settings file text and starts it; returns
    // once the lesson window shows and the start-up note has been heard.
    void Start(const std::string& settings) {
        ASSERT_TRUE(audio_.Applied()) << "HKCU\\Software\\Wine\\Drivers Audio";
        ASSERT_TRUE(program_driver::Prepare_ProgramFolder(folder_)) << folder_.Path();
        ASSERT_TRUE(program_driver::Write_WholeFile(folder_.File("tonarium.ini"), settings.data(),
                                                    static_cast<DWORD>(settings.size())));
        logPath_ = folder_.File(kLogName);
        {
            // Only the program started here inherits the log path; the
            // variable goes again before anything else could start.
            program_driver::ScopedEnvironmentVariable logVariable(kLogVariable, logPath_.c_str());
            ASSERT_TRUE(process_.Start(folder_.File("tonarium.exe"), "", folder_.Path()))
                << "error " << GetLastError();
        }
        ASSERT_TRUE(program_driver::Wait_Until(
            [&] {
                window_ = program_driver::Find_UnownedDialog(process_.Id());
                return window_ != nullptr || !process_.Alive();
            },
            kStartTimeoutMs, kPollMs))
            << "no lesson window";
        ASSERT_NE(nullptr, window_) << "the program ended before showing its lesson window";
        for (int note = 0; note < kNoteCount; ++note) {
            buttons_[note] = GetDlgItem(window_, kNoteButtonIds[note]);
            ASSERT_NE(nullptr, buttons_[note]) << kKeyNames[note];
        }
        // Nothing has been done to the program yet: the note must come by itself.
        ASSERT_TRUE(Wait_NoteOns(1, kStartTimeoutMs)) << "no note at start-up";
        HeardNote first;
        first.start = NoteStart::StartUp;
        first.startActionMs = process_.StartMs();
        first.drawnWithDerivedTones = derivedTones_;
        notes_.push_back(first);
    }

    // The time of the driver's first command; the start-up note must come
    // before it.
    double FirstActionMs() const { return firstActionMs_; }

    void Toggle_DerivedTones() {
        Note_Action();
        ASSERT_TRUE(PostMessageA(window_, WM_COMMAND, MAKEWPARAM(IDC_DERIVED, 0), 0));
        derivedTones_ = !derivedTones_;
        ASSERT_TRUE(program_driver::Wait_Until(
            [&] {
                return (Send_WithTimeout(GetDlgItem(window_, IDC_TOOLBAR), TB_ISBUTTONCHECKED,
                                         IDC_DERIVED, 0) > 0) == derivedTones_;
            },
            kWaitTimeoutMs, kPollMs))
            << "派生音 did not change";
    }

    // Waits until the sounding note has ended on its own.
    void Wait_NoteEnded() {
        ASSERT_TRUE(Wait_AllNotesEnded(static_cast<DWORD>(kNoteLatestMs) + kWaitTimeoutMs))
            << "note " << notes_.size() << " never ended";
    }

    // The listen-again command (menu "音を聞く(&S)"): the same note again.
    void Listen_Again() {
        const double posted = Post_NoteCommand(IDC_LISTEN, NoteEnd::ListenAgain);
        HeardNote again;
        again.start = NoteStart::ListenAgain;
        again.startActionMs = posted;
        again.question = notes_.back().question;
        again.drawnWithDerivedTones = notes_.back().drawnWithDerivedTones;
        notes_.push_back(again);
        ASSERT_TRUE(Wait_NoteOns(notes_.size(), kWaitTimeoutMs)) << "listen again sounded nothing";
    }

    // Presses a note button, reads the result window, keeps it open until
    // the note has ended when asked to, closes it and waits for the next
    // question's note.
    void Answer(std::mt19937& random, bool holdResultUntilNoteEnds) {
        ASSERT_TRUE(
            program_driver::Wait_Until([&] { return Ready_ForAnswer(); }, kWaitTimeoutMs, kPollMs))
            << "the note buttons never took input";
        AnswerSeen answer;
        answer.question = notes_.back().question;
        answer.pressed = Choose_Button(random);
        Note_Action();
        ASSERT_TRUE(PostMessageA(buttons_[answer.pressed], BM_CLICK, 0, 0));
        HWND result =
            program_driver::Wait_ForOwnedDialog(process_.Id(), window_, kWaitTimeoutMs, kPollMs);
        ASSERT_NE(nullptr, result) << "no result window after " << kKeyNames[answer.pressed];
        ASSERT_NO_FATAL_FAILURE(Read_Result(result, &answer));
        answers_.push_back(answer);

        if (holdResultUntilNoteEnds) {
            // The question timer ends the note while the result window is open.
            ASSERT_NO_FATAL_FAILURE(Wait_NoteEnded());
            ASSERT_TRUE(IsWindow(result));
        }
        HWND ok = GetDlgItem(result, IDOK);
        ASSERT_NE(nullptr, ok);
        const double closed = Post_NoteCommandTo(ok, BM_CLICK, 0, NoteEnd::NextQuestion);
        HeardNote next;
        next.start = NoteStart::NextQuestion;
        next.startActionMs = closed;
        next.question = notes_.back().question + 1;
        next.drawnWithDerivedTones = derivedTones_;
        notes_.push_back(next);
        ASSERT_TRUE(Wait_NoteOns(notes_.size(), kWaitTimeoutMs))
            << "no note after the result window closed";
    }

    enum class Ending { ExitCommand, Escape };

    // Ends the program while its note sounds; the exit code must be 0.
    void End(Ending how) {
        if (how == Ending::ExitCommand) {
            Post_NoteCommandTo(window_, WM_COMMAND, MAKEWPARAM(IDC_EXIT, 0), NoteEnd::Exit);
        } else {
            // The key goes to the focused control, as the keyboard sends it;
            // the dialog manager turns it into IDCANCEL.
            GUITHREADINFO thread = {};
            thread.cbSize = sizeof thread;
            HWND focus = buttons_[0];
            if (GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &thread) &&
                thread.hwndFocus != nullptr) {
                focus = thread.hwndFocus;
            }
            Post_NoteCommandTo(focus, WM_KEYDOWN, VK_ESCAPE, NoteEnd::Exit, 0x00010001);
            EXPECT_TRUE(PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001));
        }
        DWORD exitCode = 1;
        ASSERT_TRUE(process_.Wait_Exit(kExitTimeoutMs, &exitCode)) << "the program did not end";
        EXPECT_EQ(0u, exitCode);
    }

    int Note_Sounding() const {
        const std::vector<MidiEvent> events = Events();
        for (auto it = events.rbegin(); it != events.rend(); ++it) {
            if (Is_NoteOn(*it)) {
                return Midi_Note(it->value);
            }
        }
        return -1;
    }

    std::vector<MidiEvent> Events() const {
        return Events_OfProcess(Read_MidiLog(logPath_), process_.Id());
    }
    const std::vector<HeardNote>& Notes() const { return notes_; }
    const std::vector<AnswerSeen>& Answers() const { return answers_; }
    double StartMs() const { return process_.StartMs(); }

private:
    bool Ready_ForAnswer() const {
        if (!IsWindowEnabled(window_)) {
            return false;
        }
        for (HWND button : buttons_) {
            if (!IsWindowEnabled(button)) {
                return false;
            }
        }
        return true;
    }

    void Count_Notes(size_t* ons, size_t* offs) const {
        *ons = 0;
        *offs = 0;
        for (const MidiEvent& event : Events()) {
            *ons += Is_NoteOn(event) ? 1 : 0;
            *offs += Is_NoteOff(event) ? 1 : 0;
        }
    }

    bool Wait_NoteOns(size_t count, DWORD timeoutMs) const {
        return program_driver::Wait_Until(
            [&] {
                size_t ons = 0;
                size_t offs = 0;
                Count_Notes(&ons, &offs);
                return ons >= count;
            },
            timeoutMs, kPollMs);
    }

    bool Wait_AllNotesEnded(DWORD timeoutMs) const {
        return program_driver::Wait_Until(
            [&] {
                size_t ons = 0;
                size_t offs = 0;
                Count_Notes(&ons, &offs);
                return offs >= ons;
            },
            timeoutMs, kPollMs);
    }

    void Note_Action() {
        if (firstActionMs_ == 0) {
            firstActionMs_ = Now_Ms();
        }
    }

    double Post_NoteCommand(int command, NoteEnd endIfSounding) {
        return Post_NoteCommandTo(window_, WM_COMMAND, MAKEWPARAM(command, 0), endIfSounding);
    }

    // Posts a message that sounds or stops a note and records how the note
    // sounding now must end: by this message when the log shows it still
    // sounding, unless its timer may be due first.
    double Post_NoteCommandTo(HWND target, UINT message, WPARAM wParam, NoteEnd endIfSounding,
                              LPARAM lParam = 0) {
        Note_Action();
        size_t ons = 0;
        size_t offs = 0;
        Count_Notes(&ons, &offs);
        const double sentOnMs = Last_NoteOnMs();
        const double posted = Now_Ms();
        EXPECT_TRUE(PostMessageA(target, message, wParam, lParam));
        HeardNote& sounding = notes_.back();
        if (offs >= ons) {
            sounding.end = NoteEnd::Timer;
        } else if (posted - sentOnMs < kSurelyBeforeTimerMs) {
            sounding.end = endIfSounding;
            sounding.endActionMs = posted;
        } else {
            sounding.end = NoteEnd::Unclear;
            sounding.endActionMs = posted;
        }
        return posted;
    }

    double Last_NoteOnMs() const {
        const std::vector<MidiEvent> events = Events();
        for (auto it = events.rbegin(); it != events.rend(); ++it) {
            if (Is_NoteOn(*it)) {
                return it->timeMs;
            }
        }
        return 0;
    }

    // Half the answers right (the note just heard), the rest wrong; while
    // derived tones are off a wrong answer is now and then a sharp.
    int Choose_Button(std::mt19937& random) const {
        const int heard = Note_Sounding() % kNoteCount;
        if (std::uniform_int_distribution<int>(0, 1)(random) == 0) {
            return heard;
        }
        return (heard + std::uniform_int_distribution<int>(1, kNoteCount - 1)(random)) % kNoteCount;
    }

    void Read_Result(HWND result, AnswerSeen* answer) const {
        HWND text = GetDlgItem(result, IDC_RESULT_TEXT);
        HWND ring = GetDlgItem(result, IDC_MARK_CORRECT);
        HWND cross = GetDlgItem(result, IDC_MARK_WRONG);
        ASSERT_NE(nullptr, text);
        ASSERT_NE(nullptr, ring);
        ASSERT_NE(nullptr, cross);
        answer->ringShown = IsWindowVisible(ring) != FALSE;
        ASSERT_NE(answer->ringShown, IsWindowVisible(cross) != FALSE)
            << "exactly one mark must show";
        const std::string shown = program_driver::Text_Of(text);
        const std::string prefix = answer->ringShown ? "正解 (" : "不正解 (";
        ASSERT_TRUE(shown.size() > prefix.size() + 1 &&
                    shown.compare(0, prefix.size(), prefix) == 0 && shown.back() == ')')
            << "result text '" << shown << "' with the " << (answer->ringShown ? "ring" : "cross");
        answer->revealedNote =
            Note_IndexOfLabel(shown.substr(prefix.size(), shown.size() - prefix.size() - 1));
        ASSERT_GE(answer->revealedNote, 0) << "the result names no note: " << shown;
    }

    TempFolder folder_;
    AudioDriverSetting audio_;
    ChildProcess process_;
    std::string logPath_;
    HWND window_ = nullptr;
    std::array<HWND, kNoteCount> buttons_{};
    bool derivedTones_ = false;
    double firstActionMs_ = 0;
    std::vector<HeardNote> notes_;
    std::vector<AnswerSeen> answers_;
};

// Figures for the benchmark notes.
struct Measured {
    std::vector<double> noteLengthsMs;       // notes ended by the question timer
    std::vector<double> resultCloseToNoteMs; // result window's Ok posted → next note-on
    std::vector<double> burstMs;             // interrupted note-off → next note-on
    int endedByTimer = 0;
    int endedByNextQuestion = 0;
    int endedByListenAgain = 0;
    int endedByExit = 0;
};

void Check_Message(const MidiEvent& event, std::uint32_t status, const char* what) {
    EXPECT_EQ(MidiEventKind::Data, event.kind) << what << ": " << Describe(event);
    EXPECT_EQ(status, event.value & 0xFF) << what << " status and channel: " << Describe(event);
    EXPECT_EQ(kVelocity, Midi_Velocity(event.value)) << what << " velocity: " << Describe(event);
    EXPECT_EQ(0u, event.value >> 24) << what << ": " << Describe(event);
}

// Checks the whole log of one run against the driver's account: each note
// is one open, note-on, note-off and close, started and ended as the driver
// caused it, and nothing sounds or stays open when the program has gone.
void Check_HeardNotes(const HeardLesson& lesson, double firstActionMs, Measured* measured) {
    const std::vector<MidiEvent> all = lesson.Events();
    const std::vector<HeardNote>& notes = lesson.Notes();

    std::vector<MidiEvent> device;
    int exits = 0;
    for (const MidiEvent& event : all) {
        switch (event.kind) {
        case MidiEventKind::Load:
            break;
        case MidiEventKind::Exit:
            ++exits;
            EXPECT_EQ(0u, event.value) << "devices still open when the driver left";
            EXPECT_TRUE(device.empty() || device.back().kind == MidiEventKind::Close)
                << "the driver left after " << Describe(device.back());
            break;
        case MidiEventKind::Open:
        case MidiEventKind::Data:
        case MidiEventKind::Close:
            device.push_back(event);
            break;
        default:
            ADD_FAILURE() << "unexpected message to the device: " << Describe(event);
            break;
        }
    }
    EXPECT_GE(exits, 1) << "the driver never saw the program end";
    EXPECT_TRUE(Notes_LeftSounding(all).empty()) << "a note is left sounding";
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(MidiEventKind::Exit, all.back().kind) << Describe(all.back());

    ASSERT_EQ(4 * notes.size(), device.size())
        << "one open, note-on, note-off and close for each of the " << notes.size() << " notes";
    for (size_t i = 0; i < notes.size(); ++i) {
        const HeardNote& note = notes[i];
        const MidiEvent& open = device[4 * i];
        const MidiEvent& on = device[4 * i + 1];
        const MidiEvent& off = device[4 * i + 2];
        const MidiEvent& close = device[4 * i + 3];
        SCOPED_TRACE("note " + std::to_string(i) + " (question " + std::to_string(note.question) +
                     ", " + Name_Of(note.start) + " to " + Name_Of(note.end) + ")");
        ASSERT_EQ(MidiEventKind::Open, open.kind) << Describe(open);
        ASSERT_EQ(MidiEventKind::Close, close.kind) << Describe(close);
        Check_Message(on, kNoteOnStatus, "note-on");
        Check_Message(off, kNoteOffStatus, "note-off");
        const int number = Midi_Note(on.value);
        EXPECT_GE(number, kLowestNote);
        EXPECT_LE(number, kHighestNote);
        EXPECT_EQ(number, Midi_Note(off.value)) << "the note-off names another note";
        if (!note.drawnWithDerivedTones && note.start != NoteStart::ListenAgain) {
            EXPECT_FALSE(Is_Sharp(number % kNoteCount)) << "a sharp with 派生音 off: " << number;
        }

        switch (note.start) {
        case NoteStart::StartUp:
            EXPECT_GE(on.timeMs, lesson.StartMs());
            EXPECT_LT(on.timeMs, firstActionMs) << "the first note waited for the driver";
            break;
        case NoteStart::NextQuestion:
            EXPECT_GE(on.timeMs, note.startActionMs) << "sounded before the result closed";
            measured->resultCloseToNoteMs.push_back(on.timeMs - note.startActionMs);
            break;
        case NoteStart::ListenAgain:
            EXPECT_GE(on.timeMs, note.startActionMs);
            ASSERT_GT(i, 0u);
            EXPECT_EQ(Midi_Note(device[4 * (i - 1) + 1].value), number)
                << "listen again sounded another note";
            break;
        }

        const double length = off.timeMs - on.timeMs;
        EXPECT_LE(length, kNoteLatestMs);
        switch (note.end) {
        case NoteEnd::Timer:
            EXPECT_GE(length, kNoteMs) << "ended before the question timer";
            measured->noteLengthsMs.push_back(length);
            ++measured->endedByTimer;
            break;
        case NoteEnd::NextQuestion:
        case NoteEnd::ListenAgain:
        case NoteEnd::Exit: {
            // Cut short by the driver's command, before the timer was due.
            EXPECT_GE(off.timeMs, note.endActionMs) << "ended before the command was given";
            EXPECT_LT(length, kNoteMs) << "the command did not stop the note";
            if (note.end == NoteEnd::Exit) {
                ++measured->endedByExit;
                EXPECT_EQ(notes.size() - 1, i) << "notes after the exit";
                break;
            }
            ++(note.end == NoteEnd::NextQuestion ? measured->endedByNextQuestion
                                                 : measured->endedByListenAgain);
            ASSERT_LT(i + 1, notes.size()) << "the command sounded no new note";
            const MidiEvent& nextOn = device[4 * (i + 1) + 1];
            EXPECT_LT(nextOn.timeMs - off.timeMs, kBurstMs)
                << "the note-off is not in the same burst as the next note-on";
            measured->burstMs.push_back(nextOn.timeMs - off.timeMs);
            break;
        }
        case NoteEnd::Unclear:
            EXPECT_GE(off.timeMs, on.timeMs);
            break;
        }
    }

    // Every answered question was heard as the note the result window names.
    for (const AnswerSeen& answer : lesson.Answers()) {
        SCOPED_TRACE("question " + std::to_string(answer.question) + ", pressed " +
                     kKeyNames[answer.pressed]);
        EXPECT_EQ(answer.ringShown, answer.pressed == answer.revealedNote)
            << "the verdict disagrees with the button; the result names "
            << kKeyNames[answer.revealedNote];
        int heardOfQuestion = 0;
        for (size_t i = 0; i < notes.size(); ++i) {
            if (notes[i].question != answer.question) {
                continue;
            }
            ++heardOfQuestion;
            const int number = Midi_Note(device[4 * i + 1].value);
            EXPECT_EQ(answer.revealedNote, number % kNoteCount)
                << "heard note " << number << ", result names " << kKeyNames[answer.revealedNote];
        }
        EXPECT_GE(heardOfQuestion, 1) << "the question was never heard";
    }
}

void Print_Spread(const char* what, const std::vector<double>& values) {
    const Spread spread = Spread_Of(values);
    std::printf("[ heard  ] %s: median %.1f ms, min %.1f ms, max %.1f ms (%zu)\n", what,
                spread.median, spread.min, spread.max, values.size());
}

// Thirty answers and more, in a round of ways a user hears notes: letting a
// note fade before answering, answering while it sounds and reading the
// result until it fades, answering and closing at once, listening again
// while it sounds and after it has ended. 派生音 goes on after the first
// answers so that sharps are asked too; the lesson ends with 終了(&X) while
// the last question's note sounds.
TEST(HeardNotes, EveryNoteIsTheAnsweredQuestionAndEndsAsTheUserCausedIt) {
    HeardLesson lesson;
    ASSERT_NO_FATAL_FAILURE(lesson.Start("[data]\r\nanswer=1\r\nderivation=0\r\n"));
    const double runStartMs = Now_Ms();
    std::mt19937 random(20240917u);

    bool derivedTonesOn = false;
    bool heardSharpWithDerivedTones = false;
    for (int answer = 0; answer < kAnswers + kMoreAnswersForASharp &&
                         (answer < kAnswers || !heardSharpWithDerivedTones);
         ++answer) {
        if (answer == kAnswersBeforeDerivedTones) {
            ASSERT_NO_FATAL_FAILURE(lesson.Toggle_DerivedTones());
            derivedTonesOn = true;
        }
        switch (answer % 6) {
        case 0: // the note fades, then the answer
            ASSERT_NO_FATAL_FAILURE(lesson.Wait_NoteEnded());
            ASSERT_NO_FATAL_FAILURE(lesson.Answer(random, false));
            break;
        case 1: // the note fades while the result window is open
            ASSERT_NO_FATAL_FAILURE(lesson.Answer(random, true));
            break;
        case 2: // the next question cuts the note short
        case 5:
            ASSERT_NO_FATAL_FAILURE(lesson.Answer(random, false));
            break;
        case 3: // listen again while it sounds, then cut short
            ASSERT_NO_FATAL_FAILURE(lesson.Listen_Again());
            ASSERT_NO_FATAL_FAILURE(lesson.Answer(random, false));
            break;
        case 4: // listen again once it has faded
            ASSERT_NO_FATAL_FAILURE(lesson.Wait_NoteEnded());
            ASSERT_NO_FATAL_FAILURE(lesson.Listen_Again());
            ASSERT_NO_FATAL_FAILURE(lesson.Answer(random, true));
            break;
        }
        const std::vector<HeardNote>& notes = lesson.Notes();
        const HeardNote& answered = notes[notes.size() - 2];
        if (derivedTonesOn && answered.drawnWithDerivedTones &&
            Is_Sharp(lesson.Answers().back().revealedNote)) {
            heardSharpWithDerivedTones = true;
        }
    }
    ASSERT_NO_FATAL_FAILURE(lesson.End(HeardLesson::Ending::ExitCommand));
    const double runMs = Now_Ms() - runStartMs;

    Measured measured;
    ASSERT_NO_FATAL_FAILURE(Check_HeardNotes(lesson, lesson.FirstActionMs(), &measured));
    EXPECT_TRUE(heardSharpWithDerivedTones) << "派生音 on, but no sharp was asked";
    EXPECT_GE(lesson.Answers().size(), static_cast<size_t>(kAnswers));
    int correct = 0;
    for (const AnswerSeen& answer : lesson.Answers()) {
        correct += answer.ringShown ? 1 : 0;
    }
    EXPECT_GT(correct, 0) << "no answer was scored correct";
    EXPECT_LT(correct, static_cast<int>(lesson.Answers().size())) << "no answer was scored wrong";
    // The round above must really have exercised each way a note ends.
    EXPECT_GE(measured.endedByTimer, 10);
    EXPECT_GE(measured.endedByNextQuestion, 5);
    EXPECT_GE(measured.endedByListenAgain, 2);
    EXPECT_EQ(1, measured.endedByExit);

    std::printf("[ heard  ] %zu answers (%d correct), %zu notes in %.1f s: %d ended by the timer, "
                "%d by the next question, %d by listen again, %d by the exit\n",
                lesson.Answers().size(), correct, lesson.Notes().size(), runMs / 1000,
                measured.endedByTimer, measured.endedByNextQuestion, measured.endedByListenAgain,
                measured.endedByExit);
    Print_Spread("note length (timer)", measured.noteLengthsMs);
    Print_Spread("result closed -> next note-on", measured.resultCloseToNoteMs);
    Print_Spread("cut-short note-off -> next note-on", measured.burstMs);
}

// Escape while the start-up note still sounds: the note is ended on the way
// out and no device stays open.
TEST(HeardNotes, EscapeWhileTheFirstNoteSoundsLeavesNothingSounding) {
    HeardLesson lesson;
    ASSERT_NO_FATAL_FAILURE(lesson.Start("[data]\r\nanswer=1\r\n"));
    ASSERT_NO_FATAL_FAILURE(lesson.End(HeardLesson::Ending::Escape));
    ASSERT_EQ(1u, lesson.Notes().size());
    ASSERT_EQ(NoteEnd::Exit, lesson.Notes().back().end)
        << "the note had ended before Escape was pressed";
    Measured measured;
    ASSERT_NO_FATAL_FAILURE(Check_HeardNotes(lesson, lesson.FirstActionMs(), &measured));
    EXPECT_EQ(1, measured.endedByExit);
}

} // namespace
