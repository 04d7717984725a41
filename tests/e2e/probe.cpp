// Reads the rename dialog of another process, for the end-to-end tests.
//
// Exit status: 0 done; 64 the verb could not do what was asked (it says why
// where it has an OUT-FILE); 65 bad usage; 66 a file could not be read or
// written: none of them a status that a crash gives. A verb with an OUT-FILE
// creates it before anything else, so that a missing file means that the
// probe never ran, and ends it with the line "end", so that an answer
// without it means that the probe did not finish (it crashed).
//
// usage: probe [--process PID] VERB ...
//   With --process, only the dialog of that process counts: a dialog left
//   by another run is never read, typed into or closed.
// usage: probe dialog OUT-FILE [LIMIT-MS]
//   Waits until the dialog is visible with its edit control present and
//   focused (or a time limit passes), then writes one "key value" line per
//   fact to OUT-FILE; texts in UTF-8.
// usage: probe input OUT-FILE FOCUS ACTION...
//   Makes the dialog the foreground window, checks that control FOCUS (0:
//   any) has the keyboard focus, then performs each ACTION through
//   SendInput, as a user would:
//     key:NAME         a key, with modifiers: Return, Escape, BackSpace, Tab,
//                      alt+F4, ctrl+v
//     text:HEX         the hex-coded UTF-8 text, typed as Unicode input
//     click:ID         a click in the middle of control ID
//     click:close      a click on the dialog's own close button
//   Writes "focus ID" after each action (0 once the dialog has gone), or
//   "error REASON" and exits with 64; a click whose point is not on its
//   control (or on a window that lets clicks through to it) is refused,
//   naming the window there. Where it may set the foreground window, it
//   sets the desktop's foreground lock time-out to 0, for this session
//   only, so that later dialogs come to the front by themselves, and writes
//   "foreground-lock-was MS" when that changed it. Prints which way took
//   the foreground and what became of the lock.
// usage: probe foreground-lock MS
//   Sets the foreground lock time-out back to MS milliseconds.
// usage: probe message OUT-FILE CODE
//   Writes "text TEXT": the system's message for error CODE in the user's
//   language, without its trailing line break.
// usage: probe balloons OUT-FILE
//   Writes "tip LEFT TOP RIGHT BOTTOM TEXT" for each visible tooltip window
//   of the dialog's process (the balloons that it shows).
// usage: probe accessible OUT-FILE
//   Writes "name TEXT", the name that the accessibility layer gives the
//   dialog's edit field, or "error REASON".
// usage: probe screenshot OUT-FILE [LEFT TOP RIGHT BOTTOM]
//   Saves the whole screen as a PNG, or that rectangle of it.
// usage: probe close
//   Waits for the dialog and asks it to close, as the window manager would.
// usage: probe to-right-edge
//   Moves the dialog, as a user would drag it, against the right edge of
//   the primary screen.
// usage: probe clip TEXT-FILE
//   Puts the UTF-8 text of TEXT-FILE on the clipboard.
// usage: probe registry OUT-FILE KEY NAME [KEY NAME ...]
//   For each value NAME ("" for the default) of a key under
//   HKEY_CURRENT_USER or HKEY_CLASSES_ROOT (HKCU\... or HKCR\...), writes
//   "value DATA" (the string in UTF-8), "no-value" or "no-key" to OUT-FILE,
//   one line each: reg.exe would print non-ASCII text in the OEM code page.
#include "probe.h"

#include <gdiplus.h> // these after windows.h, which they need
#include <oleacc.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

DWORD gProcess = 0;

namespace {

constexpr const char* kCaption = "Plintor Rename";
constexpr int kPromptId = 100;

struct Search {
    HWND dialog;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM context) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[16] = "", caption[32] = "";
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, caption, sizeof caption);
    if ((gProcess && owner != gProcess) || std::string(name) != "#32770" || std::string(caption) != kCaption)
        return TRUE;
    reinterpret_cast<Search*>(context)->dialog = window;
    return FALSE;
}

} // namespace

HWND FindDialog() {
    Search search{nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.dialog;
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                        nullptr);
    return bytes;
}

