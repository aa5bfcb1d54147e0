// The MIDI recorder driver (winex.drv beside this executable) under Wine:
// selected with HKCU\Software\Wine\Drivers "Audio"="x" and a log path in
// TONARIUM_MIDI_LOG, it is the MIDI mapper's device and records what is sent.
// winmm reads the driver setting once per process, so every case runs this
// executable again as a child ("--probe <case> <report file>") that uses
// winmm and writes what it saw; the parent judges the report and the log.

#include "tests/win/support/AudioDriverSetting.h"
#include "tests/win/support/MidiLog.h"

#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

const char kLogVariable[] = "TONARIUM_MIDI_LOG";
const DWORD kNoteOn = 0x7F3C90; // middle C, velocity 127, channel 1
const DWORD kNoteOff = 0x7F3C80;
const DWORD kNoteGapMs = 50; // how long the probe holds its note

// ---------------------------------------------------------------------------
// The child: uses winmm as a program would and reports key=value lines.

struct WindowLog {
    std::vector<std::string> messages; // "open", "close", "done" in arrival order
    std::vector<WPARAM> handles;
};

WindowLog g_windowLog;

LRESULT CALLBACK Probe_WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case MM_MOM_OPEN:
        g_windowLog.messages.push_back("open");
        g_windowLog.handles.push_back(wParam);
        return 0;
    case MM_MOM_CLOSE:
        g_windowLog.messages.push_back("close");
        g_windowLog.handles.push_back(wParam);
        return 0;
    case MM_MOM_DONE:
        g_windowLog.messages.push_back("done");
        g_windowLog.handles.push_back(wParam);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND Create_ProbeWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Probe_WndProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TonariumMidiProbe";
    RegisterClassA(&windowClass);
    return CreateWindowA("TonariumMidiProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// Delivers the posted MM_MOM_* messages until `count` arrived or time is up.
void Pump_Until(size_t count, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (g_windowLog.messages.size() < count && GetTickCount() - start < timeoutMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
    }
}

class Report {
public:
    void Add(const std::string& key, const std::string& value) {
        text_ += key + "=" + value + "\n";
    }
    void Add(const std::string& key, unsigned long long value) { Add(key, std::to_string(value)); }
    bool Write(const char* path) const {
        std::ofstream file(path, std::ios::binary);
        file << text_;
        return static_cast<bool>(file);
    }

private:
    std::string text_;
};

void Report_Devices(Report& report) {
    const UINT count = midiOutGetNumDevs();
    report.Add("devices", count);
    if (count > 0) {
        MIDIOUTCAPSA caps = {};
        report.Add("caps_result", midiOutGetDevCapsA(0, &caps, sizeof caps));
        report.Add("name", caps.szPname);
        report.Add("technology", caps.wTechnology);
    }
}

void Report_Window(Report& report, HMIDIOUT device) {
    std::string order;
    size_t foreign = 0;
    for (size_t i = 0; i < g_windowLog.messages.size(); ++i) {
        order += (i ? "," : "") + g_windowLog.messages[i];
        if (g_windowLog.handles[i] != reinterpret_cast<WPARAM>(device)) {
            ++foreign;
        }
    }
    report.Add("window", order);
    report.Add("foreign_handles", foreign);
}

// Through the mapper, as the lesson sounds a note.
void Probe_Mapper(Report& report, HWND window) {
    Report_Devices(report);
    HMIDIOUT device = nullptr;
    const MMRESULT opened =
        midiOutOpen(&device, MIDI_MAPPER, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW);
    report.Add("open_result", opened);
    if (opened != MMSYSERR_NOERROR) {
        return;
    }
    // The mapper holds the port now; a second client must be turned away.
    HMIDIOUT second = nullptr;
    const MMRESULT busy = midiOutOpen(&second, 0, 0, 0, CALLBACK_NULL);
    report.Add("second_open_result", busy);
    if (busy == MMSYSERR_NOERROR) {
        midiOutClose(second);
    }
    midiOutShortMsg(device, kNoteOn);
    Sleep(kNoteGapMs);
    midiOutShortMsg(device, kNoteOff);
    report.Add("close_result", midiOutClose(device));
    Pump_Until(2, 2000);
    Report_Window(report, device);
}

// Straight to device 0: its own notifications, long data and reset.
void Probe_Direct(Report& report, HWND window) {
    Report_Devices(report);
    HMIDIOUT device = nullptr;
    const MMRESULT opened =
        midiOutOpen(&device, 0, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW);
    report.Add("open_result", opened);
    if (opened != MMSYSERR_NOERROR) {
        return;
    }
    char systemOn[] = {'\xF0', '\x7E', '\x7F', '\x09', '\x01', '\xF7'};
    MIDIHDR header = {};
    header.lpData = systemOn;
    header.dwBufferLength = sizeof systemOn;
    report.Add("unprepared_result", midiOutLongMsg(device, &header, sizeof header));
    report.Add("prepare_result", midiOutPrepareHeader(device, &header, sizeof header));
    report.Add("long_result", midiOutLongMsg(device, &header, sizeof header));
    report.Add("long_done", (header.dwFlags & MHDR_DONE) ? 1 : 0);
    report.Add("unprepare_result", midiOutUnprepareHeader(device, &header, sizeof header));
    report.Add("still_prepared", (header.dwFlags & MHDR_PREPARED) ? 1 : 0);
    report.Add("reset_result", midiOutReset(device));
    report.Add("close_result", midiOutClose(device));
    Pump_Until(3, 2000);
    Report_Window(report, device);
}

// A program that ends with its note still sounding and the device open.
void Probe_LeaveOpen(Report& report, HWND window) {
    HMIDIOUT device = nullptr;
    const MMRESULT opened =
        midiOutOpen(&device, MIDI_MAPPER, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW);
    report.Add("open_result", opened);
    if (opened == MMSYSERR_NOERROR) {
        midiOutShortMsg(device, kNoteOn);
    }
}

int Run_Probe(const std::string& probe, const char* reportPath) {
    HWND window = Create_ProbeWindow();
    Report report;
    report.Add("process", GetCurrentProcessId());
    if (probe == "mapper") {
        Probe_Mapper(report, window);
    } else if (probe == "direct") {
        Probe_Direct(report, window);
    } else if (probe == "leave-open") {
        Probe_LeaveOpen(report, window);
    } else {
        return 2;
    }
    return report.Write(reportPath) ? 0 : 3;
}

// ---------------------------------------------------------------------------
// The parent: sets up the prefix and the environment, runs the child.

std::string Module_Folder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string Temp_Path(const char* what) {
    static int serial = 0;
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    char name[64];
    std::snprintf(name, sizeof name, "tonarium-%s-%lu-%d.txt", what,
                  static_cast<unsigned long>(GetCurrentProcessId()), ++serial);
    return std::string(folder) + name;
}

// Sets or clears an environment variable for the children, restoring it after.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
        hadPrevious_ = size > 0;
        if (hadPrevious_) {
            std::vector<char> previous(size);
            GetEnvironmentVariableA(name, previous.data(), size);
            previous_ = previous.data();
        }
        SetEnvironmentVariableA(name, value);
    }
    ~ScopedEnvironment() {
        SetEnvironmentVariableA(name_, hadPrevious_ ? previous_.c_str() : nullptr);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::string previous_;
    bool hadPrevious_;
};

