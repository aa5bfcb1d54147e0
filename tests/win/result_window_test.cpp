#include "lesson/AccuracyChart.h"
#include "lesson/CLDl1.h"
#include "res/resource.h"
#include "util/WinHelpers.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr UINT_PTR kProbeTimer = 0x7E57;
constexpr UINT_PTR kGiveUpTimer = 0x7E58;
constexpr int kGaveUp = -2;

// Runs the window and, once it is shown and painted, lets the test look at it. The check then
// ends the window itself, or leaves that to the default, the OK command.
class ProbeDl1 : public CLDl1 {
public:
    using Check = std::function<void(ProbeDl1&)>;

    explicit ProbeDl1(Check check)
        : CLDl1(nullptr, IDD_RESULT, GetModuleHandleA(nullptr)), check_(std::move(check)) {}

    RECT Rect_AtCreation() const { return rectAtCreation_; }
    HFONT Font_WhileOpen() const { return fontWhileOpen_; }
    void Keep_Open() { closeAfterCheck_ = false; }

protected:
    bool Dlg_Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_INITDIALOG: {
            // Where the dialog manager put the window, before the window resized itself.
            GetWindowRect(dialog_, &rectAtCreation_);
            const bool handled = CLDl1::Dlg_Proc(message, wParam, lParam);
            fontWhileOpen_ = Get_Font();
            SetTimer(dialog_, kProbeTimer, 20, nullptr);
            SetTimer(dialog_, kGiveUpTimer, 10000, nullptr);
            return handled;
        }
        case WM_TIMER:
            On_Timer(wParam);
            return true;
        default:
            return CLDl1::Dlg_Proc(message, wParam, lParam);
        }
    }

private:
    void On_Timer(WPARAM timer) {
        if (timer == kGiveUpTimer) {
            ADD_FAILURE() << "the window did not close";
            EndDialog(dialog_, kGaveUp);
            return;
        }
        // Wait until the window is on the screen and fully painted.
        if (checked_ || !IsWindowVisible(dialog_) || GetUpdateRect(dialog_, nullptr, FALSE)) {
            return;
        }
        checked_ = true;
        KillTimer(dialog_, kProbeTimer);
        if (check_) {
            check_(*this);
        }
        if (closeAfterCheck_) {
            PostMessageA(dialog_, WM_COMMAND, IDOK, 0);
        }
    }

    Check check_;
    RECT rectAtCreation_ = {};
    HFONT fontWhileOpen_ = nullptr;
    bool checked_ = false;
    bool closeAfterCheck_ = true;
};

int RunProbe(ProbeDl1::Check check) {
    ProbeDl1 window(std::move(check));
    return window.Run_Modal();
}

std::string WindowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

RECT ChildClientRect(HWND dialog, int id) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    ScreenToClientRect(dialog, &rect);
    return rect;
}

RECT ClientRect(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    return rect;
}

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

SIZE MeasureText(HFONT font, const char* text) {
    const HDC dc = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return size;
}

void SetAnswer(const char* text, bool correct) {
    g_resultWindowMode = kResultAnswerMode;
    g_resultText = text;
    g_resultCorrect = correct;
}

// ---------------------------------------------------------------------------------------------
// Answer mode

// The ring after a correct answer, the cross after a wrong one; the caption stays.
TEST(ResultWindow, TheVerdictPicksTheMark) {
    for (const bool correct : {true, false}) {
        const char* text = correct ? "正解" : "不正解 (G)";
        SetAnswer(text, correct);
        RunProbe([&](ProbeDl1& window) {
            const HWND dialog = window.Get_Handle();
            EXPECT_EQ(correct, !!IsWindowVisible(GetDlgItem(dialog, IDC_MARK_CORRECT))) << text;
            EXPECT_EQ(!correct, !!IsWindowVisible(GetDlgItem(dialog, IDC_MARK_WRONG))) << text;
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDOK)));
            EXPECT_EQ("解答", WindowText(dialog));
            EXPECT_EQ(text, WindowText(GetDlgItem(dialog, IDC_RESULT_TEXT)));
        });
    }
}

struct AnswerLayout {
    int windowWidth = 0;
    bool checked = false;
};

