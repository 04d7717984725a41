#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

// Where the process's code page is not UTF-8 (Windows before 10 version
// 1903, or a system that ignores the manifest's setting), the ANSI entry
// points turn a character outside the code page into a look-alike ("best
// fit": a full-width letter into a plain one, U+FF02 into a double quote),
// so that the tool would act on a name the user never chose.

// Whether ansi is the wide text exactly, in the process's code page: no
// character replaced by a look-alike or a default, no unpaired surrogate.
bool IsExactAnsi(const wchar_t* wide, std::size_t length, const std::string& ansi);

// Whether every name a rename would pass is the one the user sees: the first
// argument, the current directory where it supplies the directory, and the
// typed text, read from the field.
bool NamesAreExact(HWND field, const std::string& typed);
