#pragma once
#include <windows.h>

// Windows' edit control types Ctrl+Backspace as a DEL character. Like
// Explorer's rename box, take one that just arrived at the caret, with Ctrl
// and Backspace held, for erasing the word before it; or, typed over a
// selection, for erasing the selection alone. A DEL already in the name, or
// pasted, stays. Ctrl+Z then brings the word back, never the DEL; after a
// selection was erased, it brings nothing back. Called on each change of
// the field (EN_UPDATE).
void TakeCtrlBackspace(HWND field);

// Remembers the field's length once its text is set.
void NoteFieldLength(HWND field);