class TempFile {
public:
    explicit TempFile(const char* what) : path_(Temp_Path(what)) { DeleteFileA(path_.c_str()); }
    ~TempFile() { DeleteFileA(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

using ProbeReport = std::map<std::string, std::string>;

// Runs this executable as a probe child; an empty report when it failed.
ProbeReport Run_Child(const char* probe) {
    TempFile reportFile("midi-report");
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine =
        std::string("\"") + self + "\" --probe " + probe + " \"" + reportFile.Path() + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start the probe: error " << GetLastError();
        return {};
    }
    const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (waited != WAIT_OBJECT_0 || exitCode != 0) {
        ADD_FAILURE() << "probe " << probe << " failed (wait " << waited << ", exit code "
                      << exitCode << ")";
        return {};
    }
    ProbeReport report;
    std::ifstream file(reportFile.Path());
    std::string line;
    while (std::getline(file, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            report[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return report;
}

std::string Value(const ProbeReport& report, const char* key) {
    const auto found = report.find(key);
    return found == report.end() ? "(missing)" : found->second;
}

unsigned long Probe_Process(const ProbeReport& report) {
    return std::stoul(report.count("process") ? report.at("process") : "0");
}

std::vector<MidiEventKind> Kinds(const std::vector<MidiEvent>& events) {
    std::vector<MidiEventKind> kinds;
    for (const MidiEvent& event : events) {
        kinds.push_back(event.kind);
    }
    return kinds;
}

class MidiRecorderTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string driver = Module_Folder() + "winex.drv";
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(driver.c_str()))
            << driver << " is missing: build the tonarium_midirecorder target";
    }
};

TEST_F(MidiRecorderTest, MapperSoundsThroughTheRecorder) {
    AudioDriverSetting audio("x");
    ASSERT_TRUE(audio.Applied());
    TempFile log("midi-log");
    ScopedEnvironment logPath(kLogVariable, log.Path().c_str());

    const ProbeReport report = Run_Child("mapper");
    ASSERT_FALSE(report.empty());
    EXPECT_EQ("1", Value(report, "devices"));
    EXPECT_EQ("0", Value(report, "caps_result"));
    EXPECT_EQ("Tonarium MIDI Recorder", Value(report, "name"));
    EXPECT_EQ(std::to_string(MOD_MIDIPORT), Value(report, "technology"));
    EXPECT_EQ("0", Value(report, "open_result"));
    EXPECT_EQ(std::to_string(MMSYSERR_ALLOCATED), Value(report, "second_open_result"));
    EXPECT_EQ("0", Value(report, "close_result"));
    // The mapper tells the window about its own handle.
    EXPECT_EQ("open,close", Value(report, "window"));
    EXPECT_EQ("0", Value(report, "foreign_handles"));

    const std::vector<MidiEvent> events =
        Events_OfProcess(Read_MidiLog(log.Path()), Probe_Process(report));
    const std::vector<MidiEventKind> expected = {MidiEventKind::Load,  MidiEventKind::Open,
                                                 MidiEventKind::Data,  MidiEventKind::Data,
                                                 MidiEventKind::Close, MidiEventKind::Exit};
    ASSERT_EQ(expected, Kinds(events));
    EXPECT_EQ(kNoteOn, events[2].value);
    EXPECT_EQ(kNoteOff, events[3].value);
    EXPECT_EQ(0u, events[5].value) << "no device may be open at exit";
    for (size_t i = 1; i < events.size(); ++i) {
        EXPECT_LT(events[i - 1].timeMs, events[i].timeMs) << "event " << i;
    }
    // Real time, in milliseconds: the probe held its note for kNoteGapMs.
    const double held = events[3].timeMs - events[2].timeMs;
    EXPECT_GE(held, kNoteGapMs - 5.0);
    EXPECT_LT(held, 5000.0);
    EXPECT_TRUE(Notes_LeftSounding(events).empty());
}

TEST_F(MidiRecorderTest, DirectOpenNotifiesAndRecordsLongData) {
    AudioDriverSetting audio("x");
    ASSERT_TRUE(audio.Applied());
    TempFile log("midi-log");
    ScopedEnvironment logPath(kLogVariable, log.Path().c_str());

    const ProbeReport report = Run_Child("direct");
    ASSERT_FALSE(report.empty());
    EXPECT_EQ("0", Value(report, "open_result"));
    EXPECT_EQ(std::to_string(MIDIERR_UNPREPARED), Value(report, "unprepared_result"));
    EXPECT_EQ("0", Value(report, "prepare_result"));
    EXPECT_EQ("0", Value(report, "long_result"));
    EXPECT_EQ("1", Value(report, "long_done"));
    EXPECT_EQ("0", Value(report, "unprepare_result"));
    EXPECT_EQ("0", Value(report, "still_prepared"));
    EXPECT_EQ("0", Value(report, "reset_result"));
    EXPECT_EQ("0", Value(report, "close_result"));
    EXPECT_EQ("open,done,close", Value(report, "window"));
    EXPECT_EQ("0", Value(report, "foreign_handles"));

    const std::vector<MidiEvent> events =
        Events_OfProcess(Read_MidiLog(log.Path()), Probe_Process(report));
    const std::vector<MidiEventKind> expected = {MidiEventKind::Load,     MidiEventKind::Open,
                                                 MidiEventKind::LongData, MidiEventKind::Reset,
                                                 MidiEventKind::Close,    MidiEventKind::Exit};
    ASSERT_EQ(expected, Kinds(events));
    EXPECT_EQ(static_cast<DWORD>(CALLBACK_WINDOW), events[1].value);
    EXPECT_EQ(6u, events[2].value);
    EXPECT_EQ("f07e7f0901f7", events[2].bytes);
}

TEST_F(MidiRecorderTest, DeviceLeftOpenAtExitIsRecorded) {
    AudioDriverSetting audio("x");
    ASSERT_TRUE(audio.Applied());
    TempFile log("midi-log");
    ScopedEnvironment logPath(kLogVariable, log.Path().c_str());

    const ProbeReport report = Run_Child("leave-open");
    ASSERT_EQ("0", Value(report, "open_result"));
    const std::vector<MidiEvent> events =
        Events_OfProcess(Read_MidiLog(log.Path()), Probe_Process(report));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(MidiEventKind::Exit, events.back().kind);
    EXPECT_EQ(1u, events.back().value);
    const std::vector<SoundingNote> sounding = Notes_LeftSounding(events);
    ASSERT_EQ(1u, sounding.size());
    EXPECT_EQ(60, sounding[0].note);
    EXPECT_EQ(0, sounding[0].channel);
}

TEST_F(MidiRecorderTest, EmptyAudioSettingMeansNoDevice) {
    AudioDriverSetting audio("");
    ASSERT_TRUE(audio.Applied());
    TempFile log("midi-log");
    ScopedEnvironment logPath(kLogVariable, log.Path().c_str());

    const ProbeReport report = Run_Child("mapper");
    ASSERT_FALSE(report.empty());
    EXPECT_EQ("0", Value(report, "devices"));
    EXPECT_EQ(std::to_string(MIDIERR_INVALIDSETUP), Value(report, "open_result"));
    EXPECT_TRUE(Read_MidiLog(log.Path()).empty());
}

// Any process of the suite may load the driver while a test has selected it;
// without a log path it must look like a machine without MIDI.
TEST_F(MidiRecorderTest, DriverWithoutLogPathOffersNoDevice) {
    AudioDriverSetting audio("x");
    ASSERT_TRUE(audio.Applied());
    ScopedEnvironment noLog(kLogVariable, nullptr);

    const ProbeReport report = Run_Child("mapper");
    ASSERT_FALSE(report.empty());
    EXPECT_EQ("0", Value(report, "devices"));
    EXPECT_EQ(std::to_string(MIDIERR_INVALIDSETUP), Value(report, "open_result"));
}

std::string Read_AudioSetting() {
    char value[256] = {};
    DWORD size = sizeof value - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", "Audio", RRF_RT_REG_SZ, nullptr,
                     value, &size) != ERROR_SUCCESS) {
        return "(absent)";
    }
    return value;
}

