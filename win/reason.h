#pragma once
#include <windows.h>

// Why a rename was refused, in a balloon of the dialog's own that points at
// the name field. Shows the system's text for error; a second call shows the
// new reason. Where the balloon cannot be made, nothing shows.
void ShowReason(HWND dialog, HWND field, DWORD error);

// Takes the balloon away, when it no longer applies.
void HideReason();
