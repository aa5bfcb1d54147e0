#include "tests/win/support/ProgramDriver.h"

#include <commctrl.h>
#include <psapi.h>

#include <vector>

namespace program_driver {

const char kGdiHandleTableSource[] = "GDI handle table";

namespace {

// A MIDI file with one track that holds only its end marker.
const unsigned char kMinimalMidiFile[] = {'M', 'T', 'h', 'd', 0,   0, 0, 6, 0, 0, 0,    1,    0,
                                          96,  'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0};

constexpr UINT kSendTimeoutMs = 10000;

struct WindowSearch {
    DWORD processId;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK Collect_WindowOfProcess(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && (!search->visibleOnly || IsWindowVisible(window))) {
        search->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK Count_Child(HWND, LPARAM context) {
    ++*reinterpret_cast<int*>(context);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly) {
    WindowSearch search{processId, visibleOnly, {}};
    EnumWindows(Collect_WindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool Copy_BesideThisExecutable(const std::string& name, const TempFolder& folder) {
    const std::string source = Directory_OfThisExecutable() + "\\" + name;
    return CopyFileA(source.c_str(), folder.File(name).c_str(), FALSE) != FALSE;
}

// GetGuiResources answers 0 both for "none" and for failure; only the error
// code tells them apart (Wine has no implementation and says so).
ResourceFigure Gui_Resources(HANDLE process, DWORD kind) {
    ResourceFigure figure;
    SetLastError(ERROR_SUCCESS);
    const DWORD count = GetGuiResources(process, kind);
    if (count != 0 || GetLastError() == ERROR_SUCCESS) {
        figure = {static_cast<long long>(count), "GetGuiResources"};
    }
    return figure;
}

// Wine keeps each process's GDI handles in a table that the process's PEB
// points to (GdiSharedHandleTable), in the layout Windows uses for its
// session-wide table: 24-byte entries whose byte at offset 14 is the object
// type, 0 for a free entry.
constexpr SIZE_T kGdiTableEntries = 0x10000;
constexpr SIZE_T kGdiEntrySize = 24;
constexpr SIZE_T kGdiTypeOffset = 14;
constexpr SIZE_T kPebGdiTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;

struct BasicProcessInformation {
    LONG_PTR exitStatus;
    void* pebAddress;
    ULONG_PTR affinityMask;
    LONG_PTR basePriority;
    ULONG_PTR processId;
    ULONG_PTR parentProcessId;
};
typedef LONG(WINAPI* QueryInformationProcessFunction)(HANDLE, int, void*, ULONG, ULONG*);
constexpr int kProcessBasicInformation = 0;

bool Read_Remote(HANDLE process, const void* address, void* destination, SIZE_T size) {
    SIZE_T got = 0;
    return ReadProcessMemory(process, address, destination, size, &got) && got == size;
}

ResourceFigure Gdi_TableCount(HANDLE process) {
    ResourceFigure figure;
    // Looked up: ntdll's import library is not linked in.
    const auto query =
        reinterpret_cast<QueryInformationProcessFunction>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    BasicProcessInformation basic = {};
    ULONG length = 0;
    if (query == nullptr ||
        query(process, kProcessBasicInformation, &basic, sizeof basic, &length) != 0 ||
        basic.pebAddress == nullptr) {
        return figure;
    }
    const char* table = nullptr;
    if (!Read_Remote(process, static_cast<const char*>(basic.pebAddress) + kPebGdiTableOffset,
                     &table, sizeof table) ||
        table == nullptr) {
        return figure;
    }
    std::vector<unsigned char> entries(kGdiTableEntries * kGdiEntrySize);
    if (!Read_Remote(process, table, entries.data(), entries.size())) {
        return figure;
    }
    long long used = 0;
    for (SIZE_T entry = 0; entry < kGdiTableEntries; ++entry) {
        used += entries[entry * kGdiEntrySize + kGdiTypeOffset] != 0 ? 1 : 0;
    }
    // Every process holds the stock objects: an empty table is not this one.
    if (used > 0) {
        figure = {used, kGdiHandleTableSource};
    }
    return figure;
}

// Handle values are multiples of 4, handed out from the lowest free one; a
// long run of values that cannot be duplicated means the table has ended.
ResourceFigure Duplicable_Handles(HANDLE process) {
    constexpr ULONG_PTR kStep = 4;
    constexpr ULONG_PTR kMissesAtEnd = 512;
    long long count = 0;
    ULONG_PTR misses = 0;
    for (ULONG_PTR value = kStep; misses < kMissesAtEnd; value += kStep) {
        HANDLE copy = nullptr;
        if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0,
                            FALSE, DUPLICATE_SAME_ACCESS)) {
            CloseHandle(copy);
            ++count;
            misses = 0;
        } else {
            ++misses;
        }
    }
    ResourceFigure figure;
    if (count > 0) {
        figure = {count, "DuplicateHandle"};
    }
    return figure;
}

ResourceFigure Committed_PrivateBytes(HANDLE process) {
    ResourceFigure figure;
    long long bytes = 0;
    const char* address = nullptr;
    MEMORY_BASIC_INFORMATION region;
    while (VirtualQueryEx(process, address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            bytes += static_cast<long long>(region.RegionSize);
        }
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) {
            break;
        }
        address = next;
    }
    if (bytes > 0) {
        figure = {bytes, "VirtualQueryEx"};
    }
    return figure;
}

} // namespace

double Now_Ms() {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const unsigned long long ticks = static_cast<unsigned long long>(now.QuadPart);
    const unsigned long long perSecond = static_cast<unsigned long long>(frequency.QuadPart);
    return 1000.0 * static_cast<double>(ticks / perSecond) +
           1000.0 * static_cast<double>(ticks % perSecond) / static_cast<double>(perSecond);
}

std::string Directory_OfThisExecutable() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    return directory.substr(0, directory.find_last_of("\\/"));
}

bool Write_WholeFile(const std::string& path, const void* bytes, DWORD size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes, size, &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

std::string Read_WholeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    return bytes;
}

TempFolder::TempFolder(const char* purpose) {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const std::string candidate = std::string(base) + "tonarium-" + purpose + "-" +
                                      std::to_string(GetCurrentProcessId()) + "-" +
                                      std::to_string(GetTickCount()) + "-" +
                                      std::to_string(attempt);
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path_ = candidate;
        }
    }
}

