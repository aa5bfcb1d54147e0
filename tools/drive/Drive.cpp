#include "tools/drive/Drive.h"

#include "res/resource.h"
#include "tools/recorder/LogClock.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>

namespace drive {

namespace {

// A MIDI file with one track that holds only its end marker.
const char kMinimalMidiFile[] = "MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\4\0\xFF\x2F\0";

// Wine 8 implements neither GetGuiResources nor GetProcessHandleCount. It keeps each process's GDI
// handles in a table that the process's PEB points to, in the layout of Windows' own: 24-byte
// entries whose byte 14 is the object type, 0 when free. A 32-bit process's table is named only in
// its 64-bit PEB, which Wine's WOW64 keeps in the page below the 32-bit one.
long long Gdi_TableCount(HANDLE process) {
    using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    void* basic[6] = {}; // PROCESS_BASIC_INFORMATION; the PEB address is its second field
    UINT64 table = 0;
    const SSIZE_T pebTableOffset = sizeof(void*) == 8 ? 0xF8 : 0xF8 - 0x1000;
    std::vector<unsigned char> entries(0x10000 * 24);
    if (query == nullptr || query(process, 0, basic, sizeof basic, nullptr) != 0 ||
        !ReadProcessMemory(process, static_cast<char*>(basic[1]) + pebTableOffset, &table,
                           sizeof table, nullptr) ||
        !ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<ULONG_PTR>(table)),
                           entries.data(), entries.size(), nullptr)) {
        return -1;
    }
    long long used = 0;
    for (size_t entry = 0; entry < 0x10000; ++entry) {
        used += entries[entry * 24 + 14] != 0;
    }
    return used;
}

// Handle values are multiples of 4 handed out from the lowest free one: a long
// run that cannot be duplicated is the end of the table.
long long Duplicable_Handles(HANDLE process) {
    long long count = 0;
    for (ULONG_PTR value = 4, misses = 0; misses < 512; value += 4) {
        HANDLE copy = nullptr;
        const bool duplicated =
            DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0,
                            FALSE, DUPLICATE_SAME_ACCESS) &&
            CloseHandle(copy);
        count += duplicated;
        misses = duplicated ? 0 : misses + 1;
    }
    return count;
}

// What the window system shows of a thread's windows: the active one and the focus.
GUITHREADINFO Gui_Thread(DWORD threadId) {
    GUITHREADINFO thread = {sizeof thread, 0, {}, {}, {}, {}, {}, {}, {}};
    GetGUIThreadInfo(threadId, &thread);
    return thread;
}

void Send_Key(WORD key, DWORD flags) {
    INPUT input = {INPUT_KEYBOARD, {}};
    input.ki = {key, 0, flags, 0, 0};
    SendInput(1, &input, sizeof input);
}

} // namespace

double Now_Ms() {
    return static_cast<double>(Log_Microseconds()) / 1000.0;
}

