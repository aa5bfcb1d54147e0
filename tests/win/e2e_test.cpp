// End to end: starts the real tonarium.exe in a folder of its own and plays
// whole lessons through its windows from this process, reading only what a
// user sees: captions, the status bar, the result and details windows, the
// toolbar and the settings file. The driver keeps its own tally of the score
// and checks every number the program shows against it.
//
// Everything here crosses a process boundary: texts of controls come through
// WM_GETTEXT (marshalled by the system), status-bar texts and toolbar
// rectangles through a buffer allocated inside the program's process. Menus
// of another process cannot be read under Wine, so the menu check marks are
// seen through the toolbar, which copies its button states from the menu.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/win/support/ProgramDriver.h"
#include "tests/win/support/Screenshot.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using program_driver::ChildProcess;
using program_driver::Read_WholeFile;
using program_driver::RemoteBuffer;
using program_driver::Send_WithTimeout;
using program_driver::TempFolder;
using program_driver::Write_WholeFile;

constexpr DWORD kStartTimeoutMs = 30000; // a cold Wine start can take many seconds
constexpr DWORD kWindowTimeoutMs = 10000;
constexpr DWORD kExitTimeoutMs = 20000;
constexpr DWORD kPollMs = 5;
constexpr int kNoteCount = 12;
constexpr SIZE_T kRemoteBufferSize = 1024;

const char* const kKeyNames[kNoteCount] = {"C",  "C#", "D",  "D#", "E",  "F",
                                           "F#", "G",  "G#", "A",  "A#", "B"};
// Control ids of the note buttons by note index.
const int kNoteButtonIds[kNoteCount] = {IDC_NOTE_C,  IDC_NOTE_CS, IDC_NOTE_D,  IDC_NOTE_DS,
                                        IDC_NOTE_E,  IDC_NOTE_F,  IDC_NOTE_FS, IDC_NOTE_G,
                                        IDC_NOTE_GS, IDC_NOTE_A,  IDC_NOTE_AS, IDC_NOTE_B};
const int kNaturalNotes[] = {0, 2, 4, 5, 7, 9, 11};

// The labels of the prepared settings file. G and G# use the full-width ソ,
// whose second byte is 0x5C: a reader or writer that treats the bytes of a
// double-byte character one at a time breaks them.
const char* const kPreparedLabels[kNoteCount] = {"ﾄﾞ",  "ﾄﾞ#", "ﾚ",   "ﾚ#", "ﾐ",  "ﾌｧ",
                                                 "ﾌｧ#", "ソ",  "ソ#", "ﾗ",  "ﾗ#", "ｼ"};
const char kForeignDataKey[] = "memo";
const char kForeignDataValue[] = "表示は毎朝ﾁｪｯｸ";
const char kForeignSection[] = "user";
const std::vector<std::string> kForeignSectionLines = {"name=山田 太郎", "level=3"};

bool IsSharp(int note) {
    return note == 1 || note == 3 || note == 6 || note == 8 || note == 10;
}

// A text as the program shows it, in code page 932. Failure messages print
// its bytes unescaped, so that a log converted from CP932 reads as Japanese.
struct ScreenText {
    ScreenText(std::string text) : bytes(std::move(text)) {}
    ScreenText(const char* text) : bytes(text) {}
    std::string bytes;
};

bool operator==(const ScreenText& left, const ScreenText& right) {
    return left.bytes == right.bytes;
}

bool operator!=(const ScreenText& left, const ScreenText& right) {
    return !(left == right);
}

std::ostream& operator<<(std::ostream& out, const ScreenText& text) {
    return out << '"' << text.bytes << '"';
}

ScreenText QuestionText(int number) {
    return "問題 " + std::to_string(number);
}

ScreenText AccuracyText(int percent) {
    return "正解率 " + std::to_string(percent) + "％";
}

int AccuracyPercent(int correct, int answered) {
    if (answered <= 0) {
        return 0;
    }
    return static_cast<int>(static_cast<std::int64_t>(correct) * 100 / answered);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The settings file as the program leaves it: sections in file order, each
// with its lines and its key=value pairs in file order.
struct IniSection {
    std::string name;
    std::vector<std::string> lines;
    std::vector<std::pair<std::string, std::string>> entries;
};

std::vector<IniSection> ParseIni(const std::string& bytes) {
    std::vector<IniSection> sections;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            sections.push_back({line.substr(1, line.size() - 2), {}, {}});
            continue;
        }
        if (sections.empty()) {
            sections.push_back({"", {}, {}});
        }
        sections.back().lines.push_back(line);
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            sections.back().entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
        } else {
            sections.back().entries.emplace_back(line, std::string());
        }
    }
    return sections;
}

const IniSection* FindSection(const std::vector<IniSection>& sections, const std::string& name) {
    for (const IniSection& section : sections) {
        if (section.name == name) {
            return &section;
        }
    }
    return nullptr;
}

std::vector<std::string> KeysOf(const IniSection& section) {
    std::vector<std::string> keys;
    for (const auto& entry : section.entries) {
        keys.push_back(entry.first);
    }
    return keys;
}

ScreenText ValueOf(const IniSection& section, const std::string& key) {
    for (const auto& entry : section.entries) {
        if (entry.first == key) {
            return entry.second;
        }
    }
    return "<missing>";
}

std::vector<std::string> Sorted(std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
}

