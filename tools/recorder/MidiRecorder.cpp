// A stand-in MIDI output driver for Wine prefixes without sound hardware. Wine loads
// "wine<name>.drv" for HKCU\Software\Wine\Drivers "Audio": mmdevapi first (GetPriority and
// friends), then winmm, as an installable driver (DriverProc) asking modMessage for MIDI outputs.
// It offers two, as Linux does: "Midi Through", which sounds nowhere, then the synthesizer the test
// prefix points the mapper at. Each open, short message and close is appended to the file
// TONARIUM_MIDI_LOG names as "<microseconds> <event> 0x%08x" (QueryPerformanceCounter's time):
// "open", "data", "close" or "exit" (devices still open at the end), "through-" before those of
// the first device. Without the variable it offers no device, as on a machine without MIDI.

#include "tools/recorder/LogClock.h"

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <cstdio>
#include <cstring>

namespace {

const UINT kDevices = 2;
const WCHAR* const kDeviceNames[kDevices] = {L"Midi Through Port-0", L"Tonarium MIDI Recorder"};
char g_logPath[MAX_PATH];
LONG g_openCount[kDevices]; // each 0 or 1
MIDIOPENDESC g_client[kDevices];
DWORD g_callbackFlags[kDevices];
// winmm's DriverCallback, looked up: the SDKs disagree on how they declare it.
typedef BOOL(WINAPI* DriverCallbackProc)(DWORD_PTR, DWORD, HDRVR, DWORD, DWORD_PTR, DWORD_PTR,
                                         DWORD_PTR);
DriverCallbackProc g_driverCallback;

bool Is_Recording() {
    return g_logPath[0] != '\0';
}

// One WriteFile per line on a handle opened for appending, so each line lands
// whole and a reader sees it at once.
void Record(UINT device, const char* event, DWORD value) {
    if (!Is_Recording()) {
        return;
    }
    char line[96];
    const int length =
        std::snprintf(line, sizeof line, "%lld %s%s 0x%08lx\n", Log_Microseconds(),
                      device == 0 ? "through-" : "", event, static_cast<unsigned long>(value));
    HANDLE file = CreateFileA(g_logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
        CloseHandle(file);
    }
}

// What a real port tells its client (MOM_OPEN, MOM_CLOSE), as it asked at open.
void Notify_Client(UINT device, UINT message) {
    const MIDIOPENDESC& client = g_client[device];
    if (g_driverCallback != nullptr) {
        g_driverCallback(client.dwCallback, g_callbackFlags[device],
                         reinterpret_cast<HDRVR>(client.hMidi), message, client.dwInstance, 0, 0);
    }
}

DWORD Get_DevCaps(UINT device, MIDIOUTCAPSW* caps, DWORD_PTR size) {
    if (caps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    MIDIOUTCAPSW full = {};
    lstrcpynW(full.szPname, kDeviceNames[device], MAXPNAMELEN);
    full.wTechnology = MOD_MIDIPORT;
    full.wChannelMask = 0xFFFF;
    // Callers may pass an older, shorter structure: fill what fits.
    std::memcpy(caps, &full, size < sizeof full ? static_cast<size_t>(size) : sizeof full);
    return MMSYSERR_NOERROR;
}

DWORD Open(UINT device, const MIDIOPENDESC* desc, DWORD flags) {
    if (desc == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    // A port serves one client at a time, like a real one.
    if (InterlockedCompareExchange(&g_openCount[device], 1, 0) != 0) {
        return MMSYSERR_ALLOCATED;
    }
    g_client[device] = *desc;
    g_callbackFlags[device] = HIWORD(flags & CALLBACK_TYPEMASK);
    Record(device, "open", flags);
    Notify_Client(device, MOM_OPEN);
    return MMSYSERR_NOERROR;
}

DWORD Close(UINT device) {
    if (InterlockedCompareExchange(&g_openCount[device], 0, 1) != 1) {
        return MMSYSERR_INVALHANDLE;
    }
    Record(device, "close", 0);
    Notify_Client(device, MOM_CLOSE);
    return MMSYSERR_NOERROR;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        g_driverCallback = reinterpret_cast<DriverCallbackProc>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("winmm.dll"), "DriverCallback")));
        if (GetEnvironmentVariableA("TONARIUM_MIDI_LOG", g_logPath, MAX_PATH) >= MAX_PATH) {
            g_logPath[0] = '\0'; // too long to be the path; an absent one leaves it empty
        }
    } else if (reason == DLL_PROCESS_DETACH) {
        // Tells whether the program left a device open when it ended.
        Record(1, "exit", static_cast<DWORD>(g_openCount[0] + g_openCount[1]));
    }
    return TRUE;
}

