#include "util/SystemLibraries.h"

#include <cstring>

namespace {

SystemLibraries g_libraries = {};

// GetProcAddress's result as the function type it is; through a plain function pointer, as a
// cast between two unrelated function types is not portable.
template <typename Function> bool Take(HMODULE library, const char* name, Function& entry) {
    entry = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
    return entry != nullptr;
}

// Windows 8 and later, and Windows 7 with KB2533623, search only the system folder after
// SetDefaultDllDirectories. Vista is left to SetDllDirectoryA: there, with the update, shell
// objects created through COM fail to load afterwards, and the help page is opened by the shell.
// SetDllDirectoryA("") takes the current folder out of the search (XP SP1 and later). The
// headers of Windows XP declare none of these, so all are looked up.
void Restrict_DllSearch() {
    constexpr DWORD kSearchSystem32 = 0x800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    constexpr DWORD kDepEnable = 1;          // PROCESS_DEP_ENABLE
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const DWORD version = GetVersion();
    const bool vista = LOBYTE(LOWORD(version)) == 6 && HIBYTE(LOWORD(version)) == 0;
    BOOL(WINAPI * setDefaultDirectories)(DWORD) = nullptr;
    BOOL(WINAPI * setDirectory)(const char*) = nullptr;
    if ((vista || !Take(kernel, "SetDefaultDllDirectories", setDefaultDirectories) ||
         !setDefaultDirectories(kSearchSystem32)) &&
        Take(kernel, "SetDllDirectoryA", setDirectory)) {
        setDirectory("");
    }
    // Windows XP SP3 leaves DEP to the program unless the machine forces it; 64-bit processes
    // always have it, and there the call fails harmlessly.
    BOOL(WINAPI * setDepPolicy)(DWORD) = nullptr;
    if (Take(kernel, "SetProcessDEPPolicy", setDepPolicy)) {
        setDepPolicy(kDepEnable);
    }
}

// The library of that name in the system folder; the DLLs it imports are searched for there too.
HMODULE Load_FromSystemFolder(const char* name) {
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + std::strlen(name) >= MAX_PATH) {
        return nullptr;
    }
    path[length] = '\\';
    std::strcpy(path + length + 1, name);
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

bool Load_SystemLibraries() {
    Restrict_DllSearch();
    // WINMM loads its drivers by bare name, which XP, Vista and a Windows 7 without the update
    // look for in the program's folder first; loaded from the system folder now, each is found
    // loaded then (the MIDI mapper, MCI's sequencer, the MIDI driver of XP to 11).
    const char* const drivers[] = {"midimap.dll", "mciseq.dll", "wdmaud.drv"};
    for (const char* driver : drivers) {
        Load_FromSystemFolder(driver);
    }
    const HMODULE comctl = Load_FromSystemFolder("comctl32.dll");
    const HMODULE winmm = Load_FromSystemFolder("winmm.dll");
    return Take(comctl, "InitCommonControlsEx", g_libraries.InitCommonControlsEx) &&
           Take(comctl, "DrawStatusTextA", g_libraries.DrawStatusTextA) &&
           Take(winmm, "midiOutOpen", g_libraries.midiOutOpen) &&
           Take(winmm, "midiOutShortMsg", g_libraries.midiOutShortMsg) &&
           Take(winmm, "midiOutClose", g_libraries.midiOutClose) &&
           Take(winmm, "mciSendCommandA", g_libraries.mciSendCommandA);
}

const SystemLibraries& System_Libraries() {
    return g_libraries;
}
