#include "lesson/CLLesson.h"
#include "lesson/Settings.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

// 20 double-byte characters (40 bytes): あいうえおかきくけこさしすせそたちつてと.
const std::string kForty = "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x82\xa9\x82\xab\x82\xad"
                           "\x82\xaf\x82\xb1\x82\xb3\x82\xb5\x82\xb7\x82\xb9\x82\xbb\x82\xbd"
                           "\x82\xbf\x82\xc2\x82\xc4\x82\xc6";

std::string Bytes_Of(const std::string& name, const std::string& directory) {
    std::string bytes;
    FILE* file = std::fopen((directory + name).c_str(), "rb");
    if (file == nullptr) {
        return "<missing>";
    }
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, count);
    }
    std::fclose(file);
    return bytes;
}

std::set<std::string> Names_In(const std::string& directory) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") {
            names.insert(name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// A counts section as written: note i has the value first + step * i.
std::string Count_Section(const char* name, int first, int step) {
    std::string text = std::string("[") + name + "]\r\n";
    for (int i = 0; i < kNoteCount; ++i) {
        text += std::to_string(i) + "=" + std::to_string(first + step * i) + "\r\n";
    }
    return text;
}

// Each test works in a folder of its own under the temporary folder, removed afterwards.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
        static int serial = 0;
        folder_ = std::string(temp) + "tonarium-settings-" + std::to_string(GetCurrentProcessId()) +
                  "-" + std::to_string(++serial) + "\\";
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    }

    void TearDown() override {
        for (const std::string& name : Names_In(folder_)) {
            DeleteFileA((folder_ + name).c_str());
        }
        EXPECT_TRUE(RemoveDirectoryA(folder_.c_str()));
    }

    std::string Path(const char* name = "tonarium.ini") const { return folder_ + name; }

    void Put(const std::string& bytes, const char* name = "tonarium.ini") const {
        FILE* file = std::fopen(Path(name).c_str(), "wb");
        ASSERT_NE(nullptr, file);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }

    std::string Contents(const char* name = "tonarium.ini") const {
        return Bytes_Of(name, folder_);
    }

    std::string folder_;
};

TEST_F(SettingsFile, FirstRunStartsFreshAndWritesTheWholeFile) {
    const std::string path = Path();
    CLLabels labels(path.c_str());
    for (int i = 0; i < kNoteCount; ++i) {
        EXPECT_STREQ(CLLesson::kKeyNames[i], labels.Label(i));
    }
    CLLesson lesson(labels.Get(), 1);
    lesson.Set_Stored(ReadStoredLesson(path.c_str()));
    EXPECT_FALSE(lesson.Derived_Tones());
    EXPECT_FALSE(lesson.Show_Answer());
    lesson.Start();
    EXPECT_EQ(0, lesson.Accuracy_Percent());
    lesson.Next_Question();
    EXPECT_EQ(1, lesson.Total_Questions());
    EXPECT_EQ("<missing>", Contents()); // reading creates nothing

    WriteStoredLesson(path.c_str(), lesson.Get_Stored());
    EXPECT_EQ("[data]\r\nderivation=0\r\nanswer=0\r\nnum_answer=0\r\nnum_question=1\r\n" +
                  Count_Section("a", 0, 0) + Count_Section("q", 0, 0),
              Contents());
}

TEST_F(SettingsFile, WritesEveryValueInItsPlace) {
    CLLesson::Stored stored;
    stored.derivedTones = true;
    stored.totalCorrect = 7;
    stored.totalQuestions = -21;
    for (int i = 0; i < kNoteCount; ++i) {
        stored.correct[i] = 100 + i;
        stored.asked[i] = 200 + i;
    }
    WriteStoredLesson(Path().c_str(), stored);
    EXPECT_EQ("[data]\r\nderivation=1\r\nanswer=0\r\nnum_answer=7\r\nnum_question=-21\r\n" +
                  Count_Section("a", 100, 1) + Count_Section("q", 200, 1),
              Contents());

    const CLLesson::Stored back = ReadStoredLesson(Path().c_str());
    EXPECT_TRUE(back.derivedTones);
    EXPECT_FALSE(back.showAnswer);
    EXPECT_EQ(7, back.totalCorrect);
    EXPECT_EQ(-21, back.totalQuestions);
    for (int i = 0; i < kNoteCount; ++i) {
        EXPECT_EQ(100 + i, back.correct[i]);
        EXPECT_EQ(200 + i, back.asked[i]);
    }
}