// Whatever the code pages of the two processes; GetWindowText would not ask
// another process's control.
// WM_GETTEXT alone, into a buffer that grows until the text fits: what a
// tooltip answers to WM_GETTEXTLENGTH is documented nowhere.
std::string WindowTextUtf8(HWND window) {
    std::wstring text;
    for (std::size_t size = 512;; size *= 2) {
        text.assign(size, L'\0');
        const LRESULT copied = SendMessageW(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(&text[0]));
        if (copied < 0 || static_cast<std::size_t>(copied) + 1 < size || size >= (1u << 20)) {
            text.resize(copied < 0 ? 0 : std::min(static_cast<std::size_t>(copied), size));
            return Utf8(text);
        }
    }
}

namespace {

// The files of every module loaded in a window's process, ';'-separated:
// the version 6 common controls show there only under a manifest.
std::string ProcessModules(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return "?";
    HMODULE modules[512];
    DWORD bytes = 0;
    std::string list;
    if (EnumProcessModules(process, modules, sizeof modules, &bytes)) {
        for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
            wchar_t path[MAX_PATH] = L"";
            const DWORD length = GetModuleFileNameExW(process, modules[i], path, MAX_PATH);
            list += Utf8(std::wstring(path, length)) + ";";
        }
    }
    CloseHandle(process);
    return list;
}

} // namespace

HWND FocusOf(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

namespace {

bool Ready(HWND dialog) {
    if (!dialog || !IsWindowVisible(dialog)) return false;
    HWND edit = GetDlgItem(dialog, kEditId);
    return edit && FocusOf(dialog) == edit;
}

void WriteRect(FILE* out, const char* key, HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    std::fprintf(out, "%s %ld %ld %ld %ld\n", key, r.left, r.top, r.right, r.bottom);
}

int Dialog(const char* outPath, DWORD limitMs) {
    HWND dialog = nullptr;
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    for (;;) {
        dialog = FindDialog();
        if (Ready(dialog) || GetTickCount64() > deadline) break;
        Sleep(20);
    }
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return kFileError;
    std::fprintf(out, "ready %d\n", Ready(dialog) ? 1 : 0);
    if (dialog) {
        HWND edit = GetDlgItem(dialog, kEditId);
        const DWORD selection = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
        HWND focus = FocusOf(dialog);
        std::fprintf(out, "caption %s\n", WindowTextUtf8(dialog).c_str());
        std::fprintf(out, "prompt %s\n", WindowTextUtf8(GetDlgItem(dialog, kPromptId)).c_str());
        std::fprintf(out, "edit %s\n", WindowTextUtf8(edit).c_str());
        std::fprintf(out, "selection %u %u\n", LOWORD(selection), HIWORD(selection));
        std::fprintf(out, "focus %d\n", focus ? GetDlgCtrlID(focus) : 0);
        HWND beforeEdit = GetWindow(edit, GW_HWNDPREV);
        std::fprintf(out, "before-edit %d\n", beforeEdit ? GetDlgCtrlID(beforeEdit) : 0);
        std::fprintf(out, "prompt-style %#lx\n",
                     static_cast<unsigned long>(GetWindowLongPtrA(GetDlgItem(dialog, kPromptId), GWL_STYLE)));
        WriteRect(out, "dialog", dialog);
        WriteRect(out, "field", edit);
        WriteRect(out, "ok", GetDlgItem(dialog, IDOK));
        WriteRect(out, "cancel", GetDlgItem(dialog, IDCANCEL));
        std::fprintf(out, "modules %s\n", ProcessModules(dialog).c_str());
    }
    return Finish(out, kDone);
}

} // namespace

// A window of the probe's own to own the clipboard: SetClipboardData may
// fail after EmptyClipboard when the clipboard was opened without one.
HWND ClipboardOwner() {
    return CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

// Puts the UTF-8 text of a file on the clipboard, for pasting.
int Clip(const char* textPath) {
    FILE* in = std::fopen(textPath, "rb");
    if (!in) return kFileError;
    std::string bytes;
    for (int c = std::fgetc(in); c != EOF; c = std::fgetc(in))
        bytes += static_cast<char>(c);
    std::fclose(in);
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (static_cast<std::size_t>(units) + 1) * sizeof(wchar_t));
    auto* text = static_cast<wchar_t*>(GlobalLock(memory));
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text, units);
    text[units] = L'\0';
    GlobalUnlock(memory);
    HWND owner = ClipboardOwner();
    if (!owner || !OpenClipboard(owner)) return kRefused;
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    DestroyWindow(owner);
    return placed ? kDone : kRefused;
}

