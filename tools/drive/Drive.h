#pragma once

// Drives a real tonarium.exe from outside, as a user meets it: starts it, finds and reads its
// windows, hears its notes through the MIDI recorder and counts what it holds.

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace drive {

double Now_Ms(); // QueryPerformanceCounter in milliseconds, the clock of the MIDI log

// Polls every 10 ms, leaving the CPU to the program, until done() holds or the time is up.
template <typename Done> bool Wait_Until(Done done, DWORD timeoutMs = 10000) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(10)) {
        if (GetTickCount() - start >= timeoutMs) {
            return done();
        }
    }
    return true;
}

std::string Here(); // the folder of this executable
std::string Read_File(const std::string& path);
bool Write_File(const std::string& path, const std::string& bytes);

// A new folder under the temporary directory, removed with its files.
class Folder {
public:
    explicit Folder(const char* purpose);
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string File(const std::string& name) const { return path + "\\" + name; }
    std::string path;
};

// Copies a program (under newName, if given), the .htm opener, the help page and, with media,
// data.mid (users have none) into the folder, and the MIDI recorder into the system folder.
bool Install(const std::string& folder, const char* program = "tonarium.exe",
             const std::string& newName = "", bool media = false);

// One line of the MIDI recorder's log.
struct MidiEvent {
    double ms;
    std::string kind; // open, data, close, exit; tool, asked, font, part from the watch
    unsigned value;   // data: status | note << 8 | velocity << 16
    bool Note_On() const { return kind == "data" && (value & 0xF0) == 0x90; }
    bool Note_Off() const { return kind == "data" && (value & 0xF0) == 0x80; }
    int Note() const { return static_cast<int>(value >> 8 & 0x7F); }
};

struct Resources {
    long long gdiObjects = -1, handles = -1; // -1: the system would not tell
};

// One started program, ended if still running when the object dies.
class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // recording: its MIDI output to a log of its own in the folder, else it finds no MIDI device;
    // what it asks the shell to open to opened.log there. It starts in currentFolder, or its own.
    bool Start(const std::string& folder, const std::string& exe = "tonarium.exe",
               bool recording = true, const std::string& arguments = "",
               const std::string& currentFolder = "");
    // A visible dialog of the program owned by owner (null: its main window).
    HWND Find_Dialog(HWND owner) const;
    HWND Wait_Dialog(HWND owner, DWORD timeoutMs = 10000) const;
    bool Wait_Exit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
    std::vector<MidiEvent> Midi() const; // its log so far
    // The MIDI device was opened and is closed again: no note sounds.
    bool Device_Closed() const;
    double Newest_Note() const; // when the latest note began (0: none yet), as its log says
    Resources Sample() const;
    // The recorder's watch on what the program sends its tooltips and texts: it slows each message.
    void Watch(bool on);

    std::string log;
    double startMs = 0;
    PROCESS_INFORMATION info = {};
    HMODULE recorder = nullptr;
    HHOOK watching = nullptr;
};

