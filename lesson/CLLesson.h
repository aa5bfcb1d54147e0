#pragma once

#include "lesson/NoteRecord.h"

#include <cstdint>
#include <random>

// Everything that makes up a lesson and needs no window: the twelve notes with
// their labels and counts, the two options, the totals and the pending question.
class CLLesson {
public:
    // The values kept in the settings file: the lesson's own score and options.
    struct Stored {
        bool derivedTones = false;
        bool showAnswer = false;
        std::int32_t totalCorrect = 0;
        std::int32_t totalQuestions = 0; // counting the pending question
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
    static const int kOctaveCount = 3;

    explicit CLLesson(const NoteLabels& labels);

    void Set_Stored(const Stored& stored) { stored_ = stored; }
    const Stored& Get_Stored() const { return stored_; }
    // As they will be once the next question is drawn: what a lesson ended
    // between an answer and its next question keeps.
    Stored Stored_WithNextQuestion() const;

    void Start();
    int Next_Question();
    AnswerResult Answer(int noteIndex);
    void Reset_Score();
    void Toggle_DerivedTones() { stored_.derivedTones = !stored_.derivedTones; }
    void Toggle_ShowAnswer() { stored_.showAnswer = !stored_.showAnswer; }

    int Accuracy_Percent() const;
    std::int32_t Total_Questions() const { return stored_.totalQuestions; }
    int Current_MidiNote() const { return questionMidiNote_; }
    bool Derived_Tones() const { return stored_.derivedTones; }
    bool Show_Answer() const { return stored_.showAnswer; }
    const char* Label(int noteIndex) const { return labels_.text[noteIndex]; }
    // Each note's label and counts, for the details window.
    void Copy_Notes(NoteRecord out[kNoteCount]) const;

private:
    NoteLabels labels_;
    Stored stored_;
    std::int32_t previousNote_ = -1;
    std::int32_t questionNote_ = 0;
    std::int32_t questionMidiNote_ = 0;
    bool started_ = false;
    std::minstd_rand random_;
};
