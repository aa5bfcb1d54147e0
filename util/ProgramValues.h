#pragma once

#include <windows.h>

// Process-wide values that start-up sets before anything else runs.
extern HINSTANCE g_programInstance;
extern char g_settingsPath[MAX_PATH]; // empty: the lesson runs without a settings file
