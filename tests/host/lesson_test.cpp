// The lesson model as the lesson window drives it.
#include "lesson/CLLesson.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>

namespace {

// The stored total counts the question pending at the save. A right answer counts up the note and
// the total, each stopping at the largest value; a negative count goes on from where it is.
TEST(Lesson, ContinuesTheStoredScore) {
    struct Row {
        std::int32_t questions, correct; // correct: also every note's counts
        std::int32_t questionsAtStart, accuracyAtStart, firstQuestion;
    };
    const Row rows[] = {
        {0, 0, 0, 0, 1},
        {1, 1, 0, 0, 1},
        {5, 2, 4, 50, 5},
        {4, 2, 3, 66, 4},
        {-3, 2, -3, 0, -2},
        {INT32_MAX, INT32_MAX, INT32_MAX - 1, 100, INT32_MAX},
        {2, INT32_MAX, 1, INT32_MAX, 2}, // the percentage leaves 32 bits
        {2, INT32_MIN, 1, INT32_MIN, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.questions);
        CLLesson::Stored stored;
        stored.totalQuestions = row.questions;
        stored.totalCorrect = row.correct;
        std::fill_n(stored.correct, kNoteCount, row.correct);
        std::fill_n(stored.asked, kNoteCount, row.correct);
        CLLesson lesson(NoteLabels{});
        lesson.Set_Stored(stored);
        lesson.Start();
        EXPECT_EQ(row.questionsAtStart, lesson.Total_Questions());
        EXPECT_EQ(row.accuracyAtStart, lesson.Accuracy_Percent());
        const int asked = lesson.Next_Question() % 12;
        EXPECT_EQ(row.firstQuestion, lesson.Total_Questions());
        lesson.Answer(asked);
        const std::int32_t next = row.correct == INT32_MAX ? INT32_MAX : row.correct + 1;
        NoteRecord notes[kNoteCount];
        lesson.Copy_Notes(notes);
        EXPECT_TRUE(lesson.Get_Stored().totalCorrect == next && notes[asked].correct == next &&
                    notes[asked].asked == next && notes[(asked + 1) % 12].asked == row.correct)
            << notes[asked].correct << " of " << notes[asked].asked;
        const std::int32_t second = std::min<std::int64_t>(row.firstQuestion + 1LL, INT32_MAX);
        EXPECT_EQ(second, lesson.Stored_WithNextQuestion().totalQuestions); // kept by a shutdown
        lesson.Next_Question();
        EXPECT_EQ(second, lesson.Total_Questions());
    }
}

// Every note of its set (the naturals without derived tones) within a quarter of its share of the
// draws, 7 standard deviations; never twice running but its name, an octave away.
TEST(Lesson, DrawsEveryNoteOfItsSetAsOftenAsTheOthers) {
    for (bool derived : {false, true}) {
        SCOPED_TRACE(derived);
        CLLesson lesson(NoteLabels{});
        CLLesson::Stored stored;
        stored.derivedTones = derived;
        lesson.Set_Stored(stored);
        lesson.Start();
        int drawn[84] = {}; // how often each note
        std::set<int> steps;
        const int draws = 30000, share = draws / (derived ? 36 : 21);
        for (int draw = 0, previous = -1; draw < draws; ++draw) {
            const int note = lesson.Next_Question();
            steps.insert(note - previous);
            ASSERT_TRUE(note >= 48 && note <= 83) << note; // three octaves
            ++drawn[previous = note];
        }
        for (int note = 48; note <= 83; ++note) { // without derived tones C, D, E, F, G, A and B
            EXPECT_EQ(derived || (0xAB5 >> note % 12 & 1),
                      std::abs(drawn[note] - share) < share / 4)
                << note << " drawn " << drawn[note] << " times";
        }
        EXPECT_TRUE(!steps.count(0) && steps.count(12) && steps.count(-12)) << "or no name again";
    }
}

} // namespace