std::vector<std::string> CountKeys() {
    std::vector<std::string> keys;
    for (int note = 0; note < kNoteCount; ++note) {
        keys.push_back(std::to_string(note));
    }
    return keys;
}

// The driver's own account of the lesson: what the program should show and
// store. "answered" counts the answered questions since the score began (or
// was reset), over all runs; the pending question is number answered + 1.
struct Tally {
    bool derivedTones = false;
    bool showAnswer = false;
    int answered = 0;
    int correct = 0;
    std::array<int, kNoteCount> correctByNote{};
    std::array<int, kNoteCount> askedByNote{};
    // Wrong answers while the asked note was not shown: counted in the total
    // but not attributable to a note.
    int unattributedAsked = 0;
    // Whether the derived tones option was on when the pending question was
    // drawn; a change of the option applies from the next question on.
    bool pendingDrawnWithDerived = false;

    void Reset() {
        answered = 0;
        correct = 0;
        correctByNote.fill(0);
        askedByNote.fill(0);
        unattributedAsked = 0;
    }
};

// As a ScreenText, so that a failure prints the text as it shows.
ScreenText TextOf(HWND window) {
    return program_driver::Text_Of(window);
}

void SaveScreenshot(HWND window, const char* name) {
    const char* folder = std::getenv("TONARIUM_SCREENSHOTS");
    if (folder == nullptr || *folder == '\0' || window == nullptr) {
        return;
    }
    // Let the window finish painting before its screen area is copied.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
    const std::string path = std::string(folder) + "\\" + name;
    EXPECT_TRUE(SaveWindowScreenshot(window, path.c_str())) << path;
}

enum class ResultClose { OkButton, Escape, CloseBox };

enum class LessonEnd { Escape, CloseBox, ExitCommand };

// One run of the program: started in a folder, its lesson window found, then
// driven until it ends.
class LessonRun {
public:
    LessonRun() = default;
    LessonRun(const LessonRun&) = delete;
    LessonRun& operator=(const LessonRun&) = delete;

    // Starts tonarium.exe of the folder with the folder as working directory
    // and waits for its lesson window.
    void Start(const TempFolder& folder) {
        ASSERT_TRUE(process_.Start(folder.File("tonarium.exe"), "", folder.Path()))
            << "error " << GetLastError();
        ASSERT_TRUE(program_driver::Wait_Until(
            [&] {
                window_ = program_driver::Find_UnownedDialog(process_.Id());
                return window_ != nullptr || !Alive();
            },
            kStartTimeoutMs, kPollMs))
            << "no lesson window";
        ASSERT_NE(nullptr, window_) << "the program ended before showing its lesson window";
        // The window shows before the first question is asked; a sent message
        // is handled only once the lesson waits for input, so the first
        // question is out when this returns.
        ASSERT_NE(-1, Send_WithTimeout(window_, WM_NULL, 0, 0));
        startMilliseconds_ = static_cast<DWORD>(program_driver::Now_Ms() - process_.StartMs());
        std::printf("[ e2e    ] lesson window after %lu ms\n",
                    static_cast<unsigned long>(startMilliseconds_));

        buffer_.reset(new RemoteBuffer(process_.Handle(), kRemoteBufferSize));
        ASSERT_TRUE(buffer_->Valid()) << "VirtualAllocEx: error " << GetLastError();
        statusBar_ = GetDlgItem(window_, IDC_STATUSBAR);
        toolbar_ = GetDlgItem(window_, IDC_TOOLBAR);
        ASSERT_NE(nullptr, statusBar_);
        ASSERT_NE(nullptr, toolbar_);
        ASSERT_EQ("msctls_statusbar32", program_driver::Class_Of(statusBar_));
        ASSERT_EQ("ToolbarWindow32", program_driver::Class_Of(toolbar_));
        for (int note = 0; note < kNoteCount; ++note) {
            noteButtons_[note] = GetDlgItem(window_, kNoteButtonIds[note]);
            ASSERT_NE(nullptr, noteButtons_[note]) << "note " << kKeyNames[note];
        }
    }

    HWND Window() const { return window_; }
    HWND Toolbar() const { return toolbar_; }
    HWND NoteButton(int note) const { return noteButtons_[note]; }
    DWORD ProcessId() const { return process_.Id(); }
    DWORD StartMilliseconds() const { return startMilliseconds_; }

    bool Alive() const { return process_.Alive(); }

    ScreenText StatusText(int part) const {
        return program_driver::Status_Text(statusBar_, part, *buffer_);
    }

    std::vector<int> StatusPartEdges() const {
        const int count = static_cast<int>(Send_WithTimeout(statusBar_, SB_GETPARTS, 0, 0));
        if (count <= 0 || count > 16 || !buffer_->Clear()) {
            return {};
        }
        Send_WithTimeout(statusBar_, SB_GETPARTS, count, buffer_->Address());
        std::vector<int> edges(count);
        if (!buffer_->Read(edges.data(), sizeof(int) * edges.size())) {
            return {};
        }
        return edges;
    }

    bool ToolbarChecked(int command) const {
        return Send_WithTimeout(toolbar_, TB_ISBUTTONCHECKED, command, 0) > 0;
    }
    bool ToolbarEnabled(int command) const {
        return Send_WithTimeout(toolbar_, TB_ISBUTTONENABLED, command, 0) > 0;
    }