std::string Here() {
    char path[MAX_PATH] = {};
    const std::string file(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return file.substr(0, file.find_last_of('\\'));
}

std::string Read_File(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Write_File(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    file.close();
    return !file.fail();
}

Folder::Folder(const char* purpose) {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    for (int attempt = 0; path.empty() && attempt < 100; ++attempt) {
        path = std::string(base) + "tonarium-" + purpose + "-" +
               std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
        path = CreateDirectoryA(path.c_str(), nullptr) ? path : "";
    }
}

Folder::~Folder() {
    // The shell removes the folder with everything in it, read-only files too.
    const std::string list = path + '\0'; // a list of paths ends with an empty one
    SHFILEOPSTRUCTA removal = {nullptr,   FO_DELETE, list.c_str(), nullptr,
                               FOF_NO_UI, FALSE,     nullptr,      nullptr};
    SHFileOperationA(&removal);
}

// The program takes the drivers Windows loads for it from the system folder only, so the recorder
// goes there; a copy that is already there may be in use, and is left alone. Its path, or "".
std::string Install_Recorder() {
    char system[MAX_PATH] = {};
    const std::string installed =
        std::string(system, GetSystemDirectoryA(system, MAX_PATH)) + "\\winex.drv";
    const std::string built = Here() + "\\winex.drv";
    const bool there = Read_File(installed) == Read_File(built) ||
                       CopyFileA(built.c_str(), installed.c_str(), FALSE);
    return there ? installed : "";
}

bool Install(const std::string& folder, const char* program, const std::string& newName,
             bool media) {
    const std::string target = folder + "\\" + (newName.empty() ? program : newName);
    const auto beside = [&](const char* file) {
        return CopyFileA((Here() + "\\" + file).c_str(), (folder + "\\" + file).c_str(), FALSE);
    };
    return CopyFileA((Here() + "\\" + program).c_str(), target.c_str(), FALSE) &&
           !Install_Recorder().empty() && beside("tonarium_opener.exe") && beside("index.htm") &&
           (!media || Write_File(folder + "\\data.mid", std::string(kMinimalMidiFile, 26)));
}

std::vector<MidiEvent> Program::Midi() const {
    std::vector<MidiEvent> events;
    const std::string text = Read_File(log);
    // A line still being written has no newline yet.
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        long long micro = 0;
        char kind[16] = {};
        unsigned value = 0;
        if (std::sscanf(text.c_str() + start, "%lld %15s %x", &micro, kind, &value) == 3) {
            events.push_back({static_cast<double>(micro) / 1000.0, kind, value});
        }
    }
    return events;
}

std::vector<int> Lesson::Heard() const {
    std::vector<int> notes;
    for (const MidiEvent& event : Midi()) {
        if (event.Note_On()) {
            notes.push_back(event.Note());
        }
    }
    return notes;
}

Program::~Program() {
    if (info.hProcess != nullptr && !Wait_Exit(0)) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 10000);
    }
    CloseHandle(info.hThread); // none when it never started: refused, harmlessly
    CloseHandle(info.hProcess);
}

bool Program::Start(const std::string& folder, const std::string& exe, bool recording,
                    const std::string& arguments, const std::string& currentFolder) {
    static int programs = 0;
    // Loaded before the logs are named, so that this process records nothing.
    recorder = recording ? LoadLibraryA(Install_Recorder().c_str()) : nullptr;
    log = folder + "\\midi-" + std::to_string(++programs) + ".log";
    // Only the program started here inherits the logs' paths.
    SetEnvironmentVariableA("TONARIUM_MIDI_LOG", recording ? log.c_str() : nullptr);
    SetEnvironmentVariableA("TONARIUM_OPEN_LOG", (folder + "\\opened.log").c_str());
    // Named in full, so that a program without an extension is not taken for a ".exe".
    const std::string path = folder + "\\" + exe;
    std::string commandLine = "\"" + path + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startMs = Now_Ms();
    const bool started =
        CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                       nullptr, (currentFolder.empty() ? folder : currentFolder).c_str(), &startup,
                       &info) != FALSE;
    SetEnvironmentVariableA("TONARIUM_MIDI_LOG", nullptr);
    SetEnvironmentVariableA("TONARIUM_OPEN_LOG", nullptr);
    Watch(started); // while its first window opens
    return started && ResumeThread(info.hThread) != static_cast<DWORD>(-1);
}

void Program::Watch(bool on) {
    const auto watch = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(recorder ? GetProcAddress(recorder, "Watch_Sent") : nullptr));
    UnhookWindowsHookEx(watching); // none yet: fails harmlessly
    watching =
        on && watch ? SetWindowsHookExA(WH_CALLWNDPROC, watch, recorder, info.dwThreadId) : nullptr;
}

HWND Program::Find_Dialog(HWND owner) const {
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr));) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId == info.dwProcessId && IsWindowVisible(window) &&
            GetWindow(window, GW_OWNER) == owner) {
            return window;
        }
    }
    return nullptr;
}

HWND Program::Wait_Dialog(HWND owner, DWORD timeoutMs) const {
    HWND found = nullptr;
    Wait_Until([&] { return (found = Find_Dialog(owner)) != nullptr || Wait_Exit(0); }, timeoutMs);
    return found;
}

bool Program::Wait_Exit(DWORD timeoutMs, DWORD* exitCode) const {
    return WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0 &&
           (exitCode == nullptr || GetExitCodeProcess(info.hProcess, exitCode));
}

Resources Program::Sample() const {
    return {Gdi_TableCount(info.hProcess),
            Duplicable_Handles(info.hProcess)}; // as Wine lets them be
}

