// The screen pictures that tools and tests take of windows.

#include "tests/win/support/Screenshot.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 61; // odd, so .bmp rows need padding
constexpr int kHeight = 40;
const COLORREF kTopLeft = RGB(200, 30, 40);
const COLORREF kBottomLeft = RGB(20, 180, 60);
const COLORREF kRight = RGB(10, 50, 220);

void FillWith(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT area = {left, top, right, bottom};
    FillRect(dc, &area, brush);
    DeleteObject(brush);
}

// Three areas of distinct colours tell rows, columns and colour channels apart.
LRESULT CALLBACK PatternProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        FillWith(dc, 0, 0, kWidth / 2, kHeight / 2, kTopLeft);
        FillWith(dc, 0, kHeight / 2, kWidth / 2, kHeight, kBottomLeft);
        FillWith(dc, kWidth / 2, 0, kWidth, kHeight, kRight);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class PatternWindow {
public:
    PatternWindow() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = &PatternProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ScreenshotPattern";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "ScreenshotPattern", "",
                                  WS_POPUP | WS_VISIBLE, 30, 40, kWidth, kHeight, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        UpdateWindow(window_);
    }
    ~PatternWindow() { DestroyWindow(window_); }
    PatternWindow(const PatternWindow&) = delete;
    PatternWindow& operator=(const PatternWindow&) = delete;

    HWND Handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

std::vector<BYTE> ReadFile(const std::string& path) {
    std::vector<BYTE> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return bytes;
    }
    BYTE buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + count);
    }
    std::fclose(file);
    return bytes;
}

std::string TemporaryPath() {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    char path[MAX_PATH] = {};
    GetTempFileNameA(folder, "shot", 0, path);
    return path;
}

TEST(Screenshot, CapturesTheWindowAreaInScreenOrder) {
    PatternWindow window;
    ASSERT_NE(nullptr, window.Handle());
    const ScreenPicture picture = CaptureWindowArea(window.Handle());
    ASSERT_EQ(kWidth, picture.width);
    ASSERT_EQ(kHeight, picture.height);
    EXPECT_EQ(kTopLeft, picture.Pixel(2, 2));
    EXPECT_EQ(kBottomLeft, picture.Pixel(2, kHeight - 3));
    EXPECT_EQ(kRight, picture.Pixel(kWidth - 3, 2));
    EXPECT_EQ(kRight, picture.Pixel(kWidth - 1, kHeight - 1));
    EXPECT_EQ(CLR_INVALID, picture.Pixel(kWidth, 0));
}

TEST(Screenshot, NoPictureOfAWindowThatIsGone) {
    HWND gone = nullptr;
    {
        PatternWindow window;
        gone = window.Handle();
    }
    const ScreenPicture picture = CaptureWindowArea(gone);
    EXPECT_EQ(0, picture.width);
    EXPECT_TRUE(picture.bgr.empty());
    EXPECT_FALSE(SavePicture(picture, TemporaryPath().c_str()));
}

TEST(Screenshot, SavesABottomUp24BitFile) {
    PatternWindow window;
    ASSERT_NE(nullptr, window.Handle());
    const std::string path = TemporaryPath();
    ASSERT_TRUE(SaveWindowScreenshot(window.Handle(), path.c_str()));
    const std::vector<BYTE> file = ReadFile(path);
    DeleteFileA(path.c_str());

    const size_t stride = (kWidth * 3 + 3) / 4 * 4;
    const size_t headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    ASSERT_EQ(headers + stride * kHeight, file.size());
    BITMAPFILEHEADER fileHeader;
    std::memcpy(&fileHeader, file.data(), sizeof fileHeader);
    EXPECT_EQ(0x4D42, fileHeader.bfType);
    EXPECT_EQ(file.size(), fileHeader.bfSize);
    EXPECT_EQ(headers, fileHeader.bfOffBits);
    BITMAPINFOHEADER info;
    std::memcpy(&info, file.data() + sizeof fileHeader, sizeof info);
    EXPECT_EQ(kWidth, info.biWidth);
    EXPECT_EQ(kHeight, info.biHeight);
    EXPECT_EQ(24, info.biBitCount);

    // The first stored row is the bottom one; a pixel is blue, green, red.
    const auto stored = [&](int x, int y) {
        const BYTE* pixel = file.data() + headers + (kHeight - 1 - y) * stride + x * 3;
        return RGB(pixel[2], pixel[1], pixel[0]);
    };
    EXPECT_EQ(kTopLeft, stored(2, 2));
    EXPECT_EQ(kBottomLeft, stored(2, kHeight - 3));
    EXPECT_EQ(kRight, stored(kWidth - 1, kHeight - 1));
    // Padding at the end of each row stays zero.
    EXPECT_EQ(0, file[headers + stride - 1]);
}

} // namespace