TEST(AudioDriverSetting, PutsTheEarlierSettingBack) {
    const std::string before = Read_AudioSetting();
    {
        AudioDriverSetting outer("outer-test-value");
        ASSERT_TRUE(outer.Applied());
        EXPECT_EQ("outer-test-value", Read_AudioSetting());
        {
            AudioDriverSetting inner("x");
            EXPECT_EQ("x", Read_AudioSetting());
        }
        EXPECT_EQ("outer-test-value", Read_AudioSetting());
    }
    EXPECT_EQ(before, Read_AudioSetting());
}

// ---------------------------------------------------------------------------
// The log reader other tests rely on.

TEST(MidiLog, ParsesEventsAndConvertsTicksToMilliseconds) {
    const std::vector<MidiEvent> events =
        Parse_MidiLog("25000000 10000000 36 open 0x00010000\n"
                      "25012345 10000000 36 data 0x007f3c90\n"
                      "25100000 10000000 36 long 0x00000002 f0f7\n"
                      "90000000000 1000 37 exit 0x00000001\n");
    ASSERT_EQ(4u, events.size());
    EXPECT_DOUBLE_EQ(2500.0, events[0].timeMs);
    EXPECT_EQ(MidiEventKind::Open, events[0].kind);
    EXPECT_EQ(0x10000u, events[0].value);
    EXPECT_EQ(36ul, events[0].processId);
    EXPECT_DOUBLE_EQ(2501.2345, events[1].timeMs);
    EXPECT_EQ(0x7F3C90u, events[1].value);
    EXPECT_EQ("f0f7", events[2].bytes);
    EXPECT_DOUBLE_EQ(90000000000.0, events[3].timeMs);
    EXPECT_EQ(37ul, events[3].processId);
}

