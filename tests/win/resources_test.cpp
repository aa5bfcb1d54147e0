// The resources of tonarium.exe, read back from the built executable and
// compared field by field with what the program expects of them.

#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Access to the executable's resources

HMODULE ProgramModule() {
    static const HMODULE module = [] {
        char path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string file(path, length);
        file.erase(file.find_last_of("\\/") + 1);
        file += "tonarium.exe";
        return LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }();
    return module;
}

struct Bytes {
    const BYTE* data = nullptr;
    size_t size = 0;
};

Bytes RawResource(LPCSTR type, WORD id) {
    const HRSRC found = FindResourceA(ProgramModule(), MAKEINTRESOURCEA(id), type);
    if (found == nullptr) {
        return {};
    }
    const HGLOBAL loaded = LoadResource(ProgramModule(), found);
    return {static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(ProgramModule(), found)};
}

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, ProgramModule()) << "tonarium.exe not loaded"; }
};

// ---------------------------------------------------------------------------
// Reading raw resource data

// A name or an ordinal as resource templates store them.
struct NameOrOrdinal {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::wstring name;
};

NameOrOrdinal Ordinal(WORD value) {
    return {true, value, {}};
}
NameOrOrdinal Name(const wchar_t* text) {
    return {false, 0, text};
}

bool operator==(const NameOrOrdinal& a, const NameOrOrdinal& b) {
    return a.isOrdinal == b.isOrdinal && a.ordinal == b.ordinal && a.name == b.name;
}

void PrintTo(const NameOrOrdinal& value, std::ostream* out) {
    if (value.isOrdinal) {
        *out << "ordinal " << value.ordinal;
    } else {
        *out << "name " << ::testing::PrintToString(value.name);
    }
}

// Reads fields in order; running past the end or over non-zero padding is
// remembered, so a short or misaligned resource fails instead of reading on.
class Reader {
public:
    explicit Reader(Bytes bytes) : bytes_(bytes) {}

    WORD Word() {
        WORD value = 0;
        Copy(&value, sizeof value);
        return value;
    }
    DWORD Dword() {
        DWORD value = 0;
        Copy(&value, sizeof value);
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() {
        BYTE value = 0;
        Copy(&value, sizeof value);
        return value;
    }

    std::wstring Text() {
        std::wstring text;
        for (WORD unit = Word(); unit != 0 && !overrun_; unit = Word()) {
            text.push_back(static_cast<wchar_t>(unit));
        }
        return text;
    }

    NameOrOrdinal NameOrOrd() {
        const WORD first = Word();
        if (first == 0xFFFF) {
            return Ordinal(Word());
        }
        NameOrOrdinal value;
        if (first != 0) {
            value.name.push_back(static_cast<wchar_t>(first));
            value.name += Text();
        }
        return value;
    }

    std::vector<BYTE> Take(size_t count) {
        std::vector<BYTE> taken(count);
        Copy(taken.data(), count);
        return taken;
    }

    // Moves to the next multiple of four bytes from the start.
    void AlignDword() {
        while (position_ % 4 != 0 && !overrun_) {
            if (Byte() != 0) {
                dirtyPadding_ = true;
            }
        }
    }

    size_t Position() const { return position_; }
    size_t Size() const { return bytes_.size; }
    bool Overrun() const { return overrun_; }
    bool DirtyPadding() const { return dirtyPadding_; }

private:
    void Copy(void* target, size_t count) {
        if (bytes_.data == nullptr || count > bytes_.size - position_) {
            overrun_ = true;
            std::memset(target, 0, count);
            return;
        }
        std::memcpy(target, bytes_.data + position_, count);
        position_ += count;
    }

    Bytes bytes_;
    size_t position_ = 0;
    bool overrun_ = false;
    bool dirtyPadding_ = false;
};

// ---------------------------------------------------------------------------
// Dialog templates

struct DialogItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
    WORD creationDataSize = 0;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    WORD itemCount = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring face;
    std::vector<DialogItem> items;
    size_t size = 0;
    size_t bytesRead = 0;
    bool overrun = false;
    bool dirtyPadding = false;
};

// Reads a plain (not extended) dialog template.
DialogTemplate ParseDialog(Bytes bytes) {
    Reader reader(bytes);
    DialogTemplate dialog;
    dialog.size = bytes.size;
    dialog.style = reader.Dword();
    dialog.exStyle = reader.Dword();
    dialog.itemCount = reader.Word();
    dialog.x = reader.Short();
    dialog.y = reader.Short();
    dialog.cx = reader.Short();
    dialog.cy = reader.Short();
    dialog.menu = reader.NameOrOrd();
    dialog.windowClass = reader.NameOrOrd();
    dialog.caption = reader.Text();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = reader.Word();
        dialog.face = reader.Text();
    }
    for (WORD index = 0; index < dialog.itemCount && !reader.Overrun(); ++index) {
        reader.AlignDword();
        DialogItem item;
        item.style = reader.Dword();
        item.exStyle = reader.Dword();
        item.x = reader.Short();
        item.y = reader.Short();
        item.cx = reader.Short();
        item.cy = reader.Short();
        item.id = reader.Word();
        item.windowClass = reader.NameOrOrd();
        item.text = reader.NameOrOrd();
        item.creationDataSize = reader.Word();
        reader.Take(item.creationDataSize);
        dialog.items.push_back(item);
    }
    dialog.bytesRead = reader.Position();
    dialog.overrun = reader.Overrun();
    dialog.dirtyPadding = reader.DirtyPadding();
    return dialog;
}

