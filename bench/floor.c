/* The least program that shows the rename dialog: the same template and
   resources, focus in the name field, closed by any way out. The start-up
   benchmark's reference. */
#include <windows.h>

static INT_PTR CALLBACK FloorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        SetFocus(GetDlgItem(dialog, 201));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show) {
    (void)previous;
    (void)line;
    (void)show;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(102), NULL, FloorProc, 0);
    ExitProcess(0);
}