    // A click on a toolbar button: the mouse press and release at the
    // button's centre, as the user gives it. Sent, so the command has been
    // handled when this returns.
    void ClickToolbar(int command) const {
        const LRESULT index = Send_WithTimeout(toolbar_, TB_COMMANDTOINDEX, command, 0);
        ASSERT_GE(index, 0) << "no toolbar button for " << command;
        RECT item = {};
        ASSERT_TRUE(buffer_->Clear());
        ASSERT_GT(Send_WithTimeout(toolbar_, TB_GETITEMRECT, index, buffer_->Address()), 0);
        ASSERT_TRUE(buffer_->Read(&item, sizeof item));
        const LPARAM centre =
            MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        Send_WithTimeout(toolbar_, WM_LBUTTONDOWN, MK_LBUTTON, centre);
        Send_WithTimeout(toolbar_, WM_LBUTTONUP, 0, centre);
    }

    // Menu commands arrive as posted WM_COMMAND messages.
    void PostCommand(int command) const {
        ASSERT_TRUE(PostMessageA(window_, WM_COMMAND, MAKEWPARAM(command, 0), 0));
    }

    // The visible dialog that the lesson window owns (result, details or
    // version window), or null when none appears in time.
    HWND WaitForOwnedDialog() const {
        return program_driver::Wait_ForOwnedDialog(process_.Id(), window_, kWindowTimeoutMs,
                                                   kPollMs);
    }

    bool WaitForWindowGone(HWND window) const {
        return program_driver::Wait_Until([&] { return !IsWindow(window); }, kWindowTimeoutMs,
                                          kPollMs);
    }

    // The lesson takes answers again: its window is enabled (no modal window
    // open) and so are all twelve note buttons.
    bool ReadyForAnswer() const {
        if (!IsWindowEnabled(window_)) {
            return false;
        }
        for (HWND button : noteButtons_) {
            if (!IsWindowEnabled(button)) {
                return false;
            }
        }
        return true;
    }

    // Ends the program the given way and waits for the process; the exit
    // code must be 0.
    void End(LessonEnd how) {
        switch (how) {
        case LessonEnd::Escape: {
            // The key goes to the focused control, as the keyboard sends it;
            // the dialog manager turns it into IDCANCEL.
            GUITHREADINFO thread = {};
            thread.cbSize = sizeof thread;
            HWND focus = noteButtons_[0];
            if (GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &thread) &&
                thread.hwndFocus != nullptr) {
                focus = thread.hwndFocus;
            }
            ASSERT_TRUE(PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001));
            ASSERT_TRUE(PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001));
            break;
        }
        case LessonEnd::CloseBox:
            ASSERT_TRUE(PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0));
            break;
        case LessonEnd::ExitCommand:
            PostCommand(IDC_EXIT);
            break;
        }
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process_.Handle(), kExitTimeoutMs))
            << "the program did not end";
        DWORD exitCode = 1;
        ASSERT_TRUE(GetExitCodeProcess(process_.Handle(), &exitCode));
        EXPECT_EQ(0u, exitCode);
        EXPECT_FALSE(IsWindow(window_));
    }

private:
    // Declared first, so the buffer inside the process is freed before the
    // process handle is closed.
    ChildProcess process_;
    HWND window_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND toolbar_ = nullptr;
    std::array<HWND, kNoteCount> noteButtons_{};
    std::unique_ptr<RemoteBuffer> buffer_;
    DWORD startMilliseconds_ = 0;
};

// What one answer showed.
struct AnswerOutcome {
    bool correct = false;
    int askedNote = -1; // -1 when the result did not name it
};

// Drives one run against the tally: every answer, command and window is
// checked against what the tally says the user should see.
class LessonPlayer {
public:
    LessonPlayer(LessonRun& run, Tally& tally, const std::array<std::string, kNoteCount>& labels)
        : run_(run), tally_(tally), labels_(labels) {}

    void ExpectScoreShown() const {
        EXPECT_EQ(QuestionText(tally_.answered + 1), run_.StatusText(0));
        EXPECT_EQ(AccuracyText(AccuracyPercent(tally_.correct, tally_.answered)),
                  run_.StatusText(1));
    }

    // The toolbar buttons of the two options follow the menu check marks,
    // which follow the options.
    void ExpectOptionMarks() const {
        EXPECT_EQ(tally_.derivedTones, run_.ToolbarChecked(IDC_DERIVED)) << "派生音";
        EXPECT_EQ(tally_.showAnswer, run_.ToolbarChecked(IDC_SHOWANSWER)) << "正解を表示";
        // A command missing from the menu would show its button disabled.
        EXPECT_TRUE(run_.ToolbarEnabled(IDC_DERIVED));
        EXPECT_TRUE(run_.ToolbarEnabled(IDC_SHOWANSWER));
        EXPECT_TRUE(run_.ToolbarEnabled(IDC_LISTEN));
    }

