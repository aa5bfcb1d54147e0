#include "media/CLMedia.h"

#include "media/TextEqual.h"
#include "util/SystemLibraries.h"

CLMedia::CLMedia(HWND window)
    : genericParms(), openParms(), playParms(), seekParms(), setParms(), statusParms(),
      notifyWindow(window), deviceId(0), repeat(true), cdAudio(0), track(0) {}

CLMedia::~CLMedia() {
    Close();
}

MCIERROR CLMedia::Send(MCIDEVICEID device, UINT command, DWORD flags, void* parameters) {
    return System_Libraries().mciSendCommandA(device, command, flags,
                                              reinterpret_cast<DWORD_PTR>(parameters));
}

bool CLMedia::Open(const char* element, const char* deviceType, int startTrack, int endTrack) {
    Close();

    openParms.dwCallback = 0;
    openParms.wDeviceID = 0;
    openParms.lpstrDeviceType = deviceType;
    openParms.lpstrElementName = element;
    openParms.lpstrAlias = nullptr;
    cdAudio = TextEqual(deviceType, "cdaudio", false) ? 1 : 0;

    // Only one of the two names is passed: the CD device is opened by type,
    // a file by name so that MCI picks the device from its extension.
    const DWORD flags = MCI_WAIT | (cdAudio != 0 ? MCI_OPEN_TYPE : MCI_OPEN_ELEMENT);
    const MCIERROR result = Send(0, MCI_OPEN, flags, &openParms);

    playParms.dwCallback = reinterpret_cast<DWORD_PTR>(notifyWindow);
    playParms.dwFrom = 0;
    // A failed open must leave the player closed whatever the driver wrote.
    deviceId = result == 0 ? openParms.wDeviceID : 0;
    SetTimeFormat(MCI_FORMAT_TMSF);
    track = startTrack;

    if (cdAudio != 0) {
        // TMSF positions at the very start of the two tracks.
        playParms.dwFrom = static_cast<DWORD>(startTrack) & 255;
        playParms.dwTo = static_cast<DWORD>(endTrack) & 255;
        Seek(0);
    }
    return result == 0;
}

void CLMedia::Close() {
    Stop();
    Send(deviceId, MCI_CLOSE, MCI_WAIT, &genericParms);
    deviceId = 0;
}

void CLMedia::Stop() {
    if (IsReady()) {
        Send(deviceId, MCI_STOP, MCI_WAIT, &genericParms);
    }
}

bool CLMedia::Play(DWORD from, DWORD to) {
    if (!IsReady()) {
        return false;
    }
    SetTimeFormat(MCI_FORMAT_TMSF);

    // Equal positions mean "from where it stands": the stored range is kept.
    DWORD flags = MCI_NOTIFY;
    if (from != to) {
        playParms.dwFrom = from;
        playParms.dwTo = to;
        flags |= MCI_FROM | MCI_TO;
    }
    // A CD always stops at the stored end, the start of the end track after Open.
    if (cdAudio != 0) {
        flags |= MCI_TO;
    }
    return Send(deviceId, MCI_PLAY, flags, &playParms) == 0;
}

void CLMedia::Seek(DWORD position) {
    if (!IsReady()) {
        return;
    }
    if (cdAudio != 0) {
        SetTimeFormat(MCI_FORMAT_TMSF);
        const DWORD seconds = position / 1000;
        const DWORD trackByte = static_cast<DWORD>(track) & 255;
        const DWORD minuteByte = (seconds / 60) & 255;
        const DWORD secondByte = seconds % 60;
        seekParms.dwTo = trackByte | (minuteByte << 8) | (secondByte << 16);
    } else {
        SetTimeFormat(MCI_FORMAT_MILLISECONDS);
        seekParms.dwTo = position;
    }
    Send(deviceId, MCI_SEEK, MCI_WAIT | MCI_TO, &seekParms);
}

void CLMedia::SeekToStart() {
    if (IsReady()) {
        Seek(0);
    }
}

void CLMedia::SetTimeFormat(DWORD format) {
    if (!IsReady()) {
        return;
    }
    // An element is always driven in milliseconds.
    setParms.dwTimeFormat = cdAudio != 0 ? format : MCI_FORMAT_MILLISECONDS;
    Send(deviceId, MCI_SET, MCI_WAIT | MCI_SET_TIME_FORMAT, &setParms);
}

MCIERROR CLMedia::QueryStatus(DWORD item) {
    DWORD flags = MCI_WAIT | MCI_STATUS_ITEM;
    if (cdAudio != 0 && (item == MCI_STATUS_POSITION || item == MCI_STATUS_LENGTH)) {
        flags |= MCI_TRACK;
        statusParms.dwTrack = static_cast<DWORD>(track);
    }
    statusParms.dwItem = item;
    return Send(deviceId, MCI_STATUS, flags, &statusParms);
}

const MCI_STATUS_PARMS& CLMedia::Status(DWORD item) {
    QueryStatus(item);
    return statusParms;
}

bool CLMedia::IsReady() {
    // A failed query leaves an old reply behind, so it cannot count as ready.
    return QueryStatus(MCI_STATUS_MODE) == 0 && statusParms.dwReturn != MCI_MODE_NOT_READY;
}

DWORD CLMedia::GetLength() {
    if (!IsReady()) {
        return 0;
    }
    SetTimeFormat(MCI_FORMAT_MILLISECONDS);
    // Without this check a failed query would return the mode just read.
    if (QueryStatus(MCI_STATUS_LENGTH) != 0) {
        return 0;
    }
    return static_cast<DWORD>(statusParms.dwReturn);
}

void CLMedia::OnNotify(WPARAM code, LPARAM id) {
    if (!IsReady()) {
        return;
    }
    if (id != static_cast<LPARAM>(deviceId) || code != MCI_NOTIFY_SUCCESSFUL || !repeat) {
        return;
    }
    SeekToStart();
    Play(0, 0);
}
