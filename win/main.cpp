// Program entry: show the rename dialog when there is something to rename.
#include <windows.h>

#include "core/arguments.h"
#include "core/rename_target.h"
#include "res/resource.h"
#include "win/dialog.h"
#include "win/shutdown.h"

namespace {

constexpr UINT kOutOfMemoryStatus = 203;

[[noreturn]] void ExitWith(UINT status) {
    ReleaseRenameTarget();
    ExitProcess(status);
}

} // namespace

void Shutdown() { ExitWith(0); }

void ExitOutOfMemory() { ExitWith(kOutOfMemoryStatus); }

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (ArgumentCount() >= 1) {
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_RENAME), nullptr, PromptDialogProc, 0);
    }
    Shutdown();
}