    // Presses one note button and checks the result window, the status bar
    // and the next question.
    void Answer(int pressed, ResultClose close, AnswerOutcome* outcome) {
        ASSERT_TRUE(program_driver::Wait_Until([&] { return run_.ReadyForAnswer(); },
                                               kWindowTimeoutMs, kPollMs));
        // The button takes the click as from the mouse; posted, since the
        // click runs the modal result window.
        ASSERT_TRUE(PostMessageA(run_.NoteButton(pressed), BM_CLICK, 0, 0));
        HWND result = run_.WaitForOwnedDialog();
        ASSERT_NE(nullptr, result) << "no result window after pressing " << kKeyNames[pressed];
        ASSERT_NO_FATAL_FAILURE(ReadResult(result, pressed, outcome));

        const bool drawnWithDerived = tally_.pendingDrawnWithDerived;
        if (outcome->askedNote >= 0 && !drawnWithDerived) {
            EXPECT_FALSE(IsSharp(outcome->askedNote))
                << "a derived note was asked with 派生音 off: " << labels_[outcome->askedNote];
        }
        Count(pressed, *outcome);

        // The score is shown before the result window opens; the question
        // number is still that of the answered question.
        const ScreenText shownWithResult = run_.StatusText(0);
        // A wrong number puts every later comparison off: stop at the first.
        ASSERT_EQ(QuestionText(tally_.answered), shownWithResult);
        const ScreenText accuracy = AccuracyText(AccuracyPercent(tally_.correct, tally_.answered));
        ASSERT_EQ(accuracy, run_.StatusText(1));
        EXPECT_FALSE(IsWindowEnabled(run_.Window())) << "the lesson window takes input";

        if (onWrongResultShown_ != nullptr && !outcome->correct) {
            onWrongResultShown_(result);
            onWrongResultShown_ = nullptr;
        }
        ASSERT_NO_FATAL_FAILURE(CloseOwnedDialog(result, close));

        // Closing the result asks the next question at once.
        ASSERT_TRUE(program_driver::Wait_Until(
            [&] { return run_.ReadyForAnswer() && run_.StatusText(0) != shownWithResult; },
            kWindowTimeoutMs, kPollMs))
            << "no next question after " << shownWithResult;
        ASSERT_EQ(QuestionText(tally_.answered + 1), run_.StatusText(0));
        ASSERT_EQ(accuracy, run_.StatusText(1));
        tally_.pendingDrawnWithDerived = tally_.derivedTones;
    }

    // Answers count questions with notes from the generator, then goes on
    // until both verdicts have been seen (so both paths are checked).
    void AnswerMany(int count, std::mt19937& random, std::vector<AnswerOutcome>* outcomes) {
        bool seenCorrect = false;
        bool seenWrong = false;
        for (int i = 0; i < count + 200 && (i < count || !seenCorrect || !seenWrong); ++i) {
            const int pressed = ChooseNote(random);
            const ResultClose close = static_cast<ResultClose>(i % 3);
            AnswerOutcome outcome;
            ASSERT_NO_FATAL_FAILURE(Answer(pressed, close, &outcome));
            seenCorrect = seenCorrect || outcome.correct;
            seenWrong = seenWrong || !outcome.correct;
            outcomes->push_back(outcome);
        }
        EXPECT_TRUE(seenCorrect);
        EXPECT_TRUE(seenWrong);
    }

    // Called once, with the next result window that shows a wrong answer.
    void SetOnWrongResultShown(void (*callback)(HWND)) { onWrongResultShown_ = callback; }

    // Closes a dialog owned by the lesson window the given way and waits
    // until the lesson window is usable again.
    void CloseOwnedDialog(HWND dialog, ResultClose close) const {
        switch (close) {
        case ResultClose::OkButton: {
            HWND ok = GetDlgItem(dialog, IDOK);
            ASSERT_NE(nullptr, ok);
            ASSERT_TRUE(PostMessageA(ok, BM_CLICK, 0, 0));
            break;
        }
        case ResultClose::Escape:
            ASSERT_TRUE(PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0));
            break;
        case ResultClose::CloseBox:
            ASSERT_TRUE(PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0));
            break;
        }
        ASSERT_TRUE(run_.WaitForWindowGone(dialog)) << "the window did not close";
        EXPECT_TRUE(program_driver::Wait_Until(
            [&] { return IsWindowEnabled(run_.Window()) != FALSE; }, kWindowTimeoutMs, kPollMs));
    }

