// Reads the rename dialog of another process, for the end-to-end tests.
//
// Exit status: 0 done; 3 the verb could not do what was asked (it says why
// where it has an OUT-FILE); 2 bad usage; 4 a file could not be read or
// written. A verb with an OUT-FILE creates it before anything else, so that
// a missing file means that the probe never ran, not that it failed.
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
//   "error REASON" and exits with 3. Once it holds the foreground it sets
//   the desktop's foreground lock time-out to 0, for this session only, so
//   that later dialogs come to the front by themselves, and writes
//   "foreground-lock-was MS" when that changed it.
// usage: probe foreground-lock MS
//   Sets the foreground lock time-out back to MS milliseconds.
// usage: probe message OUT-FILE CODE
//   Writes "text TEXT": the system's message for error CODE in the user's
//   language, without its trailing line break.
// usage: probe balloons OUT-FILE
//   Writes "tip TEXT" for each visible tooltip window of the dialog's
//   process (the balloons that it shows).
// usage: probe accessible OUT-FILE
//   Writes "name TEXT", the name that the accessibility layer gives the
//   dialog's edit field, or "error REASON".
// usage: probe screenshot OUT-FILE
//   Saves the whole screen as a PNG.
// usage: probe close
//   Waits for the dialog and asks it to close, as the window manager would.
// usage: probe clip TEXT-FILE
//   Puts the UTF-8 text of TEXT-FILE on the clipboard.
// usage: probe registry OUT-FILE KEY NAME [KEY NAME ...]
//   For each value NAME ("" for the default) of a key under
//   HKEY_CURRENT_USER or HKEY_CLASSES_ROOT (HKCU\... or HKCR\...), writes
//   "value DATA" (the string in UTF-8), "no-value" or "no-key" to OUT-FILE,
//   one line each: reg.exe would print non-ASCII text in the OEM code page.
#include <windows.h>

#include <gdiplus.h> // these after windows.h, which they need
#include <oleacc.h>
#include <psapi.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* kCaption = "Plintor Rename";
constexpr int kEditId = 201;
constexpr int kPromptId = 100;
constexpr DWORD kDefaultLimitMs = 20000;

DWORD gProcess = 0; // the process whose dialog counts; 0: any

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

// The first rename dialog in z-order, of the given process if there is one.
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

// A window's text in UTF-8, whatever the code pages of the two processes;
// asked of the window itself, since GetWindowText would not ask another
// process's control.
std::string WindowTextUtf8(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(copied));
    return Utf8(text);
}

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

HWND FocusOf(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

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
    if (!out) return 4;
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
        WriteRect(out, "ok", GetDlgItem(dialog, IDOK));
        WriteRect(out, "cancel", GetDlgItem(dialog, IDCANCEL));
        std::fprintf(out, "modules %s\n", ProcessModules(dialog).c_str());
    }
    std::fclose(out);
    return 0;
}

} // namespace

// Puts the UTF-8 text of a file on the clipboard, for pasting.
int Clip(const char* textPath) {
    FILE* in = std::fopen(textPath, "rb");
    if (!in) return 4;
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
    if (!OpenClipboard(nullptr)) return 5;
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return placed ? 0 : 6;
}

std::wstring Wide(const char* utf8) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &text[0], units);
    text.resize(static_cast<std::size_t>(units > 0 ? units - 1 : 0));
    return text;
}

// Waits until the dialog is ready to type into; nullptr when it never is.
HWND WaitForDialog(DWORD limitMs) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    HWND dialog = nullptr;
    while (!Ready(dialog = FindDialog())) {
        if (GetTickCount64() > deadline) return nullptr;
        Sleep(20);
    }
    return dialog;
}

int Close() {
    HWND dialog = WaitForDialog(kDefaultLimitMs);
    return dialog && PostMessageA(dialog, WM_CLOSE, 0, 0) ? 0 : 3;
}