TEST(MidiLog, SkipsAnUnfinishedLastLine) {
    const std::vector<MidiEvent> events = Parse_MidiLog("1 10 2 open 0x00000000\r\n"
                                                        "2 10 2 data 0x007f3c90");
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(MidiEventKind::Open, events[0].kind);
}

TEST(MidiLog, RejectsMalformedLines) {
    const char* malformed[] = {
        "",
        "1 10 2 data",                      // no value
        "1 0 2 data 0x007f3c90",            // no frequency
        "1 10 2 beep 0x007f3c90",           // unknown event
        "1 10 2 data 7f3c90",               // value without 0x
        "1 10 2 data 0x7f3c90",             // value not eight digits
        "1 10 2 data 0x007f3c9g",           // not hex
        "-1 10 2 data 0x007f3c90",          // negative time
        "1x 10 2 data 0x007f3c90",          // trailing garbage
        "1 10 2 data 0x007f3c90 f0",        // bytes on a short message
        "1 10 2 long 0x00000002 f0",        // fewer bytes than counted
        "1 10 2 long 0x00000001 F0",        // upper-case hex is not written
        "1 10 2 long 0x00000002",           // bytes missing
        "1 10 99999999999 open 0x00000000", // process id beyond 32 bits
        "1 10 2 open 0x00000000 extra",
    };
    for (const char* line : malformed) {
        MidiEvent event = {};
        event.value = 0xDEAD;
        EXPECT_FALSE(Parse_MidiLogLine(line, &event)) << line;
        EXPECT_EQ(0xDEADu, event.value) << line;
    }
}