private:
    int ChooseNote(std::mt19937& random) const {
        // Mostly notes that can be asked, so that correct answers come often
        // enough; now and then a derived note while they are off, which
        // must be scored as wrong.
        if (!tally_.derivedTones) {
            if (std::uniform_int_distribution<int>(0, 5)(random) == 0) {
                const int sharps[] = {1, 3, 6, 8, 10};
                return sharps[std::uniform_int_distribution<int>(0, 4)(random)];
            }
            return kNaturalNotes[std::uniform_int_distribution<int>(0, 6)(random)];
        }
        return std::uniform_int_distribution<int>(0, kNoteCount - 1)(random);
    }

    void ReadResult(HWND result, int pressed, AnswerOutcome* outcome) const {
        EXPECT_EQ(ScreenText("解答"), TextOf(result));
        HWND text = GetDlgItem(result, IDC_RESULT_TEXT);
        HWND ring = GetDlgItem(result, IDC_MARK_CORRECT);
        HWND cross = GetDlgItem(result, IDC_MARK_WRONG);
        ASSERT_NE(nullptr, text);
        ASSERT_NE(nullptr, ring);
        ASSERT_NE(nullptr, cross);
        const bool ringShown = IsWindowVisible(ring) != FALSE;
        const bool crossShown = IsWindowVisible(cross) != FALSE;
        ASSERT_NE(ringShown, crossShown) << "exactly one mark must show";
        outcome->correct = ringShown;

        const std::string shown = TextOf(text).bytes;
        const std::string verdict = outcome->correct ? "正解" : "不正解";
        if (!tally_.showAnswer) {
            EXPECT_EQ(ScreenText(verdict), ScreenText(shown));
            if (outcome->correct) {
                outcome->askedNote = pressed;
            }
        } else {
            const std::string prefix = verdict + " (";
            ASSERT_TRUE(shown.size() > prefix.size() + 1 &&
                        shown.compare(0, prefix.size(), prefix) == 0 && shown.back() == ')')
                << "result text '" << shown << "' for the mark " << verdict;
            const std::string label = shown.substr(prefix.size(), shown.size() - prefix.size() - 1);
            for (int note = 0; note < kNoteCount; ++note) {
                if (labels_[note] == label) {
                    outcome->askedNote = note;
                }
            }
            ASSERT_GE(outcome->askedNote, 0) << "the result names no note: " << shown;
            EXPECT_EQ(outcome->correct, outcome->askedNote == pressed)
                << "pressed " << labels_[pressed] << ", result '" << shown << "'";
        }

        // The Ok button sits in the middle of the widened window.
        HWND ok = GetDlgItem(result, IDOK);
        ASSERT_NE(nullptr, ok);
        RECT client = {};
        RECT button = {};
        GetClientRect(result, &client);
        GetWindowRect(ok, &button);
        POINT topLeft = {button.left, button.top};
        ScreenToClient(result, &topLeft);
        const int buttonWidth = button.right - button.left;
        EXPECT_EQ((client.right - buttonWidth) / 2, topLeft.x) << "Ok is not centred";
    }

    void Count(int pressed, const AnswerOutcome& outcome) {
        ++tally_.answered;
        if (outcome.correct) {
            ++tally_.correct;
            ++tally_.correctByNote[pressed];
        }
        if (outcome.askedNote >= 0) {
            ++tally_.askedByNote[outcome.askedNote];
        } else {
            ++tally_.unattributedAsked;
        }
    }

    LessonRun& run_;
    Tally& tally_;
    const std::array<std::string, kNoteCount>& labels_;
    void (*onWrongResultShown_)(HWND) = nullptr;
};

std::array<std::string, kNoteCount> KeyNameLabels() {
    std::array<std::string, kNoteCount> labels;
    for (int note = 0; note < kNoteCount; ++note) {
        labels[note] = kKeyNames[note];
    }
    return labels;
}

std::array<std::string, kNoteCount> PreparedLabels() {
    std::array<std::string, kNoteCount> labels;
    for (int note = 0; note < kNoteCount; ++note) {
        labels[note] = kPreparedLabels[note];
    }
    return labels;
}

// The settings file a user or a distribution prepares: labels, the show
// answer option as a number other than 1, a key and a section the program
// does not know.
std::string PreparedSettings() {
    std::string text = "[data]\r\n";
    for (int note = 0; note < kNoteCount; ++note) {
        text += std::string(kKeyNames[note]) + "=" + kPreparedLabels[note] + "\r\n";
    }
    text += std::string(kForeignDataKey) + "=" + kForeignDataValue + "\r\n";
    text += "answer=2\r\n";
    text += "[" + std::string(kForeignSection) + "]\r\n";
    for (const std::string& line : kForeignSectionLines) {
        text += line + "\r\n";
    }
    return text;
}

// Copies the program under test into the folder.
void InstallProgram(const TempFolder& folder) {
    ASSERT_TRUE(folder.Created());
    const std::string source = program_driver::Directory_OfThisExecutable() + "\\tonarium.exe";
    ASSERT_TRUE(FileExists(source)) << source;
    ASSERT_TRUE(CopyFileA(source.c_str(), folder.File("tonarium.exe").c_str(), FALSE));
}

void ExpectTitleAndButtons(const LessonRun& run,
                           const std::array<std::string, kNoteCount>& labels) {
    EXPECT_EQ(ScreenText("Tonarium"), TextOf(run.Window()));
    for (int note = 0; note < kNoteCount; ++note) {
        EXPECT_EQ(ScreenText(labels[note]), TextOf(run.NoteButton(note)))
            << "button " << kKeyNames[note];
        EXPECT_TRUE(IsWindowVisible(run.NoteButton(note)));
    }
    const std::vector<int> edges = run.StatusPartEdges();
    ASSERT_EQ(2u, edges.size());
    EXPECT_EQ(77, edges[0]);
    EXPECT_EQ(-1, edges[1]);
    EXPECT_EQ(5, Send_WithTimeout(run.Toolbar(), TB_BUTTONCOUNT, 0, 0));
}

// The score part of the file must equal the driver's tally.
void ExpectStoredScore(const std::vector<IniSection>& ini, const Tally& tally) {
    const IniSection* data = FindSection(ini, "data");
    const IniSection* a = FindSection(ini, "a");
    const IniSection* q = FindSection(ini, "q");
    ASSERT_NE(nullptr, data);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, q);
    EXPECT_EQ(ScreenText(tally.derivedTones ? "1" : "0"), ValueOf(*data, "derivation"));
    EXPECT_EQ(ScreenText(tally.showAnswer ? "1" : "0"), ValueOf(*data, "answer"));
    EXPECT_EQ(ScreenText(std::to_string(tally.correct)), ValueOf(*data, "num_answer"));
    // The pending question is stored as well.
    EXPECT_EQ(ScreenText(std::to_string(tally.answered + 1)), ValueOf(*data, "num_question"));
    EXPECT_EQ(Sorted(CountKeys()), Sorted(KeysOf(*a)));
    EXPECT_EQ(Sorted(CountKeys()), Sorted(KeysOf(*q)));

    int sumAsked = 0;
    int sumCorrect = 0;
    for (int note = 0; note < kNoteCount; ++note) {
        const std::string key = std::to_string(note);
        const int storedCorrect = std::atoi(ValueOf(*a, key).bytes.c_str());
        const int storedAsked = std::atoi(ValueOf(*q, key).bytes.c_str());
        EXPECT_EQ(ScreenText(std::to_string(tally.correctByNote[note])), ValueOf(*a, key))
            << "a/" << key;
        if (tally.unattributedAsked == 0) {
            EXPECT_EQ(ScreenText(std::to_string(tally.askedByNote[note])), ValueOf(*q, key))
                << "q/" << key;
        } else {
            EXPECT_GE(storedAsked, tally.askedByNote[note]) << "q/" << key;
        }
        sumAsked += storedAsked;
        sumCorrect += storedCorrect;
    }
    EXPECT_EQ(tally.answered, sumAsked);
    EXPECT_EQ(tally.correct, sumCorrect);
}