TEST_F(SettingsFile, LabelsComeBackByteForByte) {
    // ﾄﾞ (half-width), ソ表能 (0x5c as second byte), an empty value, ASCII.
    Put("[data]\r\nC=\xc4\xde\r\nD=\x83\x5c\x95\x5c\x94\x5c\r\nE=\r\nF=Fa\r\n");
    CLLabels labels(Path().c_str());
    EXPECT_STREQ("\xc4\xde", labels.Label(0));
    EXPECT_STREQ("C#", labels.Label(1));
    EXPECT_STREQ("\x83\x5c\x95\x5c\x94\x5c", labels.Label(2));
    EXPECT_STREQ("", labels.Label(4)); // present but empty: no default
    EXPECT_STREQ("Fa", labels.Label(5));
    EXPECT_STREQ("B", labels.Label(11));
    for (int i = 0; i < kNoteCount; ++i) {
        EXPECT_EQ(labels.Label(i), labels.Get()[i]);
    }

    CLLesson lesson(labels.Get(), 3);
    EXPECT_STREQ("\x83\x5c\x95\x5c\x94\x5c", lesson.Note(2).label);
    EXPECT_STREQ("", lesson.Note(4).label);
}

TEST_F(SettingsFile, LongLabelsAreCutOnCharacterBoundaries) {
    const std::string halfWidth(40, '\xb1'); // ｱ: single bytes above 0x80
    Put("[data]\r\nC=" + kForty + "\r\nC#=x" + kForty + "\r\nD=ab" + kForty + "\r\nD#=" +
        halfWidth + "\r\nE=" + std::string(30, 'e') + "\r\nF=" + std::string(29, 'f') + "\r\n");
    CLLabels labels(Path().c_str());
    EXPECT_EQ(kForty.substr(0, 28), labels.Label(0));       // byte 29 would split a character
    EXPECT_EQ("x" + kForty.substr(0, 28), labels.Label(1)); // ends exactly on a character
    EXPECT_EQ("ab" + kForty.substr(0, 26), labels.Label(2));
    EXPECT_EQ(halfWidth.substr(0, 29), labels.Label(3));
    EXPECT_EQ(std::string(29, 'e'), labels.Label(4));
    EXPECT_EQ(std::string(29, 'f'), labels.Label(5));
}

TEST_F(SettingsFile, NumbersReadAsTheProfileReaderReadsThem) {
    Put("[data]\r\nderivation=2\r\nanswer=abc\r\nnum_answer=-4\r\nnum_question=12xyz\r\n"
        "[a]\r\n3=-2\r\n4=\r\n[q]\r\n3=x9\r\n11=8\r\n");
    const CLLesson::Stored stored = ReadStoredLesson(Path().c_str());
    EXPECT_TRUE(stored.derivedTones);
    EXPECT_FALSE(stored.showAnswer);
    EXPECT_EQ(-4, stored.totalCorrect);
    EXPECT_EQ(12, stored.totalQuestions);
    EXPECT_EQ(-2, stored.correct[3]);
    EXPECT_EQ(0, stored.correct[4]);
    EXPECT_EQ(0, stored.asked[3]);
    EXPECT_EQ(8, stored.asked[11]);

    WriteStoredLesson(Path().c_str(), stored);
    const std::string text = Contents();
    EXPECT_NE(std::string::npos,
              text.find("[data]\r\nderivation=1\r\nanswer=0\r\nnum_answer=-4\r\n"))
        << text;
    EXPECT_NE(std::string::npos, text.find("\r\n3=-2\r\n")) << text;
}

