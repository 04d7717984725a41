#include "util/window_text.h"

#include <climits>

namespace {

// The most bytes one character takes in any ANSI code page (UTF-8, for a
// UTF-16 surrogate pair).
constexpr int kLongestCharacter = 4;

} // namespace

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    int size = (length > 0 ? length : 0) + 1;
    std::string text;
    for (;;) {
        text.assign(static_cast<std::size_t>(size), '\0');
        const int copied = GetWindowTextA(window, &text[0], size);
        text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        // The length is only a bound for double-byte code pages, and under
        // UTF-8 it can fall short. A copy that comes within one character of
        // the buffer's end may have been cut, at the end or at the last whole
        // character before it: read again with more room.
        if (copied < size - kLongestCharacter || size > (INT_MAX - kLongestCharacter) / 2) return text;
        size = 2 * size + kLongestCharacter;
    }
}
