#include "framework/CLStatusWindow.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kListenHelp[] = "問題の音を聞きます。";
const char kQuestionText[] = "問題 3";
const char kAccuracyText[] = "正解率 50％";

// What the bar shows on screen, read back from its window DC.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> values; // 0x00RRGGBB, top row first

    DWORD At(int x, int y) const { return values[static_cast<size_t>(y * width + x)]; }
    bool operator==(const Pixels& other) const {
        return width == other.width && height == other.height && values == other.values;
    }
    bool operator!=(const Pixels& other) const { return !(*this == other); }
};

Pixels Capture_Window(HWND window) {
    RECT outer;
    GetWindowRect(window, &outer);
    Pixels pixels;
    pixels.width = outer.right - outer.left;
    pixels.height = outer.bottom - outer.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC windowDc = GetWindowDC(window);
    const HDC memoryDc = CreateCompatibleDC(windowDc);
    const HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, pixels.width, pixels.height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD* values = static_cast<const DWORD*>(bits);
    pixels.values.assign(values, values + pixels.width * pixels.height);
    for (DWORD& value : pixels.values) {
        value &= 0x00FFFFFF;
    }
    SelectObject(memoryDc, previous);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return pixels;
}

DWORD Rgb_OfSysColor(int index) {
    const COLORREF color = GetSysColor(index);
    return (static_cast<DWORD>(GetRValue(color)) << 16) |
           (static_cast<DWORD>(GetGValue(color)) << 8) | GetBValue(color);
}

void Pump_Messages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

INT_PTR CALLBACK Plain_DialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::string Part_Text(HWND bar, int part) {
    char text[256] = "";
    SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
    return text;
}

WPARAM Select_Wparam(UINT command, UINT flags) {
    return MAKEWPARAM(static_cast<WORD>(command), static_cast<WORD>(flags));
}

// The lesson dialog's template with its status bar divided as the lesson does it.
class StatusWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
        instance_ = GetModuleHandleA(nullptr);
        dialog_ = CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_LESSON), nullptr,
                                     Plain_DialogProc, 0);
        ASSERT_NE(nullptr, dialog_);
        ASSERT_NE(nullptr, status_.Attach_Item(dialog_, IDC_STATUSBAR, instance_));
        bar_ = status_.Get_Handle();
        const int edges[] = {77, -1};
        status_.Set_Parts(edges, 2);
        SendMessageA(bar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(kQuestionText));
        SendMessageA(bar_, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(kAccuracyText));
        Repaint();
        before_ = Capture_Window(bar_);
    }

    void TearDown() override { DestroyWindow(dialog_); }

    void Repaint() {
        Pump_Messages();
        UpdateWindow(dialog_);
        UpdateWindow(bar_);
        Pump_Messages();
    }

    bool Repaint_Pending() const { return GetUpdateRect(bar_, nullptr, FALSE) != FALSE; }

    RECT Part_Rect(int part) const {
        RECT rect = {};
        SendMessageA(bar_, SB_GETRECT, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&rect));
        return rect;
    }

    HINSTANCE instance_ = nullptr;
    HWND dialog_ = nullptr;
    HWND bar_ = nullptr;
    CLStatusWindow status_;
    Pixels before_;
};

TEST_F(StatusWindowTest, AttachItemKeepsTheFirstWindow) {
    EXPECT_EQ(GetDlgItem(dialog_, IDC_STATUSBAR), bar_);
    EXPECT_EQ(bar_, status_.Attach_Item(dialog_, IDC_TOOLBAR_PLACEHOLDER, instance_));
    EXPECT_EQ(bar_, status_.Get_Handle());

    // Without an item the help operations do nothing.
    CLStatusWindow missing;
    EXPECT_EQ(nullptr, missing.Attach_Item(dialog_, 999, instance_));
    missing.Show_Help(kListenHelp);
    EXPECT_FALSE(missing.Help_Shown());
    missing.Hide_Help();
}

TEST_F(StatusWindowTest, SetPartsDividesTheBarAndEmptiesEveryPart) {
    int edges[4] = {};
    ASSERT_EQ(2, SendMessageA(bar_, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)));
    EXPECT_EQ(77, edges[0]);
    EXPECT_EQ(2, status_.Get_PartCount());
    EXPECT_EQ(kQuestionText, Part_Text(bar_, 0));

    const int three[] = {40, 90, -1};
    status_.Set_Parts(three, 3);
    EXPECT_EQ(3, SendMessageA(bar_, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)));
    EXPECT_EQ(3, status_.Get_PartCount());
    for (int part = 0; part < 3; ++part) {
        EXPECT_EQ("", Part_Text(bar_, part)) << part;
    }
}

TEST_F(StatusWindowTest, SetPartsWithoutPartsChangesNothing) {
    const int one[] = {30};
    status_.Set_Parts(one, 0);
    status_.Set_Parts(one, -1);
    int edges[4] = {};
    EXPECT_EQ(2, SendMessageA(bar_, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)));
    EXPECT_EQ(77, edges[0]);
    EXPECT_EQ(2, status_.Get_PartCount());
    EXPECT_EQ(kQuestionText, Part_Text(bar_, 0));
    EXPECT_EQ(kAccuracyText, Part_Text(bar_, 1));
}