// As a quick typist: the system delivers injected input asynchronously.
constexpr DWORD kPaceMs = 30;

// Lets the dialog's thread take in what was sent before the next event.
void Settle(HWND dialog) {
    Sleep(kPaceMs);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
}

bool Send(INPUT input) { return SendInput(1, &input, sizeof input) == 1; }

bool SendKey(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return Send(input);
}

bool SendUnit(wchar_t unit, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = unit;
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return Send(input);
}

// A button event that carries its own position, in the primary screen's
// normalised coordinates: a bare button event lands wherever the system
// last saw the pointer, which may lag behind SetCursorPos.
bool SendButton(DWORD flags, POINT at) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return Send(input);
}

bool InMenuMode(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) &&
           (info.flags & (GUI_INMENUMODE | GUI_SYSTEMMENUMODE | GUI_POPUPMENUMODE));
}

// One request for the foreground, in one of the usual ways: 0 directly,
// 1 attached to the foreground thread's input, 2 also after a key press,
// which grants the right, 3 as the task switcher does it, for a console
// that holds the foreground as a hosted runner's does.
void AskForeground(HWND dialog, int way) {
    const DWORD self = GetCurrentThreadId();
    HWND current = GetForegroundWindow();
    const DWORD owner = current ? GetWindowThreadProcessId(current, nullptr) : 0;
    const bool attached = way >= 1 && owner && owner != self && AttachThreadInput(self, owner, TRUE);
    if (way == 2) {
        SendKey(VK_MENU, false);
        SendKey(VK_MENU, true);
    }
    BringWindowToTop(dialog);
    if (way == 3)
        SwitchToThisWindow(dialog, TRUE);
    else
        SetForegroundWindow(dialog);
    if (attached) AttachThreadInput(self, owner, FALSE);
}

// The foreground rules stop a process that did not start the dialog: try
// each way in turn until the dialog is the foreground window.
bool TakeForeground(HWND dialog) {
    for (int way = 0; way < 4; ++way) {
        for (int attempt = 0; attempt < 10 && GetForegroundWindow() != dialog; ++attempt) {
            AskForeground(dialog, way);
            Sleep(50);
        }
    }
    // A lone Alt that reached the dialog opens its system menu: leave it.
    if (InMenuMode(dialog)) {
        SendKey(VK_ESCAPE, false);
        SendKey(VK_ESCAPE, true);
        Settle(dialog);
    }
    return GetForegroundWindow() == dialog && !InMenuMode(dialog);
}

WORD VirtualKey(const std::string& name) {
    if (name == "Return") return VK_RETURN;
    if (name == "Escape") return VK_ESCAPE;
    if (name == "BackSpace") return VK_BACK;
    if (name == "Tab") return VK_TAB;
    if (name == "F4") return VK_F4;
    if (name == "alt") return VK_MENU;
    if (name == "ctrl") return VK_CONTROL;
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0])));
    return 0;
}

// "alt+F4": modifiers down in order, the key pressed, modifiers up.
std::string PressKeys(HWND dialog, const std::string& chord) {
    std::vector<WORD> keys;
    for (std::size_t start = 0;;) {
        const std::size_t plus = chord.find('+', start);
        const WORD key = VirtualKey(chord.substr(start, plus - start));
        if (!key) return "unknown key in " + chord;
        keys.push_back(key);
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    for (WORD key : keys)
        if (!SendKey(key, false)) return "SendInput refused " + chord;
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        SendKey(*key, true);
    Settle(dialog);
    return "";
}

// Who holds the foreground, for a failure's message.
std::string Describe(HWND window) {
    if (!window) return "no window";
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return "\"" + WindowTextUtf8(window) + "\" (class " + name + ", process " + std::to_string(owner) + ")";
}

// Each character only while the dialog holds the foreground: a key sent
// after it lost it would go elsewhere, and the field would hold less than
// was typed.
std::string TypeText(HWND dialog, const std::string& hex) {
    std::string utf8;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        utf8 += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    const std::wstring units = Wide(utf8.c_str());
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (GetForegroundWindow() != dialog)
            return "the dialog lost the foreground to " + Describe(GetForegroundWindow()) + " after " +
                   std::to_string(i) + " of " + std::to_string(units.size()) + " characters";
        if (!SendUnit(units[i], false) || !SendUnit(units[i], true)) return "SendInput refused the text";
        Settle(dialog);
    }
    return "";
}

