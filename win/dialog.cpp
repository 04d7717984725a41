#include "win/dialog.h"

#include <commctrl.h>

#include "core/rename_target.h"
#include "res/resource.h"
#include "util/window_text.h"

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
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, static_cast<LPARAM>(shown.selectionEnd));
    return 0; // the focus is set; the dialog manager must not move it
}

// Every way out ends here, with the result 0.
INT_PTR OnClose(HWND dialog, UINT, WPARAM, LPARAM) {
    EndDialog(dialog, 0);
    return 1;
}

// The system's own text for an error code, in the user's language, without
// its trailing line break; in a fixed buffer, so that saying why needs no
// memory. Empty when the system has none.
void SystemMessage(DWORD error, wchar_t* text, DWORD size) {
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  0, text, size, nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n'))
        --length;
    text[length] = L'\0';
}

// Hands the field back with the whole typed name selected, sounds the error
// and says why in a balloon on the field, as the shell's own in-place rename
// does. Where the common controls cannot show one (Wine's), the sound and
// the open dialog remain.
void ShowRefusal(HWND dialog, DWORD error) {
    HWND edit = GetDlgItem(dialog, IDC_NEW_NAME);
    // Through the dialog manager, so that OK stays the default button after
    // a click on it took the focus.
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    MessageBeep(MB_ICONERROR);
    wchar_t reason[512];
    SystemMessage(error, reason, sizeof reason / sizeof reason[0]);
    EDITBALLOONTIP tip{sizeof tip, L"Nothing was renamed", reason, TTI_ERROR};
    SendMessageW(edit, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip));
}

// Renames to the field's text, then closes; a refused new name keeps the
// dialog open for another try.
INT_PTR OnOk(HWND dialog, UINT, WPARAM, LPARAM) {
    const RenameOutcome outcome = CommitRename(WindowText(GetDlgItem(dialog, IDC_NEW_NAME)));
    if (outcome.result == RenameResult::Refused) {
        ShowRefusal(dialog, outcome.error);
        return 0;
    }
    return SendMessageA(dialog, WM_CLOSE, 0, 0);
}

// Closes without renaming.
INT_PTR OnCancel(HWND dialog, UINT, WPARAM, LPARAM) { return SendMessageA(dialog, WM_CLOSE, 0, 0); }

// Acts on OK and Cancel only; control notifications are ignored.
INT_PTR OnCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != 0) return 0;
    switch (LOWORD(wParam)) {
    case IDOK:
        return OnOk(dialog, message, wParam, lParam);
    case IDCANCEL:
        return OnCancel(dialog, message, wParam, lParam);
    default:
        return 0;
    }
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
    default:
        return 0;
    }
}
