// Measurements for scripts/bench. Each command prints "name value" lines, one
// per measured value, which the script gathers over several runs.
//
//   tool_bench_driver start <round>
//       One round: tonarium.exe (a fresh copy in a temporary folder, with the
//       MIDI recorder) and the bare dialog, started one after the other, in
//       an order that alternates with the round number. Prints
//         bare_window_ms       start of the bare dialog -> its window shown
//         tonarium_window_ms   start -> lesson window shown
//         tonarium_note_ms     start -> first note-on
//         note_length_ms       note-on -> note-off of a note left to the timer
//         close_to_note_ms     result window's OK clicked -> next note-on
//   tool_bench_driver cpu <messages>
//       The lesson dialog in this process; a burst of WM_MOUSEMOVE over its
//       toolbar's first button in steady state. Prints
//         cpu_us_per_message, wall_us_per_message, allocations_per_message,
//         hover_reports (how many of the moves reached the dialog as a hover
//         report; anything but all of them means the burst measured nothing).
//
// Exit code 0 on success, 1 when a measurement failed, 2 for a wrong command line.

#include <windows.h>
#include <commctrl.h>

#include "lesson/CLDl2.h"
#include "res/resource.h"
#include "tests/win/support/AudioDriverSetting.h"
#include "tests/win/support/MidiLog.h"
#include "tests/win/support/ProgramDriver.h"
#include "util/ProgramValues.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// Every allocation through the global operators is counted while counting is on.
#include "tests/win/support/AllocationCounter.inc"

namespace {

using program_driver::ChildProcess;
using program_driver::Now_Ms;
using program_driver::TempFolder;
using program_driver::Wait_Until;

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kEventTimeoutMs = 10000;
constexpr DWORD kExitTimeoutMs = 20000;
// The window is looked for every millisecond: the figures are meant to be
// exact to a few milliseconds.
constexpr DWORD kWindowPollMs = 1;
constexpr DWORD kLogPollMs = 5;
// Answers per round after the first note; each one gives a close-to-note and
// a note-length figure.
constexpr int kAnswersPerRound = 2;

void Print(const char* name, double value) {
    std::printf("%s %.3f\n", name, value);
    std::fflush(stdout);
}

int Fail(const char* what) {
    std::fprintf(stderr, "bench_driver: %s\n", what);
    return 1;
}

// ---------------------------------------------------------------------------
// Starts: the program and the bare dialog.

class MidiLogWatcher {
public:
    MidiLogWatcher(std::string path, DWORD processId)
        : path_(std::move(path)), processId_(processId) {}

