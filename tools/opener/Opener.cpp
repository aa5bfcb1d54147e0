// The test prefix's program for .htm files: what the lesson asks the shell to
// open arrives here as the command-line argument, and is appended as one line,
// with how the window is to be shown ("path|5" for SW_SHOW), to the file named
// by TONARIUM_OPEN_LOG. Without that variable it does nothing.

#include <windows.h>

#include <algorithm>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int show) {
    char log[MAX_PATH] = {};
    const DWORD logLength = GetEnvironmentVariableA("TONARIUM_OPEN_LOG", log, MAX_PATH);
    if (logLength == 0 || logLength >= MAX_PATH) {
        return 0;
    }
    // The shell passes "%1" quoted; the line holds the bare path and the show command.
    std::string line(commandLine);
    line.erase(std::remove(line.begin(), line.end(), '"'), line.end());
    line += "|" + std::to_string(show) + "\n";
    // One write on a handle opened for appending, so a reader sees the line whole.
    const HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool whole =
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
        written == line.size();
    CloseHandle(file);
    return whole ? 0 : 1;
}
