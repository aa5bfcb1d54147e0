#include "media/CLMedia.h"
#include "media/MciSend.h"

#include <windows.h>
#include <mmsystem.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// One command as the driver saw it, with the fields of its parameter record
// copied at call time (the player reuses its records).
struct MciCall {
    MCIDEVICEID device = 0;
    UINT command = 0;
    DWORD_PTR flags = 0;
    DWORD_PTR callback = 0;
    const char* deviceType = nullptr;
    const char* element = nullptr;
    DWORD from = 0;
    DWORD to = 0;
    DWORD timeFormat = 0;
    DWORD item = 0;
    DWORD track = 0;
};

// Stands in for winmm: records every command and answers from a script.
// Commands to device 0 other than open fail as they do in winmm.
struct MciRecorder {
    std::vector<MciCall> calls;
    std::map<UINT, MCIERROR> results;         // by command; missing: 0
    std::map<DWORD, MCIERROR> statusResults;  // by status item; missing: 0
    std::map<DWORD, DWORD_PTR> statusReplies; // by status item
    MCIDEVICEID nextDeviceId = 7;

    MCIERROR Answer(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR parameters) {
        MciCall call;
        call.device = device;
        call.command = command;
        call.flags = flags;
        switch (command) {
        case MCI_OPEN: {
            auto* open = reinterpret_cast<MCI_OPEN_PARMSA*>(parameters);
            call.callback = open->dwCallback;
            call.deviceType = open->lpstrDeviceType;
            call.element = open->lpstrElementName;
            // Written even when the open fails: the player must not trust it.
            open->wDeviceID = nextDeviceId;
            break;
        }
        case MCI_PLAY: {
            auto* play = reinterpret_cast<MCI_PLAY_PARMS*>(parameters);
            call.callback = play->dwCallback;
            call.from = play->dwFrom;
            call.to = play->dwTo;
            break;
        }
        case MCI_SEEK:
            call.to = reinterpret_cast<MCI_SEEK_PARMS*>(parameters)->dwTo;
            break;
        case MCI_SET:
            call.timeFormat = reinterpret_cast<MCI_SET_PARMS*>(parameters)->dwTimeFormat;
            break;
        case MCI_STATUS: {
            auto* status = reinterpret_cast<MCI_STATUS_PARMS*>(parameters);
            call.item = status->dwItem;
            call.track = status->dwTrack;
            break;
        }
        default:
            break;
        }
        calls.push_back(call);

        MCIERROR result = device == 0 && command != MCI_OPEN ? MCIERR_INVALID_DEVICE_ID : 0;
        if (results.count(command) != 0) {
            result = results[command];
        }
        if (command == MCI_STATUS) {
            auto* status = reinterpret_cast<MCI_STATUS_PARMS*>(parameters);
            if (statusResults.count(status->dwItem) != 0) {
                result = statusResults[status->dwItem];
            }
            if (result == 0 && statusReplies.count(status->dwItem) != 0) {
                status->dwReturn = statusReplies[status->dwItem];
            }
        }
        return result;
    }

    // Everything but the status queries, which most operations make first.
    std::vector<MciCall> Commands() const {
        std::vector<MciCall> commands;
        for (const MciCall& call : calls) {
            if (call.command != MCI_STATUS) {
                commands.push_back(call);
            }
        }
        return commands;
    }
};

MciRecorder* g_recorder = nullptr;

MCIERROR WINAPI RecordCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags,
                              DWORD_PTR parameters) {
    return g_recorder->Answer(device, command, flags, parameters);
}

HWND const kNotifyWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4321));
const DWORD kWaitTo = MCI_WAIT | MCI_TO;

class MediaTest : public testing::Test {
protected:
    void SetUp() override {
        recorder.statusReplies[MCI_STATUS_MODE] = MCI_MODE_STOP;
        g_recorder = &recorder;
        saved = g_mciSendCommand;
        g_mciSendCommand = RecordCommand;
    }
    void TearDown() override {
        g_mciSendCommand = saved;
        g_recorder = nullptr;
    }