struct ExpectedHeader {
    DWORD style;
    DWORD exStyle;
    short cx, cy;
    NameOrOrdinal menu;
    std::wstring caption;
    std::wstring face;
    size_t size; // bytes of the whole template
};

struct ExpectedItem {
    WORD id;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
    DWORD style;
    short x, y, cx, cy;
};

const NameOrOrdinal kButton = Ordinal(0x0080);
const NameOrOrdinal kStatic = Ordinal(0x0082);
const DWORD kPushButton = 0x50010300; // WS_CHILD|WS_VISIBLE|WS_TABSTOP|BS_CENTER|BS_PUSHBUTTON
const DWORD kIconStatic = 0x50000003; // WS_CHILD|WS_VISIBLE|SS_ICON
const DWORD kLabel = 0x50000000;      // WS_CHILD|WS_VISIBLE|SS_LEFT

bool EqualIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; };
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

// The dialog manager looks window classes up without regard to case, and the
// resource compiler may store a class name in capitals.
void ExpectSameClass(const NameOrOrdinal& expected, const NameOrOrdinal& actual) {
    if (expected.isOrdinal) {
        EXPECT_EQ(expected, actual);
        return;
    }
    EXPECT_FALSE(actual.isOrdinal);
    EXPECT_TRUE(EqualIgnoringAsciiCase(expected.name, actual.name))
        << "expected class " << ::testing::PrintToString(expected.name) << ", found "
        << ::testing::PrintToString(actual.name);
}

void ExpectDialog(WORD id, const ExpectedHeader& header, const std::vector<ExpectedItem>& items) {
    const Bytes bytes = RawResource(RT_DIALOG, id);
    ASSERT_NE(nullptr, bytes.data) << "no dialog " << id;
    const DialogTemplate dialog = ParseDialog(bytes);

    EXPECT_EQ(header.style, dialog.style);
    EXPECT_EQ(header.exStyle, dialog.exStyle);
    EXPECT_EQ(items.size(), static_cast<size_t>(dialog.itemCount));
    EXPECT_EQ(0, dialog.x);
    EXPECT_EQ(0, dialog.y);
    EXPECT_EQ(header.cx, dialog.cx);
    EXPECT_EQ(header.cy, dialog.cy);
    EXPECT_EQ(header.menu, dialog.menu);
    EXPECT_EQ(Name(L""), dialog.windowClass) << "no window class of its own";
    EXPECT_EQ(header.caption, dialog.caption);
    EXPECT_EQ(9, dialog.pointSize);
    EXPECT_EQ(header.face, dialog.face);

    ASSERT_EQ(items.size(), dialog.items.size());
    for (size_t index = 0; index < items.size(); ++index) {
        SCOPED_TRACE("control " + std::to_string(index + 1) + ", id " +
                     std::to_string(items[index].id));
        const ExpectedItem& expected = items[index];
        const DialogItem& actual = dialog.items[index];
        EXPECT_EQ(expected.id, actual.id);
        ExpectSameClass(expected.windowClass, actual.windowClass);
        EXPECT_EQ(expected.text, actual.text);
        EXPECT_EQ(expected.style, actual.style);
        EXPECT_EQ(0u, actual.exStyle);
        EXPECT_EQ(expected.x, actual.x);
        EXPECT_EQ(expected.y, actual.y);
        EXPECT_EQ(expected.cx, actual.cx);
        EXPECT_EQ(expected.cy, actual.cy);
        EXPECT_EQ(0, actual.creationDataSize);
    }

    EXPECT_FALSE(dialog.overrun) << "the template ends inside a field";
    EXPECT_FALSE(dialog.dirtyPadding);
    EXPECT_EQ(dialog.size, dialog.bytesRead) << "bytes after the last control";
    EXPECT_EQ(header.size, dialog.size);
}

const ExpectedHeader kLessonHeader = {
    0x10CA08C4, 0x00040001, 154, 71, Ordinal(IDM_LESSON), L"LESSON", L"ＭＳ ゴシック", 586,
};

