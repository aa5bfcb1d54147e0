#pragma once

#include <cstdint>

// One note's label and score; twelve of them, in note-index order from C.
constexpr int kNoteCount = 12;
constexpr int kLabelSize = 30; // 29 bytes of text and the terminating zero

struct NoteRecord {
    char label[kLabelSize];
    std::int32_t correct; // answered correctly while this note was asked
    std::int32_t asked;   // answered at all while this note was asked
};

// The twelve labels as the settings file gives them, each already cut to fit its field.
struct NoteLabels {
    char text[kNoteCount][kLabelSize];
};
