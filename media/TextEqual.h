#pragma once

// Compares two zero-terminated texts. A null text equals nothing, not even
// another null. Without the exact flag, ASCII letters match regardless of
// case; every other byte, including the bytes of double-byte characters from
// 128 up, must be identical.
bool TextEqual(const char* a, const char* b, bool exact);