// Checks what every result window must satisfy and returns its width.
AnswerLayout CheckAnswerLayout(const char* text, bool correct) {
    SetAnswer(text, correct);
    AnswerLayout layout;
    RunProbe([&](ProbeDl1& window) {
        const HWND dialog = window.Get_Handle();
        const HWND textControl = GetDlgItem(dialog, IDC_RESULT_TEXT);
        const RECT now = WindowRect(dialog);
        const RECT before = window.Rect_AtCreation();
        layout.windowWidth = now.right - now.left;

        // The window grows to the right: its top-left corner and its height stay.
        EXPECT_EQ(before.left, now.left) << text;
        EXPECT_EQ(before.top, now.top) << text;
        EXPECT_EQ(before.bottom - before.top, now.bottom - now.top) << text;

        // The control draws in the window's bold font, and the whole text shows.
        const HFONT font = reinterpret_cast<HFONT>(SendMessageA(textControl, WM_GETFONT, 0, 0));
        ASSERT_NE(nullptr, font);
        EXPECT_EQ(window.Get_Font(), font);
        const SIZE extent = MeasureText(font, text);
        const RECT textRect = ChildClientRect(dialog, IDC_RESULT_TEXT);
        const RECT client = ClientRect(dialog);
        EXPECT_LE(textRect.left + extent.cx, textRect.right) << text << " cut by the control";
        EXPECT_LE(textRect.left + extent.cx, client.right) << text << " cut by the window";
        EXPECT_EQ(static_cast<int>(1.3 * (textRect.left + extent.cx)), layout.windowWidth) << text;

        // The text starts right of the mark.
        const RECT mark = ChildClientRect(dialog, correct ? IDC_MARK_CORRECT : IDC_MARK_WRONG);
        EXPECT_LE(mark.right, textRect.left) << text;

        // The Ok button sits in the middle of the client width.
        const RECT ok = ChildClientRect(dialog, IDOK);
        EXPECT_EQ((client.right - (ok.right - ok.left)) / 2, ok.left) << text;
        EXPECT_LE(1, ok.left) << text;
        layout.checked = true;
    });
    return layout;
}

TEST(ResultWindow, WidthFollowsTheTextAndTheOkButtonIsCentred) {
    const AnswerLayout correct = CheckAnswerLayout("正解", true);
    const AnswerLayout wrong = CheckAnswerLayout("不正解 (G)", false);
    ASSERT_TRUE(correct.checked);
    ASSERT_TRUE(wrong.checked);
    EXPECT_LT(correct.windowWidth, wrong.windowWidth);
}

TEST(ResultWindow, LongestLabelStillShowsWhole) {
    // "不正解 (" and ")" around a label of 29 bytes, wider than the text control.
    const std::string text = "不正解 (" + std::string("ﾌｧｿﾗｼﾄﾞﾚﾐﾌｧｿﾗｼﾄﾞﾚﾐﾌｧｿﾗｼﾄﾞﾚﾐﾌｧ") + ")";
    ASSERT_EQ(29u + 9u, text.size());
    const AnswerLayout layout = CheckAnswerLayout(text.c_str(), false);
    EXPECT_TRUE(layout.checked);
}

TEST(ResultWindow, UnknownModeLeavesTheTemplateAsItIs) {
    g_resultWindowMode = 2;
    RunProbe([](ProbeDl1& window) {
        const HWND dialog = window.Get_Handle();
        EXPECT_EQ("解答", WindowText(dialog));
        EXPECT_EQ("Text1", WindowText(GetDlgItem(dialog, IDC_RESULT_TEXT)));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_MARK_CORRECT)));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_MARK_WRONG)));
        EXPECT_EQ(nullptr, window.Get_Font());
        const RECT now = WindowRect(dialog);
        const RECT before = window.Rect_AtCreation();
        EXPECT_EQ(before.right - before.left, now.right - now.left);
    });
}

// ---------------------------------------------------------------------------------------------
// Details mode

const char* const kKeyNames[kNoteCount] = {"C",  "C#", "D",  "D#", "E",  "F",
                                           "F#", "G",  "G#", "A",  "A#", "B"};