    // Opens through the recorder and forgets what the open sent.
    void OpenElement(CLMedia& media) {
        ASSERT_TRUE(media.Open("data.mid", nullptr, 1, 1));
        recorder.calls.clear();
    }
    void OpenCd(CLMedia& media, int startTrack, int endTrack) {
        ASSERT_TRUE(media.Open(nullptr, "cdaudio", startTrack, endTrack));
        recorder.calls.clear();
    }

    MciRecorder recorder;
    MciSendCommandFn saved = nullptr;
};

TEST_F(MediaTest, DeviceTypeChoosesMode) {
    struct Case {
        const char* type;
        bool cd;
    };
    const Case cases[] = {{"cdaudio", true},   {"CDAUDIO", true},   {"CDAudio", true},
                          {"cdaudio2", false}, {"cd audio", false}, {"cdaudi", false},
                          {nullptr, false},    {"", false},         {"sequencer", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type == nullptr ? "(null)" : c.type);
        CLMedia media(kNotifyWindow);
        recorder.calls.clear();
        media.Open("data.mid", c.type, 1, 1);
        EXPECT_EQ(c.cd, media.IsCdAudio());
        const std::vector<MciCall> commands = recorder.Commands();
        ASSERT_GE(commands.size(), 2u);
        EXPECT_EQ(UINT(MCI_OPEN), commands[1].command);
        EXPECT_EQ(c.cd ? 8194u : 514u, commands[1].flags);
    }
}

TEST_F(MediaTest, OpenElementPassesTheNameOnly) {
    CLMedia media(kNotifyWindow);
    recorder.calls.clear();
    const char* const name = "data.mid";
    const char* const type = "sequencer";
    EXPECT_TRUE(media.Open(name, type, 1, 1));
    EXPECT_EQ(7u, media.GetDeviceId());
    EXPECT_EQ(1, media.GetTrack());

    const std::vector<MciCall> commands = recorder.Commands();
    // The close of the never opened player, then the open and the time format.
    ASSERT_EQ(3u, commands.size());
    EXPECT_EQ(UINT(MCI_CLOSE), commands[0].command);
    EXPECT_EQ(0u, commands[0].device);
    const MciCall& open = commands[1];
    EXPECT_EQ(UINT(MCI_OPEN), open.command);
    EXPECT_EQ(0u, open.device);
    EXPECT_EQ(DWORD_PTR(MCI_WAIT | MCI_OPEN_ELEMENT), open.flags);
    EXPECT_EQ(name, open.element);
    EXPECT_EQ(0u, open.callback);
    EXPECT_EQ(UINT(MCI_SET), commands[2].command);
    EXPECT_EQ(7u, commands[2].device);
    EXPECT_EQ(DWORD_PTR(MCI_WAIT | MCI_SET_TIME_FORMAT), commands[2].flags);
    EXPECT_EQ(DWORD(MCI_FORMAT_MILLISECONDS), commands[2].timeFormat);
}

TEST_F(MediaTest, OpenCdSeeksToTheStartTrack) {
    CLMedia media(kNotifyWindow);
    recorder.calls.clear();
    const char* const type = "CDAudio";
    EXPECT_TRUE(media.Open(nullptr, type, 3, 5));
    EXPECT_EQ(3, media.GetTrack());

    const std::vector<MciCall> commands = recorder.Commands();
    ASSERT_EQ(5u, commands.size());
    EXPECT_EQ(DWORD_PTR(MCI_WAIT | MCI_OPEN_TYPE), commands[1].flags);
    EXPECT_EQ(type, commands[1].deviceType);
    EXPECT_EQ(DWORD(MCI_FORMAT_TMSF), commands[2].timeFormat);
    EXPECT_EQ(DWORD(MCI_FORMAT_TMSF), commands[3].timeFormat);
    EXPECT_EQ(UINT(MCI_SEEK), commands[4].command);
    EXPECT_EQ(DWORD_PTR(kWaitTo), commands[4].flags);
    EXPECT_EQ(3u, commands[4].to); // track 3, 0:00

    // The play range stored by the open: start of track 3 to start of track 5.
    recorder.calls.clear();
    EXPECT_TRUE(media.Play(0, 0));
    const MciCall play = recorder.Commands().back();
    EXPECT_EQ(UINT(MCI_PLAY), play.command);
    EXPECT_EQ(DWORD_PTR(MCI_NOTIFY | MCI_TO), play.flags);
    EXPECT_EQ(3u, play.from);
    EXPECT_EQ(5u, play.to);
    EXPECT_EQ(reinterpret_cast<DWORD_PTR>(kNotifyWindow), play.callback);
}

