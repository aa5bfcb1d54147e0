#include "tests/win/support/Screenshot.h"

#include <cstdio>
#include <cstring>

namespace {

int RowStride(int width) {
    return (width * 3 + 3) / 4 * 4;
}

} // namespace

COLORREF ScreenPicture::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return CLR_INVALID;
    }
    const BYTE* pixel = bgr.data() + (static_cast<size_t>(y) * width + x) * 3;
    return RGB(pixel[2], pixel[1], pixel[0]);
}

ScreenPicture CaptureWindowArea(HWND window) {
    ScreenPicture picture;
    RECT area = {};
    if (!IsWindow(window) || !GetWindowRect(window, &area)) {
        return picture;
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return picture;
    }

    // A top-down 24-bit section, so rows come out in screen order.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (memory != nullptr && section != nullptr && bits != nullptr) {
        HGDIOBJ previous = SelectObject(memory, section);
        copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top,
                        SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        SelectObject(memory, previous);
    }
    if (copied) {
        picture.width = width;
        picture.height = height;
        picture.bgr.resize(static_cast<size_t>(width) * height * 3);
        const BYTE* source = static_cast<const BYTE*>(bits);
        for (int y = 0; y < height; ++y) {
            std::memcpy(picture.bgr.data() + static_cast<size_t>(y) * width * 3,
                        source + static_cast<size_t>(y) * RowStride(width),
                        static_cast<size_t>(width) * 3);
        }
    }
    if (section != nullptr) {
        DeleteObject(section);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    return picture;
}

bool SavePicture(const ScreenPicture& picture, const char* path) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.bgr.size() != static_cast<size_t>(picture.width) * picture.height * 3) {
        return false;
    }
    const int stride = RowStride(picture.width);
    const DWORD imageSize = static_cast<DWORD>(stride) * picture.height;

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = picture.width;
    header.biHeight = picture.height; // bottom row first, as most readers expect
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = imageSize;

    FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        return false;
    }
    bool written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                   std::fwrite(&header, sizeof header, 1, out) == 1;
    std::vector<BYTE> row(static_cast<size_t>(stride), 0);
    for (int y = picture.height - 1; y >= 0 && written; --y) {
        std::memcpy(row.data(), picture.bgr.data() + static_cast<size_t>(y) * picture.width * 3,
                    static_cast<size_t>(picture.width) * 3);
        written = std::fwrite(row.data(), row.size(), 1, out) == 1;
    }
    return std::fclose(out) == 0 && written;
}

bool SaveWindowScreenshot(HWND window, const char* path) {
    return SavePicture(CaptureWindowArea(window), path);
}
