#include "util/ProgramValues.h"

HINSTANCE g_programInstance = nullptr;
char g_settingsPath[MAX_PATH] = "";
