#include "util/word.h"

namespace {

enum class CharClass { Blank, Letter, Mark };

CharClass ClassOf(wchar_t c) {
    if (c == L' ' || c == L'\t' || c == 0x00A0 || c == 0x3000) return CharClass::Blank;
    if (c >= 0x80 || c == L'_' || (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') ||
        (c >= L'a' && c <= L'z'))
        return CharClass::Letter;
    return CharClass::Mark;
}

} // namespace

std::size_t WordStart(const std::wstring& text, std::size_t end) {
    std::size_t i = end < text.size() ? end : text.size();
    while (i > 0 && ClassOf(text[i - 1]) == CharClass::Blank)
        --i;
    if (i == 0) return 0;
    const CharClass word = ClassOf(text[i - 1]);
    while (i > 0 && ClassOf(text[i - 1]) == word)
        --i;
    return i;
}
