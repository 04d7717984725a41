#include "win/code_page.h"

#include "core/arguments.h"
#include "util/path.h"

namespace {

// The first argument as the ANSI command line has it against its UTF-16
// form, token for token: a look-alike quote or blank anywhere before or in
// it moves where it lies, and so fails too.
bool FirstArgumentIsExact() {
    const ArgumentSpan<char> ansi = FirstArgumentSpan(GetCommandLineA());
    const ArgumentSpan<wchar_t> wide = FirstArgumentSpan(GetCommandLineW());
    return IsExactAnsi(wide.begin, static_cast<std::size_t>(wide.end - wide.begin),
                       std::string(ansi.begin, ansi.end));
}

// The current directory, which names the target's folder when the argument
// names none.
bool CurrentDirectoryIsExact() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring wide(size, L'\0');
    const DWORD length = size ? GetCurrentDirectoryW(size, &wide[0]) : 0;
    if (size && length >= size) return false; // changed meanwhile: take no chances
    return IsExactAnsi(wide.data(), length, CurrentDirectory());
}

bool WindowTextIsExact(HWND window, const std::string& ansi) {
    const int length = GetWindowTextLengthW(window);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = GetWindowTextW(window, &wide[0], static_cast<int>(wide.size()));
    return IsExactAnsi(wide.data(), static_cast<std::size_t>(copied > 0 ? copied : 0), ansi);
}

} // namespace

bool IsExactAnsi(const wchar_t* wide, std::size_t length, const std::string& ansi) {
    if (length == 0) return ansi.empty();
    // UTF-8 has no look-alikes, only replacement characters, which
    // WC_ERR_INVALID_CHARS refuses; it allows no used-default flag. That
    // flag is documented for CP_UTF8 itself, not for CP_ACP that is UTF-8.
    const bool utf8 = GetACP() == CP_UTF8;
    const UINT codePage = utf8 ? CP_UTF8 : CP_ACP;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const int units = static_cast<int>(length);
    const int size = WideCharToMultiByte(codePage, flags, wide, units, nullptr, 0, nullptr, used);
    if (size <= 0 || usedDefault || static_cast<std::size_t>(size) != ansi.size()) return false;
    std::string exact(static_cast<std::size_t>(size), '\0');
    return WideCharToMultiByte(codePage, flags, wide, units, &exact[0], size, nullptr, used) == size &&
           !usedDefault && exact == ansi;
}

bool NamesAreExact(HWND field, const std::string& typed) {
    if (!FirstArgumentIsExact()) return false;
    if (DirectoryPart(Argument(1)).empty() && !CurrentDirectoryIsExact()) return false;
    return WindowTextIsExact(field, typed);
}
