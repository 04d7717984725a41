#pragma once
// What the probe's verbs share: finding the dialog and reading windows of
// another process.
#include <windows.h>

#include <cstdio>
#include <string>

// Exit statuses that no runtime uses for a crash: msvcrt's abort() ends with
// 3 and Wine's failed start with 1, and under Wine only the low byte of a
// Windows status such as 0xC0000005 reaches Linux.
constexpr int kDone = 0;
constexpr int kRefused = 64; // the verb could not do what was asked; it says why
constexpr int kBadUsage = 65;
constexpr int kFileError = 66; // a file could not be read or written

constexpr int kEditId = 201;
constexpr DWORD kDefaultLimitMs = 20000;

extern DWORD gProcess; // the process whose dialog counts; 0: any

// Ends an answer file with the line that says it is complete, and closes
// it; status, or kFileError when the file could not be written.
int Finish(FILE* out, int status);

std::string Utf8(const std::wstring& text);
std::wstring Wide(const char* utf8);

// A window's text in UTF-8, asked of the window itself.
std::string WindowTextUtf8(HWND window);

// A window as a failure's message names it: text, class and process.
std::string Describe(HWND window);

// The first rename dialog in z-order, of gProcess if set.
HWND FindDialog();

// The window with the keyboard focus in the dialog's thread.
HWND FocusOf(HWND dialog);

// Waits until the dialog is ready to type into; nullptr when it never is.
HWND WaitForDialog(DWORD limitMs);

// The input verb: takes the foreground for the dialog, checks the focus and
// sends the actions as real input.
int Input(const char* outPath, int expectedFocus, int count, char** actions);

// Sets the foreground lock time-out to timeout milliseconds.
int ForegroundLock(DWORD timeout);
