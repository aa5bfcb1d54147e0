#pragma once

#include <windows.h>

#include <vector>

// A picture of part of the screen: rows from the top, three bytes a pixel in
// the order blue, green, red, no padding between rows.
struct ScreenPicture {
    int width = 0;
    int height = 0;
    std::vector<BYTE> bgr;

    // The colour of a pixel as RGB(); CLR_INVALID outside the picture.
    COLORREF Pixel(int x, int y) const;
};

// What the screen shows where the window lies, its frame included; an empty
// picture when the window does not exist or the screen cannot be read.
ScreenPicture CaptureWindowArea(HWND window);

// Writes the picture as a 24-bit .bmp file. False when it is empty or the
// file cannot be written.
bool SavePicture(const ScreenPicture& picture, const char* path);

// CaptureWindowArea, then SavePicture.
bool SaveWindowScreenshot(HWND window, const char* path);