TEST_F(MediaTest, FailedOpenLeavesThePlayerClosed) {
    CLMedia media(kNotifyWindow);
    recorder.results[MCI_OPEN] = MCIERR_FILE_NOT_FOUND;
    recorder.calls.clear();
    EXPECT_FALSE(media.Open("missing.mid", nullptr, 1, 1));
    EXPECT_EQ(0u, media.GetDeviceId());
    for (const MciCall& call : recorder.calls) {
        EXPECT_EQ(0u, call.device) << "command " << call.command;
    }
    // Closed: the mode query fails, so nothing else goes out.
    recorder.calls.clear();
    EXPECT_FALSE(media.Play(0, 0));
    EXPECT_TRUE(recorder.Commands().empty());
}

TEST_F(MediaTest, ReopenClosesTheOldDeviceFirst) {
    CLMedia media(kNotifyWindow);
    OpenElement(media);
    recorder.nextDeviceId = 8;
    EXPECT_TRUE(media.Open("other.mid", nullptr, 1, 1));
    EXPECT_EQ(8u, media.GetDeviceId());

    std::vector<MciCall> commands = recorder.Commands();
    ASSERT_EQ(4u, commands.size());
    EXPECT_EQ(UINT(MCI_STOP), commands[0].command);
    EXPECT_EQ(7u, commands[0].device);
    EXPECT_EQ(DWORD_PTR(MCI_WAIT), commands[0].flags);
    EXPECT_EQ(UINT(MCI_CLOSE), commands[1].command);
    EXPECT_EQ(7u, commands[1].device);
    EXPECT_EQ(DWORD_PTR(MCI_WAIT), commands[1].flags);
    EXPECT_EQ(UINT(MCI_OPEN), commands[2].command);
    EXPECT_EQ(0u, commands[2].device);
    EXPECT_EQ(8u, commands[3].device);

    // A device that is not ready is closed without a stop.
    recorder.statusReplies[MCI_STATUS_MODE] = MCI_MODE_NOT_READY;
    recorder.calls.clear();
    media.Open("data.mid", nullptr, 1, 1);
    commands = recorder.Commands();
    ASSERT_EQ(2u, commands.size());
    EXPECT_EQ(UINT(MCI_CLOSE), commands[0].command);
    EXPECT_EQ(8u, commands[0].device);
    EXPECT_EQ(UINT(MCI_OPEN), commands[1].command);
}

TEST_F(MediaTest, SeekPositions) {
    CLMedia media(kNotifyWindow);
    OpenCd(media, 3, 3);
    media.Seek((2 * 60 + 5) * 1000 + 999); // frames are never sought
    std::vector<MciCall> commands = recorder.Commands();
    ASSERT_EQ(2u, commands.size());
    EXPECT_EQ(DWORD(MCI_FORMAT_TMSF), commands[0].timeFormat);
    EXPECT_EQ(UINT(MCI_SEEK), commands[1].command);
    EXPECT_EQ(DWORD_PTR(kWaitTo), commands[1].flags);
    const DWORD to = commands[1].to;
    EXPECT_EQ(3u, to & 0xFF);
    EXPECT_EQ(2u, (to >> 8) & 0xFF);
    EXPECT_EQ(5u, (to >> 16) & 0xFF);
    EXPECT_EQ(0u, to >> 24);

    CLMedia element(kNotifyWindow);
    OpenElement(element);
    element.Seek(125999);
    commands = recorder.Commands();
    ASSERT_EQ(2u, commands.size());
    EXPECT_EQ(DWORD(MCI_FORMAT_MILLISECONDS), commands[0].timeFormat);
    EXPECT_EQ(DWORD_PTR(kWaitTo), commands[1].flags);
    EXPECT_EQ(125999u, commands[1].to);
}

