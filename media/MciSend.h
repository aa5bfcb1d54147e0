#pragma once

#include <windows.h>
#include <mmsystem.h>

// The one MCI entry point the media player uses; defaults to winmm's
// mciSendCommandA. Tests swap in a recorder that scripts the replies.
using MciSendCommandFn = MCIERROR(WINAPI*)(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR);

extern MciSendCommandFn g_mciSendCommand;
