#pragma once

// Releases the target state and ends the process with status 0.
[[noreturn]] void Shutdown();

// Releases the target state and ends the process with status 203, showing
// nothing; called when memory runs out.
[[noreturn]] void ExitOutOfMemory();
