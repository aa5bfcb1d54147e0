#include "lesson/CLLesson.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <limits>

const char* const CLLesson::kKeyNames[kNoteCount] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                     "F#", "G",  "G#", "A",  "A#", "B"};
const int CLLesson::kNaturalNotes[7] = {0, 2, 4, 5, 7, 9, 11};
const int CLLesson::kLowestNote;
const int CLLesson::kOctaveCount;

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

} // namespace

CLLesson::CLLesson(const NoteLabels& labels)
    : labels_(labels), random_(static_cast<std::uint32_t>(std::time(nullptr))) {
    // The settings file's reader cuts the labels on character boundaries to fit;
    // this only keeps a field from running past its end.
    for (char* label : labels_.text) {
        label[kLabelSize - 1] = '\0';
    }
}

void CLLesson::Start() {
    // The stored total counts the question pending at the last save; the
    // Next_Question that follows counts it again.
    if (stored_.totalQuestions > 0) {
        --stored_.totalQuestions;
    }
    started_ = true;
}

int CLLesson::Next_Question() {
    Count_Up(stored_.totalQuestions);
    int note = 0;
    int midiNote = 0;
    do {
        const unsigned choices = stored_.derivedTones ? 12u : 7u;
        const unsigned k = static_cast<unsigned>(random_()) % choices;
        note = stored_.derivedTones ? static_cast<int>(k) : kNaturalNotes[k];
        const unsigned octave = static_cast<unsigned>(random_()) % kOctaveCount;
        midiNote = kLowestNote + 12 * static_cast<int>(octave) + note;
    } while (midiNote == previousNote_);
    questionNote_ = note;
    questionMidiNote_ = midiNote;
    previousNote_ = midiNote;
    return questionMidiNote_;
}

CLLesson::Stored CLLesson::Stored_WithNextQuestion() const {
    Stored next = stored_;
    Count_Up(next.totalQuestions);
    return next;
}

CLLesson::AnswerResult CLLesson::Answer(int noteIndex) {
    AnswerResult result;
    if (!started_) {
        return result;
    }
    result.handled = true;
    result.correct = noteIndex == questionNote_;
    const char* verdict = result.correct ? kCorrectText : kWrongText;
    if (stored_.showAnswer) {
        std::snprintf(result.text, sizeof result.text, "%s (%s)", verdict, Label(questionNote_));
    } else {
        std::snprintf(result.text, sizeof result.text, "%s", verdict);
    }
    // The counts are those of the note asked, not of the note answered.
    Count_Up(stored_.asked[questionNote_]);
    if (result.correct) {
        Count_Up(stored_.totalCorrect);
        Count_Up(stored_.correct[questionNote_]);
    }
    return result;
}

void CLLesson::Reset_Score() {
    std::fill(std::begin(stored_.correct), std::end(stored_.correct), 0);
    std::fill(std::begin(stored_.asked), std::end(stored_.asked), 0);
    stored_.totalCorrect = 0;
    stored_.totalQuestions = 1; // the pending question is the first of the new score
}

int CLLesson::Accuracy_Percent() const {
    if (stored_.totalQuestions <= 0) {
        return 0;
    }
    // Stored totals may be anything, so the quotient can leave the 32-bit range.
    const std::int64_t percent =
        static_cast<std::int64_t>(stored_.totalCorrect) * 100 / stored_.totalQuestions;
    const std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    return static_cast<int>(std::min<std::int64_t>(std::max(percent, lowest), kCountLimit));
}

void CLLesson::Copy_Notes(NoteRecord out[kNoteCount]) const {
    for (int note = 0; note < kNoteCount; ++note) {
        std::copy(labels_.text[note], labels_.text[note] + kLabelSize, out[note].label);
        out[note].correct = stored_.correct[note];
        out[note].asked = stored_.asked[note];
    }
}