TEST_F(StatusWindowTest, HighlightedCommandPaintsItsHelpOverBothParts) {
    const RECT first = Part_Rect(0);
    const RECT second = Part_Rect(1);
    const DWORD face = Rgb_OfSysColor(COLOR_BTNFACE);
    // Above the text the parts show their frames or the line between them.
    const int frameRows = 3;
    int framePixels = 0;
    for (int y = first.top; y < first.top + frameRows; ++y) {
        for (int x = 0; x < before_.width; ++x) {
            framePixels += before_.At(x, y) != face ? 1 : 0;
        }
    }
    ASSERT_GT(framePixels, 0);

    status_.Menu_Select(WM_MENUSELECT, Select_Wparam(IDC_LISTEN, 0),
                        reinterpret_cast<LPARAM>(GetMenu(dialog_)));
    const Pixels help = Capture_Window(bar_);
    EXPECT_TRUE(status_.Help_Shown());

    // Nothing of the frames is left above or below the text.
    for (int x = 0; x < help.width; ++x) {
        for (int y = 0; y < first.top + frameRows; ++y) {
            ASSERT_EQ(face, help.At(x, y)) << x << ", " << y;
        }
        ASSERT_EQ(face, help.At(x, help.height - 1)) << x;
    }
    // Both parts were painted over.
    auto changed = [&](const RECT& part) {
        int count = 0;
        for (int y = part.top; y < part.bottom; ++y) {
            for (int x = part.left; x < part.right; ++x) {
                count += help.At(x, y) != before_.At(x, y) ? 1 : 0;
            }
        }
        return count;
    };
    EXPECT_GT(changed(first), 0);
    EXPECT_GT(changed(second), 0);
    // Only paint: the parts keep their texts.
    EXPECT_EQ(kQuestionText, Part_Text(bar_, 0));
    EXPECT_EQ(kAccuracyText, Part_Text(bar_, 1));
}

TEST_F(StatusWindowTest, ClosingTheMenuAndItemsWithoutHelpRestoreBothParts) {
    const UINT flagSets[] = {MF_POPUP,  MF_SEPARATOR,         MF_SYSMENU,
                             MF_BITMAP, MF_POPUP | MF_HILITE, 0xFFFF};
    for (const UINT flags : flagSets) {
        status_.Menu_Select(WM_MENUSELECT, Select_Wparam(IDC_LISTEN, 0), 0);
        ASSERT_NE(before_, Capture_Window(bar_));
        ValidateRect(bar_, nullptr);
        // The low word of a submenu title is an index, never shown as a command.
        status_.Menu_Select(WM_MENUSELECT, Select_Wparam(IDC_LISTEN, flags), 0);
        EXPECT_FALSE(status_.Help_Shown()) << std::hex << flags;
        EXPECT_TRUE(Repaint_Pending()) << std::hex << flags;
        Repaint();
        EXPECT_EQ(before_, Capture_Window(bar_)) << std::hex << flags;
        EXPECT_EQ(kQuestionText, Part_Text(bar_, 0));
        EXPECT_EQ(kAccuracyText, Part_Text(bar_, 1));
    }
}

TEST_F(StatusWindowTest, ToolbarReportWithCheckedFlagShowsTheCommandHelp) {
    status_.Menu_Select(WM_MENUSELECT, Select_Wparam(IDC_LISTEN, MF_CHECKED), 0);
    EXPECT_TRUE(status_.Help_Shown());
    const Pixels reported = Capture_Window(bar_);
    status_.Hide_Help();
    Repaint();

    status_.Show_Help(kListenHelp);
    EXPECT_EQ(reported, Capture_Window(bar_));
    EXPECT_NE(before_, reported);

    // Another command shows another text.
    status_.Menu_Select(WM_MENUSELECT, Select_Wparam(IDC_EXIT, MF_CHECKED), 0);
    EXPECT_NE(reported, Capture_Window(bar_));
}

TEST_F(StatusWindowTest, CommandWithoutHelpTextPaintsTheBarBlank) {
    status_.Menu_Select(WM_MENUSELECT, Select_Wparam(12345, 0), 0);
    EXPECT_TRUE(status_.Help_Shown());
    const Pixels blank = Capture_Window(bar_);
    const DWORD face = Rgb_OfSysColor(COLOR_BTNFACE);
    for (size_t i = 0; i < blank.values.size(); ++i) {
        ASSERT_EQ(face, blank.values[i]) << i;
    }
    status_.Show_Help(nullptr);
    EXPECT_EQ(blank, Capture_Window(bar_));
}

TEST_F(StatusWindowTest, HideHelpRepaintsOnlyAfterShowHelp) {
    ValidateRect(bar_, nullptr);
    status_.Hide_Help();
    EXPECT_FALSE(Repaint_Pending());

    status_.Show_Help(kListenHelp);
    status_.Hide_Help();
    EXPECT_TRUE(Repaint_Pending());
    Repaint();
    status_.Hide_Help();
    EXPECT_FALSE(Repaint_Pending());
}

TEST_F(StatusWindowTest, OtherMessagesAreIgnored) {
    status_.Menu_Select(WM_COMMAND, Select_Wparam(IDC_LISTEN, 0), 0);
    EXPECT_FALSE(status_.Help_Shown());
    EXPECT_EQ(before_, Capture_Window(bar_));
}

} // namespace