// The middle of the close button, found by asking the window itself which
// part of its caption row answers HTCLOSE.
bool CloseButton(HWND dialog, POINT* point) {
    TITLEBARINFO title{};
    title.cbSize = sizeof title;
    if (!GetTitleBarInfo(dialog, &title)) return false;
    const LONG y = (title.rcTitleBar.top + title.rcTitleBar.bottom) / 2;
    LONG first = -1, last = -1;
    for (LONG x = title.rcTitleBar.right; x >= title.rcTitleBar.left; --x) {
        const LRESULT hit = SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(x, y));
        if (hit == HTCLOSE) {
            if (last < 0) last = x;
            first = x;
        } else if (last >= 0) {
            break;
        }
    }
    if (last < 0) return false;
    *point = {(first + last) / 2, y};
    return true;
}

std::string Click(HWND dialog, const std::string& target) {
    POINT point{};
    if (target == "close") {
        if (!CloseButton(dialog, &point)) return "no part of the caption answers HTCLOSE";
    } else {
        HWND control = GetDlgItem(dialog, std::atoi(target.c_str()));
        RECT r{};
        if (!control || !GetWindowRect(control, &r)) return "no control " + target;
        point = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    if (!SetCursorPos(point.x, point.y))
        return "could not move the pointer to " + std::to_string(point.x) + "," + std::to_string(point.y);
    // The move takes effect a moment later on Wine's desktop: wait for it.
    POINT at{};
    for (int wait = 0; !GetCursorPos(&at) || at.x != point.x || at.y != point.y; ++wait) {
        if (wait == 100)
            return "the pointer did not reach " + std::to_string(point.x) + "," + std::to_string(point.y) +
                   "; it is at " + std::to_string(at.x) + "," + std::to_string(at.y);
        Sleep(20);
    }
    Settle(dialog);
    if (!SendButton(MOUSEEVENTF_LEFTDOWN, point)) return "SendInput refused the click";
    Settle(dialog);
    SendButton(MOUSEEVENTF_LEFTUP, point);
    Settle(dialog);
    return "";
}

int ControlWithFocus(HWND dialog) {
    HWND focus = IsWindow(dialog) ? FocusOf(dialog) : nullptr;
    return focus ? GetDlgCtrlID(focus) : 0;
}

std::string Act(HWND dialog, const std::string& action) {
    const std::size_t colon = action.find(':');
    if (colon == std::string::npos) return "bad action " + action;
    const std::string kind = action.substr(0, colon), value = action.substr(colon + 1);
    if (kind == "key") return PressKeys(dialog, value);
    if (kind == "text") return TypeText(dialog, value);
    if (kind == "click") return Click(dialog, value);
    return "bad action " + action;
}

// Lets the next dialogs come to the front by themselves, as on a desktop
// where the user just clicked, instead of behind whoever sent the last
// input. Only a foreground process may; not written to the user's profile.
void UnlockForeground(FILE* out) {
    DWORD timeout = 0;
    if (SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0) && timeout != 0 &&
        SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0))
        std::fprintf(out, "foreground-lock-was %lu\n", static_cast<unsigned long>(timeout));
}

