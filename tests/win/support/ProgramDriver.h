#pragma once

// Starts a copy of tonarium.exe (or any program) in a folder of its own and
// watches it from outside: its windows, its MIDI log and the resources it
// holds. Used by the tests that drive the real program (end to end, hostile
// settings, heard notes, soak) and by the benchmark driver; everything here
// crosses a process boundary.

#include <windows.h>

#include <string>
#include <vector>

namespace program_driver {

// QueryPerformanceCounter in milliseconds, computed as the MIDI log does, so
// a time taken here can be subtracted from a logged event's time.
double Now_Ms();

// Polls until the condition holds or the time is up; the other process runs
// on its own, so there is no event to wait for. Returns the last answer.
template <typename Condition> bool Wait_Until(Condition condition, DWORD timeoutMs, DWORD pollMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return condition();
        }
        Sleep(pollMs);
    }
}

// The folder of the running executable, without a trailing separator.
std::string Directory_OfThisExecutable();

bool Write_WholeFile(const std::string& path, const void* bytes, DWORD size);
std::string Read_WholeFile(const std::string& path);

// A MIDI file with one track that holds only its end marker: enough for the
// program to open and hold as its media file.
bool Write_MinimalMidiFile(const std::string& path);

// A new, empty folder under the temporary directory; removed with its files
// (not subfolders) when the object dies.
class TempFolder {
public:
    explicit TempFolder(const char* purpose);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool Created() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Copies tonarium.exe and the MIDI recorder driver (winex.drv) from beside
// this executable into the folder, and writes a minimal data.mid there so the
// program holds its media file open as it does when installed. False when a
// file could not be copied or written.
bool Prepare_ProgramFolder(const TempFolder& folder);

// Sets an environment variable for the processes started while it lives.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const char* name, const char* value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    std::string name_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// One started process. A process still running when the object dies is
// terminated: a failed check must not leave it behind.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the executable with the arguments (may be empty), the working
    // folder (empty: this process's) and extra creation flags; the start time
    // is taken right before CreateProcessA. False on failure (GetLastError
    // tells why).
    bool Start(const std::string& executable, const std::string& arguments,
               const std::string& workingFolder, DWORD creationFlags = 0);

    double StartMs() const { return startMs_; }
    HANDLE Handle() const { return info_.hProcess; }
    DWORD Id() const { return info_.dwProcessId; }
    bool Alive() const;
    // Waits for the end; false on timeout. exitCode may be null.
    bool Wait_Exit(DWORD timeoutMs, DWORD* exitCode);

private:
    PROCESS_INFORMATION info_ = {};
    double startMs_ = 0;
};

// SendMessageTimeoutA with the driver's timeout; -1 when the window did not
// answer in time.
LRESULT Send_WithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A buffer inside another process, for the messages whose pointer argument
// the system does not marshal (status-bar texts, toolbar rectangles). Freed
// when the object dies, so it must die before the process handle is closed.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, SIZE_T size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Valid() const { return address_ != nullptr; }
    LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }
    // Zeroes the whole buffer, so that a text read back is terminated.
    bool Clear() const;
    // Copies the buffer's first size bytes here; false when it is smaller.
    bool Read(void* destination, SIZE_T size) const;

private:
    HANDLE process_;
    SIZE_T size_;
    void* address_ = nullptr;
};

// How many bytes of a status-bar part Status_Text reads; its buffer must
// hold at least this many.
constexpr SIZE_T kStatusTextBytes = 512;

// The text of a status-bar part of another process through the buffer;
// "<no answer>" when it cannot be read. Wine's SB_GETTEXTLENGTHA counts
// characters, not bytes, so a fixed span is read instead of asking for the
// length.
std::string Status_Text(HWND statusBar, int part, const RemoteBuffer& buffer);

// Visible top-level windows of a process, in z-order.
std::vector<HWND> Visible_TopLevelWindows(DWORD processId);

// The visible window of the process with this class and caption, found with
// FindWindowExA as a user's tool would; null when there is none.
HWND Find_VisibleWindow(DWORD processId, const char* className, const char* caption);

// A visible dialog (class #32770) of the process that the window owns.
HWND Find_OwnedDialog(DWORD processId, HWND owner);

// Find_OwnedDialog polled until the dialog shows; null when it does not in
// time.
HWND Wait_ForOwnedDialog(DWORD processId, HWND owner, DWORD timeoutMs, DWORD pollMs);

// A visible dialog of the process that no window owns: the main window of a
// dialog-based program such as tonarium.exe.
HWND Find_UnownedDialog(DWORD processId);

std::string Class_Of(HWND window);
// WM_GETTEXT, which the system marshals across processes.
std::string Text_Of(HWND window);

// Child windows of every top-level window of the process, the top-level
// windows included: the process's USER objects that can be seen from outside.
int Count_Windows(DWORD processId);

// One figure about a process and where it came from; value -1 when the
// system would not tell.
struct ResourceFigure {
    long long value = -1;
    const char* source = "not reported";
};

// The source of a GDI object count taken from the process's GDI handle table.
extern const char kGdiHandleTableSource[];

// What a process holds, each figure from the documented call where the
// system implements it and otherwise from a way that works from outside
// under Wine (Wine 8 leaves GetGuiResources, GetProcessHandleCount and
// PrivateUsage unimplemented, the last two answering 0).
struct ProcessResources {
    ResourceFigure gdiObjects;       // GetGuiResources, or the process's GDI handle table
    ResourceFigure userObjects;      // GetGuiResources
    ResourceFigure handles;          // GetProcessHandleCount, or handles that can be duplicated
    ResourceFigure privateBytes;     // GetProcessMemoryInfo: PrivateUsage, or PagefileUsage
    ResourceFigure committedPrivate; // VirtualQueryEx: committed private pages
    ResourceFigure windows;          // Count_Windows
};

ProcessResources Sample_Resources(HANDLE process, DWORD processId);

} // namespace program_driver
