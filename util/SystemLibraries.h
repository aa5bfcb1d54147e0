#pragma once

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

// WINMM and COMCTL32 are not among the DLLs Windows always takes from its system folder: a file
// of either name beside the executable, or in the current folder, would be loaded in their place
// and run with the user's rights. So the program does not import them; it loads both by full
// path from the system folder at start-up and calls them through this table.
struct SystemLibraries {
    decltype(&::InitCommonControlsEx) InitCommonControlsEx;
    decltype(&::DrawStatusTextA) DrawStatusTextA;
    decltype(&::midiOutOpen) midiOutOpen;
    decltype(&::midiOutShortMsg) midiOutShortMsg;
    decltype(&::midiOutClose) midiOutClose;
    decltype(&::mciSendCommandA) mciSendCommandA;
};

// First thing at start-up: keeps every later DLL load, also those Windows' own code makes by
// bare name, out of the program's and the current folder as far as this Windows allows, asks
// for DEP where Windows XP SP3 leaves it to the program, and fills the table. False when a
// library or one of its functions is missing; the program then shows nothing.
bool Load_SystemLibraries();

// The table Load_SystemLibraries filled.
const SystemLibraries& System_Libraries();
