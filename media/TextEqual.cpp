#include "media/TextEqual.h"

#include <cstring>

namespace {

bool In_FoldRange(signed char c) {
    return c >= 'A' && c <= 'z';
}

// Inside 'A'..'z' only the letter pairs A-Z / a-z lie exactly 32 apart, so
// this folds ASCII case and nothing else. Taking the bytes as signed keeps
// everything from 128 up outside the range.
bool Chars_Match(char a, char b, bool exact) {
    if (a == b) {
        return true;
    }
    if (exact) {
        return false;
    }
    const signed char sa = static_cast<signed char>(a);
    const signed char sb = static_cast<signed char>(b);
    if (!In_FoldRange(sa) || !In_FoldRange(sb)) {
        return false;
    }
    return sa - sb == 32 || sb - sa == 32;
}

} // namespace

bool TextEqual(const char* a, const char* b, bool exact) {
    if (a == nullptr || b == nullptr) {
        return false;
    }
    const std::size_t length = std::strlen(a);
    if (length != std::strlen(b)) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (!Chars_Match(a[i], b[i], exact)) {
            return false;
        }
    }
    return true;
}
