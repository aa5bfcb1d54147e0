// The lesson model as the lesson window drives it.
#include "lesson/CLLesson.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <set>

namespace {

bool Is_Natural(int midiNote) {
    static const std::set<int> naturals = {0, 2, 4, 5, 7, 9, 11};
    return naturals.count(midiNote % 12) != 0;
}

// A lesson as it starts from the settings file: stored values, Start, the first question.
std::unique_ptr<CLLesson> Started(const CLLesson::Stored& stored) {
    auto lesson = std::make_unique<CLLesson>(NoteLabels{});
    lesson->Set_Stored(stored);
    lesson->Start();
    lesson->Next_Question();
    return lesson;
}

// The stored total counts the question pending when the lesson was saved. A
// right answer counts up the asked note and the total, each count stopping at
// the largest value; a negative count goes on from where it is.
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
        EXPECT_EQ(next, lesson.Get_Stored().totalCorrect);
        EXPECT_EQ(next, notes[asked].correct);
        EXPECT_EQ(next, notes[asked].asked);
        EXPECT_EQ(row.correct, notes[(asked + 1) % 12].asked);
        lesson.Next_Question();
        EXPECT_EQ(row.firstQuestion == INT32_MAX ? INT32_MAX : row.firstQuestion + 1,
                  lesson.Total_Questions());
    }
}

// A long random walk through lessons as the window drives them, with every
// rule checked after each step.
TEST(Lesson, RandomWalkKeepsEveryRule) {
    std::mt19937 choose(20261207);
    auto lesson = Started({});
    CLLesson::Stored tally; // what the lesson must have stored
    int previous = -1;
    bool derivedAtDraw = false;
    std::set<int> drawn[2]; // notes, by the derived tones option they were drawn with
    std::set<int> octaves;
    int sameNoteOtherOctave = 0;
    for (int step = 0; step < 100000; ++step) {
        const int pending = lesson->Current_MidiNote();
        bool drew = false;
        switch (choose() % 5) {
        case 0:
        case 1: { // an answer, then the next question once the result window closes
            const int answer = static_cast<int>(choose() % kNoteCount);
            const CLLesson::AnswerResult result = lesson->Answer(answer);
            ASSERT_TRUE(result.handled);
            ASSERT_EQ(answer == pending % 12, result.correct);
            ++tally.asked[pending % 12]; // the asked note counts, not the one answered
            tally.correct[pending % 12] += result.correct;
            tally.totalCorrect += result.correct;
            ++tally.totalQuestions;
            previous = pending;
            derivedAtDraw = tally.derivedTones;
            lesson->Next_Question();
            drew = true;
            break;
        }
        case 2:
            lesson->Toggle_DerivedTones();
            tally.derivedTones = !tally.derivedTones;
            break;
        case 3:
            if (choose() % 50 == 0) {
                lesson->Reset_Score();
                tally = CLLesson::Stored{tally.derivedTones};
            }
            break;
        default: // the lesson ends, and the next run continues where it stopped
            if (choose() % 20 == 0) {
                lesson = Started(lesson->Get_Stored());
                derivedAtDraw = tally.derivedTones;
                previous = -1;
                drew = true;
            }
            break;
        }
        const int midiNote = lesson->Current_MidiNote();
        ASSERT_TRUE(drew || midiNote == pending) << "only a new question changes the note";
        ASSERT_TRUE(midiNote >= 48 && midiNote <= 83 && midiNote != previous) << step;
        ASSERT_TRUE(derivedAtDraw || Is_Natural(midiNote)) << step;
        if (drew) {
            drawn[derivedAtDraw].insert(midiNote % 12);
            octaves.insert((midiNote - 48) / 12);
            sameNoteOtherOctave += midiNote % 12 == previous % 12;
        }
        const CLLesson::Stored stored = lesson->Get_Stored();
        for (int note = 0; note < kNoteCount; ++note) {
            ASSERT_EQ(tally.asked[note], stored.asked[note]) << step;
            ASSERT_EQ(tally.correct[note], stored.correct[note]) << step;
        }
        ASSERT_EQ(tally.totalCorrect, stored.totalCorrect) << step;
        // The pending question counts along with those answered.
        ASSERT_EQ(tally.totalQuestions + 1, lesson->Total_Questions()) << step;
        ASSERT_EQ(std::int64_t{tally.totalCorrect} * 100 / (tally.totalQuestions + 1),
                  lesson->Accuracy_Percent())
            << step;
    }
    EXPECT_EQ(7u, drawn[false].size());
    EXPECT_EQ(12u, drawn[true].size());
    EXPECT_EQ(3u, octaves.size());
    EXPECT_GT(sameNoteOtherOctave, 0) << "the same note in another octave may follow";
}

} // namespace
