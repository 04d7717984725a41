#include "win/ctrl_backspace.h"

#include <string>

#include "util/word.h"

namespace {

constexpr wchar_t kDelete = 0x7F;

// The field's length at its last change, to tell a character typed at the
// caret from one typed over a selection.
int g_fieldLength = 0;
// Set while the field is edited from here, whose own change notifications
// must not be taken for the user's.
bool g_editingField = false;

bool KeyHeld(int key) { return GetKeyState(key) < 0; }

int FieldLength(HWND field) { return static_cast<int>(SendMessageW(field, EM_LINELENGTH, 0, 0)); }

std::wstring FieldText(HWND field) {
    const int units = GetWindowTextLengthW(field);
    std::wstring text(static_cast<std::size_t>(units > 0 ? units : 0) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(field, &text[0], static_cast<int>(text.size()))));
    return text;
}

// Replaces the selection from..to with nothing, undoably or not.
void Erase(HWND field, DWORD from, DWORD to, BOOL undoable) {
    SendMessageW(field, EM_SETSEL, from, to);
    SendMessageW(field, EM_REPLACESEL, undoable, reinterpret_cast<LPARAM>(L""));
}

} // namespace

void NoteFieldLength(HWND field) { g_fieldLength = FieldLength(field); }

// Positions count UTF-16 units: common controls 6 keep UTF-16 text (EM_GETHANDLE).
void TakeCtrlBackspace(HWND field) {
    const int length = FieldLength(field);
    const bool overSelection = g_fieldLength - (length - 1) > 0;
    g_fieldLength = length;
    if (g_editingField || !KeyHeld(VK_CONTROL) || !KeyHeld(VK_BACK)) return;
    DWORD start = 0, end = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start != end || start == 0) return;
    const std::wstring text = FieldText(field);
    if (start > text.size() || text[start - 1] != kDelete) return;
    const DWORD del = start - 1;
    const DWORD from = overSelection ? del : static_cast<DWORD>(WordStart(text, del));
    g_editingField = true;
    // The control undoes one edit, which would bring the DEL back with what
    // it replaced: it goes in an edit that cannot be undone, and the undo
    // with it. Then the word goes in one that can, for Ctrl+Z to restore.
    Erase(field, del, start, FALSE);
    SendMessageW(field, EM_EMPTYUNDOBUFFER, 0, 0);
    if (from < del) Erase(field, from, del, TRUE);
    g_editingField = false;
}
