#include "lesson/SettingsPath.h"

#include <cstring>

bool MakeSettingsPath(const char* modulePath, char* out, std::size_t outSize) {
    if (out == nullptr || outSize == 0) {
        return false;
    }
    if (modulePath == nullptr) {
        out[0] = '\0';
        return false;
    }

    const std::size_t length = std::strlen(modulePath);
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = modulePath[i];
        if (c == '\\' || c == '/' || c == ':') {
            nameStart = i + 1;
        }
    }
    const char* dot = std::strrchr(modulePath + nameStart, '.');
    // Keep everything up to and including the extension's dot; add one when
    // the name has no extension.
    const std::size_t kept =
        dot != nullptr ? static_cast<std::size_t>(dot - modulePath) + 1 : length;
    const char* suffix = dot != nullptr ? "ini" : ".ini";
    const std::size_t suffixLength = std::strlen(suffix);
    if (kept + suffixLength >= outSize) {
        out[0] = '\0';
        return false;
    }
    // The caller may convert the path in place.
    std::memmove(out, modulePath, kept);
    std::memcpy(out + kept, suffix, suffixLength + 1);
    return true;
}