TEST(MidiLog, ReadingAMissingFileGivesNoEvents) {
    EXPECT_TRUE(Read_MidiLog(Temp_Path("absent")).empty());
}

TEST(MidiLog, NotesLeftSoundingFollowsOffsResetsAndProcesses) {
    // Process 1: 60 on, 64 on, 60 off by velocity 0, 64 off on another
    // channel (no match), close (no silence), 48 on and off on channel 2.
    // Process 2: 60 on, silenced by its reset.
    const std::vector<MidiEvent> events = Parse_MidiLog("1 10 1 data 0x007f3c90\n"
                                                        "2 10 1 data 0x007f4090\n"
                                                        "3 10 1 data 0x00003c90\n"
                                                        "4 10 2 data 0x007f3c90\n"
                                                        "5 10 1 data 0x007f4081\n"
                                                        "6 10 1 close 0x00000000\n"
                                                        "7 10 2 reset 0x00000000\n"
                                                        "8 10 1 data 0x007f3091\n"
                                                        "9 10 1 data 0x007f3081\n");
    const std::vector<SoundingNote> sounding = Notes_LeftSounding(events);
    ASSERT_EQ(1u, sounding.size());
    EXPECT_EQ(1ul, sounding[0].processId);
    EXPECT_EQ(0, sounding[0].channel);
    EXPECT_EQ(64, sounding[0].note);
}

TEST(MidiLog, NoteFieldsOfAShortMessage) {
    EXPECT_EQ(60, Midi_Note(kNoteOn));
    EXPECT_EQ(127, Midi_Velocity(kNoteOn));
    EXPECT_EQ(0, Midi_Channel(kNoteOn));
    EXPECT_EQ(9, Midi_Channel(0x7F3C99));
    MidiEvent on = {0.0, MidiEventKind::Data, kNoteOn, 1, ""};
    MidiEvent off = {0.0, MidiEventKind::Data, kNoteOff, 1, ""};
    MidiEvent opened = {0.0, MidiEventKind::Open, kNoteOn, 1, ""};
    EXPECT_TRUE(Is_NoteOn(on));
    EXPECT_FALSE(Is_NoteOff(on));
    EXPECT_TRUE(Is_NoteOff(off));
    EXPECT_FALSE(Is_NoteOn(off));
    EXPECT_FALSE(Is_NoteOn(opened));
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--probe") == 0) {
        return Run_Probe(argv[2], argv[3]);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