const int kNoteButtons[12] = {IDC_NOTE_C,  IDC_NOTE_CS, IDC_NOTE_D,  IDC_NOTE_DS,
                              IDC_NOTE_E,  IDC_NOTE_F,  IDC_NOTE_FS, IDC_NOTE_G,
                              IDC_NOTE_GS, IDC_NOTE_A,  IDC_NOTE_AS, IDC_NOTE_B};

bool Lesson::Open(const std::string& folder, bool recording, const std::string& exe,
                  DWORD timeoutMs, const std::string& currentFolder) {
    const bool shown = Start(folder, exe, recording, "", currentFolder) &&
                       (window = Wait_Dialog(nullptr, timeoutMs)) != nullptr;
    Watch(false);
    stall_.thread = shown ? CreateThread(nullptr, 0, Watch_Stalls, this, 0, nullptr) : nullptr;
    return shown && (!recording || Wait_Until([&] { return !Heard().empty(); }));
}

DWORD WINAPI Lesson::Watch_Stalls(void* parameter) {
    Lesson& lesson = *static_cast<Lesson*>(parameter);
    for (DWORD_PTR answer = 0; !lesson.stall_.stop && IsWindow(lesson.window); Sleep(20)) {
        const double asked = Now_Ms();
        SendMessageTimeoutA(lesson.Button(0), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
        lesson.stall_.longest = std::max(lesson.stall_.longest.load(), Now_Ms() - asked);
    }
    return 0;
}

Lesson::~Lesson() {
    stall_.stop = true;
    WaitForSingleObject(stall_.thread, 11000); // none when it never opened: refused, harmlessly
    CloseHandle(stall_.thread);
}

bool Lesson::Activate(HWND which) const {
    const HWND target = which != nullptr ? which : window;
    SetForegroundWindow(target);
    // Keys typed before the program has taken the activation reach no window.
    return Wait_Until([&] { return Gui_Thread(info.dwThreadId).hwndActive == target; }, 2000);
}

HWND Lesson::Focus() const {
    return Gui_Thread(info.dwThreadId).hwndFocus;
}

void Lesson::Menu(char menu, WORD item) const {
    Activate();
    Send_Key(VK_MENU, 0);
    Tap_Key(static_cast<WORD>(menu));
    Send_Key(VK_MENU, KEYEVENTF_KEYUP);
    if (item != 0) {
        Tap_Key(item);
    }
}

bool Program::Device_Closed() const {
    const std::vector<MidiEvent> events = Midi();
    return !events.empty() && events.back().kind == "close";
}

double Program::Newest_Note() const {
    const std::vector<MidiEvent> events = Midi();
    const auto note =
        std::find_if(events.rbegin(), events.rend(), [](auto& e) { return e.Note_On(); });
    return note == events.rend() ? 0 : note->ms;
}

void Lesson::Point_At(int button) const {
    const HWND toolbar = Item(IDC_TOOLBAR);
    const RECT item = Remote<RECT>(*this, toolbar, TB_GETITEMRECT, std::min(button, 4));
    POINT point = {button > 4 ? item.right + 20 : (item.left + item.right) / 2, item.bottom / 2};
    ClientToScreen(toolbar, &point);
    Move_Pointer(point);
}

HWND Lesson::Press(int noteIndex) const {
    Click(Button(noteIndex));
    return Wait_Dialog(window);
}

HWND Lesson::Answer(bool right) const {
    const std::vector<int> heard = Heard();
    const int note = heard.empty() ? 0 : heard.back();
    return Press((note + (right ? 0 : 1)) % 12);
}

bool Lesson::Close_Result(HWND result) const {
    Click(GetDlgItem(result, IDOK));
    return Wait_Until([&] { return !IsWindow(result); }) && Sync();
}

bool Lesson::Pressed(WORD command) const {
    return (Button_State(command) & TBSTATE_CHECKED) != 0;
}

LRESULT Lesson::Button_State(WORD command) const {
    return SendMessageA(Item(IDC_TOOLBAR), TB_GETSTATE, command, 0);
}

std::string Lesson::Status(int part) const {
    // Wine's SB_GETTEXTLENGTHA counts characters, not bytes: a fixed span is read.
    const auto text = Remote<std::array<char, 512>>(*this, Item(IDC_STATUSBAR), SB_GETTEXTA, part);
    return std::string(text.data(), text.size()).c_str();
}

bool Lesson::Sync() const {
    DWORD_PTR answer = 0; // once the lesson is back in its message loop
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer) != 0;
}

