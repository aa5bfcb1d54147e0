#pragma once

#include <windows.h>
#include <mmsystem.h>

// Drives one MCI device: a media element (a file, the device chosen from its
// extension) or the CD-audio device. Every command reuses a parameter record
// of this object.
class CLMedia {
public:
    // window: where MCI posts MM_MCINOTIFY when a play ends.
    explicit CLMedia(HWND window);
    CLMedia(const CLMedia&) = delete;
    CLMedia& operator=(const CLMedia&) = delete;
    ~CLMedia();

    // deviceType "cdaudio" (any case) selects CD-audio mode, where positions
    // refer to startTrack; any other type, or none, opens the element by name.
    // The strings are read during the call only.
    bool Open(const char* element, const char* deviceType, int startTrack, int endTrack);
    void Close();
    bool Play(DWORD from, DWORD to);
    void Stop();
    void Seek(DWORD position);
    void SeekToStart();
    void SetTimeFormat(DWORD format);
    const MCI_STATUS_PARMS& Status(DWORD item);
    bool IsReady();
    DWORD GetLength();
    void OnNotify(WPARAM code, LPARAM id);
    void SetRepeat(bool on) { repeat = on; }

private:
    MCIERROR Send(MCIDEVICEID device, UINT command, DWORD flags, void* parameters);
    MCIERROR QueryStatus(DWORD item);

    MCI_GENERIC_PARMS genericParms;
    MCI_OPEN_PARMSA openParms;
    MCI_PLAY_PARMS playParms;
    MCI_SEEK_PARMS seekParms;
    MCI_SET_PARMS setParms;
    MCI_STATUS_PARMS statusParms;
    HWND notifyWindow;
    MCIDEVICEID deviceId;
    bool repeat;
    int cdAudio;
    int track;
};
