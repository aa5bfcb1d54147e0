#pragma once

#include <windows.h>
#include <mmsystem.h>

// The three MIDI output entry points the note player uses. They default to
// winmm; tests swap in recorders because the test machine has no MIDI device.
struct MidiOutApi {
    MMRESULT(WINAPI* open)(LPHMIDIOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD);
    MMRESULT(WINAPI* shortMsg)(HMIDIOUT, DWORD);
    MMRESULT(WINAPI* close)(HMIDIOUT);
};

extern MidiOutApi g_midiOut;
