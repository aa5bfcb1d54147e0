#include "lesson/CLLesson.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <limits>

const char* const CLLesson::kKeyNames[kNoteCount] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                     "F#", "G",  "G#", "A",  "A#", "B"};
const int CLLesson::kNaturalNotes[7] = {0, 2, 4, 5, 7, 9, 11};
const int CLLesson::kLowestNote;

namespace {

const char kCorrectText[] = "正解";
const char kWrongText[] = "不正解";

// The longest result text: the longer verdict, " (", a full label, ")" and the zero.
static_assert(sizeof(CLLesson::AnswerResult::text) >=
                  (sizeof(kWrongText) - 1) + 2 + (kLabelSize - 1) + 1 + 1,
              "the result text must hold the longest label");

constexpr std::int32_t kCountLimit = std::numeric_limits<std::int32_t>::max();

// Counts stop at the largest 32-bit value instead of overflowing.
void Count_Up(std::int32_t& count) {
    if (count < kCountLimit) {
        ++count;
    }
}

// At most kLabelSize - 1 bytes of the text, zero-filled to the end of the field.
void Copy_Label(char (&label)[kLabelSize], const char* text) {
    std::fill(label, label + kLabelSize, '\0');
    for (int i = 0; i < kLabelSize - 1 && text[i] != '\0'; ++i) {
        label[i] = text[i];
    }
}

} // namespace

CLLesson::CLLesson(const char* const labels[kNoteCount])
    : random_(static_cast<std::uint32_t>(std::time(nullptr))) {
    for (int i = 0; i < kNoteCount; ++i) {
        const char* label = labels != nullptr ? labels[i] : nullptr;
        Copy_Label(notes_[i].label, label != nullptr ? label : kKeyNames[i]);
        notes_[i].correct = 0;
        notes_[i].asked = 0;
    }
}

void CLLesson::Set_Stored(const Stored& stored) {
    derivedTones_ = stored.derivedTones;
    showAnswer_ = stored.showAnswer;
    totalCorrect_ = stored.totalCorrect;
    totalQuestions_ = stored.totalQuestions;
    for (int i = 0; i < kNoteCount; ++i) {
        notes_[i].correct = stored.correct[i];
        notes_[i].asked = stored.asked[i];
    }
}

CLLesson::Stored CLLesson::Get_Stored() const {
    Stored stored;
    stored.derivedTones = derivedTones_;
    stored.showAnswer = showAnswer_;
    stored.totalCorrect = totalCorrect_;
    stored.totalQuestions = totalQuestions_;
    for (int i = 0; i < kNoteCount; ++i) {
        stored.correct[i] = notes_[i].correct;
        stored.asked[i] = notes_[i].asked;
    }
    return stored;
}

void CLLesson::Start() {
    // The stored total counts the question pending at the last save; the
    // Next_Question that follows counts it again.
    if (totalQuestions_ > 0) {
        --totalQuestions_;
    }
    started_ = true;
}

int CLLesson::Next_Question() {
    Count_Up(totalQuestions_);
    int note = 0;
    int midiNote = 0;
    do {
        const unsigned choices = derivedTones_ ? 12u : 7u;
        const unsigned k = Draw() % choices;
        note = derivedTones_ ? static_cast<int>(k) : kNaturalNotes[k];
        const unsigned octave = Draw() % static_cast<unsigned>(octaveCount_);
        midiNote = kLowestNote + 12 * static_cast<int>(octave) + note;
    } while (midiNote == previousNote_);
    questionNote_ = note;
    questionMidiNote_ = midiNote;
    previousNote_ = midiNote;
    return questionMidiNote_;
}

CLLesson::AnswerResult CLLesson::Answer(int noteIndex) {
    AnswerResult result;
    if (!started_) {
        return result;
    }
    result.handled = true;
    result.correct = noteIndex == questionNote_;
    const char* verdict = result.correct ? kCorrectText : kWrongText;
    NoteRecord& asked = notes_[questionNote_];
    if (showAnswer_) {
        std::snprintf(result.text, sizeof result.text, "%s (%s)", verdict, asked.label);
    } else {
        std::snprintf(result.text, sizeof result.text, "%s", verdict);
    }
    Count_Up(asked.asked);
    if (result.correct) {
        Count_Up(totalCorrect_);
        Count_Up(asked.correct);
    }
    return result;
}

void CLLesson::Reset_Score() {
    totalCorrect_ = 0;
    totalQuestions_ = 1; // the pending question is the first of the new score
    for (NoteRecord& note : notes_) {
        note.correct = 0;
        note.asked = 0;
    }
}

int CLLesson::Accuracy_Percent() const {
    if (totalQuestions_ <= 0) {
        return 0;
    }
    // Stored totals may be anything, so the quotient can leave the 32-bit range.
    const std::int64_t percent = static_cast<std::int64_t>(totalCorrect_) * 100 / totalQuestions_;
    const std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    return static_cast<int>(std::min<std::int64_t>(std::max(percent, lowest), kCountLimit));
}

void CLLesson::Copy_Notes(NoteRecord out[kNoteCount]) const {
    std::copy(notes_, notes_ + kNoteCount, out);
}

unsigned CLLesson::Draw() {
    return static_cast<unsigned>(random_());
}
