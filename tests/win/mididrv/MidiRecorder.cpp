// A stand-in MIDI output driver for test prefixes on machines without sound
// hardware. Wine's audio stack loads "wine<name>.drv" for the "Audio" value of
// HKCU\Software\Wine\Drivers: mmdevapi first (GetPriority and friends), then
// winmm, which opens it as an installable driver (DriverProc) and asks
// modMessage for MIDI output devices. The MIDI mapper then routes
// MIDI_MAPPER to the one device offered here.
//
// Every message sent to the device is appended, one line each, to the file
// named by TONARIUM_MIDI_LOG:
//   <ticks> <ticks per second> <process id> <event> <value> [<bytes>]
// ticks come from QueryPerformanceCounter (comparable across processes),
// value is 0x%08x, bytes (long data only) are lower-case hex without spaces.
// Events: load, open (open flags), data (the short message), long (byte count
// and bytes), reset, close, other (message number), exit (devices still open
// when the driver leaves the process).
//
// Without TONARIUM_MIDI_LOG the driver offers no device at all, so a process
// that was not asked to record behaves as on a machine without MIDI.

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>
#include <mmreg.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kLogVariable[] = "TONARIUM_MIDI_LOG";
const wchar_t kDeviceName[] = L"Tonarium MIDI Recorder";

// The priorities mmdevapi ranks audio drivers by.
enum DriverPriority {
    Priority_Unavailable = 0,
    Priority_Low,
    Priority_Neutral,
    Priority_Preferred
};

typedef BOOL(WINAPI* DriverCallbackProc)(DWORD_PTR callback, DWORD flags, HDRVR device,
                                         DWORD message, DWORD_PTR instance, DWORD_PTR param1,
                                         DWORD_PTR param2);

// What one open of the device needs to notify its client.
struct OpenDevice {
    bool isOpen;
    MIDIOPENDESC desc;
    DWORD callbackFlags; // DCB_* (the high word of the open flags' callback type)
};

char g_logPath[MAX_PATH];
LONGLONG g_ticksPerSecond;
CRITICAL_SECTION g_lock;
OpenDevice g_device;
// Read without the lock when the process ends, when other threads may have
// died holding it.
volatile LONG g_openCount;
// winmm's DriverCallback, looked up rather than declared: the SDKs disagree on
// whether and how their headers declare it.
DriverCallbackProc g_driverCallback;

bool Is_Recording() {
    return g_logPath[0] != '\0';
}