TEST_F(MediaTest, PlayFlagsAndPositions) {
    CLMedia element(kNotifyWindow);
    OpenElement(element);
    EXPECT_TRUE(element.Play(1000, 5000));
    MciCall play = recorder.Commands().back();
    EXPECT_EQ(7u, play.device);
    EXPECT_EQ(13u, play.flags);
    EXPECT_EQ(1000u, play.from);
    EXPECT_EQ(5000u, play.to);
    EXPECT_EQ(reinterpret_cast<DWORD_PTR>(kNotifyWindow), play.callback);

    // Equal positions play on from where the device stands.
    EXPECT_TRUE(element.Play(300, 300));
    play = recorder.Commands().back();
    EXPECT_EQ(1u, play.flags);
    EXPECT_EQ(1000u, play.from);
    EXPECT_EQ(5000u, play.to);

    CLMedia cd(kNotifyWindow);
    OpenCd(cd, 1, 2);
    EXPECT_TRUE(cd.Play(0, 0));
    EXPECT_EQ(9u, recorder.Commands().back().flags);
    EXPECT_TRUE(cd.Play(1000, 5000));
    EXPECT_EQ(13u, recorder.Commands().back().flags);
}

TEST_F(MediaTest, PlayReportsRefusalAndNotReady) {
    CLMedia media(kNotifyWindow);
    OpenElement(media);
    recorder.results[MCI_PLAY] = MCIERR_HARDWARE;
    EXPECT_FALSE(media.Play(0, 0));

    recorder.statusReplies[MCI_STATUS_MODE] = MCI_MODE_NOT_READY;
    recorder.calls.clear();
    EXPECT_FALSE(media.Play(0, 1000));
    EXPECT_TRUE(recorder.Commands().empty());
}

TEST_F(MediaTest, NotifyPlaysAgainOnlyForItsOwnSuccessfulPlay) {
    CLMedia media(kNotifyWindow);
    OpenElement(media);
    media.OnNotify(MCI_NOTIFY_SUCCESSFUL, 7);
    ASSERT_FALSE(recorder.calls.empty());
    EXPECT_EQ(UINT(MCI_STATUS), recorder.calls[0].command);
    EXPECT_EQ(DWORD(MCI_STATUS_MODE), recorder.calls[0].item);

    const std::vector<MciCall> commands = recorder.Commands();
    ASSERT_EQ(4u, commands.size());
    EXPECT_EQ(UINT(MCI_SEEK), commands[1].command);
    EXPECT_EQ(DWORD_PTR(kWaitTo), commands[1].flags);
    EXPECT_EQ(0u, commands[1].to);
    EXPECT_EQ(UINT(MCI_PLAY), commands[3].command);
    EXPECT_EQ(1u, commands[3].flags);

    struct Case {
        const char* what;
        WPARAM code;
        LPARAM id;
        bool repeat;
        DWORD_PTR mode;
    };
    const Case ignored[] = {{"superseded", MCI_NOTIFY_SUPERSEDED, 7, true, MCI_MODE_STOP},
                            {"aborted", MCI_NOTIFY_ABORTED, 7, true, MCI_MODE_STOP},
                            {"failure", MCI_NOTIFY_FAILURE, 7, true, MCI_MODE_STOP},
                            {"other device", MCI_NOTIFY_SUCCESSFUL, 8, true, MCI_MODE_STOP},
                            {"repeat off", MCI_NOTIFY_SUCCESSFUL, 7, false, MCI_MODE_STOP},
                            {"not ready", MCI_NOTIFY_SUCCESSFUL, 7, true, MCI_MODE_NOT_READY}};
    for (const Case& c : ignored) {
        SCOPED_TRACE(c.what);
        media.SetRepeat(c.repeat);
        recorder.statusReplies[MCI_STATUS_MODE] = c.mode;
        recorder.calls.clear();
        media.OnNotify(c.code, c.id);
        ASSERT_EQ(1u, recorder.calls.size());
        EXPECT_EQ(UINT(MCI_STATUS), recorder.calls[0].command);
        EXPECT_EQ(DWORD(MCI_STATUS_MODE), recorder.calls[0].item);
    }
}

