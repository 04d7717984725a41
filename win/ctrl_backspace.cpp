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

// The field's text in UTF-16, with its caret there, read from a caret in
// the control's own units: characters, or bytes where the control keeps
// ANSI text in a multi-byte code page.
struct FieldText {
    std::wstring text;
    DWORD caret;
    bool inBytes;
};

FieldText ReadField(HWND field, int length, DWORD caret) {
    const int units = GetWindowTextLengthW(field);
    FieldText shown{std::wstring(static_cast<std::size_t>(units > 0 ? units : 0) + 1, L'\0'), caret, false};
    shown.text.resize(
        static_cast<std::size_t>(GetWindowTextW(field, &shown.text[0], static_cast<int>(shown.text.size()))));
    shown.inBytes = static_cast<int>(shown.text.size()) != length;
    if (shown.inBytes) {
        const std::string ansi = WindowText(field);
        shown.caret = static_cast<DWORD>(MultiByteToWideChar(
            CP_ACP, 0, ansi.data(), static_cast<int>(caret < ansi.size() ? caret : ansi.size()), nullptr, 0));
    }
    return shown;
}

// How many of the control's units the characters from..to take.
DWORD UnitsOf(const FieldText& shown, std::size_t from, std::size_t to) {
    if (!shown.inBytes) return static_cast<DWORD>(to - from);
    return static_cast<DWORD>(WideCharToMultiByte(CP_ACP, 0, shown.text.data() + from,
                                                  static_cast<int>(to - from), nullptr, 0, nullptr, nullptr));
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
    const FieldText shown = ReadField(field, length, start);
    if (shown.caret == 0 || shown.caret > shown.text.size() || shown.text[shown.caret - 1] != kDelete) return;
    DWORD from = start - 1;
    if (!overSelection) {
        const DWORD word = UnitsOf(shown, WordStart(shown.text, shown.caret - 1), shown.caret - 1);
        from = word <= from ? from - word : 0;
    }
    g_editingField = true;
    SendMessageW(field, EM_SETSEL, from, start);
    SendMessageW(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
    g_editingField = false;
}
