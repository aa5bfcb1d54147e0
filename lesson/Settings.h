#pragma once

#include "lesson/CLLesson.h"
#include "lesson/NoteRecord.h"

// Reading and writing the settings file, a private-profile file. Every
// function takes the file's path; an empty path means the lesson runs without
// a settings file: the defaults come in and nothing is written.

// The twelve note labels of section "data" (keys "C" to "B"), each cut to at
// most 29 bytes on a character boundary of the ANSI code page. A missing key
// gives the key name; a key present with an empty value gives an empty label.
NoteLabels ReadLabels(const char* settingsPath);

// The score and options: sections "a" and "q" (keys "0" to "11"), then
// "derivation", "answer", "num_answer" and "num_question" of section "data".
// Missing keys read 0; an option is on for any non-zero number.
CLLesson::Stored ReadStoredLesson(const char* settingsPath);

// Writes "derivation", "answer", "num_answer", "num_question", then for each
// note its "a" and "q" counts. Other keys and sections of the file stay.
void WriteStoredLesson(const char* settingsPath, const CLLesson::Stored& stored);