TEST_F(MediaTest, GetLength) {
    CLMedia media(kNotifyWindow);
    OpenElement(media);
    recorder.statusReplies[MCI_STATUS_LENGTH] = 61234;
    EXPECT_EQ(61234u, media.GetLength());
    const MciCall last = recorder.calls.back();
    EXPECT_EQ(DWORD(MCI_STATUS_LENGTH), last.item);
    EXPECT_EQ(DWORD_PTR(MCI_WAIT | MCI_STATUS_ITEM), last.flags);
    EXPECT_EQ(DWORD(MCI_FORMAT_MILLISECONDS), recorder.Commands().back().timeFormat);

    // A failed length query must not hand back the mode reply as a length.
    recorder.statusResults[MCI_STATUS_LENGTH] = MCIERR_HARDWARE;
    EXPECT_EQ(0u, media.GetLength());
    recorder.statusResults.clear();

    recorder.statusReplies[MCI_STATUS_MODE] = MCI_MODE_NOT_READY;
    recorder.calls.clear();
    EXPECT_EQ(0u, media.GetLength());
    EXPECT_TRUE(recorder.Commands().empty());

    // On a CD the length is that of the start track, in milliseconds.
    recorder.statusReplies[MCI_STATUS_MODE] = MCI_MODE_STOP;
    CLMedia cd(kNotifyWindow);
    OpenCd(cd, 4, 4);
    EXPECT_EQ(61234u, cd.GetLength());
    EXPECT_EQ(DWORD_PTR(MCI_WAIT | MCI_STATUS_ITEM | MCI_TRACK), recorder.calls.back().flags);
    EXPECT_EQ(4u, recorder.calls.back().track);
    EXPECT_EQ(DWORD(MCI_FORMAT_MILLISECONDS), recorder.Commands().back().timeFormat);
}

TEST_F(MediaTest, StatusFlagsByModeAndItem) {
    CLMedia cd(kNotifyWindow);
    OpenCd(cd, 6, 6);
    recorder.statusReplies[MCI_STATUS_POSITION] = 0x00020106;
    EXPECT_EQ(0x00020106u, cd.Status(MCI_STATUS_POSITION).dwReturn);
    EXPECT_EQ(274u, recorder.calls.back().flags);
    EXPECT_EQ(6u, recorder.calls.back().track);
    cd.Status(MCI_STATUS_MODE);
    EXPECT_EQ(258u, recorder.calls.back().flags);

    CLMedia element(kNotifyWindow);
    OpenElement(element);
    element.Status(MCI_STATUS_POSITION);
    EXPECT_EQ(258u, recorder.calls.back().flags);
    EXPECT_EQ(7u, recorder.calls.back().device);
}

TEST_F(MediaTest, SetTimeFormat) {
    CLMedia element(kNotifyWindow);
    OpenElement(element);
    element.SetTimeFormat(MCI_FORMAT_TMSF);
    ASSERT_EQ(1u, recorder.Commands().size());
    EXPECT_EQ(DWORD(MCI_FORMAT_MILLISECONDS), recorder.Commands()[0].timeFormat);
    EXPECT_EQ(1026u, recorder.Commands()[0].flags);

    CLMedia cd(kNotifyWindow);
    OpenCd(cd, 1, 1);
    cd.SetTimeFormat(MCI_FORMAT_TMSF);
    EXPECT_EQ(DWORD(MCI_FORMAT_TMSF), recorder.Commands().back().timeFormat);
    cd.SetTimeFormat(MCI_FORMAT_MSF);
    EXPECT_EQ(DWORD(MCI_FORMAT_MSF), recorder.Commands().back().timeFormat);

    recorder.statusReplies[MCI_STATUS_MODE] = MCI_MODE_NOT_READY;
    recorder.calls.clear();
    cd.SetTimeFormat(MCI_FORMAT_TMSF);
    EXPECT_TRUE(recorder.Commands().empty());
}

