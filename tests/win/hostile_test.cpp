// Settings files and places that a user or an accident may give the program: the real tonarium.exe
// must run, show what it read, and write only what it owns.
#include "tests/win/Outside.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

using namespace drive;
using namespace outside;

namespace {

// A whole settings file as the program writes it, every count the same.
std::string Settings(bool options, int correct, int questions, int count) {
    Tally tally;
    static_cast<Score&>(tally) = {{}, {}, correct, questions};
    tally.derived = tally.showAnswer = options;
    std::fill_n(tally.correct, 12, count);
    std::fill_n(tally.asked, 12, count);
    return tally.Settings_File();
}

struct Case {
    const char* name;
    std::string before, place;    // the settings file (empty: none); the program below the folder
    std::string captions, status; // of the buttons C, D, E and F; the status bar's two parts
    bool optionsOn;               // as the toolbar shows them
    std::string after;            // the settings file afterwards; empty: none
    enum { Plain, Answer, Details, Version, Locked, Folder } setup;
};

const int kMax = 2147483647;

// One case in a folder of its own, so that a failed check ends only this case.
void Run_Case(const Case& test, const std::string& caseFolder, DWORD reasons) {
    SCOPED_TRACE(test.name);
    CreateDirectoryA(caseFolder.c_str(), nullptr);
    const size_t slash = test.place.rfind('\\');
    const std::string place =
        slash == std::string::npos ? caseFolder : caseFolder + "\\" + test.place.substr(0, slash);
    const std::string exe = test.place.substr(slash + 1);
    const std::string ini = place + "\\" + exe.substr(0, exe.rfind('.')) + ".ini";
    CreateDirectoryA(place.c_str(), nullptr);
    ASSERT_TRUE(Install(place, "tonarium.exe", exe));
    ASSERT_TRUE(test.before.empty() || Write_File(ini, test.before));
    ASSERT_TRUE(test.setup != Case::Folder || CreateDirectoryA(ini.c_str(), nullptr));
    // Another program that reads the file and keeps others from writing it.
    const HANDLE lock = test.setup != Case::Locked
                            ? INVALID_HANDLE_VALUE
                            : CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
    Lesson lesson;
    ASSERT_TRUE(lesson.Open(place, false, exe)) << GetLastError();
    EXPECT_EQ(test.captions, Text_Of(lesson.Button(0)) + "|" + Text_Of(lesson.Button(2)) + "|" +
                                 Text_Of(lesson.Button(4)) + "|" + Text_Of(lesson.Button(5)));
    EXPECT_EQ(test.status, lesson.Status(0) + "|" + lesson.Status(1));
    EXPECT_EQ(test.optionsOn * 2, lesson.Pressed(IDM_DERIVED) + lesson.Pressed(IDM_SHOWANSWER));
    if (test.setup == Case::Answer) {
        EXPECT_TRUE(lesson.Close_Result(lesson.Press(0)));
        EXPECT_EQ(test.status, lesson.Status(0) + "|" + lesson.Status(1));
    } else if (test.setup == Case::Details || test.setup == Case::Version) { // open as it ends
        lesson.Menu(test.setup == Case::Details ? 'L' : 'H', 'A');
        EXPECT_NE(nullptr, lesson.Wait_Dialog(lesson.window));
    }
    EXPECT_TRUE(reasons == ~0u ? lesson.Leave() : End_Session(lesson, reasons) && lesson.Ended());
    CloseHandle(lock); // without one, the handle of this process, which closing leaves
    EXPECT_EQ(test.after, Read_File(ini) + Read_File("C:\\bells.log")) << "the file, then beeps";
}

TEST(HostileSettings, TheProgramRunsAndWritesOnlyWhatItOwns) {
    Folder root("hostile");
    // A folder that brings the program's path to 259 bytes, the most that fits.
    ASSERT_LT(root.File("c0").size(), 200u) << "no room for the long paths";
    const std::string deep(259 - root.File("c0").size() - 7, 'd');
    // The second byte of メ is a lead byte too: a walk off a boundary never finds one.
    const std::string labels =
        "[data]\r\nC=メメメメメメメメメメメメメメメメ\r\n"
        "D=ﾄﾞﾚﾐﾌｧｿﾗｼﾄﾞﾚﾐﾌｧｿﾗｼﾄﾞﾚﾐﾌｧｿﾗｼﾄﾞﾚﾐﾌｧ\r\nE=ab表示表示表示表示表示表示表示\r\nF=\r\n";
    const std::string keys = "C|D|E|F", held = "[data]\r\nderivation=-3\r\nanswer=5\r\n",
                      exe = "tonarium.exe", first = "問題 1|正解率 0％",
                      fresh = Settings(0, 0, 1, 0); // as a first start leaves it
    const Case cases[] = {
        {"labels are cut on character boundaries; an empty one stays", labels, exe,
         "メメメメメメメメメメメメメメ|ﾄﾞﾚﾐﾌｧｿﾗｼﾄﾞﾚﾐﾌｧｿﾗｼﾄﾞﾚﾐﾌｧｿﾗｼﾄﾞ|ab表示表示表示表示表示表示表|",
         first, false, labels + fresh.substr(8), Case::Version},
        {"negative counts are taken as they are", Settings(0, -7, -5, -2), exe, keys,
         "問題 -4|正解率 0％", false, Settings(0, -7, -4, -2), Case::Plain},
        {"counts at their limit stay there", Settings(0, kMax, kMax, kMax), exe, keys,
         "問題 2147483647|正解率 100％", false, Settings(0, kMax, kMax, kMax), Case::Answer},
        {"any number but 0 is on, written back as 1", "[data]\r\nderivation=2\r\nanswer=-1\r\n",
         exe, keys, first, true, Settings(1, 0, 1, 0), Case::Details},
        {"a locked file stays; -3 and 5 are on", held, exe, keys, first, true, held, Case::Locked},
        {"a folder where the file should be", "", exe, keys, first, false, "", Case::Folder},
        {"a path of 259 bytes", "", deep + "\\t.exe", keys, first, false, fresh, Case::Plain},
        {"259 bytes, no extension", "", deep + "\\tonar", keys, first, false, "", Case::Plain},
    };
    // A session ends for each reason alone where the file changes (a shutdown: in e2e); ~0: Escape.
    const DWORD ends[] = {ENDSESSION_LOGOFF, ENDSESSION_CRITICAL, 0, ENDSESSION_CLOSEAPP, ~0u};
    for (size_t index = 0; index < std::size(cases); ++index) {
        Run_Case(cases[index], root.File("c" + std::to_string(index)),
                 ends[std::min<size_t>(index, 4)]);
    }
}

// Plants named as the libraries Windows loads for it, beside it and in its current folder, stay
// unloaded (a loaded one writes "<name>.loaded"); Wine prefers them, as the control shows.
TEST(HostilePlaces, NoLibraryIsTakenFromTheProgramsOrTheCurrentFolder) {
    Folder program("planted"), current("current"), control("control");
    ASSERT_TRUE(Install(program.path, "tonarium.exe", "", true)); // MCI's sequencer loaded for it
    ASSERT_TRUE(Write_File(current.File("data.mid"), Read_File(program.File("data.mid"))));
    const char* const plants[] = {"winmm.dll", "comctl32.dll", "mciseq.dll", "midimap.dll"};
    for (const Folder* folder : {&program, &current, &control}) {
        for (const char* plant : plants) {
            ASSERT_TRUE(CopyFileA((Here() + "\\plants\\" + plant).c_str(),
                                  folder->File(plant).c_str(), FALSE));
        }
    }
    FreeLibrary(LoadLibraryA(control.File("mciseq.dll").c_str()));
    Lesson lesson;
    ASSERT_TRUE(lesson.Open(program.path, true, "tonarium.exe", 30000, current.path))
        << "the lesson did not start and sound";
    EXPECT_TRUE(lesson.Close_Result(lesson.Answer(true)));
    EXPECT_TRUE(lesson.Leave());
    for (const Folder* folder : {&program, &current, &control}) {
        for (const char* plant : plants) {
            const std::string path = folder->File(plant);
            EXPECT_EQ(path == control.File("mciseq.dll"),
                      GetFileAttributesA((path + ".loaded").c_str()) != INVALID_FILE_ATTRIBUTES)
                << path;
        }
    }
}

} // namespace
