#include "lesson/CLLesson.h"
#include "lesson/CLNotePlayer.h"
#include "lesson/MidiOut.h"

#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

enum class Call { Open, ShortMsg, Close };

struct MidiCall {
    Call kind;
    HMIDIOUT device;
    UINT deviceId;
    DWORD_PTR callback;
    DWORD_PTR instance;
    DWORD flags;
    DWORD message;
    LONGLONG ticks; // QueryPerformanceCounter at the call
};

// Stands in for winmm: the test machine has no MIDI device, and the calls are
// what the player is judged by.
struct MidiRecorder {
    std::vector<MidiCall> calls;
    bool deviceAvailable = true;
    MMRESULT openResult = MMSYSERR_NOERROR;
    std::uintptr_t nextHandle = 0x100;
};

MidiRecorder g_recorder;

LONGLONG Now_Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Ticks_ToMilliseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

MMRESULT WINAPI Record_Open(LPHMIDIOUT device, UINT deviceId, DWORD_PTR callback,
                            DWORD_PTR instance, DWORD flags) {
    *device =
        g_recorder.deviceAvailable ? reinterpret_cast<HMIDIOUT>(g_recorder.nextHandle++) : nullptr;
    g_recorder.calls.push_back(
        {Call::Open, *device, deviceId, callback, instance, flags, 0, Now_Ticks()});
    return g_recorder.openResult;
}

MMRESULT WINAPI Record_ShortMsg(HMIDIOUT device, DWORD message) {
    g_recorder.calls.push_back({Call::ShortMsg, device, 0, 0, 0, 0, message, Now_Ticks()});
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI Record_Close(HMIDIOUT device) {
    g_recorder.calls.push_back({Call::Close, device, 0, 0, 0, 0, 0, Now_Ticks()});
    return MMSYSERR_NOERROR;
}

DWORD Note_On(int note) {
    return 0x90u | (static_cast<DWORD>(note) << 8) | (127u << 16);
}
DWORD Note_Off(int note) {
    return 0x80u | (static_cast<DWORD>(note) << 8) | (127u << 16);
}

const UINT_PTR kReplayTimer = 2;

class NotePlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = g_midiOut;
        g_midiOut = {Record_Open, Record_ShortMsg, Record_Close};
        g_recorder = MidiRecorder();
        window_ = CreateWindowExA(0, "STATIC", "lesson", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, window_);
        player_.Set_Window(window_);
    }

    void TearDown() override {
        player_.Release_Device();
        DestroyWindow(window_);
        g_midiOut = saved_;
    }

    // Runs a message loop until the question timer fires on the window; a
    // replay timer, when armed, sounds `replayNote` again once. False when the
    // question timer does not come within `limitMs`.
    bool Run_UntilQuestionTimer(DWORD limitMs, int replayNote = 0) {
        const DWORD start = GetTickCount();
        for (;;) {
            const DWORD elapsed = GetTickCount() - start;
            if (elapsed >= limitMs) {
                return false;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, limitMs - elapsed, QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.hwnd == window_ && message.message == WM_TIMER) {
                    if (message.wParam == CLNotePlayer::kQuestionTimer) {
                        return true;
                    }
                    if (message.wParam == kReplayTimer) {
                        KillTimer(window_, kReplayTimer);
                        player_.Play_Note(replayNote);
                    }
                    continue;
                }
                DispatchMessageA(&message);
            }
        }
    }

    // Milliseconds from the note-on at calls[on] to the note-off at calls[off].
    double Sounding_Milliseconds(size_t on, size_t off) const {
        return Ticks_ToMilliseconds(g_recorder.calls.at(off).ticks - g_recorder.calls.at(on).ticks);
    }

    void Expect_Calls(const std::vector<Call>& kinds) const {
        std::vector<Call> actual;
        for (const MidiCall& call : g_recorder.calls) {
            actual.push_back(call.kind);
        }
        EXPECT_EQ(kinds, actual);
    }

    MidiOutApi saved_{};
    HWND window_ = nullptr;
    CLNotePlayer player_;
};

TEST_F(NotePlayerTest, OneNoteOpensTheMapperSendsNoteOnAndArmsTheQuestionTimer) {
    player_.Play_Note(60);

    Expect_Calls({Call::Open, Call::ShortMsg});
    const MidiCall& open = g_recorder.calls.at(0);
    EXPECT_EQ(MIDI_MAPPER, open.deviceId);
    EXPECT_EQ(reinterpret_cast<DWORD_PTR>(window_), open.callback);
    EXPECT_EQ(0u, open.instance);
    EXPECT_EQ(static_cast<DWORD>(CALLBACK_WINDOW), open.flags);
    const MidiCall& on = g_recorder.calls.at(1);
    EXPECT_EQ(open.device, on.device);
    EXPECT_EQ(0x007F3C90u, on.message);
    EXPECT_TRUE(player_.Sounding());
    EXPECT_TRUE(KillTimer(window_, CLNotePlayer::kQuestionTimer));
}

