#pragma once

#include "lesson/NoteRecord.h"

#include <cstdint>
#include <random>

// Everything that makes up a lesson and needs no window: the twelve notes with
// their labels and counts, the two options, the totals and the pending question.
class CLLesson {
public:
    // Values kept in the settings file.
    struct Stored {
        bool derivedTones = false;
        bool showAnswer = false;
        std::int32_t totalCorrect = 0;
        std::int32_t totalQuestions = 0;
        std::int32_t correct[kNoteCount] = {};
        std::int32_t asked[kNoteCount] = {};
    };

    struct AnswerResult {
        bool handled = false;
        bool correct = false;
        char text[64] = {}; // "正解", "不正解", or either followed by " (label)"
    };

    static const char* const kKeyNames[kNoteCount]; // "C", "C#", ... "B"
    static const int kNaturalNotes[7];              // 0, 2, 4, 5, 7, 9, 11
    static const int kLowestNote = 48;              // MIDI note of C, octave 0

    // labels: twelve texts in note-index order; null entries take the key name.
    explicit CLLesson(const char* const labels[kNoteCount]);

    void Set_Stored(const Stored& stored);
    Stored Get_Stored() const;

    void Start();
    int Next_Question();
    AnswerResult Answer(int noteIndex);
    void Reset_Score();
    void Toggle_DerivedTones() { derivedTones_ = !derivedTones_; }
    void Toggle_ShowAnswer() { showAnswer_ = !showAnswer_; }

    int Accuracy_Percent() const;
    std::int32_t Total_Questions() const { return totalQuestions_; }
    int Current_MidiNote() const { return questionMidiNote_; }
    bool Derived_Tones() const { return derivedTones_; }
    bool Show_Answer() const { return showAnswer_; }
    const NoteRecord& Note(int noteIndex) const { return notes_[noteIndex]; }
    void Copy_Notes(NoteRecord out[kNoteCount]) const;

private:
    unsigned Draw();

    NoteRecord notes_[kNoteCount];
    std::int32_t previousNote_ = -1;
    std::int32_t questionNote_ = 0;
    std::int32_t questionMidiNote_ = 0;
    bool derivedTones_ = false;
    std::int32_t totalCorrect_ = 0;
    std::int32_t totalQuestions_ = 0;
    bool started_ = false;
    bool showAnswer_ = false;
    std::int32_t octaveCount_ = 3;
    std::minstd_rand random_;
};
