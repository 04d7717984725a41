#include "win/dialog.h"

#include "core/rename_target.h"
#include "res/resource.h"
#include "util/window_text.h"
#include "win/code_page.h"
#include "win/ctrl_backspace.h"
#include "win/reason.h"

namespace {

// Shows the prompt and the name, all of it selected, with the focus on it.
INT_PTR OnInitDialog(HWND dialog, UINT, WPARAM, LPARAM) {
    const RenamePrompt shown = PrepareRename();
    // Show an ampersand in a name as itself, not as a mnemonic underline, and
    // end a prompt too long for its control in an ellipsis, not mid-letter.
    HWND prompt = GetDlgItem(dialog, IDC_PROMPT);
    SetWindowLongPtrA(prompt, GWL_STYLE, GetWindowLongPtrA(prompt, GWL_STYLE) | SS_NOPREFIX | SS_ENDELLIPSIS);
    // Screen readers name the field after the static text just before it in
    // z-order; the tab order of the tab stops stays OK, Cancel, field.
    SetWindowPos(prompt, GetDlgItem(dialog, IDCANCEL), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetDlgItemTextA(dialog, IDC_PROMPT, shown.prompt.c_str());
    SetDlgItemTextA(dialog, IDC_NEW_NAME, shown.initialText.c_str());
    HWND edit = GetDlgItem(dialog, IDC_NEW_NAME);
    NoteFieldLength(edit);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, static_cast<LPARAM>(shown.selectionEnd));
    return 0; // the focus is set; the dialog manager must not move it
}

// Every way out ends here, with the result 0.
INT_PTR OnClose(HWND dialog, UINT, WPARAM, LPARAM) {
    HideReason();
    EndDialog(dialog, 0);
    return 1;
}

// Hands the field back with the whole typed name selected, sounds the error
// and says why in a balloon on the field. Where the balloon cannot be
// shown, the sound and the open dialog remain.
void ShowRefusal(HWND dialog, DWORD error) {
    HWND edit = GetDlgItem(dialog, IDC_NEW_NAME);
    // Through the dialog manager, so that OK stays the default button after
    // a click on it took the focus.
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    MessageBeep(MB_ICONERROR);
    ShowReason(dialog, edit, error);
}

// Renames to the field's text, then closes; a refused new name keeps the
// dialog open for another try. A name that the code page turned into a
// look-alike is refused before anything is renamed.
INT_PTR OnOk(HWND dialog, UINT, WPARAM, LPARAM) {
    HWND field = GetDlgItem(dialog, IDC_NEW_NAME);
    const std::string typed = WindowText(field);
    if (!typed.empty() && !NamesAreExact(field, typed)) {
        ShowRefusal(dialog, ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    const RenameOutcome outcome = CommitRename(typed);
    if (outcome.result == RenameResult::Refused) {
        ShowRefusal(dialog, outcome.error);
        return 0;
    }
    return SendMessageA(dialog, WM_CLOSE, 0, 0);
}

// Closes without renaming.
INT_PTR OnCancel(HWND dialog, UINT, WPARAM, LPARAM) { return SendMessageA(dialog, WM_CLOSE, 0, 0); }

// Takes Ctrl+Backspace's DEL for a word erase. A refusal's reason no
// longer applies once the name is edited or the field has lost the focus.
INT_PTR OnNameNotification(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == EN_UPDATE) TakeCtrlBackspace(reinterpret_cast<HWND>(lParam));
    if (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == EN_KILLFOCUS) HideReason();
    return 0;
}

// Acts on OK and Cancel; of the controls' notifications, only on the name
// field's, for Ctrl+Backspace and the refusal's reason.
INT_PTR OnCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != 0) return LOWORD(wParam) == IDC_NEW_NAME ? OnNameNotification(wParam, lParam) : 0;
    switch (LOWORD(wParam)) {
    case IDOK:
        return OnOk(dialog, message, wParam, lParam);
    case IDCANCEL:
        return OnCancel(dialog, message, wParam, lParam);
    default:
        return 0;
    }
}

// The reason's balloon points at where the field was: it goes.
INT_PTR OnMove(HWND, UINT, WPARAM, LPARAM) {
    HideReason();
    return 0;
}

// The balloon keeps the scale it was made at, so it goes; a later refusal
// makes it anew on the monitor where it shows. Then the default handling:
// per-monitor v2 (Windows 10 1703 and later) rescales the dialog and its
// fonts; Windows 8.1's per-monitor v1 rescales nothing, and the dialog
// keeps the size and fonts it opened with.
INT_PTR OnDpiChanged(HWND, UINT, WPARAM, LPARAM) {
    DestroyReason();
    return 0;
}

} // namespace

// Built without C++ exceptions (win/memory.cpp ends the run when memory runs
// out), so none can unwind into the system's dialog code.
INT_PTR CALLBACK PromptDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        return OnClose(dialog, message, wParam, lParam);
    case WM_INITDIALOG:
        return OnInitDialog(dialog, message, wParam, lParam);
    case WM_COMMAND:
        return OnCommand(dialog, message, wParam, lParam);
    case WM_MOVE:
        return OnMove(dialog, message, wParam, lParam);
    case WM_DPICHANGED:
        return OnDpiChanged(dialog, message, wParam, lParam);
    default:
        return 0;
    }
}
