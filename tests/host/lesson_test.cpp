#include "lesson/CLLesson.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
const char* const kNoLabels[kNoteCount] = {};

bool Is_Natural(int note) {
    for (int natural : CLLesson::kNaturalNotes) {
        if (note == natural) {
            return true;
        }
    }
    return false;
}

// A started lesson with its first question drawn.
CLLesson Started_Lesson(std::uint32_t seed, const CLLesson::Stored& stored = {}) {
    CLLesson lesson(kNoLabels, seed);
    lesson.Set_Stored(stored);
    lesson.Start();
    lesson.Next_Question();
    return lesson;
}

// Draws until the pending question is on the given note (derived tones on).
void Draw_Until(CLLesson& lesson, int note) {
    for (int i = 0; i < 10000 && lesson.Current_Note() != note; ++i) {
        lesson.Next_Question();
    }
    ASSERT_EQ(note, lesson.Current_Note());
}

} // namespace

TEST(LessonDraw, FirstQuestionMayBeAnyNote) {
    std::set<int> firsts;
    for (std::uint32_t seed = 1; seed <= 2000; ++seed) {
        CLLesson lesson(kNoLabels, seed);
        lesson.Start();
        firsts.insert(lesson.Next_Question());
    }
    EXPECT_EQ(21u, firsts.size()); // seven natural notes in three octaves
}

TEST(LessonDraw, LongRunsKeepEveryRule) {
    for (bool derived : {false, true}) {
        SCOPED_TRACE(derived ? "derived tones on" : "derived tones off");
        CLLesson lesson(kNoLabels, 12345);
        if (derived) {
            lesson.Toggle_DerivedTones();
        }
        lesson.Start();
        std::set<int> notes;
        std::set<int> octaves;
        int previous = -1;
        int previousNote = -1;
        bool sameNoteOtherOctave = false;
        for (int i = 0; i < 10000; ++i) {
            const int midi = lesson.Next_Question();
            ASSERT_GE(midi, 48);
            ASSERT_LE(midi, 83);
            ASSERT_NE(previous, midi);
            ASSERT_EQ(midi, lesson.Current_MidiNote());
            const int note = lesson.Current_Note();
            ASSERT_EQ(note, (midi - 48) % 12);
            if (!derived) {
                ASSERT_TRUE(Is_Natural(note)) << note;
            }
            sameNoteOtherOctave = sameNoteOtherOctave || note == previousNote;
            notes.insert(note);
            octaves.insert((midi - 48) / 12);
            previous = midi;
            previousNote = note;
        }
        EXPECT_EQ(derived ? 12u : 7u, notes.size());
        EXPECT_EQ(3u, octaves.size());
        EXPECT_TRUE(sameNoteOtherOctave);
        EXPECT_EQ(10000, lesson.Total_Questions());
    }
}

TEST(LessonDraw, NoteDrawnBeforeOctaveAndRepeatsRedrawBoth) {
    for (bool derived : {false, true}) {
        CLLesson lesson(kNoLabels, 777);
        if (derived) {
            lesson.Toggle_DerivedTones();
        }
        lesson.Start();
        std::minstd_rand reference(777);
        int previous = -1;
        for (int i = 0; i < 500; ++i) {
            int expected = 0;
            do {
                const unsigned k = static_cast<unsigned>(reference()) % (derived ? 12u : 7u);
                const int note = derived ? static_cast<int>(k) : CLLesson::kNaturalNotes[k];
                const unsigned octave = static_cast<unsigned>(reference()) % 3u;
                expected = 48 + 12 * static_cast<int>(octave) + note;
            } while (expected == previous);
            ASSERT_EQ(expected, lesson.Next_Question()) << "question " << i;
            previous = expected;
        }
    }
}

TEST(LessonDraw, DerivedTonesToggleKeepsPendingQuestion) {
    CLLesson lesson = Started_Lesson(99);
    const int midi = lesson.Current_MidiNote();
    const int note = lesson.Current_Note();
    lesson.Toggle_DerivedTones();
    EXPECT_TRUE(lesson.Derived_Tones());
    EXPECT_EQ(midi, lesson.Current_MidiNote());
    EXPECT_EQ(note, lesson.Current_Note());
    EXPECT_EQ(1, lesson.Total_Questions());
    bool derivedDrawn = false;
    for (int i = 0; i < 200 && !derivedDrawn; ++i) {
        lesson.Next_Question();
        derivedDrawn = !Is_Natural(lesson.Current_Note());
    }
    EXPECT_TRUE(derivedDrawn);
}

