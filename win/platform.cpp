// The rename logic's platform calls, on the Win32 ANSI entry points.
#include <windows.h>

#include "util/platform.h"

const char* PlatformCommandLine() { return GetCommandLineA(); }

unsigned long PlatformCurrentDirectory(unsigned long size, char* buffer) {
    return GetCurrentDirectoryA(size, buffer);
}

bool PlatformIsLeadByte(unsigned char value) { return IsDBCSLeadByte(value) != FALSE; }

MoveResult PlatformMoveFile(const char* existing, const char* replacement) {
    if (MoveFileA(existing, replacement)) return {true, 0};
    return {false, GetLastError()};
}