// The prepared file after a run: exactly the expected keys, the labels and
// the foreign key and section byte for byte.
void ExpectPreparedFileAfterRun(const std::string& path, const Tally& tally) {
    const std::vector<IniSection> ini = ParseIni(Read_WholeFile(path));
    std::vector<std::string> names;
    for (const IniSection& section : ini) {
        names.push_back(section.name);
    }
    EXPECT_EQ(Sorted({"a", "data", "q", kForeignSection}), Sorted(names));

    const IniSection* data = FindSection(ini, "data");
    ASSERT_NE(nullptr, data);
    std::vector<std::string> expectedKeys = {kForeignDataKey, "derivation", "answer", "num_answer",
                                             "num_question"};
    for (int note = 0; note < kNoteCount; ++note) {
        expectedKeys.push_back(kKeyNames[note]);
        EXPECT_EQ(ScreenText(kPreparedLabels[note]), ValueOf(*data, kKeyNames[note]))
            << kKeyNames[note];
    }
    EXPECT_EQ(Sorted(expectedKeys), Sorted(KeysOf(*data)));
    EXPECT_EQ(ScreenText(kForeignDataValue), ValueOf(*data, kForeignDataKey));

    const IniSection* foreign = FindSection(ini, kForeignSection);
    ASSERT_NE(nullptr, foreign);
    EXPECT_EQ(kForeignSectionLines, foreign->lines);

    ExpectStoredScore(ini, tally);
}

void ExpectLessonStillAnswering(LessonRun& run, LessonPlayer& player, int pressed) {
    ASSERT_TRUE(run.Alive());
    ASSERT_TRUE(IsWindow(run.Window()));
    player.ExpectScoreShown();
    AnswerOutcome outcome;
    ASSERT_NO_FATAL_FAILURE(player.Answer(pressed, ResultClose::OkButton, &outcome));
}

void OpenAndCloseDetails(LessonRun& run, LessonPlayer& player, bool screenshot) {
    ASSERT_NO_FATAL_FAILURE(run.PostCommand(IDC_DETAILS));
    HWND details = run.WaitForOwnedDialog();
    ASSERT_NE(nullptr, details) << "no details window";
    EXPECT_EQ(ScreenText("正解率詳細"), TextOf(details));
    // The chart takes the whole window: none of the template's controls shows.
    for (int id : {IDOK, IDC_RESULT_TEXT, IDC_MARK_CORRECT, IDC_MARK_WRONG}) {
        HWND control = GetDlgItem(details, id);
        EXPECT_NE(nullptr, control) << id;
        EXPECT_FALSE(IsWindowVisible(control)) << id;
    }
    EXPECT_FALSE(IsWindowEnabled(run.Window()));
    if (screenshot) {
        SaveScreenshot(details, "lesson-details.bmp");
    }
    ASSERT_NO_FATAL_FAILURE(player.CloseOwnedDialog(details, ResultClose::Escape));
    player.ExpectScoreShown();
}

void OpenAndCloseVersionBox(LessonRun& run, LessonPlayer& player) {
    ASSERT_NO_FATAL_FAILURE(run.PostCommand(IDC_VERSION));
    HWND box = run.WaitForOwnedDialog();
    ASSERT_NE(nullptr, box) << "no version box";
    EXPECT_EQ(ScreenText("ﾊﾞｰｼﾞｮﾝ情報"), TextOf(box));
    std::vector<std::string> texts;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        texts.push_back(TextOf(child).bytes);
    }
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "Tonarium"));
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "Version 0.13"));
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "OK"));
    ASSERT_NO_FATAL_FAILURE(player.CloseOwnedDialog(box, ResultClose::OkButton));
    player.ExpectScoreShown();
}

