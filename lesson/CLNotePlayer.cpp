#include "lesson/CLNotePlayer.h"

#include "util/SystemLibraries.h"

namespace {

const DWORD kNoteOn = 0x90;  // on channel 1
const DWORD kNoteOff = 0x80; // on channel 1
const DWORD kVelocity = 127;

DWORD Short_Message(DWORD status, int midiNote) {
    return status | (static_cast<DWORD>(midiNote & 0x7F) << 8) | (kVelocity << 16);
}

} // namespace

CLNotePlayer::~CLNotePlayer() {
    // The window may be gone already, and its timers with it.
    Stop_Note();
}

void CLNotePlayer::Set_Window(HWND window) {
    // A device left over from an earlier window must not stay open.
    Stop_Note();
    window_ = window;
}

void CLNotePlayer::Play_Note(int midiNote) {
    KillTimer(window_, kQuestionTimer);
    // The note-off names the note that sounds, not the one about to start.
    Stop_Note();

    HMIDIOUT device = nullptr;
    // Only the handle tells whether the mapper opened; the result code is not needed.
    System_Libraries().midiOutOpen(&device, MIDI_MAPPER, reinterpret_cast<DWORD_PTR>(window_), 0,
                                   CALLBACK_WINDOW);
    if (device == nullptr) {
        return;
    }
    device_ = device;
    soundingNote_ = midiNote;
    System_Libraries().midiOutShortMsg(device_, Short_Message(kNoteOn, midiNote));
    SetTimer(window_, kQuestionTimer, kNoteMilliseconds, nullptr);
}

void CLNotePlayer::Question_TimerExpired() {
    KillTimer(window_, kQuestionTimer);
    Stop_Note();
}

void CLNotePlayer::Release_Device() {
    if (device_ != nullptr) {
        KillTimer(window_, kQuestionTimer);
    }
    Stop_Note();
}

void CLNotePlayer::Stop_Note() {
    if (device_ == nullptr) {
        return;
    }
    System_Libraries().midiOutShortMsg(device_, Short_Message(kNoteOff, soundingNote_));
    System_Libraries().midiOutClose(device_);
    device_ = nullptr;
}