TEST(LessonScore, AnswerBeforeStartIsIgnored) {
    CLLesson lesson(kNoLabels, 5);
    const CLLesson::AnswerResult result = lesson.Answer(0); // the pending note is 0
    EXPECT_FALSE(result.handled);
    EXPECT_FALSE(result.correct);
    EXPECT_STREQ("", result.text);
    EXPECT_EQ(0, lesson.Total_Correct());
    EXPECT_EQ(0, lesson.Total_Questions());
    EXPECT_EQ(0, lesson.Note(0).asked);
    EXPECT_EQ(0, lesson.Note(0).correct);
    EXPECT_FALSE(lesson.Started());
}

TEST(LessonScore, TwoOfThreeGive66) {
    CLLesson lesson = Started_Lesson(3);
    EXPECT_TRUE(lesson.Answer(lesson.Current_Note()).correct);
    lesson.Next_Question();
    EXPECT_TRUE(lesson.Answer(lesson.Current_Note()).correct);
    lesson.Next_Question();
    const CLLesson::AnswerResult wrong = lesson.Answer((lesson.Current_Note() + 1) % kNoteCount);
    EXPECT_TRUE(wrong.handled);
    EXPECT_FALSE(wrong.correct);
    EXPECT_EQ(3, lesson.Total_Questions());
    EXPECT_EQ(2, lesson.Total_Correct());
    EXPECT_EQ(66, lesson.Accuracy_Percent());
}

TEST(LessonScore, OnlyTheAskedNoteCounts) {
    CLLesson lesson = Started_Lesson(3);
    lesson.Toggle_DerivedTones();
    Draw_Until(lesson, 1);
    // Answering D to a question on C#: C# is counted, D is not.
    EXPECT_FALSE(lesson.Answer(2).correct);
    EXPECT_EQ(1, lesson.Note(1).asked);
    EXPECT_EQ(0, lesson.Note(1).correct);
    EXPECT_EQ(0, lesson.Note(2).asked);
    EXPECT_EQ(0, lesson.Total_Correct());
    Draw_Until(lesson, 1);
    EXPECT_TRUE(lesson.Answer(1).correct);
    EXPECT_EQ(2, lesson.Note(1).asked);
    EXPECT_EQ(1, lesson.Note(1).correct);
    EXPECT_EQ(1, lesson.Total_Correct());
    for (int i = 0; i < kNoteCount; ++i) {
        if (i != 1) {
            EXPECT_EQ(0, lesson.Note(i).asked) << i;
            EXPECT_EQ(0, lesson.Note(i).correct) << i;
        }
    }
}

TEST(LessonScore, StartCountsThePendingQuestionAgain) {
    CLLesson::Stored stored;
    stored.totalCorrect = 3;
    stored.totalQuestions = 5;
    CLLesson lesson(kNoLabels, 8);
    lesson.Set_Stored(stored);
    lesson.Start();
    EXPECT_EQ(4, lesson.Total_Questions());
    EXPECT_EQ(75, lesson.Accuracy_Percent());
    lesson.Next_Question();
    EXPECT_EQ(5, lesson.Total_Questions());

    CLLesson fresh(kNoLabels, 8);
    fresh.Start();
    EXPECT_EQ(0, fresh.Total_Questions());
    EXPECT_EQ(0, fresh.Accuracy_Percent());
    fresh.Next_Question();
    EXPECT_EQ(1, fresh.Total_Questions());
}

