// A long random walk through the lesson as the dialog drives it, with the
// model's invariants checked after every operation.
#include "lesson/CLLesson.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>

namespace {

struct Tally {
    std::int64_t answered = 0; // since the score was last zeroed
    std::int64_t correct = 0;
};

bool Is_Natural(int note) {
    for (int natural : CLLesson::kNaturalNotes) {
        if (natural == note) {
            return true;
        }
    }
    return false;
}

void Check_Invariants(const CLLesson& lesson, const Tally& tally, int previousMidiNote,
                      bool derivedAtDraw) {
    const int midiNote = lesson.Current_MidiNote();
    ASSERT_GE(midiNote, 48);
    ASSERT_LE(midiNote, 83);
    ASSERT_EQ(lesson.Current_Note(), (midiNote - 48) % 12);
    ASSERT_NE(midiNote, previousMidiNote);
    if (!derivedAtDraw) {
        ASSERT_TRUE(Is_Natural(lesson.Current_Note()));
    }

    std::int64_t asked = 0;
    std::int64_t correct = 0;
    for (int i = 0; i < kNoteCount; ++i) {
        const NoteRecord& note = lesson.Note(i);
        ASSERT_GE(note.correct, 0);
        ASSERT_LE(note.correct, note.asked);
        asked += note.asked;
        correct += note.correct;
    }
    ASSERT_EQ(asked, tally.answered);
    ASSERT_EQ(correct, tally.correct);
    ASSERT_EQ(lesson.Total_Correct(), tally.correct);
    // The pending question is counted along with the answered ones.
    ASSERT_EQ(lesson.Total_Questions(), tally.answered + 1);
    const int accuracy = lesson.Accuracy_Percent();
    ASSERT_GE(accuracy, 0);
    ASSERT_LE(accuracy, 100);
    ASSERT_EQ(accuracy, static_cast<int>(tally.correct * 100 / (tally.answered + 1)));
}

TEST(LessonRandomWalk, InvariantsHoldOverManyOperations) {
    const char* labels[kNoteCount] = {};
    std::mt19937 choose(20261206);
    auto lesson = std::make_unique<CLLesson>(labels, 7u);
    lesson->Start();
    lesson->Next_Question();
    Tally tally;
    int previous = -1;
    bool derivedAtDraw = lesson->Derived_Tones();
    bool sawDerived = false;

    for (int step = 0; step < 100000; ++step) {
        const int before = lesson->Current_MidiNote();
        switch (choose() % 8) {
        case 0:
        case 1:
        case 2: { // an answer, then the next question once the result window closes
            const int answer = static_cast<int>(choose() % kNoteCount);
            const bool expected = answer == lesson->Current_Note();
            CLLesson::AnswerResult result = lesson->Answer(answer);
            ASSERT_TRUE(result.handled);
            ASSERT_EQ(result.correct, expected);
            ++tally.answered;
            tally.correct += expected ? 1 : 0;
            previous = before;
            derivedAtDraw = lesson->Derived_Tones();
            lesson->Next_Question();
            sawDerived = sawDerived || !Is_Natural(lesson->Current_Note());
            break;
        }
        case 3:
            lesson->Toggle_DerivedTones();
            break;
        case 4:
            lesson->Toggle_ShowAnswer();
            break;
        case 5:
            if (choose() % 50 == 0) {
                lesson->Reset_Score();
                tally = Tally();
            }
            break;
        case 6: { // the lesson ends and the next run continues from the stored values
            if (choose() % 20 != 0) {
                break;
            }
            const CLLesson::Stored stored = lesson->Get_Stored();
            ASSERT_EQ(stored.totalQuestions, tally.answered + 1);
            lesson = std::make_unique<CLLesson>(labels, static_cast<std::uint32_t>(choose()));
            lesson->Set_Stored(stored);
            lesson->Start();
            ASSERT_EQ(lesson->Total_Questions(), tally.answered);
            previous = -1;
            derivedAtDraw = lesson->Derived_Tones();
            lesson->Next_Question();
            break;
        }
        default: // listening again changes nothing
            ASSERT_EQ(lesson->Current_MidiNote(), before);
            break;
        }
        Check_Invariants(*lesson, tally, previous, derivedAtDraw);
        if (HasFatalFailure()) {
            FAIL() << "after step " << step;
        }
    }
    EXPECT_TRUE(sawDerived);
    EXPECT_GT(tally.answered + 0, 0);
}

} // namespace