    // The first note-on (or note-off) that the process sent after the time.
    bool Wait_Event(bool noteOn, double afterMs, MidiEvent* found) const {
        return Wait_Until(
            [&] {
                for (const MidiEvent& event : Events_OfProcess(Read_MidiLog(path_), processId_)) {
                    if (event.timeMs >= afterMs &&
                        (noteOn ? Is_NoteOn(event) : Is_NoteOff(event))) {
                        *found = event;
                        return true;
                    }
                }
                return false;
            },
            kEventTimeoutMs, kLogPollMs);
    }

private:
    std::string path_;
    DWORD processId_;
};

HWND Wait_Window(const ChildProcess& process, const char* caption) {
    HWND window = nullptr;
    Wait_Until(
        [&] {
            window = program_driver::Find_VisibleWindow(process.Id(), "#32770", caption);
            return window != nullptr || !process.Alive();
        },
        kStartTimeoutMs, kWindowPollMs);
    return window;
}

bool Close_AndWait(ChildProcess& process, HWND window) {
    DWORD exitCode = 1;
    return PostMessageA(window, WM_CLOSE, 0, 0) && process.Wait_Exit(kExitTimeoutMs, &exitCode) &&
           exitCode == 0;
}

int Measure_BareDialog() {
    const std::string executable =
        program_driver::Directory_OfThisExecutable() + "\\tool_bare_dialog.exe";
    ChildProcess process;
    // Started exactly as the lesson program is.
    if (!process.Start(executable, "", "")) {
        return Fail("cannot start tool_bare_dialog.exe");
    }
    HWND window = Wait_Window(process, "Bare dialog");
    const double shownMs = Now_Ms();
    if (window == nullptr) {
        return Fail("no bare dialog");
    }
    Print("bare_window_ms", shownMs - process.StartMs());
    return Close_AndWait(process, window) ? 0 : Fail("the bare dialog did not end");
}

// Waits for the note-off that ends the note, which must come from the
// question timer: nothing else happens meanwhile.
bool Measure_NoteLength(const MidiLogWatcher& log, const MidiEvent& noteOn) {
    MidiEvent noteOff;
    if (!log.Wait_Event(false, noteOn.timeMs, &noteOff) ||
        Midi_Note(noteOff.value) != Midi_Note(noteOn.value)) {
        return false;
    }
    Print("note_length_ms", noteOff.timeMs - noteOn.timeMs);
    return true;
}

int Measure_Program(int round) {
    TempFolder folder("bench");
    if (!program_driver::Prepare_ProgramFolder(folder)) {
        return Fail("cannot prepare the program's folder");
    }
    const std::string logPath = folder.File("midi.log");
    program_driver::ScopedEnvironmentVariable logVariable("TONARIUM_MIDI_LOG", logPath.c_str());
    ChildProcess process;
    if (!process.Start(folder.File("tonarium.exe"), "", folder.Path())) {
        return Fail("cannot start tonarium.exe");
    }
    HWND window = Wait_Window(process, "Tonarium");
    const double shownMs = Now_Ms();
    if (window == nullptr) {
        return Fail("no lesson window");
    }
    Print("tonarium_window_ms", shownMs - process.StartMs());

    const MidiLogWatcher log(logPath, process.Id());
    MidiEvent noteOn;
    if (!log.Wait_Event(true, process.StartMs(), &noteOn)) {
        return Fail("no first note-on");
    }
    Print("tonarium_note_ms", noteOn.timeMs - process.StartMs());
    if (!Measure_NoteLength(log, noteOn)) {
        return Fail("no note-off for the first note");
    }

    for (int answer = 0; answer < kAnswersPerRound; ++answer) {
        HWND button = GetDlgItem(window, IDC_NOTE_CS + (round + answer) % 12);
        if (button == nullptr || !PostMessageA(button, BM_CLICK, 0, 0)) {
            return Fail("no note button");
        }
        HWND result = nullptr;
        Wait_Until(
            [&] {
                result = program_driver::Find_OwnedDialog(process.Id(), window);
                return result != nullptr;
            },
            kEventTimeoutMs, kWindowPollMs);
        HWND ok = result != nullptr ? GetDlgItem(result, IDOK) : nullptr;
        if (ok == nullptr) {
            return Fail("no result window");
        }
        const double closedMs = Now_Ms();
        PostMessageA(ok, BM_CLICK, 0, 0);
        if (!log.Wait_Event(true, closedMs, &noteOn)) {
            return Fail("no note-on after the result window closed");
        }
        Print("close_to_note_ms", noteOn.timeMs - closedMs);
        if (!Measure_NoteLength(log, noteOn)) {
            return Fail("no note-off");
        }
    }
    return Close_AndWait(process, window) ? 0 : Fail("the program did not end with 0");
}

int Run_StartRound(int round) {
    AudioDriverSetting audio("x");
    if (!audio.Applied()) {
        return Fail("cannot select the MIDI recorder");
    }
    // Half the rounds start the program first, so neither profits from the
    // other having warmed the caches.
    if (round % 2 == 0) {
        const int failed = Measure_Program(round);
        return failed != 0 ? failed : Measure_BareDialog();
    }
    const int failed = Measure_BareDialog();
    return failed != 0 ? failed : Measure_Program(round);
}

// ---------------------------------------------------------------------------
// CPU time per message: the lesson dialog in this process.

struct BurstResult {
    bool done = false;
    const char* failure = nullptr;
    double cpuMs = 0;
    double wallMs = 0;
    long allocations = 0;
    long hoverReports = 0;
};

int g_burstMessages = 0;
BurstResult g_burst;
WNDPROC g_dialogProcedure = nullptr;
long g_hoverReports = 0;

// Counts the toolbar's hover reports on their way to the dialog.
LRESULT CALLBACK Counting_DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MENUSELECT && LOWORD(wParam) == IDC_LISTEN) {
        ++g_hoverReports;
    }
    return CallWindowProcA(g_dialogProcedure, window, message, wParam, lParam);
}

double CpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& time) {
        ULARGE_INTEGER value;
        value.LowPart = time.dwLowDateTime;
        value.HighPart = time.dwHighDateTime;
        return static_cast<double>(value.QuadPart) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

void Send_Moves(HWND toolbar, LPARAM point, int count) {
    for (int i = 0; i < count; ++i) {
        SendMessageA(toolbar, WM_MOUSEMOVE, 0, point);
    }
}

void Run_Burst(HWND dialog) {
    HWND toolbar = GetDlgItem(dialog, IDC_TOOLBAR);
    const LRESULT index = SendMessageA(toolbar, TB_COMMANDTOINDEX, IDC_LISTEN, 0);
    RECT item = {};
    if (toolbar == nullptr || index < 0 ||
        !SendMessageA(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(&item))) {
        g_burst.failure = "no toolbar button";
        return;
    }
    POINT centre = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    const LPARAM point = MAKELPARAM(centre.x, centre.y);
    // The toolbar asks where the cursor is, not where the message says.
    POINT screen = centre;
    ClientToScreen(toolbar, &screen);
    SetCursorPos(screen.x, screen.y);
    POINT cursor = {};
    GetCursorPos(&cursor);
    if (cursor.x != screen.x || cursor.y != screen.y) {
        g_burst.failure = "cannot put the cursor on the toolbar";
        return;
    }
    g_dialogProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Counting_DialogProc)));

    // Steady state: the first moves create what hovering needs once.
    Send_Moves(toolbar, point, g_burstMessages / 10);

    g_hoverReports = 0;
    allocation_counter::g_allocations = 0;
    const double cpuBefore = CpuMs();
    const double wallBefore = Now_Ms();
    allocation_counter::g_counting = true;
    Send_Moves(toolbar, point, g_burstMessages);
    allocation_counter::g_counting = false;
    g_burst.wallMs = Now_Ms() - wallBefore;
    g_burst.cpuMs = CpuMs() - cpuBefore;
    g_burst.allocations = allocation_counter::g_allocations;
    g_burst.hoverReports = g_hoverReports;
    g_burst.done = true;

    SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_dialogProcedure));
}

// Runs inside the lesson dialog's modal loop, once the dialog is up.
void CALLBACK Burst_TimerProc(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND dialog = FindWindowA("#32770", "Tonarium");
    if (dialog == nullptr) {
        g_burst.failure = "no lesson window";
        return;
    }
    Run_Burst(dialog);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
}

int Run_CpuBurst(int messages) {
    TempFolder folder("bench-cpu");
    const std::string settings = folder.File("tonarium.ini");
    if (!folder.Created() || settings.size() >= sizeof g_settingsPath) {
        return Fail("no temporary folder");
    }
    g_programInstance = GetModuleHandleA(nullptr);
    std::strcpy(g_settingsPath, settings.c_str());
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    g_burstMessages = messages;
    SetTimer(nullptr, 0, 200, Burst_TimerProc);
    {
        CLDl2 lesson(nullptr, IDD_LESSON, g_programInstance);
        lesson.Run_Modal();
    }
    if (g_burst.failure != nullptr) {
        return Fail(g_burst.failure);
    }
    if (!g_burst.done) {
        return Fail("the burst did not run");
    }
    Print("cpu_us_per_message", 1000.0 * g_burst.cpuMs / messages);
    Print("wall_us_per_message", 1000.0 * g_burst.wallMs / messages);
    Print("allocations_per_message", static_cast<double>(g_burst.allocations) / messages);
    Print("hover_reports", static_cast<double>(g_burst.hoverReports));
    return g_burst.hoverReports == messages ? 0 : Fail("not every move was reported");
}

int Usage() {
    std::fprintf(stderr, "usage: tool_bench_driver start <round> | cpu <messages>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Usage();
    }
    const int number = std::atoi(argv[2]);
    if (std::strcmp(argv[1], "start") == 0 && number >= 0) {
        return Run_StartRound(number);
    }
    if (std::strcmp(argv[1], "cpu") == 0 && number > 0) {
        return Run_CpuBurst(number);
    }
    return Usage();
}