TEST(LessonScore, ResetKeepsPendingQuestion) {
    CLLesson lesson = Started_Lesson(21);
    for (int i = 0; i < 5; ++i) {
        lesson.Answer((lesson.Current_Note() + i % 2) % 12);
        lesson.Next_Question();
    }
    const int midi = lesson.Current_MidiNote();
    lesson.Reset_Score();
    EXPECT_EQ(1, lesson.Total_Questions());
    EXPECT_EQ(0, lesson.Total_Correct());
    EXPECT_EQ(0, lesson.Accuracy_Percent());
    EXPECT_EQ(midi, lesson.Current_MidiNote());
    for (int i = 0; i < kNoteCount; ++i) {
        EXPECT_EQ(0, lesson.Note(i).asked);
        EXPECT_EQ(0, lesson.Note(i).correct);
    }
    EXPECT_TRUE(lesson.Answer(lesson.Current_Note()).correct);
    EXPECT_EQ(100, lesson.Accuracy_Percent());
    lesson.Next_Question();
    EXPECT_EQ(2, lesson.Total_Questions());
}

TEST(LessonText, ResultTexts) {
    CLLesson lesson = Started_Lesson(4);
    lesson.Toggle_DerivedTones();
    Draw_Until(lesson, 0);
    EXPECT_STREQ("\x90\xb3\x89\xf0", lesson.Answer(0).text); // 正解 alone
    Draw_Until(lesson, 1);
    EXPECT_STREQ("\x95\x73\x90\xb3\x89\xf0", lesson.Answer(2).text); // 不正解 alone

    lesson.Toggle_ShowAnswer();
    EXPECT_TRUE(lesson.Show_Answer());
    Draw_Until(lesson, 0);
    EXPECT_STREQ("\x90\xb3\x89\xf0 (C)", lesson.Answer(0).text);
    Draw_Until(lesson, 1);
    EXPECT_STREQ("\x95\x73\x90\xb3\x89\xf0 (C#)", lesson.Answer(2).text);
    Draw_Until(lesson, 7);
    EXPECT_STREQ("\x95\x73\x90\xb3\x89\xf0 (G)", lesson.Answer(0).text);
}

TEST(LessonText, CustomLabels) {
    const std::string longest(29, 'x');
    const std::string tooLong = std::string(29, 'y') + "zzzzzzzzzzz";
    const char* labels[kNoteCount] = {"\xc4\xde", nullptr, longest.c_str(), tooLong.c_str(), ""};
    CLLesson lesson(labels, 6);
    EXPECT_STREQ("\xc4\xde", lesson.Note(0).label); // ﾄﾞ
    EXPECT_STREQ("C#", lesson.Note(1).label);
    EXPECT_EQ(longest, lesson.Note(2).label);
    EXPECT_EQ(std::string(29, 'y'), lesson.Note(3).label);
    EXPECT_STREQ("", lesson.Note(4).label);
    EXPECT_STREQ("B", lesson.Note(11).label);

    lesson.Toggle_DerivedTones();
    lesson.Toggle_ShowAnswer();
    lesson.Start();
    lesson.Next_Question();
    Draw_Until(lesson, 0);
    EXPECT_STREQ("\x90\xb3\x89\xf0 (\xc4\xde)", lesson.Answer(0).text);
    Draw_Until(lesson, 2);
    EXPECT_EQ("\x95\x73\x90\xb3\x89\xf0 (" + longest + ")", lesson.Answer(5).text);
    Draw_Until(lesson, 4);
    EXPECT_STREQ("\x90\xb3\x89\xf0 ()", lesson.Answer(4).text);

    NoteRecord copy[kNoteCount];
    lesson.Copy_Notes(copy);
    for (int i = 0; i < kNoteCount; ++i) {
        EXPECT_STREQ(lesson.Note(i).label, copy[i].label);
        EXPECT_EQ(lesson.Note(i).asked, copy[i].asked);
        EXPECT_EQ(lesson.Note(i).correct, copy[i].correct);
    }
}