TEST_F(SettingsFile, KeysTheLessonDoesNotUseSurvive) {
    const std::string before = "; tonarium\r\n[window]\r\nx=10\r\n[data]\r\nC=\xc4\xde\r\n"
                               "derivation=0\r\ncolour=blue\r\n[a]\r\n12=99\r\n0=5\r\n";
    Put(before);
    CLLesson::Stored stored;
    stored.showAnswer = true;
    stored.totalCorrect = 3;
    stored.totalQuestions = 4;
    stored.correct[0] = 3;
    stored.asked[0] = 4;
    WriteStoredLesson(Path().c_str(), stored);

    std::string aSection = "[a]\r\n12=99\r\n0=3\r\n";
    std::string qSection = "[q]\r\n0=4\r\n";
    for (int i = 1; i < kNoteCount; ++i) {
        aSection += std::to_string(i) + "=0\r\n";
        qSection += std::to_string(i) + "=0\r\n";
    }
    EXPECT_EQ("; tonarium\r\n[window]\r\nx=10\r\n[data]\r\nC=\xc4\xde\r\nderivation=0\r\n"
              "colour=blue\r\nanswer=1\r\nnum_answer=3\r\nnum_question=4\r\n" +
                  aSection + qSection,
              Contents());
}

TEST_F(SettingsFile, NextRunContinuesWhereTheLastStopped) {
    const std::string path = Path();
    const int answered = 5;
    {
        CLLesson lesson(CLLabels(path.c_str()).Get(), 17);
        lesson.Set_Stored(ReadStoredLesson(path.c_str()));
        lesson.Start();
        lesson.Next_Question();
        for (int i = 0; i < answered; ++i) {
            // Right, wrong, right, wrong, right: 3 of 5.
            lesson.Answer((lesson.Current_Note() + i % 2) % kNoteCount);
            lesson.Next_Question();
        }
        WriteStoredLesson(path.c_str(), lesson.Get_Stored());
    }
    const std::string text = Contents();
    EXPECT_NE(std::string::npos, text.find("num_answer=3\r\nnum_question=6\r\n")) << text;

    CLLesson next(CLLabels(path.c_str()).Get(), 18);
    next.Set_Stored(ReadStoredLesson(path.c_str()));
    next.Start();
    EXPECT_EQ(answered, next.Total_Questions());
    EXPECT_EQ(60, next.Accuracy_Percent());
    next.Next_Question();
    EXPECT_EQ(answered + 1, next.Total_Questions());
    std::int32_t asked = 0;
    std::int32_t correct = 0;
    for (int i = 0; i < kNoteCount; ++i) {
        asked += next.Note(i).asked;
        correct += next.Note(i).correct;
    }
    EXPECT_EQ(answered, asked);
    EXPECT_EQ(3, correct);
}

TEST_F(SettingsFile, EmptyPathUsesDefaultsAndWritesNothing) {
    char windowsFolder[MAX_PATH];
    ASSERT_NE(0u, GetWindowsDirectoryA(windowsFolder, MAX_PATH));
    const std::string windows = std::string(windowsFolder) + "\\";
    const std::set<std::string> windowsNames = Names_In(windows);
    const std::string winIni = Bytes_Of("win.ini", windows);
    char previousFolder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previousFolder);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));

    for (const char* path : {"", static_cast<const char*>(nullptr)}) {
        CLLabels labels(path);
        for (int i = 0; i < kNoteCount; ++i) {
            EXPECT_STREQ(CLLesson::kKeyNames[i], labels.Label(i));
        }
        const CLLesson::Stored stored = ReadStoredLesson(path);
        EXPECT_FALSE(stored.derivedTones);
        EXPECT_EQ(0, stored.totalQuestions);
        CLLesson::Stored changed;
        changed.totalQuestions = 9;
        WriteStoredLesson(path, changed);
    }

    SetCurrentDirectoryA(previousFolder);
    EXPECT_TRUE(Names_In(folder_).empty());
    EXPECT_EQ(windowsNames, Names_In(windows));
    EXPECT_EQ(winIni, Bytes_Of("win.ini", windows));
}

} // namespace
