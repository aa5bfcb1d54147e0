#include "tests/win/support/MidiLog.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace {

struct KindName {
    const char* name;
    MidiEventKind kind;
};

const KindName kKindNames[] = {
    {"load", MidiEventKind::Load},   {"open", MidiEventKind::Open},
    {"data", MidiEventKind::Data},   {"long", MidiEventKind::LongData},
    {"reset", MidiEventKind::Reset}, {"close", MidiEventKind::Close},
    {"other", MidiEventKind::Other}, {"exit", MidiEventKind::Exit},
};

bool Parse_Kind(const std::string& name, MidiEventKind* kind) {
    for (const KindName& entry : kKindNames) {
        if (name == entry.name) {
            *kind = entry.kind;
            return true;
        }
    }
    return false;
}

bool Is_DecimalDigit(char c) {
    return c >= '0' && c <= '9';
}
bool Is_LowerHexDigit(char c) {
    return Is_DecimalDigit(c) || (c >= 'a' && c <= 'f');
}

bool All_Of(const std::string& text, bool (*accepts)(char)) {
    for (char c : text) {
        if (!accepts(c)) {
            return false;
        }
    }
    return !text.empty();
}

// Digits only, so signs, spaces or trailing garbage make the line malformed
// instead of yielding a partial number; overflow does too.
bool Parse_Unsigned(const std::string& token, int base, unsigned long long* value) {
    if (!All_Of(token, base == 16 ? Is_LowerHexDigit : Is_DecimalDigit)) {
        return false;
    }
    errno = 0;
    *value = std::strtoull(token.c_str(), nullptr, base);
    return errno == 0;
}

} // namespace

bool Parse_MidiLogLine(const std::string& line, MidiEvent* event) {
    std::istringstream fields(line);
    std::string ticksText, frequencyText, processText, kindText, valueText, bytes, extra;
    if (!(fields >> ticksText >> frequencyText >> processText >> kindText >> valueText)) {
        return false;
    }
    fields >> bytes;
    if (fields >> extra) {
        return false;
    }
    unsigned long long ticks = 0, frequency = 0, processId = 0, value = 0;
    MidiEventKind kind;
    if (!Parse_Unsigned(ticksText, 10, &ticks) || !Parse_Unsigned(frequencyText, 10, &frequency) ||
        frequency == 0 || !Parse_Unsigned(processText, 10, &processId) ||
        processId > 0xFFFFFFFFull || !Parse_Kind(kindText, &kind)) {
        return false;
    }
    if (valueText.size() != 10 || valueText.compare(0, 2, "0x") != 0 ||
        !Parse_Unsigned(valueText.substr(2), 16, &value)) {
        return false;
    }
    const bool hasBytes = kind == MidiEventKind::LongData && value > 0;
    if (hasBytes != !bytes.empty()) {
        return false;
    }
    if (hasBytes && (!All_Of(bytes, Is_LowerHexDigit) || bytes.size() != 2 * value)) {
        return false;
    }
    // Split the division so that large tick counts keep their precision.
    const unsigned long long seconds = ticks / frequency;
    const unsigned long long rest = ticks % frequency;
    event->timeMs = 1000.0 * static_cast<double>(seconds) +
                    1000.0 * static_cast<double>(rest) / static_cast<double>(frequency);
    event->kind = kind;
    event->value = static_cast<std::uint32_t>(value);
    event->processId = static_cast<unsigned long>(processId);
    event->bytes = bytes;
    return true;
}

std::vector<MidiEvent> Parse_MidiLog(const std::string& text) {
    std::vector<MidiEvent> events;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            break;
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        MidiEvent event;
        if (Parse_MidiLogLine(line, &event)) {
            events.push_back(event);
        }
        start = end + 1;
    }
    return events;
}

std::vector<MidiEvent> Read_MidiLog(const std::string& path) {
    // The driver may append while this reads: share everything.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    CloseHandle(file);
    return Parse_MidiLog(text);
}

std::vector<MidiEvent> Events_OfProcess(const std::vector<MidiEvent>& events,
                                        unsigned long processId) {
    std::vector<MidiEvent> selected;
    for (const MidiEvent& event : events) {
        if (event.processId == processId) {
            selected.push_back(event);
        }
    }
    return selected;
}

int Midi_Channel(std::uint32_t message) {
    return static_cast<int>(message & 0x0F);
}
int Midi_Note(std::uint32_t message) {
    return static_cast<int>((message >> 8) & 0x7F);
}
int Midi_Velocity(std::uint32_t message) {
    return static_cast<int>((message >> 16) & 0x7F);
}

bool Is_NoteOn(const MidiEvent& event) {
    return event.kind == MidiEventKind::Data && (event.value & 0xF0) == 0x90 &&
           Midi_Velocity(event.value) > 0;
}

bool Is_NoteOff(const MidiEvent& event) {
    if (event.kind != MidiEventKind::Data) {
        return false;
    }
    const std::uint32_t status = event.value & 0xF0;
    return status == 0x80 || (status == 0x90 && Midi_Velocity(event.value) == 0);
}

std::vector<SoundingNote> Notes_LeftSounding(const std::vector<MidiEvent>& events) {
    std::vector<SoundingNote> sounding;
    for (const MidiEvent& event : events) {
        if (Is_NoteOn(event)) {
            sounding.push_back(
                {event.processId, Midi_Channel(event.value), Midi_Note(event.value)});
        } else if (Is_NoteOff(event)) {
            // One note-off ends the earliest matching note-on.
            for (auto it = sounding.begin(); it != sounding.end(); ++it) {
                if (it->processId == event.processId && it->channel == Midi_Channel(event.value) &&
                    it->note == Midi_Note(event.value)) {
                    sounding.erase(it);
                    break;
                }
            }
        } else if (event.kind == MidiEventKind::Reset) {
            // A reset silences every note of that process's device.
            std::vector<SoundingNote> kept;
            for (const SoundingNote& note : sounding) {
                if (note.processId != event.processId) {
                    kept.push_back(note);
                }
            }
            sounding.swap(kept);
        }
    }
    return sounding;
}
