// Program entry: show the rename dialog when there is something to rename.
#include <windows.h>

#include <new>

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

// Replaces libstdc++'s default terminate handler, which would describe the
// exception on a console this program does not have and pulls in the symbol
// demangler, a quarter of the executable. An exception can only escape here
// from a failed allocation.
namespace __gnu_cxx {
void __verbose_terminate_handler() { ExitOutOfMemory(); }
} // namespace __gnu_cxx

void Shutdown() { ExitWith(0); }

void ExitOutOfMemory() { ExitWith(kOutOfMemoryStatus); }

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::set_new_handler(ExitOutOfMemory);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (ArgumentCount() >= 1) {
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_RENAME), nullptr, PromptDialogProc, 0);
    }
    Shutdown();
}
