#include "lesson/CLDl1.h"

#include "lesson/AccuracyChart.h"
#include "res/resource.h"
#include "util/WinHelpers.h"

#include <cstring>

std::int32_t g_resultWindowMode = kResultAnswerMode;
const char* g_resultText = "";
bool g_resultCorrect = false;
NoteRecord g_noteSnapshot[kNoteCount] = {};

namespace {

constexpr int kResultFontHeight = 20;
constexpr int kChartFontHeight = 17;
constexpr char kResultFontFace[] = "ＭＳ Ｐ明朝";
constexpr char kChartFontFace[] = "ＭＳ Ｐゴシック";
constexpr char kDetailsCaption[] = "正解率詳細";
// The result window is this much wider than the text's right end, for the frame and air.
constexpr double kResultWidthFactor = 1.3;

RECT Client_RectOfChild(HWND dialog, HWND child) {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(child, &rect);
    ScreenToClientRect(dialog, &rect);
    return rect;
}

int Window_Height(HWND window) {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window, &rect);
    return rect.bottom - rect.top;
}

void Resize_KeepingPosition(HWND window, int width, int height) {
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

// The text's extent in the font the control draws it with.
SIZE Measure_InControlFont(HWND control, const char* text) {
    SIZE size = {0, 0};
    const WindowDc dc(control);
    const ObjectSelection selection(
        dc.Get_Handle(), reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32A(dc.Get_Handle(), text, static_cast<int>(std::strlen(text)), &size);
    return size;
}

} // namespace

CLDl1::CLDl1(HWND owner, WORD templateId, HINSTANCE instance)
    : CLDlg(owner, templateId, instance) {}

bool CLDl1::Dlg_Proc(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        mode_ = g_resultWindowMode;
        if (mode_ == kResultAnswerMode) {
            Init_AnswerMode();
        } else if (mode_ == kResultDetailsMode) {
            Init_DetailsMode();
        }
        // The window opened at the pointer and has grown to the right since: near the
        // screen's right edge it would run past it.
        KeepInWorkArea(dialog_);
        return true;
    case WM_PAINT:
        if (mode_ == kResultDetailsMode) {
            Paint_Chart();
        }
        // Not handled: the default handling finds nothing left to paint.
        return false;
    case WM_COMMAND:
        return On_Command(wParam);
    case WM_CLOSE:
        return On_Close();
    case WM_DESTROY:
        On_Destroy();
        return false;
    default:
        return false;
    }
}

void CLDl1::Init_AnswerMode() {
    font_ = MakeFont(kResultFontHeight, true, false, kResultFontFace);
    const HWND text = GetDlgItem(dialog_, IDC_RESULT_TEXT);
    SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    SetDlgItemTextA(dialog_, IDC_RESULT_TEXT, g_resultText ? g_resultText : "");
    Fit_ResultText(text);
    Centre_OkButton();
    ShowWindow(GetDlgItem(dialog_, IDC_MARK_CORRECT), g_resultCorrect ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(dialog_, IDC_MARK_WRONG), g_resultCorrect ? SW_HIDE : SW_SHOW);
}

// Widens the window, which grows to the right, until the whole text shows beside the mark.
void CLDl1::Fit_ResultText(HWND text) {
    const SIZE extent = Measure_InControlFont(text, g_resultText ? g_resultText : "");
    const RECT textRect = Client_RectOfChild(dialog_, text);
    // A long label would be cut off by the control's own edge: the control grows with it.
    if (extent.cx > textRect.right - textRect.left) {
        Resize_KeepingPosition(text, extent.cx, textRect.bottom - textRect.top);
    }
    const int width = static_cast<int>(kResultWidthFactor * (textRect.left + extent.cx));
    Resize_KeepingPosition(dialog_, width, Window_Height(dialog_));
}

void CLDl1::Centre_OkButton() {
    const HWND button = GetDlgItem(dialog_, IDOK);
    const RECT buttonRect = Client_RectOfChild(dialog_, button);
    RECT client = {0, 0, 0, 0};
    GetClientRect(dialog_, &client);
    const int x = (client.right - (buttonRect.right - buttonRect.left)) / 2;
    SetWindowPos(button, nullptr, x, buttonRect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CLDl1::Init_DetailsMode() {
    SetWindowTextA(dialog_, kDetailsCaption);
    font_ = MakeFont(kChartFontHeight, false, false, kChartFontFace);
    Hide_Children();

    const SIZE largest = MeasureLargestLabel(WindowDc(dialog_).Get_Handle(), g_noteSnapshot, font_);

    RECT client = {0, 0, 0, 0};
    GetClientRect(dialog_, &client);
    chart_ = ChartGeometry(largest.cx, largest.cy, client.bottom);
    // The sizing-frame allowance, although the window has a dialog frame: the chart's lines
    // run to the client's right edge, so they follow whatever width the frame leaves.
    Resize_KeepingPosition(dialog_, chart_.Window_Width(GetSystemMetrics(SM_CXFRAME)),
                           Window_Height(dialog_));
}

void CLDl1::Hide_Children() {
    for (HWND child = GetTopWindow(dialog_); child; child = GetWindow(child, GW_HWNDNEXT)) {
        ShowWindow(child, SW_HIDE);
    }
}

// The whole client area is drawn anew through a context of the window's own, whatever part
// of it needs repainting.
void CLDl1::Paint_Chart() {
    RECT client = {0, 0, 0, 0};
    GetClientRect(dialog_, &client);
    PaintAccuracyChart(WindowDc(dialog_).Get_Handle(), client, chart_, g_noteSnapshot, font_);
    // The chart is drawn outside BeginPaint, so a pending background erase in
    // the default handling would wipe it; nothing is left to update now.
    ValidateRect(dialog_, nullptr);
}

// OK and Cancel end the window at once, whatever the notification code.
bool CLDl1::On_Command(WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDOK:
        EndDialog(dialog_, 1);
        return true;
    case IDCANCEL:
        EndDialog(dialog_, 0);
        return true;
    default:
        return false;
    }
}

void CLDl1::On_Destroy() {
    if (font_) {
        DeleteObject(font_);
        font_ = nullptr;
    }
}