void SetSnapshot(const char* const labels[kNoteCount]) {
    g_resultWindowMode = kResultDetailsMode;
    for (int note = 0; note < kNoteCount; ++note) {
        NoteRecord& record = g_noteSnapshot[note];
        std::memset(record.label, 0, sizeof record.label);
        std::strncpy(record.label, labels[note], kLabelSize - 1);
        record.correct = 0;
        record.asked = 0;
    }
}

// 2 of 3, 1 of 3, 5 of 5, 7 of 10, none of 4, and notes never asked.
void SetVariedSnapshot() {
    SetSnapshot(kKeyNames);
    g_noteSnapshot[0].correct = 2;
    g_noteSnapshot[0].asked = 3;
    g_noteSnapshot[1].correct = 1;
    g_noteSnapshot[1].asked = 3;
    g_noteSnapshot[11].correct = 5;
    g_noteSnapshot[11].asked = 5;
    g_noteSnapshot[7].correct = 7;
    g_noteSnapshot[7].asked = 10;
    g_noteSnapshot[5].correct = 0;
    g_noteSnapshot[5].asked = 4;
}

TEST(DetailsWindow, HidesEveryControlAndSetsTheCaption) {
    SetVariedSnapshot();
    RunProbe([](ProbeDl1& window) {
        const HWND dialog = window.Get_Handle();
        EXPECT_EQ("正解率詳細", WindowText(dialog));
        int children = 0;
        for (HWND child = GetWindow(dialog, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            ++children;
            EXPECT_FALSE(IsWindowVisible(child)) << "control " << GetDlgCtrlID(child);
        }
        EXPECT_EQ(4, children);
    });
}

// The window's width and chart follow the labels as measured in the chart's font.
void CheckDetailsLayout(const char* const labels[kNoteCount]) {
    SetSnapshot(labels);
    bool checked = false;
    RunProbe([&](ProbeDl1& window) {
        const HWND dialog = window.Get_Handle();
        const HFONT font = MakeFont(17, false, false, "ＭＳ Ｐゴシック");
        int widest = 0;
        int tallest = 0;
        for (int note = 0; note < kNoteCount; ++note) {
            const SIZE size = MeasureText(font, labels[note]);
            widest = std::max(widest, static_cast<int>(size.cx));
            tallest = std::max(tallest, static_cast<int>(size.cy));
        }
        DeleteObject(font);
        widest = std::max(widest, 5);
        tallest = std::max(tallest, 5);

        const ChartGeometry& chart = window.Get_Chart();
        const RECT client = ClientRect(dialog);
        EXPECT_EQ(widest + 4, chart.Column_Width());
        EXPECT_EQ(client.bottom, chart.Client_Height());
        EXPECT_EQ(client.bottom - 4 - tallest - 2, chart.Full_BarHeight());
        EXPECT_EQ(chart.Full_BarHeight() + 2, chart.Baseline());

        const RECT now = WindowRect(dialog);
        const RECT before = window.Rect_AtCreation();
        EXPECT_EQ(2 * GetSystemMetrics(SM_CXFRAME) + 12 * (widest + 4) + 4, now.right - now.left);
        EXPECT_EQ(before.left, now.left);
        EXPECT_EQ(before.top, now.top);
        EXPECT_EQ(before.bottom - before.top, now.bottom - now.top);
        checked = true;
    });
    EXPECT_TRUE(checked);
}

TEST(DetailsWindow, TwelveColumnsAsWideAsTheWidestLabel) {
    CheckDetailsLayout(kKeyNames);
    const char* const longer[kNoteCount] = {"ﾄﾞ",  "ﾄﾞ#", "ﾚ",  "ﾚ#", "ﾐ",  "ﾌｧ#ﾌｧ#",
                                            "ﾌｧ#", "ｿ",   "ｿ#", "ﾗ",  "ﾗ#", "ｼ"};
    CheckDetailsLayout(longer);
}

TEST(DetailsWindow, EmptyLabelsGiveTheNarrowestColumns) {
    const char* const empty[kNoteCount] = {"", "", "", "", "", "", "", "", "", "", "", ""};
    CheckDetailsLayout(empty);
    SetSnapshot(empty);
    RunProbe([](ProbeDl1& window) { EXPECT_EQ(9, window.Get_Chart().Column_Width()); });
}

// A 32-bit top-down picture to paint into and read back.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<const DWORD*>(bits);
        previous_ = SelectObject(dc_, bitmap_);
        // Grey, so that whatever the painting leaves out shows.
        const RECT all = {0, 0, width, height};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF Pixel(int x, int y) const {
        GdiFlush();
        const DWORD bgr = bits_[y * width_ + x] & 0xFFFFFF;
        return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
    }
    bool Dark(int x, int y) const {
        const COLORREF colour = Pixel(x, y);
        return GetRValue(colour) < 128 && GetGValue(colour) < 128 && GetBValue(colour) < 128;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    const DWORD* bits_ = nullptr;
};

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

bool IsGridLine(const ChartGeometry& chart, int y) {
    for (int step = 1; step <= ChartGeometry::kGridLineCount; ++step) {
        if (chart.Grid_LineY(step) == y) {
            return true;
        }
    }
    return false;
}

// Compares a painted chart with its geometry: bars black exactly where they belong and cut by
// the white lines, white elsewhere above the base line, the base line black, the labels under
// their columns. A broken picture reports only its first few wrong pixels.
void CheckPaintedChart(const Canvas& canvas, const ChartGeometry& chart,
                       const NoteRecord notes[kNoteCount], HFONT labelFont) {
    const int right = chart.Line_Right(canvas.Width());
    const int column = chart.Column_Width();
    int mismatches = 0;
    auto expectColour = [&](int x, int y, COLORREF expected, const char* what) {
        if (x < 0 || y < 0 || x >= canvas.Width() || y >= canvas.Height()) {
            return;
        }
        if (canvas.Pixel(x, y) != expected && ++mismatches <= 10) {
            ADD_FAILURE() << what << " at (" << x << ", " << y << "): colour " << std::hex
                          << canvas.Pixel(x, y);
        }
    };

    // Above the base line every pixel is a bar's black or the background's white.
    for (int note = 0; note < kNoteCount; ++note) {
        ChartGeometry::Rect bar{};
        const bool hasBar = chart.Bar_Rect(note, notes[note].correct, notes[note].asked, &bar);
        for (int x = note * column + chart.Chart_Left();
             x < (note + 1) * column + chart.Chart_Left(); ++x) {
            for (int y = 0; y < chart.Baseline(); ++y) {
                const bool inBar = hasBar && x >= bar.left && x < bar.right && y >= bar.top;
                const bool black = inBar && !(IsGridLine(chart, y) && x < right);
                expectColour(x, y, black ? kBlack : kWhite, inBar ? "bar" : "background");
            }
        }
    }
    // The margins on the left and right of the columns.
    for (int y = 0; y < chart.Baseline(); ++y) {
        expectColour(0, y, kWhite, "left margin");
        expectColour(1, y, kWhite, "left margin");
        expectColour(canvas.Width() - 1, y, kWhite, "right margin");
    }

    // The base line runs from the chart's left to the client's right less the margin.
    expectColour(chart.Chart_Left() - 1, chart.Baseline(), kWhite, "left of the base line");
    for (int x = chart.Chart_Left(); x < right; ++x) {
        expectColour(x, chart.Baseline(), kBlack, "base line");
    }
    expectColour(right, chart.Baseline(), kWhite, "right of the base line");
    expectColour(chart.Chart_Left(), chart.Baseline() + 1, kWhite, "under the base line");

    // Each label's ink lies in the box where the label was written: centred in its column,
    // under the base line.
    for (int note = 0; note < kNoteCount; ++note) {
        if (notes[note].label[0] == '\0') {
            continue;
        }
        const SIZE extent = MeasureText(labelFont, notes[note].label);
        const int labelLeft = chart.Label_Left(note, extent.cx);
        const int columnLeft = note * column + chart.Chart_Left();
        int leftInk = canvas.Width();
        int rightInk = -1;
        int bottomInk = -1;
        for (int y = chart.Baseline() + 1; y < canvas.Height(); ++y) {
            for (int x = columnLeft - 2; x < columnLeft + column + 2; ++x) {
                if (x >= 0 && x < canvas.Width() && canvas.Dark(x, y)) {
                    leftInk = std::min(leftInk, x);
                    rightInk = std::max(rightInk, x);
                    bottomInk = std::max(bottomInk, y);
                }
            }
        }
        ASSERT_LE(0, rightInk) << "no label under column " << note;
        EXPECT_LE(labelLeft, leftInk) << "label " << note;
        EXPECT_LT(rightInk, labelLeft + extent.cx) << "label " << note;
        EXPECT_LT(bottomInk, chart.Label_Top() + extent.cy) << "label " << note;
        // Within its own column, clear of the neighbours.
        EXPECT_LT(columnLeft, leftInk) << "label " << note;
        EXPECT_LT(rightInk, columnLeft + column - 1) << "label " << note;
    }
    // Nothing dark between the base line and the labels.
    for (int x = 0; x < canvas.Width(); ++x) {
        if (canvas.Dark(x, chart.Baseline() + 1)) {
            ADD_FAILURE() << "ink under the base line at x = " << x;
            break;
        }
    }
    EXPECT_EQ(0, mismatches);
}

TEST(DetailsWindow, PaintedChartInAMemoryPicture) {
    SetVariedSnapshot();
    // Column width 22, full bar 67, base line 69, as for labels of 18 x 17 in a client 90 high.
    const ChartGeometry chart(18, 17, 90);
    Canvas canvas(2 + 12 * 22 + 2 + 1, 90);
    const HFONT font = MakeFont(17, false, false, "ＭＳ Ｐゴシック");
    const RECT client = {0, 0, canvas.Width(), canvas.Height()};
    PaintAccuracyChart(canvas.Dc(), client, chart, g_noteSnapshot, font);

    // The worked corners of three bars: inside black, just outside white.
    EXPECT_EQ(kBlack, canvas.Pixel(10, 25));
    EXPECT_EQ(kBlack, canvas.Pixel(15, 68));
    EXPECT_EQ(kWhite, canvas.Pixel(9, 25));
    EXPECT_EQ(kWhite, canvas.Pixel(16, 25));
    EXPECT_EQ(kWhite, canvas.Pixel(10, 24));
    EXPECT_EQ(kBlack, canvas.Pixel(32, 47));
    EXPECT_EQ(kWhite, canvas.Pixel(32, 46));
    EXPECT_EQ(kWhite, canvas.Pixel(38, 60));
    EXPECT_EQ(kWhite, canvas.Pixel(252, 2)); // the 100 % line lies on the full bar's top row
    EXPECT_EQ(kBlack, canvas.Pixel(252, 3));
    EXPECT_EQ(kWhite, canvas.Pixel(252, 1));
    EXPECT_EQ(kWhite, canvas.Pixel(12, 63)); // the 10 % line cuts the bar
    EXPECT_EQ(kBlack, canvas.Pixel(12, 62));
    EXPECT_EQ(kBlack, canvas.Pixel(12, 64));
    EXPECT_EQ(kBlack, canvas.Pixel(12, 69)); // the base line

    CheckPaintedChart(canvas, chart, g_noteSnapshot, font);
    DeleteObject(font);
}

TEST(DetailsWindow, ImpossibleScoresAreClippedAndNegativeOnesGiveNoBar) {
    SetSnapshot(kKeyNames);
    g_noteSnapshot[9].correct = 6; // more correct answers than questions
    g_noteSnapshot[9].asked = 3;
    g_noteSnapshot[3].correct = -4;
    g_noteSnapshot[3].asked = 5;
    g_noteSnapshot[4].correct = 2147483647;
    g_noteSnapshot[4].asked = 1;
    const ChartGeometry chart(18, 17, 90);
    Canvas canvas(2 + 12 * 22 + 2, 90);
    const RECT client = {0, 0, canvas.Width(), canvas.Height()};
    PaintAccuracyChart(canvas.Dc(), client, chart, g_noteSnapshot, nullptr);

    EXPECT_EQ(kBlack, canvas.Pixel(9 * 22 + 10, 0));
    EXPECT_EQ(kBlack, canvas.Pixel(4 * 22 + 10, 0));
    EXPECT_EQ(kWhite, canvas.Pixel(3 * 22 + 12, 68));
    const HFONT systemFont = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    CheckPaintedChart(canvas, chart, g_noteSnapshot, systemFont);
}

TEST(DetailsWindow, PaintedChartOnTheScreen) {
    SetVariedSnapshot();
    bool checked = false;
    RunProbe([&](ProbeDl1& window) {
        const HWND dialog = window.Get_Handle();
        const RECT client = ClientRect(dialog);
        Canvas canvas(client.right, client.bottom);
        const HDC dc = GetDC(dialog);
        BitBlt(canvas.Dc(), 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
        ReleaseDC(dialog, dc);
        CheckPaintedChart(canvas, window.Get_Chart(), g_noteSnapshot, window.Get_Font());
        checked = true;
    });
    EXPECT_TRUE(checked);
}

// ---------------------------------------------------------------------------------------------
// Closing

int CloseWith(int mode, std::function<void(HWND)> close) {
    if (mode == kResultAnswerMode) {
        SetAnswer("正解", true);
    } else {
        SetVariedSnapshot();
    }
    return RunProbe([&](ProbeDl1& window) {
        window.Keep_Open();
        close(window.Get_Handle());
    });
}

TEST(ResultWindow, OkEscapeAndTheCloseBoxEndTheWindow) {
    for (int mode : {kResultAnswerMode, kResultDetailsMode}) {
        SCOPED_TRACE(mode == kResultAnswerMode ? "answer mode" : "details mode");
        EXPECT_EQ(1, CloseWith(mode, [](HWND dialog) {
                      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
                  }));
        // From an accelerator or elsewhere: the notification code does not matter.
        EXPECT_EQ(1, CloseWith(mode, [](HWND dialog) {
                      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);
                  }));
        EXPECT_EQ(0, CloseWith(mode, [](HWND dialog) {
                      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
                  }));
        EXPECT_EQ(0, CloseWith(mode, [](HWND dialog) {
                      PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
                  }));
        EXPECT_EQ(0, CloseWith(mode, [](HWND dialog) {
                      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                  }));
    }
    // The Ok button itself.
    EXPECT_EQ(1, CloseWith(kResultAnswerMode, [](HWND dialog) {
                  PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
              }));
}

TEST(ResultWindow, OtherCommandsDoNotEndTheWindow) {
    SetAnswer("正解", true);
    const int result = RunProbe([](ProbeDl1& window) {
        window.Keep_Open();
        const HWND dialog = window.Get_Handle();
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_RESULT_TEXT, 0), 0);
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_TRUE(IsWindowVisible(dialog));
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    });
    EXPECT_EQ(0, result);
}