int Input(const char* outPath, int expectedFocus, int count, char** actions) {
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return 4;
    std::string error;
    HWND dialog = WaitForDialog(kDefaultLimitMs);
    if (!dialog) error = "the dialog is not open and ready";
    if (error.empty() && !TakeForeground(dialog)) {
        HWND other = GetForegroundWindow();
        error = "could not make the dialog the foreground window; it is \"" + WindowTextUtf8(other) + "\"";
    }
    if (error.empty()) UnlockForeground(out);
    // Activation restores the focus a moment later than the foreground.
    for (int wait = 0; error.empty() && expectedFocus && ControlWithFocus(dialog) != expectedFocus; ++wait) {
        if (wait == 100)
            error = "the focus is on control " + std::to_string(ControlWithFocus(dialog)) + ", not " +
                    std::to_string(expectedFocus);
        Sleep(20);
    }
    for (int i = 0; error.empty() && i < count; ++i) {
        if (GetForegroundWindow() != dialog) {
            error = std::string("the dialog lost the foreground to ") + Describe(GetForegroundWindow()) +
                    " before " + actions[i];
            break;
        }
        error = Act(dialog, actions[i]);
        if (error.empty()) std::fprintf(out, "focus %d\n", ControlWithFocus(dialog));
    }
    if (!error.empty()) std::fprintf(out, "error %s\n", error.c_str());
    std::fclose(out);
    return error.empty() ? 0 : 3;
}

int ForegroundLock(DWORD timeout) {
    return SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                                 reinterpret_cast<void*>(std::uintptr_t{timeout}), 0)
               ? 0
               : 3;
}

int Message(const char* outPath, DWORD code) {
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return 4;
    wchar_t text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  0, text, 512, nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n'))
        --length;
    std::fprintf(out, "text %s\n", Utf8(std::wstring(text, length)).c_str());
    std::fclose(out);
    return 0;
}

BOOL CALLBACK WriteBalloon(HWND window, LPARAM context) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (owner == gProcess && std::string(name) == "tooltips_class32" && IsWindowVisible(window))
        std::fprintf(reinterpret_cast<FILE*>(context), "tip %s\n", WindowTextUtf8(window).c_str());
    return TRUE;
}

int Balloons(const char* outPath) {
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return 4;
    EnumWindows(WriteBalloon, reinterpret_cast<LPARAM>(out));
    std::fclose(out);
    return 0;
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
    if (!out) return 4;
    HWND dialog = WaitForDialog(kDefaultLimitMs);
    std::string error = dialog ? "" : "the dialog is not open and ready";
    CoInitialize(nullptr);
    const std::string name = dialog ? EditName(dialog, &error) : "";
    CoUninitialize();
    if (error.empty())
        std::fprintf(out, "name %s\n", name.c_str());
    else
        std::fprintf(out, "error %s\n", error.c_str());
    std::fclose(out);
    return 0;
}

// The whole screen as a PNG, for a failed case's log: a tenth of a BMP's size.
int Screenshot(const char* outPath) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 4;
    // GDI+'s PNG encoder.
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    Gdiplus::Status saved = Gdiplus::GenericError;
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        saved = image.Save(Wide(outPath).c_str(), &png, nullptr);
    }
    Gdiplus::GdiplusShutdown(token);
    DeleteObject(bitmap);
    return saved == Gdiplus::Ok ? 0 : 4;
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
    if (!out) return 4;
    for (int i = 0; i + 1 < count; i += 2)
        std::fprintf(out, "%s\n", RegistryString(pairs[i], pairs[i + 1]).c_str());
    std::fclose(out);
    return 0;
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
        if (!out || std::fclose(out) != 0) return 4;
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
    if (argc == 3 && std::string(argv[1]) == "screenshot") return Screenshot(argv[2]);
    if (argc == 2 && std::string(argv[1]) == "close") return Close();
    if (argc == 3 && std::string(argv[1]) == "foreground-lock")
        return ForegroundLock(std::strtoul(argv[2], nullptr, 10));
    if (argc == 4 && std::string(argv[1]) == "message")
        return Message(argv[2], std::strtoul(argv[3], nullptr, 10));
    if (argc == 3 && std::string(argv[1]) == "balloons") return Balloons(argv[2]);
    return 2;
}
