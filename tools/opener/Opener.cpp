// The test prefix's program for .htm files: what the lesson asks the shell to
// open arrives here as the command-line argument, and is appended as one line
// to the file named by TONARIUM_OPEN_LOG. Without that variable it does nothing.

#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    char logPath[MAX_PATH] = {};
    const DWORD logLength = GetEnvironmentVariableA("TONARIUM_OPEN_LOG", logPath, MAX_PATH);
    if (logLength == 0 || logLength >= MAX_PATH) {
        return 0;
    }
    // The shell passes "%1" quoted; the line holds the path alone.
    const char* path = commandLine + std::strspn(commandLine, " ");
    const char* end = path + std::strlen(path);
    if (*path == '"') {
        ++path;
        end = path + std::strcspn(path, "\"");
    }
    char line[4 * MAX_PATH];
    size_t length = static_cast<size_t>(end - path);
    if (length >= sizeof line) {
        length = sizeof line - 1;
    }
    std::memcpy(line, path, length);
    line[length] = '\n';
    // One write on a handle opened for appending, so a reader sees the line whole.
    const HANDLE file = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    const bool whole = WriteFile(file, line, static_cast<DWORD>(length + 1), &written, nullptr) &&
                       written == length + 1;
    CloseHandle(file);
    return whole ? 0 : 1;
}
