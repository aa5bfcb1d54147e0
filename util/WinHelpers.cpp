#include "util/WinHelpers.h"

#include <algorithm>
#include <cstring>

namespace {

// The last path separator in path, or null. Walks forward, so that the second byte of a
// double-byte character is never taken for a backslash. Only the backslash counts: every path
// given here comes from GetModuleFileNameA, whose full paths the system writes with backslashes.
const char* Last_Separator(const char* path) {
    const char* last = nullptr;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\') {
            last = p;
        } else if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0') {
            ++p;
        }
    }
    return last;
}

} // namespace

std::size_t BoundedLength(const char* text, std::size_t size) {
    const void* terminator = std::memchr(text, '\0', size);
    return terminator ? static_cast<std::size_t>(static_cast<const char*>(terminator) - text)
                      : size;
}

bool ModulePath(HINSTANCE instance, char (&path)[MAX_PATH]) {
    const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    // A path that filled the whole buffer was cut short.
    if (length == 0 || length >= MAX_PATH) {
        path[0] = '\0';
        return false;
    }
    return true;
}

bool MakeSettingsPath(const char* modulePath, char* out, std::size_t outSize) {
    const char* separator = Last_Separator(modulePath);
    const char* dot = std::strrchr(separator != nullptr ? separator : modulePath, '.');
    const std::size_t length = std::strlen(modulePath);
    // Up to and including the extension's dot; one is added when the name has none.
    const std::size_t kept =
        dot != nullptr ? static_cast<std::size_t>(dot - modulePath) + 1 : length;
    const char* suffix = dot != nullptr ? "ini" : ".ini";
    const std::size_t suffixLength = std::strlen(suffix);
    if (kept + suffixLength >= outSize) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, modulePath, kept);
    std::memcpy(out + kept, suffix, suffixLength + 1);
    return true;
}

char* JoinBesideModulePath(char* buffer, const char* modulePath) {
    const std::size_t nameLength = BoundedLength(buffer, MAX_PATH);
    const char* lastSeparator = Last_Separator(modulePath);
    if (!lastSeparator || nameLength == MAX_PATH) {
        buffer[0] = '\0';
        return buffer;
    }
    const std::size_t directoryLength = static_cast<std::size_t>(lastSeparator - modulePath);
    // Directory, separator, name and terminator must all fit.
    if (directoryLength + 1 + nameLength + 1 > MAX_PATH) {
        buffer[0] = '\0';
        return buffer;
    }
    // The name moves right to make room for the directory; memmove copes with the overlap.
    std::memmove(buffer + directoryLength + 1, buffer, nameLength + 1);
    std::memcpy(buffer, modulePath, directoryLength);
    buffer[directoryLength] = '\\';
    return buffer;
}

char* PathBesideModule(char* buffer, HINSTANCE instance) {
    char modulePath[MAX_PATH];
    if (!ModulePath(instance, modulePath)) {
        buffer[0] = '\0';
        return buffer;
    }
    return JoinBesideModulePath(buffer, modulePath);
}

HFONT MakeFont(int height, bool bold, bool italic, const char* faceName) {
    return CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic ? TRUE : FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, faceName);
}

void ScreenToClientRect(HWND window, RECT* rect) {
    POINT topLeft = {rect->left, rect->top};
    ScreenToClient(window, &topLeft);
    rect->left = topLeft.x;
    rect->top = topLeft.y;
    POINT bottomRight = {rect->right, rect->bottom};
    ScreenToClient(window, &bottomRight);
    rect->right = bottomRight.x;
    rect->bottom = bottomRight.y;
}

void KeepInWorkArea(HWND window) {
    RECT rect = {0, 0, 0, 0};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    // The monitor of the window's corner, where it was opened: one wider than that monitor
    // would otherwise move to whichever other monitor it covers more of.
    if (!GetWindowRect(window, &rect) ||
        !GetMonitorInfoA(MonitorFromPoint({rect.left, rect.top}, MONITOR_DEFAULTTONEAREST),
                         &monitor)) {
        return;
    }
    const RECT& work = monitor.rcWork;
    const LONG left =
        std::max(work.left, std::min(rect.left, work.right - (rect.right - rect.left)));
    const LONG top = std::max(work.top, std::min(rect.top, work.bottom - (rect.bottom - rect.top)));
    if (left != rect.left || top != rect.top) {
        SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}