// ---------------------------------------------------------------------------------------------
// Font lifetime

TEST(ResultWindow, TheFontLivesAsLongAsTheWindow) {
    for (int mode : {kResultAnswerMode, kResultDetailsMode}) {
        SCOPED_TRACE(mode == kResultAnswerMode ? "answer mode" : "details mode");
        if (mode == kResultAnswerMode) {
            SetAnswer("正解", true);
        } else {
            SetVariedSnapshot();
        }
        ProbeDl1 window([](ProbeDl1& open) {
            EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(open.Get_Font()));
        });
        window.Run_Modal();
        ASSERT_NE(nullptr, window.Font_WhileOpen());
        EXPECT_EQ(0u, GetObjectType(window.Font_WhileOpen())) << "font not deleted";
        EXPECT_EQ(nullptr, window.Get_Font());
    }
}

TEST(ResultWindow, NoGdiObjectsLeakOverManyRuns) {
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    std::vector<HFONT> fonts;
    for (int run = 0; run < 100; ++run) {
        if (run % 2 == 0) {
            SetAnswer("不正解 (G)", false);
        } else {
            SetVariedSnapshot();
        }
        ProbeDl1 window(nullptr);
        EXPECT_EQ(1, window.Run_Modal());
        fonts.push_back(window.Font_WhileOpen());
        if (GetObjectType(window.Font_WhileOpen()) != 0) {
            ADD_FAILURE() << "font of run " << run << " still alive";
            break;
        }
    }
    const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (before == 0 && after == 0) {
        // Wine does not count GDI objects; the font check above is all there is.
        std::printf("GetGuiResources counts nothing here; fonts checked one by one\n");
    } else {
        EXPECT_GE(before + 5, after);
    }
    EXPECT_EQ(100u, fonts.size());
}

} // namespace
