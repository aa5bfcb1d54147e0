#pragma once

// Starts a copy of tonarium.exe (or any program) in a folder of its own and
// watches it from outside: its windows, its MIDI log and the resources it
// holds. Used by the soak test and the benchmark driver; everything here
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

// Visible top-level windows of a process, in z-order.
std::vector<HWND> Visible_TopLevelWindows(DWORD processId);

// The visible window of the process with this class and caption, found with
// FindWindowExA as a user's tool would; null when there is none.
HWND Find_VisibleWindow(DWORD processId, const char* className, const char* caption);

// A visible dialog (class #32770) of the process that the window owns.
HWND Find_OwnedDialog(DWORD processId, HWND owner);

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
