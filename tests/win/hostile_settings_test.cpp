// Hostile settings files and faults around them, run against the real
// tonarium.exe. Every case copies the program into a folder of its own,
// prepares the settings file (or something in its place), starts the program
// with that folder as working directory, reads what the lesson window shows
// (note-button captions and the two status-bar parts), closes the window with
// WM_CLOSE and then checks the file the program left behind.
//
// The program reads and writes its file through the platform's private-profile
// functions, so what a hostile file turns into is partly the platform's doing.
// What Wine 8 does, found out by probing it, is written down here as the
// expectation:
// - Numbers: the leading decimal number of the value after blanks are trimmed;
//   "0x" (lower case only) introduces a hexadecimal number, "0X1F" reads 0;
//   "010" is decimal 10; a value beyond 32 bits keeps its low 32 bits
//   (99999999999 reads 1215752191, 4294967295 reads -1); text and an empty
//   value read 0.
// - Duplicates: only the first section of a name is looked at, and in it the
//   first key of a name; keys that only the later section has are not found.
//   Writes replace that first key or are appended to that first section.
// - Section and key names are compared without regard to case; a rewritten key
//   keeps the spelling it had in the file.
// - A value in matching double or single quotes reads without them; the file
//   keeps the quotes.
// - Every write rewrites the whole file from what was parsed: blank lines are
//   dropped, blanks around "=" and around section names are trimmed, every line
//   ends with CR LF (a last line without one gets it), a NUL inside a line cuts
//   the line there. A file with a byte-order mark (UTF-16LE or UTF-8) is read
//   in that encoding and written back in it.
// - Wine running as root does not refuse writes to a file with
//   FILE_ATTRIBUTE_READONLY; a file held open without write sharing does refuse
//   them.
// - An executable path of 260 bytes cannot be started at all (ERROR_INVALID_NAME),
//   so the settings path one byte beyond the limit comes from an executable
//   without extension: "tonarium" of 256 bytes gives "tonarium.ini" of 260.
//
// Besides the expectations written out per case, a saved file is compared
// byte for byte with what the platform's own writer makes of the original file
// when given the program's writes in the program's order: that covers where
// the platform puts new keys and how it normalises the file.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/win/support/ProgramDriver.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kWindowTimeoutMs = 30000; // a cold start under a loaded Wine is slow
constexpr DWORD kTextTimeoutMs = 5000;
constexpr DWORD kExitTimeoutMs = 120000; // saving beside ten megabytes takes Wine 15-25 s
constexpr UINT kSendTimeoutMs = 10000;
constexpr DWORD kPollMs = 10;
constexpr int kNoteCount = 12;
constexpr size_t kLargestReferenceBytes = 1024 * 1024;

const char* const kKeyNames[kNoteCount] = {"C",  "C#", "D",  "D#", "E",  "F",
                                           "F#", "G",  "G#", "A",  "A#", "B"};
const int kNoteButtonIds[kNoteCount] = {IDC_NOTE_C,  IDC_NOTE_CS, IDC_NOTE_D,  IDC_NOTE_DS,
                                        IDC_NOTE_E,  IDC_NOTE_F,  IDC_NOTE_FS, IDC_NOTE_G,
                                        IDC_NOTE_GS, IDC_NOTE_A,  IDC_NOTE_AS, IDC_NOTE_B};
const char kSettingsName[] = "tonarium.ini";

// ---------------------------------------------------------------------------
// Files and folders

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    return program_driver::Write_WholeFile(path, bytes.data(), static_cast<DWORD>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<cannot open " + path + ">";
    }
    std::string bytes;
    std::vector<char> chunk(1 << 16);
    DWORD got = 0;
    while (ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) &&
           got > 0) {
        bytes.append(chunk.data(), got);
    }
    CloseHandle(file);
    return bytes;
}