TEST_F(NotePlayerTest, ListenAgainWhileSoundingRestartsAFullNote) {
    player_.Play_Note(60);
    SetTimer(window_, kReplayTimer, 500, nullptr);
    ASSERT_TRUE(Run_UntilQuestionTimer(4000, 60));
    player_.Question_TimerExpired(60);

    Expect_Calls({Call::Open, Call::ShortMsg, Call::ShortMsg, Call::Close, Call::Open,
                  Call::ShortMsg, Call::ShortMsg, Call::Close});
    const HMIDIOUT first = g_recorder.calls.at(0).device;
    const HMIDIOUT second = g_recorder.calls.at(4).device;
    EXPECT_NE(first, second);
    EXPECT_EQ(Note_Off(60), g_recorder.calls.at(2).message);
    EXPECT_EQ(first, g_recorder.calls.at(3).device);
    EXPECT_EQ(Note_On(60), g_recorder.calls.at(5).message);
    EXPECT_EQ(second, g_recorder.calls.at(5).device);
    EXPECT_EQ(Note_Off(60), g_recorder.calls.at(6).message);
    EXPECT_EQ(second, g_recorder.calls.at(7).device);
    // Had the first timer kept running, it would have ended the replay early.
    EXPECT_GE(Sounding_Milliseconds(5, 6), 1200.0);
}

TEST_F(NotePlayerTest, ListenAgainAfterTheNoteEndedOpensAFreshDevice) {
    player_.Play_Note(60);
    player_.Question_TimerExpired(60);
    player_.Play_Note(60);

    Expect_Calls(
        {Call::Open, Call::ShortMsg, Call::ShortMsg, Call::Close, Call::Open, Call::ShortMsg});
    EXPECT_NE(g_recorder.calls.at(0).device, g_recorder.calls.at(4).device);
    EXPECT_EQ(g_recorder.calls.at(4).device, g_recorder.calls.at(5).device);
    EXPECT_EQ(Note_On(60), g_recorder.calls.at(5).message);
    EXPECT_TRUE(KillTimer(window_, CLNotePlayer::kQuestionTimer));
}

TEST_F(NotePlayerTest, TheNextNoteEndsTheNoteThatSounds) {
    player_.Play_Note(60);
    player_.Play_Note(72);

    Expect_Calls(
        {Call::Open, Call::ShortMsg, Call::ShortMsg, Call::Close, Call::Open, Call::ShortMsg});
    EXPECT_EQ(Note_Off(60), g_recorder.calls.at(2).message);
    EXPECT_EQ(g_recorder.calls.at(0).device, g_recorder.calls.at(2).device);
    EXPECT_EQ(Note_On(72), g_recorder.calls.at(5).message);
}

TEST_F(NotePlayerTest, WithoutADeviceNothingSoundsAndListenTriesAgain) {
    g_recorder.deviceAvailable = false;
    g_recorder.openResult = MIDIERR_INVALIDSETUP;
    player_.Play_Note(60);

    Expect_Calls({Call::Open});
    EXPECT_FALSE(player_.Sounding());
    EXPECT_FALSE(KillTimer(window_, CLNotePlayer::kQuestionTimer));
    player_.Question_TimerExpired(60);
    player_.Stop_Note(60);
    player_.Release_Device();
    Expect_Calls({Call::Open});

    g_recorder.deviceAvailable = true;
    g_recorder.openResult = MMSYSERR_NOERROR;
    player_.Play_Note(60);
    Expect_Calls({Call::Open, Call::Open, Call::ShortMsg});
    EXPECT_EQ(Note_On(60), g_recorder.calls.at(2).message);

    // The device going away while a note sounds: that note ends, no timer is left.
    g_recorder.deviceAvailable = false;
    player_.Play_Note(62);
    Expect_Calls({Call::Open, Call::Open, Call::ShortMsg, Call::ShortMsg, Call::Close, Call::Open});
    EXPECT_EQ(Note_Off(60), g_recorder.calls.at(3).message);
    EXPECT_FALSE(player_.Sounding());
    EXPECT_FALSE(KillTimer(window_, CLNotePlayer::kQuestionTimer));
}