TempFolder::~TempFolder() {
    if (path_.empty()) {
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") {
                DeleteFileA(File(name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
}

bool Write_MinimalMidiFile(const std::string& path) {
    return Write_WholeFile(path, kMinimalMidiFile, sizeof kMinimalMidiFile);
}

bool Prepare_ProgramFolder(const TempFolder& folder) {
    return folder.Created() && Copy_BesideThisExecutable("tonarium.exe", folder) &&
           Copy_BesideThisExecutable("winex.drv", folder) &&
           Write_MinimalMidiFile(folder.File("data.mid"));
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const char* name, const char* value)
    : name_(name) {
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    hadPrevious_ = size > 0;
    if (hadPrevious_) {
        std::vector<char> previous(size, '\0');
        GetEnvironmentVariableA(name, previous.data(), size);
        previous_ = previous.data();
    }
    SetEnvironmentVariableA(name, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
    SetEnvironmentVariableA(name_.c_str(), hadPrevious_ ? previous_.c_str() : nullptr);
}

ChildProcess::~ChildProcess() {
    if (info_.hProcess == nullptr) {
        return;
    }
    if (Alive()) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 10000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool ChildProcess::Start(const std::string& executable, const std::string& arguments,
                         const std::string& workingFolder, DWORD creationFlags) {
    if (info_.hProcess != nullptr) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    std::string commandLine = "\"" + executable + "\"";
    if (!arguments.empty()) {
        commandLine += " " + arguments;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startMs_ = Now_Ms();
    return CreateProcessA(
               executable.c_str(), &commandLine[0], nullptr, nullptr, FALSE, creationFlags, nullptr,
               workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info_) != FALSE;
}

bool ChildProcess::Alive() const {
    return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::Wait_Exit(DWORD timeoutMs, DWORD* exitCode) {
    if (info_.hProcess == nullptr ||
        WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    if (exitCode != nullptr) {
        GetExitCodeProcess(info_.hProcess, exitCode);
    }
    return true;
}

LRESULT Send_WithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result)) {
        return -1;
    }
    return static_cast<LRESULT>(result);
}

RemoteBuffer::RemoteBuffer(HANDLE process, SIZE_T size) : process_(process), size_(size) {
    address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
    if (address_ != nullptr) {
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
}

bool RemoteBuffer::Clear() const {
    std::vector<char> zeros(size_, 0);
    SIZE_T written = 0;
    return WriteProcessMemory(process_, address_, zeros.data(), size_, &written) &&
           written == size_;
}

bool RemoteBuffer::Read(void* destination, SIZE_T size) const {
    SIZE_T got = 0;
    return size <= size_ && ReadProcessMemory(process_, address_, destination, size, &got) &&
           got == size;
}

std::string Status_Text(HWND statusBar, int part, const RemoteBuffer& buffer) {
    char text[kStatusTextBytes] = {};
    if (!buffer.Clear() ||
        Send_WithTimeout(statusBar, SB_GETTEXTA, static_cast<WPARAM>(part), buffer.Address()) ==
            -1 ||
        !buffer.Read(text, sizeof text)) {
        return "<no answer>";
    }
    text[sizeof text - 1] = '\0';
    return text;
}

std::vector<HWND> Visible_TopLevelWindows(DWORD processId) {
    return TopLevelWindows(processId, true);
}

HWND Find_VisibleWindow(DWORD processId, const char* className, const char* caption) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, caption)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

HWND Find_OwnedDialog(DWORD processId, HWND owner) {
    for (HWND window : Visible_TopLevelWindows(processId)) {
        if (GetWindow(window, GW_OWNER) == owner && Class_Of(window) == "#32770") {
            return window;
        }
    }
    return nullptr;
}

HWND Wait_ForOwnedDialog(DWORD processId, HWND owner, DWORD timeoutMs, DWORD pollMs) {
    HWND found = nullptr;
    Wait_Until(
        [&] {
            found = Find_OwnedDialog(processId, owner);
            return found != nullptr;
        },
        timeoutMs, pollMs);
    return found;
}

HWND Find_UnownedDialog(DWORD processId) {
    for (HWND window : Visible_TopLevelWindows(processId)) {
        if (GetWindow(window, GW_OWNER) == nullptr && Class_Of(window) == "#32770") {
            return window;
        }
    }
    return nullptr;
}

std::string Class_Of(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string Text_Of(HWND window) {
    char text[1024] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
        return "<no answer>";
    }
    text[sizeof text - 1] = '\0';
    return text;
}

int Count_Windows(DWORD processId) {
    int count = 0;
    for (HWND window : TopLevelWindows(processId, false)) {
        ++count;
        EnumChildWindows(window, Count_Child, reinterpret_cast<LPARAM>(&count));
    }
    return count;
}

ProcessResources Sample_Resources(HANDLE process, DWORD processId) {
    ProcessResources sample;
    sample.gdiObjects = Gui_Resources(process, GR_GDIOBJECTS);
    if (sample.gdiObjects.value < 0) {
        sample.gdiObjects = Gdi_TableCount(process);
    }
    sample.userObjects = Gui_Resources(process, GR_USEROBJECTS);
    // Every process holds some handles: 0 means the count is not kept.
    DWORD handles = 0;
    if (GetProcessHandleCount(process, &handles) && handles > 0) {
        sample.handles = {static_cast<long long>(handles), "GetProcessHandleCount"};
    } else {
        sample.handles = Duplicable_Handles(process);
    }
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory)) {
        // Windows gives both the same value, the commit charge; Wine leaves
        // PrivateUsage 0 and puts the anonymous resident memory in the other.
        if (memory.PrivateUsage > 0) {
            sample.privateBytes = {static_cast<long long>(memory.PrivateUsage), "PrivateUsage"};
        } else if (memory.PagefileUsage > 0) {
            sample.privateBytes = {static_cast<long long>(memory.PagefileUsage), "PagefileUsage"};
        }
    }
    sample.committedPrivate = Committed_PrivateBytes(process);
    sample.windows = {Count_Windows(processId), "EnumWindows"};
    return sample;
}

} // namespace program_driver