// Files (not folders) below a folder, as paths relative to it.
void CollectFiles(const std::string& folder, const std::string& prefix,
                  std::set<std::string>& files) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CollectFiles(folder + "\\" + name, prefix + name + "\\", files);
        } else {
            files.insert(prefix + name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::set<std::string> FilesBelow(const std::string& folder) {
    std::set<std::string> files;
    CollectFiles(folder, "", files);
    return files;
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            const std::string path = folder + "\\" + name;
            if (name == "." || name == "..") {
                continue;
            }
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

// One folder per test process under the temporary folder. Fixed-width numbers
// keep its length fixed, which the long-path cases build on.
const std::string& TestRoot() {
    static const std::string root = [] {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        char name[64];
        std::snprintf(name, sizeof name, "tonarium-hostile-%08lx-%08lx",
                      static_cast<unsigned long>(GetCurrentProcessId()),
                      static_cast<unsigned long>(GetTickCount()));
        std::string path = std::string(temp) + name;
        CreateDirectoryA(path.c_str(), nullptr);
        return path;
    }();
    return root;
}

// The platform lets some owners write a read-only file (Wine running as
// root does): asked once, on a scratch file.
bool PlatformRefusesWritesToReadOnlyFiles() {
    static const bool refuses = [] {
        const std::string path = TestRoot() + "\\read-only-probe.txt";
        WriteBytes(path, "probe");
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        HANDLE file =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const bool refused = file == INVALID_HANDLE_VALUE;
        if (!refused) {
            CloseHandle(file);
        }
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        return refused;
    }();
    return refuses;
}

// ---------------------------------------------------------------------------
// Reading a settings file the way a person reads it

// The text of the file in the ANSI code page; a file with a byte-order mark is
// converted from its encoding.
std::string AnsiTextOf(const std::string& bytes) {
    int codePage = 0;
    std::string body;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        const int units = static_cast<int>((bytes.size() - 2) / 2);
        std::vector<wchar_t> wide(units);
        for (int i = 0; i < units; ++i) {
            wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                           (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
        }
        const int size =
            WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
        std::string text(size, '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.data(), units, &text[0], size, nullptr, nullptr);
        return text;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        codePage = CP_UTF8;
        body = bytes.substr(3);
    }
    if (codePage == 0) {
        return bytes;
    }
    const int units =
        MultiByteToWideChar(codePage, 0, body.data(), static_cast<int>(body.size()), nullptr, 0);
    std::vector<wchar_t> wide(units);
    MultiByteToWideChar(codePage, 0, body.data(), static_cast<int>(body.size()), wide.data(),
                        units);
    const int size =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::string text(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), units, &text[0], size, nullptr, nullptr);
    return text;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string Lowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string SectionNameOf(const std::string& line) {
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        return line.substr(1, line.size() - 2);
    }
    return std::string();
}

bool IsSectionLine(const std::string& line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

std::string KeyOf(const std::string& line) {
    return line.substr(0, line.find('='));
}

bool IsOwnKey(const std::string& section, const std::string& key) {
    const std::string s = Lowered(section);
    const std::string k = Lowered(key);
    if (s == "data") {
        return k == "derivation" || k == "answer" || k == "num_answer" || k == "num_question";
    }
    if (s == "a" || s == "q") {
        for (int i = 0; i < kNoteCount; ++i) {
            if (k == std::to_string(i)) {
                return true;
            }
        }
    }
    return false;
}

// The lines of a file that are not the program's own keys. A key is the
// program's when the platform's reader would find it: the first line of that
// key in the first section of that name. Section headers always stay.
std::vector<std::string> OtherLinesOf(const std::string& text) {
    std::vector<std::string> others;
    std::set<std::string> sectionsSeen;
    std::set<std::string> ownKeysSeen;
    std::string section;
    bool firstOfItsName = true;
    for (const std::string& line : LinesOf(text)) {
        if (IsSectionLine(line)) {
            section = SectionNameOf(line);
            firstOfItsName = sectionsSeen.insert(Lowered(section)).second;
            others.push_back(line);
            continue;
        }
        const std::string key = KeyOf(line);
        if (firstOfItsName && line.find('=') != std::string::npos && IsOwnKey(section, key) &&
            ownKeysSeen.insert(Lowered(section) + "/" + Lowered(key)).second) {
            continue;
        }
        others.push_back(line);
    }
    return others;
}

// ---------------------------------------------------------------------------
// What the program keeps in the file

struct OwnKeys {
    int derivation = 0;
    int answer = 0;
    int numAnswer = 0;
    int numQuestion = 1; // a fresh lesson saves its pending first question
    std::array<int, kNoteCount> correct{};
    std::array<int, kNoteCount> asked{};

    OwnKeys& Derivation(int value) {
        derivation = value;
        return *this;
    }
    OwnKeys& Answer(int value) {
        answer = value;
        return *this;
    }
    OwnKeys& NumAnswer(int value) {
        numAnswer = value;
        return *this;
    }
    OwnKeys& NumQuestion(int value) {
        numQuestion = value;
        return *this;
    }
    OwnKeys& Counts(int note, int correctCount, int askedCount) {
        correct[note] = correctCount;
        asked[note] = askedCount;
        return *this;
    }
};

// The program's writes, in the program's order, through the platform's writer.
void WriteOwnKeys(const std::string& path, const OwnKeys& own) {
    auto put = [&](const char* section, const std::string& key, int value) {
        WritePrivateProfileStringA(section, key.c_str(), std::to_string(value).c_str(),
                                   path.c_str());
    };
    put("data", "derivation", own.derivation);
    put("data", "answer", own.answer);
    put("data", "num_answer", own.numAnswer);
    put("data", "num_question", own.numQuestion);
    for (int i = 0; i < kNoteCount; ++i) {
        put("a", std::to_string(i), own.correct[i]);
        put("q", std::to_string(i), own.asked[i]);
    }
}

// What the platform's writer makes of the original file with those writes.
std::string PlatformResultOf(const std::string& original, const OwnKeys& own,
                             const std::string& scratchName) {
    const std::string path = TestRoot() + "\\" + scratchName + "-reference.ini";
    if (!WriteBytes(path, original)) {
        return "<cannot write " + path + ">";
    }
    WriteOwnKeys(path, own);
    std::string result = ReadBytes(path);
    DeleteFileA(path.c_str());
    return result;
}

// The program's keys as the platform's reader finds them in a file, against
// the expected values, one line per key that differs.
std::string OwnKeyDifferences(const std::string& path, const OwnKeys& own) {
    std::string differences;
    auto check = [&](const char* section, const std::string& key, int expected) {
        char value[64] = {};
        GetPrivateProfileStringA(section, key.c_str(), "<missing>", value, sizeof value,
                                 path.c_str());
        if (std::to_string(expected) != value) {
            differences += std::string("[") + section + "] " + key + ": expected " +
                           std::to_string(expected) + ", found " + value + "\n";
        }
    };
    check("data", "derivation", own.derivation);
    check("data", "answer", own.answer);
    check("data", "num_answer", own.numAnswer);
    check("data", "num_question", own.numQuestion);
    for (int i = 0; i < kNoteCount; ++i) {
        check("a", std::to_string(i), own.correct[i]);
        check("q", std::to_string(i), own.asked[i]);
    }
    return differences;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += "  " + line + "\n";
    }
    return text;
}

// ---------------------------------------------------------------------------
// The program, driven from outside

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindLessonWindowOf(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    if (owner == search->processId && IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == nullptr && std::string(title) == "Tonarium") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

class ProgramRun {
public:
    ProgramRun() = default;
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Starts the executable with its folder as working directory and waits
    // for the lesson window. Empty when all went well, else what failed.
    std::string Start(const std::string& executable, const std::string& folder) {
        if (!process_.Start(executable, "", folder)) {
            return "CreateProcessA failed with error " + std::to_string(GetLastError());
        }
        program_driver::Wait_Until(
            [&] {
                WindowSearch search{process_.Id(), nullptr};
                EnumWindows(FindLessonWindowOf, reinterpret_cast<LPARAM>(&search));
                window_ = search.found;
                return window_ != nullptr || !Alive();
            },
            kWindowTimeoutMs, kPollMs);
        if (window_ == nullptr) {
            return Alive() ? "no lesson window appeared"
                           : "the program ended without a lesson window, exit code " +
                                 std::to_string(ExitCode());
        }
        statusBar_ = GetDlgItem(window_, IDC_STATUSBAR);
        remoteBuffer_.reset(
            new program_driver::RemoteBuffer(process_.Handle(), program_driver::kStatusTextBytes));
        if (statusBar_ == nullptr || !remoteBuffer_->Valid()) {
            return "no status bar or no buffer in the program";
        }
        return std::string();
    }

    bool Alive() const { return process_.Alive(); }

    DWORD ExitCode() const {
        DWORD code = 0xFFFFFFFF;
        GetExitCodeProcess(process_.Handle(), &code);
        return code;
    }

    HWND Window() const { return window_; }

    std::string Caption(int note) const {
        return program_driver::Text_Of(GetDlgItem(window_, kNoteButtonIds[note]));
    }

    // SB_GETTEXTA writes into the caller's address space, so the buffer lies
    // inside the program.
    std::string StatusText(int part) const {
        return program_driver::Status_Text(statusBar_, part, *remoteBuffer_);
    }

    // The window is shown before its first question is asked: poll until the
    // part shows the expected text, and return what it shows at the end.
    std::string StatusTextOnceSettled(int part, const std::string& expected) const {
        std::string seen;
        program_driver::Wait_Until(
            [&] {
                seen = StatusText(part);
                return seen == expected;
            },
            kTextTimeoutMs, kPollMs);
        return seen;
    }

    // A command whose handler opens no window: sent, so it is done on return.
    bool Command(int command) const {
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(window_, WM_COMMAND, MAKEWPARAM(command, 0), 0, SMTO_ABORTIFHUNG,
                                   kSendTimeoutMs, &result) != 0;
    }

    // WM_CLOSE, then the process must end with exit code 0. Empty when it did.
    std::string Close() const {
        if (!PostMessageA(window_, WM_CLOSE, 0, 0)) {
            return "WM_CLOSE could not be posted";
        }
        if (WaitForSingleObject(process_.Handle(), kExitTimeoutMs) != WAIT_OBJECT_0) {
            return "the program did not end after WM_CLOSE";
        }
        if (ExitCode() != 0) {
            return "exit code " + std::to_string(ExitCode());
        }
        return std::string();
    }

private:
    // Declared first, so the buffer inside the process is freed before the
    // process handle is closed.
    program_driver::ChildProcess process_;
    HWND window_ = nullptr;
    HWND statusBar_ = nullptr;
    std::unique_ptr<program_driver::RemoteBuffer> remoteBuffer_;
};

// ---------------------------------------------------------------------------
// The table

// Where the settings file is and what stands there before the run.
enum class Situation {
    File,       // the prepared bytes as tonarium.ini
    NoFile,     // nothing
    ReadOnly,   // the prepared bytes, FILE_ATTRIBUTE_READONLY
    HeldOpen,   // the prepared bytes, held open by the test without write sharing
    Directory,  // a folder named tonarium.ini with a file in it
    LongPath,   // the prepared bytes in deep folders; see exePathBytes
    NoExtension // the executable is "tonarium" in a folder "v1.2"
};

// What the settings file must look like after the run.
enum class Outcome {
    Written,   // the program's keys hold the expected values; other lines as listed
    Unchanged, // byte for byte the original
    Absent,    // no settings file anywhere
    Directory  // still a folder holding only its own file
};

using LinesMaker = std::function<std::vector<std::string>()>;

struct HostileCase {
    std::string name;
    Situation situation = Situation::File;
    std::function<std::string()> file; // the prepared settings file
    size_t exePathBytes = 0;           // LongPath: the exact length of the executable's path
    bool exeWithoutExtension = false;  // LongPath: "tonarium" instead of "tonarium.exe"
    std::array<std::string, kNoteCount> captions;
    std::string question = "問題 1";
    std::string accuracy = "正解率 0％";
    Outcome outcome = Outcome::Written;
    OwnKeys own;
    LinesMaker otherLines; // null: only the platform's rewrite is compared (binary junk)

    explicit HostileCase(std::string caseName) : name(std::move(caseName)) {
        for (int i = 0; i < kNoteCount; ++i) {
            captions[i] = kKeyNames[i];
        }
        file = [] { return std::string(); };
    }
    HostileCase& In(Situation where) {
        situation = where;
        return *this;
    }
    HostileCase& File(std::string bytes) {
        file = [bytes] { return bytes; };
        return *this;
    }
    HostileCase& FileFrom(std::function<std::string()> maker) {
        file = std::move(maker);
        return *this;
    }
    HostileCase& ExecutablePath(size_t bytes, bool withoutExtension) {
        situation = Situation::LongPath;
        exePathBytes = bytes;
        exeWithoutExtension = withoutExtension;
        return *this;
    }
    HostileCase& Caption(int note, std::string text) {
        captions[note] = std::move(text);
        return *this;
    }
    HostileCase& Status(std::string questionText, std::string accuracyText) {
        question = std::move(questionText);
        accuracy = std::move(accuracyText);
        return *this;
    }
    HostileCase& Saves(const OwnKeys& keys, std::vector<std::string> lines) {
        outcome = Outcome::Written;
        own = keys;
        otherLines = [lines] { return lines; };
        return *this;
    }
    HostileCase& SavesWith(const OwnKeys& keys, LinesMaker lines) {
        outcome = Outcome::Written;
        own = keys;
        otherLines = std::move(lines);
        return *this;
    }
    HostileCase& Leaves(Outcome what) {
        outcome = what;
        return *this;
    }
};

// Keeps gtest from printing a ten-megabyte parameter.
void PrintTo(const HostileCase& hostile, std::ostream* out) {
    *out << hostile.name;
}

std::string Repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

// Ten megabytes of another program's section, then the lesson's keys.
const std::vector<std::string>& BulkLines() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> made;
        size_t bytes = 0;
        char line[96];
        for (int i = 0; bytes < 10u * 1024 * 1024; ++i) {
            std::snprintf(line, sizeof line, "bulk%07d=%s", i,
                          "foreign value that the lesson never reads 0123");
            made.push_back(line);
            bytes += made.back().size() + 2;
        }
        return made;
    }();
    return lines;
}

std::string BulkFile() {
    std::string text = "[bulk]\r\n";
    for (const std::string& line : BulkLines()) {
        text += line + "\r\n";
    }
    return text + "[data]\r\nC=十メガの後\r\nnum_question=42\r\nnum_answer=21\r\n";
}

std::vector<std::string> BulkFileOtherLines() {
    std::vector<std::string> lines = {"[bulk]"};
    lines.insert(lines.end(), BulkLines().begin(), BulkLines().end());
    for (const char* line : {"[data]", "C=十メガの後", "[a]", "[q]"}) {
        lines.push_back(line);
    }
    return lines;
}

// 64 KiB of random bytes from a fixed seed (so a failure repeats), NULs among
// them and one in front (no byte-order mark can start it), then the keys.
std::string JunkFile() {
    std::mt19937 random(20240607u);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string junk(64 * 1024, '\0');
    for (size_t i = 1; i < junk.size(); ++i) {
        junk[i] = static_cast<char>(byte(random));
    }
    return junk + "\r\n\r\n[data]\r\nC=ﾄﾞ\r\nnum_question=3\r\nnum_answer=1\r\n";
}

std::string Utf16File() {
    const wchar_t* text = L"[data]\r\nC=\u30C9\u30BD\r\nnum_question=6\r\nnum_answer=5\r\n"
                          L"[user]\r\nname=\u5C71\u7530\r\n";
    std::string bytes = "\xFF\xFE";
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        bytes.push_back(static_cast<char>(*c & 0xFF));
        bytes.push_back(static_cast<char>((*c >> 8) & 0xFF));
    }
    return bytes;
}

const std::string kAlphabet29 = "abcdefghijklmnopqrstuvwxyz012";

std::vector<HostileCase> Cases() {
    std::vector<HostileCase> cases;
    const std::vector<std::string> freshSections = {"[data]", "[a]", "[q]"};

    cases.push_back(HostileCase("NoFile").In(Situation::NoFile).Saves(OwnKeys(), freshSections));
    cases.push_back(HostileCase("EmptyFile").File("").Saves(OwnKeys(), freshSections));

    // Numbers the integer reader meets.
    cases.push_back(HostileCase("NumbersThatAreText")
                        .File("[data]\r\nnum_question=abc\r\nnum_answer=xyz\r\nderivation=yes\r\n"
                              "[a]\r\n0=many\r\n")
                        .Status("問題 1", "正解率 0％")
                        .Saves(OwnKeys(), {"[data]", "[a]", "[q]"}));
    cases.push_back(HostileCase("NumbersThatAreEmpty")
                        .File("[data]\r\nnum_question=\r\nnum_answer=\r\nanswer=\r\n[q]\r\n5=\r\n")
                        .Status("問題 1", "正解率 0％")
                        .Saves(OwnKeys(), {"[data]", "[q]", "[a]"}));
    // 99999999999 keeps its low 32 bits: 1215752191; after Start 1215752190
    // answered, 607876094 of them correct: 49.99999992 %, shown truncated.
    cases.push_back(
        HostileCase("NumbersBeyond32Bits")
            .File("[data]\r\nnum_question=99999999999\r\nnum_answer=607876094\r\n"
                  "[a]\r\n0=4294967295\r\n[q]\r\n0=4294967296\r\n")
            .Status("問題 1215752191", "正解率 49％")
            .Saves(OwnKeys().NumQuestion(1215752191).NumAnswer(607876094).Counts(0, -1, 0),
                   {"[data]", "[a]", "[q]"}));
    // -5 correct of 10 answered: the truncated quotient is -50.
    cases.push_back(HostileCase("NegativeTotalCorrect")
                        .File("[data]\r\nnum_answer=-5\r\nnum_question=11\r\n"
                              "[a]\r\n3=-2\r\n[q]\r\n3=-7\r\n")
                        .Status("問題 11", "正解率 -50％")
                        .Saves(OwnKeys().NumAnswer(-5).NumQuestion(11).Counts(3, -2, -7),
                               {"[data]", "[a]", "[q]"}));
    // A negative total is not decreased at Start; the next question adds 1.
    cases.push_back(HostileCase("NegativeTotalQuestions")
                        .File("[data]\r\nnum_question=-3\r\nnum_answer=4\r\n")
                        .Status("問題 -2", "正解率 0％")
                        .Saves(OwnKeys().NumQuestion(-2).NumAnswer(4), {"[data]", "[a]", "[q]"}));
    // "0x10" is 16 and "0x8" is 8 (8 of 15: 53 %); "0X1F" reads 0; "010" is ten.
    cases.push_back(
        HostileCase("HexadecimalNumbers")
            .File("[data]\r\nnum_question=0x10\r\nnum_answer=0x8\r\nderivation=0x1\r\n"
                  "[a]\r\n1=0X1F\r\n[q]\r\n1=010\r\n")
            .Status("問題 16", "正解率 53％")
            .Saves(OwnKeys().NumQuestion(16).NumAnswer(8).Derivation(1).Counts(1, 0, 10),
                   {"[data]", "[a]", "[q]"}));
    // Blanks are trimmed and the leading number counts; any non-zero option is on.
    cases.push_back(
        HostileCase("TextAfterNumbers")
            .File("[data]\r\nnum_question= 12abc\r\nnum_answer=+6\r\nderivation=2\r\n"
                  "answer=-1\r\n[a]\r\n2=7 apples\r\n")
            .Status("問題 12", "正解率 54％")
            .Saves(OwnKeys().NumQuestion(12).NumAnswer(6).Derivation(1).Answer(1).Counts(2, 7, 0),
                   {"[data]", "[a]", "[q]"}));
    // The largest total stays: Start makes it one less, the next question
    // brings it back; 2147483647 correct of 2147483646 shows 100 %.
    cases.push_back(HostileCase("LargestNumbers")
                        .File("[data]\r\nnum_question=2147483647\r\nnum_answer=2147483647\r\n"
                              "[a]\r\n11=2147483647\r\n[q]\r\n11=-2147483648\r\n")
                        .Status("問題 2147483647", "正解率 100％")
                        .Saves(OwnKeys()
                                   .NumQuestion(2147483647)
                                   .NumAnswer(2147483647)
                                   .Counts(11, 2147483647, -2147483647 - 1),
                               {"[data]", "[a]", "[q]"}));
    // 2147483647 correct of 1 answered is beyond a 32-bit percentage: the
    // program shows the largest one instead of an overflowed number.
    cases.push_back(
        HostileCase("AccuracyBeyond32Bits")
            .File("[data]\r\nnum_question=2\r\nnum_answer=2147483647\r\n")
            .Status("問題 2", "正解率 2147483647％")
            .Saves(OwnKeys().NumQuestion(2).NumAnswer(2147483647), {"[data]", "[a]", "[q]"}));

    // Labels.
    cases.push_back(HostileCase("LabelOfNoBytes")
                        .File("[data]\r\nC=\r\nE=ミ\r\n")
                        .Caption(0, "")
                        .Caption(4, "ミ")
                        .Saves(OwnKeys(), {"[data]", "C=", "E=ミ", "[a]", "[q]"}));
    cases.push_back(HostileCase("LabelOf29Bytes")
                        .File("[data]\r\nC=" + kAlphabet29 + "\r\n")
                        .Caption(0, kAlphabet29)
                        .Saves(OwnKeys(), {"[data]", "C=" + kAlphabet29, "[a]", "[q]"}));
    cases.push_back(HostileCase("LabelOf30Bytes")
                        .File("[data]\r\nC=" + kAlphabet29 + "3\r\n")
                        .Caption(0, kAlphabet29)
                        .Saves(OwnKeys(), {"[data]", "C=" + kAlphabet29 + "3", "[a]", "[q]"}));
    // 1000 bytes is more than the program asks the reader for.
    cases.push_back(
        HostileCase("LabelsOf200And1000Bytes")
            .File("[data]\r\nC=" + Repeat("0123456789", 20) + "\r\nD=" + Repeat("x", 1000) + "\r\n")
            .Caption(0, "01234567890123456789012345678")
            .Caption(2, Repeat("x", 29))
            .Saves(OwnKeys(), {"[data]", "C=" + Repeat("0123456789", 20), "D=" + Repeat("x", 1000),
                               "[a]", "[q]"}));
    // Cut at 29 bytes, never inside a double-byte character. ソ has 0x5C
    // ("\") as its second byte; ﾄﾞ are two single-byte characters.
    cases.push_back(
        HostileCase("DoubleByteLabelsCut")
            .File("[data]\r\nC=" + Repeat("あ", 15) + "\r\nC#=a" + Repeat("あ", 15) +
                  "\r\nD=" + Repeat("ソ", 15) + "\r\nD#=ﾄﾞ" + Repeat("ソ", 14) +
                  "\r\nE=" + Repeat("a", 28) + "あ\r\nF=abc" + Repeat("表", 13) + "\r\n")
            .Caption(0, Repeat("あ", 14))
            .Caption(1, "a" + Repeat("あ", 14))
            .Caption(2, Repeat("ソ", 14))
            .Caption(3, "ﾄﾞ" + Repeat("ソ", 13))
            .Caption(4, Repeat("a", 28))
            .Caption(5, "abc" + Repeat("表", 13))
            .Saves(OwnKeys(),
                   {"[data]", "C=" + Repeat("あ", 15), "C#=a" + Repeat("あ", 15),
                    "D=" + Repeat("ソ", 15), "D#=ﾄﾞ" + Repeat("ソ", 14),
                    "E=" + Repeat("a", 28) + "あ", "F=abc" + Repeat("表", 13), "[a]", "[q]"}));
    // "=" after the first belongs to the value; ";" and "[" are plain text
    // inside a value; a line ";F=..." is a key named ";F" and "[G#=y" (no "]")
    // a key named "[G#", so F and G# keep their key names; quotes around a
    // value are not part of the label; "&" shows as it is in the caption text.
    cases.push_back(HostileCase("LabelsWithEqualsSemicolonBracket")
                        .File("[data]\r\nC=a=b\r\nC#=x;y\r\nD=[z]\r\nD#=[\r\nE=;\r\n;F=comment\r\n"
                              "G==\r\n[G#=y\r\nA=\"quoted\"\r\nA#='single'\r\nB=&B\r\n")
                        .Caption(0, "a=b")
                        .Caption(1, "x;y")
                        .Caption(2, "[z]")
                        .Caption(3, "[")
                        .Caption(4, ";")
                        .Caption(7, "=")
                        .Caption(9, "quoted")
                        .Caption(10, "single")
                        .Caption(11, "&B")
                        .Saves(OwnKeys(), {"[data]", "C=a=b", "C#=x;y", "D=[z]", "D#=[", "E=;",
                                           ";F=comment", "G==", "[G#=y", "A=\"quoted\"",
                                           "A#='single'", "B=&B", "[a]", "[q]"}));

    // The platform's reader on duplicates: the first section, the first key.
    cases.push_back(
        HostileCase("DuplicatedSections")
            .File("[data]\r\nC=first\r\nnum_question=4\r\n[other]\r\nx=1\r\n"
                  "[data]\r\nC=second\r\nD=only in the second\r\nnum_question=9\r\nnum_answer=9\r\n"
                  "[a]\r\n0=1\r\n[a]\r\n0=8\r\n1=8\r\n")
            .Caption(0, "first")
            .Status("問題 4", "正解率 0％")
            .Saves(OwnKeys().NumQuestion(4).Counts(0, 1, 0),
                   {"[data]", "C=first", "[other]", "x=1", "[data]", "C=second",
                    "D=only in the second", "num_question=9", "num_answer=9", "[a]", "[a]", "0=8",
                    "1=8", "[q]"}));
    cases.push_back(
        HostileCase("DuplicatedKeys")
            .File("[data]\r\nnum_question=7\r\nC=one\r\nnum_question=2\r\nC=two\r\n"
                  "num_answer=3\r\n[a]\r\n0=5\r\n0=6\r\n")
            .Caption(0, "one")
            .Status("問題 7", "正解率 50％")
            .Saves(OwnKeys().NumQuestion(7).NumAnswer(3).Counts(0, 5, 0),
                   {"[data]", "C=one", "num_question=2", "C=two", "[a]", "0=6", "[q]"}));
    // Names are compared without regard to case; no second [data] appears and
    // the rewritten key keeps its spelling.
    cases.push_back(
        HostileCase("SectionNameInOtherCase")
            .File("[DATA]\r\nC=upper\r\nNUM_QUESTION=7\r\n[A]\r\n0=2\r\n[Q]\r\n0=3\r\n")
            .Caption(0, "upper")
            .Status("問題 7", "正解率 0％")
            .Saves(OwnKeys().NumQuestion(7).Counts(0, 2, 3), {"[DATA]", "C=upper", "[A]", "[Q]"}));
    cases.push_back(
        HostileCase("NoFinalLineEnd")
            .File("[data]\r\nC=ﾄﾞ\r\n[user]\r\nlast=no line end")
            .Caption(0, "ﾄﾞ")
            .Saves(OwnKeys(), {"[data]", "C=ﾄﾞ", "[user]", "last=no line end", "[a]", "[q]"}));
    // The platform's writer rewrites every line: blank lines go, blanks around
    // "=" and section names are trimmed, LF becomes CR LF.
    cases.push_back(HostileCase("BlanksAndBlankLines")
                        .File("\r\n; note\r\n\r\n[data]\r\n  C = spaced  \r\nD=   \r\n\r\n"
                              "[ user ]\nname = value\n\tindent=1\n\n")
                        .Caption(0, "spaced")
                        .Caption(2, "")
                        .Saves(OwnKeys(), {"; note", "[data]", "C=spaced", "D=", "[user]",
                                           "name=value", "indent=1", "[a]", "[q]"}));
    // Read as UTF-16 and written back as UTF-16: the labels arrive in the
    // ANSI code page and the program's keys are readable.
    cases.push_back(HostileCase("Utf16WithByteOrderMark")
                        .FileFrom(Utf16File)
                        .Caption(0, "ドソ")
                        .Status("問題 6", "正解率 100％")
                        .Saves(OwnKeys().NumQuestion(6).NumAnswer(5),
                               {"[data]", "C=ドソ", "[user]", "name=山田", "[a]", "[q]"}));
    cases.push_back(HostileCase("Utf8WithByteOrderMark")
                        .File("\xEF\xBB\xBF[data]\r\nC=\xE3\x83\x89\r\nnum_question=3\r\n")
                        .Caption(0, "ド")
                        .Status("問題 3", "正解率 0％")
                        .Saves(OwnKeys().NumQuestion(3), {"[data]", "C=ド", "[a]", "[q]"}));
    // 21 of 41 answered: 51 %.
    cases.push_back(HostileCase("KeysAfterTenMegabytes")
                        .FileFrom(BulkFile)
                        .Caption(0, "十メガの後")
                        .Status("問題 42", "正解率 51％")
                        .SavesWith(OwnKeys().NumQuestion(42).NumAnswer(21), BulkFileOtherLines));
    // NULs cut lines and bytes that are no text are converted: the junk is
    // what the platform's writer makes of it; the keys after it still count.
    cases.push_back(HostileCase("BinaryJunk")
                        .FileFrom(JunkFile)
                        .Caption(0, "ﾄﾞ")
                        .Status("問題 3", "正解率 50％")
                        .SavesWith(OwnKeys().NumQuestion(3).NumAnswer(1), nullptr));

    // Files the program cannot or must not write.
    const std::string guarded =
        "[data]\r\nC=守\r\nnum_question=7\r\nnum_answer=3\r\n[user]\r\nx=1\r\n";
    cases.push_back(HostileCase("ReadOnlyFile")
                        .In(Situation::ReadOnly)
                        .File(guarded)
                        .Caption(0, "守")
                        .Status("問題 7", "正解率 50％")
                        .Saves(OwnKeys().NumQuestion(7).NumAnswer(3),
                               {"[data]", "C=守", "[user]", "x=1", "[a]", "[q]"}));
    cases.push_back(HostileCase("FileHeldOpenByAnotherProgram")
                        .In(Situation::HeldOpen)
                        .File(guarded)
                        .Caption(0, "守")
                        .Status("問題 7", "正解率 50％")
                        .Leaves(Outcome::Unchanged));
    cases.push_back(HostileCase("FolderWhereTheFileShouldBe")
                        .In(Situation::Directory)
                        .Leaves(Outcome::Directory));

    // The settings path at its limit: 259 bytes and the zero fill the
    // 260-byte buffer; one byte more and the lesson runs without a file.
    cases.push_back(
        HostileCase("SettingsPathOf259Bytes")
            .ExecutablePath(259, false)
            .File("[data]\r\nC=deep\r\nnum_question=8\r\nnum_answer=7\r\n")
            .Caption(0, "deep")
            .Status("問題 8", "正解率 100％")
            .Saves(OwnKeys().NumQuestion(8).NumAnswer(7), {"[data]", "C=deep", "[a]", "[q]"}));
    cases.push_back(
        HostileCase("SettingsPathOf260Bytes").ExecutablePath(256, true).Leaves(Outcome::Absent));
    // No extension: ".ini" is appended to the name, and the dot in the
    // folder name "v1.2" is not taken for an extension.
    cases.push_back(HostileCase("ExecutableWithoutExtension")
                        .In(Situation::NoExtension)
                        .File("[data]\r\nC=noext\r\nnum_question=2\r\n")
                        .Caption(0, "noext")
                        .Status("問題 2", "正解率 0％")
                        .Saves(OwnKeys().NumQuestion(2), {"[data]", "C=noext", "[a]", "[q]"}));
    return cases;
}

// Where one case's program and settings file lie.
struct Layout {
    std::string root;        // the case's folder; removed afterwards
    std::string exeFolder;   // the executable's folder (the working directory)
    std::string exeName;     // "tonarium.exe" or "tonarium"
    std::string exeRelative; // the executable's path relative to root
    std::string Executable() const { return exeFolder + "\\" + exeName; }
    std::string Settings() const { return exeFolder + "\\" + kSettingsName; }
    std::string SettingsRelative() const {
        return exeRelative.substr(0, exeRelative.size() - exeName.size()) + kSettingsName;
    }
};

// Builds folders below root until the executable's path has exactly the
// wanted length; empty when that cannot be done.
std::string DeepFolder(const std::string& root, size_t exePathBytes, const std::string& exeName,
                       std::string& relative) {
    std::string folder = root;
    if (folder.size() + 1 + exeName.size() > exePathBytes) {
        return std::string();
    }
    size_t remaining = exePathBytes - exeName.size() - 1 - folder.size();
    while (remaining > 0) {
        // Each level adds "\" and its name; never leave exactly one byte.
        size_t name = std::min<size_t>(remaining - 1, 60);
        if (remaining - 1 - name == 1) {
            --name;
        }
        if (name == 0) {
            return std::string();
        }
        const std::string level(name, static_cast<char>('a' + relative.size() % 26));
        folder += "\\" + level;
        relative += level + "\\";
        if (!CreateDirectoryA(folder.c_str(), nullptr)) {
            return std::string();
        }
        remaining -= name + 1;
    }
    return folder;
}

class HostileSettings : public ::testing::TestWithParam<HostileCase> {
protected:
    void TearDown() override {
        if (holder_ != INVALID_HANDLE_VALUE) {
            CloseHandle(holder_);
        }
        if (!layout_.root.empty()) {
            RemoveTree(layout_.root);
        }
    }

    // Creates the case's folders and copies the program into them.
    void Lay_Out(const HostileCase& hostile) {
        layout_.root = TestRoot() + "\\" + hostile.name;
        ASSERT_TRUE(CreateDirectoryA(layout_.root.c_str(), nullptr)) << layout_.root;
        layout_.exeName = "tonarium.exe";
        layout_.exeFolder = layout_.root;
        if (hostile.situation == Situation::NoExtension) {
            layout_.exeName = "tonarium";
            layout_.exeFolder = layout_.root + "\\v1.2";
            layout_.exeRelative = "v1.2\\";
            ASSERT_TRUE(CreateDirectoryA(layout_.exeFolder.c_str(), nullptr));
        } else if (hostile.situation == Situation::LongPath) {
            layout_.exeName = hostile.exeWithoutExtension ? "tonarium" : "tonarium.exe";
            layout_.exeFolder = DeepFolder(layout_.root, hostile.exePathBytes, layout_.exeName,
                                           layout_.exeRelative);
            ASSERT_FALSE(layout_.exeFolder.empty())
                << "cannot build a path of " << hostile.exePathBytes << " bytes";
            ASSERT_EQ(hostile.exePathBytes, layout_.Executable().size());
        }
        layout_.exeRelative += layout_.exeName;
        const std::string program = program_driver::Directory_OfThisExecutable() + "\\tonarium.exe";
        ASSERT_TRUE(CopyFileA(program.c_str(), layout_.Executable().c_str(), FALSE))
            << program << " -> " << layout_.Executable() << ": error " << GetLastError();
    }

    // Puts the settings file, or what stands in its place.
    void Prepare(const HostileCase& hostile, const std::string& original) {
        const std::string settings = layout_.Settings();
        switch (hostile.situation) {
        case Situation::NoFile:
            break;
        case Situation::Directory:
            ASSERT_TRUE(CreateDirectoryA(settings.c_str(), nullptr));
            ASSERT_TRUE(WriteBytes(settings + "\\keep.txt", kKeptText));
            break;
        case Situation::LongPath:
            if (hostile.exeWithoutExtension) {
                break; // the settings path would not fit: nothing to put there
            }
            ASSERT_TRUE(WriteBytes(settings, original)) << settings;
            break;
        case Situation::File:
        case Situation::NoExtension:
        case Situation::ReadOnly:
        case Situation::HeldOpen:
            ASSERT_TRUE(WriteBytes(settings, original)) << settings;
            break;
        }
        if (hostile.situation == Situation::ReadOnly) {
            ASSERT_TRUE(SetFileAttributesA(settings.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        if (hostile.situation == Situation::HeldOpen) {
            // Readers may share it; writers may not.
            holder_ = CreateFileA(settings.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, holder_) << "error " << GetLastError();
        }
    }

    void Check_Written(const HostileCase& hostile, const std::string& original) {
        const std::string settings = layout_.Settings();
        const std::string saved = ReadBytes(settings);
        EXPECT_EQ("", OwnKeyDifferences(settings, hostile.own))
            << "the program's keys in the saved file:\n"
            << AnsiTextOf(saved).substr(0, 4000);
        if (hostile.otherLines) {
            const std::vector<std::string> expected = hostile.otherLines();
            const std::vector<std::string> found = OtherLinesOf(AnsiTextOf(saved));
            if (expected.size() > 1000) {
                // A listing of ten megabytes helps nobody: say where they part.
                const auto parted =
                    std::mismatch(expected.begin(), expected.end(), found.begin(), found.end());
                EXPECT_TRUE(expected == found)
                    << expected.size() << " other lines expected, " << found.size()
                    << " found; first difference at line " << (parted.first - expected.begin())
                    << ": expected \"" << (parted.first != expected.end() ? *parted.first : "<end>")
                    << "\", found \"" << (parted.second != found.end() ? *parted.second : "<end>")
                    << "\"";
            } else {
                EXPECT_EQ(Joined(expected), Joined(found))
                    << "the lines that are not the program's keys";
            }
        }
        // A ten-megabyte reference would double the case's time (each write
        // rewrites the whole file); its lines were compared one by one above.
        if (original.size() <= kLargestReferenceBytes) {
            const std::string platform = PlatformResultOf(original, hostile.own, hostile.name);
            EXPECT_TRUE(platform == saved)
                << "the saved file is not what the platform's writer makes of the original "
                   "with the program's writes ("
                << saved.size() << " bytes saved, " << platform.size() << " expected)"
                << (saved.size() < 4000 ? "\nsaved:\n" + saved + "\nexpected:\n" + platform
                                        : std::string());
        }
        // A byte-order mark stays: the file keeps its encoding.
        EXPECT_EQ(original.substr(0, 2) == "\xFF\xFE", saved.substr(0, 2) == "\xFF\xFE");
        EXPECT_EQ(original.substr(0, 3) == "\xEF\xBB\xBF", saved.substr(0, 3) == "\xEF\xBB\xBF");
    }

    void Check_Outcome(const HostileCase& hostile, const std::string& original) {
        const std::string settings = layout_.Settings();
        std::set<std::string> expectedFiles = {layout_.exeRelative};
        switch (hostile.outcome) {
        case Outcome::Written:
            expectedFiles.insert(layout_.SettingsRelative());
            if (hostile.situation == Situation::ReadOnly) {
                EXPECT_NE(0u, GetFileAttributesA(settings.c_str()) & FILE_ATTRIBUTE_READONLY)
                    << "the read-only attribute was taken away";
                if (PlatformRefusesWritesToReadOnlyFiles()) {
                    EXPECT_TRUE(original == ReadBytes(settings)) << "a read-only file was changed";
                    break;
                }
                std::printf("[ note     ] this platform lets the owner write a read-only file "
                            "(Wine running as root): it is written as any other\n");
            }
            Check_Written(hostile, original);
            break;
        case Outcome::Unchanged:
            expectedFiles.insert(layout_.SettingsRelative());
            EXPECT_TRUE(original == ReadBytes(settings)) << "the file was changed:\n"
                                                         << ReadBytes(settings);
            break;
        case Outcome::Absent:
            break;
        case Outcome::Directory:
            EXPECT_TRUE(IsDirectory(settings)) << "the folder is gone";
            expectedFiles.insert(layout_.SettingsRelative() + "\\keep.txt");
            EXPECT_EQ(kKeptText, ReadBytes(settings + "\\keep.txt"));
            break;
        }
        // Nothing else appeared: no settings file beside a truncated path,
        // none named after the folder's dot.
        EXPECT_EQ(Joined({expectedFiles.begin(), expectedFiles.end()}), Joined([&] {
                      const std::set<std::string> files = FilesBelow(layout_.root);
                      return std::vector<std::string>(files.begin(), files.end());
                  }()))
            << "files in the case's folder after the run";
    }

    static constexpr const char* kKeptText = "a file of the user's\r\n";
    Layout layout_;
    HANDLE holder_ = INVALID_HANDLE_VALUE;
};

TEST_P(HostileSettings, ShowsAndSavesAsExpected) {
    const HostileCase& hostile = GetParam();
    ASSERT_NO_FATAL_FAILURE(Lay_Out(hostile));
    const std::string original = hostile.file();
    ASSERT_NO_FATAL_FAILURE(Prepare(hostile, original));

    ProgramRun run;
    const DWORD started = GetTickCount();
    const std::string startFailure = run.Start(layout_.Executable(), layout_.exeFolder);
    ASSERT_EQ("", startFailure) << layout_.Executable();
    const DWORD shown = GetTickCount();

    EXPECT_EQ(hostile.question, run.StatusTextOnceSettled(0, hostile.question));
    EXPECT_EQ(hostile.accuracy, run.StatusTextOnceSettled(1, hostile.accuracy));
    for (int note = 0; note < kNoteCount; ++note) {
        EXPECT_EQ(hostile.captions[note], run.Caption(note)) << "caption of " << kKeyNames[note];
    }

    ASSERT_EQ("", run.Close());
    if (holder_ != INVALID_HANDLE_VALUE) {
        CloseHandle(holder_);
        holder_ = INVALID_HANDLE_VALUE;
    }
    std::printf("[ timing   ] window after %lu ms, ended %lu ms later\n",
                static_cast<unsigned long>(shown - started),
                static_cast<unsigned long>(GetTickCount() - shown));
    Check_Outcome(hostile, original);
}

INSTANTIATE_TEST_SUITE_P(Table, HostileSettings, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                             return info.param.name;
                         });

// ---------------------------------------------------------------------------
// Two copies of the program sharing one settings file

const char kSharedFile[] = "[data]\r\nC=ﾄﾞ\r\nmemo=共有\r\nderivation=0\r\nanswer=0\r\n"
                           "num_answer=3\r\nnum_question=5\r\n"
                           "[a]\r\n0=1\r\n1=2\r\n2=0\r\n3=0\r\n4=0\r\n5=0\r\n6=0\r\n7=0\r\n8=0\r\n"
                           "9=0\r\n10=0\r\n11=0\r\n"
                           "[q]\r\n0=2\r\n1=2\r\n2=1\r\n3=0\r\n4=0\r\n5=0\r\n6=0\r\n7=0\r\n8=0\r\n"
                           "9=0\r\n10=0\r\n11=0\r\n"
                           "[user]\r\nname=山田\r\n";

// The first copy turns the derived tones on and keeps its score; the second
// resets the score and turns the answer display on.
OwnKeys FirstCopyKeys() {
    return OwnKeys()
        .Derivation(1)
        .NumAnswer(3)
        .NumQuestion(5)
        .Counts(0, 1, 2)
        .Counts(1, 2, 2)
        .Counts(2, 0, 1);
}

OwnKeys SecondCopyKeys() {
    return OwnKeys().Answer(1);
}

// Well-formed: every section once, every one of the program's keys once.
std::string FormDefects(const std::string& text) {
    std::string defects;
    std::set<std::string> sections;
    std::set<std::string> keys;
    std::string section;
    for (const std::string& line : LinesOf(text)) {
        if (IsSectionLine(line)) {
            section = Lowered(SectionNameOf(line));
            if (!sections.insert(section).second) {
                defects += "section [" + section + "] twice\n";
            }
        } else if (IsOwnKey(section, KeyOf(line)) &&
                   !keys.insert(section + "/" + Lowered(KeyOf(line))).second) {
            defects += "key " + KeyOf(line) + " twice in [" + section + "]\n";
        }
    }
    if (keys.size() != 4 + 2 * kNoteCount) {
        defects += std::to_string(keys.size()) + " of the program's keys instead of 28\n";
    }
    return defects;
}

void RunTwoCopies(bool firstStartedClosesFirst) {
    const std::string folder = TestRoot() + (firstStartedClosesFirst ? "\\TwoCopiesFirstCloses"
                                                                     : "\\TwoCopiesSecondCloses");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    struct Cleanup {
        std::string folder;
        ~Cleanup() { RemoveTree(folder); }
    } cleanup{folder};
    const std::string exe = folder + "\\tonarium.exe";
    const std::string settings = folder + "\\" + kSettingsName;
    ASSERT_TRUE(CopyFileA((program_driver::Directory_OfThisExecutable() + "\\tonarium.exe").c_str(),
                          exe.c_str(), FALSE));
    ASSERT_TRUE(WriteBytes(settings, kSharedFile));

    ProgramRun first;
    ProgramRun second;
    ASSERT_EQ("", first.Start(exe, folder));
    ASSERT_EQ("", second.Start(exe, folder));
    // 3 correct of 4 answered, the fifth pending, in both.
    EXPECT_EQ("問題 5", first.StatusTextOnceSettled(0, "問題 5"));
    EXPECT_EQ("正解率 75％", first.StatusTextOnceSettled(1, "正解率 75％"));
    EXPECT_EQ("問題 5", second.StatusTextOnceSettled(0, "問題 5"));
    EXPECT_EQ("ﾄﾞ", second.Caption(0));

    ASSERT_TRUE(first.Command(IDC_DERIVED));
    ASSERT_TRUE(second.Command(IDC_RESET));
    ASSERT_TRUE(second.Command(IDC_SHOWANSWER));
    EXPECT_EQ("問題 1", second.StatusTextOnceSettled(0, "問題 1"));
    EXPECT_EQ("正解率 0％", second.StatusTextOnceSettled(1, "正解率 0％"));

    const std::vector<std::string> otherLines = {"[data]", "C=ﾄﾞ",   "memo=共有", "[a]",
                                                 "[q]",    "[user]", "name=山田"};
    ProgramRun& closesFirst = firstStartedClosesFirst ? first : second;
    ProgramRun& closesLast = firstStartedClosesFirst ? second : first;
    const OwnKeys firstClosersKeys = firstStartedClosesFirst ? FirstCopyKeys() : SecondCopyKeys();
    const OwnKeys lastClosersKeys = firstStartedClosesFirst ? SecondCopyKeys() : FirstCopyKeys();

    ASSERT_EQ("", closesFirst.Close());
    std::string text = ReadBytes(settings);
    EXPECT_EQ("", OwnKeyDifferences(settings, firstClosersKeys)) << "after the first close:\n"
                                                                 << text;
    EXPECT_EQ("", FormDefects(text)) << text;
    EXPECT_EQ(Joined(otherLines), Joined(OtherLinesOf(text)));
    // The copy still running goes on with its own lesson.
    EXPECT_TRUE(closesLast.Alive());

    ASSERT_EQ("", closesLast.Close());
    text = ReadBytes(settings);
    EXPECT_EQ("", OwnKeyDifferences(settings, lastClosersKeys)) << "after the last close:\n"
                                                                << text;
    EXPECT_EQ("", FormDefects(text)) << text;
    EXPECT_EQ(Joined(otherLines), Joined(OtherLinesOf(text)));
    EXPECT_EQ((std::set<std::string>{"tonarium.exe", kSettingsName}), FilesBelow(folder));
}

// The folder of all cases goes when the run ends.
class RemoveTestRoot : public ::testing::Environment {
public:
    void TearDown() override { RemoveTree(TestRoot()); }
};
const ::testing::Environment* const kRemoveTestRoot =
    ::testing::AddGlobalTestEnvironment(new RemoveTestRoot);

TEST(TwoCopiesSharingTheFile, FirstStartedClosesFirstAndTheSecondWins) {
    RunTwoCopies(true);
}

TEST(TwoCopiesSharingTheFile, SecondStartedClosesFirstAndTheFirstWins) {
    RunTwoCopies(false);
}

} // namespace
