#pragma once

#include <windows.h>

// The clock of the MIDI recorder's log: QueryPerformanceCounter in microseconds, the same
// in every process, so the driver takes its own times on it too.
inline long long Log_Microseconds() {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    // Whole seconds and the rest apart, so that the product cannot overflow.
    return now.QuadPart / frequency.QuadPart * 1000000 +
           now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}
