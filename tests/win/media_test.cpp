// The media player in this process, a real MIDI file heard through the MIDI recorder.
#include "media/CLMedia.h"
#include "tools/drive/Drive.h"

#include <gtest/gtest.h>

namespace {

// 500 ticks a quarter at the default tempo: a tick is a millisecond. C, E and G, 100 ms each.
const char kThreeNotes[] = "MThd\0\0\0\6\0\0\0\1\1\xF4MTrk\0\0\0\x1C"
                           "\0\x90\x3C\x40\x64\x80\x3C\x40\0\x90\x40\x40\x64\x80\x40\x40"
                           "\0\x90\x43\x40\x64\x80\x43\x40\0\xFF\x2F\0";

MSG Next_End() {
    MSG end = {};
    EXPECT_TRUE(drive::Wait_Until(
        [&] { return PeekMessageA(&end, nullptr, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE); }, 3000));
    return end;
}

TEST(Media, PlaysRepeatsAfterASuccessfulEndAndLetsTheFileGo) {
    drive::Folder folder("media");
    const std::string log = folder.File("midi.log"), file = folder.File("notes.mid");
    SetEnvironmentVariableA("TONARIUM_MIDI_LOG", log.c_str()); // read when winmm loads the recorder
    ASSERT_TRUE(drive::Write_File(file, std::string(kThreeNotes, sizeof kThreeNotes - 1)));
    {
        CLMedia media(
            CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
        ASSERT_TRUE(media.Open(file.c_str(), nullptr, 1, 1));
        EXPECT_NEAR(300, media.GetLength(), 10);
        CLMedia missing(nullptr); // a failed open leaves it closed, whatever else is open
        EXPECT_FALSE(missing.Open("none.mid", nullptr, 1, 1) || missing.Play(0, 0));
        ASSERT_TRUE(media.Play(50, 150)); // the middle note only
        MSG end = Next_End();
        media.OnNotify(MCI_NOTIFY_ABORTED, end.lParam); // neither an abort
        media.OnNotify(end.wParam, end.lParam + 1);     // nor another device's end repeats
        EXPECT_EQ(DWORD_PTR{MCI_MODE_STOP}, media.Status(MCI_STATUS_MODE).dwReturn);
        media.OnNotify(end.wParam, end.lParam); // repeat is on from the start: all of it again
        media.SetRepeat(false);
        end = Next_End();
        media.OnNotify(end.wParam, end.lParam);
        EXPECT_EQ(DWORD_PTR{MCI_MODE_STOP}, media.Status(MCI_STATUS_MODE).dwReturn);
        ASSERT_TRUE(media.Play(0, 300));
        EXPECT_TRUE(drive::Wait_Until([&] { return drive::Heard(log).size() == 5; }, 3000));
    } // closed while it plays
    EXPECT_EQ(std::vector<int>({64, 60, 64, 67, 60}), drive::Heard(log));
    EXPECT_TRUE(drive::Write_File(file, "")); // the sequencer stopped and let the file go
}

} // namespace