LONGLONG Now_Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// One WriteFile per line on a handle opened for appending: each line lands
// whole even when several processes share the log, and nothing is buffered
// here, so a reader sees it at once.
void Append_Line(const std::string& line) {
    HANDLE file = CreateFileA(g_logPath, FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

void Record(LONGLONG ticks, const char* event, DWORD value, const std::string& bytes = "") {
    if (!Is_Recording()) {
        return;
    }
    char head[128];
    std::snprintf(head, sizeof head, "%lld %lld %lu %s 0x%08lx", static_cast<long long>(ticks),
                  static_cast<long long>(g_ticksPerSecond),
                  static_cast<unsigned long>(GetCurrentProcessId()), event,
                  static_cast<unsigned long>(value));
    std::string line = head;
    if (!bytes.empty()) {
        line += ' ';
        line += bytes;
    }
    line += '\n';
    Append_Line(line);
}

std::string Hex_Bytes(const char* data, DWORD length) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * static_cast<size_t>(length));
    for (DWORD i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(data[i]);
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

class Lock {
public:
    Lock() { EnterCriticalSection(&g_lock); }
    ~Lock() { LeaveCriticalSection(&g_lock); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

// Tells the client what a real port tells it: MOM_OPEN, MOM_CLOSE, MOM_DONE,
// through winmm's DriverCallback, which posts to a window, calls a function,
// sets an event or does nothing, as the client asked at open.
void Notify_Client(const OpenDevice& device, UINT message, DWORD_PTR param1) {
    if (g_driverCallback == nullptr) {
        return;
    }
    g_driverCallback(device.desc.dwCallback, device.callbackFlags,
                     reinterpret_cast<HDRVR>(device.desc.hMidi), message, device.desc.dwInstance,
                     param1, 0);
}

DWORD Get_DevCaps(MIDIOUTCAPSW* caps, DWORD_PTR size) {
    if (caps == nullptr || size == 0) {
        return MMSYSERR_INVALPARAM;
    }
    MIDIOUTCAPSW full = {};
    full.wMid = MM_UNMAPPED;
    full.wPid = MM_PID_UNMAPPED;
    full.vDriverVersion = 0x0100;
    lstrcpynW(full.szPname, kDeviceName, MAXPNAMELEN);
    full.wTechnology = MOD_MIDIPORT;
    full.wChannelMask = 0xFFFF;
    // Callers may pass a shorter structure (older layouts); fill what fits.
    std::memcpy(caps, &full, size < sizeof full ? static_cast<size_t>(size) : sizeof full);
    return MMSYSERR_NOERROR;
}

DWORD Open(LONGLONG ticks, const MIDIOPENDESC* desc, DWORD flags) {
    if (desc == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    OpenDevice opened;
    {
        Lock lock;
        // A MIDI port serves one client at a time, like a real one.
        if (g_device.isOpen) {
            return MMSYSERR_ALLOCATED;
        }
        g_device.isOpen = true;
        g_device.desc = *desc;
        g_device.callbackFlags = HIWORD(flags & CALLBACK_TYPEMASK);
        opened = g_device;
        InterlockedIncrement(&g_openCount);
    }
    Record(ticks, "open", flags);
    Notify_Client(opened, MOM_OPEN, 0);
    return MMSYSERR_NOERROR;
}

DWORD Close(LONGLONG ticks) {
    OpenDevice closed;
    {
        Lock lock;
        if (!g_device.isOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        closed = g_device;
        g_device.isOpen = false;
        InterlockedDecrement(&g_openCount);
    }
    Record(ticks, "close", 0);
    Notify_Client(closed, MOM_CLOSE, 0);
    return MMSYSERR_NOERROR;
}

bool Is_Open() {
    Lock lock;
    return g_device.isOpen;
}

DWORD Short_Message(LONGLONG ticks, DWORD message) {
    if (!Is_Open()) {
        return MMSYSERR_INVALHANDLE;
    }
    Record(ticks, "data", message);
    return MMSYSERR_NOERROR;
}

// Long data is "played" at once: recorded, marked done and handed back.
DWORD Long_Message(LONGLONG ticks, MIDIHDR* header, DWORD_PTR size) {
    if (header == nullptr || size < offsetof(MIDIHDR, dwOffset) || header->lpData == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if ((header->dwFlags & MHDR_PREPARED) == 0) {
        return MIDIERR_UNPREPARED;
    }
    OpenDevice device;
    {
        Lock lock;
        if (!g_device.isOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        device = g_device;
    }
    Record(ticks, "long", header->dwBufferLength,
           Hex_Bytes(header->lpData, header->dwBufferLength));
    header->dwFlags &= ~static_cast<DWORD>(MHDR_INQUEUE);
    header->dwFlags |= MHDR_DONE;
    Notify_Client(device, MOM_DONE, reinterpret_cast<DWORD_PTR>(header));
    return MMSYSERR_NOERROR;
}

// Wine's winmm leaves preparing headers to the driver (Windows would do it
// itself when the driver declines), so the driver keeps the flags.
DWORD Prepare_Header(MIDIHDR* header, DWORD_PTR size) {
    if (header == nullptr || size < offsetof(MIDIHDR, dwOffset) || header->lpData == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if ((header->dwFlags & MHDR_PREPARED) == 0) {
        header->lpNext = nullptr;
        header->dwFlags |= MHDR_PREPARED;
        header->dwFlags &= ~static_cast<DWORD>(MHDR_DONE | MHDR_INQUEUE);
    }
    return MMSYSERR_NOERROR;
}

DWORD Unprepare_Header(MIDIHDR* header, DWORD_PTR size) {
    if (header == nullptr || size < offsetof(MIDIHDR, dwOffset)) {
        return MMSYSERR_INVALPARAM;
    }
    if ((header->dwFlags & MHDR_INQUEUE) != 0) {
        return MIDIERR_STILLPLAYING;
    }
    header->dwFlags &= ~static_cast<DWORD>(MHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

DWORD Reset(LONGLONG ticks) {
    if (!Is_Open()) {
        return MMSYSERR_INVALHANDLE;
    }
    Record(ticks, "reset", 0);
    return MMSYSERR_NOERROR;
}

void Attach_Process() {
    InitializeCriticalSection(&g_lock);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_ticksPerSecond = frequency.QuadPart;
    // winmm is one of this DLL's imports, so it is loaded already.
    if (HMODULE winmm = GetModuleHandleA("winmm.dll")) {
        // FARPROC is a generic function pointer; going through void* keeps
        // GCC from warning about the cast to the real signature.
        g_driverCallback = reinterpret_cast<DriverCallbackProc>(
            reinterpret_cast<void*>(GetProcAddress(winmm, "DriverCallback")));
    }
    const DWORD length = GetEnvironmentVariableA(kLogVariable, g_logPath, sizeof g_logPath);
    // A path that does not fit is not cut short into another file's name.
    if (length == 0 || length >= sizeof g_logPath) {
        g_logPath[0] = '\0';
    }
}

void Detach_Process() {
    // Tells a test whether the program left the device open (a note possibly
    // still sounding) when it let go of the driver or ended.
    Record(Now_Ticks(), "exit", static_cast<DWORD>(g_openCount));
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        Attach_Process();
        break;
    case DLL_PROCESS_DETACH:
        Detach_Process();
        break;
    default:
        break;
    }
    return TRUE;
}

// The installable-driver entry point winmm's OpenDriver needs.
LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1,
                            LPARAM param2) {
    switch (message) {
    case DRV_LOAD:
        Record(Now_Ticks(), "load", 0);
        return 1;
    case DRV_FREE:
    case DRV_OPEN:
    case DRV_CLOSE:
    case DRV_ENABLE:
    case DRV_DISABLE:
        return 1;
    case DRV_QUERYCONFIGURE:
        return 0;
    case DRV_CONFIGURE:
    case DRV_INSTALL:
    case DRV_REMOVE:
        return DRVCNF_OK;
    default:
        return DefDriverProc(driverId, driver, message, param1, param2);
    }
}

// MIDI output. deviceId is 0 for the one device; instance points to the
// per-open value winmm keeps (unused: there is a single device).
DWORD WINAPI modMessage(UINT deviceId, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                        DWORD_PTR param2) {
    (void)instance;
    const LONGLONG ticks = Now_Ticks();
    switch (message) {
    case DRVM_INIT:
    case DRVM_EXIT:
    case DRVM_ENABLE:
    case DRVM_DISABLE:
        return MMSYSERR_NOERROR;
    case MODM_GETNUMDEVS:
        return Is_Recording() ? 1 : 0;
    default:
        break;
    }
    if (!Is_Recording() || deviceId != 0) {
        return MMSYSERR_BADDEVICEID;
    }
    switch (message) {
    case MODM_GETDEVCAPS:
        return Get_DevCaps(reinterpret_cast<MIDIOUTCAPSW*>(param1), param2);
    case MODM_OPEN:
        return Open(ticks, reinterpret_cast<const MIDIOPENDESC*>(param1),
                    static_cast<DWORD>(param2));
    case MODM_CLOSE:
        return Close(ticks);
    case MODM_DATA:
        return Short_Message(ticks, static_cast<DWORD>(param1));
    case MODM_LONGDATA:
        return Long_Message(ticks, reinterpret_cast<MIDIHDR*>(param1), param2);
    case MODM_RESET:
        return Reset(ticks);
    case MODM_PREPARE:
        return Prepare_Header(reinterpret_cast<MIDIHDR*>(param1), param2);
    case MODM_UNPREPARE:
        return Unprepare_Header(reinterpret_cast<MIDIHDR*>(param1), param2);
    default:
        Record(ticks, "other", message);
        return MMSYSERR_NOTSUPPORTED;
    }
}

// mmdevapi's side of an audio driver. The recorder has no wave endpoints; it
// only has to be chosen, so that winmm opens it for MIDI.
int WINAPI GetPriority(void) {
    // Low, not unavailable, when not recording: mmdevapi still settles on
    // it and winmm finds no MIDI device, exactly as with no driver at all.
    return Is_Recording() ? Priority_Preferred : Priority_Low;
}

HRESULT WINAPI GetEndpointIDs(int flow, WCHAR*** ids, GUID** guids, UINT* count,
                              UINT* defaultIndex) {
    (void)flow;
    if (ids == nullptr || guids == nullptr || count == nullptr || defaultIndex == nullptr) {
        return E_POINTER;
    }
    *ids = nullptr;
    *guids = nullptr;
    *count = 0;
    *defaultIndex = 0;
    return S_OK;
}

HRESULT WINAPI GetAudioEndpoint(void* key, void* device, void** client) {
    (void)key;
    (void)device;
    if (client != nullptr) {
        *client = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT WINAPI GetAudioSessionManager(void* device, void** manager) {
    (void)device;
    if (manager != nullptr) {
        *manager = nullptr;
    }
    return E_NOTIMPL;
}

} // extern "C"
