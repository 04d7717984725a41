#pragma once
#include <windows.h>

// Why a rename was refused, in a balloon of the dialog's own that points at
// the name field. Shows the system's text for error; a second call shows the
// new reason. Where the balloon cannot be made, nothing shows.
void ShowReason(HWND dialog, HWND field, DWORD error);

// The system's own text for an error code, in the user's language, without
// its trailing line break; "Error N" when the system has none or it does not
// fit. In a fixed buffer of size characters (at least 17), so that saying
// why needs no memory of ours.
void ReasonText(DWORD error, wchar_t* text, DWORD size);

// Takes the balloon away, when it no longer applies.
void HideReason();

// Destroys the balloon, which keeps the scale it was made at; the next
// reason makes it anew.
void DestroyReason();
