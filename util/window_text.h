#pragma once
#include <windows.h>

#include <string>

// The whole text of a window or control, in the ANSI code page.
std::string WindowText(HWND window);
