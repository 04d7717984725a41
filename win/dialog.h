#pragma once
#include <windows.h>

// The rename dialog's procedure, for DialogBoxParamA with template IDD_RENAME.
INT_PTR CALLBACK PromptDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
