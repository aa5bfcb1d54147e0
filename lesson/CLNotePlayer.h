#pragma once

#include <windows.h>
#include <mmsystem.h>

// Sounds the question's note through the MIDI mapper: the device is opened for
// each note, the question timer (id 1 on the lesson window) ends the note after
// 1.2 seconds, and nothing stays open between notes.
class CLNotePlayer {
public:
    static constexpr UINT_PTR kQuestionTimer = 1;
    static constexpr UINT kNoteMilliseconds = 1200;

    CLNotePlayer() = default;
    CLNotePlayer(const CLNotePlayer&) = delete;
    CLNotePlayer& operator=(const CLNotePlayer&) = delete;
    // A note still sounding gets its note-off, so none hangs on a synthesizer.
    ~CLNotePlayer();

    // The lesson window owns the question timer and receives the device's reports.
    void Set_Window(HWND window);

    void Play_Note(int midiNote);
    // Sends the note-off for the note that sounds and closes the device, when one is open.
    void Stop_Note();
    // The question timer ran out.
    void Question_TimerExpired();
    // The lesson window is being destroyed: ends a sounding note and its timer.
    void Release_Device();

private:
    HWND window_ = nullptr;
    HMIDIOUT device_ = nullptr;
    int soundingNote_ = 0;
};