// The installable-driver entry point winmm's OpenDriver needs. The test prefix names the recorder
// as MCI's wave, video and CD device too, so whatever a user's Windows would play through them
// shows in the log as "mci" and the command's number.
LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1,
                            LPARAM param2) {
    if (message >= DRV_MCI_FIRST && message <= DRV_MCI_LAST) {
        Record(1, "mci", message);
        return 0; // done, as a device would: an open is followed by the play it was for
    }
    // Load, enable, open, close, disable and free, 1 to 6, all succeed.
    return message >= DRV_LOAD && message <= DRV_FREE
               ? 1
               : DefDriverProc(driverId, driver, message, param1, param2);
}

DWORD WINAPI modMessage(UINT deviceId, UINT message, DWORD_PTR, DWORD_PTR param1,
                        DWORD_PTR param2) {
    switch (message) {
    case DRVM_INIT:
    case DRVM_EXIT:
    case DRVM_ENABLE:
    case DRVM_DISABLE:
        return MMSYSERR_NOERROR;
    case MODM_GETNUMDEVS:
        return Is_Recording() ? kDevices : 0;
    default:
        break;
    }
    if (!Is_Recording() || deviceId >= kDevices) {
        return MMSYSERR_BADDEVICEID;
    }
    switch (message) {
    case MODM_GETDEVCAPS:
        return Get_DevCaps(deviceId, reinterpret_cast<MIDIOUTCAPSW*>(param1), param2);
    case MODM_OPEN:
        return Open(deviceId, reinterpret_cast<const MIDIOPENDESC*>(param1),
                    static_cast<DWORD>(param2));
    case MODM_CLOSE:
        return Close(deviceId);
    case MODM_DATA:
        if (g_openCount[deviceId] == 0) {
            return MMSYSERR_INVALHANDLE;
        }
        Record(deviceId, "data", static_cast<DWORD>(param1));
        return MMSYSERR_NOERROR;
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
}

// The driver's watch from inside the program: each tool's size (comctl32 5 takes up to V2), if the
// toolbar may be customized, each font of its own on a text (id << 16 | quality << 8 | pitch), and
// a status part's text given a drawing type of its own (the high byte of wParam's low word).
LRESULT CALLBACK Watch_Sent(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    char kind[32] = ""; // other classes give these numbers other meanings
    LOGFONTA font = {};
    if (code == HC_ACTION && (sent->message == TTM_ADDTOOLA || sent->message == TTM_DELTOOLA) &&
        GetClassNameA(sent->hwnd, kind, sizeof kind) && !lstrcmpiA(kind, TOOLTIPS_CLASSA)) {
        const TTTOOLINFOA& tool = *reinterpret_cast<const TTTOOLINFOA*>(sent->lParam);
        Record(1, "tool", tool.cbSize);
        NMTOOLBARA asked = {}; // as Windows' comctl32 asks before a button moves; Wine's never asks
        for (UINT question = TBN_QUERYDELETE; question <= TBN_QUERYINSERT; ++question) { // both
            asked.hdr = {tool.hwnd, UINT_PTR(GetDlgCtrlID(tool.hwnd)), question};
            Record(1, "asked",
                   SendMessageA(GetParent(tool.hwnd), WM_NOTIFY, asked.hdr.idFrom,
                                reinterpret_cast<LPARAM>(&asked)) != 0);
        }
    } else if (code == HC_ACTION && sent->message == WM_SETFONT &&
               GetClassNameA(sent->hwnd, kind, sizeof kind) && !lstrcmpiA(kind, "Static") &&
               SendMessageA(GetParent(sent->hwnd), WM_GETFONT, 0, 0) != LRESULT(sent->wParam) &&
               GetObjectA(reinterpret_cast<HFONT>(sent->wParam), sizeof font, &font)) {
        const DWORD id = GetDlgCtrlID(sent->hwnd);
        Record(1, "font", id << 16 | font.lfCharSet << 8 | font.lfQuality | font.lfPitchAndFamily);
    } else if (code == HC_ACTION && sent->message == SB_SETTEXTA && sent->wParam > 0xFF &&
               GetClassNameA(sent->hwnd, kind, sizeof kind) && !lstrcmpiA(kind, STATUSCLASSNAMEA)) {
        Record(1, "part", static_cast<DWORD>(sent->wParam)); // a border Wine's bar never draws
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// mmdevapi's side of an audio driver. The recorder has no wave endpoints; it
// only has to be chosen, so that winmm opens it for MIDI.
int WINAPI GetPriority(void) {
    return Is_Recording() ? 3 : 1; // preferred, or low (chosen, but no device)
}

HRESULT WINAPI GetEndpointIDs(int, WCHAR*** ids, GUID** guids, UINT* count, UINT* defaultIndex) {
    *ids = nullptr;
    *guids = nullptr;
    *count = *defaultIndex = 0;
    return S_OK;
}

HRESULT WINAPI GetAudioEndpoint(void*, void*, void** client) {
    *client = nullptr;
    return E_NOTIMPL;
}

HRESULT WINAPI GetAudioSessionManager(void*, void** manager) {
    *manager = nullptr;
    return E_NOTIMPL;
}

} // extern "C"