TEST_F(NotePlayerTest, OnlyTheHandleTellsWhetherTheDeviceOpened) {
    // A handle with an error code still sounds the note.
    g_recorder.openResult = MMSYSERR_ERROR;
    player_.Play_Note(50);
    Expect_Calls({Call::Open, Call::ShortMsg});
    player_.Question_TimerExpired(50);

    // Success without a handle leaves the lesson silent.
    g_recorder.calls.clear();
    g_recorder.openResult = MMSYSERR_NOERROR;
    g_recorder.deviceAvailable = false;
    player_.Play_Note(50);
    Expect_Calls({Call::Open});
    EXPECT_FALSE(KillTimer(window_, CLNotePlayer::kQuestionTimer));
}

TEST_F(NotePlayerTest, QuestionNotesStayInRangeOnChannelOneAtFullVelocity) {
    CLLesson lesson(nullptr, 12345u);
    lesson.Start();
    for (int question = 0; question < 400; ++question) {
        if (question == 200) {
            lesson.Toggle_DerivedTones();
        }
        const int note = lesson.Next_Question();
        player_.Play_Note(note);
        player_.Question_TimerExpired(lesson.Current_MidiNote());
    }

    int ons = 0;
    int offs = 0;
    int lowest = 127;
    int highest = 0;
    for (const MidiCall& call : g_recorder.calls) {
        if (call.kind != Call::ShortMsg) {
            continue;
        }
        const DWORD status = call.message & 0xFF;
        const int note = static_cast<int>((call.message >> 8) & 0xFF);
        ons += status == 0x90 ? 1 : 0;
        offs += status == 0x80 ? 1 : 0;
        EXPECT_TRUE(status == 0x90 || status == 0x80) << std::hex << call.message;
        EXPECT_EQ(127u, (call.message >> 16) & 0xFF) << std::hex << call.message;
        EXPECT_EQ(0u, call.message >> 24) << std::hex << call.message;
        lowest = std::min(lowest, note);
        highest = std::max(highest, note);
    }
    EXPECT_EQ(400, ons);
    EXPECT_EQ(400, offs);
    EXPECT_GE(lowest, 48);
    EXPECT_LE(highest, 83);
}

TEST_F(NotePlayerTest, DestroyingTheLessonWindowWhileSoundingEndsTheNote) {
    player_.Play_Note(64);
    player_.Release_Device();
    Expect_Calls({Call::Open, Call::ShortMsg, Call::ShortMsg, Call::Close});
    EXPECT_EQ(Note_Off(64), g_recorder.calls.at(2).message);
    EXPECT_FALSE(KillTimer(window_, CLNotePlayer::kQuestionTimer));

    // A player that goes away while its note sounds ends it as well.
    g_recorder.calls.clear();
    {
        CLNotePlayer player;
        player.Set_Window(window_);
        player.Play_Note(81);
    }
    Expect_Calls({Call::Open, Call::ShortMsg, Call::ShortMsg, Call::Close});
    EXPECT_EQ(Note_Off(81), g_recorder.calls.at(2).message);
    KillTimer(window_, CLNotePlayer::kQuestionTimer);
}

TEST_F(NotePlayerTest, TheQuestionTimerEndsEachNoteAfterItsFullLength) {
    std::vector<double> lengths;
    for (int i = 0; i < 10; ++i) {
        g_recorder.calls.clear();
        const int note = 48 + 3 * i;
        player_.Play_Note(note);
        ASSERT_TRUE(Run_UntilQuestionTimer(3000));
        player_.Question_TimerExpired(note);
        // The timer's note-off goes to the device of the note-on, which is then closed.
        Expect_Calls({Call::Open, Call::ShortMsg, Call::ShortMsg, Call::Close});
        const HMIDIOUT device = g_recorder.calls.at(0).device;
        EXPECT_EQ(device, g_recorder.calls.at(2).device);
        EXPECT_EQ(Note_Off(note), g_recorder.calls.at(2).message);
        EXPECT_EQ(device, g_recorder.calls.at(3).device);
        EXPECT_FALSE(player_.Sounding());
        // The timer fires once per note.
        EXPECT_FALSE(KillTimer(window_, CLNotePlayer::kQuestionTimer));
        const double length = Sounding_Milliseconds(1, 2);
        EXPECT_GE(length, 1200.0);
        EXPECT_LT(length, 3000.0);
        lengths.push_back(length);
    }
    std::sort(lengths.begin(), lengths.end());
    const double median = (lengths[4] + lengths[5]) / 2;
    std::printf("note length over 10 notes: median %.1f ms, min %.1f ms, max %.1f ms\n", median,
                lengths.front(), lengths.back());
}

} // namespace