const std::vector<ExpectedItem> kLessonItems = {
    {IDC_STATIC_NONE, kStatic, Name(L"Rect1"), 0x50000005, 0, 20, 153, 38},
    {IDC_NOTE_C, kButton, Name(L"ﾄﾞ"), kPushButton, 4, 40, 20, 14},
    {IDC_NOTE_D, kButton, Name(L"ﾚ"), kPushButton, 25, 40, 20, 14},
    {IDC_NOTE_E, kButton, Name(L"ﾐ"), kPushButton, 46, 40, 20, 14},
    {IDC_NOTE_F, kButton, Name(L"ﾌｧ"), kPushButton, 67, 40, 20, 14},
    {IDC_NOTE_G, kButton, Name(L"ｿ"), kPushButton, 88, 40, 20, 14},
    {IDC_NOTE_A, kButton, Name(L"ﾗ"), kPushButton, 109, 40, 20, 14},
    {IDC_NOTE_B, kButton, Name(L"ｼ"), kPushButton, 130, 40, 20, 14},
    {IDC_NOTE_CS, kButton, Name(L"ﾄﾞ#"), kPushButton, 13, 24, 20, 14},
    {IDC_NOTE_DS, kButton, Name(L"ﾚ#"), kPushButton, 34, 24, 20, 14},
    {IDC_NOTE_FS, kButton, Name(L"ﾌｧ#"), kPushButton, 76, 24, 20, 14},
    {IDC_NOTE_GS, kButton, Name(L"ｿ#"), kPushButton, 97, 24, 20, 14},
    {IDC_NOTE_AS, kButton, Name(L"ﾗ#"), kPushButton, 118, 24, 20, 14},
    {IDC_STATUSBAR, Name(L"msctls_statusbar32"), Name(L""), 0x50000003, 0, 102, 287, 13},
    {IDC_TOOLBAR_PLACEHOLDER, Name(L"ToolbarWindow32"), Name(L"ToolBar1"), 0x48000001, 0, 0, 153,
     19},
};

const ExpectedHeader kResultHeader = {
    0x90C810C4, 0x00000001, 61, 56, Name(L""), L"解答", L"ＭＳ Ｐゴシック", 172,
};

const std::vector<ExpectedItem> kResultItems = {
    {IDOK, kButton, Name(L"Ok"), kPushButton, 7, 36, 44, 14},
    {IDC_RESULT_TEXT, kStatic, Name(L"Text1"), 0x5000000C, 28, 10, 90, 20},
    {IDC_MARK_CORRECT, kStatic, Ordinal(IDI_CORRECT), kIconStatic, 3, 8, 18, 21},
    {IDC_MARK_WRONG, kStatic, Ordinal(IDI_WRONG), kIconStatic, 3, 8, 18, 21},
};

const ExpectedHeader kVersionHeader = {
    0x90C800C4, 0x00000001, 165, 49, Name(L""), L"ﾊﾞｰｼﾞｮﾝ情報", L"ＭＳ Ｐゴシック", 302,
};

const std::vector<ExpectedItem> kVersionItems = {
    {IDOK, kButton, Name(L"OK"), kPushButton, 116, 8, 44, 14},
    {IDC_STATIC_NONE, kStatic, Ordinal(IDI_PROGRAM), kIconStatic, 4, 8, 15, 17},
    {IDC_STATIC_NONE, kStatic, Name(L"Tonarium"), kLabel, 36, 8, 60, 8},
    {IDC_STATIC_NONE, kStatic, Name(L"Version 0.13"), kLabel, 36, 20, 60, 8},
    {IDC_STATIC_NONE, kStatic, Name(L"(C) 2026 Tonarium developers"), kLabel, 36, 32, 124, 8},
};

using DialogTemplates = ProgramResources;

TEST_F(DialogTemplates, LessonDialogMatchesControlByControl) {
    ExpectDialog(IDD_LESSON, kLessonHeader, kLessonItems);
}

TEST_F(DialogTemplates, ResultWindowMatchesControlByControl) {
    ExpectDialog(IDD_RESULT, kResultHeader, kResultItems);
}

TEST_F(DialogTemplates, VersionBoxMatchesControlByControl) {
    ExpectDialog(IDD_VERSION, kVersionHeader, kVersionItems);
}

TEST_F(DialogTemplates, LessonTabOrderRunsThroughNaturalsThenSharps) {
    const DialogTemplate dialog = ParseDialog(RawResource(RT_DIALOG, IDD_LESSON));
    std::vector<WORD> tabStops;
    for (const DialogItem& item : dialog.items) {
        if (item.style & WS_TABSTOP) {
            tabStops.push_back(item.id);
        }
    }
    const std::vector<WORD> expected = {IDC_NOTE_C,  IDC_NOTE_D,  IDC_NOTE_E,  IDC_NOTE_F,
                                        IDC_NOTE_G,  IDC_NOTE_A,  IDC_NOTE_B,  IDC_NOTE_CS,
                                        IDC_NOTE_DS, IDC_NOTE_FS, IDC_NOTE_GS, IDC_NOTE_AS};
    EXPECT_EQ(expected, tabStops);
}

TEST_F(DialogTemplates, NoTemplateIsExtended) {
    for (WORD id : {IDD_LESSON, IDD_RESULT, IDD_VERSION}) {
        const Bytes bytes = RawResource(RT_DIALOG, id);
        ASSERT_GE(bytes.size, 4u);
        WORD first[2] = {};
        std::memcpy(first, bytes.data, sizeof first);
        // An extended template starts with version 1 and the signature 0xFFFF.
        EXPECT_FALSE(first[0] == 1 && first[1] == 0xFFFF) << "dialog " << id;
    }
}

// ---------------------------------------------------------------------------
// The templates as the dialog manager builds them

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// Dialogs are created from this test's own copy of the resources (the same
// compiled script is linked in), since a data-file module cannot run them.
class LiveDialog {
public:
    explicit LiveDialog(WORD id) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        window_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr,
                                     &QuietDialogProc, 0);
    }
    ~LiveDialog() {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }
    LiveDialog(const LiveDialog&) = delete;
    LiveDialog& operator=(const LiveDialog&) = delete;

    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }

private:
    HWND window_ = nullptr;
};

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

using LiveTemplates = ::testing::Test;

TEST_F(LiveTemplates, LessonDialogTabsThroughTheTwelveNoteButtons) {
    LiveDialog dialog(IDD_LESSON);
    ASSERT_NE(nullptr, dialog.Window());
    const std::vector<int> expected = {IDC_NOTE_D,  IDC_NOTE_E,  IDC_NOTE_F,  IDC_NOTE_G,
                                       IDC_NOTE_A,  IDC_NOTE_B,  IDC_NOTE_CS, IDC_NOTE_DS,
                                       IDC_NOTE_FS, IDC_NOTE_GS, IDC_NOTE_AS, IDC_NOTE_C};
    std::vector<int> visited;
    HWND control = dialog.Item(IDC_NOTE_C);
    for (size_t step = 0; step < expected.size() && control != nullptr; ++step) {
        control = GetNextDlgTabItem(dialog.Window(), control, FALSE);
        visited.push_back(GetDlgCtrlID(control));
    }
    EXPECT_EQ(expected, visited) << "Tab from C visits the others and comes back to C";
}

TEST_F(LiveTemplates, LessonDialogBarsAndMenu) {
    LiveDialog dialog(IDD_LESSON);
    ASSERT_NE(nullptr, dialog.Window());
    EXPECT_EQ(0u, static_cast<DWORD>(GetWindowLongA(dialog.Window(), GWL_STYLE)) & WS_POPUP)
        << "an overlapped top-level window";

    HWND statusBar = dialog.Item(IDC_STATUSBAR);
    ASSERT_NE(nullptr, statusBar);
    EXPECT_EQ("msctls_statusbar32", ClassOf(statusBar));
    EXPECT_TRUE(IsWindowVisible(statusBar));
    // CCS_BOTTOM puts the bar along the bottom edge at the dialog's width,
    // whatever the template's rectangle says.
    RECT client = {};
    GetClientRect(dialog.Window(), &client);
    RECT bar = {};
    GetWindowRect(statusBar, &bar);
    MapWindowPoints(nullptr, dialog.Window(), reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(client.bottom, bar.bottom);
    EXPECT_EQ(client.right - client.left, bar.right - bar.left);

    HWND placeholder = dialog.Item(IDC_TOOLBAR_PLACEHOLDER);
    ASSERT_NE(nullptr, placeholder);
    EXPECT_EQ("ToolbarWindow32", ClassOf(placeholder));
    EXPECT_FALSE(IsWindowVisible(placeholder));
    EXPECT_FALSE(IsWindowEnabled(placeholder));

    HMENU menu = GetMenu(dialog.Window());
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(3, GetMenuItemCount(menu));
}

TEST_F(LiveTemplates, IconControlsFindTheirIcons) {
    LiveDialog result(IDD_RESULT);
    ASSERT_NE(nullptr, result.Window());
    for (int control : {IDC_MARK_CORRECT, IDC_MARK_WRONG}) {
        EXPECT_NE(0, SendDlgItemMessageA(result.Window(), control, STM_GETICON, 0, 0))
            << "control " << control;
    }
    // The program icon has no id of its own in the version box: find the icon
    // static among the children.
    LiveDialog versionBox(IDD_VERSION);
    ASSERT_NE(nullptr, versionBox.Window());
    int icons = 0;
    for (HWND child = GetWindow(versionBox.Window(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            ++icons;
            EXPECT_NE(0, SendMessageA(child, STM_GETICON, 0, 0));
        }
    }
    EXPECT_EQ(1, icons);
}

// ---------------------------------------------------------------------------
// Menu

struct MenuEntry {
    int depth;
    WORD flags;
    WORD id; // 0 for a drop-down
    std::wstring text;
};

bool operator==(const MenuEntry& a, const MenuEntry& b) {
    return a.depth == b.depth && a.flags == b.flags && a.id == b.id && a.text == b.text;
}

void PrintTo(const MenuEntry& entry, std::ostream* out) {
    *out << "{depth " << entry.depth << ", flags 0x" << std::hex << entry.flags << std::dec
         << ", id " << entry.id << ", " << ::testing::PrintToString(entry.text) << "}";
}

void ParseMenuItems(Reader& reader, int depth, std::vector<MenuEntry>& entries) {
    for (;;) {
        MenuEntry entry = {depth, reader.Word(), 0, {}};
        if (!(entry.flags & MF_POPUP)) {
            entry.id = reader.Word();
        }
        entry.text = reader.Text();
        if (reader.Overrun()) {
            return;
        }
        entries.push_back(entry);
        if (entry.flags & MF_POPUP) {
            ParseMenuItems(reader, depth + 1, entries);
        }
        if (entry.flags & MF_END) {
            return;
        }
    }
}

using MenuTemplate = ProgramResources;

TEST_F(MenuTemplate, DropDownsItemsAndSeparatorsInOrder) {
    const Bytes bytes = RawResource(RT_MENU, IDM_LESSON);
    ASSERT_NE(nullptr, bytes.data);
    Reader reader(bytes);
    EXPECT_EQ(0, reader.Word()) << "version of a standard menu template";
    EXPECT_EQ(0, reader.Word()) << "header size";
    std::vector<MenuEntry> entries;
    ParseMenuItems(reader, 0, entries);

    const std::vector<MenuEntry> expected = {
        {0, MF_POPUP, 0, L"ﾚｯｽﾝ(&L)"},
        {1, 0, IDC_LISTEN, L"音を聞く(&S)"},
        {1, 0, 0, L""},
        {1, 0, IDC_RESET, L"正解率ﾘｾｯﾄ(&R)"},
        {1, 0, IDC_DETAILS, L"正解率詳細(&A)..."},
        {1, 0, 0, L""},
        {1, MF_END, IDC_EXIT, L"終了(&X)"},
        {0, MF_POPUP, 0, L"ｵﾌﾟｼｮﾝ(&O)"},
        {1, 0, IDC_DERIVED, L"派生音(&D)"},
        {1, MF_END, IDC_SHOWANSWER, L"正解を表示(&S)"},
        {0, MF_POPUP | MF_END, 0, L"ﾍﾙﾌﾟ(&H)"},
        {1, 0, IDC_CONTENTS, L"目次(&C)"},
        {1, 0, 0, L""},
        {1, MF_END, IDC_VERSION, L"ﾊﾞｰｼﾞｮﾝ情報(&A)..."},
    };
    EXPECT_EQ(expected, entries);
    EXPECT_FALSE(reader.Overrun());
    EXPECT_EQ(bytes.size, reader.Position()) << "bytes after the last item";
}

// ---------------------------------------------------------------------------
// String table

struct HelpText {
    UINT id;
    const wchar_t* utf16;
    const char* cp932; // compiled in code page 932
};

const HelpText kHelpTexts[] = {
    {IDC_VERSION, L"ﾊﾞｰｼﾞｮﾝ情報を表示します。", "ﾊﾞｰｼﾞｮﾝ情報を表示します。"},
    {IDC_CONTENTS, L"ﾍﾙﾌﾟを表示します。", "ﾍﾙﾌﾟを表示します。"},
    {IDC_RESET, L"正解率を0%にﾘｾｯﾄします。", "正解率を0%にﾘｾｯﾄします。"},
    {IDC_DERIVED, L"問題に派生音も含めます。", "問題に派生音も含めます。"},
    {IDC_EXIT, L"ﾚｯｽﾝを終了します。", "ﾚｯｽﾝを終了します。"},
    {IDC_LISTEN, L"問題の音を聞きます。", "問題の音を聞きます。"},
    {IDC_SHOWANSWER, L"問題に解答した後に正解を表示します。",
     "問題に解答した後に正解を表示します。"},
    {IDC_DETAILS, L"各音の正解率を表示します。", "各音の正解率を表示します。"},
};

using StringTable = ProgramResources;

TEST_F(StringTable, EachCommandHasItsHelpTextInUtf16) {
    for (const HelpText& text : kHelpTexts) {
        wchar_t buffer[512] = {};
        const int length = LoadStringW(ProgramModule(), text.id, buffer, 512);
        EXPECT_EQ(std::wstring(text.utf16), std::wstring(buffer, length)) << "string " << text.id;
    }
}

TEST_F(StringTable, AnsiTextsAreCodePage932) {
    ASSERT_EQ(932u, GetACP());
    for (const HelpText& text : kHelpTexts) {
        char buffer[512] = {};
        const int length = LoadStringA(ProgramModule(), text.id, buffer, 512);
        EXPECT_EQ(std::string(text.cp932), std::string(buffer, length)) << "string " << text.id;
    }
    // Half-width katakana stay single bytes; "0%" is ASCII; "。" is 81 42.
    char reset[512] = {};
    LoadStringA(ProgramModule(), IDC_RESET, reset, 512);
    EXPECT_EQ(std::string("\x90\xb3\x89\xf0\x97\xa6\x82\xf0"
                          "0%"
                          "\x82\xc9\xd8\xbe\xaf\xc4\x82\xb5\x82\xdc\x82\xb7\x81\x42"),
              std::string(reset));
}

TEST_F(StringTable, NoOtherStringsInTheTwoBlocks) {
    // Blocks 3471 and 3472 hold the ids 55520 to 55551.
    for (UINT id = 55520; id <= 55551; ++id) {
        if (id >= IDC_VERSION && id <= IDC_DETAILS) {
            continue;
        }
        wchar_t buffer[16] = {};
        EXPECT_EQ(0, LoadStringW(ProgramModule(), id, buffer, 16)) << "string " << id;
    }
}

// ---------------------------------------------------------------------------
// Bitmaps and icons

// The standard 16-colour palette as red, green, blue.
const BYTE kStandardPalette[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

enum Colour : BYTE {
    kBlack = 0,
    kDarkRed = 1,
    kDarkGreen = 2,
    kOlive = 3,
    kLightGrey = 7,
    kGrey = 8,
    kRed = 9,
    kGreen = 10,
    kYellow = 11,
    kBlue = 12,
    kCyan = 14,
    kWhite = 15,
};

struct InfoHeaderFields {
    LONG width, height;
    DWORD imageSize, importantColours;
};

void ExpectInfoHeader(const BITMAPINFOHEADER& header, const InfoHeaderFields& expected) {
    EXPECT_EQ(40u, header.biSize);
    EXPECT_EQ(expected.width, header.biWidth);
    EXPECT_EQ(expected.height, header.biHeight);
    EXPECT_EQ(1, header.biPlanes);
    EXPECT_EQ(4, header.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header.biCompression);
    EXPECT_EQ(expected.imageSize, header.biSizeImage);
    EXPECT_EQ(0, header.biXPelsPerMeter);
    EXPECT_EQ(0, header.biYPelsPerMeter);
    EXPECT_EQ(0u, header.biClrUsed);
    EXPECT_EQ(expected.importantColours, header.biClrImportant);
}

void ExpectStandardPalette(const BYTE* palette) {
    for (int index = 0; index < 16; ++index) {
        RGBQUAD entry;
        std::memcpy(&entry, palette + 4 * index, sizeof entry);
        const BYTE* expected = kStandardPalette[index];
        EXPECT_TRUE(entry.rgbRed == expected[0] && entry.rgbGreen == expected[1] &&
                    entry.rgbBlue == expected[2] && entry.rgbReserved == 0)
            << "palette entry " << index;
    }
}

// Colour index of a 4-bit pixel; rows are stored bottom row first.
BYTE PixelIndex(const BYTE* pixels, int width, int height, int x, int y) {
    const int stride = (width / 2 + 3) / 4 * 4;
    const BYTE pair = pixels[(height - 1 - y) * stride + x / 2];
    return static_cast<BYTE>(x % 2 == 0 ? pair >> 4 : pair & 0x0F);
}

bool UsesColour(const BYTE* pixels, int size, BYTE colour) {
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (PixelIndex(pixels, size, size, x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

using Images = ProgramResources;

TEST_F(Images, ToolbarBitmapsAre16By16In16ColoursOnLightGrey) {
    const std::pair<WORD, std::vector<BYTE>> bitmaps[] = {
        {IDB_LISTEN, {kYellow, kOlive, kBlack, kGrey}},
        {IDB_DERIVED, {kDarkGreen, kDarkRed}},
        {IDB_SHOWANSWER, {kWhite, kGrey, kDarkGreen, kDarkRed}},
    };
    std::vector<std::vector<BYTE>> pictures;
    for (const auto& [id, colours] : bitmaps) {
        SCOPED_TRACE("bitmap " + std::to_string(id));
        const Bytes bytes = RawResource(RT_BITMAP, id);
        ASSERT_NE(nullptr, bytes.data);
        ASSERT_EQ(232u, bytes.size);
        BITMAPINFOHEADER header;
        std::memcpy(&header, bytes.data, sizeof header);
        ExpectInfoHeader(header, {16, 16, 128, 16});
        ExpectStandardPalette(bytes.data + 40);
        const BYTE* pixels = bytes.data + 40 + 64;
        for (const auto& [x, y] :
             {std::pair(0, 0), std::pair(15, 0), std::pair(0, 15), std::pair(15, 15)}) {
            EXPECT_EQ(kLightGrey, PixelIndex(pixels, 16, 16, x, y)) << "corner " << x << "," << y;
        }
        for (BYTE colour : colours) {
            EXPECT_TRUE(UsesColour(pixels, 16, colour)) << "colour " << int(colour);
        }
        pictures.emplace_back(pixels, pixels + 128);
    }
    ASSERT_EQ(3u, pictures.size());
    EXPECT_NE(pictures[0], pictures[1]);
    EXPECT_NE(pictures[1], pictures[2]);
    EXPECT_NE(pictures[0], pictures[2]);
}

TEST_F(Images, IconGroupsHoldOne32By32ImageEach) {
    const std::pair<WORD, WORD> groups[] = {{IDI_PROGRAM, 1}, {IDI_CORRECT, 2}, {IDI_WRONG, 3}};
    for (const auto& [group, image] : groups) {
        SCOPED_TRACE("icon group " + std::to_string(group));
        const Bytes bytes = RawResource(RT_GROUP_ICON, group);
        ASSERT_NE(nullptr, bytes.data);
        EXPECT_EQ(6u + 14u, bytes.size);
        Reader reader(bytes);
        EXPECT_EQ(0, reader.Word()) << "reserved";
        EXPECT_EQ(1, reader.Word()) << "type: icon";
        EXPECT_EQ(1, reader.Word()) << "images";
        EXPECT_EQ(32, reader.Byte()) << "width";
        EXPECT_EQ(32, reader.Byte()) << "height";
        EXPECT_EQ(16, reader.Byte()) << "colours";
        EXPECT_EQ(0, reader.Byte()) << "reserved";
        EXPECT_EQ(1, reader.Word()) << "planes";
        EXPECT_EQ(4, reader.Word()) << "bits per pixel";
        EXPECT_EQ(744u, reader.Dword()) << "image bytes";
        EXPECT_EQ(image, reader.Word()) << "image id";
        EXPECT_FALSE(reader.Overrun());
    }
}

TEST_F(Images, IconImagesHaveColourAndMaskWithTransparentBackground) {
    const std::pair<WORD, std::vector<BYTE>> icons[] = {
        {1, {kBlue, kCyan}},
        {2, {kGreen}},
        {3, {kRed}},
    };
    for (const auto& [id, colours] : icons) {
        SCOPED_TRACE("icon image " + std::to_string(id));
        const Bytes bytes = RawResource(RT_ICON, id);
        ASSERT_NE(nullptr, bytes.data);
        ASSERT_EQ(744u, bytes.size);
        BITMAPINFOHEADER header;
        std::memcpy(&header, bytes.data, sizeof header);
        // The height counts the colour image and the mask.
        ExpectInfoHeader(header, {32, 64, 640, 0});
        ExpectStandardPalette(bytes.data + 40);
        const BYTE* colour = bytes.data + 40 + 64;
        const BYTE* mask = colour + 512;
        const auto transparent = [mask](int x, int y) {
            return (mask[(31 - y) * 4 + x / 8] >> (7 - x % 8) & 1) != 0;
        };
        int opaque = 0;
        int tinted = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                if (!transparent(x, y)) {
                    ++opaque;
                } else if (PixelIndex(colour, 32, 32, x, y) != 0) {
                    ++tinted; // would colour the background through the mask
                }
            }
        }
        EXPECT_EQ(0, tinted);
        EXPECT_GT(opaque, 0);
        for (const auto& [x, y] :
             {std::pair(0, 0), std::pair(31, 0), std::pair(0, 31), std::pair(31, 31)}) {
            EXPECT_TRUE(transparent(x, y)) << "corner " << x << "," << y;
        }
        for (BYTE index : colours) {
            EXPECT_TRUE(UsesColour(colour, 32, index)) << "colour " << int(index);
        }
    }
}

// ---------------------------------------------------------------------------
// Version block

struct VersionNode {
    WORD length = 0;
    WORD valueLength = 0;
    WORD type = 0;
    std::wstring key;
    std::vector<BYTE> value;
    std::vector<VersionNode> children;
    bool endsAtItsLength = false;
};

VersionNode ReadVersionNode(Reader& reader) {
    const size_t start = reader.Position();
    VersionNode node;
    node.length = reader.Word();
    node.valueLength = reader.Word();
    node.type = reader.Word();
    node.key = reader.Text();
    reader.AlignDword();
    // A text value's length counts UTF-16 units, a binary value's bytes.
    node.value = reader.Take(node.type == 1 ? node.valueLength * 2u : node.valueLength);
    const size_t end = start + node.length;
    while (!reader.Overrun() && (reader.Position() + 3) / 4 * 4 < end) {
        reader.AlignDword();
        node.children.push_back(ReadVersionNode(reader));
    }
    node.endsAtItsLength = reader.Position() == end;
    return node;
}

std::wstring TextValue(const VersionNode& node) {
    std::wstring text;
    for (size_t i = 0; i + 1 < node.value.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(node.value[i] | node.value[i + 1] << 8));
    }
    return text;
}

using VersionBlock = ProgramResources;

TEST_F(VersionBlock, FixedPart) {
    const Bytes bytes = RawResource(RT_VERSION, VS_VERSION_INFO);
    ASSERT_NE(nullptr, bytes.data);
    Reader reader(bytes);
    const VersionNode root = ReadVersionNode(reader);
    EXPECT_EQ(832u, bytes.size);
    EXPECT_EQ(bytes.size, root.length);
    EXPECT_EQ(L"VS_VERSION_INFO", root.key);
    EXPECT_EQ(0, root.type);
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), root.value.size());
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, root.value.data(), sizeof fixed);
    EXPECT_EQ(0xFEEF04BDu, fixed.dwSignature);
    EXPECT_EQ(0x00010000u, fixed.dwStrucVersion);
    EXPECT_EQ(0x00000001u, fixed.dwFileVersionMS);
    EXPECT_EQ(0x00030000u, fixed.dwFileVersionLS);
    EXPECT_EQ(0x00000001u, fixed.dwProductVersionMS);
    EXPECT_EQ(0x00030000u, fixed.dwProductVersionLS);
    EXPECT_EQ(0u, fixed.dwFileFlagsMask);
    EXPECT_EQ(0x3Fu, fixed.dwFileFlags);
    EXPECT_EQ(4u, fixed.dwFileOS);
    EXPECT_EQ(1u, fixed.dwFileType);
    EXPECT_EQ(0u, fixed.dwFileSubtype);
    EXPECT_EQ(0u, fixed.dwFileDateMS);
    EXPECT_EQ(0u, fixed.dwFileDateLS);
}

