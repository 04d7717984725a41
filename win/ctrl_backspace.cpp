#include "win/ctrl_backspace.h"

#include <string>

#include "util/window_text.h"
#include "util/word.h"

namespace {

constexpr wchar_t kDelete = 0x7F;

// The field's length at its last change, in the control's own units, to
// tell a character typed at the caret from one typed over a selection.
int g_fieldLength = 0;
// Set while the field is edited from here, whose own change notifications
// must not be taken for the user's.
bool g_editingField = false;

bool KeyHeld(int key) { return GetKeyState(key) < 0; }

// The field's text in UTF-16, and where its caret is in it, from a caret
// position in the control's own units: characters, or bytes where the
// control keeps ANSI text in a multi-byte code page.
std::wstring FieldText(HWND field, int length, DWORD caret, DWORD* wideCaret) {
    const int units = GetWindowTextLengthW(field);
    std::wstring text(static_cast<std::size_t>(units > 0 ? units : 0) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(field, &text[0], static_cast<int>(text.size()))));
    *wideCaret = caret;
    if (static_cast<int>(text.size()) != length) {
        const std::string ansi = WindowText(field);
        *wideCaret = static_cast<DWORD>(MultiByteToWideChar(
            CP_ACP, 0, ansi.data(), static_cast<int>(caret < ansi.size() ? caret : ansi.size()), nullptr, 0));
    }
    return text;
}

} // namespace

void NoteFieldLength(HWND field) {
    g_fieldLength = static_cast<int>(SendMessageW(field, EM_LINELENGTH, 0, 0));
}

void TakeCtrlBackspace(HWND field) {
    const int length = static_cast<int>(SendMessageW(field, EM_LINELENGTH, 0, 0));
    const bool overSelection = g_fieldLength - (length - 1) > 0;
    g_fieldLength = length;
    if (g_editingField || !KeyHeld(VK_CONTROL) || !KeyHeld(VK_BACK)) return;
    DWORD start = 0, end = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start != end || start == 0) return;
    DWORD caret = 0;
    const std::wstring text = FieldText(field, length, start, &caret);
    if (caret == 0 || caret > text.size() || text[caret - 1] != kDelete) return;
    DWORD from = start - 1;
    if (!overSelection) {
        const std::size_t word = WordStart(text, caret - 1);
        const int bytes = WideCharToMultiByte(
            CP_ACP, 0, text.data() + word, static_cast<int>(caret - 1 - word), nullptr, 0, nullptr, nullptr);
        const DWORD units = static_cast<int>(text.size()) == length ? caret - 1 - static_cast<DWORD>(word)
                                                                    : static_cast<DWORD>(bytes);
        from = units <= from ? from - units : 0;
    }
    g_editingField = true;
    SendMessageW(field, EM_SETSEL, from, start);
    SendMessageW(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
    g_editingField = false;
}