bool Lesson::Ended(DWORD timeoutMs) const {
    DWORD exitCode = 1;
    return Wait_Exit(timeoutMs, &exitCode) && exitCode == 0;
}

bool Lesson::Leave(DWORD timeoutMs) const {
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return Ended(timeoutMs) && stall_.longest < kStallMs;
}

std::string Text_Of(HWND window) {
    char text[1024] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 10000, nullptr);
    return text;
}

void Click(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
}

void Move_Pointer(POINT to) {
    // 0 to 65536 across every screen (some left of the first), rounded up: the pixel asked for.
    const POINT corner = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)};
    const SIZE size = {GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    INPUT move = {INPUT_MOUSE,
                  {{((to.x - corner.x) * 65536 + size.cx - 1) / size.cx,
                    ((to.y - corner.y) * 65536 + size.cy - 1) / size.cy, 0,
                    MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK, 0, 0}}};
    SendInput(1, &move, sizeof move);
    POINT at = {}; // arrived, so that what follows meets the pointer there (off every screen: not)
    Wait_Until([&] { return GetCursorPos(&at) && at.x == to.x && at.y == to.y; }, 500);
}

void Tap_Key(WORD key) {
    Send_Key(key, 0);
    Send_Key(key, KEYEVENTF_KEYUP);
}

void Click_Centre(HWND window) {
    RECT place = {};
    GetWindowRect(window, &place);
    Move_Pointer({(place.left + place.right) / 2, (place.top + place.bottom) / 2});
    Click_Pointer();
}

void Click_Pointer(bool right) {
    const DWORD down = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    const DWORD up = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    INPUT click[2] = {{INPUT_MOUSE, {{0, 0, 0, down, 0, 0}}}, {INPUT_MOUSE, {{0, 0, 0, up, 0, 0}}}};
    SendInput(2, click, sizeof(INPUT));
}

void Turn_Wheel() {
    INPUT notch = {INPUT_MOUSE,
                   {{0, 0, static_cast<DWORD>(-WHEEL_DELTA), MOUSEEVENTF_WHEEL, 0, 0}}};
    SendInput(1, &notch, sizeof notch);
}

std::string Ansi(const std::string& utf8) {
    std::wstring wide(utf8.size() + 1, L'\0');
    wide.resize(
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], static_cast<int>(wide.size())));
    std::string ansi(wide.size() * 2, '\0');
    ansi.resize(WideCharToMultiByte(932, 0, wide.c_str(), -1, &ansi[0],
                                    static_cast<int>(ansi.size()), nullptr, nullptr));
    return ansi.c_str();
}

Picture Capture(HWND window) {
    Picture picture;
    RECT area = {};
    GetWindowRect(window, &area);
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return picture;
    }
    // A top-down 24-bit section, the layout of a bitmap file's pixels.
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BYTE* bits = nullptr;
    const HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS,
                                             reinterpret_cast<void**>(&bits), nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, section);
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) && GdiFlush()) {
        picture = {width, height, stride, std::vector<BYTE>(bits, bits + stride * height)};
    }
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

Picture Capture_Settled(HWND window) {
    // A window just shown may not have been drawn yet: the screen shows one colour there till then.
    Picture last;
    for (int same = 0, attempt = 0; attempt < 100; ++attempt) {
        Sleep(100);
        Picture next = Capture(window);
        const bool drawn = std::adjacent_find(next.bgr.begin(), next.bgr.end(),
                                              std::not_equal_to<BYTE>()) != next.bgr.end();
        same = drawn && next == last ? same + 1 : 0;
        if (same == 2) {
            return next;
        }
        last = next;
    }
    return Picture();
}

bool Save_Bmp(const Picture& picture, const std::string& path) {
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {
        sizeof header, picture.width, -picture.height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + picture.bgr.size());
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
    bytes.append(picture.bgr.begin(), picture.bgr.end());
    return picture.width > 0 && Write_File(path, bytes);
}

} // namespace drive