std::wstring Wide(const char* utf8) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &text[0], units);
    text.resize(static_cast<std::size_t>(units > 0 ? units - 1 : 0));
    return text;
}

HWND WaitForDialog(DWORD limitMs) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    HWND dialog = nullptr;
    while (!Ready(dialog = FindDialog())) {
        if (GetTickCount64() > deadline) return nullptr;
        Sleep(20);
    }
    return dialog;
}

int ToRightEdge() {
    HWND dialog = WaitForDialog(kDefaultLimitMs);
    RECT r{};
    if (!dialog || !GetWindowRect(dialog, &r)) return kRefused;
    const int left = GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left);
    return SetWindowPos(dialog, nullptr, left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)
               ? kDone
               : kRefused;
}

// Closes the dialog once it shows, wherever its focus is.
int Close() {
    const ULONGLONG deadline = GetTickCount64() + kDefaultLimitMs;
    HWND dialog = nullptr;
    while (!(dialog = FindDialog()) || !IsWindowVisible(dialog)) {
        if (GetTickCount64() > deadline) return kRefused;
        Sleep(20);
    }
    return PostMessageA(dialog, WM_CLOSE, 0, 0) ? kDone : kRefused;
}

int Message(const char* outPath, DWORD code) {
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return kFileError;
    wchar_t text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  0, text, 512, nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n'))
        --length;
    std::fprintf(out, "text %s\n", Utf8(std::wstring(text, length)).c_str());
    return Finish(out, kDone);
}

BOOL CALLBACK WriteBalloon(HWND window, LPARAM context) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    RECT r{};
    if ((!gProcess || owner == gProcess) && std::string(name) == "tooltips_class32" &&
        IsWindowVisible(window) && GetWindowRect(window, &r))
        std::fprintf(reinterpret_cast<FILE*>(context), "tip %ld %ld %ld %ld %s\n", r.left, r.top, r.right,
                     r.bottom, WindowTextUtf8(window).c_str());
    return TRUE;
}

int Balloons(const char* outPath) {
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return kFileError;
    EnumWindows(WriteBalloon, reinterpret_cast<LPARAM>(out));
    return Finish(out, kDone);
}

// The edit field's name as screen readers hear it; empty, with a reason in
// error, when there is none.
std::string EditName(HWND dialog, std::string* error) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(GetDlgItem(dialog, kEditId), static_cast<DWORD>(OBJID_CLIENT),
                                          IID_IAccessible, reinterpret_cast<void**>(&accessible)))) {
        *error = "no accessible object for the edit field";
        return "";
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::string text;
    if (accessible->get_accName(self, &name) == S_OK && name)
        text = Utf8(std::wstring(name, SysStringLen(name)));
    else
        *error = "the edit field has no accessible name";
    SysFreeString(name);
    accessible->Release();
    return text;
}

int AccessibleName(const char* outPath) {
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return kFileError;
    HWND dialog = WaitForDialog(kDefaultLimitMs);
    std::string error = dialog ? "" : "the dialog is not open and ready";
    CoInitialize(nullptr);
    const std::string name = dialog ? EditName(dialog, &error) : "";
    CoUninitialize();
    if (error.empty())
        std::fprintf(out, "name %s\n", name.c_str());
    else
        std::fprintf(out, "error %s\n", error.c_str());
    return Finish(out, kDone);
}

