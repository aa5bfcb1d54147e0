#include "lesson/MidiOut.h"

MidiOutApi g_midiOut = {midiOutOpen, midiOutShortMsg, midiOutClose};
