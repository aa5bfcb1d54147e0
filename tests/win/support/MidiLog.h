#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads the log of the MIDI recorder driver (winex.drv, tests/win/mididrv),
// which a program under test writes through the MIDI mapper. A line is
//   <ticks> <ticks per second> <process id> <event> <value> [<hex bytes>]

enum class MidiEventKind {
    Load,     // winmm opened the driver in a process
    Open,     // value: the open flags the device got
    Data,     // value: the short message (status, data 1 << 8, data 2 << 16)
    LongData, // value: byte count; bytes: the data as lower-case hex
    Reset,
    Close,
    Other, // value: a message number the device does not support
    Exit,  // value: how many devices were still open when the driver left
};

struct MidiEvent {
    double timeMs; // performance-counter time; only differences mean anything
    MidiEventKind kind;
    std::uint32_t value;
    unsigned long processId;
    std::string bytes;
};

// False for a malformed line; the event is then left untouched.
bool Parse_MidiLogLine(const std::string& line, MidiEvent* event);

// Lines without their newline are skipped: the driver may be writing them
// while a test reads. Malformed lines are skipped too.
std::vector<MidiEvent> Parse_MidiLog(const std::string& text);

// Empty when the file does not exist (nothing was recorded yet).
std::vector<MidiEvent> Read_MidiLog(const std::string& path);

std::vector<MidiEvent> Events_OfProcess(const std::vector<MidiEvent>& events,
                                        unsigned long processId);

// Short messages: status 0x90 with a velocity is a note-on; 0x80, or 0x90
// with velocity 0, is a note-off.
bool Is_NoteOn(const MidiEvent& event);
bool Is_NoteOff(const MidiEvent& event);
int Midi_Channel(std::uint32_t message); // 0..15
int Midi_Note(std::uint32_t message);
int Midi_Velocity(std::uint32_t message);

struct SoundingNote {
    unsigned long processId;
    int channel;
    int note;
};

// Notes switched on and never switched off (nor silenced by a reset) by the
// end of the events, in the order they were switched on. Closing the device
// does not count as switching a note off: on a real port it keeps sounding.
std::vector<SoundingNote> Notes_LeftSounding(const std::vector<MidiEvent>& events);