// The screen, or a rectangle of it, as a PNG: a tenth of a BMP's size.
int Screenshot(const char* outPath, RECT wanted) {
    const RECT screen_rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT area{};
    IntersectRect(&area, &wanted, &screen_rect);
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return kBadUsage;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return kFileError;
    // GDI+'s PNG encoder.
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    Gdiplus::Status saved = Gdiplus::GenericError;
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        saved = image.Save(Wide(outPath).c_str(), &png, nullptr);
    }
    Gdiplus::GdiplusShutdown(token);
    DeleteObject(bitmap);
    return saved == Gdiplus::Ok ? kDone : kFileError;
}

std::string RegistryString(const std::string& path, const char* name) {
    const std::size_t slash = path.find('\\');
    const std::string root = path.substr(0, slash);
    HKEY top = root == "HKCU" ? HKEY_CURRENT_USER : root == "HKCR" ? HKEY_CLASSES_ROOT : nullptr;
    if (!top || slash == std::string::npos) return "bad-key";
    HKEY key = nullptr;
    if (RegOpenKeyExW(top, Wide(path.c_str() + slash + 1).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return "no-key";
    const std::wstring valueName = Wide(name);
    DWORD bytes = 0;
    std::string line = "no-value";
    if (RegGetValueW(key, nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) ==
        ERROR_SUCCESS) {
        std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegGetValueW(key, nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, &data[0], &bytes) ==
            ERROR_SUCCESS) {
            data.resize(bytes / sizeof(wchar_t) - 1); // less the NUL
            line = "value " + Utf8(data);
        }
    }
    RegCloseKey(key);
    return line;
}

int Registry(const char* outPath, int count, char** pairs) {
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return kFileError;
    for (int i = 0; i + 1 < count; i += 2)
        std::fprintf(out, "%s\n", RegistryString(pairs[i], pairs[i + 1]).c_str());
    return Finish(out, kDone);
}

int Finish(FILE* out, int status) {
    std::fprintf(out, "end\n");
    return std::fclose(out) == 0 ? status : kFileError;
}

std::string Describe(HWND window) {
    if (!window) return "no window";
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return "\"" + WindowTextUtf8(window) + "\" (class " + name + ", process " + std::to_string(owner) + ")";
}

bool AnswersInFile(const std::string& verb) {
    for (const char* known : {"dialog", "input", "accessible", "registry", "message", "balloons"})
        if (verb == known) return true;
    return false;
}

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--process") {
        gProcess = std::strtoul(argv[2], nullptr, 10);
        argc -= 2;
        argv += 2;
    }
    if (argc >= 3 && AnswersInFile(argv[1])) {
        FILE* out = std::fopen(argv[2], "wb");
        if (!out || std::fclose(out) != 0) return kFileError;
    }
    // Rectangles and clicks in the same pixels as the per-monitor aware tool.
    SetProcessDPIAware();
    if (argc >= 5 && argc % 2 == 1 && std::string(argv[1]) == "registry")
        return Registry(argv[2], argc - 3, argv + 3);
    if ((argc == 3 || argc == 4) && std::string(argv[1]) == "dialog")
        return Dialog(argv[2], argc == 4 ? std::strtoul(argv[3], nullptr, 10) : kDefaultLimitMs);
    if (argc == 3 && std::string(argv[1]) == "clip") return Clip(argv[2]);
    if (argc >= 4 && std::string(argv[1]) == "input")
        return Input(argv[2], std::atoi(argv[3]), argc - 4, argv + 4);
    if (argc == 3 && std::string(argv[1]) == "accessible") return AccessibleName(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "screenshot")
        return Screenshot(argv[2], {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    if (argc == 7 && std::string(argv[1]) == "screenshot")
        return Screenshot(argv[2],
                          {std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6])});
    if (argc == 2 && std::string(argv[1]) == "close") return Close();
    if (argc == 2 && std::string(argv[1]) == "to-right-edge") return ToRightEdge();
    if (argc == 3 && std::string(argv[1]) == "foreground-lock")
        return ForegroundLock(std::strtoul(argv[2], nullptr, 10));
    if (argc == 4 && std::string(argv[1]) == "message")
        return Message(argv[2], std::strtoul(argv[3], nullptr, 10));
    if (argc == 3 && std::string(argv[1]) == "balloons") return Balloons(argv[2]);
    return kBadUsage;
}