// Commands that change no number: listening again and the Enter key's IDOK.
void ListenAgain(LessonRun& run, LessonPlayer& player) {
    Send_WithTimeout(run.Window(), WM_COMMAND, MAKEWPARAM(IDC_LISTEN, 0), 0);
    EXPECT_TRUE(run.ReadyForAnswer());
    player.ExpectScoreShown();
    ASSERT_NO_FATAL_FAILURE(run.ClickToolbar(IDC_LISTEN));
    EXPECT_TRUE(run.ReadyForAnswer());
    player.ExpectScoreShown();
    Send_WithTimeout(run.Window(), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    EXPECT_TRUE(run.Alive());
    player.ExpectScoreShown();
}

// Switches an option from the menu (a posted command) and waits until the
// toolbar shows it.
void ToggleFromMenu(LessonRun& run, LessonPlayer& player, Tally& tally, int command) {
    bool& option = command == IDC_DERIVED ? tally.derivedTones : tally.showAnswer;
    option = !option;
    ASSERT_NO_FATAL_FAILURE(run.PostCommand(command));
    EXPECT_TRUE(program_driver::Wait_Until([&] { return run.ToolbarChecked(command) == option; },
                                           kWindowTimeoutMs, kPollMs))
        << "command " << command;
    player.ExpectOptionMarks();
    player.ExpectScoreShown();
}

void ToggleFromToolbar(LessonRun& run, LessonPlayer& player, Tally& tally, int command) {
    bool& option = command == IDC_DERIVED ? tally.derivedTones : tally.showAnswer;
    option = !option;
    ASSERT_NO_FATAL_FAILURE(run.ClickToolbar(command));
    player.ExpectOptionMarks();
    player.ExpectScoreShown();
}

int CountSharps(const std::vector<AnswerOutcome>& outcomes, size_t from) {
    int sharps = 0;
    for (size_t i = from; i < outcomes.size(); ++i) {
        if (outcomes[i].askedNote >= 0 && IsSharp(outcomes[i].askedNote)) {
            ++sharps;
        }
    }
    return sharps;
}

void SaveResultScreenshot(HWND result) {
    SaveScreenshot(result, "lesson-result.bmp");
}

TEST(EndToEnd, FirstRunWithoutSettingsFileUsesKeyNamesAndCreatesTheFile) {
    // No settings file, no data.mid, no index.htm: only the program.
    TempFolder folder("e2e");
    ASSERT_NO_FATAL_FAILURE(InstallProgram(folder));
    const std::string settings = folder.File("tonarium.ini");
    ASSERT_FALSE(FileExists(settings));
    std::printf("[ e2e    ] MIDI output devices on this machine: %u\n", midiOutGetNumDevs());

    Tally tally;
    const std::array<std::string, kNoteCount> labels = KeyNameLabels();
    std::mt19937 random(20240601u);
    {
        LessonRun run;
        ASSERT_NO_FATAL_FAILURE(run.Start(folder));
        LessonPlayer player(run, tally, labels);
        ExpectTitleAndButtons(run, labels);
        player.ExpectScoreShown();
        EXPECT_EQ(ScreenText("問題 1"), run.StatusText(0));
        EXPECT_EQ(ScreenText("正解率 0％"), run.StatusText(1));
        player.ExpectOptionMarks();
        // Nothing is written while the lesson runs.
        EXPECT_FALSE(FileExists(settings));

        // Help with no page beside the program: nothing to show, the lesson
        // goes on.
        ASSERT_FALSE(FileExists(folder.File("index.htm")));
        EXPECT_NE(-1, Send_WithTimeout(run.Window(), WM_COMMAND, MAKEWPARAM(IDC_CONTENTS, 0), 0));
        EXPECT_EQ(1u, program_driver::Visible_TopLevelWindows(run.ProcessId()).size())
            << "a window appeared for the missing help page";
        ASSERT_NO_FATAL_FAILURE(ExpectLessonStillAnswering(run, player, 0));

        // Without the show answer option the result is the verdict alone.
        std::vector<AnswerOutcome> outcomes;
        ASSERT_NO_FATAL_FAILURE(player.AnswerMany(8, random, &outcomes));
        EXPECT_EQ(0, CountSharps(outcomes, 0));

        // The reset starts the score over with the pending question as the
        // first: no new question is drawn, so the number is 1, not 2.
        ASSERT_NO_FATAL_FAILURE(run.PostCommand(IDC_RESET));
        EXPECT_TRUE(program_driver::Wait_Until([&] { return run.StatusText(0) == "問題 1"; },
                                               kWindowTimeoutMs, kPollMs));
        tally.Reset();
        EXPECT_EQ(ScreenText("問題 1"), run.StatusText(0));
        EXPECT_EQ(ScreenText("正解率 0％"), run.StatusText(1));
        AnswerOutcome outcome;
        ASSERT_NO_FATAL_FAILURE(player.Answer(4, ResultClose::OkButton, &outcome));
        EXPECT_FALSE(FileExists(settings));

        ASSERT_NO_FATAL_FAILURE(run.End(LessonEnd::ExitCommand));
    }

    // The file written to the empty folder: the four options and totals,
    // then the two count sections, each key in order, and no labels.
    const std::vector<IniSection> ini = ParseIni(Read_WholeFile(settings));
    ASSERT_EQ(3u, ini.size());
    EXPECT_EQ(ScreenText("data"), ini[0].name);
    EXPECT_EQ(ScreenText("a"), ini[1].name);
    EXPECT_EQ(ScreenText("q"), ini[2].name);
    EXPECT_EQ((std::vector<std::string>{"derivation", "answer", "num_answer", "num_question"}),
              KeysOf(ini[0]));
    EXPECT_EQ(CountKeys(), KeysOf(ini[1]));
    EXPECT_EQ(CountKeys(), KeysOf(ini[2]));
    ExpectStoredScore(ini, tally);
    EXPECT_EQ(ScreenText("2"), ValueOf(ini[0], "num_question"));
}

TEST(EndToEnd, LessonContinuesOverThreeRunsWithPreparedSettings) {
    TempFolder folder("e2e");
    ASSERT_NO_FATAL_FAILURE(InstallProgram(folder));
    const std::string settings = folder.File("tonarium.ini");
    const std::string prepared = PreparedSettings();
    ASSERT_TRUE(Write_WholeFile(settings, prepared.data(), static_cast<DWORD>(prepared.size())));
    const std::string midiFile = folder.File("data.mid");
    ASSERT_TRUE(program_driver::Write_MinimalMidiFile(midiFile));

    const std::array<std::string, kNoteCount> labels = PreparedLabels();
    std::mt19937 random(19870415u);
    Tally tally;
    tally.showAnswer = true; // "answer=2" counts as on

    // First run: show answer on, derived tones off, a media file present;
    // ended with Escape.
    {
        LessonRun run;
        ASSERT_NO_FATAL_FAILURE(run.Start(folder));
        LessonPlayer player(run, tally, labels);
        ExpectTitleAndButtons(run, labels);
        player.ExpectScoreShown();
        EXPECT_EQ(ScreenText("問題 1"), run.StatusText(0));
        EXPECT_EQ(ScreenText("正解率 0％"), run.StatusText(1));
        player.ExpectOptionMarks();

        std::vector<AnswerOutcome> outcomes;
        player.SetOnWrongResultShown(SaveResultScreenshot);
        ASSERT_NO_FATAL_FAILURE(player.AnswerMany(40, random, &outcomes));
        EXPECT_EQ(0, CountSharps(outcomes, 0)) << "a derived note was asked with 派生音 off";
        SaveScreenshot(run.Window(), "lesson.bmp");

        ASSERT_NO_FATAL_FAILURE(ListenAgain(run, player));
        ASSERT_NO_FATAL_FAILURE(OpenAndCloseVersionBox(run, player));
        ASSERT_NO_FATAL_FAILURE(OpenAndCloseDetails(run, player, true));
        ASSERT_NO_FATAL_FAILURE(run.End(LessonEnd::Escape));
    }
    {
        SCOPED_TRACE("after the first run");
        ExpectPreparedFileAfterRun(settings, tally);
    }

    // Second run: no media file; derived tones switched on from the toolbar,
    // the show answer option off and on again; ended with the close box.
    ASSERT_TRUE(DeleteFileA(midiFile.c_str()));
    // The next run continues the stored score: its pending question was
    // drawn with the stored option.
    tally.pendingDrawnWithDerived = tally.derivedTones;
    {
        LessonRun run;
        ASSERT_NO_FATAL_FAILURE(run.Start(folder));
        LessonPlayer player(run, tally, labels);
        ExpectTitleAndButtons(run, labels);
        player.ExpectScoreShown();
        player.ExpectOptionMarks();

        ASSERT_NO_FATAL_FAILURE(ToggleFromToolbar(run, player, tally, IDC_DERIVED));
        ASSERT_NO_FATAL_FAILURE(ToggleFromToolbar(run, player, tally, IDC_SHOWANSWER));
        ASSERT_NO_FATAL_FAILURE(ToggleFromMenu(run, player, tally, IDC_SHOWANSWER));
        ASSERT_NO_FATAL_FAILURE(ToggleFromMenu(run, player, tally, IDC_DERIVED));
        ASSERT_NO_FATAL_FAILURE(ToggleFromMenu(run, player, tally, IDC_DERIVED));
        ASSERT_TRUE(tally.derivedTones);
        ASSERT_TRUE(tally.showAnswer);

        std::vector<AnswerOutcome> outcomes;
        ASSERT_NO_FATAL_FAILURE(player.AnswerMany(60, random, &outcomes));
        // The first question was drawn before the option changed.
        EXPECT_GT(CountSharps(outcomes, 1), 0) << "派生音 on, but no derived note was asked";
        ASSERT_NO_FATAL_FAILURE(run.End(LessonEnd::CloseBox));
    }
    {
        SCOPED_TRACE("after the second run");
        ExpectPreparedFileAfterRun(settings, tally);
    }

    // Third run: derived tones switched off from the menu, help with no
    // page, the details window; ended with the exit command.
    ASSERT_TRUE(program_driver::Write_MinimalMidiFile(midiFile));
    // The next run continues the stored score: its pending question was
    // drawn with the stored option.
    tally.pendingDrawnWithDerived = tally.derivedTones;
    {
        LessonRun run;
        ASSERT_NO_FATAL_FAILURE(run.Start(folder));
        LessonPlayer player(run, tally, labels);
        player.ExpectScoreShown();
        player.ExpectOptionMarks();
        EXPECT_TRUE(tally.derivedTones);

        ASSERT_NO_FATAL_FAILURE(ToggleFromMenu(run, player, tally, IDC_DERIVED));
        EXPECT_NE(-1, Send_WithTimeout(run.Window(), WM_COMMAND, MAKEWPARAM(IDC_CONTENTS, 0), 0));
        EXPECT_EQ(1u, program_driver::Visible_TopLevelWindows(run.ProcessId()).size());

        std::vector<AnswerOutcome> outcomes;
        ASSERT_NO_FATAL_FAILURE(player.AnswerMany(12, random, &outcomes));
        // Only the question pending when the option went off may be derived.
        EXPECT_EQ(0, CountSharps(outcomes, 1));
        ASSERT_NO_FATAL_FAILURE(OpenAndCloseDetails(run, player, false));
        ASSERT_NO_FATAL_FAILURE(run.End(LessonEnd::ExitCommand));
    }
    {
        SCOPED_TRACE("after the third run");
        ExpectPreparedFileAfterRun(settings, tally);
    }
}

} // namespace
