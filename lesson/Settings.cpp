#include "lesson/Settings.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace {

const char kDataSection[] = "data";
const char kCorrectSection[] = "a";
const char kAskedSection[] = "q";

bool Has_Path(const char* settingsPath) {
    return settingsPath != nullptr && settingsPath[0] != '\0';
}

// Copies at most kLabelSize - 1 bytes of text without splitting a double-byte
// character of the ANSI code page. A lead byte with no second byte after it (a
// file cut short, or saved in another encoding) is dropped: kept, it would take
// the text shown after the label, the result's closing bracket, as its half.
void Cut_Label(const char* text, char (&label)[kLabelSize]) {
    int length = 0;
    while (text[length] != '\0') {
        const bool leadByte = IsDBCSLeadByte(static_cast<BYTE>(text[length]));
        const int next = length + (leadByte ? 2 : 1);
        if ((leadByte && text[length + 1] == '\0') || next > kLabelSize - 1) {
            break;
        }
        length = next;
    }
    CopyMemory(label, text, length);
    ZeroMemory(label + length, kLabelSize - length);
}

std::int32_t Read_Number(const char* settingsPath, const char* section, const char* key) {
    // The reader returns the value's bits as UINT; a stored negative number
    // comes back negative.
    return static_cast<std::int32_t>(GetPrivateProfileIntA(section, key, 0, settingsPath));
}

void Write_Number(const char* settingsPath, const char* section, const char* key,
                  std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    WritePrivateProfileStringA(section, key, text, settingsPath);
}

void Note_Key(int noteIndex, char (&key)[4]) {
    std::snprintf(key, sizeof key, "%d", noteIndex);
}

} // namespace

NoteLabels ReadLabels(const char* settingsPath) {
    NoteLabels labels;
    for (int i = 0; i < kNoteCount; ++i) {
        const char* keyName = CLLesson::kKeyNames[i];
        // Read more than fits, so a long value is cut here on a character
        // boundary rather than by the reader.
        char value[512];
        if (Has_Path(settingsPath)) {
            GetPrivateProfileStringA(kDataSection, keyName, keyName, value, sizeof value,
                                     settingsPath);
        } else {
            lstrcpynA(value, keyName, sizeof value);
        }
        Cut_Label(value, labels.text[i]);
    }
    return labels;
}

CLLesson::Stored ReadStoredLesson(const char* settingsPath) {
    CLLesson::Stored stored;
    if (!Has_Path(settingsPath)) {
        return stored;
    }
    for (int i = 0; i < kNoteCount; ++i) {
        char key[4];
        Note_Key(i, key);
        stored.correct[i] = Read_Number(settingsPath, kCorrectSection, key);
        stored.asked[i] = Read_Number(settingsPath, kAskedSection, key);
    }
    stored.derivedTones = Read_Number(settingsPath, kDataSection, "derivation") != 0;
    stored.showAnswer = Read_Number(settingsPath, kDataSection, "answer") != 0;
    stored.totalCorrect = Read_Number(settingsPath, kDataSection, "num_answer");
    stored.totalQuestions = Read_Number(settingsPath, kDataSection, "num_question");
    return stored;
}

void WriteStoredLesson(const char* settingsPath, const CLLesson::Stored& stored) {
    if (!Has_Path(settingsPath)) {
        return;
    }
    Write_Number(settingsPath, kDataSection, "derivation", stored.derivedTones ? 1 : 0);
    Write_Number(settingsPath, kDataSection, "answer", stored.showAnswer ? 1 : 0);
    Write_Number(settingsPath, kDataSection, "num_answer", stored.totalCorrect);
    Write_Number(settingsPath, kDataSection, "num_question", stored.totalQuestions);
    for (int i = 0; i < kNoteCount; ++i) {
        char key[4];
        Note_Key(i, key);
        Write_Number(settingsPath, kCorrectSection, key, stored.correct[i]);
        Write_Number(settingsPath, kAskedSection, key, stored.asked[i]);
    }
}