TEST(LessonLimits, CountsStopAtTheLargestValue) {
    CLLesson::Stored stored;
    stored.totalCorrect = kMax;
    stored.totalQuestions = kMax;
    for (int i = 0; i < kNoteCount; ++i) {
        stored.correct[i] = kMax;
        stored.asked[i] = kMax;
    }
    CLLesson lesson(kNoLabels, 11);
    lesson.Set_Stored(stored);
    lesson.Start();
    EXPECT_EQ(kMax - 1, lesson.Total_Questions());
    EXPECT_EQ(100, lesson.Accuracy_Percent()); // kMax * 100 does not fit in 32 bits
    lesson.Next_Question();
    EXPECT_EQ(kMax, lesson.Total_Questions());
    for (int i = 0; i < 3; ++i) {
        const int note = lesson.Current_Note();
        EXPECT_TRUE(lesson.Answer(note).correct);
        EXPECT_EQ(kMax, lesson.Note(note).asked);
        EXPECT_EQ(kMax, lesson.Note(note).correct);
        lesson.Next_Question();
    }
    const CLLesson::Stored after = lesson.Get_Stored();
    EXPECT_EQ(kMax, after.totalCorrect);
    EXPECT_EQ(kMax, after.totalQuestions);
    EXPECT_EQ(100, lesson.Accuracy_Percent());

    stored.totalCorrect = kMax / 2;
    stored.totalQuestions = kMax;
    lesson.Set_Stored(stored);
    EXPECT_EQ(49, lesson.Accuracy_Percent());
    // Stored values may give more than the 32-bit range: the result stays at its end.
    stored.totalCorrect = kMax;
    stored.totalQuestions = 1;
    lesson.Set_Stored(stored);
    EXPECT_EQ(kMax, lesson.Accuracy_Percent());
    stored.totalCorrect = std::numeric_limits<std::int32_t>::min();
    lesson.Set_Stored(stored);
    EXPECT_EQ(std::numeric_limits<std::int32_t>::min(), lesson.Accuracy_Percent());
}

TEST(LessonLimits, NegativeStoredValuesStayNegative) {
    CLLesson::Stored stored;
    stored.totalCorrect = -7;
    stored.totalQuestions = -3;
    for (int i = 0; i < kNoteCount; ++i) {
        stored.correct[i] = -2;
        stored.asked[i] = -5;
    }
    CLLesson lesson(kNoLabels, 13);
    lesson.Set_Stored(stored);
    lesson.Start();
    EXPECT_EQ(-3, lesson.Total_Questions());
    EXPECT_EQ(0, lesson.Accuracy_Percent());
    lesson.Next_Question();
    const int note = lesson.Current_Note();
    EXPECT_TRUE(lesson.Answer(note).correct);
    const CLLesson::Stored after = lesson.Get_Stored();
    EXPECT_EQ(-6, after.totalCorrect);
    EXPECT_EQ(-2, after.totalQuestions);
    EXPECT_EQ(-1, after.correct[note]);
    EXPECT_EQ(-4, after.asked[note]);
    EXPECT_EQ(-2, after.correct[(note + 1) % kNoteCount]);
    EXPECT_EQ(-5, after.asked[(note + 1) % kNoteCount]);

    stored.totalCorrect = -1;
    stored.totalQuestions = 3;
    lesson.Set_Stored(stored);
    EXPECT_EQ(-33, lesson.Accuracy_Percent()); // toward zero, not -34
}

TEST(LessonStored, SetAndGetRoundTrip) {
    CLLesson::Stored stored;
    stored.derivedTones = true;
    stored.showAnswer = true;
    stored.totalCorrect = 17;
    stored.totalQuestions = 40;
    for (int i = 0; i < kNoteCount; ++i) {
        stored.correct[i] = i;
        stored.asked[i] = 100 + i;
    }
    CLLesson lesson(kNoLabels, 2);
    lesson.Set_Stored(stored);
    EXPECT_TRUE(lesson.Derived_Tones());
    EXPECT_TRUE(lesson.Show_Answer());
    const CLLesson::Stored back = lesson.Get_Stored();
    EXPECT_EQ(stored.totalCorrect, back.totalCorrect);
    EXPECT_EQ(stored.totalQuestions, back.totalQuestions);
    for (int i = 0; i < kNoteCount; ++i) {
        EXPECT_EQ(i, back.correct[i]);
        EXPECT_EQ(100 + i, back.asked[i]);
        EXPECT_EQ(i, lesson.Note(i).correct);
        EXPECT_EQ(100 + i, lesson.Note(i).asked);
    }
    lesson.Toggle_ShowAnswer();
    lesson.Toggle_DerivedTones();
    EXPECT_FALSE(lesson.Get_Stored().showAnswer);
    EXPECT_FALSE(lesson.Get_Stored().derivedTones);
}
