#pragma once
// What the rename logic asks of the operating system. The real
// implementation lives in win/platform.cpp; unit tests link their own.

// The process's raw command line, NUL-terminated, owned by the system
// (GetCommandLineA).
const char* PlatformCommandLine();

// Fills buffer with the current directory and returns its length without the
// NUL; when size is too small, fills nothing and returns the size it needs;
// 0 on failure (GetCurrentDirectoryA).
unsigned long PlatformCurrentDirectory(unsigned long size, char* buffer);

// Whether value begins a double-byte character in the process's ANSI code
// page (IsDBCSLeadByte): under 932, 936, 949 and 950 the byte after it may
// be a backslash's; under UTF-8 and single-byte code pages none is.
bool PlatformIsLeadByte(unsigned char value);

// How the system answered a rename.
struct MoveResult {
    bool moved;
    unsigned long error; // the system's error code when not moved
};

// Renames existing to replacement (MoveFileA, its error read at once).
MoveResult PlatformMoveFile(const char* existing, const char* replacement);
