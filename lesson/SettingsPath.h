#pragma once

#include <cstddef>

// Turns the executable's full path into the settings file path: the extension
// of the file name (the part after the last '\\', '/' or ':') becomes "ini",
// or ".ini" is appended when the name has none. When the result does not fit
// in outSize bytes (or there is no input), out is left empty and false comes
// back; an empty settings path means the lesson runs without a settings file.
bool MakeSettingsPath(const char* modulePath, char* out, std::size_t outSize);