TEST_F(VersionBlock, StringsAndTranslation) {
    const Bytes bytes = RawResource(RT_VERSION, VS_VERSION_INFO);
    ASSERT_NE(nullptr, bytes.data);
    Reader reader(bytes);
    const VersionNode root = ReadVersionNode(reader);
    EXPECT_FALSE(reader.Overrun());
    EXPECT_FALSE(reader.DirtyPadding());
    EXPECT_TRUE(root.endsAtItsLength);
    ASSERT_EQ(2u, root.children.size());

    const VersionNode& stringInfo = root.children[0];
    EXPECT_EQ(L"StringFileInfo", stringInfo.key);
    EXPECT_EQ(0, stringInfo.valueLength);
    EXPECT_TRUE(stringInfo.endsAtItsLength);
    ASSERT_EQ(1u, stringInfo.children.size());
    const VersionNode& table = stringInfo.children[0];
    EXPECT_EQ(L"041103A4", table.key);
    EXPECT_EQ(0, table.valueLength);
    EXPECT_TRUE(table.endsAtItsLength);

    const std::pair<std::wstring, std::wstring> expected[] = {
        {L"CompanyName", L"Tonarium developers"},
        {L"FileDescription", L"Tonarium"},
        {L"FileVersion", L"0.13"},
        {L"InternalName", L"tonarium"},
        {L"LegalCopyright", L"Copyright (C) 2026 Tonarium developers"},
        {L"LegalTrademarks", L"No trademarks are registered"},
        {L"OriginalFilename", L"tonarium.exe"},
        {L"ProductName", L"Tonarium"},
        {L"ProductVersion", L"0.13"},
    };
    ASSERT_EQ(std::size(expected), table.children.size());
    for (size_t index = 0; index < std::size(expected); ++index) {
        const VersionNode& entry = table.children[index];
        SCOPED_TRACE(::testing::PrintToString(expected[index].first));
        EXPECT_EQ(expected[index].first, entry.key);
        EXPECT_EQ(1, entry.type) << "text";
        EXPECT_EQ(expected[index].second + L'\0', TextValue(entry)) << "zero-terminated text";
        EXPECT_TRUE(entry.endsAtItsLength);
        EXPECT_TRUE(entry.children.empty());
    }

    const VersionNode& varInfo = root.children[1];
    EXPECT_EQ(L"VarFileInfo", varInfo.key);
    EXPECT_TRUE(varInfo.endsAtItsLength);
    ASSERT_EQ(1u, varInfo.children.size());
    const VersionNode& translation = varInfo.children[0];
    EXPECT_EQ(L"Translation", translation.key);
    EXPECT_EQ(0, translation.type) << "binary";
    // Japanese (0x0411), code page 932 (0x03A4).
    EXPECT_EQ((std::vector<BYTE>{0x11, 0x04, 0xA4, 0x03}), translation.value);
    EXPECT_TRUE(translation.endsAtItsLength);
}

