// Drives Tonarium for scripts/run, bench and pictures; without arguments it lists its commands.
// Exit code 0 on success, 1 when something did not happen, 2 for a wrong command line.

#include "res/resource.h"
#include "tools/drive/Drive.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

using namespace drive;

namespace {

// A lesson of some weeks, with the window's own half-width labels.
const char kPictureLesson[] =
    "[data]\r\nC=ﾄﾞ\r\nC#=ﾄﾞ#\r\nD=ﾚ\r\nD#=ﾚ#\r\nE=ﾐ\r\nF=ﾌｧ\r\nF#=ﾌｧ#\r\nG=ｿ\r\nG#=ｿ#\r\n"
    "A=ﾗ\r\nA#=ﾗ#\r\nB=ｼ(B)\r\nderivation=1\r\nanswer=0\r\nnum_answer=13\r\nnum_question=31\r\n"
    "[a]\r\n0=4\r\n2=2\r\n5=1\r\n7=3\r\n9=2\r\n11=1\r\n"
    "[q]\r\n0=4\r\n1=1\r\n2=4\r\n3=2\r\n4=3\r\n5=3\r\n7=9\r\n9=2\r\n11=2\r\n";
// The notes' own names, with counts: the details as a first lesson shows them once answered.
const char kCountedLesson[] = "[data]\r\nnum_answer=6\r\nnum_question=10\r\n"
                              "[a]\r\n0=2\r\n2=1\r\n4=3\r\n[q]\r\n0=3\r\n2=2\r\n4=4\r\n";
int Fail(const char* what) {
    std::fprintf(stderr, "tonarium_drive: %s\n", what);
    return 1;
}

bool Save(HWND window, const std::string& folder, const char* name) {
    return (window != nullptr && Save_Bmp(Capture_Settled(window), folder + "\\" + name)) ||
           !Fail(name); // which one, for the log
}

bool Save_Owned(const Lesson& lesson, char menu, const std::string& folder, const char* name) {
    lesson.Menu(menu, 'A');
    const HWND window = lesson.Wait_Dialog(lesson.window);
    return Save(window, folder, name) && lesson.Close_Result(window);
}

bool Save_Result(const Lesson& lesson, bool right, const std::string& folder, const char* name) {
    const HWND result = lesson.Answer(right);
    return Save(result, folder, name) && lesson.Close_Result(result);
}

// Points Wine's MIDI mapper at the synthesizer: the first MIDI output whose name says synthesizer,
// or else the first that is not ALSA's "Midi Through" port, which sounds nowhere.
int Use_Synthesizer() {
    int chosen = -1, other = -1;
    MIDIOUTCAPSA caps = {};
    for (UINT device = 0; chosen < 0 && device < midiOutGetNumDevs(); ++device) {
        std::string name = midiOutGetDevCapsA(device, &caps, sizeof caps) ? "" : caps.szPname;
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        chosen = name.find("synth") != std::string::npos ? static_cast<int>(device) : -1;
        const bool sounds = !name.empty() && name.find("midi through") == std::string::npos;
        other = other < 0 && sounds ? static_cast<int>(device) : other;
    }
    chosen = chosen >= 0 ? chosen : other;
    const std::string instrument = "#" + std::to_string(chosen);
    const DWORD noScheme = 0;
    const char* const midiMap = "Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap";
    if (chosen < 0 ||
        RegSetKeyValueA(HKEY_CURRENT_USER, midiMap, "UseScheme", REG_DWORD, &noScheme,
                        sizeof noScheme) != ERROR_SUCCESS ||
        RegSetKeyValueA(HKEY_CURRENT_USER, midiMap, "CurrentInstrument", REG_SZ, instrument.c_str(),
                        static_cast<DWORD>(instrument.size() + 1)) != ERROR_SUCCESS) {
        return Fail("no MIDI output to use");
    }
    midiOutGetDevCapsA(static_cast<UINT>(chosen), &caps, sizeof caps);
    std::printf("%s\n", caps.szPname);
    return 0;
}

int Show(const char* program, const char* picture, DWORD timeoutMs) {
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    Lesson lesson;
    if (!lesson.Open(folder, false, program, timeoutMs) ||
        !Save_Bmp(Capture_Settled(lesson.window), picture)) {
        return Fail("no lesson window or no picture");
    }
    return lesson.Leave(timeoutMs) ? 0 : Fail("no clean end");
}

// Down the dropped menu from its first item, as the mouse moves: the separator below it gives the
// status bar back its parts (what Windows tells of a separator is no item's help).
bool Separator_Helps(HWND bar, const Picture& parts) {
    RECT menu = {};
    GetWindowRect(FindWindowA("#32768", nullptr), &menu);
    int rowsParted = 0; // none on the first item, some below it
    for (int y = 4; y < 2 * GetSystemMetrics(SM_CYMENU) + 4; y += 3) {
        Move_Pointer({menu.left + 30, menu.top + y});
        const bool parted = Wait_Until([&] { return Capture(bar) == parts; }, 60);
        rowsParted += parted ? (y == 4 ? -99 : 1) : 0;
    }
    // Away again, as the pictures begin, so that no late move of it meets the next menu.
    Move_Pointer({GetSystemMetrics(SM_CXSCREEN) / 4, GetSystemMetrics(SM_CYSCREEN) * 3 / 4});
    return rowsParted > 0;
}

// Each menu dropped from the keyboard with every item highlighted in turn, its help over the
// status bar; every other item then also as Windows' mouse selects it (Wine's menus never say
// so), the others at a first start. The system menu last, then the lesson menu opened by a click on
// its title (no help shown), and the system menu by the right button on the caption.
bool Save_Menus(const Lesson& lesson, const std::string& out, const std::string& state) {
    const struct {
        const char* name;
        WORD key;
        UINT items[4];
    } menus[] = {{"lesson", 'L', {IDM_LISTEN, IDM_RESET, IDM_DETAILS, IDM_EXIT}},
                 {"options", 'O', {IDM_DERIVED, IDM_SHOWANSWER}},
                 {"help", 'H', {IDM_CONTENTS, IDM_VERSION}},
                 {"system", VK_SPACE, {SC_MOVE}}};
    const HWND bar = lesson.Item(IDC_STATUSBAR);
    const Picture parts = Capture(bar);
    Picture shown;
    const auto dropped = [] { return IsWindowVisible(FindWindowA("#32768", nullptr)); };
    const auto parted = [&] { return Capture(bar) == parts; };
    // A closed menu's help gone, and the bar so for longer than a toolbar hover tick (300 ms):
    // nothing the last menu left due (the tick the pointer's moves over the lesson menu may have
    // started, a late repaint) then erases the help of the next one.
    const auto settled = [&] {
        return Wait_Until(parted) && !Wait_Until([&] { return !parted(); }, 400);
    };
    // Wine never draws a process's first popup menu: one is dropped, its help
    // awaited, and closed first.
    lesson.Menu('L', VK_DOWN);
    const bool helped = Wait_Until([&] { return Capture(bar) != parts; });
    Tap_Key(VK_MENU);
    for (const auto& menu : menus) {
        if (!helped || !(settled() || settled())) {
            return false;
        }
        shown = parts;
        lesson.Menu(static_cast<char>(menu.key));
        for (int item = 0; item < 4 && menu.items[item] != 0; ++item) {
            const std::string name = "menu-" + state + menu.name + std::to_string(item);
            // Sent once the keyboard's highlight has moved here, so as not to be overtaken by it.
            if ((item + (state == "new-")) % 2 == 1 && menu.key != VK_SPACE &&
                Wait_Until([&] { return Capture(bar) != shown; })) {
                const UINT checked = lesson.Pressed(menu.items[item]) ? MF_CHECKED : 0;
                SendMessageA(lesson.window, WM_MENUSELECT,
                             MAKEWPARAM(menu.items[item], MF_HILITE | MF_MOUSESELECT | checked), 0);
            }
            if (!Wait_Until(dropped) || !Save(lesson.window, out, (name + ".bmp").c_str())) {
                return false;
            }
            shown = Capture(bar);
            Tap_Key(VK_DOWN);
        }
        if (menu.key == 'L' && !Separator_Helps(bar, parts)) {
            return Fail("a help over the lesson menu's separator");
        }
        Tap_Key(VK_MENU); // leaves the menu
    }
    POINT title = {20, -GetSystemMetrics(SM_CYMENU) / 2};
    ClientToScreen(lesson.window, &title);
    Move_Pointer(title);
    Click_Pointer();
    const bool saved =
        Wait_Until(dropped) && Save(lesson.window, out, ("menu-" + state + "title.bmp").c_str());
    Tap_Key(VK_MENU); // awaited closed: a click meanwhile would only close it
    if (!saved || !Wait_Until([&] { return !dropped(); })) {
        return false;
    }
    RECT frame = {};
    GetWindowRect(lesson.window, &frame);
    Move_Pointer({frame.left + 60, frame.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 2});
    Click_Pointer(true); // the caption's right button: the system menu at the pointer
    const bool captioned =
        Wait_Until(dropped) && Save(lesson.window, out, ("menu-" + state + "caption.bmp").c_str());
    Tap_Key(VK_ESCAPE);
    return captioned && Wait_Until([&] { return !dropped(); });
}

// The lesson with the pointer resting on each toolbar button: the button's tip
// under the pointer, and its command's help over the status bar.
bool Save_Hovers(const Lesson& lesson, const std::string& out, const std::string& state) {
    const HWND tips =
        reinterpret_cast<HWND>(SendMessageA(lesson.Item(IDC_TOOLBAR), TB_GETTOOLTIPS, 0, 0));
    lesson.Activate();
    const char* const names[] = {"", "listen", "", "derived", "showanswer"}; // by button
    for (int button : {1, 3, 4}) {
        lesson.Point_At(button);
        // Windows' tip: 0.5 s later (0.1 s from the one beside) for 5 s; the first taken at 4.5 s.
        const double taken = Now_Ms() + (button == 1 ? 4500 : 1500);
        if (!Wait_Until([&] { return button != 4 || !IsWindowVisible(tips); }, 100) ||
            !Wait_Until([&] { return IsWindowVisible(tips); }, button == 4 ? 300 : 650) ||
            !Wait_Until([&] { return Now_Ms() > taken; }, 5000) || !IsWindowVisible(tips) ||
            !Save(lesson.window, out, ("hover-" + state + names[button] + ".bmp").c_str()) ||
            (button != 3 &&
             !Wait_Until([&] { return !IsWindowVisible(tips); }, button == 1 ? 1500 : 4500))) {
            return false;
        }
        button == 3 ? lesson.Point_At(4) : Move_Pointer({0, 0}); // straight on, its tip shown
    }
    return true;
}

// A lesson in a folder of its own, started on the settings given ("": none, as at the first start),
// whose pictures steps() takes before it ends.
template <typename Steps>
bool Picture_Lesson(const char* purpose, const std::string& settings, Steps steps) {
    Folder folder(purpose);
    Lesson lesson;
    return Install(folder.path) &&
           (settings.empty() || Write_File(folder.File("tonarium.ini"), settings)) &&
           lesson.Open(folder.path) && steps(lesson) && lesson.Leave();
}

int Pictures(const std::string& out) {
    // The cursor away from the lesson window, so no button is hovered.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) / 4, GetSystemMetrics(SM_CYSCREEN) * 3 / 4);
    // Every note has a label as long as a label is kept (29 bytes), on its button, in the details
    // and as the answer shown (known in advance: the same for all), a result text of 38 bytes.
    std::string longLesson = "[data]\r\nanswer=1\r\n";
    for (const char* key : {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"}) {
        longLesson += std::string(key) + "=ドレミファソラシドレミファソﾗ\r\n";
    }
    const auto fixed = [&](const Lesson& lesson) {
        return Save(lesson.window, out, "lesson.bmp") && Save_Menus(lesson, out, "") &&
               Save_Hovers(lesson, out, "") && Save_Owned(lesson, 'H', out, "version.bmp") &&
               Save_Owned(lesson, 'L', out, "details.bmp") &&
               Save_Result(lesson, true, out, "result-correct.bmp") &&
               Save_Result(lesson, false, out, "result-wrong.bmp");
    };
    const auto longLabels = [&](const Lesson& lesson) {
        return Save(lesson.window, out, "lesson-long.bmp") &&
               Save_Owned(lesson, 'L', out, "details-long.bmp") &&
               Save_Result(lesson, true, out, "result-correct-answer.bmp") &&
               Save_Result(lesson, false, out, "result-wrong-answer.bmp");
    };
    // The first start: each label its note's name, both options off; then as it was, after an
    // answer, a reset, each option on and off, listening again and the help page, the version box,
    // the details, the menus and the toolbar's tips.
    const auto first = [&](const Lesson& lesson) {
        const bool taken = Save(lesson.window, out, "lesson-new.bmp") &&
                           Save_Menus(lesson, out, "new-") && lesson.Close_Result(lesson.Press(0));
        for (const WPARAM command : {IDM_RESET, IDM_DERIVED, IDM_DERIVED, IDM_SHOWANSWER,
                                     IDM_SHOWANSWER, IDM_LISTEN, IDM_CONTENTS}) {
            PostMessageA(lesson.window, WM_COMMAND, command, 0); // as its menu items, in turn
        }
        return taken && Save_Owned(lesson, 'H', out, "version-again.bmp") &&
               Save_Owned(lesson, 'L', out, "details-new.bmp") &&
               Save(lesson.window, out, "lesson-new-again.bmp") &&
               Save_Menus(lesson, out, "new-again-") && Save_Hovers(lesson, out, "new-again-");
    };
    // The notes' names with both options on; answered until C is asked, whose short label the
    // result then shows, right (its button keeps the focus, drawn) and wrong.
    const auto both = [&](const Lesson& lesson) {
        const auto askedC = [&] {
            bool answered = true;
            while (answered && lesson.Heard().back() % 12 != 0) {
                answered = lesson.Close_Result(lesson.Answer(true));
            }
            return answered;
        };
        return Save(lesson.window, out, "lesson-both.bmp") && Save_Menus(lesson, out, "both-") &&
               Save_Owned(lesson, 'L', out, "details-both.bmp") && askedC() &&
               Save_Result(lesson, true, out, "result-correct-short.bmp") &&
               Save(lesson.Button(0), out, "focus-answered.bmp") && askedC() &&
               Save_Result(lesson, false, out, "result-wrong-short.bmp");
    };
    const bool taken =
        Picture_Lesson("pictures", kPictureLesson, fixed) &&
        Picture_Lesson("pictures-new", "", first) &&
        Picture_Lesson("pictures-long", longLesson, longLabels) &&
        Picture_Lesson("pictures-both", "[data]\r\nderivation=1\r\nanswer=1\r\n", both) &&
        Picture_Lesson("pictures-counted", kCountedLesson, [&](const Lesson& lesson) {
            return Save_Owned(lesson, 'L', out, "details-counted.bmp");
        });
    return taken ? 0 : Fail("a window for a picture not shown");
}

int Soak(int answers) {
    Folder folder("soak");
    Lesson lesson;
    if (!Install(folder.path) || !lesson.Open(folder.path)) {
        return Fail("no lesson window");
    }
    std::printf("answers gdi_objects handles\n");
    for (int answer = 1; answer <= answers; ++answer) {
        if (!lesson.Close_Result(lesson.Answer(answer % 3 != 0))) {
            return Fail("no result window");
        }
        if (answer % 100 == 0) {
            lesson.Menu('L', 'A');
            if (!lesson.Close_Result(lesson.Wait_Dialog(lesson.window))) {
                return Fail("no details window");
            }
            // Sampled once the note has ended and the device is closed.
            Wait_Until([&] { return lesson.Device_Closed(); }, 3000);
            const Resources held = lesson.Sample();
            std::printf("%d %lld %lld\n", answer, held.gdiObjects, held.handles);
            std::fflush(stdout);
        }
    }
    return lesson.Leave() ? 0 : Fail("the lesson did not end");
}

bool g_warmingUp = false; // the round that fills the caches is not counted

void Print(const char* name, double value) {
    if (!g_warmingUp) {
        std::printf("%s %.1f\n", name, value);
        std::fflush(stdout);
    }
}

// The first event of the kind after the time, waited for.
double Next_Event(const Program& program, bool noteOn, double afterMs) {
    double at = -1;
    Wait_Until([&] {
        for (const MidiEvent& event : program.Midi()) {
            if ((noteOn ? event.Note_On() : event.Note_Off()) && event.ms > afterMs) {
                at = event.ms;
                return true;
            }
        }
        return false;
    });
    return at;
}

// Start -> window shown, with the window looked for every millisecond.
double Time_Window(Program& program, HWND* window) {
    while ((*window = program.Find_Dialog(nullptr)) == nullptr && !program.Wait_Exit(1)) {
    }
    program.Watch(false); // as the lesson's Open does
    return Now_Ms() - program.startMs;
}

bool Bench_Lesson() {
    Folder folder("bench");
    Lesson lesson;
    if (!Install(folder.path) || !lesson.Start(folder.path)) {
        return false;
    }
    Print("lesson_window_ms", Time_Window(lesson, &lesson.window));
    const double noteOn = Next_Event(lesson, true, 0);
    Print("lesson_note_ms", noteOn - lesson.startMs);
    Print("note_length_ms", Next_Event(lesson, false, noteOn) - noteOn);
    const HWND result = lesson.Answer(true);
    const double clicked = Now_Ms();
    Click(GetDlgItem(result, IDOK));
    Print("lesson_next_note_ms", Next_Event(lesson, true, clicked) - clicked);
    return lesson.Leave();
}

// A floor program by its mode (tools/floor), its figure named after it: "bare"
// is floor_bare, the others are floor_lesson's modes.
bool Bench_Floor(const std::string& mode) {
    const char* program = mode == "bare" ? "floor_bare.exe" : "floor_lesson.exe";
    const std::string name = "floor_" + mode + "_ms";
    Folder folder("floor");
    Program floor;
    HWND window = nullptr;
    if (!Install(folder.path, program) || !floor.Start(folder.path, program, true, mode)) {
        return false;
    }
    const double shown = Time_Window(floor, &window);
    if (mode == "note" || mode == "painted") {
        Print(name.c_str(), Next_Event(floor, true, 0) - floor.startMs);
    } else if (mode == "click") {
        const double clicked = Now_Ms();
        Click(GetDlgItem(window, IDOK));
        Print(name.c_str(), Next_Event(floor, true, clicked) - clicked);
    } else {
        Print(name.c_str(), shown);
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
    return floor.Wait_Exit(20000);
}

// One start of the lesson for the breakdown of start-up. The times of its steps
// come from Wine's timestamped traces of the program (WINEDEBUG=+timestamp,...
// inherited); the start and the window shown are written among them, stamped
// with the same clock.
bool Start_Marked() {
    const auto mark = [](const char* what) { // on stderr, unbuffered: in order among the traces
        const DWORD tick = GetTickCount();
        return std::fprintf(stderr, "%lu.%03lu:drive:%s\n", tick / 1000, tick % 1000, what) > 0;
    };
    Folder folder("startup");
    Lesson lesson;
    return Install(folder.path) && mark("start") && lesson.Start(folder.path) &&
           Time_Window(lesson, &lesson.window) > 0 && mark("window") &&
           Wait_Until([&] { return !lesson.Heard().empty(); }) && lesson.Leave();
}

int Startup(int runs) {
    for (int run = 0; run < runs; ++run) {
        if (!Start_Marked()) {
            return Fail("the lesson did not start");
        }
    }
    return 0;
}

const char* const kFloorModes[] = {"bare", "template", "note", "painted", "click"};

int Bench(int rounds) {
    const int programs = 1 + static_cast<int>(std::size(kFloorModes)); // the lesson first
    // Alternating within a round: each program starts first in turn.
    for (int round = -1; round < rounds; ++round) {
        g_warmingUp = round < 0;
        for (int slot = 0; slot < programs; ++slot) {
            const int which = (slot + round + programs) % programs;
            if (!(which > 0 ? Bench_Floor(kFloorModes[which - 1]) : Bench_Lesson())) {
                return Fail("a program did not run as expected");
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "show" && (argc == 4 || argc == 5)) {
        return Show(argv[2], argv[3],
                    argc == 5 ? std::strtoul(argv[4], nullptr, 10) * 1000 : 30000);
    }
    if (command == "use-synthesizer" && argc == 2) {
        return Use_Synthesizer();
    }
    if (command == "pictures" && argc == 3) {
        return Pictures(argv[2]);
    }
    for (const auto& counted : {std::make_pair("soak", Soak), std::make_pair("startup", Startup),
                                std::make_pair("bench", Bench)}) {
        if (command == counted.first && argc == 3) {
            return counted.second(std::atoi(argv[2]));
        }
    }
    std::fprintf(stderr, "usage: tonarium_drive\n"
                         "  show <program> <picture.bmp> [seconds, 30]  the lesson window\n"
                         "  use-synthesizer     the MIDI mapper to the synthesizer's port\n"
                         "  pictures <folder>   pictures of a fixed lesson's windows\n"
                         "  bench <rounds>      start-up and response times, and floors\n"
                         "  soak <answers>      what one long lesson holds, every 100\n"
                         "  startup <runs>      starts marked among Wine's traces\n");
    return 2;
}
