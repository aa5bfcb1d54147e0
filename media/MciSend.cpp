#include "media/MciSend.h"

// The program always talks to winmm; only tests put a recorder here.
MciSendCommandFn g_mciSendCommand = mciSendCommandA;