// A message answered through a pointer, which no process carries across: read from the program's
// memory.
template <typename Data>
Data Remote(const Program& program, HWND window, UINT message, WPARAM wParam) {
    Data data = {};
    const HANDLE process = program.info.hProcess;
    void* buffer =
        VirtualAllocEx(process, nullptr, sizeof data, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    DWORD_PTR result = 0;
    if (buffer != nullptr &&
        SendMessageTimeoutA(window, message, wParam, reinterpret_cast<LPARAM>(buffer),
                            SMTO_ABORTIFHUNG, 10000, &result)) {
        ReadProcessMemory(process, buffer, &data, sizeof data, nullptr);
    }
    VirtualFreeEx(process, buffer, 0, MEM_RELEASE);
    return data;
}

extern const int kNoteButtons[12]; // the note buttons' control ids, C to B

// A started tonarium.exe and its lesson window.
class Lesson : public Program {
public:
    // Starts the program; waits for its lesson window and, when recording, the first note.
    bool Open(const std::string& folder, bool recording = true,
              const std::string& exe = "tonarium.exe", DWORD timeoutMs = 30000,
              const std::string& currentFolder = "");
    HWND Item(int id) const { return GetDlgItem(window, id); }
    HWND Button(int noteIndex) const { return Item(kNoteButtons[noteIndex]); }
    // Gives the lesson window, or another of the program's, the keyboard's input.
    bool Activate(HWND which = nullptr) const;
    HWND Focus() const;
    // Drops a menu as the keyboard does (Alt, its mnemonic), then presses item (a key or mnemonic).
    void Menu(char menu, WORD item = 0) const;
    std::vector<int> Heard() const;           // the MIDI notes of its note-ons so far, in order
    bool Pressed(WORD command) const;         // the toolbar shows the command's button pressed
    LRESULT Button_State(WORD command) const; // its TBSTATE_ flags: checked, enabled, hidden
    std::string Status(int part) const;       // a part of the status bar
    // Rests the pointer on a toolbar button; past the last (index 5), beside it on the bar.
    void Point_At(int button) const;
    // Presses a note button and returns the result window that opens.
    HWND Press(int noteIndex) const;
    // Presses the button of the note last heard, or its neighbour.
    HWND Answer(bool right) const;
    // Closes a window the lesson owns with its OK button; returns once the next question is asked.
    bool Close_Result(HWND result) const;
    // Returns once the lesson has handled everything sent to it.
    bool Sync() const;
    // Waits for the program to end; true when it ended with exit code 0.
    bool Ended(DWORD timeoutMs = 20000) const;
    // Ends the lesson as Escape does and waits for the program to end, having answered
    // every message within kStallMs.
    bool Leave(DWORD timeoutMs = 20000) const;
    // The longest the lesson's thread took to answer nothing (WM_NULL) at its first note button
    // (not the lesson, whose procedure sees it), asked every 20 ms by a thread of the driver's.
    double Longest_Stall() const { return stall_.longest; }
    static constexpr double kStallMs = 400;
    ~Lesson();

    HWND window = nullptr;

private:
    static DWORD WINAPI Watch_Stalls(void* lesson);
    struct {
        std::atomic<bool> stop{false}; // read and written by the watch thread and the driver's
        std::atomic<double> longest{0};
        HANDLE thread = nullptr;
    } stall_;
};

// A window's text, asked with WM_GETTEXT, which the system carries across processes.
std::string Text_Of(HWND window);
void Click(HWND button);
// Moves the pointer to a point of the screen, as the mouse does.
void Move_Pointer(POINT to);
// Presses and releases a key, as the keyboard does, in the window that has the focus.
void Tap_Key(WORD key);
// Presses and releases the left (or right) button where the pointer is, as the mouse does.
void Click_Pointer(bool right = false);
// Turns the mouse wheel one notch towards the user.
void Turn_Wheel();
// Moves the pointer to the middle of a window and clicks there.
void Click_Centre(HWND window);
// UTF-8 text in the code page the program reads (932), as Notepad saves it as "ANSI".
std::string Ansi(const std::string& utf8);

// What the screen shows in a window's rectangle: rows from the top, blue, green and red bytes,
// each row padded to four bytes, as in a bitmap file.
struct Picture {
    int width = 0;
    int height = 0;
    size_t stride = 0;
    std::vector<BYTE> bgr;
    bool operator==(const Picture& other) const {
        return width == other.width && height == other.height && bgr == other.bgr;
    }
    bool operator!=(const Picture& other) const { return !(*this == other); }
};
Picture Capture(HWND window);
// Captures until two pictures 100 ms apart agree (the window has painted); empty if never.
Picture Capture_Settled(HWND window);
bool Save_Bmp(const Picture& picture, const std::string& path);

} // namespace drive