// ---------------------------------------------------------------------------
// The set of resources

struct ResourceEntry {
    ULONG_PTR type;
    ULONG_PTR name;
    WORD language;
    bool named;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<ResourceEntry>*>(list)->push_back(
        {reinterpret_cast<ULONG_PTR>(type), reinterpret_cast<ULONG_PTR>(name), language,
         !IS_INTRESOURCE(type) || !IS_INTRESOURCE(name)});
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR list) {
    if (!IS_INTRESOURCE(type) || !IS_INTRESOURCE(name)) {
        // A named resource: recorded without looking further.
        reinterpret_cast<std::vector<ResourceEntry>*>(list)->push_back({0, 0, 0, true});
        return TRUE;
    }
    EnumResourceLanguagesA(module, type, name, &CollectLanguage, list);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR list) {
    EnumResourceNamesA(module, type, &CollectName, list);
    return TRUE;
}

std::vector<ResourceEntry> AllResources() {
    std::vector<ResourceEntry> entries;
    EnumResourceTypesA(ProgramModule(), &CollectType, reinterpret_cast<LONG_PTR>(&entries));
    return entries;
}

using ResourceDirectory = ProgramResources;

TEST_F(ResourceDirectory, ExactlyTheProgramsResourcesAllLanguageNeutral) {
    const std::vector<std::pair<ULONG_PTR, ULONG_PTR>> expected = {
        {2, IDB_LISTEN},
        {2, IDB_DERIVED},
        {2, IDB_SHOWANSWER},
        {3, 1},
        {3, 2},
        {3, 3},
        {4, IDM_LESSON},
        {5, IDD_LESSON},
        {5, IDD_RESULT},
        {5, IDD_VERSION},
        {6, 3471},
        {6, 3472},
        {14, IDI_PROGRAM},
        {14, IDI_CORRECT},
        {14, IDI_WRONG},
        {16, 1},
    };
    std::vector<std::pair<ULONG_PTR, ULONG_PTR>> found;
    for (const ResourceEntry& entry : AllResources()) {
        EXPECT_FALSE(entry.named) << "resources are addressed by number only";
        EXPECT_EQ(0, entry.language) << "type " << entry.type << ", id " << entry.name;
        found.emplace_back(entry.type, entry.name);
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(expected, found);
}

TEST_F(ResourceDirectory, NoAcceleratorsAndNothingNumbered3202) {
    bool accelerators = false;
    bool id3202 = false;
    for (const ResourceEntry& entry : AllResources()) {
        accelerators = accelerators || entry.type == reinterpret_cast<ULONG_PTR>(RT_ACCELERATOR);
        id3202 = id3202 || entry.name == 3202;
    }
    EXPECT_FALSE(accelerators);
    EXPECT_FALSE(id3202);
    EXPECT_EQ(nullptr, FindResourceA(ProgramModule(), MAKEINTRESOURCEA(3202), RT_BITMAP));
}

} // namespace