TEST_F(MediaTest, CloseAndStop) {
    CLMedia media(kNotifyWindow);
    recorder.calls.clear();
    media.Close();
    std::vector<MciCall> commands = recorder.Commands();
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(UINT(MCI_CLOSE), commands[0].command);
    EXPECT_EQ(0u, commands[0].device);
    EXPECT_EQ(0u, media.GetDeviceId());

    // The last reply said "stopped", but a mode query that fails is no answer.
    OpenElement(media);
    recorder.statusResults[MCI_STATUS_MODE] = MCIERR_HARDWARE;
    media.Stop();
    EXPECT_TRUE(recorder.Commands().empty());
    media.Close();
    commands = recorder.Commands();
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(UINT(MCI_CLOSE), commands[0].command);
    EXPECT_EQ(7u, commands[0].device);
    EXPECT_EQ(0u, media.GetDeviceId());
}

TEST_F(MediaTest, FreshPlayerDefaults) {
    CLMedia media(kNotifyWindow);
    EXPECT_EQ(0u, media.GetDeviceId());
    EXPECT_TRUE(media.GetRepeat());
    EXPECT_FALSE(media.IsCdAudio());
    // Before any successful query the reply is zero, which is no mode at all.
    EXPECT_EQ(0u, media.Status(MCI_STATUS_MODE).dwReturn);
}

TEST_F(MediaTest, DestructorStopsAndCloses) {
    {
        CLMedia media(kNotifyWindow);
        OpenElement(media);
    }
    const std::vector<MciCall> commands = recorder.Commands();
    ASSERT_EQ(2u, commands.size());
    EXPECT_EQ(UINT(MCI_STOP), commands[0].command);
    EXPECT_EQ(7u, commands[0].device);
    EXPECT_EQ(UINT(MCI_CLOSE), commands[1].command);
    EXPECT_EQ(7u, commands[1].device);
}

// These go to winmm itself: the program's default entry point.
TEST(MediaWinmmTest, MissingFileLeavesThePlayerClosed) {
    MCI_OPEN_PARMSA open = {};
    open.lpstrElementName = "tonarium-no-such-file.mid";
    EXPECT_EQ(MCIERROR(MCIERR_FILE_NOT_FOUND),
              g_mciSendCommand(0, MCI_OPEN, MCI_WAIT | MCI_OPEN_ELEMENT,
                               reinterpret_cast<DWORD_PTR>(&open)));

    CLMedia media(nullptr);
    EXPECT_FALSE(media.Open("tonarium-no-such-file.mid", nullptr, 1, 1));
    EXPECT_EQ(0u, media.GetDeviceId());
    EXPECT_FALSE(media.IsReady());
    EXPECT_FALSE(media.Play(0, 0));
    EXPECT_EQ(0u, media.GetLength());
}

TEST(MediaWinmmTest, OpensAndClosesAMidiFile) {
    // One quarter note at 96 ticks a quarter, 120 beats a minute: 500 ms.
    const unsigned char song[] = {'M', 'T', 'h',  'd',  0,   0,   0,    6,    0,    0,   0,    1,
                                  0,   96,  'M',  'T',  'r', 'k', 0,    0,    0,    12,  0x00, 0x90,
                                  60,  64,  0x60, 0x80, 60,  64,  0x00, 0xFF, 0x2F, 0x00};
    char folder[MAX_PATH] = {};
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, folder));
    char path[MAX_PATH] = {};
    ASSERT_NE(0u, GetTempFileNameA(folder, "tmd", 0, path));
    const std::string midi = std::string(path) + ".mid";
    HANDLE file = CreateFileA(midi.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, song, sizeof song, &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(sizeof song, written);

    {
        CLMedia media(nullptr);
        EXPECT_TRUE(media.Open(midi.c_str(), nullptr, 1, 1));
        EXPECT_NE(0u, media.GetDeviceId());
        EXPECT_TRUE(media.IsReady());
        EXPECT_EQ(500u, media.GetLength());
        media.Close();
        EXPECT_EQ(0u, media.GetDeviceId());
    }
    DeleteFileA(midi.c_str());
    DeleteFileA(path);
}

} // namespace
